#include "convert/Headings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <numeric>
#include <set>

#include "convert/TextAnalysis.h"
#include "text/Charsets.h"

namespace {

// The characters of a shape that are marks, taken off when shapes are grouped:
// "* ЧАСТЬ ВТОРАЯ *" is of one kind with "ЧАСТЬ ПЕРВАЯ".
std::string WithoutMarks(const std::string& key) {
    std::string out;
    for (char c : key)
        if (c == ' ' || static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') ||
            (c >= 'A' && c <= 'Z') || c == '#' || c == '@')
            out += c;
    return out;
}

// A heading and its title as one: "Глава первая" and "Дурное поведение",
// "Глава первая. Дурное поведение"; after a mark ("Глава 1.", "~ 2 ~") only a
// space.
std::string WithTitle(const std::string& heading, const std::string& title) {
    const auto last = static_cast<unsigned char>(heading.empty() ? '.' : heading.back());
    const bool word = last >= 0x80 || std::isalnum(last);
    return heading + (word ? ". " : " ") + title;
}

// Numbers that count up: each next one larger than the one before, or a new
// count beginning (chapters numbered anew in each part); two steps in three.
bool CountsUp(const std::vector<int64_t>& values) {
    if (values.size() < 2) return false;
    size_t up = 0;
    for (size_t i = 1; i < values.size(); ++i)
        up += values[i] > values[i - 1] || (values[i] <= 1 && values[i - 1] > 1);
    return up * 3 >= (values.size() - 1) * 2;
}

}  // namespace

HeadingFinder::HeadingFinder(const std::string& charset, bool everyLine)
    : page_(CodePageOf(charset)), everyLine_(everyLine) {}

void HeadingFinder::Add(std::string_view line) {
    std::string_view cls;
    size_t textAt = 0;
    const int32_t n = ParagraphTagOf(line, cls, textAt);
    AddParts(n, cls, n ? line.substr(textAt) : line);
}

void HeadingFinder::AddParts(int32_t n, std::string_view cls, std::string_view text) {
    const std::string_view t = TrimBlanks(text, page_);
    const bool blank = t.empty();
    if (n) {
        Close(blank);
        open_ = true;
        number_ = n;
        centred_ = cls == "ptitl" || cls == "pepig";
        content_.clear();
        contentLines_ = 0;
        contentChars_ = 0;
        blankBefore_ = blankAfter_ = broken_ = false;
    }
    if (open_) {
        if (!blank) {
            if (contentLines_ == 0) {
                blankBefore_ = lastBlank_;
                gapBefore_ = blanks_;
                ++gaps_[std::min(blanks_, 3)];
                // The text right after a number goes on in a small letter: the
                // number broke into a sentence.
                if (!candidates_.empty() && candidates_.back().ordinal == ordinal_) {
                    size_t i = 0;
                    candidates_.back().breaksIn |= IsLower(DecodeChar(t, i, page_));
                }
            }
            if (blankAfter_) broken_ = true;  // text, a gap, text: no heading
            ++contentLines_;
            tailLength_ = std::min(t.size(), sizeof tail_);
            std::memcpy(tail_, t.data() + t.size() - tailLength_, tailLength_);
            // Only a short paragraph can be a heading: a longer one is not copied
            // (nor counted further than shows it longer: a character is four
            // bytes at most).
            if (contentChars_ <= MaxHeadingChars)
                contentChars_ +=
                    CharCount(t.substr(0, (MaxHeadingChars + 1 - contentChars_) * 4), page_) +
                    (contentLines_ > 1 ? 1 : 0);
            // (A first line of prose that ends a sentence is prose: most are.)
            if (broken_ || contentLines_ > 3 || contentChars_ > MaxHeadingChars ||
                (contentLines_ == 1 && contentChars_ > 40 && EndsSentence(t))) {
                broken_ = true;
            } else {
                if (!content_.empty()) content_ += ' ';
                AppendShownText(content_, t);
            }
        } else if (contentLines_ > 0) {
            blankAfter_ = true;
        }
    }
    lastBlank_ = blank;
    blanks_ = blank ? blanks_ + 1 : 0;
}

void HeadingFinder::Close(bool followedByBlank) {
    if (!open_) return;
    open_ = false;
    if (contentLines_ == 0) return;
    ++ordinal_;
    contentInUtf8_ = false;
    const bool afterUnfinished = unfinished_;
    // ("…" is one byte of windows-1251: the end is looked at in UTF-8, but
    // for one in a letter or a point, as most are.)
    const std::string_view tail(tail_, tailLength_);
    const auto last = static_cast<unsigned char>(tail.empty() ? 0 : tail.back());
    unfinished_ = broken_ && !(last < 0x80 && !std::strchr("\"');)", last)
                                   ? std::strchr(".!?", last) && last
                                   : EndsSentence(AsUtf8(tail, page_, tailUtf8_)));
    // The line right under a numbered heading: its title, if any.
    const bool underNumber = !candidates_.empty() && candidates_.back().ordinal == ordinal_ - 1 &&
                             candidates_.back().value >= 0;
    NoteShortRun(contentChars_ > MaxHeadingChars || contentLines_ > 2, underNumber);
    if (broken_) {
        prose_ = true;
        if (!candidates_.empty() && candidates_.back().ordinal == ordinal_ - 1)
            candidates_.back().beforeProse = true;
        if (lastProse_ != ordinal_ - 1)
            for (size_t k = candidates_.size(); k-- > 0 && candidates_[k].ordinal >= ordinal_ - 2;)
                if (candidates_[k].ordinal == ordinal_ - 2) candidates_[k].proseUnderOne = true;
        lastProse_ = ordinal_;
        return;
    }
    if (!blankAfter_) blankAfter_ = followedByBlank;
    // A line of prose that ends a sentence is neither a heading (a number's
    // is shorter) nor a speaker's name: most short paragraphs end so.
    if (contentChars_ > 40 && EndsSentence(content_)) return;
    const std::string_view utf8 = ContentUtf8();
    if (CharCount(utf8, CodePage::Utf8) > MaxHeadingChars) {
        prose_ = true;
        return;
    }
    if (contentLines_ == 1) CountName(utf8);
    // Kept: what may be a heading, and the line under a numbered one (its title).
    // (Set off by two blank lines or more: maybe a title of words alone.)
    const bool setOff = gapBefore_ >= 2;
    const LineShape shape = ShapeOf(utf8, centred_ || underNumber || setOff);
    if (shape.Key.empty() || IsSeparator(utf8)) return;
    if (!shape.Numbered() && !shape.Capitals && shape.Word == HeadingWord::None && !centred_ &&
        !underNumber && !setOff)
        return;
    const auto id = shapeIds_.emplace(WithoutMarks(shape.Key), int(shapeIds_.size())).first->second;
    // (Pages numbered in figures, chapters in words or roman ones.)
    const bool figures = utf8.find_first_of("0123456789") != std::string_view::npos;
    const auto marks =
        shapeIds_.emplace(shape.Key + (figures ? "0" : ""), int(shapeIds_.size())).first->second;
    candidates_.push_back({number_, ordinal_, id, marks, shape.Value, shape.Word, shape.Capitals,
                           blankBefore_ && blankAfter_, centred_, !prose_, false, afterUnfinished,
                           gapBefore_, content_});
}

// An epigraph's attribution: a name ("А. С. Пушкин", "— Княжнин.") or a few
// words standing for one ("Пословица.", "Старинная песня.").
static bool Attribution(std::string_view utf8) {
    size_t b = 0;
    while (b < utf8.size() && (utf8[b] == ' ' || utf8[b] == '-')) ++b;
    if (utf8.compare(b, 3, "\xE2\x80\x94") == 0) b += 3;
    std::string_view name = TrimBlanks(utf8.substr(b), CodePage::Utf8);
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    if (name.empty()) return false;
    // (A line of verse ends with a mark no name holds: no need to read it.)
    const auto last = static_cast<unsigned char>(name.back());
    if (last < 0x80 && !std::isalpha(last) && last != '.' && last != '-' && last != '\'')
        return false;
    if (CharCount(name, CodePage::Utf8) > 40) return false;
    // A name, or a word or three of letters: "Пословица", "Старинная песня".
    bool named = NameLike(name);
    if (!named) {
        size_t i = 0, words = 1;
        if (!IsUpper(DecodeChar(name, i, CodePage::Utf8))) return false;
        while (i < name.size()) {
            const char32_t c = DecodeChar(name, i, CodePage::Utf8);
            if (c == ' ')
                ++words;
            else if (!IsLetter(c))
                return false;
        }
        named = words <= 3 && CharCount(name, CodePage::Utf8) <= 25;
    }
    // But not a heading ("ГЛАВА I").
    const LineShape shape = named ? ShapeOf(name, false) : LineShape();
    return named && !shape.Numbered() && shape.Word == HeadingWord::None;
}

void HeadingFinder::NoteShortRun(bool prose, bool underNumber) {
    // A name, then a gap: the epigraph has ended, whatever follows.
    const bool named = !shortRun_.empty() && shortRun_.back().second && blankBefore_;
    if (prose || named) {
        if (shortRun_.size() >= 2 && shortRun_.back().second) {
            std::vector<int32_t> run;
            for (const auto& s : shortRun_) run.push_back(s.first);
            namedRuns_.push_back(std::move(run));
        }
        shortRun_.clear();
        if (prose) return;
    }
    // A heading, its title, up to eight lines of an epigraph and its name.
    // (A title right under a number, "СЕРЖАНТ ГВАРДИИ", reads as a name too,
    // but is none: it has no point at its end, as "Пословица." has.)
    const bool title = underNumber && !content_.empty() && content_.back() != '.';
    if (shortRun_.size() < 12)
        shortRun_.push_back({number_, !broken_ && !title && Attribution(ContentUtf8())});
}

std::string_view HeadingFinder::ContentUtf8() {
    if (!contentInUtf8_) {
        contentAsUtf8_ = AsUtf8(content_, page_, contentUtf8_);
        contentInUtf8_ = true;
    }
    return contentAsUtf8_;
}

void HeadingFinder::FindEpigraphs(const std::vector<int>& depth) {
    // An epigraph stands right under a heading (or its title): the short
    // lines after it up to a name, before the text.
    std::vector<int32_t> headings;
    for (size_t i = 0; i < candidates_.size(); ++i)
        if (depth[i] != 0) headings.push_back(candidates_[i].paragraph);
    for (const auto& run : namedRuns_) {
        size_t last = run.size();
        for (size_t k = 0; k < run.size(); ++k)
            if (std::binary_search(headings.begin(), headings.end(), run[k])) last = k;
        if (last < run.size() && run.size() - last >= 3 && run.size() - last <= 10)
            epigraphs_.push_back({run[last + 1], run.back()});
    }
    namedRuns_.clear();
}

// The name said before a speech: "ЛОПАХИН", "ЛОПАХИН.", "HAMLET:".
static std::string_view SpeakerName(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ':' || name.back() == ' '))
        name.remove_suffix(1);
    // (Most lines show a small letter at once.)
    int letters = 0;
    for (size_t i = 0; i < name.size();) {
        const char32_t c = DecodeChar(name, i, CodePage::Utf8);
        if (IsLower(c) || (c >= '0' && c <= '9')) return {};
        letters += IsLetter(c);
    }
    return letters >= 2 && CharCount(name, CodePage::Utf8) <= 40 ? name : std::string_view();
}

void HeadingFinder::CountName(std::string_view utf8) {
    const std::string_view said = SpeakerName(utf8);
    if (said.empty()) return;
    // A book of a thousand names in capitals is no play: enough are counted.
    const std::string name(said);
    if (names_.size() >= 4096 && !names_.count(name)) return;
    ++names_[name];
}

void HeadingFinder::FindSpeakers() {
    // A few names, each said three times or more, dozens of times together.
    int said = 0;
    std::vector<std::string> names;
    for (const auto& [name, count] : names_)
        if (count >= 3) {
            said += count;
            names.push_back(name);
        }
    if (said < 20 || names.size() > 60) return;
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
        // Back into the book's charset, as the page holds the text.
        std::string own;
        for (size_t i = 0; i < n.size();) {
            const size_t at = i;
            const char32_t c = DecodeChar(n, i, CodePage::Utf8);
            unsigned char byte = 0;
            if (page_ == CodePage::Utf8)
                own.append(n, at, i - at);
            else if (EncodeChar(c, page_, byte))
                own += char(byte);
        }
        speakers_.push_back(own);
    }
}

void HeadingFinder::TakeNumberedShapes(std::vector<int>& depth) const {
    // Numbers of a shape that break into a sentence, three times at least and
    // one time in three, are the pages' of the book the text was taken from
    // ("- 12 -" between "и он" and "сказал"): a chapter begins after a
    // sentence's end, as good as always.
    std::map<int, std::pair<int, int>> breaking;  // marks: numbers, of them breaking in
    for (const Candidate& c : candidates_)
        if (c.value >= 0) {
            ++breaking[c.marks].first;
            breaking[c.marks].second += c.breaksIn;
        }
    // Under "Notes" a number is a note's, unless a heading's word names it.
    std::map<int, std::vector<size_t>> groups;
    bool notes = false;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        const Candidate& c = candidates_[i];
        notes = notes || c.word == HeadingWord::Notes;
        const auto [numbers, breakIns] = breaking[c.marks];
        if (c.value >= 0 && !(notes && c.word == HeadingWord::None) &&
            (c.word != HeadingWord::None || breakIns < 3 || breakIns * 3 < numbers))
            groups[c.shape].push_back(i);
    }
    struct Taken {
        std::vector<size_t> members;
        bool part;
    };
    std::vector<Taken> taken;
    for (const auto& [shape, members] : groups) {
        std::vector<int64_t> values;
        bool known = false, part = false;
        for (size_t i : members) {
            values.push_back(candidates_[i].value);
            known = known || candidates_[i].word != HeadingWord::None;
            part = part || candidates_[i].word == HeadingWord::Part;
        }
        // A shape of three or more counting up through the book; two will do
        // with a known word ("Часть первая", "Часть вторая").
        if (members.size() < (known ? 2u : 3u) || !CountsUp(values)) continue;
        // Numbers a line or two apart are a list's or notes', not chapters'.
        std::vector<int64_t> gaps;
        for (size_t k = 1; k < members.size(); ++k)
            gaps.push_back(candidates_[members[k]].ordinal - candidates_[members[k - 1]].ordinal);
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        if (!known && gaps[gaps.size() / 2] <= 2) continue;
        taken.push_back({Counted(members), part});
    }
    // A shape whose every occurrence but a few is followed by lines of
    // another shape before its next stands above that shape (Part > Chapter).
    for (const Taken& b : taken) {
        int above = 0;
        for (const Taken& a : taken) {
            if (&a == &b || a.members.size() >= b.members.size()) continue;
            size_t enclosing = 0, k = 0;
            for (size_t i = 0; i < a.members.size(); ++i) {
                const int64_t from = candidates_[a.members[i]].ordinal;
                const int64_t to =
                    i + 1 < a.members.size() ? candidates_[a.members[i + 1]].ordinal : INT64_MAX;
                while (k < b.members.size() && candidates_[b.members[k]].ordinal < from) ++k;
                enclosing += k < b.members.size() && candidates_[b.members[k]].ordinal < to;
            }
            if (enclosing * 5 >= a.members.size() * 4) ++above;
        }
        for (size_t i : b.members) depth[i] = 1 + above;
    }
}

std::vector<size_t> HeadingFinder::Counted(const std::vector<size_t>& members) const {
    // A number marked or set otherwise than most (centred or not), whose like
    // do not count up by themselves, out of the count between two that go on
    // from each other ("~ 10 ~", a note's "1", "~ 11 ~"), is a note's or a
    // list's. Numbers marked otherwise that count up by themselves are
    // headings of their own ("~ ВТОРАЯ ~" between chapters "XV" and "XVI").
    auto setting = [&](size_t i) { return candidates_[i].marks * 2 + candidates_[i].centred; };
    std::map<int, std::vector<int64_t>> byMarks;
    for (size_t i : members) byMarks[setting(i)].push_back(candidates_[i].value);
    int usual = -1;
    size_t most = 0;
    for (const auto& [marks, values] : byMarks)
        if (values.size() > most) {
            most = values.size();
            usual = marks;
        }
    auto oneCount = [&](int marks) {
        const std::vector<int64_t>& v = byMarks[marks];
        for (size_t k = 1; k < v.size(); ++k)
            if (v[k] <= v[k - 1]) return false;
        return v.size() >= 2;
    };
    std::vector<size_t> kept;
    for (size_t k = 0; k < members.size(); ++k) {
        const Candidate& c = candidates_[members[k]];
        const int set = setting(members[k]);
        if (!kept.empty() && k + 1 < members.size() && set != usual && !oneCount(set)) {
            const int64_t before = candidates_[kept.back()].value;
            if (candidates_[members[k + 1]].value == before + 1 && c.value != before + 1) continue;
        }
        kept.push_back(members[k]);
    }
    return kept;
}

void HeadingFinder::TakeTitles(std::vector<int>& depth, std::vector<std::string>& text) const {
    // A line in capitals right under a heading of a shape is its title: set
    // apart as the heading is, or, when the shape's headings have such a line
    // under them two times in three, however it stands ("~ 2 ~" centred,
    // "ВОЖАТЫЙ" at the margin).
    std::map<int, std::pair<int, int>> titled;  // shape: headings, with a line in capitals under
    for (size_t i = 0; i < candidates_.size(); ++i) {
        if (depth[i] <= 0 || candidates_[i].value < 0) continue;
        auto& [headings, under] = titled[candidates_[i].shape];
        ++headings;
        if (i + 1 < candidates_.size()) {
            const Candidate& t = candidates_[i + 1];
            under += t.ordinal == candidates_[i].ordinal + 1 && t.capitals && t.value < 0 &&
                     t.word == HeadingWord::None;
        }
    }
    for (size_t i = 0; i + 1 < candidates_.size(); ++i) {
        const Candidate &h = candidates_[i], &t = candidates_[i + 1];
        if (depth[i] <= 0 || h.value < 0 || depth[i + 1] != 0 || t.ordinal != h.ordinal + 1 ||
            t.value >= 0 || t.word != HeadingWord::None || (everyLine_ && !t.capitals))
            continue;
        const auto [headings, under] = titled[h.shape];
        const bool alike = (t.apart == h.apart || t.apart) && t.centred == h.centred;
        if (!alike && !(t.capitals && headings >= 3 && under * 3 >= headings * 2)) continue;
        text[i] = WithTitle(h.text, t.text);
        depth[i + 1] = -1;
    }
}

namespace {

// The deepest level taken so far (0 for none).
int Deepest(const std::vector<int>& depth) {
    return depth.empty() ? 0 : std::max(0, *std::max_element(depth.begin(), depth.end()));
}

}  // namespace

std::set<std::string> HeadingFinder::NumberedTitles(const std::vector<int>& depth) const {
    // A chapter's title said again alone (over the chapter's pages, as a
    // printed book heads them) is no chapter of its own.
    std::set<std::string> titles;
    for (size_t i = 0; i < candidates_.size(); ++i)
        if (depth[i] < 0) titles.insert(FoldToUtf8(candidates_[i].text, page_));
    return titles;
}

void HeadingFinder::TakeCapitals(std::vector<int>& depth) const {
    // Lines in capitals, recurring with texts of their own: the titles of
    // chapters without numbers ("НА ДАЧЕ", "ГРОЗА"). The book's own title at
    // its top is none of them (the first chapter's title there has its text
    // right under it); a name said again and again is a play's speaker.
    std::vector<bool> speaker(candidates_.size());
    size_t spoken = 0, centred = 0;  // names said, of them centred
    for (size_t i = 0; i < candidates_.size(); ++i) {
        const auto said = names_.find(std::string(SpeakerName(ToUtf8(candidates_[i].text, page_))));
        speaker[i] = said != names_.end() && said->second >= 3;
        spoken += speaker[i];
        centred += speaker[i] && candidates_[i].centred;
    }
    // (In a play a name in capitals right above a speech is one more speaker,
    // and so is one centred where the play centres its speakers' names.)
    const bool centredNames = spoken > 0 && centred * 2 >= spoken;
    const std::set<std::string> titles = NumberedTitles(depth);
    std::map<int, std::vector<size_t>> groups;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        const Candidate& c = candidates_[i];
        const bool apart = speakers_.empty() || (c.centred ? !centredNames : c.apart);
        if (depth[i] == 0 && c.value < 0 && c.capitals && (!c.top || OverText(i)) && !speaker[i] &&
            apart && !titles.count(FoldToUtf8(c.text, page_)))
            groups[c.shape].push_back(i);
    }
    for (const auto& [shape, members] : groups) {
        std::set<std::string> texts;
        for (size_t i : members) texts.insert(FoldToUtf8(candidates_[i].text, page_));
        if (members.size() < 3 || texts.size() * 5 < members.size() * 4) continue;
        PlaceTitles(members, depth);
    }
}

bool HeadingFinder::OverText(size_t i) const {
    const Candidate& c = candidates_[i];
    if (c.beforeProse || c.proseUnderOne) return true;
    for (size_t k = i + 1; k < candidates_.size() && candidates_[k].ordinal <= c.ordinal + 2; ++k) {
        if (candidates_[k].value >= 0) return true;
        if (candidates_[k].capitals) return false;  // a title of its own between
    }
    return false;
}

void HeadingFinder::PlaceTitles(const std::vector<size_t>& members, std::vector<int>& depth) const {
    // Titles that hold headings found already, most of them (a story's
    // chapters), stand above those; others are of their level. (A title
    // over one number only is its chapter's, set above it.)
    size_t holding = 0;
    for (size_t k = 0; k < members.size(); ++k) {
        const size_t end = k + 1 < members.size() ? members[k + 1] : candidates_.size();
        holding +=
            std::count_if(depth.begin() + std::ptrdiff_t(members[k]) + 1,
                          depth.begin() + std::ptrdiff_t(end), [](int d) { return d > 0; }) >= 2;
    }
    const int top = Deepest(depth);
    if (top > 0 && holding * 2 > members.size()) {
        for (int& d : depth)
            if (d > 0) ++d;
        for (size_t i : members) depth[i] = 1;
        return;
    }
    for (size_t i : members) depth[i] = std::max(top, 1);
}

void HeadingFinder::TakeSetOff(std::vector<int>& depth) const {
    // Short lines set off by a wider gap than the book leaves between its
    // paragraphs, again and again, each with prose under it: the titles of
    // its stories or chapters ("Анюта", "В дороге"). The gap is one that one
    // paragraph in ten has at most.
    const uint64_t paragraphs = gaps_[0] + gaps_[1] + gaps_[2] + gaps_[3];
    int gap = 2;
    while (gap <= 3 && std::accumulate(gaps_ + gap, gaps_ + 4, uint64_t(0)) * 10 > paragraphs)
        ++gap;
    if (gap > 3) return;
    const std::set<std::string> titles = NumberedTitles(depth);
    std::vector<size_t> members;
    std::set<std::string> texts;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        const Candidate& c = candidates_[i];
        if (titles.count(FoldToUtf8(c.text, page_))) continue;
        if (depth[i] == 0 && c.value < 0 && c.gap >= gap && OverText(i)) {
            members.push_back(i);
            texts.insert(FoldToUtf8(c.text, page_));
        }
    }
    if (members.size() < 3 || texts.size() * 5 < members.size() * 4) return;
    PlaceTitles(members, depth);
}

void HeadingFinder::TakeOneOffs(std::vector<int>& depth) const {
    // Headings said once (a preface, an epilogue, notes, a part of its own)
    // stand in a book whose headings the shapes have shown, at the level of
    // the shapes around them.
    int top = 0, deepest = 0;
    for (int d : depth) {
        if (d > 0 && (top == 0 || d < top)) top = d;
        deepest = std::max(deepest, d);
    }
    if (deepest == 0) return;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        const Candidate& c = candidates_[i];
        if (depth[i] != 0 || c.word == HeadingWord::None) continue;
        if ((c.word == HeadingWord::Alone || c.word == HeadingWord::Notes) && c.value < 0) {
            depth[i] = std::min(deepest, 2);
        } else if (c.value >= 0 && (c.apart || c.centred)) {
            depth[i] = c.word == HeadingWord::Part    ? top
                       : c.word == HeadingWord::Scene ? deepest + 1
                                                      : std::max(deepest, top);
        }
    }
}

void HeadingFinder::TakeOneOffTitles(std::vector<int>& depth,
                                     std::vector<std::string>& text) const {
    // A heading said once ("ПРИЛОЖЕНИЕ") and a line in capitals right under
    // it, set alike ("ПРОПУЩЕННАЯ ГЛАВА"): its title.
    for (size_t i = 0; i + 1 < candidates_.size(); ++i) {
        const Candidate &h = candidates_[i], &t = candidates_[i + 1];
        if (depth[i] > 0 && h.word == HeadingWord::Alone && h.value < 0 && depth[i + 1] == 0 &&
            t.ordinal == h.ordinal + 1 && t.capitals && t.value < 0 && t.centred == h.centred) {
            text[i] = WithTitle(h.text, t.text);
            depth[i + 1] = -1;
        }
    }
}

void HeadingFinder::Finish() {
    Close(true);
    FindSpeakers();
    std::vector<int> depth(candidates_.size());
    std::vector<std::string> text(candidates_.size());
    for (size_t i = 0; i < candidates_.size(); ++i) text[i] = candidates_[i].text;
    TakeNumberedShapes(depth);
    TakeTitles(depth, text);
    TakeCapitals(depth);
    TakeSetOff(depth);
    TakeOneOffs(depth);
    TakeOneOffTitles(depth, text);
    DropPrintedContents(depth, text);
    FindEpigraphs(depth);
    // One level alone is the chapters'; levels nested are parts, chapters and
    // what is under them.
    const int deepest = Deepest(depth);
    for (size_t i = 0; i < candidates_.size(); ++i) {
        if (depth[i] <= 0) continue;
        const int level = deepest == 1 ? 2 : std::min(depth[i], 3);
        headings_.push_back({candidates_[i].paragraph, level, std::move(text[i])});
    }
    candidates_.clear();
    names_.clear();
}

namespace {

// What a heading and a printed contents' line for it both say: its words,
// folded, without numbers, and its number in any style (figures, roman,
// words; -1 without one), but for a page number after dots or a gap.
// "Глава 1. Сержант гвардии .... 5" and "ГЛАВА I. СЕРЖАНТ ГВАРДИИ" both say
// "глава сержант гвардии" and 1.
struct Naming {
    std::string words;
    int64_t number = -1;
    std::string Key() const { return words + "#" + std::to_string(number); }
    // Its first word and number.
    std::string FirstKey() const {
        return words.substr(0, words.find(' ')) + "#" + std::to_string(number);
    }
    // Whether it says the first words of other, with its number.
    bool Begins(const Naming& other) const {
        return number == other.number && other.words.size() > words.size() &&
               other.words.compare(0, words.size(), words) == 0 && other.words[words.size()] == ' ';
    }
};

Naming NamingOf(std::string_view text, CodePage page) {
    const std::string folded = FoldToUtf8(text, page);
    Naming n;
    std::u32string word;
    std::string between;      // what stands before the word
    bool numbers = false;     // the words being read are the number's
    bool numberDone = false;  // the number has been read
    auto take = [&](bool last) {
        if (word.empty()) return;
        int64_t value = -1;
        if (word[0] >= '0' && word[0] <= '9') {
            // (A page number after dots or a gap is the contents' own.)
            const bool pageNumber = last && (between.find("..") != std::string::npos ||
                                             between.find("\u2026") != std::string::npos ||
                                             between.find("  ") != std::string::npos);
            value = pageNumber ? -2 : 0;
            for (const char32_t c : word)
                if (value >= 0 && c >= '0' && c <= '9' && value < 100000)
                    value = value * 10 + (c - '0');
        } else if (const int r = RomanValue(word)) {
            value = r;
        } else if (const int w = NumberWordValue(word)) {
            value = w;
        }
        if (value == -1) {
            if (!n.words.empty()) n.words += ' ';
            for (const char32_t c : word) AppendUtf8(n.words, c);
            numberDone = numberDone || numbers;
            numbers = false;
        } else if (value >= 0 && !numberDone) {
            n.number = numbers ? n.number + value : value;
            numbers = true;
        }
        word.clear();
        between.clear();
    };
    for (size_t i = 0; i < folded.size();) {
        const size_t at = i;
        const char32_t c = DecodeChar(folded, i, CodePage::Utf8);
        if (IsLetter(c) || (c >= '0' && c <= '9')) {
            if (!word.empty() && (IsLetter(c) != IsLetter(word.back()))) take(false);
            word += c;
        } else {
            take(false);
            between.append(folded, at, i - at);
        }
    }
    take(true);
    if (n.words.empty() && n.number < 0) n.words = folded;
    return n;
}

}  // namespace

void HeadingFinder::DropPrintedContents(std::vector<int>& depth,
                                        const std::vector<std::string>& text) const {
    // A contents list printed in a book: headings on lines one after another
    // that each say what another heading says later, or before the list: its
    // words and number, or its first words and its number ("Глава первая" of
    // "ГЛАВА I. СЕРЖАНТ ГВАРДИИ"). Only the others are headings.
    std::vector<size_t> taken;
    std::vector<Naming> naming;
    std::unordered_map<std::string, std::vector<size_t>> said, numbered;
    for (size_t i = 0; i < candidates_.size(); ++i)
        if (depth[i] > 0) {
            taken.push_back(i);
            naming.push_back(NamingOf(text[i], page_));
            said[naming.back().Key()].push_back(taken.size() - 1);
            if (naming.back().number >= 0)
                numbered[naming.back().FirstKey()].push_back(taken.size() - 1);
        }
    for (size_t run = 0; run < taken.size();) {
        size_t end = run + 1;
        while (end < taken.size() &&
               candidates_[taken[end]].ordinal - candidates_[taken[end - 1]].ordinal <= 1)
            ++end;
        // (A part, its chapter and the chapter's first section stand so too.)
        if (end - run < 4) {
            run = end;
            continue;
        }
        auto elsewhere = [&](size_t i) {
            const std::vector<size_t>& same = said[naming[i].Key()];
            if (same.back() > i || same.front() < run) return true;
            if (naming[i].number < 0) return false;
            for (const size_t j : numbered[naming[i].FirstKey()])
                if ((j > i || j < run) && naming[i].Begins(naming[j])) return true;
            return false;
        };
        std::vector<size_t> listed;
        for (size_t i = run; i < end; ++i)
            if (elsewhere(i)) listed.push_back(i);
        if (listed.size() >= 4 && listed.size() * 3 >= (end - run) * 2)
            for (const size_t i : listed) depth[taken[i]] = 0;
        run = end;
    }
}

LineList ContentsLines(const std::vector<Heading>& headings) {
    LineList out;
    out.reserve(headings.size());
    for (const auto& h : headings)
        out.push_back(IntToStr(h.Paragraph) + "\t" + IntToStr(h.Level) + "\t" + h.Text);
    return out;
}

std::vector<Heading> ParseContents(const LineList& lines) {
    std::vector<Heading> out;
    for (const auto& l : lines) {
        size_t t1 = l.find('\t'), t2 = t1 == std::string::npos ? t1 : l.find('\t', t1 + 1);
        if (t2 == std::string::npos) continue;
        Heading h;
        int32_t level = 0;
        if (!TryDecimalToInt(std::string_view(l).substr(0, t1), h.Paragraph) ||
            !TryDecimalToInt(std::string_view(l).substr(t1 + 1, t2 - t1 - 1), level) || level < 1 ||
            level > 3 || h.Paragraph < 1)
            continue;
        h.Level = level;
        h.Text = l.substr(t2 + 1);
        out.push_back(std::move(h));
    }
    return out;
}
