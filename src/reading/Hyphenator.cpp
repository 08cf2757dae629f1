#include "reading/Hyphenator.h"

#include <hyphen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"

std::string Hyphenator::Folder = "/usr/share/hyphen/";

namespace {
// No break leaves fewer letters than this on either side of it.
constexpr int MinLetters = 2;
// Shorter words are never broken: a line gains too little from them.
constexpr size_t MinWord = 5;
// Longer runs of letters are no words the patterns know.
constexpr size_t MaxWord = 60;
// The patterns of any language fit in far less; a larger file is none.
constexpr off_t MaxPatternBytes = 4 << 20;
// libhyphen's own limits: a charset's name, and a line.
constexpr size_t MaxCharsetName = 19, MaxPatternLine = 99;

// What libhyphen is given must be what it reads safely (it trusts its file:
// garbage has freed memory twice): a charset's name, then lines of text of
// its length, each a pattern, a keyword or a comment.
bool LooksLikePatterns(const std::string& text) {
    if (text.find('\0') != std::string::npos) return false;
    size_t at = 0, lines = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lines == 0) {
            if (line.empty() || line.size() > MaxCharsetName) return false;
            for (const char c : line)
                if (!std::isalnum((unsigned char)c) && c != '-' && c != '_') return false;
        } else {
            if (line.size() > MaxPatternLine) return false;
            for (const char c : line)
                if ((unsigned char)c < 0x20 && c != '\t') return false;
        }
        ++lines;
        at = end + 1;
    }
    return lines > 1;
}
}  // namespace

struct Hyphenator::Dictionary {
    HyphenDict* dict = nullptr;
    // The patterns' own charset: UTF-8, or a single-byte page.
    bool utf8 = false;
    CodePage page = CodePage::Win1252;
    ~Dictionary() {
        if (dict) hnj_hyphen_free(dict);
    }
};

Hyphenator::Hyphenator(const std::string& dicPath) : dict_(std::make_unique<Dictionary>()) {
    // A regular file only; raises "Cannot open file %s" otherwise.
    FileDescriptor fd(OpenRegularFile(dicPath));
    struct stat st;
    const std::string unusable = Fmt(
        Messages::tr("The hyphenation patterns %s cannot be used: hyphenation is off"), dicPath);
    if (::fstat(fd.Get(), &st) != 0 || st.st_size > MaxPatternBytes) throw EFileError(unusable);
    std::string text(size_t(st.st_size), '\0');
    if (!ReadAt(fd.Get(), text.data(), text.size(), 0) || !LooksLikePatterns(text))
        throw EFileError(unusable);
    FILE* f = ::fmemopen(text.data(), text.size(), "r");
    if (!f) throw EFileError(unusable);
    dict_->dict = hnj_hyphen_load_file(f);
    std::fclose(f);
    if (!dict_->dict) throw EFileError(unusable);
    const std::string cset = dict_->dict->cset;
    dict_->utf8 = dict_->dict->utf8 != 0;
    dict_->page = CodePageOf(cset);
}

Hyphenator::~Hyphenator() = default;

const Hyphenator* Hyphenator::ForLanguage(const std::string& language) {
    static const std::map<std::string, std::string> files = {{"ru", "hyph_ru_RU.dic"},
                                                             {"en", "hyph_en_US.dic"}};
    // Loaded once for the program's life (the window's thread only).
    static std::map<std::string, std::unique_ptr<Hyphenator>> loaded;
    const auto file = files.find(language);
    if (file == files.end()) return nullptr;
    const std::string path = Folder + file->second;
    const bool tried = loaded.count(path) != 0;
    auto& slot = loaded[path];
    if (!tried && FileExists(path)) {
        try {
            slot = std::make_unique<Hyphenator>(path);
        } catch (const EAppError& e) {
            // Pages are shown unhyphenated; said once.
            std::fprintf(stderr, "tavisto: %s\n", e.what());
        }
    }
    return slot.get();
}

bool Hyphenator::Breaks(const std::u32string& word, std::string& after) const {
    std::string bytes;
    for (char32_t c : word) {
        c = ToLower(c);
        unsigned char b = 0;
        // A UTF-8 pattern file counts its breaks in characters, so only words of
        // one byte a character are given to it.
        if (dict_->utf8 ? c >= 0x80 : !EncodeChar(c, dict_->page, b)) return false;
        bytes += dict_->utf8 ? char(c) : char(b);
    }
    std::vector<char> hyphens(bytes.size() + 5, '0');
    char** rep = nullptr;
    int* pos = nullptr;
    int* cut = nullptr;
    const int rc =
        hnj_hyphen_hyphenate3(dict_->dict, bytes.data(), int(bytes.size()), hyphens.data(), nullptr,
                              &rep, &pos, &cut, MinLetters, MinLetters, 0, 0);
    after.assign(word.size(), 0);
    for (size_t i = 0; rc == 0 && i + 1 < word.size(); ++i) {
        // A break that changes the word's letters (rep) is left out: the page
        // cannot show it.
        if ((hyphens[i] & 1) && !(rep && rep[i]) && i + 1 >= size_t(MinLetters) &&
            word.size() - i - 1 >= size_t(MinLetters))
            after[i] = 1;
    }
    if (rep) {
        for (size_t i = 0; i < bytes.size(); ++i) std::free(rep[i]);
        std::free(rep);
    }
    std::free(pos);
    std::free(cut);
    return rc == 0;
}

std::string Hyphenator::Show(const std::string& wordUtf8) const {
    std::u32string word;
    for (size_t i = 0; i < wordUtf8.size();) word += DecodeChar(wordUtf8, i, CodePage::Utf8);
    std::string after, out;
    const bool ok = Breaks(word, after);
    for (size_t i = 0; i < word.size(); ++i) {
        AppendUtf8(out, word[i]);
        if (ok && after[i]) out += '-';
    }
    return out;
}

void Hyphenator::Hyphenate(LineList& pageLines, CodePage cp) const {
    std::u32string word;
    std::vector<size_t> ends;  // the byte after each of the word's characters
    std::string after, out;
    for (auto& line : pageLines) {
        out.clear();
        size_t copied = 0;
        auto flush = [&]() {
            if (word.size() >= MinWord && word.size() <= MaxWord && Breaks(word, after)) {
                for (size_t k = 0; k < word.size(); ++k) {
                    if (!after[k]) continue;
                    out.append(line, copied, ends[k] - copied);
                    out += "&shy;";
                    copied = ends[k];
                }
            }
            word.clear();
            ends.clear();
        };
        for (size_t i = 0; i < line.size();) {
            const char ch = line[i];
            if (ch == '<' || ch == '&') {
                // Markup and escapes are no letters: they end a word and are passed by.
                flush();
                const size_t close = line.find(ch == '<' ? '>' : ';', i);
                if (ch == '&' && (close == std::string::npos || close - i > 12))
                    ++i;  // a lone "&" of a book made elsewhere
                else
                    i = close == std::string::npos ? line.size() : close + 1;
                continue;
            }
            const char32_t c = DecodeChar(line, i, cp);
            if (IsLetter(c)) {
                word += c;
                ends.push_back(i);
            } else {
                flush();
            }
        }
        flush();
        if (copied == 0) continue;
        out.append(line, copied, std::string::npos);
        line.swap(out);
    }
}
