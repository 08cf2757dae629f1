#include "unitPageBuilder.h"

#include <cstring>

#include "../core/unitBodyLines.h"
#include "../core/unitCodePages.h"
#include "../core/unitFiles.h"
#include "unitStrSubs.h"

const char* const BackSnippet =
    " <br> <center>   <input type=\"button\" value=\"        BACK        \""
    "onClick=\"alert('PrevPage');\"></center> <br><hr><br>";
const char* const ContinueSnippet =
    " <br><br><hr> <center>   <input type=\"button\" value=\"        CONTINUE        \""
    "onClick=\"alert('NextPage');\"></center> <br><br>";

void EscapeForeignMarkup(TLines& pageLines) {
    for (auto& line : pageLines) {
        if (!std::memchr(line.data(), '<', line.size())) continue;
        std::string out;
        out.reserve(line.size() + 16);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '<' && !BodyMarkupAt(line, i))
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
