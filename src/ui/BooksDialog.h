// The "My Books" window: the books of MyBooks/ by title; adds books from text
// files and ZIP archives, deletes them, and hands the chosen one back.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "book/BookList.h"
#include "convert/Paragraphs.h"

class ArchiveDialog;
class Library;
class ProgressWindow;
class ReadingSession;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

class QMenu;

class BooksDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(BooksDialog)

  public:
    // The archive window chooses a text of an archive; the progress window
    // shows a conversion under way.
    // reading: the book being read, whose row is selected when the list is filled.
    BooksDialog(Library& library, const ReadingSession& reading, ArchiveDialog& archive,
                ProgressWindow& progress);
    std::unique_ptr<BookList> Books;
    BookFile* SelectedBook = nullptr;
    QTreeWidget* bookTree = nullptr;

    void FillList();
    void AddFromFile();
    // Takes a text or a ZIP archive (through the archive window) into the
    // library and returns the book's file name; empty when the archive window
    // was left without a choice. reuse: a file converted before and unchanged
    // since (its "Source") is not converted again, its book is returned.
    std::string AddToLibrary(std::string path, bool reuse);
    void DeleteSelected();
    void ChooseSelected();

    // The file dialog's answer; tests set it so that no dialog waits.
    static std::function<std::vector<std::string>()> OpenFileHook;

    // Builds the selected book's paragraphs anew in another layout (null: decided again).
    void RebuildSelected(const Layout::Shape* kind);
    // Fills a menu with the paragraph layouts, the one named by layout (a book's
    // "Layout" property) marked; choose gets the kind (null: automatic).
    static void FillLayoutMenu(QMenu* menu, const std::string& layout,
                               const std::function<void(const Layout::Shape*)>& choose);

    // Files dropped on the window: added as the command line adds them, and the
    // first one's book chosen.
    void AddDropped(const std::vector<std::string>& files);

  protected:
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    Library* library_;
    const ReadingSession* reading_;
    // The record of Books a row shows.
    size_t BookIndexOf(const QTreeWidgetItem* item) const;
    // Shows only the rows whose title or author hold words.
    void Filter(const QString& words);
    QLineEdit* filterBox_ = nullptr;
    // The chosen book's cover and annotation beside the list.
    void ShowAboutBook();
    QWidget* aboutBook_ = nullptr;
    QLabel *cover_ = nullptr, *annotation_ = nullptr;
    ArchiveDialog* archive_;
    ProgressWindow* progress_;
    std::vector<std::string> AskForFiles();
    void Rebuild();
    void ScanAndReport();
};
