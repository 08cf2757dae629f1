// Book files as the reader meets them on disk: loaded with their page index and
// contents, every page read, searched, the position saved. A file either loads
// or is refused with the program's own error; one that loads is written back
// with every byte of its text, and loads again to the same record.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFolder.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"
#include "book/BookFile.h"
#include "convert/Converter.h"
#include "convert/Headings.h"
#include "convert/TextAnalysis.h"
#include "reading/Hyphenator.h"
#include "reading/PageBuilder.h"
#include "reading/ReadAloud.h"
#include "search/TextMatcher.h"
#include "text/Charsets.h"

namespace {

std::string WithoutSoftHyphens(std::string s) {
    for (size_t at; (at = s.find("&shy;")) != std::string::npos;) s.erase(at, 5);
    return s;
}

// The page as the view gets it: hyphenation adds soft hyphens and nothing else;
// read aloud, its first paragraphs give sentences of a breath each.
void SetPage(LineList page, CodePage cp) {
    for (int32_t n = 1; n <= 8; ++n)
        for (const std::string& s : ParagraphSentences(page, n, cp))
            if (s.empty() || CharCount(s, CodePage::Utf8) > 300) __builtin_trap();
    EscapeForeignMarkup(page);
    LineList set = page;
    for (const char* language : {"ru", "en"}) {
        const Hyphenator* h = Hyphenator::ForLanguage(language);
        if (!h) continue;
        h->Hyphenate(set, cp);
        for (size_t i = 0; i < page.size(); ++i)
            if (WithoutSoftHyphens(set[i]) != WithoutSoftHyphens(page[i])) __builtin_trap();
    }
}

// The letters and digits of a book's text, its tags and markers aside.
uint64_t LettersOf(BookFile& b) {
    uint64_t n = 0;
    b.ForEachLine([&](std::string_view line) {
        int32_t tag = 0;
        for (const char c : TextOfBodyLine(line, tag)) n += std::isalnum((unsigned char)c) != 0;
    });
    return n;
}

std::string BodyOf(BookFile& b) {
    std::string text;
    b.ReadBodyText([&](std::string_view piece) { text.append(piece); });
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SaveFileSafely(Folder() + "f.tvst", bytes);
    BookFile book(Folder());
    book.FileName = "f.tvst";
    try {
        book.LoadFromBookFile();
    } catch (const EAppError&) {
        if (ReadWholeFile(Folder() + "f.tvst") != bytes) __builtin_trap();  // never written
        return 0;
    }
    const std::string body = BodyOf(book);
    try {
        EnsureContents(book);
        ParseContents(book.Contents);
        LineList page;
        const int32_t pages = book.GetIntProperty("PagesCount");
        for (int32_t n = 0; n <= pages + 1 && n <= 64; ++n) {
            book.ExtractPage(n, page);
            if (n <= 2) SetPage(page, CodePageOf(book.GetProperty("Charset")));
            book.FirstParagraphOfPage(n);
        }
        book.PageOfParagraph(book.LastParagraph);
        TextMatcher matcher("a", book.GetProperty("Charset"));
        int hits = 0;
        matcher.Scan(book, 0, [&](const SearchHit&) { return ++hits < 100; });
        book.SavePosition();
    } catch (const EAppError&) {
        return 0;  // refused as it was read: nothing of it was written
    }
    BookFile again(Folder());
    again.FileName = "f.tvst";
    again.LoadFromBookFile();
    if (again.Title != book.Title || again.Properties != book.Properties || BodyOf(again) != body)
        __builtin_trap();
    // A rebuild in another layout reads all of the text or refuses: it never
    // makes a book of less text than it read.
    try {
        const uint64_t letters = LettersOf(again);
        const Layout::Shape kind = Layout::Classic;
        RebuildBook(again, &kind);
        if (LettersOf(again) < letters) __builtin_trap();
    } catch (const EAppError&) {
    }
    return 0;
}
