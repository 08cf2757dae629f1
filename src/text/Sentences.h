// A paragraph's text cut into the sentences it is read aloud in: Russian and
// English punctuation, dialogue dashes, quotations, ellipses, abbreviations and
// initials taken into account, and a sentence too long for one breath cut at a
// comma or a space.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The sentences of text (UTF-8), in order, their blanks around them taken off;
// none longer than maxChars characters.
std::vector<std::string> SplitSentences(std::string_view text, size_t maxChars = 300);
