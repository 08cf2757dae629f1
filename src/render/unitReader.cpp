#include "unitReader.h"

#include <cmath>

#include "../core/unitErrors.h"
#include "../core/unitFiles.h"
#include "../core/unitTextConversions.h"
#include "../options/unitOptStorage.h"
#include "unitStrSubs.h"

TReader::TReader(THtmlView& view, ITimerControl& tmScroll, ITimerControl& tmProgress,
                 TReaderStatus& status, TNotifier& notifier)
    : view_(view),
      tmScroll_(tmScroll),
      tmProgress_(tmProgress),
      status_(status),
      notifier_(notifier) {}

void TReader::LoadPage() {
    if (!CurrentBook) return;  // nothing to render: the view stays as it is
    const std::string tpl = TemplatesFolder();
    ApplyTemplate(tpl + "style.tml", tpl + "vpage.css", OptionList);
    CurrentBook->ExtractPage(CurrentBook->LastPage, PageLines);
    BuildVPage(PageLines, tpl + "vpage.tml", CurrentBook->IsFirstPage, CurrentBook->IsLastPage);
    ReplacePlaceholder(PageLines, "Charset", CurrentBook->GetProperty("Charset"));
    SaveLinesToFile(tpl + "vpage.html", PageLines);
    view_.Navigate(tpl + "vpage.html");
    CurDocument = view_.Document();
    status_.SetTitlePanel("  " + CurrentBook->Title);
}

void TReader::OpenBook(const std::string& fileName) {
    CurrentBook = std::make_unique<TBookInfo>(BooksFolder(), &notifier_);
    CurrentBook->FileName = fileName;
    CurrentBook->LoadFromBookFile();
    CurrentBook->ExtractPage(CurrentBook->LastPage, PageLines);
}

void TReader::LoadRecentBook(const std::function<void(const std::string&)>& reportError) {
    try {
        if (FileExists(BooksFolder() + RecentBook)) {
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
    if (CurrentBook) {
        CurrentBook->SavePosition();
        CurrentBook.reset();
    }
    OpenBook(fileName);
    RestorePosition = true;
    LoadPage();
    RecentBook = CurrentBook->FileName;
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
    FreeOptionList();
}

int32_t TReader::GetCurPar() {
    if (!CurDocument) return -1;
    std::string id;
    if (!view_.ElementIdAtPoint(view_.ViewWidth() / 2, ProbeY, id)) return -1;
    if (id.size() <= 3 || id.compare(0, 3, "par") != 0) return -1;
    int32_t n = -1;
    if (!TryDecimalToInt(std::string_view(id).substr(3), n)) return -1;
    return n;
}

void TReader::GotoParagraph(int32_t n) {
    view_.ScrollParagraphIntoView("par" + IntToStr(n));
}

void TReader::WBDocumentComplete() {
    CurDocument = view_.Document();
    CurWindow = CurDocument;
    if (RestorePosition && CurrentBook) GotoParagraph(CurrentBook->GetIntProperty("LastParagraph"));
    RestorePosition = false;
    tmProgress_.SetEnabled(true);
}

int TReader::Percentage(int32_t cur, int32_t total) {
    // nearbyint rounds in the default mode: to nearest, halves to even.
    return int(std::nearbyint(double(cur) / double(total) * 100.0));
}

void TReader::tmProgressTimer() {
    // Page requests of the page's buttons are served first.
    if (NextPageRequested) NextVPage();
    if (PrevPageRequested) PrevVPage();
    NextPageRequested = false;
    PrevPageRequested = false;
    if (!CurrentBook) return;
    const int32_t cur = GetCurPar();
    if (cur < 0) return;
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
