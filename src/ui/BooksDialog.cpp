#include "ui/BooksDialog.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>

#include <map>

#include "library/Library.h"
#include "options/Options.h"
#include "reading/ReadingSession.h"
#include "ui/Application.h"
#include "ui/ArchiveDialog.h"
#include "ui/ProgressWindow.h"

std::function<std::vector<std::string>()> BooksDialog::OpenFileHook;

namespace {
// A row that sorts by what its columns mean: the percent read and the time
// as numbers, the texts without regard to letter case.
class BookItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column >= 2)
            return data(column, Qt::UserRole).toLongLong() <
                   other.data(column, Qt::UserRole).toLongLong();
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};
}  // namespace

size_t BooksDialog::BookIndexOf(const QTreeWidgetItem* item) const {
    return size_t(item->data(0, Qt::UserRole).toULongLong());
}

BooksDialog::BooksDialog(Library& library, const ReadingSession& reading, ArchiveDialog& archive,
                         ProgressWindow& progress)
    : library_(&library), reading_(&reading), archive_(&archive), progress_(&progress) {
    setWindowTitle(tr("My Books"));
    resize(760, 420);
    Books = std::make_unique<BookList>(BooksFolder());
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
            AddFromFile();
        } catch (const std::exception& e) {
            ShowErrorBox(e.what());
        }
    });
    connect(bar->addAction(tr("Delete")), &QAction::triggered, this, [this] { DeleteSelected(); });
    layout->addWidget(bar);
    filterBox_ = new QLineEdit(this);
    filterBox_->setPlaceholderText(tr("Filter by title or author"));
    filterBox_->setClearButtonEnabled(true);
    connect(filterBox_, &QLineEdit::textChanged, this, [this](const QString& t) { Filter(t); });
    layout->addWidget(filterBox_);
    bookTree = new QTreeWidget(this);
    bookTree->setRootIsDecorated(false);
    bookTree->setSelectionMode(QAbstractItemView::SingleSelection);
    bookTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    bookTree->setHeaderLabels({tr("Title"), tr("Author"), tr("Read"), tr("Last read")});
    // A click on a column's head sorts by it; the list opens by title.
    bookTree->header()->setSortIndicator(-1, Qt::AscendingOrder);
    bookTree->setSortingEnabled(true);
    bookTree->header()->setStretchLastSection(false);
    bookTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    bookTree->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    bookTree->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    bookTree->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    bookTree->setToolTip(tr("DoubleClick to Open"));
    QFont lf("Liberation Sans");
    lf.setPixelSize(15);
    bookTree->setFont(lf);
    bookTree->installEventFilter(this);
    connect(bookTree, &QTreeWidget::itemDoubleClicked, this, [this] { ChooseSelected(); });
    // Beside the list, the chosen book's cover and annotation, when it has them.
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(bookTree, 1);
    aboutBook_ = new QWidget(this);
    auto* about = new QVBoxLayout(aboutBook_);
    cover_ = new QLabel(aboutBook_);
    cover_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    annotation_ = new QLabel(aboutBook_);
    annotation_->setWordWrap(true);
    annotation_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    annotation_->setTextFormat(Qt::PlainText);
    about->addWidget(cover_);
    about->addWidget(annotation_, 1);
    aboutBook_->setFixedWidth(200);
    aboutBook_->hide();
    row->addWidget(aboutBook_);
    layout->addLayout(row, 1);
    connect(bookTree, &QTreeWidget::currentItemChanged, this, [this] { ShowAboutBook(); });
    setAcceptDrops(true);
    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    layout->addWidget(status);
}

void BooksDialog::ScanAndReport() {
    Books->ScanFolder();
    for (const auto& m : Books->Errors) ShowMessageBox(m);
}

void BooksDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    SelectedBook = nullptr;
    ScanAndReport();
    Books->SortByTitle();
    FillList();
    bookTree->setFocus();
}

bool BooksDialog::eventFilter(QObject* o, QEvent* e) {
    if (o == bookTree && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            ChooseSelected();  // Enter acts exactly as a double-click
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void BooksDialog::FillList() {
    bookTree->clear();
    const auto text = FromUtf8;
    // The book being read is read as far as its session says now (its file
    // holds the last save's).
    const BookFile* open = reading_->CurrentBook.get();
    const std::string reading = open ? open->FileName : std::string();
    // Two books of one title and author are told apart by their files.
    std::map<std::pair<std::string, std::string>, int> seen;
    for (size_t i = 0; i < Books->Count(); ++i)
        ++seen[{DisplayTitle(Books->GetBook(i)), DisplayAuthor(Books->GetBook(i))}];
    for (size_t i = 0; i < Books->Count(); ++i) {
        const BookFile& b = Books->GetBook(i);
        auto* item = new BookItem(bookTree);
        item->setData(0, Qt::UserRole, qulonglong(i));
        const std::string title = DisplayTitle(b);
        item->setText(0, text(seen[{title, DisplayAuthor(b)}] > 1 ? title + "  (" + b.FileName + ")"
                                                                  : title));
        item->setText(1, text(DisplayAuthor(b)));
        const int read = open && b.FileName == reading ? reading_->CurrentBook->PositionPercent()
                                                       : ReadPercent(b);
        item->setText(2, read < 0 ? QString() : QString("%1%").arg(read));
        item->setData(2, Qt::UserRole, read);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        // When the book's place was last saved: its file's time.
        const QDateTime saved =
            QFileInfo(QString::fromStdString(b.Folder() + b.FileName)).lastModified();
        item->setText(3, QLocale().toString(saved, QLocale::ShortFormat));
        item->setData(3, Qt::UserRole, saved.toMSecsSinceEpoch());
        item->setToolTip(0, Qt::convertFromPlainText(text(b.FileName)));
    }
    // The rows in the order chosen by a click on a column's head, if any.
    const int column = bookTree->header()->sortIndicatorSection();
    if (column >= 0) bookTree->sortItems(column, bookTree->header()->sortIndicatorOrder());
    // The book being read is the row selected; else the first.
    const long current = open ? Books->IndexOf(reading) : -1;
    QTreeWidgetItem* chosen =
        bookTree->topLevelItemCount() > 0 ? bookTree->topLevelItem(0) : nullptr;
    for (int i = 0; current >= 0 && i < bookTree->topLevelItemCount(); ++i)
        if (BookIndexOf(bookTree->topLevelItem(i)) == size_t(current))
            chosen = bookTree->topLevelItem(i);
    if (chosen) bookTree->setCurrentItem(chosen);
    Filter(filterBox_->text());
}

void BooksDialog::Filter(const QString& words) {
    // Rows whose title or author hold the words typed, in any letter case.
    for (int i = 0; i < bookTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = bookTree->topLevelItem(i);
        item->setHidden(!words.isEmpty() && !item->text(0).contains(words, Qt::CaseInsensitive) &&
                        !item->text(1).contains(words, Qt::CaseInsensitive));
    }
    // Enter never opens a row the filter hides.
    QTreeWidgetItem* current = bookTree->currentItem();
    if (current && current->isHidden()) {
        bookTree->setCurrentItem(nullptr);
        for (int i = 0; i < bookTree->topLevelItemCount(); ++i)
            if (!bookTree->topLevelItem(i)->isHidden()) {
                bookTree->setCurrentItem(bookTree->topLevelItem(i));
                break;
            }
    }
}

void BooksDialog::Rebuild() {
    SelectedBook = nullptr;
    // A list not shown is read again when it is (a file opened from the
    // command line does not read every book's header).
    if (!isVisible()) return;
    ScanAndReport();
    Books->SortByTitle();
    FillList();
}

void BooksDialog::FillLayoutMenu(QMenu* menu, const std::string& layout,
                                 const std::function<void(const Layout::Shape*)>& choose) {
    static const std::pair<const char*, int> choices[] = {
        {QT_TR_NOOP("automatic"), -1},
        {QT_TR_NOOP("classic"), Layout::Classic},
        {QT_TR_NOOP("one per line"), Layout::Lines},
        {QT_TR_NOOP("margin"), Layout::Margin},
        {QT_TR_NOOP("verse"), Layout::Verse},
        {QT_TR_NOOP("wrapped prose"), Layout::Wrapped}};
    // The layout the book is read with now; "automatic" is a way to choose, not one.
    const std::string now = layout.substr(0, layout.find(' '));
    Layout::Shape current = Layout::Classic;
    const bool known = Layout::FromName(now, current);
    auto* group = new QActionGroup(menu);
    for (const auto& [name, kind] : choices) {
        QAction* a = menu->addAction(tr(name));
        if (kind >= 0) {
            a->setCheckable(true);
            a->setChecked(known && kind == int(current));
            group->addAction(a);
        }
        QObject::connect(a, &QAction::triggered, menu, [choose, kind = kind] {
            const Layout::Shape k = Layout::Shape(kind);
            try {
                choose(kind < 0 ? nullptr : &k);
            } catch (const std::exception& e) {
                ShowErrorBox(e.what());
            }
        });
    }
}

void BooksDialog::contextMenuEvent(QContextMenuEvent* e) {
    QTreeWidgetItem* item = bookTree->currentItem();
    if (!item || !item->isSelected()) return;
    const BookFile& b = Books->GetBook(BookIndexOf(item));
    QMenu menu(this);
    FillLayoutMenu(menu.addMenu(tr("Paragraphs")), b.GetProperty("Layout"),
                   [this](const Layout::Shape* kind) { RebuildSelected(kind); });
    menu.exec(e->globalPos());
}

void BooksDialog::RebuildSelected(const Layout::Shape* kind) {
    QTreeWidgetItem* item = bookTree->currentItem();
    if (!item || !item->isSelected()) return;
    const std::string name = Books->GetBook(BookIndexOf(item)).FileName;
    try {
        library_->Rebuild(name, kind);
    } catch (...) {
        Rebuild();
        throw;
    }
    Rebuild();
}

std::vector<std::string> BooksDialog::AskForFiles() {
    if (OpenFileHook) return OpenFileHook();
    // The folder the last files came from, else the user's home.
    static QString lastFolder;
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, tr("Browse"), lastFolder.isEmpty() ? QDir::homePath() : lastFolder,
        tr("Books and Archives (*.txt *.fb2 *.zip);;Text Files (*.txt);;FictionBook Files "
           "(*.fb2);;ZIP archives (*.zip)"));
    std::vector<std::string> files;
    for (const QString& f : chosen) files.push_back(QFile::encodeName(f).toStdString());
    if (!chosen.isEmpty()) lastFolder = QFileInfo(chosen.front()).absolutePath();
    return files;
}

void BooksDialog::AddFromFile() {
    // Every file chosen is added; those that fail are told in one box.
    std::string failures;
    for (const std::string& f : AskForFiles()) {
        SelectedBook = nullptr;
        try {
            AddToLibrary(f, false);
        } catch (const std::exception& e) {
            failures += (failures.empty() ? "" : "\n\n") + std::string(e.what());
        }
    }
    if (!failures.empty()) throw EAppError(failures);
}

std::string BooksDialog::AddToLibrary(std::string f, bool reuse) {
    bool extracted = false;
    std::string member;
    const std::string archive = f;
    // An archive by its name in any letter case, or by its first bytes.
    if (LooksLikeArchive(f)) {
        archive_->ArchiveFileName = f;
        archive_->LoadArchive();
        // Closed without a choice: the user's answer, nothing to say.
        if (archive_->exec() != QDialog::Accepted) return {};
        f = archive_->ExtractedFileName;
        member = archive_->ExtractedMember;
        extracted = true;
    }
    std::string name;
    try {
        // The progress window shows only while a text is converted.
        struct ShownRows : ConversionProgress {
            ProgressWindow* window;
            bool begun = false;
            void StageStarted(const std::string& m) override {
                if (!begun) window->Begin();
                begun = true;
                window->StageStarted(m);
            }
            void StageProgress(double f) override { window->StageProgress(f); }
        } progress;
        progress.window = progress_;
        name = library_->Add(f, archive, member, &progress, nullptr, reuse).FileName;
        progress_->End();
    } catch (...) {
        // Nothing was saved; the progress window closes and the list drops the
        // half-converted record before the error is shown.
        progress_->End();
        if (extracted) ::unlink(f.c_str());
        Rebuild();
        throw;
    }
    // The text taken out of an archive has served its purpose.
    if (extracted) ::unlink(f.c_str());
    Rebuild();
    return name;
}

void BooksDialog::DeleteSelected() {
    QTreeWidgetItem* item = bookTree->currentItem();
    if (!item || !item->isSelected()) return;
    const size_t index = BookIndexOf(item);
    if (!AskYesNo(tr("Delete the book \"%1\" and its reading position?")
                      .arg(item->text(0))
                      .toStdString()))
        return;
    try {
        library_->Delete(Books->GetBook(index).FileName);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what());
    }
    Rebuild();
}

void BooksDialog::dragEnterEvent(QDragEnterEvent* e) {
    if (!LocalFilesOf(e->mimeData()).empty()) e->acceptProposedAction();
}

void BooksDialog::dragMoveEvent(QDragMoveEvent* e) {
    if (!LocalFilesOf(e->mimeData()).empty()) e->acceptProposedAction();
}

void BooksDialog::dropEvent(QDropEvent* e) {
    std::vector<std::string> files = LocalFilesOf(e->mimeData());
    if (files.empty()) return;
    e->acceptProposedAction();
    // The drop ends before the work (and its windows) begins.
    QTimer::singleShot(0, this, [this, files] { AddDropped(files); });
}

void BooksDialog::AddDropped(const std::vector<std::string>& files) {
    std::string first;
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            const std::string name = AddToLibrary(files[i], true);
            if (i == 0) first = name;
        } catch (const std::exception& ex) {
            ShowErrorBox(ex.what());
        }
    }
    const long row = first.empty() ? -1 : Books->IndexOf(first);
    if (row < 0) return;
    SelectedBook = &Books->GetBook(size_t(row));
    accept();
}

void BooksDialog::ShowAboutBook() {
    QTreeWidgetItem* item = bookTree->currentItem();
    if (!item || BookIndexOf(item) >= Books->Count()) return aboutBook_->hide();
    const BookFile& b = Books->GetBook(BookIndexOf(item));
    const CoverPicture cover = CoverOf(b);
    QPixmap picture;
    if (!cover.Base64.empty())
        picture.loadFromData(QByteArray::fromBase64(QByteArray::fromStdString(cover.Base64)));
    const std::string annotation = b.GetProperty("Annotation");
    cover_->setVisible(!picture.isNull());
    if (!picture.isNull())
        cover_->setPixmap(picture.scaled(180, 260, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    // Its paragraphs are kept joined by " / ".
    QString text = QString::fromStdString(annotation);
    text.replace(" / ", "\n\n");
    annotation_->setText(text);
    aboutBook_->setVisible(!picture.isNull() || !annotation.empty());
}

void BooksDialog::ChooseSelected() {
    QTreeWidgetItem* item = bookTree->currentItem();
    if (!item || !item->isSelected()) return;
    SelectedBook = &Books->GetBook(BookIndexOf(item));
    accept();
}
