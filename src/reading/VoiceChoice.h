// The voices a speech engine offers, as a reader chooses among them: espeak
// names a voice's variants "Voice+Variant" (a hundred for each language),
// folded here under their voice; and a sensible voice for each language.
#pragma once

#include <string>
#include <vector>

// The voices without their variants, in the engine's order.
std::vector<std::string> MainVoices(const std::vector<std::string>& voices);
// The variants of voice main ("Adam" of "English (America)+Adam"), in order.
std::vector<std::string> VariantsOf(const std::vector<std::string>& voices,
                                    const std::string& main);
// The voice a book of language ("ru", "en") is read in when the reader chose
// none: a main voice, for English that of Great Britain or America rather
// than the first listed ("Caribbean"); empty when there is none.
std::string DefaultVoice(const std::vector<std::string>& voices, const std::string& language);
