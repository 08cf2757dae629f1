#include "convert/FictionBook.h"

#include <expat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"
#include "convert/BookWriter.h"
#include "convert/Converter.h"
#include "convert/Headings.h"
#include "text/Charsets.h"

namespace {

// Pictures larger than this (as base64) are left out: a page holds at most
// MaxPageBytes.
constexpr size_t MaxPictureChars = size_t(2) << 20;
// The notes' texts are kept for the marks that show them, up to so much.
constexpr size_t MaxNoteChars = 4000;
constexpr size_t MaxNotesBytes = size_t(16) << 20;
// A paragraph longer than this goes on in another of its class: memory never
// holds more of the text than this.
constexpr size_t MaxParagraphBytes = size_t(1) << 20;
// Deeper nesting than any book's is refused.
constexpr size_t MaxDepth = 256;
// In the book's first pass, where a note's text and a picture go: the
// note's or picture's id between two of these bytes (no XML text holds them).
constexpr char NoteSlot = '\x01', PictureSlot = '\x02';

// ---- The source's charset -------------------------------------------------

enum class Encoding { Utf8, EightBit, Utf16Le, Utf16Be };

std::string DeclaredEncoding(std::string_view start) {
    // <?xml version="1.0" encoding="windows-1251"?>
    const size_t end = start.find("?>");
    std::string_view decl = start.substr(0, end == std::string_view::npos ? 0 : end);
    const size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    size_t q = decl.find_first_of("\"'", at);
    if (q == std::string_view::npos) return {};
    const size_t close = decl.find(decl[q], q + 1);
    if (close == std::string_view::npos) return {};
    return LowerAscii(decl.substr(q + 1, close - q - 1));
}

// Turns the source's bytes into UTF-8 piece by piece, whatever splits them.
class Decoder {
  public:
    Encoding kind = Encoding::Utf8;
    CodePage page = CodePage::Utf8;

    std::string Decode(std::string_view piece) {
        if (kind == Encoding::Utf8) return std::string(piece);
        if (kind == Encoding::EightBit) return ToUtf8(piece, page);
        std::string out;
        if (!utf16_) utf16_ = std::make_unique<Utf16Decoder>(kind == Encoding::Utf16Be);
        if (piece.empty())
            utf16_->Finish(out);
        else
            utf16_->Feed(piece.data(), piece.size(), out);
        return out;
    }

  private:
    std::unique_ptr<Utf16Decoder> utf16_;
};

// The charset from the byte order mark or the declaration; a declaration the
// bytes contradict gives way to what the text's own analysis finds.
Decoder DecoderFor(std::string_view start) {
    Decoder d;
    if (start.size() >= 2 && uint8_t(start[0]) == 0xFF && uint8_t(start[1]) == 0xFE) {
        d.kind = Encoding::Utf16Le;
        return d;
    }
    if (start.size() >= 2 && uint8_t(start[0]) == 0xFE && uint8_t(start[1]) == 0xFF) {
        d.kind = Encoding::Utf16Be;
        return d;
    }
    // UTF-16 without a mark: "<?" as 3C 00 3F 00 or 00 3C 00 3F.
    if (start.size() >= 4 && start[1] == 0 && start[3] == 0 && start[0] == '<') {
        d.kind = Encoding::Utf16Le;
        return d;
    }
    if (start.size() >= 4 && start[0] == 0 && start[2] == 0 && start[1] == '<') {
        d.kind = Encoding::Utf16Be;
        return d;
    }
    const std::string declared = DeclaredEncoding(start.substr(0, 256));
    std::string charset;
    if (declared == "windows-1251" || declared == "cp1251") charset = "windows-1251";
    if (declared == "koi8-r" || declared == "koi8r") charset = "KOI8-R";
    if (declared == "cp866" || declared == "ibm866") charset = "cp866";
    if (declared == "windows-1252" || declared == "iso-8859-1" || declared == "latin1" ||
        declared == "us-ascii")
        charset = "Windows-1252";
    if (declared == "utf-8" || declared == "utf8") charset = "UTF-8";
    // What the bytes are: valid UTF-8 with letters beyond ASCII is UTF-8
    // whatever is declared; else the 8-bit charset declared, or found.
    const std::string found = AnalyzeCharset(SplitText(start));
    if (found == "UTF-8" || charset.empty() || charset == "UTF-8") charset = found;
    d.page = CodePageOf(charset);
    d.kind = d.page == CodePage::Utf8 ? Encoding::Utf8 : Encoding::EightBit;
    return d;
}

// ---- Writing the book's lines ---------------------------------------------

// What a byte of an element's text is: white space, a byte written as a
// reference ("<", ">", "&"), or any other.
enum ByteKind : uint8_t { Other, Blank, Escaped };
constexpr auto ByteKinds = [] {
    std::array<uint8_t, 256> k{};
    for (unsigned char c : {' ', '\t', '\r', '\n'}) k[c] = Blank;
    for (unsigned char c : {'<', '>', '&'}) k[c] = Escaped;
    return k;
}();

// A picture kept for the pass that writes the book: where its base64 lies in
// the pictures' file.
struct Picture {
    std::string type;  // "jpeg", "png", "gif"
    uint64_t at = 0, size = 0;
};

// The kind of picture the data's first bytes show ("" when none of the three).
std::string PictureKind(std::string_view base64) {
    if (base64.substr(0, 4) == "/9j/") return "jpeg";
    if (base64.substr(0, 8) == "iVBORw0K") return "png";
    if (base64.substr(0, 4) == "R0lG") return "gif";
    return {};
}

// The inline mark a FictionBook element of marked text becomes (null: none).
const char* InlineTag(std::string_view element) {
    static constexpr std::pair<std::string_view, const char*> tags[] = {
        {"emphasis", "em"}, {"strong", "strong"}, {"strikethrough", "s"},
        {"sup", "sup"},     {"sub", "sub"},       {"code", "code"},
    };
    for (const auto& [name, tag] : tags)
        if (element == name) return tag;
    return nullptr;
}

// The element's name without its namespace prefix ("l:href" is "href").
std::string_view LocalName(const char* name) {
    std::string_view n(name);
    const size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

std::string Attribute(const char** attrs, std::string_view name) {
    for (size_t i = 0; attrs && attrs[i]; i += 2)
        if (LocalName(attrs[i]) == name) return attrs[i + 1];
    return {};
}

// Ids of notes and pictures as they reach the book: letters, digits and a few
// marks only, so that they never hold a slot's byte or markup.
std::string SafeId(std::string_view id) {
    if (!id.empty() && id[0] == '#') id.remove_prefix(1);
    std::string out;
    for (char c : id.substr(0, 200))
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
            c == '_' || c == '-' || c == '.')
            out += c;
    return out;
}

class Reader {
  public:
    Reader(const std::string& path, const std::string& folder, ConversionProgress* progress)
        : path_(path),
          folder_(folder),
          progress_(progress),
          lines_(folder),
          pictures_(folder, false) {}

    BookFile Run();

  private:
    static void XMLCALL Start(void* self, const char* name, const char** attrs) {
        static_cast<Reader*>(self)->Open(LocalName(name), attrs);
    }
    static void XMLCALL End(void* self, const char* name) {
        static_cast<Reader*>(self)->Close(LocalName(name));
    }
    static void XMLCALL Text(void* self, const char* s, int n) {
        static_cast<Reader*>(self)->Characters(std::string_view(s, size_t(n)));
    }
    static void XMLCALL Entity(void* self, const char*, int, const char*, int, const char*,
                               const char*, const char*, const char*) {
        static_cast<Reader*>(self)->Refuse();
    }
    void Refuse() {
        refused_ = true;
        XML_StopParser(parser_, XML_FALSE);
    }

    bool Inside(std::string_view name) const {
        return std::find(stack_.begin(), stack_.end(), name) != stack_.end();
    }
    void Open(std::string_view name, const char** attrs);
    void Close(std::string_view name);
    void Characters(std::string_view s);
    void OpenInDescription(std::string_view name, const char** attrs);
    void OpenInBody(std::string_view name, const char** attrs);
    // A paragraph begins with its class; its text gathers until it ends.
    void BeginParagraph(const char* cls) {
        cls_ = cls;
        text_.clear();
        inParagraph_ = true;
        space_ = started_ = false;
    }
    void EndParagraph();
    void WriteParagraph(const char* cls, std::string_view text);
    void Mark(std::string_view mark) {
        if (!inParagraph_) return;
        // A space before an opening mark stays before it.
        if (space_ && started_ && mark.substr(0, 2) != "</" && mark[0] == '<') {
            text_ += ' ';
            space_ = false;
        }
        text_ += mark;
    }
    void EndPicture();
    void Parse();
    BookFile Finish();
    // The book's properties, contents and page index, its text in body.
    BookFile Describe(BookFile& book, FileDescriptor body, const PageMarker& marker);
    std::string Expanded(std::string_view text);

    std::string path_, folder_;
    ConversionProgress* progress_;
    XML_Parser parser_ = nullptr;
    bool refused_ = false, rooted_ = false;
    std::vector<std::string> stack_;
    // The first pass's lines (tag and text, no page markers): the book, unless
    // notes or pictures call for a second pass; and the pictures' data.
    BodyWriter lines_, pictures_;
    PageMarker firstMarker_;
    bool slots_ = false;  // a note's or a picture's place was written
    FileDescriptor pictureFd_;
    uint64_t picturesSize_ = 0;
    int32_t paragraphs_ = 0;
    int section_ = 0;  // sections open
    bool inBody_ = false, inNotes_ = false, bodySeen_ = false;
    // The paragraph being gathered.
    bool inParagraph_ = false, space_ = false, cellOpen_ = false, stanzaGap_ = false;
    const char* cls_ = "pnorm";
    std::string text_;
    bool started_ = false;  // the paragraph has text
    // A title's lines: the contents entry they make.
    int32_t titleFirst_ = 0;
    std::string titleText_;
    std::vector<Heading> headings_;
    // Notes: the open note's id and label, and the texts kept.
    std::string noteId_, noteLabel_, linkId_;
    std::map<std::string, std::string> notes_;
    size_t notesBytes_ = 0;
    // Pictures: the one being read, and those kept.
    std::string pictureId_, pictureData_;
    bool pictureBad_ = false, inPicture_ = false;
    std::map<std::string, Picture> picturesKept_;
    std::vector<std::string> skipped_;
    // The description.
    std::string title_, language_, annotation_, sequence_, cover_;
    std::vector<std::string> authors_;
    std::string author_[4];  // first, middle, last, nickname
    std::string* field_ = nullptr;
    bool inTitleInfo_ = false;
};

void Reader::Open(std::string_view name, const char** attrs) {
    if (!rooted_) {
        if (name != "FictionBook") {
            XML_StopParser(parser_, XML_FALSE);
            return;
        }
        rooted_ = true;
    }
    if (stack_.size() >= MaxDepth) {
        XML_StopParser(parser_, XML_FALSE);
        return;
    }
    stack_.emplace_back(name);
    if (name == "description") return;
    if (Inside("description")) return OpenInDescription(name, attrs);
    if (name == "binary") {
        pictureId_ = SafeId(Attribute(attrs, "id"));
        pictureData_.clear();
        pictureBad_ = false;
        inPicture_ = true;
        return;
    }
    if (name == "body") {
        const std::string which = Attribute(attrs, "name");
        inBody_ = true;
        inNotes_ = bodySeen_ && (which == "notes" || which == "comments");
        // The cover first, as a book is opened.
        if (!bodySeen_ && !cover_.empty())
            WriteParagraph("pimag", std::string(1, PictureSlot) + cover_ + PictureSlot);
        bodySeen_ = true;
        return;
    }
    if (inBody_) OpenInBody(name, attrs);
}

void Reader::OpenInDescription(std::string_view name, const char** attrs) {
    if (name == "title-info") inTitleInfo_ = true;
    if (!inTitleInfo_) return;
    field_ = nullptr;
    if (name == "book-title") field_ = &title_;
    if (name == "lang") field_ = &language_;
    if (Inside("author")) {
        if (name == "first-name") field_ = &author_[0];
        if (name == "middle-name") field_ = &author_[1];
        if (name == "last-name") field_ = &author_[2];
        if (name == "nickname") field_ = &author_[3];
    }
    if (Inside("annotation") && (name == "p" || name == "v" || name == "subtitle")) {
        if (!annotation_.empty()) annotation_ += "\n";
        field_ = &annotation_;
    }
    if (name == "sequence" && sequence_.empty()) {
        sequence_ = Attribute(attrs, "name");
        const std::string number = Attribute(attrs, "number");
        if (!number.empty()) sequence_ += "|" + number;
    }
    if (name == "image" && Inside("coverpage") && cover_.empty())
        cover_ = SafeId(Attribute(attrs, "href"));
}

void Reader::OpenInBody(std::string_view name, const char** attrs) {
    const bool title = Inside("title") && !Inside("poem");
    if (name == "section") {
        ++section_;
        if (inNotes_) {
            noteId_ = SafeId(Attribute(attrs, "id"));
            noteLabel_.clear();
        }
    } else if (name == "title" && !Inside("poem")) {
        titleFirst_ = 0;
        titleText_.clear();
    } else if (name == "p") {
        if (Inside("title") && Inside("poem"))
            BeginParagraph("psubt");
        else if (title)
            BeginParagraph(inNotes_ && section_ > 0 ? "pnote" : "ptitl");
        else if (Inside("epigraph"))
            BeginParagraph("pepig");
        else if (Inside("cite") || Inside("annotation"))
            BeginParagraph("pcite");
        else
            BeginParagraph(inNotes_ ? "pnote" : "pnorm");
    } else if (name == "v") {
        // Stanzas are set apart by a gap, the first and last by none.
        if (stanzaGap_) WriteParagraph("pnorm", "");
        stanzaGap_ = false;
        BeginParagraph(Inside("epigraph") ? "pepig" : "pvers");
    } else if (name == "subtitle") {
        BeginParagraph("psubt");
    } else if (name == "text-author" || (name == "date" && Inside("poem"))) {
        BeginParagraph("pauth");
    } else if (name == "tr") {
        BeginParagraph("ptabl");
        cellOpen_ = false;
    } else if (name == "td" || name == "th") {
        if (cellOpen_) Mark(" | ");
        cellOpen_ = true;
    } else if (name == "empty-line") {
        if (!inParagraph_) WriteParagraph("pnorm", "");
    } else if (name == "image") {
        const std::string id = SafeId(Attribute(attrs, "href"));
        const std::string slot = std::string(1, PictureSlot) + id + PictureSlot;
        if (inParagraph_)
            Mark(slot);
        else
            WriteParagraph("pimag", slot);
    } else if (name == "a") {
        // A link into the book is a note's mark: its text, and the note's
        // text to show beside it.
        const std::string href = Attribute(attrs, "href");
        linkId_ = !href.empty() && href[0] == '#' && inParagraph_ ? SafeId(href) : std::string();
        if (!linkId_.empty()) Mark(NoteMarkStart);
    } else if (const char* tag = InlineTag(name)) {
        Mark(std::string("<") + tag + ">");
    }
}

void Reader::Close(std::string_view name) {
    if (stack_.empty()) return;
    stack_.pop_back();
    if (name == "binary") return EndPicture();
    if (name == "title-info") inTitleInfo_ = false;
    if (name == "author" && inTitleInfo_) {
        std::string whole;
        for (const std::string* part : {&author_[0], &author_[1], &author_[2]})
            if (!part->empty()) whole += (whole.empty() ? "" : " ") + *part;
        if (whole.empty()) whole = author_[3];
        if (!whole.empty()) authors_.push_back(whole);
        for (auto& part : author_) part.clear();
    }
    if (Inside("description")) {
        field_ = nullptr;
        return;
    }
    if (name == "body") {
        inBody_ = inNotes_ = false;
        return;
    }
    if (!inBody_) return;
    if (name == "p" || name == "v" || name == "subtitle" || name == "text-author" || name == "tr" ||
        (name == "date" && Inside("poem"))) {
        EndParagraph();
    } else if (name == "stanza") {
        stanzaGap_ = !Inside("epigraph");
    } else if (name == "poem") {
        stanzaGap_ = false;
    } else if (name == "title" && Inside("poem")) {
    } else if (name == "title") {
        // The title's lines are one contents entry; a note's title is its label.
        if (titleFirst_ > 0 && !(inNotes_ && section_ > 0))
            headings_.push_back({titleFirst_, std::clamp(section_, 1, 3), titleText_});
        titleFirst_ = 0;
    } else if (name == "section") {
        --section_;
        noteId_.clear();
    } else if (name == "a") {
        if (!linkId_.empty()) Mark(std::string(1, NoteSlot) + linkId_ + NoteSlot + "</a>");
        linkId_.clear();
    } else if (const char* tag = InlineTag(name)) {
        Mark(std::string("</") + tag + ">");
    }
}

void Reader::Characters(std::string_view s) {
    if (inPicture_) {
        if (pictureBad_) return;
        for (char c : s) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
            const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
            if (!ok || pictureData_.size() >= MaxPictureChars) {
                pictureBad_ = true;
                pictureData_.clear();
                return;
            }
            pictureData_ += c;
        }
        return;
    }
    if (field_) {
        if (field_->size() < 4000) field_->append(s.substr(0, 4000 - field_->size()));
        return;
    }
    if (!inParagraph_) return;
    // White space of any kind is one space, none at a paragraph's start; runs
    // of other bytes go in whole.
    const char* p = s.data();
    const char* const end = p + s.size();
    while (p < end) {
        const char* q = p;
        while (q < end && !ByteKinds[uint8_t(*q)]) ++q;
        if (q == p && ByteKinds[uint8_t(*p)] == Blank) {
            space_ = true;
            ++p;
            continue;
        }
        if (space_ && started_) text_ += ' ';
        space_ = false;
        started_ = true;
        if (q > p) {
            text_.append(p, size_t(q - p));
            p = q;
        } else {
            text_ += *p == '<' ? "&lt;" : *p == '>' ? "&gt;" : "&amp;";
            ++p;
        }
    }
    if (text_.size() >= MaxParagraphBytes) {
        const char* cls = cls_;
        EndParagraph();
        BeginParagraph(cls);
    }
}

void Reader::EndParagraph() {
    if (!inParagraph_) return;
    inParagraph_ = false;
    cellOpen_ = false;
    std::string text = std::move(text_);
    const bool title = std::strcmp(cls_, "ptitl") == 0;
    if (inNotes_ && section_ > 0 && Inside("title")) {
        // "1" of a note's title leads its first paragraph.
        noteLabel_ += (noteLabel_.empty() ? "" : " ") + text;
        return;
    }
    if (std::strcmp(cls_, "pnote") == 0 && !noteLabel_.empty()) {
        // "1. The note's text", "*) Its text".
        const char last = noteLabel_.back();
        const bool mark = last == '.' || last == ')' || last == ']' || last == ':';
        text = noteLabel_ + (mark ? " " : ". ") + text;
        noteLabel_.clear();
    }
    if (inNotes_ && !noteId_.empty() && std::strcmp(cls_, "pnote") == 0) {
        // The note's text for its marks: no marks of notes within it.
        std::string& kept = notes_[noteId_];
        std::string own = text;
        for (char slot : {NoteSlot, PictureSlot})
            own.erase(std::remove(own.begin(), own.end(), slot), own.end());
        if (notesBytes_ < MaxNotesBytes && kept.size() < MaxNoteChars) {
            const std::string add = (kept.empty() ? "" : " ") + own;
            kept += add;
            notesBytes_ += add.size();
        }
    }
    WriteParagraph(cls_, text);
    if (title) {
        if (!titleFirst_) titleFirst_ = paragraphs_;
        std::string shown;
        AppendShownText(shown, text);
        if (!titleText_.empty() && !shown.empty()) {
            const char last = titleText_.back();
            titleText_ += (last == '.' || last == '!' || last == '?' || last == ':') ? " " : ". ";
        }
        for (char& c : shown)
            if (c == '\t') c = ' ';
        if (titleText_.size() < 1000) titleText_ += shown.substr(0, 1000);
    }
}

void Reader::WriteParagraph(const char* cls, std::string_view text) {
    char tag[48];
    const size_t n = WriteParagraphTag(tag, ++paragraphs_, cls);
    firstMarker_.TaggedLine(std::string_view(tag, n), text,
                            [this](std::string_view s) { lines_.Write(s); });
    if (!slots_ && (std::memchr(text.data(), NoteSlot, text.size()) ||
                    std::memchr(text.data(), PictureSlot, text.size()))) {
        // A second pass will write the book: this one is a draft.
        slots_ = true;
        lines_.Draft();
    }
}

void Reader::EndPicture() {
    inPicture_ = false;
    const std::string kind = PictureKind(pictureData_);
    if (pictureId_.empty()) return;
    if (pictureBad_ || kind.empty()) {
        skipped_.push_back(pictureId_);
        return;
    }
    pictures_.Write(pictureData_);
    picturesKept_[pictureId_] = {kind, picturesSize_, pictureData_.size()};
    picturesSize_ += pictureData_.size();
    pictureData_.clear();
    pictureData_.shrink_to_fit();
}

void Reader::Parse() {
    int err = 0;
    FileDescriptor fd(TryOpenRegularFile(path_, err));
    if (!fd) throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path_));
    const int64_t total = FileSizeOf(path_);
    std::string piece(ReadPieceSize, '\0');
    uint64_t at = 0;
    Decoder decoder;
    parser_ = XML_ParserCreate("UTF-8");
    if (!parser_) throw std::bad_alloc();
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> owned(parser_, XML_ParserFree);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, Start, End);
    XML_SetCharacterDataHandler(parser_, Text);
    XML_SetEntityDeclHandler(parser_, Entity);
    for (bool last = false; !last;) {
        // UTF-8 is read straight into the parser's buffer; other charsets
        // are made UTF-8 on the way.
        const bool direct = at > 0 && decoder.kind == Encoding::Utf8;
        char* into =
            direct ? static_cast<char*>(XML_GetBuffer(parser_, int(piece.size()))) : piece.data();
        if (!into) throw std::bad_alloc();
        const ssize_t n = ::pread(fd.Get(), into, piece.size(), off_t(at));
        if (n < 0) throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path_));
        if (at == 0) decoder = DecoderFor(std::string_view(piece.data(), size_t(n)));
        at += uint64_t(n);
        last = n == 0;
        XML_Status status;
        if (direct) {
            status = XML_ParseBuffer(parser_, int(n), last);
        } else {
            const std::string utf8 = decoder.Decode(std::string_view(piece.data(), size_t(n)));
            status = XML_Parse(parser_, utf8.data(), int(utf8.size()), last);
        }
        if (status != XML_STATUS_OK) {
            const int line = int(XML_GetCurrentLineNumber(parser_));
            if (refused_)
                throw ETextRefused(Fmt(Fmt(Messages::tr("%s is not read: it declares entities "
                                                        "(line %s)"),
                                           path_),
                                       IntToStr(line)));
            if (!rooted_ || stack_.size() >= MaxDepth)
                throw ETextRefused(Fmt(Messages::tr("%s is not a FictionBook file"), path_));
            throw ETextRefused(
                Fmt(Fmt(Fmt(Messages::tr("%s is not a well-formed FictionBook file: line %s (%s)"),
                            path_),
                        IntToStr(line)),
                    XML_ErrorString(XML_GetErrorCode(parser_))));
        }
        if (progress_ && total > 0) progress_->StageProgress(double(at) / double(total));
    }
    if (!rooted_) throw ETextRefused(Fmt(Messages::tr("%s is not a FictionBook file"), path_));
}

std::string Reader::Expanded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t slot = text.find_first_of(std::string_view("\x01\x02", 2), i);
        out.append(text.substr(i, slot == std::string_view::npos ? text.npos : slot - i));
        if (slot == std::string_view::npos) break;
        const size_t close = text.find(text[slot], slot + 1);
        if (close == std::string_view::npos) break;
        const std::string id(text.substr(slot + 1, close - slot - 1));
        if (text[slot] == NoteSlot) {
            if (auto it = notes_.find(id); it != notes_.end())
                out.append(NoteTextStart).append(it->second).append("</span>");
        } else if (auto it = picturesKept_.find(id); it != picturesKept_.end()) {
            std::string data(size_t(it->second.size), '\0');
            if (ReadAt(pictureFd_.Get(), data.data(), data.size(), it->second.at))
                out.append("<img class=\"pimg\" alt=\"\" src=\"data:image/")
                    .append(it->second.type)
                    .append(";base64,")
                    .append(data)
                    .append("\">");
        }
        i = close + 1;
    }
    return out;
}

BookFile Reader::Finish() {
    BookFile book(folder_);
    pictureFd_ = pictures_.Finish();
    // A book with no note and no picture is written: its first pass is it.
    if (!slots_) return Describe(book, lines_.Finish(), firstMarker_);
    // Else a second pass puts the notes' texts and the pictures in their
    // places, and the page markers where the longer lines call for them.
    FileDescriptor first = lines_.Finish();
    BodyWriter body(folder_);
    PageMarker marker;
    std::string rest, piece(ReadPieceSize, '\0');
    uint64_t at = 0;
    auto write = [&](std::string_view s) { body.Write(s); };
    for (;;) {
        const ssize_t n = ::pread(first.Get(), piece.data(), piece.size(), off_t(at));
        if (n <= 0) break;
        at += uint64_t(n);
        rest.append(piece.data(), size_t(n));
        size_t from = 0;
        for (size_t end; (end = rest.find("\r\n", from)) != std::string::npos; from = end + 2) {
            const std::string_view line(rest.data() + from, end - from);
            std::string_view cls;
            size_t textAt = 0;
            ParagraphTagOf(line, cls, textAt);
            // The first pass's marker is left behind: the tag alone goes on.
            const size_t tagAt = line.substr(0, 5) == "<Page" ? line.find('>') + 1 : 0;
            const std::string_view tag = line.substr(tagAt, textAt - tagAt),
                                   text = line.substr(textAt);
            if (!std::memchr(text.data(), NoteSlot, text.size()) &&
                !std::memchr(text.data(), PictureSlot, text.size()))
                marker.TaggedLine(tag, text, write);
            else
                marker.TaggedLine(tag, Expanded(text), write);
        }
        rest.erase(0, from);
    }
    return Describe(book, body.Finish(), marker);
}

BookFile Reader::Describe(BookFile& book, FileDescriptor body, const PageMarker& marker) {
    if (marker.Size() > MaxBlockSize)
        throw ETextRefused(Fmt(Messages::tr("%s is too large for a book file"), path_));
    book.AdoptBodyFile(std::move(body), marker.Size(), true);
    book.SetProperty("Charset", "UTF-8");
    book.SetProperty("LastPage", "1");
    book.SetProperty("LastParagraph", "1");
    book.SetProperty("TotalParagraphs", IntToStr(paragraphs_));
    for (uint64_t offset : marker.Offsets()) book.PageIndex.push_back(IntToStr(int64_t(offset)));
    book.SetProperty("PagesCount", IntToStr(marker.Pages()));
    book.SetProperty("Escaped", "amp lt gt");
    book.SetProperty("Format", "FictionBook");
    book.Contents = ContentsLines(headings_);
    book.SetProperty("Headings", IntToStr(int64_t(headings_.size())));
    auto oneLine = [](std::string s) {
        for (char& c : s)
            if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        return std::string(TrimBlanks(s, CodePage::Utf8));
    };
    if (!oneLine(title_).empty()) book.SetProperty("BookTitle", oneLine(title_));
    std::string authors;
    for (const auto& a : authors_) authors += (authors.empty() ? "" : ", ") + oneLine(a);
    if (!authors.empty()) book.SetProperty("Author", authors);
    const std::string language = LowerAscii(oneLine(language_)).substr(0, 2);
    if (language == "ru" || language == "en" || language == "uk" || language == "be")
        book.SetProperty("Language", language == "en" ? "en" : "ru");
    if (!sequence_.empty()) book.SetProperty("Sequence", oneLine(sequence_));
    if (!annotation_.empty()) {
        std::string a = annotation_;
        for (char& c : a)
            if (c == '\r' || c == '\t') c = ' ';
        // Kept as one property line: its paragraphs joined by " / ".
        std::string joined;
        for (const std::string& p : SplitText(a)) {
            const std::string line = oneLine(p);
            if (!line.empty()) joined += (joined.empty() ? "" : " / ") + line;
        }
        book.SetProperty("Annotation", joined.substr(0, 2000));
    }
    if (!cover_.empty() && picturesKept_.count(cover_)) book.SetProperty("Cover", cover_);
    if (!skipped_.empty()) {
        std::string names;
        for (const auto& s : skipped_) names += (names.empty() ? "" : " ") + s;
        book.SetProperty("PicturesLeftOut", names.substr(0, 1000));
    }
    return std::move(book);
}

BookFile Reader::Run() {
    if (progress_) progress_->StageStarted(Messages::tr("Loading Source Text"));
    Parse();
    if (progress_) progress_->StageStarted(Messages::tr("Creating Virtual Pages"));
    if (paragraphs_ == 0) throw ETextRefused(Fmt(Messages::tr("%s holds no text"), path_));
    return Finish();
}

}  // namespace

bool LooksLikeFictionBook(std::string_view start) {
    std::string ascii;
    // UTF-16: its ASCII letters without their zero bytes.
    for (char c : start.substr(0, 4096))
        if (c) ascii += c;
    return ascii.find("<FictionBook") != std::string::npos ||
           ascii.find(":FictionBook") != std::string::npos;
}

bool IsFictionBookFile(const std::string& path) {
    int err = 0;
    FileDescriptor fd(TryOpenRegularFile(path, err));
    if (!fd) return false;
    char buf[4096];
    const ssize_t n = ::pread(fd.Get(), buf, sizeof buf, 0);
    return n > 0 && LooksLikeFictionBook(std::string_view(buf, size_t(n)));
}

BookFile ConvertFictionBook(const std::string& path, const std::string& folder,
                            ConversionProgress* progress) {
    Reader reader(path, folder, progress);
    return reader.Run();
}
