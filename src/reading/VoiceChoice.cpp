#include "reading/VoiceChoice.h"

std::vector<std::string> MainVoices(const std::vector<std::string>& voices) {
    std::vector<std::string> out;
    for (const std::string& v : voices)
        if (v.find('+') == std::string::npos) out.push_back(v);
    return out;
}

std::vector<std::string> VariantsOf(const std::vector<std::string>& voices,
                                    const std::string& main) {
    std::vector<std::string> out;
    for (const std::string& v : voices)
        if (v.size() > main.size() + 1 && v.compare(0, main.size(), main) == 0 &&
            v[main.size()] == '+')
            out.push_back(v.substr(main.size() + 1));
    return out;
}

std::string DefaultVoice(const std::vector<std::string>& voices, const std::string& language) {
    const std::vector<std::string> main = MainVoices(voices);
    if (language == "en")
        for (const char* place : {"Great Britain", "America"})
            for (const std::string& v : main)
                if (v.find(place) != std::string::npos) return v;
    if (!main.empty()) return main.front();
    return voices.empty() ? std::string() : voices.front();
}
