#include "reading/ReadAloud.h"

#include <algorithm>

#include "book/BodyLines.h"
#include "reading/ReadingSession.h"
#include "text/Sentences.h"

std::vector<std::string> ParagraphSentences(const LineList& pageLines, int32_t n, CodePage cp) {
    std::string text;
    bool inside = false;
    for (const auto& line : pageLines) {
        int32_t tag = 0;
        const std::string_view t = TextOfBodyLine(line, tag);
        if (tag) {
            if (inside) break;
            inside = tag == n;
        }
        if (!inside) continue;
        if (!text.empty()) text += ' ';
        AppendShownText(text, t);
    }
    return SplitSentences(ToUtf8(text, cp));
}

ReadAloud::ReadAloud(ReadingSession& reader, ISpeechEngine& engine)
    : reader_(reader), engine_(engine) {
    engine_.OnSpoken = [this] { Spoken(); };
    engine_.OnFailed = [this](const std::string& why) { Failed(why); };
    reader_.OnJump = [this] { FollowReader(); };
    reader_.OnBookChanged = [this] { BookGone(); };
}

ReadAloud::~ReadAloud() {
    engine_.OnSpoken = nullptr;
    engine_.OnFailed = nullptr;
    reader_.OnJump = nullptr;
    reader_.OnBookChanged = nullptr;
}

void ReadAloud::BookGone() {
    if (!active_) return;
    Stop();
    if (OnEnded) OnEnded();
}

std::string ReadAloud::Sentence() const {
    return active_ && index_ < sentences_.size() ? sentences_[index_] : std::string();
}

std::vector<std::string> ReadAloud::SentencesOf(int32_t n) {
    BookFile& book = *reader_.CurrentBook;
    const int32_t page = book.PageOfParagraph(n);
    if (page != cachedPage_) {
        book.ExtractPage(page, pageLines_);
        cachedPage_ = page;
    }
    return ParagraphSentences(pageLines_, n, CodePageOf(book.GetProperty("Charset")));
}

void ReadAloud::Start() {
    if (!reader_.CurrentBook) return;
    active_ = true;
    paused_ = false;
    book_ = reader_.BookSerial();
    cachedPage_ = 0;
    const int32_t top =
        reader_.TopParagraph > 0 ? reader_.TopParagraph : reader_.CurrentBook->LastParagraph;
    SpeakFrom(std::max(top, 1));
}

void ReadAloud::Stop() {
    if (!active_) return;
    active_ = paused_ = false;
    ++moves_;
    engine_.Stop();
    sentences_.clear();
    reader_.SpokenParagraph = 0;
    reader_.ClearMark();
}

void ReadAloud::TogglePause() {
    if (!active_) return;
    // Engines pause unreliably (speech-dispatcher over espeak-ng may never
    // resume): a pause stops the sentence, and going on says it again.
    paused_ = !paused_;
    if (paused_)
        engine_.Stop();
    else if (index_ < sentences_.size())
        SpeakSentence();
}

void ReadAloud::Failed(const std::string& why) {
    if (!active_) return;
    Stop();
    if (OnEnded) OnEnded();
    if (OnFailed) OnFailed(why);
}

void ReadAloud::SpeakFrom(int32_t paragraph) {
    if (!reader_.CurrentBook) return Stop();
    const int32_t total = reader_.CurrentBook->GetIntProperty("TotalParagraphs");
    // Paragraphs without words (gaps between stanzas) are passed by.
    for (; paragraph <= total; ++paragraph) {
        sentences_ = SentencesOf(paragraph);
        if (!sentences_.empty()) break;
    }
    if (paragraph > total) {
        Stop();
        if (OnEnded) OnEnded();
        return;
    }
    paragraph_ = paragraph;
    index_ = 0;
    SpeakSentence();
}

void ReadAloud::SpeakSentence() {
    const std::string& s = sentences_[index_];
    reader_.SpokenParagraph = paragraph_;
    reader_.ShowText(paragraph_, Utf8ToUtf16(s));
    // Paused, the place moves with the reader and the words wait for Space.
    if (!paused_) engine_.Say(s, reader_.CurrentBook->GetProperty("Language"));
}

void ReadAloud::Spoken() {
    if (!active_) return;
    if (++index_ < sentences_.size()) return SpeakSentence();
    SpeakFrom(paragraph_ + 1);
}

void ReadAloud::FollowReader() {
    if (!active_ || !reader_.CurrentBook || book_ != reader_.BookSerial()) return;
    engine_.Stop();
    const uint64_t move = ++moves_;
    // The place moved to is the paragraph at the top of the view, asked once
    // the view stands there: a page turned back is shown from its end.
    reader_.SpokenParagraph = 0;
    reader_.WhenShown([this, move] {
        if (move != moves_ || !active_) return;
        reader_.AskTopParagraph([this, move](int32_t cur) {
            if (move != moves_ || !active_) return;
            SpeakFrom(std::max(reader_.TopParagraph > 0 ? reader_.TopParagraph : cur, 1));
        });
    });
}
