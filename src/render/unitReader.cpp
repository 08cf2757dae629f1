#include "unitReader.h"

#include <cmath>

#include "../core/unitErrors.h"
#include "../core/unitFiles.h"
#include "../core/unitTextConversions.h"
#include "../options/unitOptStorage.h"
#include "unitPageBuilder.h"
#include "unitStrSubs.h"

TReader::TReader(THtmlView& view, ITimerControl& tmScroll, ITimerControl& tmProgress,
                 TReaderStatus& status)
    : view_(view), tmScroll_(tmScroll), tmProgress_(tmProgress), status_(status) {}

void TReader::LoadPage() {
    if (!CurrentBook) return;  // nothing to render: the view stays as it is
    const std::string tpl = TemplatesFolder();
    ApplyTemplate(tpl + "style.tml", tpl + "vpage.css", OptionList);
    CurrentBook->ExtractPage(CurrentBook->LastPage, PageLines);
    BuildVPage(PageLines, tpl + "vpage.tml", CurrentBook->IsFirstPage, CurrentBook->IsLastPage);
    ReplacePlaceholder(PageLines, "Charset", PageCharset(CurrentBook->GetProperty("Charset")));
    SaveLinesToFile(tpl + "vpage.html", PageLines);
    probeAsked_ = 0;
    view_.Navigate(tpl + "vpage.html");
    CurDocument = view_.Document();
    status_.SetTitlePanel("  " + CurrentBook->Title);
}

std::unique_ptr<TBookInfo> TReader::LoadBook(const std::string& fileName, TLines& page) {
    if (!IsBareFileName(fileName))
        throw EFileError(Fmt("Cannot open file %s", BooksFolder() + fileName));
    auto book = std::make_unique<TBookInfo>(BooksFolder());
    book->FileName = fileName;
    book->LoadFromBookFile();
    book->ExtractPage(book->LastPage, page);
    return book;
}

void TReader::Adopt(std::unique_ptr<TBookInfo> book, TLines& page) {
    CurrentBook = std::move(book);
    PageLines.swap(page);
    ++bookSerial_;
    probeAsked_ = 0;
}

void TReader::OpenBook(const std::string& fileName) {
    TLines page;
    auto book = LoadBook(fileName, page);
    Adopt(std::move(book), page);
}

void TReader::LoadRecentBook(const std::function<void(const std::string&)>& reportError) {
    try {
        // A name that is not a bare file name counts as a book that is not there.
        if (IsBareFileName(RecentBook) && FileExists(BooksFolder() + RecentBook)) {
            OpenBook(RecentBook);
            RestorePosition = true;
            LoadPage();
            tmProgress_.SetEnabled(true);
        }
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    tmScroll_.SetInterval(uint16_t(uint32_t(ScrollSpeed) & 0xFFFF));
}

void TReader::SwitchToBook(const std::string& fileName) {
    // The current book is saved first, so that choosing it again reads back the
    // position just written; a book that then fails to load leaves it current.
    if (CurrentBook) CurrentBook->SavePosition();
    TLines page;
    auto book = LoadBook(fileName, page);
    Adopt(std::move(book), page);
    RestorePosition = true;
    LoadPage();
    RecentBook = CurrentBook->FileName;
}

bool TReader::IsCurrentBook(const std::string& fileName) const {
    return CurrentBook && CurrentBook->FileName == fileName;
}

bool TReader::ReleaseBook(const std::string& fileName) {
    if (!IsCurrentBook(fileName)) return false;
    CurrentBook->SavePosition();
    const std::string recent = RecentBook;
    CloseBook();
    RecentBook = recent;
    return true;
}

void TReader::ReopenBook(const std::string& fileName) {
    OpenBook(fileName);
    RestorePosition = true;
    LoadPage();
}

void TReader::CloseBook() {
    if (!CurrentBook) return;
    if (RecentBook == CurrentBook->FileName) RecentBook.clear();
    tmScroll_.SetEnabled(false);
    CurrentBook.reset();
    ++bookSerial_;
    probeAsked_ = 0;
    PageLines.clear();
    CurDocument = CurWindow = 0;
    RestorePosition = NextPageRequested = PrevPageRequested = false;
    view_.Clear();
    status_.SetTitlePanel("");
    ProgressPosition = LastPercent = 0;
    status_.RepaintProgress(0);
}

void TReader::CopyPositionToProperties() {
    if (!CurrentBook) return;
    CurrentBook->SetProperty("LastPage", IntToStr(CurrentBook->LastPage));
    CurrentBook->SetProperty("LastParagraph", IntToStr(CurrentBook->LastParagraph));
}

void TReader::ApplyCharset(const std::string& charset) {
    if (!CurrentBook) return;
    CurrentBook->SetProperty("Charset", charset);
    CopyPositionToProperties();
    RenderInPlace();
}

void TReader::RenderInPlace() {
    if (!CurrentBook) return;
    RestorePosition = true;
    LoadPage();
}

void TReader::Close(const std::function<void(const std::string&)>& reportError) {
    tmScroll_.SetEnabled(false);
    tmProgress_.SetEnabled(false);
    try {
        if (CurrentBook) CurrentBook->SavePosition();
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    try {
        SaveOptions();
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    PageLines.clear();
    CurrentBook.reset();
    ++bookSerial_;
    FreeOptionList();
}

int32_t TReader::ParagraphOfId(const std::string& id) {
    if (id.size() <= 3 || id.compare(0, 3, "par") != 0) return -1;
    int32_t n = -1;
    if (!TryDecimalToInt(std::string_view(id).substr(3), n)) return -1;
    return n;
}

void TReader::GetCurPar(std::function<void(int32_t)> answer) {
    if (!CurDocument) return answer(-1);
    const uint64_t asked = ++probeSerial_;
    const uint64_t book = bookSerial_, doc = CurDocument;
    probeAsked_ = asked;
    probeTicks_ = 0;
    std::weak_ptr<char> alive = alive_;
    view_.AskIds(view_.ViewWidth() / 2, ProbeY,
                 [this, alive, asked, book, doc, answer](bool ok, const std::string& atPoint,
                                                         const std::string&) {
                     if (alive.expired()) return;
                     if (probeAsked_ == asked) probeAsked_ = 0;
                     // The page or the book it was asked of is gone: the answer is void.
                     if (book != bookSerial_ || doc != CurDocument || !CurrentBook) return;
                     answer(ok ? ParagraphOfId(atPoint) : -1);
                 });
}

void TReader::GotoParagraph(int32_t n) {
    view_.ScrollParagraphIntoView("par" + IntToStr(n));
}

void TReader::WBDocumentComplete() {
    CurDocument = view_.Document();
    CurWindow = CurDocument;
    probeAsked_ = 0;
    if (RestorePosition && CurrentBook) GotoParagraph(CurrentBook->GetIntProperty("LastParagraph"));
    RestorePosition = false;
    tmProgress_.SetEnabled(true);
}

int TReader::Percentage(int32_t cur, int32_t total) {
    return PercentOf(cur, total);
}

void TReader::RecordParagraph(int32_t cur) {
    if (cur < 0 || !CurrentBook) return;
    CurrentBook->LastParagraph = cur;
    const int32_t total = CurrentBook->GetIntProperty("TotalParagraphs");
    if (total == 0) return;
    int pct = Percentage(cur, total);
    ProgressPosition = pct < 0 ? 0 : (pct > 100 ? 100 : pct);
    if (ProgressPosition != LastPercent) {
        LastPercent = ProgressPosition;
        status_.RepaintProgress(ProgressPosition);
    }
}

void TReader::tmProgressTimer() {
    // Page requests of the page's buttons are served first.
    if (NextPageRequested) NextVPage();
    if (PrevPageRequested) PrevVPage();
    NextPageRequested = false;
    PrevPageRequested = false;
    if (!CurrentBook) return;
    // One question at a time; one that got no answer for two seconds is given up.
    if (probeAsked_ && ++probeTicks_ < 8) return;
    GetCurPar([this](int32_t cur) { RecordParagraph(cur); });
}

void TReader::tmScrollTimer() {
    if (CurWindow) view_.ScrollBy(0, 1);
}

int TReader::PageStep() {
    return view_.ViewHeight() - 2 * StrToInt(ValueOf(OptionList, "norm_size"));
}

void TReader::btPgDnClick() {
    if (!CurWindow) return;
    view_.ScrollBy(0, PageStep());
}

void TReader::btPgUpClick() {
    if (!CurWindow) return;
    view_.ScrollBy(0, -PageStep());
}

void TReader::WBShowMessage(const std::u16string& text) {
    if (text == u"PrevPage") PrevPageRequested = true;
    if (text == u"NextPage") NextPageRequested = true;
}

void TReader::NextVPage() {
    if (!CurrentBook) return;
    CurrentBook->NextPage(PageLines);
    LoadPage();
}

void TReader::PrevVPage() {
    if (!CurrentBook) return;
    CurrentBook->PrevPage(PageLines);
    LoadPage();
}
