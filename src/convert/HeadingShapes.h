// A short line reduced to its shape: what stays the same from one chapter's
// heading to the next. "ГЛАВА IV" and "ГЛАВА XII" are both "глава #", "3
// января" and "5 февраля" both "# @", "1. Дурное поведение" and "2. Сержант
// гвардии" both "#. w". The numbers taken out are kept as one value, so that
// a run of lines of one shape shows whether they count up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/Charsets.h"

// What a known word says of a heading: it only adds weight.
enum class HeadingWord {
    None,
    Part,     // part, book, volume, часть, книга, том
    Chapter,  // chapter, глава, act, действие, letter, письмо
    Scene,    // scene, явление, картина
    Alone,    // a heading by itself: preface, epilogue, пролог, приложение
    Notes,    // notes, примечания: the numbers under them are the notes'
};

struct LineShape {
    std::string Key;     // empty: the line cannot be a heading
    int64_t Value = -1;  // the number it carries, -1 without one
    HeadingWord Word = HeadingWord::None;
    bool Capitals = false;  // its letters are capitals only (two at least)
    bool Numbered() const { return Value >= 0; }
};

// At most this many characters make a heading.
constexpr size_t MaxHeadingChars = 80;

// The shape of a line's text (UTF-8, shown text, trimmed). A line that begins
// as speech or a sentence's continuation does (a dash, a quote, a small
// letter), or that ends a sentence other than after a number ("IV.",
// "Глава 2."), has no shape. Without wholeKey, the key of a shape neither
// numbered, nor in capitals, nor of a known word may be only its beginning:
// enough for a caller that asks no more of such a line than whether it has one.
LineShape ShapeOf(std::string_view utf8, bool wholeKey = true);

// A line of marks only ("* * *", "---", "~~~"): a break, never a heading.
bool IsSeparator(std::string_view utf8);
// Whether a text ends as a sentence does: ".", "!", "?", "…", or one of them
// before a closing quote or bracket (written as the text writes it, in UTF-8
// or in page).
bool EndsSentence(std::string_view text, CodePage page = CodePage::Utf8);
// The words that close a book: "THE END", "Конец", "Finis".
bool ClosingWords(std::string_view utf8);
// The value of a number's word, folded ("первая", "third"), or 0.
int NumberWordValue(std::u32string_view word);
// A roman numeral, Latin letters or the Cyrillic ones that look like them
// ("ХІІ"), in either case; its value, or 0 when it is none.
int RomanValue(std::u32string_view word);
