#include "book/BookList.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Errors.h"
#include "base/Files.h"

std::string DisplayTitle(const BookFile& b) {
    const std::string own = b.GetProperty("BookTitle");
    if (own.empty()) {
        // The file's name without its extension, underscores and points as
        // spaces: "war_and.peace.tvst" is "war and peace".
        std::string name = b.FileName.substr(0, b.FileName.rfind('.'));
        if (name.empty()) return b.FileName;
        std::replace(name.begin(), name.end(), '_', ' ');
        std::replace(name.begin(), name.end(), '.', ' ');
        return name;
    }
    std::string title = ToUtf8(own, CodePageOf(b.GetProperty("Charset")));
    // "Series|3": the series a book is one of, and its number there.
    const std::string series =
        ToUtf8(b.GetProperty("Sequence"), CodePageOf(b.GetProperty("Charset")));
    if (!series.empty()) {
        const size_t bar = series.find('|');
        title += " (" + series.substr(0, bar) +
                 (bar == std::string::npos ? "" : ", " + series.substr(bar + 1)) + ")";
    }
    return title;
}

CoverPicture CoverOf(const BookFile& listed) {
    if (listed.GetProperty("Cover").empty()) return {};
    BookFile book(listed.Folder());
    book.FileName = listed.FileName;
    LineList page;
    try {
        book.LoadFromBookFile();
        book.ExtractPage(1, page);
    } catch (const EAppError&) {
        return {};
    }
    static const std::string_view start = "src=\"data:image/";
    for (const std::string& line : page) {
        const size_t at = line.find(start);
        if (at == std::string::npos) continue;
        const size_t kind = at + start.size(), semi = line.find(";base64,", kind),
                     end = semi == std::string::npos ? semi : line.find('"', semi);
        if (end == std::string::npos) return {};
        return {line.substr(kind, semi - kind), line.substr(semi + 8, end - semi - 8)};
    }
    return {};
}

std::string DisplayAuthor(const BookFile& b) {
    return ToUtf8(b.GetProperty("Author"), CodePageOf(b.GetProperty("Charset")));
}

int PercentOf(int32_t cur, int32_t total) {
    // nearbyint rounds in the default mode: to nearest, halves to even.
    return int(std::nearbyint(double(cur) / double(total) * 100.0));
}

int ReadPercent(const BookFile& b) {
    int32_t saved = 0;
    if (TryDecimalToInt(b.GetProperty("ReadPercent"), saved) && saved >= 0 && saved <= 100)
        return saved;
    // Never read: at its start.
    if (b.GetProperty("LastParagraph") == "1" && b.GetProperty("LastPage") == "1") return 0;
    int32_t cur = 0, total = 0;
    if (!TryDecimalToInt(b.GetProperty("LastParagraph"), cur) ||
        !TryDecimalToInt(b.GetProperty("TotalParagraphs"), total) || total <= 0)
        return -1;
    return std::clamp(PercentOf(cur, total), 0, 100);
}

int CompareBookTitles(const BookFile& a, const BookFile& b) {
    const std::string x = FoldToUtf8(DisplayTitle(a), CodePage::Utf8);
    const std::string y = FoldToUtf8(DisplayTitle(b), CodePage::Utf8);
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

BookList::BookList(std::string folder) : folder_(std::move(folder)) {}

BookFile& BookList::AddNew() {
    books_.push_back(std::make_unique<BookFile>(folder_));
    return *books_.back();
}

static bool EndsWithBookExtension(const char* name) {
    size_t n = std::strlen(name);
    return n >= 5 && SameText(std::string_view(name + n - 5, 5), ".tvst");
}

// name is stem.tvst or stem(N).tvst, as a new book of that stem is named.
static bool NamedAfter(std::string_view name, std::string_view stem) {
    if (name.size() < stem.size() + 5 || name.substr(0, stem.size()) != stem) return false;
    std::string_view rest = name.substr(stem.size(), name.size() - stem.size() - 5);
    if (rest.empty()) return true;
    if (rest.size() < 3 || rest.front() != '(' || rest.back() != ')') return false;
    rest = rest.substr(1, rest.size() - 2);
    return rest.find_first_not_of("0123456789") == std::string_view::npos;
}

void BookList::ScanFolder(std::string_view stem) {
    books_.clear();
    Errors.clear();
    DIR* d = ::opendir(folder_.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (EndsWithBookExtension(e->d_name) && (stem.empty() || NamedAfter(e->d_name, stem)))
            names.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (auto& name : names) {
        // Folders, FIFOs and devices named like books are no books.
        if (!FileExists(folder_ + name)) continue;
        BookFile& b = AddNew();
        b.FileName = name;
        try {
            b.LoadHeader();
        } catch (const EAppError& e) {
            // A damaged or unreadable file is listed with an empty title.
            Errors.push_back(e.what());
        }
    }
}

void BookList::SortByTitle() {
    // Books of one title in the order of their files (not the folder's, which is any).
    std::stable_sort(books_.begin(), books_.end(), [](const auto& a, const auto& b) {
        const int c = CompareBookTitles(*a, *b);
        return c < 0 || (c == 0 && a->FileName < b->FileName);
    });
}

long BookList::IndexOf(const std::string& fileName) const {
    for (size_t i = 0; i < books_.size(); ++i)
        if (books_[i]->FileName == fileName) return long(i);
    return -1;
}

std::vector<std::string> BookList::Captions() const {
    std::vector<std::string> out;
    out.reserve(books_.size());
    for (const auto& b : books_) out.push_back(DisplayTitle(*b));
    return out;
}
