// Where the words of the page being shown may break at a line's end: soft
// hyphens put in by the hyphenation patterns of the book's language (those the
// system installs for libhyphen). Only the page's HTML changes; the book's bytes,
// its search and its contents never see them.
#pragma once

#include <memory>
#include <string>

#include "../core/unitCodePages.h"
#include "../core/unitStrings.h"

class THyphenator {
  public:
    // Loads a pattern file (hyph_*.dic). Raises "Cannot open file %s" when it
    // cannot be read, and says it cannot be used when it is no pattern file
    // (too large, binary, lines longer than libhyphen reads).
    explicit THyphenator(const std::string& dicPath);
    ~THyphenator();
    THyphenator(const THyphenator&) = delete;
    THyphenator& operator=(const THyphenator&) = delete;

    // The patterns of a language ("ru", "en"), loaded once from the folder the
    // system keeps them in; null when the language has none there, or none
    // that can be used (said once on standard error).
    static const THyphenator* ForLanguage(const std::string& language);
    // Where ForLanguage looks; tests point it elsewhere.
    static std::string Folder;

    // Puts "&shy;" at every break of every word of the page's text (tags,
    // escapes and words of other alphabets left as they are).
    void Hyphenate(TLines& pageLines, TCodePage cp) const;
    // The word's breaks, marked with "-" (for tests and tools); UTF-8 in and out.
    std::string Show(const std::string& wordUtf8) const;

  private:
    // The break points of the word's characters: after[i] is true when the word
    // may break after its character i. False when the patterns cannot take it.
    bool Breaks(const std::u32string& word, std::string& after) const;

    struct TDict;
    std::unique_ptr<TDict> dict_;
};
