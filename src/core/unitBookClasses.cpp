#include "unitBookClasses.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "unitErrors.h"
#include "unitFiles.h"

TBookInfo::TBookInfo(std::string folder, TNotifier* notifier)
    : folder_(std::move(folder)), notifier_(notifier) {
    SetProperty("Charset", "windows-1252");
    SetProperty("LastPage", "1");
    SetProperty("LastParagraph", "1");
}

bool TBookInfo::Load(bool headerOnly) {
    std::unique_ptr<TFileReadStream> s;
    try {
        s = std::make_unique<TFileReadStream>(FullPath());
    } catch (const EFileError&) {
        if (notifier_) notifier_->ShowMessage("Error reading from \r\n" + FileName);
        return false;
    }
    try {
        ReadFrom(*s, headerOnly);
    } catch (const EReadError&) {
        throw EBookDamaged(Fmt("Book file %s is damaged", FullPath()));
    } catch (const std::bad_alloc&) {
        throw EBookDamaged(Fmt("Book file %s is damaged", FullPath()));
    }
    return true;
}

void TBookInfo::LoadFromBookFile() {
    if (!Load(false)) return;
    LastPage = GetIntProperty("LastPage");
    LastParagraph = GetIntProperty("LastParagraph");
}

void TBookInfo::LoadHeader() {
    Load(true);
}

void TBookInfo::ReadFrom(TStream& s, bool headerOnly) {
    // Everything is read first and only then taken over, so a file that ends
    // early leaves the record as it was.
    std::string title;
    TLines props, resA, resB, body;
    ReadStr(s, title);
    ReadStringList(s, props);
    ReadStringList(s, resA);
    ReadStringList(s, resB);
    if (!headerOnly) ReadStringList(s, body);
    Title = std::move(title);
    Properties = std::move(props);
    ReservedA = std::move(resA);
    ReservedB = std::move(resB);
    if (!headerOnly) {
        body_ = std::move(body);
        pagesIndexed_ = false;
    }
}

void TBookInfo::WriteTo(TStream& s) const {
    WriteStr(s, Title);
    WriteStringList(s, Properties);
    WriteStringList(s, ReservedA);
    WriteStringList(s, ReservedB);
    WriteStringList(s, body_);
}

void TBookInfo::SaveToBookFile() {
    TSafeFileStream f(FullPath());
    WriteTo(f);
    f.Commit();
}

void TBookInfo::SavePosition() {
    SetProperty("LastPage", IntToStr(LastPage));
    SetProperty("LastParagraph", IntToStr(LastParagraph));
    SaveToBookFile();
}

void TBookInfo::DeleteBookFile() {
    if (::unlink(FullPath().c_str()) != 0 && notifier_)
        notifier_->ShowMessage("Cannot delete " + FileName);
}

std::string TBookInfo::GetProperty(const std::string& name) const {
    return ValueOf(Properties, name);
}

int32_t TBookInfo::GetIntProperty(const std::string& name) const {
    if (IndexOfName(Properties, name) < 0) return -1;
    std::string v = GetProperty(name);
    int32_t n = 0;
    if (!TryDecimalToInt(v, n)) throw EConvertError(Fmt("'%s' is not a valid integer value", v));
    return n;
}

void TBookInfo::SetProperty(const std::string& name, const std::string& value) {
    SetValue(Properties, name, value, /*appendEmpty=*/true);
}

static bool ParseMarker(const std::string& line, size_t at, int32_t& n) {
    size_t j = at + 5;
    bool neg = false;
    if (j < line.size() && line[j] == '-') {
        neg = true;
        ++j;
    }
    size_t ds = j;
    while (j < line.size() && line[j] >= '0' && line[j] <= '9') ++j;
    if (j == ds || j >= line.size() || line[j] != '>') return false;
    size_t nd = j - ds;
    // Only the exact decimal spelling of a number matches its marker.
    if (nd > 10 || (nd > 1 && line[ds] == '0') || (neg && nd == 1 && line[ds] == '0')) return false;
    int64_t v = 0;
    for (size_t k = ds; k < j; ++k) v = v * 10 + (line[k] - '0');
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    n = int32_t(v);
    return true;
}

void TBookInfo::IndexPages() {
    pages_.clear();
    for (size_t i = 0; i < body_.size(); ++i) {
        const std::string& l = body_[i];
        const char* base = l.data();
        size_t from = 0;
        while (from + 5 <= l.size()) {
            const void* hit = std::memchr(base + from, '<', l.size() - from);
            if (!hit) break;
            size_t c = size_t(static_cast<const char*>(hit) - base);
            int32_t n;
            if (l.compare(c, 5, "<Page") == 0 && ParseMarker(l, c, n))
                pages_.emplace(n, TextPos{i, c});
            from = c + 1;
        }
    }
    pagesIndexed_ = true;
}

bool TBookInfo::FindMarker(int32_t n, TextPos& pos) const {
    auto it = pages_.find(n);
    if (it == pages_.end()) return false;
    pos = it->second;
    return true;
}

void TBookInfo::ExtractPage(int32_t n, TLines& lines) {
    if (!pagesIndexed_) IndexPages();
    const int32_t p = GetIntProperty("PagesCount");
    lines.clear();
    IsLastPage = n >= p;
    IsFirstPage = n <= 1;

    // The page runs from just after its marker to just before the next page's
    // marker (or to the end of the text for the last page), in the body text
    // joined with CR LF. A missing marker gives an empty page.
    TextPos start, end;
    if (!FindMarker(n, start)) return;
    start.col += 5 + IntToStr(n).size() + 1;
    if (n < p) {
        if (n == INT32_MAX || !FindMarker(n + 1, end)) return;
    } else {
        end = TextPos{body_.size() - 1, body_.back().size() + 2};
    }
    if (end.line < start.line || (end.line == start.line && end.col <= start.col)) return;

    auto piece = [&](size_t i, size_t from, size_t to, std::string& out) {
        const std::string& l = body_[i];
        for (size_t k = from; k < to; ++k)
            out += k < l.size() ? l[k] : (k == l.size() ? '\r' : '\n');
    };
    std::string text;
    if (start.line == end.line) {
        piece(start.line, start.col, end.col, text);
    } else {
        piece(start.line, start.col, body_[start.line].size() + 2, text);
        for (size_t i = start.line + 1; i < end.line; ++i) {
            text += body_[i];
            text += "\r\n";
        }
        piece(end.line, 0, end.col, text);
    }
    SplitText(text, lines);
}

void TBookInfo::NextPage(TLines& lines) {
    if (LastPage < GetIntProperty("PagesCount")) {
        ++LastPage;
        ExtractPage(LastPage, lines);
    }
}

void TBookInfo::PrevPage(TLines& lines) {
    if (LastPage > 1) {
        --LastPage;
        ExtractPage(LastPage, lines);
    }
}

int CompareBookTitles(const TBookInfo& a, const TBookInfo& b) {
    const std::string& x = a.Title;
    const std::string& y = b.Title;
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char cx = (unsigned char)x[i], cy = (unsigned char)y[i];
        if (cx >= 'A' && cx <= 'Z') cx = (unsigned char)(cx + 32);
        if (cy >= 'A' && cy <= 'Z') cy = (unsigned char)(cy + 32);
        if (cx != cy) return cx < cy ? -1 : 1;
    }
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}

TBookInfoList::TBookInfoList(std::string folder, TNotifier* notifier)
    : folder_(std::move(folder)), notifier_(notifier) {}

TBookInfo& TBookInfoList::AddNew() {
    books_.push_back(std::make_unique<TBookInfo>(folder_, notifier_));
    return *books_.back();
}

static bool EndsWithBookExtension(const char* name) {
    size_t n = std::strlen(name);
    return n >= 5 && SameText(std::string_view(name + n - 5, 5), ".tvst");
}

void TBookInfoList::ScanFolder() {
    books_.clear();
    DIR* d = ::opendir(folder_.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (EndsWithBookExtension(e->d_name)) names.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (auto& name : names) {
        TBookInfo& b = AddNew();
        b.FileName = name;
        try {
            b.LoadHeader();
        } catch (const EAppError& e) {
            // A damaged file is listed with an empty title, like an unreadable one.
            if (notifier_) notifier_->ShowMessage(e.what());
        }
    }
}

void TBookInfoList::SortByTitle() {
    std::sort(books_.begin(), books_.end(),
              [](const auto& a, const auto& b) { return CompareBookTitles(*a, *b) < 0; });
}

std::vector<std::string> TBookInfoList::Captions() const {
    std::vector<std::string> out;
    out.reserve(books_.size());
    for (const auto& b : books_) out.push_back(b->Title);
    return out;
}
