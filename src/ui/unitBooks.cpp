#include "unitBooks.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>

#include "core/unitConverter.h"
#include "core/unitLibrary.h"
#include "options/unitOptStorage.h"
#include "unitApp.h"
#include "unitArcView.h"
#include "unitTextProcessor.h"

TfrmBooks* frmBooks = nullptr;
std::function<std::string()> TfrmBooks::OpenFileHook;

TfrmBooks::TfrmBooks() {
    frmBooks = this;
    setWindowTitle(tr("My Books"));
    resize(544, 375);
    BookList = std::make_unique<TBookInfoList>(BooksFolder());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont nf("Liberation Sans Narrow");
    nf.setPixelSize(12);
    bar->setFont(nf);
    connect(bar->addAction(tr("Browse")), &QAction::triggered, this, [this] {
        try {
            btBrowseClick();
        } catch (const std::exception& e) {
            ShowErrorBox(e.what());
        }
    });
    connect(bar->addAction(tr("Delete")), &QAction::triggered, this, [this] { btDeleteClick(); });
    layout->addWidget(bar);
    listBooks = new QTreeWidget(this);
    listBooks->setRootIsDecorated(false);
    listBooks->setSelectionMode(QAbstractItemView::SingleSelection);
    listBooks->setSelectionBehavior(QAbstractItemView::SelectRows);
    listBooks->setHeaderLabels({tr("Title"), tr("Author"), tr("Read")});
    listBooks->header()->setSectionsClickable(false);
    listBooks->header()->setStretchLastSection(false);
    listBooks->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    listBooks->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    listBooks->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    listBooks->setToolTip(tr("DoubleClick to Open"));
    QFont lf("Liberation Sans");
    lf.setPixelSize(15);
    listBooks->setFont(lf);
    listBooks->installEventFilter(this);
    connect(listBooks, &QTreeWidget::itemDoubleClicked, this, [this] { listBooksDblClick(); });
    layout->addWidget(listBooks, 1);
    setAcceptDrops(true);
    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    layout->addWidget(status);
}

void TfrmBooks::ScanAndReport() {
    BookList->ScanFolder();
    for (const auto& m : BookList->Errors) ShowMessageBox(m);
}

void TfrmBooks::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    SelectedBook = nullptr;
    ScanAndReport();
    BookList->SortByTitle();
    FillListView();
    listBooks->setFocus();
}

bool TfrmBooks::eventFilter(QObject* o, QEvent* e) {
    if (o == listBooks && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            listBooksDblClick();  // Enter acts exactly as a double-click
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void TfrmBooks::FillListView() {
    listBooks->clear();
    auto text = [](const std::string& s) {
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    };
    const std::string reading = CurrentBookName ? CurrentBookName() : std::string();
    for (size_t i = 0; i < BookList->Count(); ++i) {
        const TBookInfo& b = BookList->GetBook(i);
        auto* item = new QTreeWidgetItem(listBooks);
        item->setText(0, text(DisplayTitle(b)));
        item->setText(1, text(DisplayAuthor(b)));
        const int read = !reading.empty() && b.FileName == reading && CurrentBookPercent
                             ? CurrentBookPercent()
                             : ReadPercent(b);
        item->setText(2, read < 0 ? QString() : QString("%1%").arg(read));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, Qt::convertFromPlainText(text(b.FileName)));
    }
    // The book being read is the row selected; else the first.
    const long current = CurrentBookName ? BookList->IndexOf(CurrentBookName()) : -1;
    if (current >= 0)
        listBooks->setCurrentItem(listBooks->topLevelItem(int(current)));
    else if (listBooks->topLevelItemCount() > 0)
        listBooks->setCurrentItem(listBooks->topLevelItem(0));
}

void TfrmBooks::Rebuild() {
    SelectedBook = nullptr;
    ScanAndReport();
    BookList->SortByTitle();
    FillListView();
}

void TfrmBooks::FillLayoutMenu(QMenu* menu, const std::string& layout,
                               const std::function<void(const TLayout::TKind*)>& choose) {
    static const std::pair<const char*, int> choices[] = {
        {QT_TR_NOOP("automatic"), -1},
        {QT_TR_NOOP("classic"), TLayout::Classic},
        {QT_TR_NOOP("one per line"), TLayout::Lines},
        {QT_TR_NOOP("margin"), TLayout::Margin},
        {QT_TR_NOOP("verse"), TLayout::Verse},
        {QT_TR_NOOP("wrapped prose"), TLayout::Wrapped}};
    // The layout the book is read with now; "automatic" is a way to choose, not one.
    const std::string now = layout.substr(0, layout.find(' '));
    TLayout::TKind current = TLayout::Classic;
    const bool known = TLayout::FromName(now, current);
    auto* group = new QActionGroup(menu);
    for (const auto& [name, kind] : choices) {
        QAction* a = menu->addAction(tr(name));
        if (kind >= 0) {
            a->setCheckable(true);
            a->setChecked(known && kind == int(current));
            group->addAction(a);
        }
        QObject::connect(a, &QAction::triggered, menu, [choose, kind = kind] {
            const TLayout::TKind k = TLayout::TKind(kind);
            try {
                choose(kind < 0 ? nullptr : &k);
            } catch (const std::exception& e) {
                ShowErrorBox(e.what());
            }
        });
    }
}

void TfrmBooks::contextMenuEvent(QContextMenuEvent* e) {
    QTreeWidgetItem* item = listBooks->currentItem();
    if (!item || !item->isSelected()) return;
    const TBookInfo& b = BookList->GetBook(size_t(listBooks->indexOfTopLevelItem(item)));
    QMenu menu(this);
    FillLayoutMenu(menu.addMenu(tr("Paragraphs")), b.GetProperty("Layout"),
                   [this](const TLayout::TKind* kind) { RebuildSelected(kind); });
    menu.exec(e->globalPos());
}

void TfrmBooks::RebuildSelected(const TLayout::TKind* kind) {
    QTreeWidgetItem* item = listBooks->currentItem();
    if (!item || !item->isSelected()) return;
    RebuildBookFile(BookList->GetBook(size_t(listBooks->indexOfTopLevelItem(item))).FileName, kind);
}

void TfrmBooks::RebuildBookFile(const std::string& name, const TLayout::TKind* kind) {
    const bool wasOpen = OnReleasingBook && OnReleasingBook(name);
    try {
        TBookInfo book(BooksFolder());
        book.FileName = name;
        book.LoadFromBookFile();
        RebuildBook(book, kind);
        book.SaveToBookFile();
    } catch (...) {
        if (wasOpen && OnBookRewritten) OnBookRewritten(name);
        Rebuild();
        throw;
    }
    if (wasOpen && OnBookRewritten) OnBookRewritten(name);
    Rebuild();
}

std::string TfrmBooks::AskForFile() {
    if (OpenFileHook) return OpenFileHook();
    QString f = QFileDialog::getOpenFileName(
        this, tr("Browse"), QString::fromStdString(ProgramFolder),
        tr("Texts and Archives (*.txt *.zip);;Text Files (*.txt);;ZIP archives (*.zip)"));
    return f.toStdString();
}

void TfrmBooks::btBrowseClick() {
    std::string f = AskForFile();
    if (f.empty()) return;
    SelectedBook = nullptr;
    AddToLibrary(f, false);
}

std::string TfrmBooks::AddToLibrary(std::string f, bool reuse) {
    bool extracted = false;
    std::string member;
    const std::string archive = f;
    // An archive by its name in any letter case, or by its first bytes.
    if (LooksLikeArchive(f)) {
        frmArcView->ArchiveFileName = f;
        frmArcView->LoadArchive();
        // Closed without a choice: the user's answer, nothing to say.
        if (frmArcView->exec() != QDialog::Accepted) return {};
        f = frmArcView->ExtractedFileName;
        member = frmArcView->ExtractedMember;
        extracted = true;
    }
    std::string name;
    try {
        // The progress window shows only while a text is converted.
        struct TShown : TConversionProgress {
            bool begun = false;
            void StageStarted(const std::string& m) override {
                if (!begun) frmTextProcessor->Begin();
                begun = true;
                frmTextProcessor->StageStarted(m);
            }
            void StageProgress(double f) override { frmTextProcessor->StageProgress(f); }
        } progress;
        name =
            AddTextToLibrary(f, BooksFolder(), archive, member, &progress, nullptr, reuse).FileName;
        frmTextProcessor->End();
    } catch (...) {
        // Nothing was saved; the progress window closes and the list drops the
        // half-converted record before the error is shown.
        frmTextProcessor->End();
        if (extracted) ::unlink(f.c_str());
        Rebuild();
        throw;
    }
    // The text taken out of an archive has served its purpose.
    if (extracted) ::unlink(f.c_str());
    Rebuild();
    return name;
}

void TfrmBooks::btDeleteClick() {
    QTreeWidgetItem* item = listBooks->currentItem();
    if (!item || !item->isSelected()) return;
    int index = listBooks->indexOfTopLevelItem(item);
    if (!AskYesNo(tr("Delete the book \"%1\" and its reading position?")
                      .arg(item->text(0))
                      .toStdString()))
        return;
    TBookInfo& book = BookList->GetBook(size_t(index));
    // The reader lets go of the book first, so that nothing writes it back.
    if (OnDeletingBook) OnDeletingBook(book.FileName);
    try {
        book.DeleteBookFile();
        ForgetRecentBook(book.FileName);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what());
    }
    Rebuild();
}

void TfrmBooks::dragEnterEvent(QDragEnterEvent* e) {
    if (!LocalFilesOf(e->mimeData()).empty()) e->acceptProposedAction();
}

void TfrmBooks::dragMoveEvent(QDragMoveEvent* e) {
    if (!LocalFilesOf(e->mimeData()).empty()) e->acceptProposedAction();
}

void TfrmBooks::dropEvent(QDropEvent* e) {
    std::vector<std::string> files = LocalFilesOf(e->mimeData());
    if (files.empty()) return;
    e->acceptProposedAction();
    // The drop ends before the work (and its windows) begins.
    QTimer::singleShot(0, this, [this, files] { AddDropped(files); });
}

void TfrmBooks::AddDropped(const std::vector<std::string>& files) {
    std::string first;
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            const std::string name = AddToLibrary(files[i], true);
            if (i == 0) first = name;
        } catch (const std::exception& ex) {
            ShowErrorBox(ex.what());
        }
    }
    const long row = first.empty() ? -1 : BookList->IndexOf(first);
    if (row < 0) return;
    SelectedBook = &BookList->GetBook(size_t(row));
    accept();
}

void TfrmBooks::listBooksDblClick() {
    QTreeWidgetItem* item = listBooks->currentItem();
    if (!item || !item->isSelected()) return;
    SelectedBook = &BookList->GetBook(size_t(listBooks->indexOfTopLevelItem(item)));
    accept();
}
