// What reads as a heading of a book: "Chapter IV", "ГЛАВА ПЕРВАЯ", "Book One:
// 1805", "Пролог", a roman numeral or a number standing alone. Texts are
// compared decoded and folded, so letter case is no matter in any charset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class THeadingKind {
    None,
    Part,     // Book, Part, Volume and their Russian equals: level 1
    Chapter,  // Chapter, Глава, Act, Prologue, Preface, ...: level 2
    Scene,    // Scene, Явление: under an act, level 3
    Numeral,  // a roman numeral or a number alone: level 2, or 3 under a chapter
};

// At most this many characters make a heading.
constexpr size_t MaxHeadingChars = 80;

// Classifies a text (UTF-8) as a heading by its words alone.
THeadingKind ClassifyHeading(std::string_view utf8);
// A line of marks only ("* * *", "---", "~~~"): a separator, never a heading.
bool IsSeparator(std::string_view utf8);
