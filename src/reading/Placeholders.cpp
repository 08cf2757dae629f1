#include "reading/Placeholders.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Files.h"

std::string ReplaceAllPlaceholdersIn(const std::string& text, const LineList& values,
                                     const std::string& templateName) {
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (;;) {
        size_t amp = text.find('&', from);
        if (amp == std::string::npos) {
            out.append(text, from, std::string::npos);
            break;
        }
        out.append(text, from, amp - from);
        // The placeholder ends at the first ';' after the '&', or at the text's
        // last character when no ';' follows.
        size_t semi = text.find(';', amp + 1);
        size_t last = semi == std::string::npos ? text.size() - 1 : semi;
        std::string name = last > amp ? text.substr(amp + 1, last - amp - 1) : std::string();
        if (IndexOfName(values, name) >= 0) out += ValueOf(values, name);
        from = last + 1;
        if (out.size() + (text.size() - std::min(from, text.size())) > MaxTemplateOutput)
            throw ETextRefused(Fmt(Messages::tr("Template %s expands beyond 16 MB"), templateName));
    }
    return out;
}

void ReplaceAllPlaceholders(LineList& lines, const LineList& values,
                            const std::string& templateName) {
    std::string text = ReplaceAllPlaceholdersIn(JoinLines(lines), values, templateName);
    SplitText(text, lines);
}

void ReplacePlaceholder(LineList& lines, const std::string& name, const std::string& value) {
    std::string text = JoinLines(lines);
    std::string key = "&" + name + ";";
    size_t at = text.find(key);
    if (at == std::string::npos) return;
    text.replace(at, key.size(), value);
    SplitText(text, lines);
}

void ApplyTemplate(const std::string& templatePath, const std::string& outputPath,
                   const LineList& values) {
    LineList lines;
    LoadLinesFromFile(templatePath, lines);
    ReplaceAllPlaceholders(lines, values, templatePath);
    SaveLinesToFile(outputPath, lines);
}
