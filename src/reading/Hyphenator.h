// Where the words of the page being shown may break at a line's end: soft
// hyphens put in by the hyphenation patterns of the book's language (those the
// system installs for libhyphen). Only the page's HTML changes; the book's bytes,
// its search and its contents never see them.
#pragma once

#include <memory>
#include <string>

#include "base/Strings.h"
#include "text/Charsets.h"

class Hyphenator {
  public:
    // Loads a pattern file (hyph_*.dic). Raises "Cannot open file %s" when it
    // cannot be read, and says it cannot be used when it is no pattern file
    // (too large, binary, lines longer than libhyphen reads).
    explicit Hyphenator(const std::string& dicPath);
    ~Hyphenator();
    Hyphenator(const Hyphenator&) = delete;
    Hyphenator& operator=(const Hyphenator&) = delete;

    // The patterns of a language ("ru", "en"), loaded once from the folder the
    // system keeps them in; null when the language has none there, or none
    // that can be used (said once on standard error).
    static const Hyphenator* ForLanguage(const std::string& language);
    // Where ForLanguage looks; tests point it elsewhere.
    static std::string Folder;

    // Puts "&shy;" at every break of every word of the page's text (tags,
    // escapes and words of other alphabets left as they are).
    void Hyphenate(LineList& pageLines, CodePage cp) const;
    // The word's breaks, marked with "-" (for tests and tools); UTF-8 in and out.
    std::string Show(const std::string& wordUtf8) const;

  private:
    // The break points of the word's characters: after[i] is true when the word
    // may break after its character i. False when the patterns cannot take it.
    bool Breaks(const std::u32string& word, std::string& after) const;

    struct Dictionary;
    std::unique_ptr<Dictionary> dict_;
};
