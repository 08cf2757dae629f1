#include "unitParagraphs.h"

#include "unitStrings.h"

int LeadingSpaces(std::string_view line) {
    if (line.empty()) return 0;
    size_t n = 0;
    while (n < line.size() && line[n] == ' ') ++n;
    if (n == line.size()) return int(n) - 1;
    return int(n);
}

std::string InsertParagraphTag(std::string_view line, int32_t number, std::string_view cls) {
    std::string num = IntToStr(number);
    std::string out;
    out.reserve(line.size() + num.size() + cls.size() + 21);
    out.append("<p id=\"par").append(num).append("\" class=\"").append(cls).append("\">");
    out.append(line);
    return out;
}

static bool ReferenceChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

size_t PieceEnd(std::string_view s, size_t max, bool utf8) {
    if (s.size() <= max) return s.size();
    size_t sp = s.rfind(' ', max - 1);
    if (sp != std::string_view::npos && sp > 0) return sp + 1;
    size_t cut = max;
    if (utf8)
        while (cut > 1 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    // Not inside "&lt;", "&gt;" or any reference the text wrote itself.
    for (size_t back = 1; back <= 10 && back < cut; ++back) {
        size_t amp = cut - back;
        if (s[amp] == '&') {
            size_t j = amp + 1;
            while (j < s.size() && j - amp <= 10 && ReferenceChar(s[j])) ++j;
            if (j < s.size() && s[j] == ';' && j >= cut) cut = amp;
            break;
        }
        if (!ReferenceChar(s[amp])) break;
    }
    return cut;
}

TParagraphBuilder::TParagraphBuilder(const std::string& charset) : utf8_(charset == "UTF-8") {}

void TParagraphBuilder::Piece(std::string_view piece, bool begins, const char* cls,
                              const TEmit& emit) {
    if (n_ == 0) {
        // The book's first line is paragraph 1, class "pnorm", whatever it holds;
        // its running length counts the tag.
        n_ = 1;
        std::string tagged = InsertParagraphTag(piece, 1, "pnorm");
        r_ = tagged.size();
        parBytes_ = piece.size();
        emit(std::move(tagged));
        return;
    }
    if (!begins && parBytes_ + piece.size() > MaxPieceSize) {
        begins = true;
        cls = "pnorm";
    }
    if (begins) {
        ++n_;
        r_ = 0;
        parBytes_ = piece.size();
        emit(InsertParagraphTag(piece, n_, cls));
    } else {
        const size_t ind = size_t(LeadingSpaces(piece));
        r_ += piece.size() - ind;
        parBytes_ += piece.size();
        emit(std::string(piece));
    }
}

void TParagraphBuilder::Add(std::string_view line, const TEmit& emit) {
    const size_t len = line.size();
    const size_t ind = size_t(LeadingSpaces(line));
    const char* cls = "pnorm";
    if (ind < len && len - ind < 60 && line[ind] != '-' && r_ < 60) cls = "pnor0";
    if (ind > 6) cls = "ptitl";
    if (ind > 35) cls = "pepig";
    const bool begins = ind > 1 || len == 0;
    if (len <= MaxPieceSize) return Piece(line, begins, cls, emit);
    // A runaway line: its pieces after the first begin paragraphs of their own.
    size_t end = PieceEnd(line, MaxPieceSize, utf8_);
    Piece(line.substr(0, end), begins, cls, emit);
    for (std::string_view rest = line.substr(end); !rest.empty(); rest = rest.substr(end)) {
        end = PieceEnd(rest, MaxPieceSize, utf8_);
        Piece(rest.substr(0, end), true, "pnorm", emit);
    }
}
