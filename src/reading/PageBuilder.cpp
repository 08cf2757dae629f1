#include "reading/PageBuilder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"
#include "reading/Hyphenator.h"
#include "reading/Placeholders.h"
#include "text/Charsets.h"

const char* const BackSnippet =
    " <br> <center>   <input type=\"button\" value=\"        BACK        \""
    "onClick=\"alert('PrevPage');\"></center> <br><hr><br>";
const char* const ContinueSnippet =
    " <br><br><hr> <center>   <input type=\"button\" value=\"        CONTINUE        \""
    "onClick=\"alert('NextPage');\"></center> <br><br>";

void EscapeForeignMarkup(LineList& pageLines) {
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

namespace {

// The epigraphs and speakers a book keeps, read once for a page; a book
// file comes from anyone, so at most so many of each are taken.
struct BookMarks {
    std::vector<std::pair<int32_t, int32_t>> epigraphs;  // first line, name
    std::unordered_set<std::string> speakers;

    explicit BookMarks(const PageStructure& s) {
        std::string_view e = s.Epigraphs;
        while (!e.empty() && epigraphs.size() < 100000) {
            const size_t end = std::min(e.find(' '), e.size());
            const std::string_view one = e.substr(0, end);
            e.remove_prefix(std::min(end + 1, e.size()));
            const size_t dash = one.find('-');
            int32_t first = 0, name = 0;
            if (dash != std::string_view::npos && TryDecimalToInt(one.substr(0, dash), first) &&
                TryDecimalToInt(one.substr(dash + 1), name) && first <= name)
                epigraphs.push_back({first, name});
        }
        std::sort(epigraphs.begin(), epigraphs.end());
        std::string_view all = s.Speakers;
        while (!all.empty() && speakers.size() < 1000) {
            const size_t bar = std::min(all.find('|'), all.size());
            speakers.emplace(all.substr(0, bar));
            all.remove_prefix(std::min(bar + 1, all.size()));
        }
    }
    // "pepi" for a line of an epigraph, "pepa" for its name.
    const char* Epigraph(int32_t n) const {
        auto at = std::upper_bound(epigraphs.begin(), epigraphs.end(),
                                   std::pair<int32_t, int32_t>(n, INT32_MAX));
        if (at == epigraphs.begin()) return nullptr;
        --at;
        return n == at->second ? "pepa" : n < at->second ? "pepi" : nullptr;
    }
};

}  // namespace

void MarkStructure(LineList& pageLines, const PageStructure& structure) {
    const BookMarks marks(structure);
    const std::string* headingText = nullptr;  // the heading just marked
    const char* headingMark = nullptr;
    for (size_t i = 0; i < pageLines.size(); ++i) {
        std::string_view cls;
        size_t textAt = 0;
        const int32_t n = ParagraphTagOf(pageLines[i], cls, textAt);
        if (!n) continue;
        // The paragraph's text: this line's and the untagged lines after it.
        std::string text(std::string_view(pageLines[i]).substr(textAt));
        for (size_t j = i + 1; j < pageLines.size(); ++j) {
            std::string_view nextCls;
            size_t nextAt = 0;
            if (ParagraphTagOf(pageLines[j], nextCls, nextAt)) break;
            text.append(" ").append(pageLines[j]);
        }
        const char* mark = nullptr;
        const std::string_view t = TrimBlanks(text, structure.Page);
        if (structure.Contents) {
            const auto& c = *structure.Contents;
            auto at = std::lower_bound(c.begin(), c.end(), n,
                                       [](const Heading& h, int32_t p) { return h.Paragraph < p; });
            if (at != c.end() && at->Paragraph == n) {
                mark = at->Level <= 1 ? "ph1" : at->Level == 2 ? "ph2" : "ph3";
                headingText = &at->Text;
                headingMark = mark;
            } else if (headingText && !t.empty()) {
                // The title under a numbered heading: its contents entry ends
                // with it ("Глава первая. Дурное поведение").
                std::string shown;
                AppendShownText(shown, t);
                const std::string& h = *headingText;
                if (h.size() > shown.size() + 1 &&
                    h.compare(h.size() - shown.size(), shown.size(), shown) == 0)
                    mark = headingMark;
                headingText = nullptr;
            }
        }
        if (!mark) mark = marks.Epigraph(n);
        if (!mark && !marks.speakers.empty() && !t.empty() && t.size() <= 160) {
            std::string name;
            AppendShownText(name, t);
            while (!name.empty() && (name.back() == '.' || name.back() == ':')) name.pop_back();
            if (marks.speakers.count(name)) mark = "pspk";
        }
        if (!mark) {
            if (t.empty()) {
                mark = "pgap";
            } else if (t.size() <= 40) {
                std::string shown;
                AppendShownText(shown, t);
                if (IsSeparator(ToUtf8(shown, structure.Page))) mark = "pbrk";
            }
        }
        if (!mark) continue;
        // The tag of this line ends with "\">" just before its text.
        pageLines[i].insert(textAt - 2, std::string(" ") + mark);
    }
}

namespace {
// A button snippet with its caption in the program's language. Letters beyond
// ASCII are written as character references, which read right in any charset
// the page is declared in.
std::string Captioned(const char* snippet, const char* caption, const std::string& shown) {
    std::string s = snippet;
    if (shown == caption) return s;
    std::string ref;
    for (size_t i = 0; i < shown.size();) {
        const char32_t c = DecodeChar(shown, i, CodePage::Utf8);
        if (c < 0x80 && c != '"' && c != '&' && c != '<')
            ref += char(c);
        else
            ref += "&#" + std::to_string(uint32_t(c)) + ";";
    }
    s.replace(s.find(caption), std::strlen(caption), ref);
    return s;
}
}  // namespace

namespace {
// The text of a page as shown: its markup escaped, its structure marked, its words hyphenated.
void PreparePageText(LineList& pageLines, const PageStructure* structure) {
    EscapeForeignMarkup(pageLines);
    if (structure) MarkStructure(pageLines, *structure);
    if (structure && structure->Hyphens) structure->Hyphens->Hyphenate(pageLines, structure->Page);
}

std::string BackButton(bool isFirstPage) {
    return isFirstPage ? "" : Captioned(BackSnippet, "BACK", Messages::tr("BACK"));
}

// The page's last paragraph is closed first: the button's line breaks stand
// outside it, and go with the button when pages are joined.
std::string ContinueButton(bool isLastPage) {
    return isLastPage ? ""
                      : "</p>" + Captioned(ContinueSnippet, "CONTINUE", Messages::tr("CONTINUE"));
}
}  // namespace

void BuildPageHtml(LineList& pageLines, const std::string& templatePath, bool isFirstPage,
                   bool isLastPage, const PageStructure* structure) {
    LineList t;
    LoadLinesFromFile(templatePath, t);
    PreparePageText(pageLines, structure);
    // The template's own placeholders first, the text last: a placeholder
    // spelled in the book's text is text.
    ReplacePlaceholder(t, "Pg_Up", BackButton(isFirstPage));
    ReplacePlaceholder(t, "Pg_Dn", ContinueButton(isLastPage));
    if (structure)
        for (const auto& line : structure->TemplateValues) {
            const size_t eq = line.find('=');
            ReplacePlaceholder(t, line.substr(0, eq),
                               eq == std::string::npos ? "" : line.substr(eq + 1));
        }
    ReplacePlaceholder(t, "Page_Text", JoinLines(pageLines));
    SplitText(JoinLines(t), pageLines);
}

void BuildJoinedPage(LineList& pageLines, bool isFirstPage, bool isLastPage,
                     const PageStructure* structure) {
    PreparePageText(pageLines, structure);
    pageLines.insert(pageLines.begin(), BackButton(isFirstPage));
    pageLines.push_back(ContinueButton(isLastPage));
}

LineList PageStyleValues(const LineList& options) {
    LineList values = options;
    const bool indent = ValueOf(options, "first_indent") != "0";
    SetValue(values, "text_indent", indent ? "1.6em" : "0");
    SetValue(values, "par_gap", indent ? "0" : ValueOf(options, "par_space") + "em");
    return values;
}
