#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "GuiUtil.h"
#include "base/Files.h"
#include "book/BookList.h"
#include "ui/Application.h"
#include "ui/ArchiveDialog.h"
#include "ui/BooksDialog.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"
#include "ui/Startup.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {

struct LibraryTest : ::testing::Test {
    ProgramDir prog;
    std::vector<std::string> errors, messages, questions;
    bool answerYes = true;
    std::string fileAnswer;
    std::vector<std::string> filesAnswer;  // several at once
    void SetUp() override {
        ErrorBoxHook = [this](const std::string& m) { errors.push_back(m); };
        MessageBoxHook = [this](const std::string& m) { messages.push_back(m); };
        ConfirmHook = [this](const std::string& m) {
            questions.push_back(m);
            return answerYes;
        };
        BooksDialog::OpenFileHook = [this] {
            return filesAnswer.empty() ? std::vector<std::string>{fileAnswer} : filesAnswer;
        };
        LoadOptions();
        CreateForms(10);
    }
    void TearDown() override {
        DestroyForms();
        ErrorBoxHook = nullptr;
        MessageBoxHook = nullptr;
        ConfirmHook = nullptr;
        BooksDialog::OpenFileHook = nullptr;
    }
    QTreeWidget* List() { return ReaderWindow()->Window<BooksDialog>()->bookTree; }
    std::vector<std::string> Rows() {
        std::vector<std::string> r;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            r.push_back(List()->topLevelItem(i)->text(0).toStdString());
        return r;
    }
    void TriggerBrowse() {
        for (QAction* a : ReaderWindow()->Window<BooksDialog>()->findChildren<QAction*>())
            if (a->text() == "Browse") a->trigger();
    }
    static int Count(const std::string& dir) {
        int n = 0;
        std::string cmd = "ls -A '" + dir + "' | wc -l";
        FILE* p = ::popen(cmd.c_str(), "r");
        if (std::fscanf(p, "%d", &n) != 1) n = -1;
        ::pclose(p);
        return n;
    }
};

}  // namespace

TEST_F(LibraryTest, EmptyLibraryChoosesNothing) {
    ReaderWindow()->Window<BooksDialog>()->show();
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    ReaderWindow()->Window<BooksDialog>()->DeleteSelected();
    ReaderWindow()->Window<BooksDialog>()->ChooseSelected();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(List(), &enter);
    EXPECT_TRUE(ReaderWindow()->Window<BooksDialog>()->isVisible());
    EXPECT_EQ(ReaderWindow()->Window<BooksDialog>()->SelectedBook, nullptr);
    EXPECT_TRUE(questions.empty());
}

TEST_F(LibraryTest, BrowseTextAndArchiveThenDelete) {
    ReaderWindow()->Window<BooksDialog>()->show();
    WriteFile(prog / "story.txt", ManyParagraphs(50));
    fileAnswer = prog / "story.txt";
    ReaderWindow()->Window<BooksDialog>()->AddFromFile();
    EXPECT_TRUE(FileExists(prog / "MyBooks/story.tvst"));
    EXPECT_EQ(Rows(), std::vector<std::string>{"A Test Book"}) << "the book's own title";
    EXPECT_FALSE(ReaderWindow()->Window<ProgressWindow>()->isVisible());

    // A ZIP archive goes through the archive viewer first.
    ::mkdir((prog / "src").c_str(), 0755);
    ::mkdir((prog / "src/inner").c_str(), 0755);
    WriteFile(prog / "src/inner/tale.txt", ManyParagraphs(20));
    ASSERT_EQ(std::system(("cd '" + (prog / "src") + "' && zip -q -r ../tales.zip inner").c_str()),
              0);
    fileAnswer = prog / "tales.zip";
    WhenShown(ReaderWindow()->Window<ArchiveDialog>(), [] {
        ASSERT_EQ(ReaderWindow()->Window<ArchiveDialog>()->memberTree->topLevelItemCount(), 1);
        ReaderWindow()->Window<ArchiveDialog>()->memberTree->setCurrentItem(
            ReaderWindow()->Window<ArchiveDialog>()->memberTree->topLevelItem(0));
        QTest::keyClick(ReaderWindow()->Window<ArchiveDialog>()->memberTree,
                        Qt::Key_Return);  // Enter, as a double-click
    });
    ReaderWindow()->Window<BooksDialog>()->AddFromFile();
    EXPECT_FALSE(FileExists(prog / "TEMP/tale.txt")) << "the extracted text is removed";
    EXPECT_TRUE(FileExists(prog / "MyBooks/tale.tvst"));
    EXPECT_EQ(Rows().size(), 2u);

    // Closing the viewer without a choice adds nothing and says nothing.
    WhenShown(ReaderWindow()->Window<ArchiveDialog>(),
              [] { ReaderWindow()->Window<ArchiveDialog>()->reject(); });
    ReaderWindow()->Window<BooksDialog>()->AddFromFile();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Count(prog / "MyBooks"), 2);

    // Delete asks first; No keeps the book, Yes removes its file.
    List()->setCurrentItem(List()->topLevelItem(0));
    const std::string title = Rows()[0];
    const std::string file = ReaderWindow()->Window<BooksDialog>()->Books->GetBook(0).FileName;
    answerYes = false;
    ReaderWindow()->Window<BooksDialog>()->DeleteSelected();
    EXPECT_EQ(Count(prog / "MyBooks"), 2);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Delete the book \"" + title + "\" and its reading position?");
    answerYes = true;
    ReaderWindow()->Window<BooksDialog>()->DeleteSelected();
    EXPECT_FALSE(FileExists(prog / "MyBooks/" + file));
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(LibraryTest, FailedExtractionConvertsNothing) {
    MakeZipWithText(prog / "one.zip", "one.txt", ManyParagraphs(5));
    WriteFile(prog / "older.txt", "older");
    // TEMP/ replaced by a file: nothing can be extracted into it.
    ASSERT_EQ(std::system(
                  ("rm -rf '" + (prog / "TEMP") + "' && touch '" + (prog / "TEMP") + "'").c_str()),
              0);
    ReaderWindow()->Window<BooksDialog>()->show();
    fileAnswer = prog / "one.zip";
    WhenShown(ReaderWindow()->Window<ArchiveDialog>(),
              [] { ReaderWindow()->Window<ArchiveDialog>()->ExtractChosen(); });
    ReaderWindow()->Window<BooksDialog>()->AddFromFile();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("one.txt"), std::string::npos) << messages[0];
    EXPECT_EQ(Count(prog / "MyBooks"), 0);
}

TEST_F(LibraryTest, ArchivesThatCannotBeOfferedSayWhyWithoutAWindow) {
    ReaderWindow()->Window<BooksDialog>()->show();
    MakeZipWithText(prog / "cut.zip", "one.txt", ManyParagraphs(5));
    const std::string whole = ReadFile(prog / "cut.zip");
    WriteFile(prog / "cut.zip", whole.substr(0, whole.size() - 10));
    MakeZipWithText(prog / "notes.zip", "notes.doc", "not a text");
    bool shown = false;
    QObject::connect(ReaderWindow()->Window<ArchiveDialog>(), &QDialog::finished,
                     [&] { shown = true; });
    for (const char* zip : {"cut.zip", "notes.zip"}) {
        fileAnswer = prog / zip;
        TriggerBrowse();
    }
    EXPECT_FALSE(shown) << "no empty archive window";
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Cannot read the archive " + (prog / "cut.zip") + ":", 0), 0u)
        << errors[0];
    EXPECT_GT(errors[0].size(), ("Cannot read the archive " + (prog / "cut.zip") + ":\r\n").size())
        << "a reason follows";
    EXPECT_EQ(errors[1], (prog / "notes.zip") + " holds no text file");
}

TEST_F(LibraryTest, BrowseAddsEveryFileChosenAndTellsTheFailuresInOneBox) {
    ReaderWindow()->Window<BooksDialog>()->show();
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        WriteFile(prog / name, ManyParagraphs(10));
    WriteFile(prog / "empty.txt", "");
    filesAnswer = {prog / "one.txt", prog / "empty.txt", prog / "two.txt", prog / "three.txt"};
    TriggerBrowse();
    EXPECT_EQ(Count(prog / "MyBooks"), 3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (prog / "empty.txt") + " holds no text");
    // One title and author thrice: told apart by their files; the filter
    // box leaves the rows that hold its words.
    EXPECT_EQ(Rows(),
              (std::vector<std::string>{"A Test Book  (one.tvst)", "A Test Book  (three.tvst)",
                                        "A Test Book  (two.tvst)"}));
    ReaderWindow()->Window<BooksDialog>()->findChild<QLineEdit*>()->setText("TWO");
    std::vector<std::string> shown;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
        if (!List()->topLevelItem(i)->isHidden())
            shown.push_back(List()->topLevelItem(i)->text(0).toStdString());
    EXPECT_EQ(shown, std::vector<std::string>{"A Test Book  (two.tvst)"});
    EXPECT_EQ(List()->currentItem()->text(0).toStdString(), "A Test Book  (two.tvst)");
    // A click on the Title head sorts the other way; a row still opens its own book.
    ReaderWindow()->Window<BooksDialog>()->findChild<QLineEdit*>()->setText("");
    List()->header()->setSortIndicator(0, Qt::DescendingOrder);
    EXPECT_EQ(Rows().front(), "A Test Book  (two.tvst)");
    List()->setCurrentItem(List()->topLevelItem(2));
    ReaderWindow()->Window<BooksDialog>()->ChooseSelected();
    ASSERT_TRUE(ReaderWindow()->Window<BooksDialog>()->SelectedBook);
    EXPECT_EQ(ReaderWindow()->Window<BooksDialog>()->SelectedBook->FileName, "one.tvst");
}

TEST_F(LibraryTest, FailedConversionClosesTheProgressWindowAndSavesNothing) {
    ReaderWindow()->Window<BooksDialog>()->show();
    WriteFile(prog / "empty.txt", "");
    fileAnswer = prog / "empty.txt";
    TriggerBrowse();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (prog / "empty.txt") + " holds no text");
    EXPECT_FALSE(ReaderWindow()->Window<ProgressWindow>()->isVisible());
    EXPECT_EQ(Count(prog / "MyBooks"), 0);
    EXPECT_TRUE(Rows().empty());
}

TEST_F(LibraryTest, BooksButtonOpensTheChosenBookAtItsPlace) {
    std::string a = prog.AddBook("a.txt", ManyParagraphs(300));
    std::string b = prog.AddBook("b.txt", ManyParagraphs(300));
    RecentBook = a;
    StartReader();
    ReadingSession& r = ReaderWindow()->Reader();
    ASSERT_TRUE(WaitFor([&] { return r.CurDocument && !r.RestorePosition; }))
        << (errors.empty() ? "" : errors[0]) << (r.CurrentBook ? " book" : " no book");
    auto choose = [&](const std::string& name) {
        WhenShown(ReaderWindow()->Window<BooksDialog>(), [name] {
            auto* list = ReaderWindow()->Window<BooksDialog>()->bookTree;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (ReaderWindow()->Window<BooksDialog>()->Books->GetBook(size_t(i)).FileName ==
                    name)
                    list->setCurrentItem(list->topLevelItem(i));
            ReaderWindow()->Window<BooksDialog>()->ChooseSelected();
        });
        ReaderWindow()->ShowBooks();
    };
    r.CurrentBook->LastPage = 2;
    r.CurrentBook->LastParagraph = 150;
    choose(b);
    EXPECT_EQ(r.CurrentBook->FileName, b);
    EXPECT_EQ(RecentBook, b);
    // The same book again: saved, released and read back from its file.
    r.CurrentBook->LastPage = 3;
    r.CurrentBook->LastParagraph = 222;
    choose(b);
    EXPECT_EQ(r.CurrentBook->LastPage, 3);
    EXPECT_EQ(r.CurrentBook->GetProperty("LastParagraph"), "222");
    choose(a);
    EXPECT_EQ(r.CurrentBook->LastPage, 2);
    EXPECT_EQ(r.CurrentBook->LastParagraph, 150);
    EXPECT_TRUE(errors.empty());
}

TEST_F(LibraryTest, DeletingTheBookBeingReadClosesItFirst) {
    const std::string name = prog.AddBookAt("open.txt", ManyParagraphs(60), 1, 12);
    RecentBook = name;
    ReadingSession& r = ReaderWindow()->Reader();
    r.LoadRecentBook([&](const std::string& m) { errors.push_back(m); });
    ASSERT_TRUE(
        WaitFor([&] { return r.CurDocument && r.CurDocument == ReaderWindow()->WB->Document(); }));
    ReaderWindow()->Window<BooksDialog>()->show();
    ASSERT_EQ(Rows().size(), 1u);
    List()->setCurrentItem(List()->topLevelItem(0));
    ReaderWindow()->Window<BooksDialog>()->DeleteSelected();
    EXPECT_FALSE(r.CurrentBook) << "the book was closed";
    EXPECT_EQ(ReaderWindow()->WB->Document(), 0u) << "the view is empty";
    EXPECT_TRUE(RecentBook.empty());
    ReaderWindow()->Window<BooksDialog>()->hide();
    ReaderWindow()->Exit();
    EXPECT_FALSE(FileExists(prog / ("MyBooks/" + name))) << "Exit did not write it back";
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(LibraryTest, BooksByTitleWithTheOneBeingReadSelectedAndRebuiltInPlace) {
    auto book = [&](const char* file, const std::string& title, int32_t paragraph) {
        std::string text = "Some Author\r\n" + title + "\r\n";
        for (int i = 0; i < 120; ++i)
            text += "Line " + std::to_string(i) + " " + std::string(130, 'x') + "\r\n";
        return prog.AddBookAt(file, text, 0, paragraph);
    };
    book("z.txt", "Apples", 1);
    const std::string read = book("a.txt", "Pears", 60);
    book("m.txt", "Oranges", 122);
    RecentBook = read;
    ReadingSession& r = ReaderWindow()->Reader();
    r.LoadRecentBook([&](const std::string& m) { errors.push_back(m); });
    ReaderWindow()->Window<BooksDialog>()->show();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Apples", "Oranges", "Pears"}));
    EXPECT_EQ(List()->currentItem()->text(0).toStdString(), "Pears") << "the book being read";
    EXPECT_EQ(List()->topLevelItem(1)->text(2).toStdString(), "100%");
    EXPECT_EQ(List()->topLevelItem(0)->text(2).toStdString(), "0%") << "never read";
    // The book being read: how far it is read now, not at its last save.
    ReaderWindow()->Window<BooksDialog>()->hide();
    r.CurrentBook->LastParagraph = 100;
    r.CurrentBook->LastPage = r.CurrentBook->PageOfParagraph(100);
    ReaderWindow()->Window<BooksDialog>()->show();
    EXPECT_EQ(List()->topLevelItem(2)->text(2).toStdString(),
              std::to_string(r.CurrentBook->PositionPercent()) + "%");
    EXPECT_NE(r.CurrentBook->PositionPercent(), ReadPercent(*r.CurrentBook));
    EXPECT_EQ(List()->topLevelItem(1)->text(1).toStdString(), "Some Author");
    // Its paragraphs built anew while it is open: saved, rebuilt, shown again.
    r.CurrentBook->LastParagraph = 80;
    const Layout::Shape classic = Layout::Classic;
    ReaderWindow()->Window<BooksDialog>()->RebuildSelected(&classic);
    ASSERT_TRUE(r.CurrentBook);
    EXPECT_EQ(r.CurrentBook->GetProperty("Layout"), "classic");
    EXPECT_LT(r.CurrentBook->GetIntProperty("TotalParagraphs"), 20);
    LineList page;
    r.CurrentBook->ExtractPage(r.CurrentBook->LastPage, page);
    EXPECT_NE(JoinLines(page).find("Line 77 "), std::string::npos) << "paragraph 80 was line 77";
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(LibraryTest, TheOpenBooksParagraphsAreChosenFromTheMainWindowWithTheCurrentOneMarked) {
    RecentBook = prog.AddBook("v.txt", ManyParagraphs(40));
    ReadingSession& r = ReaderWindow()->Reader();
    r.LoadRecentBook([&](const std::string& m) { errors.push_back(m); });
    ASSERT_TRUE(r.CurrentBook);
    // The Encoding button's menu: Paragraphs, the book's layout marked.
    QMenu* menu = nullptr;
    for (auto* b : ReaderWindow()->findChildren<QToolButton*>())
        if (b->text() == "Encoding") menu = b->menu();
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    QMenu* paragraphs = menu->actions().at(0)->menu();
    ASSERT_TRUE(paragraphs);
    auto find = [&](const char* text) {
        for (QAction* a : paragraphs->actions())
            if (a->text() == text) return a;
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_TRUE(find("classic") && find("verse"));
    EXPECT_TRUE(find("classic")->isChecked());
    EXPECT_FALSE(find("verse")->isChecked());
    find("verse")->trigger();
    ASSERT_TRUE(r.CurrentBook);
    EXPECT_EQ(r.CurrentBook->GetProperty("Layout"), "verse");
    emit menu->aboutToShow();
    paragraphs = menu->actions().at(0)->menu();
    EXPECT_TRUE(find("verse")->isChecked());
    EXPECT_TRUE(errors.empty()) << errors.front();
}
