// Find over a whole 100 MB book, from its first paragraph to the one match at
// its end: Latin text, and Russian text in windows-1251 and in UTF-8. The floor,
// measured in the same run, is reading the book's text without looking at it.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "TextGen.h"
#include "base/Files.h"
#include "convert/Converter.h"
#include "options/Options.h"
#include "search/TextMatcher.h"
#include "text/Charsets.h"

namespace {

constexpr int Runs = 7;

void Measure(const char* what, bool cyrillic, bool utf8, const std::string& needle) {
    const std::string src = ProgramFolder + "book.txt";
    {
        std::string text = GenerateText(100 << 20, cyrillic, 5);
        if (utf8) text = ToUtf8(text, CodePage::Win1251);
        text += "\r\n  " + (utf8 || !cyrillic ? needle : std::string()) + "\r\n";
        if (cyrillic && !utf8) {
            // The needle as windows-1251 writes it.
            std::string b;
            for (size_t i = 0; i < needle.size();) {
                unsigned char c;
                EncodeChar(DecodeChar(needle, i, CodePage::Utf8), CodePage::Win1251, c);
                b += char(c);
            }
            text.insert(text.size() - 2, b);
        }
        SaveFileSafely(src, text);
    }
    BookFile book = ConvertToBook(src, BooksFolder());
    book.SaveAsNewBook("book");
    ::unlink(src.c_str());
    const int32_t last = book.GetIntProperty("TotalParagraphs");
    const TextMatcher m(needle, book.GetProperty("Charset"));
    std::vector<double> searches, floors;
    for (int run = 0; run < Runs; ++run) {
        auto f = BenchClock::now();
        uint64_t bytes = 0;
        book.ReadBodyText([&](std::string_view piece) { bytes += piece.size(); });
        floors.push_back(SecondsSince(f));
        SearchHit hit;
        auto s = BenchClock::now();
        FindNext(book, m, 1, UINT64_MAX, hit);
        searches.push_back(SecondsSince(s));
        if (hit.Paragraph != last)
            std::printf("    (found at paragraph %d of %d)\n", hit.Paragraph, last);
    }
    const Spread s = SpreadOf(searches), f = SpreadOf(floors);
    std::printf("%-24s search %s | reading the text %s | %.2fx\n", what,
                Show(s, "ms", 1000).c_str(), Show(f, "ms", 1000).c_str(), s.median / f.median);
    std::fflush(stdout);
    ::unlink((BooksFolder() + book.FileName).c_str());
}

}  // namespace

int main() {
    std::string work = "/tmp/tavisto-search-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    ProgramFolder = work + "/";
    ::mkdir(BooksFolder().c_str(), 0755);
    Measure("100 MB Latin", false, false, "NEEDLE in the  haystack");
    Measure("100 MB windows-1251", true, false, "ИГОЛКА в стоге");
    Measure("100 MB UTF-8 Russian", true, true, "ИГОЛКА в стоге");
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
