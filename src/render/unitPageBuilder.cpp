#include "unitPageBuilder.h"

#include <cstring>

#include "../core/unitCodePages.h"
#include "../core/unitFiles.h"
#include "unitStrSubs.h"

const char* const BackSnippet =
    " <br> <center>   <input type=\"button\" value=\"        BACK        \""
    "onClick=\"alert('PrevPage');\"></center> <br><hr><br>";
const char* const ContinueSnippet =
    " <br><br><hr> <center>   <input type=\"button\" value=\"        CONTINUE        \""
    "onClick=\"alert('NextPage');\"></center> <br><br>";

namespace {

size_t Digits(std::string_view s, size_t at) {
    size_t n = 0;
    while (at + n < s.size() && s[at + n] >= '0' && s[at + n] <= '9') ++n;
    return n;
}

// Whether s[at] begins <p id="parN" class="C"> or <PageN>.
bool OwnTagAt(std::string_view s, size_t at) {
    std::string_view rest = s.substr(at);
    if (rest.substr(0, 5) == "<Page") {
        size_t i = 5 + (rest.size() > 5 && rest[5] == '-');
        size_t d = Digits(rest, i);
        return d > 0 && i + d < rest.size() && rest[i + d] == '>';
    }
    static const char open[] = "<p id=\"par";
    if (rest.substr(0, sizeof open - 1) != open) return false;
    size_t i = sizeof open - 1;
    size_t d = Digits(rest, i);
    if (d == 0) return false;
    rest = rest.substr(i + d);
    for (const char* cls : {"pnorm", "pnor0", "ptitl", "pepig"}) {
        const std::string tail = std::string("\" class=\"") + cls + "\">";
        if (rest.substr(0, tail.size()) == tail) return true;
    }
    return false;
}

}  // namespace

void EscapeForeignMarkup(TLines& pageLines) {
    for (auto& line : pageLines) {
        if (!std::memchr(line.data(), '<', line.size())) continue;
        std::string out;
        out.reserve(line.size() + 16);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '<' && !OwnTagAt(line, i))
                out += "&lt;";
            else
                out += line[i];
        }
        line.swap(out);
    }
}

std::string PageCharset(const std::string& charset) {
    return IsKnownCharset(charset) ? charset : "Windows-1252";
}

void BuildVPage(TLines& pageLines, const std::string& templatePath, bool isFirstPage,
                bool isLastPage) {
    TLines t;
    LoadLinesFromFile(templatePath, t);
    EscapeForeignMarkup(pageLines);
    ReplacePlaceholder(t, "Pg_Up", isFirstPage ? "" : BackSnippet);
    ReplacePlaceholder(t, "Page_Text", JoinLines(pageLines));
    ReplacePlaceholder(t, "Pg_Dn", isLastPage ? "" : ContinueSnippet);
    SplitText(JoinLines(t), pageLines);
}
