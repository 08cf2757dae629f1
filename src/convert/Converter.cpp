#include "convert/Converter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

#include "base/Errors.h"
#include "base/Files.h"
#include "convert/BookWriter.h"
#include "convert/FictionBook.h"
#include "convert/Headings.h"
#include "convert/TextReader.h"
#include "text/Charsets.h"

namespace {

// The pieces the layout is first guessed from.
constexpr uint64_t GuessPieces = 4;

}  // namespace

namespace {

// One text on its way to a book, in the steps the stages name.
class Conversion {
  public:
    Conversion(const std::string& sourcePath, const std::string& folder,
               ConversionProgress* progress, const Layout::Shape* kind, size_t pieceSize)
        : path_(sourcePath),
          folder_(folder),
          progress_(progress),
          kind_(kind),
          text_(sourcePath, pieceSize),
          guessBytes_(GuessPieces * uint64_t(std::max<size_t>(pieceSize, 1))) {}

    BookFile Run();

  private:
    void Stage(const std::string& message) {
        if (progress_) progress_->StageStarted(message);
    }
    std::function<void(double)> Fraction() {
        return [this](double f) {
            if (progress_) progress_->StageProgress(f);
        };
    }
    // The charset and the language, from the text's first 64000 bytes (lines
    // joined with CR LF).
    void FindCharset();
    // Every line is looked at for the layout, the first ones for the title.
    // Returns the characters shown of its text, as LayoutStats::Add.
    size_t Look(std::string_view line) {
        ++lines_;
        // A title is looked for in short lines: of a long one its start is enough.
        if (first_.size() < 100) first_.emplace_back(line.substr(0, 4096));
        return stats_->Add(line, text_.LastJoint());
    }
    Layout Decide() const { return kind_ ? stats_->Make(*kind_) : stats_->Decide(); }
    // Looks at the text's first pieces: true when they are the whole text.
    bool LookAtStart();
    // A writer for the layout; told when the text's first pieces joined many
    // words split at line ends.
    std::unique_ptr<BookWriter> Writer(const Layout& layout) {
        auto w = std::make_unique<BookWriter>(folder_, charset_, layout, true);
        if (joinedLines_) w->builder.JoinedLines();
        return w;
    }
    // Builds the book in the layout the first pieces show while the whole text
    // is looked at; the writer is dropped when the whole decides otherwise.
    Layout BuildWhileLooking();
    // Hands the writer the lines held back that the layout has settled.
    void GiveSettled();
    BookFile Finish(const Layout& layout);

    std::string path_, folder_;
    ConversionProgress* progress_;
    const Layout::Shape* kind_;
    TextReader text_;
    const uint64_t guessBytes_;
    std::string charset_, language_;
    bool joinedLines_ = false;
    LineList first_;
    uint64_t lines_ = 0;
    std::unique_ptr<LayoutStats> stats_;
    std::unique_ptr<BookWriter> writer_;
    // Lines held back while a block may hang (with their joints), and how
    // many the writer was given.
    std::deque<std::pair<std::string, Joint>> held_;
    size_t heldBytes_ = 0, told_ = 0;
    uint64_t given_ = 0;
};

BookFile Conversion::Run() {
    Stage(Messages::tr("Loading Source Text"));
    FindCharset();
    text_.ReadAs(CodePageOf(charset_));
    const bool whole = LookAtStart();
    if (lines_ == 0) throw ETextRefused(Fmt(Messages::tr("%s holds no text"), path_));
    Stage(Messages::tr("Converting symbols"));
    Stage(Messages::tr("Removing Dashes"));
    Stage(Messages::tr("Analyzing Charset"));
    Stage(Messages::tr("Creating paragraphs"));
    return Finish(whole ? Decide() : BuildWhileLooking());
}

void Conversion::FindCharset() {
    LineList sample;
    uint64_t sampled = 0;
    text_.ForEachLine(
        [&](std::string_view line) {
            if (sampled >= CharsetSampleSize) return;
            sample.emplace_back(line);
            if ((sampled += line.size() + 2) >= CharsetSampleSize) text_.Stop();
        },
        {});
    charset_ = text_.Unicode() ? "UTF-8" : AnalyzeCharset(sample);
    language_ = TextLanguage(sample, CodePageOf(charset_));
    const CodePage page = CodePageOf(charset_);
    if (DoubleSpaced(sample, page)) text_.DropSingleBlankLines();
    RunningHeads heads = FindRunningHeads(sample, page);
    text_.DropPageNumbers(FindPageNumbers(sample, page, heads));
    text_.DropRunningHeads(std::move(heads));
}

bool Conversion::LookAtStart() {
    stats_ = std::make_unique<LayoutStats>(charset_);
    bool whole = true;
    uint64_t seen = 0;
    text_.ForEachLine(
        [&](std::string_view line) {
            Look(line);
            if ((seen += line.size() + 2) >= guessBytes_ && whole) {
                whole = false;
                text_.Stop();
            }
        },
        Fraction());
    // One line in twenty at least joined with the next.
    joinedLines_ = text_.Joins() * 20 >= text_.Lines();
    return whole;
}

// A block that may hang is held back until its end tells. The book is built
// again when the whole text decides otherwise, or when a block held back grows
// past a piece. Building stops as soon as the text so far reads in another
// layout: the book will most likely be built again.
Layout Conversion::BuildWhileLooking() {
    Layout guess = Decide();
    guess.Hanging.clear();
    auto keeps = [&](const Layout& l) {
        return l.Kind == guess.Kind && l.MarginWidth == guess.MarginWidth &&
               l.WrapWidth == guess.WrapWidth;
    };
    uint64_t sinceCheck = 0;
    first_.clear();
    lines_ = 0;
    stats_ = std::make_unique<LayoutStats>(charset_);
    writer_ = Writer(guess);
    auto drop = [&] {
        writer_.reset();
        held_.clear();
    };
    text_.ForEachLine(
        [&](std::string_view line) {
            const size_t shown = Look(line);
            if (!writer_) return;
            if ((sinceCheck += line.size() + 2) >= guessBytes_) {
                sinceCheck = 0;
                if (!keeps(Decide())) return drop();
            }
            GiveSettled();
            if (given_ < stats_->Settled()) {
                writer_->Add(line, shown, text_.LastJoint());
                ++given_;
                return;
            }
            held_.emplace_back(line, text_.LastJoint());
            if ((heldBytes_ += line.size()) > ReadPieceSize) drop();
        },
        Fraction());
    stats_->Finish();
    if (writer_) GiveSettled();
    const Layout layout = Decide();
    if (!keeps(layout)) writer_.reset();
    return layout;
}

void Conversion::GiveSettled() {
    for (; told_ < stats_->Hanging().size(); ++told_)
        writer_->builder.Hangs(stats_->Hanging()[told_]);
    for (; !held_.empty() && given_ < stats_->Settled(); ++given_) {
        heldBytes_ -= held_.front().first.size();
        writer_->Add(held_.front().first, std::string_view::npos, held_.front().second);
        held_.pop_front();
    }
}

BookFile Conversion::Finish(const Layout& layout) {
    BookFile book(folder_);
    book.SetProperty("Charset", charset_);
    if (!language_.empty()) book.SetProperty("Language", language_);
    std::string title, author;
    FindTitleAndAuthor(first_, charset_, title, author, layout);
    stats_.reset();
    if (!writer_) {
        writer_ = Writer(layout);
        text_.ForEachLine(
            [&](std::string_view line) {
                writer_->Add(line, std::string_view::npos, text_.LastJoint());
            },
            Fraction());
    }
    Stage(Messages::tr("Creating Virtual Pages"));
    writer_->Finish(path_, book, layout);
    if (!title.empty()) book.SetProperty("BookTitle", title);
    if (!author.empty()) book.SetProperty("Author", author);
    writer_->Contents(book);
    book.FileName = ChooseBookFileName(path_, folder_);
    book.Title = book.FileName;
    return book;
}

}  // namespace

BookFile ConvertToBook(const std::string& sourcePath, const std::string& folder,
                       ConversionProgress* progress, const Layout::Shape* kind, size_t pieceSize) {
    // A FictionBook states its structure: no layout is guessed for it.
    if (IsFictionBookFile(sourcePath)) return ConvertFictionBook(sourcePath, folder, progress);
    return Conversion(sourcePath, folder, progress, kind, pieceSize).Run();
}

Layout RebuildBook(BookFile& book, const Layout::Shape* kind) {
    if (book.GetProperty("Format") == "FictionBook")
        throw EAppError(Fmt(Messages::tr("%s was made from a FictionBook file: its paragraphs are "
                                         "the file's own and are not built again"),
                            book.FileName));
    const std::string charset = book.GetProperty("Charset");
    // The book's own lines, their tags and markers taken off. A "<" left in
    // the text is the book's own (a conversion writes none; a crafted book
    // may): escaped, so that it never reads as a marker in the new book.
    std::string escapedLine;
    auto eachLine = [&](const std::function<void(std::string_view, int32_t)>& fn) {
        book.ForEachLine([&](std::string_view line) {
            int32_t n = 0;
            std::string_view text = TextOfBodyLine(line, n);
            if (std::memchr(text.data(), '<', text.size())) {
                escapedLine.clear();
                for (const char c : text)
                    escapedLine += c == '<' ? std::string_view("&lt;") : std::string_view(&c, 1);
                text = escapedLine;
            }
            fn(text, n);
        });
    };
    LayoutStats stats(charset);
    const int32_t oldParagraph = book.LastParagraph;
    uint64_t lineOfPosition = UINT64_MAX, index = 0, textBytes = 0;
    eachLine([&](std::string_view line, int32_t n) {
        if (n == oldParagraph && lineOfPosition == UINT64_MAX) lineOfPosition = index;
        ++index;
        textBytes += line.size();
        stats.Add(line);
    });
    const uint64_t lines = index;
    const Layout layout = kind ? stats.Make(*kind) : stats.Decide();
    BookWriter writer(book.Folder(), charset, layout, false);
    int32_t paragraph = 1, page = 1;
    index = 0;
    uint64_t bytesAgain = 0;
    eachLine([&](std::string_view line, int32_t) {
        const int32_t p = writer.Add(line);
        bytesAgain += line.size();
        // The paragraph that now holds the line the old one began with.
        if (index++ == lineOfPosition) {
            paragraph = p;
            page = std::max(writer.marker.Pages(), 1);
        }
    });
    // The book is made again from all of its text or not at all: a second
    // reading that differs from the first leaves the record as it was.
    if (index != lines || bytesAgain != textBytes || (textBytes > 0 && writer.builder.Count() < 1))
        throw EBookDamaged::Of(book.FullPath());
    writer.Finish(book.FileName, book, layout);
    writer.Contents(book);
    book.LastParagraph = paragraph;
    book.LastCharacter = 0;
    book.LastPage = page;
    book.SetProperty("LastParagraph", IntToStr(paragraph));
    book.SetProperty("LastCharacter", "0");
    book.SetProperty("LastPage", IntToStr(page));
    return layout;
}

std::string SourceIdentity(const std::string& path, const std::string& member) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    const std::string abs = real;
    std::free(real);
    struct stat st;
    if (::stat(abs.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const int64_t ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    std::string id = std::to_string(st.st_size) + " " + std::to_string(ns) + " " + abs;
    if (!member.empty()) id += "\t" + member;
    return id;
}

long FindBookOfSource(BookList& list, const std::string& identity) {
    if (identity.empty()) return -1;
    for (size_t i = 0; i < list.Count(); ++i)
        if (list.GetBook(i).GetProperty("Source") == identity) return long(i);
    return -1;
}
