// Reading the book aloud: from the paragraph at the top of the view, sentence by
// sentence to the end of the book, the sentence being spoken marked on the page
// and kept in sight, the reading position following it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "reading/SpeechEngine.h"
#include "text/Charsets.h"

class ReadingSession;

// The sentences of paragraph n among a page's lines (as ExtractPage gives
// them), its escapes undone and decoded from cp to UTF-8.
std::vector<std::string> ParagraphSentences(const LineList& pageLines, int32_t n, CodePage cp);

class ReadAloud {
  public:
    ReadAloud(ReadingSession& reader, ISpeechEngine& engine);
    ~ReadAloud();
    ReadAloud(const ReadAloud&) = delete;
    ReadAloud& operator=(const ReadAloud&) = delete;

    // Starts at the first sentence of the paragraph at the top of the view.
    void Start();
    // Stops and takes the mark off; the reading position stays the paragraph
    // spoken last.
    void Stop();
    void TogglePause();
    bool Active() const { return active_; }
    bool Paused() const { return paused_; }
    int32_t Paragraph() const { return paragraph_; }
    // The sentence being spoken, empty when none.
    std::string Sentence() const;
    // Fired when reading ends by itself: at the end of the book, or when the
    // book it read is closed or another is opened.
    std::function<void()> OnEnded;
    // Fired after OnEnded when reading ended because the engine cannot speak.
    std::function<void(const std::string&)> OnFailed;

  private:
    // Speech goes on from the paragraph the reader moved to.
    void FollowReader();
    // The book read was closed, rebuilt or replaced by another: reading ends.
    void BookGone();
    void Failed(const std::string& why);
    void SpeakFrom(int32_t paragraph);
    void SpeakSentence();
    void Spoken();
    // The sentences of paragraph n, from the page it is on (read once a page).
    std::vector<std::string> SentencesOf(int32_t n);

    ReadingSession& reader_;
    ISpeechEngine& engine_;
    bool active_ = false, paused_ = false;
    int32_t paragraph_ = 0;
    size_t index_ = 0;
    std::vector<std::string> sentences_;
    uint64_t book_ = 0;  // the reader's book serial it reads
    int32_t cachedPage_ = 0;
    LineList pageLines_;
    uint64_t moves_ = 0;  // each move of the reader's; a probe answer of an older one is void
};
