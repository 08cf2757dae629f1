#include "unitTextConversions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "unitCodePages.h"
#include "unitErrors.h"
#include "unitFiles.h"
#include "unitHeadings.h"
#include "unitParagraphs.h"

const char* const ProbeWords[10] = {
    "\xF7\xE5\xEB\xEE\xE2\xE5\xEA",  // chelovek
    "\xEC\xEE\xE6\xED\xEE",          // mozhno
    "\xED\xF3\xE6\xED\xEE",          // nuzhno
    "\xE1\xF3\xE4\xE5\xF2",          // budet
    "\xE7\xE4\xE5\xF1\xFC",          // zdes'
    "\xED\xE0\xE4\xEE",              // nado
    "\xE1\xE5\xE4\xED\xEE",          // bedno
    "\xF1\xF2\xF0\xE0\xED\xED\xEE",  // stranno
    "\xE2\xE8\xE4\xED\xEE",          // vidno
    "\xE1\xFB\xEB\xEE",              // bylo
};

namespace {

// Reports a stage's progress every so many lines, so the cost stays negligible.
class TStepper {
  public:
    TStepper(TConversionProgress* p, size_t total) : p_(p), total_(total ? total : 1) {}
    void At(size_t i) {
        if (p_ && (i & 0xFFFF) == 0) p_->StageProgress(double(i) / double(total_));
    }

  private:
    TConversionProgress* p_;
    size_t total_;
};

}  // namespace

std::string ConvertLine(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 8);
    for (char c : line) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

static bool HasAngle(const std::string& s) {
    for (char c : s)
        if (c == '<' || c == '>') return true;
    return false;
}

void ConvertSymbols(TBookInfo& book, TConversionProgress* progress) {
    TLines& body = book.EditBody();
    TStepper step(progress, body.size());
    for (size_t i = 0; i < body.size(); ++i) {
        step.At(i);
        // Most lines hold no angle bracket and keep their bytes as they are.
        if (HasAngle(body[i])) body[i] = ConvertLine(body[i]);
    }
}

void RemoveDashes(TBookInfo& book) {
    TLines& body = book.EditBody();
    if (body.size() < 2) return;
    for (size_t i = 0; i + 1 < body.size(); ++i) {
        std::string& a = body[i];
        const std::string& b = body[i + 1];
        if (!a.empty() && !b.empty() && a.back() == '-' && b.front() == ' ') a.pop_back();
    }
}

int64_t RoundHalfEvenDiv(uint64_t sum, uint64_t count) {
    uint64_t q = sum / count, r = sum % count;
    if (2 * r > count || (2 * r == count && (q & 1))) ++q;
    return int64_t(q);
}

bool LooksLikeUtf8(std::string_view s, bool cutAtEnd, bool tolerant) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return true;
    uint64_t multi = 0, bad = 0;
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;  // no overlong forms
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
        }
        bool valid = len > 0;
        for (size_t k = 1; valid && k < len; ++k) {
            if (i + k >= n) {
                if (cutAtEnd) return bad * 1000 <= multi;
                valid = false;
                break;
            }
            unsigned b = p[i + k];
            if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) valid = false;
        }
        if (!valid) {
            // A stray byte: the view shows it as U+FFFD in a text that is UTF-8 otherwise.
            if (!tolerant) return false;
            ++bad;
            ++i;
            continue;
        }
        ++multi;
        i += len;
    }
    return multi > 0 && bad * 1000 <= multi;
}

static bool IsDelimiter(unsigned char c) {
    return c == ' ' || c == ',' || c == '-' || c == '.' || c == ';';
}

std::string AnalyzeCharset(const TLines& lines) {
    std::string sample;
    sample.reserve(CharsetSampleSize + 2);
    for (const auto& l : lines) {
        if (sample.size() >= CharsetSampleSize) break;
        sample += l;
        sample += "\r\n";
    }
    bool cut = sample.size() > CharsetSampleSize;
    if (cut) sample.resize(CharsetSampleSize);

    // Most texts written today are UTF-8; their bytes decode as nothing else.
    if (LooksLikeUtf8(sample, cut, true)) return "UTF-8";

    uint64_t sum = 0, count = 0;
    for (unsigned char c : sample) {
        if (c > 0x41) {
            sum += c;
            ++count;
        }
    }
    // A sample without letters has no average; it is taken as Western text.
    if (count == 0) return "Windows-1252";
    if (RoundHalfEvenDiv(sum, count) < 128) return "Windows-1252";

    bool found = false;
    for (const char* word : ProbeWords) {
        std::string_view w(word);
        size_t at = sample.find(w);
        if (at == std::string::npos || at <= 1) continue;
        size_t after = at + w.size();
        if (after >= sample.size()) continue;
        if (IsDelimiter((unsigned char)sample[at - 1]) && IsDelimiter((unsigned char)sample[after]))
            found = true;
    }
    return found ? "windows-1251" : "cp866";
}

TLayout CreateParagraphs(TBookInfo& book, TConversionProgress* progress, const TLayout::TKind* kind,
                         std::vector<int32_t>* paragraphOfLine) {
    TLines& body = book.EditBody();
    if (body.empty()) {
        book.SetProperty("TotalParagraphs", "0");
        return {};
    }
    const std::string charset = book.GetProperty("Charset");
    // One look at the whole text decides how its lines are read.
    TLayoutStats stats(charset);
    for (const auto& line : body) stats.Add(line);
    const TLayout layout = kind ? stats.Make(*kind) : stats.Decide();
    TStepper step(progress, body.size());
    TParagraphBuilder builder(charset, layout);
    TLines out;
    out.reserve(body.size());
    if (paragraphOfLine) paragraphOfLine->clear();
    for (size_t i = 0; i < body.size(); ++i) {
        step.At(i);
        bool first = true;
        builder.Add(body[i], [&](int32_t n, const char* cls, std::string_view text) {
            if (first && paragraphOfLine) paragraphOfLine->push_back(builder.Count());
            first = false;
            out.push_back(n ? InsertParagraphTag(text, n, cls) : std::string(text));
        });
        TLines::value_type().swap(body[i]);
    }
    body.swap(out);
    book.SetProperty("TotalParagraphs", IntToStr(builder.Count()));
    return layout;
}

void FindContents(TBookInfo& book) {
    const std::string layout = book.GetProperty("Layout");
    THeadingFinder finder(book.GetProperty("Charset"), layout == "lines" || layout == "verse");
    book.ForEachLine([&](std::string_view line) { finder.Add(line); });
    finder.Finish();
    book.ReservedA = ContentsLines(finder.Headings());
    book.SetProperty("Headings", IntToStr(int64_t(finder.Headings().size())));
}

bool EnsureContents(TBookInfo& book) {
    if (!book.GetProperty("Headings").empty()) return false;
    FindContents(book);
    return true;
}

TLayout RebuildParagraphs(TBookInfo& book, const TLayout::TKind* kind) {
    // The tags and markers come off; the lines stay as the conversion left them.
    TLines& body = book.EditBody();
    const int32_t oldParagraph = book.LastParagraph;
    size_t lineOfPosition = 0;
    bool found = false;
    for (size_t i = 0; i < body.size(); ++i) {
        int32_t n = 0;
        const std::string_view text = TextOfBodyLine(body[i], n);
        if (n == oldParagraph && !found) {
            lineOfPosition = i;
            found = true;
        }
        body[i].erase(0, body[i].size() - text.size());
    }
    std::vector<int32_t> paragraphOfLine;
    const TLayout layout = CreateParagraphs(book, nullptr, kind, &paragraphOfLine);
    CreateVirtualPages(book);
    book.SetProperty("Layout", layout.Name());
    FindContents(book);
    // The reading position: the paragraph that now holds the line the old one
    // began with, on the page that holds it.
    int32_t paragraph = 1, page = 1;
    if (found && lineOfPosition < paragraphOfLine.size())
        paragraph = paragraphOfLine[lineOfPosition];
    for (const auto& l : book.Body()) {
        if (l.compare(0, 5, "<Page") != 0) continue;
        int32_t tag = 0;
        TextOfBodyLine(l, tag);
        // The page whose marker comes last before the paragraph.
        if (tag > paragraph) break;
        int32_t n = 0;
        if (TryDecimalToInt(std::string_view(l).substr(5, l.find('>') - 5), n)) page = n;
    }
    book.LastParagraph = paragraph;
    book.LastPage = page;
    book.SetProperty("LastParagraph", IntToStr(paragraph));
    book.SetProperty("LastPage", IntToStr(page));
    return layout;
}

void CreateVirtualPages(TBookInfo& book, TConversionProgress* progress) {
    // One pass over the lines gives what inserting each marker into the joined
    // text (lines with CR LF) and skipping VPageSize bytes from it would give.
    TLines& body = book.EditBody();
    TStepper step(progress, body.size());
    TPageMarker marker;
    std::string line;
    for (size_t i = 0; i < body.size(); ++i) {
        step.At(i);
        line.clear();
        marker.Line({body[i]}, [&](std::string_view piece) { line.append(piece); });
        line.resize(line.size() - 2);  // the CR LF
        if (line.size() != body[i].size()) body[i].swap(line);
    }
    // The page index: where each marker stands in the marked text, so that a
    // reader finds a page without searching the text.
    book.ReservedB.clear();
    for (uint64_t at : marker.Offsets()) book.ReservedB.push_back(IntToStr(int64_t(at)));
    book.SetProperty("PagesCount", IntToStr(marker.Pages()));
}

std::string BookBaseName(const std::string& sourcePath) {
    std::string name = sourcePath.substr(sourcePath.rfind('/') + 1);
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    // A text named ".txt" or "...txt" must not make a hidden book.
    base.erase(0, base.find_first_not_of('.'));
    return base.empty() ? "book" : base;
}

std::string ChooseBookFileName(const std::string& sourcePath, const std::string& booksFolder) {
    const std::string base = BookBaseName(sourcePath);
    std::string candidate = base + ".tvst";
    // A name is taken by anything that stands there, a folder included.
    if (!PathTaken(booksFolder + candidate)) return candidate;
    for (uint64_t i = 1;; ++i) {
        candidate = base + "(" + IntToStr(int64_t(i)) + ").tvst";
        if (!PathTaken(booksFolder + candidate)) return candidate;
    }
}

bool LooksBinary(std::string_view sample) {
    size_t bad = 0;
    for (char ch : sample) {
        unsigned char c = (unsigned char)ch;
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') ++bad;
    }
    return bad * 100 > sample.size();
}

// Reads the source in pieces and splits it into lines as a line list is split:
// CR LF, CR or LF end a line, the last terminator adds no line. A NUL byte is
// kept as a space; UTF-16 (by its byte-order mark) is read as UTF-8. Returns
// true when the text was UTF-16.
static bool LoadSourceLines(const std::string& path, TLines& lines, TConversionProgress* progress) {
    TFd file(OpenRegularFile(path));
    const int fd = file.Get();
    struct stat st;
    if (::fstat(fd, &st) != 0) throw EFileError(Fmt("Cannot open file %s", path));
    if (uint64_t(st.st_size) > MaxBlockSize)
        throw ETextRefused(Fmt("%s is too large for a book file", path));

    TLineSplitter split(lines);
    lines.reserve(size_t(st.st_size) / 48 + 16);
    std::string buf(1 << 20, '\0');
    std::string utf8;
    std::unique_ptr<TUtf16Decoder> utf16;
    uint64_t done = 0;
    bool first = true;
    auto feed = [&](char* data, size_t n) {
        if (first && LooksBinary(std::string_view(data, std::min<size_t>(n, 65536))))
            throw ETextRefused(Fmt("%s is not a text file", path));
        first = false;
        // A NUL byte is kept as a space: the text after it is the book's too.
        for (char* p = data; (p = static_cast<char*>(std::memchr(p, 0, size_t(data + n - p))));)
            *p++ = ' ';
        split.Feed(data, n);
    };
    for (;;) {
        ssize_t got = ::read(fd, buf.data(), buf.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EFileError(Fmt("Cannot open file %s", path));
        }
        if (got == 0) break;
        size_t skip = 0;
        if (done == 0 && got >= 2) {
            const auto b0 = static_cast<unsigned char>(buf[0]),
                       b1 = static_cast<unsigned char>(buf[1]);
            if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
                utf16 = std::make_unique<TUtf16Decoder>(b0 == 0xFE);
                skip = 2;  // the byte-order mark is no part of the text
            }
        }
        done += uint64_t(got);
        // What is read counts, not what the file said of itself when opened.
        if (done > MaxBlockSize) throw ETextRefused(Fmt("%s is too large for a book file", path));
        if (progress && st.st_size > 0) progress->StageProgress(double(done) / double(st.st_size));
        if (utf16) {
            utf8.clear();
            utf16->Feed(buf.data() + skip, size_t(got) - skip, utf8);
            if (!utf8.empty()) feed(utf8.data(), utf8.size());
        } else {
            feed(buf.data(), size_t(got));
        }
    }
    if (utf16) {
        utf8.clear();
        utf16->Finish(utf8);
        if (!utf8.empty()) feed(utf8.data(), utf8.size());
    }
    split.Finish();
    return utf16 != nullptr;
}

namespace {

// A line's text without its surrounding blanks (no-break spaces included) and
// with the conversion's escapes undone.
std::string PlainText(std::string_view line, TCodePage cp) {
    auto blankAt = [&](size_t i, bool back) -> size_t {
        // The length of the blank that begins (or, back, ends) at i; 0 when none.
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == ' ' || c == '\t') return 1;
        if (cp == TCodePage::Utf8) {
            if (!back && c == 0xC2 && i + 1 < line.size() &&
                static_cast<unsigned char>(line[i + 1]) == 0xA0)
                return 2;
            if (back && c == 0xA0 && i > 0 && static_cast<unsigned char>(line[i - 1]) == 0xC2)
                return 2;
            return 0;
        }
        return (cp == TCodePage::Cp866 ? c == 0xFF : c == 0xA0) ? 1 : 0;
    };
    size_t b = 0, e = line.size();
    while (b < e)
        if (size_t n = blankAt(b, false))
            b += n;
        else
            break;
    while (e > b)
        if (size_t n = blankAt(e - 1, true))
            e -= n;
        else
            break;
    std::string out(line.substr(b, e - b));
    for (auto [from, to] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}})
        for (size_t at; (at = out.find(from)) != std::string::npos;) out.replace(at, 4, to);
    return out;
}

// A person's name: two to four words, each beginning with a capital.
bool NameLike(const std::string& utf8) {
    int words = 0;
    bool wordStart = true;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = DecodeChar(utf8, i, TCodePage::Utf8);
        if (c == ' ' || c == 0xA0) {
            wordStart = true;
            continue;
        }
        if (wordStart) {
            if (!IsUpper(c)) return false;
            ++words;
            wordStart = false;
        } else if (!IsLetter(c) && c != '.' && c != '-' && c != '\'') {
            return false;
        }
    }
    return words >= 2 && words <= 4;
}

}  // namespace

void FindTitleAndAuthor(const TLines& lines, const std::string& charset, std::string& title,
                        std::string& author) {
    const TCodePage cp = CodePageOf(charset);
    title.clear();
    author.clear();
    // A Project Gutenberg header names both.
    for (size_t i = 0; i < lines.size() && i < 100; ++i) {
        if (lines[i].rfind("Title:", 0) == 0 && title.empty())
            title = PlainText(lines[i].substr(6), cp);
        if (lines[i].rfind("Author:", 0) == 0 && author.empty())
            author = PlainText(lines[i].substr(7), cp);
    }
    if (!title.empty()) return;
    author.clear();
    // Otherwise the short lines that open the text.
    struct TTop {
        std::string text;
        bool titleParagraph;  // indented as a title
    };
    std::vector<TTop> top;
    for (size_t i = 0; i < lines.size() && i < 15 && top.size() < 3; ++i) {
        std::string t = PlainText(lines[i], cp);
        if (t.empty()) continue;
        if (CharCount(t, cp) > MaxHeadingChars) break;
        const int indent = EffectiveIndent(lines[i]);
        top.push_back({std::move(t), indent > 6 && indent <= 35});
    }
    if (top.empty()) return;
    auto utf8 = [&](const std::string& t) { return ToUtf8(t, cp); };
    auto heading = [&](const TTop& t) {
        return ClassifyHeading(utf8(t.text)) != THeadingKind::None;
    };
    // A text that opens with a title paragraph: the title, and a name after it
    // for the author.
    if (top[0].titleParagraph && !heading(top[0])) {
        title = top[0].text;
        if (top.size() > 1 && NameLike(utf8(top[1].text))) author = top[1].text;
        return;
    }
    // Flush lines: an author's name and a title, "Name. Title", or a title
    // alone. A text that opens with a heading (a cast list, a chapter) names none.
    if (heading(top[0])) return;
    size_t dot = top[0].text.find(". ");
    if (dot != std::string::npos && NameLike(utf8(top[0].text.substr(0, dot)))) {
        author = top[0].text.substr(0, dot);
        title = PlainText(top[0].text.substr(dot + 2), cp);
        return;
    }
    if (NameLike(utf8(top[0].text)) && top.size() > 1 && !heading(top[1])) {
        author = top[0].text;
        title = top[1].text;
        return;
    }
    title = top[0].text;
    if (top.size() > 1 && NameLike(utf8(top[1].text))) author = top[1].text;
}

void ConvertBody(const std::string& sourcePath, TBookInfo& book, TConversionProgress* progress,
                 const TLayout::TKind* kind, bool utf8) {
    auto stage = [&](const char* msg) {
        if (progress) progress->StageStarted(msg);
    };
    if (book.Body().empty()) throw ETextRefused(Fmt("%s holds no text", sourcePath));
    stage("Converting symbols");
    ConvertSymbols(book, progress);
    stage("Removing Dashes");
    RemoveDashes(book);
    stage("Analyzing Charset");
    book.SetProperty("Charset", utf8 ? "UTF-8" : AnalyzeCharset(book.Body()));
    std::string title, author;
    FindTitleAndAuthor(book.Body(), book.GetProperty("Charset"), title, author);
    stage("Creating paragraphs");
    const TLayout layout = CreateParagraphs(book, progress, kind);
    stage("Creating Virtual Pages");
    CreateVirtualPages(book, progress);
    book.SetProperty("Layout", layout.Name());
    if (!title.empty()) book.SetProperty("BookTitle", title);
    if (!author.empty()) book.SetProperty("Author", author);
    FindContents(book);
    // Escapes, tags and markers make the text longer than its source.
    if (JoinedLength(book.Body()) > MaxBlockSize)
        throw ETextRefused(Fmt("%s is too large for a book file", sourcePath));
}

void ConvertTextFile(const std::string& sourcePath, TBookInfo& book, TConversionProgress* progress,
                     const TLayout::TKind* kind) {
    try {
        if (progress) progress->StageStarted("Loading Source Text");
        const bool utf16 = LoadSourceLines(sourcePath, book.EditBody(), progress);
        ConvertBody(sourcePath, book, progress, kind, utf16);
    } catch (const std::bad_alloc&) {
        TLines().swap(book.EditBody());
        throw ETextRefused(Fmt("%s is too large to be held in memory", sourcePath));
    }
    book.FileName = ChooseBookFileName(sourcePath, book.Folder());
    book.Title = book.FileName;
}
