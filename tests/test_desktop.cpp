// The reader on a Linux desktop: installed with a per-user library, files from
// the command line, a file manager's drop or a second start, the window's place.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLocalSocket>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "GuiUtil.h"
#include "base/Files.h"
#include "book/BookList.h"
#include "convert/Converter.h"
#include "options/IniFile.h"
#include "ui/Application.h"
#include "ui/BooksDialog.h"
#include "ui/InstanceGuard.h"
#include "ui/MainWindow.h"
#include "ui/Startup.h"
#include "ui/WindowPlace.h"
#include "view/PageView.h"

namespace {

// Starts a program with the environment given (NAME=value), headless.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        for (const std::string& e : env) ::putenv(::strdup(e.c_str()));
        std::vector<char*> argv{const_cast<char*>("tavisto")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for a child to end; its exit code, or -1 when it did not end by itself in time.
int ExitCode(pid_t pid, int timeoutMs) {
    int status = 0;
    bool ended = false;
    WaitFor([&] { return ended = ended || ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Installs the build into root/prefix, beside an empty home root/home and a
// runtime folder root/run.
bool InstallWithHome(const TempDir& root) {
    ::mkdir((root / "home").c_str(), 0700);
    ::mkdir((root / "run").c_str(), 0700);
    return std::system(("'" + std::string(TAVISTO_CMAKE) + "' --install '" +
                        std::string(TAVISTO_BUILD) + "' --prefix '" + (root / "prefix") +
                        "' >/dev/null")
                           .c_str()) == 0;
}

TEST(InstalledReader, SetsUpTheUserFolderOpensTheGivenTextAndTakesOverASecondStart) {
    TempDir root;
    const std::string prefix = root / "prefix";
    ASSERT_TRUE(InstallWithHome(root));
    const std::vector<std::string> env = {"HOME=" + (root / "home"),
                                          "XDG_DATA_HOME=",
                                          "XDG_RUNTIME_DIR=" + (root / "run"),
                                          "LANG=C.UTF-8",
                                          "LC_ALL=",
                                          "LC_MESSAGES="};
    const std::string user = root / "home/.local/share/tavisto/";
    WriteFile(root / "first.txt",
              "          The First Text\r\n  Opened from the command line.\r\n");
    WriteFile(root / "Second.TXT", "  A second text, handed over by a second start.\r\n");

    // Relative paths, as a shell gives them (the folder is the tests' own again after).
    char* here = ::getcwd(nullptr, 0);
    ASSERT_TRUE(here);
    const std::string before = here;
    std::free(here);
    ASSERT_EQ(::chdir(root.Path().c_str()), 0);
    const pid_t first = Spawn(prefix + "/bin/tavisto", {"first.txt"}, env);
    // The page's text, its words' soft hyphens taken off.
    const auto page = [&] {
        std::string p = ReadFile(user + "Templates/vpage.html");
        for (size_t at; (at = p.find("&shy;")) != std::string::npos;) p.erase(at, 5);
        return p;
    };
    const bool shown = WaitFor(
        [&] { return page().find("Opened from the command line.") != std::string::npos; }, 30000);
    EXPECT_TRUE(FileExists(user + "MyBooks/A Guide to Tavisto.tvst"));
    for (const char* t : TemplateFiles) EXPECT_TRUE(FileExists(user + "Templates/" + t)) << t;
    EXPECT_TRUE(DirectoryExists(user + "TEMP"));

    const int handed = ExitCode(Spawn(prefix + "/bin/tavisto", {"Second.TXT"}, env), 20000);
    const bool secondShown = WaitFor(
        [&] { return page().find("handed over by a second start") != std::string::npos; }, 30000);
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the first reader goes on";
    ::kill(first, SIGTERM);
    ::waitpid(first, nullptr, 0);
    ASSERT_EQ(::chdir(before.c_str()), 0);
    EXPECT_TRUE(shown) << "the text given was not shown";
    EXPECT_EQ(handed, 0);
    EXPECT_TRUE(secondShown) << "the handed-over text was not shown";
    BookList books(user + "MyBooks/");
    books.ScanFolder();
    EXPECT_EQ(books.Count(), 3u) << "the guide and the two texts";
}

TEST(InstalledReader, SpeaksRussianOnARussianDesktop) {
    TempDir root;
    const std::string prefix = root / "prefix";
    ASSERT_TRUE(InstallWithHome(root));
    const std::string user = root / "home/.local/share/tavisto/";
    const pid_t reader =
        Spawn(prefix + "/bin/tavisto", {},
              {"HOME=" + (root / "home"), "XDG_DATA_HOME=", "XDG_RUNTIME_DIR=" + (root / "run"),
               "LANG=ru_RU.UTF-8", "LC_ALL=", "LC_MESSAGES="});
    // The first start opens the guide's Russian edition, its buttons in Russian.
    std::string page;
    const bool shown = WaitFor(
        [&] {
            page = ReadFile(user + "Templates/vpage.html");
            for (size_t at; (at = page.find("&shy;")) != std::string::npos;) page.erase(at, 5);
            return page.find("Добро пожаловать в Tavisto") != std::string::npos;
        },
        30000);
    ::kill(reader, SIGTERM);
    ::waitpid(reader, nullptr, 0);
    EXPECT_TRUE(shown) << "the Russian guide was not shown";
    EXPECT_NE(page.find("lang=\"ru\""), std::string::npos);
    EXPECT_NE(page.find("&#1044;&#1040;&#1051;&#1045;&#1045;"), std::string::npos)
        << "CONTINUE in Russian";
    EXPECT_EQ(IniFile(user + "config.dat").ReadString("General", "RecentBook", ""),
              RussianGuideBook);
}

struct OpenFilesTest : ::testing::Test {
    ProgramDir prog;
    std::vector<std::string> errors;
    void SetUp() override {
        ErrorBoxHook = [this](const std::string& m) { errors.push_back(m); };
        MessageBoxHook = ErrorBoxHook;
        LoadOptions();
        CreateForms(30);
    }
    void TearDown() override {
        DestroyForms();
        ErrorBoxHook = MessageBoxHook = nullptr;
    }
    ReadingSession& R() { return ReaderWindow()->Reader(); }
    size_t Books() {
        BookList l(BooksFolder());
        l.ScanFolder();
        return l.Count();
    }
};

TEST_F(OpenFilesTest, AFileConvertedBeforeOpensItsBookAtItsPlaceUntilTheFileChanges) {
    const std::string text = prog / "tale.txt";
    WriteFile(text, ManyParagraphs(200));
    StartReader({text});
    ASSERT_TRUE(R().CurrentBook);
    const std::string name = R().CurrentBook->FileName;
    R().CurrentBook->LastPage = 2;
    R().CurrentBook->LastParagraph = 150;

    // The same file again (spelt another way): no new book, the place kept.
    ReaderWindow()->OpenFiles({prog / "./tale.txt", prog / "missing.txt"});
    EXPECT_EQ(R().CurrentBook->FileName, name);
    EXPECT_EQ(R().CurrentBook->GetProperty("LastParagraph"), "150");
    EXPECT_EQ(Books(), 1u);
    EXPECT_EQ(errors.size(), 1u) << "the missing file is reported, the first still opened";

    // Changed since: converted anew.
    WriteFile(text, ManyParagraphs(201));
    ReaderWindow()->OpenFiles({text});
    EXPECT_NE(R().CurrentBook->FileName, name);
    EXPECT_EQ(Books(), 2u);
    EXPECT_EQ(RecentBooks.at(1), name) << "the book read before heads the recent list after";
}

TEST_F(OpenFilesTest, AnUnreadableFileLeavesTheRecentBookOpen) {
    RecentBook = prog.AddBook("r.txt", ManyParagraphs(5));
    StartReader({prog / "no-such.txt"});
    ASSERT_EQ(errors.size(), 1u);
    ASSERT_TRUE(R().CurrentBook);
    EXPECT_EQ(R().CurrentBook->FileName, RecentBook);
    // Fifty files that fail in one hand-over: one box.
    std::vector<std::string> many;
    for (int i = 0; i < 50; ++i) many.push_back(prog / ("gone" + std::to_string(i) + ".txt"));
    ReaderWindow()->OpenFiles(many);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find("gone9.txt"), std::string::npos) << errors[1];
    EXPECT_NE(errors[1].find("40 more"), std::string::npos) << errors[1];
}

TEST_F(OpenFilesTest, FilesDroppedOnTheViewAreOpenedNotLoadedByIt) {
    StartReader();
    WriteFile(prog / "a.txt", "  Dropped one.\r\n");
    WriteFile(prog / "b.txt", "  Dropped two.\r\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(prog / "a.txt")),
                  QUrl::fromLocalFile(QString::fromStdString(prog / "b.txt"))});
    // Where a file manager drops it: on the page.
    QWidget* page = ReaderWindow()->WB->Front()->Widget();
    QWidget* target = page->focusProxy() ? page->focusProxy() : page;
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    ASSERT_TRUE(WaitFor([&] { return R().CurrentBook != nullptr; }));
    EXPECT_EQ(R().CurrentBook->FileName, "a.tvst");
    EXPECT_EQ(Books(), 2u);
    EXPECT_TRUE(errors.empty());
}

TEST(InstanceGuard, ASocketLeftByAKilledReaderDoesNotStopTheNext) {
    TempDir d, run;
    const QByteArray oldRun = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(run.Path()));
    {
        // What a killed reader leaves: a bound socket file nobody listens on.
        InstanceGuard dead(d.Path());
        const std::string path = dead.SocketPath().toStdString();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(s);
        ASSERT_TRUE(PathTaken(path));
    }
    InstanceGuard next(d.Path());
    ASSERT_TRUE(next.Acquire());
    InstanceGuard::FileList got;
    next.Listen([&](const InstanceGuard::FileList& files) {
        got = files;
        return true;
    });
    InstanceGuard later(d.Path());
    EXPECT_FALSE(later.Acquire());
    bool handed = false;
    // The hand-over blocks; the listener answers from this thread's loop, so the
    // later start runs in a thread of its own.
    // Names are bytes: one of them is no UTF-8 at all.
    const InstanceGuard::FileList files{"/books/a b.txt", "/books/ц.txt", "/books/caf\xe9.txt"};
    std::thread t(
        [&] { handed = later.HandOver(files, 10000) == InstanceGuard::Outcome::HandedOver; });
    WaitFor([&] { return !got.empty(); }, 10000);
    t.join();
    qputenv("XDG_RUNTIME_DIR", oldRun);
    EXPECT_TRUE(handed);
    EXPECT_EQ(got, files);
}

TEST(InstanceGuard, AStartWhileTheReaderIsGoingAwayWaitsAndOpensTheFilesItself) {
    TempDir d, run;
    const QByteArray oldRun = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(run.Path()));
    auto going = std::make_unique<InstanceGuard>(d.Path());
    ASSERT_TRUE(going->Acquire());
    bool asked = false;
    // Its window is closed and it is saving: it refuses the files.
    going->Listen([&](const InstanceGuard::FileList&) { return !(asked = true); });
    InstanceGuard later(d.Path());
    std::atomic<InstanceGuard::Outcome> outcome{InstanceGuard::Outcome::Failed};
    std::atomic<bool> done{false};
    std::thread t([&] {
        outcome = later.HandOver({"/books/a.txt"}, 10000);
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return asked; }, 10000));
    EXPECT_FALSE(done) << "it waits for the reader to be gone";
    going.reset();  // the reader ends: its lock is free
    t.join();
    qputenv("XDG_RUNTIME_DIR", oldRun);
    EXPECT_EQ(outcome, InstanceGuard::Outcome::TookOver);
    EXPECT_FALSE(InstanceGuard(d.Path()).Acquire()) << "the later start holds the lock";
}

TEST(WindowPlace, SavedPlacesAreKeptReachable) {
    const QRect primary(0, 0, 1280, 800), available(0, 0, 1280, 770);
    const QList<QRect> screens{primary, QRect(1280, 0, 1024, 768)};
    // On either screen: kept as saved.
    EXPECT_EQ(PlaceWindow({100, 100, 800, 600}, screens, available), QRect(100, 100, 800, 600));
    EXPECT_EQ(PlaceWindow({1400, 50, 800, 600}, screens, available), QRect(1400, 50, 800, 600));
    // A screen unplugged since, or a title bar above every screen: centred on the primary.
    const QRect gone = PlaceWindow({3000, 100, 800, 600}, screens, available);
    EXPECT_EQ(gone.size(), QSize(800, 600));
    EXPECT_EQ(gone.center(), available.center());
    EXPECT_EQ(PlaceWindow({100, -200, 800, 600}, screens, available).center(), available.center());
    // Larger than the screen: made to fit.
    EXPECT_TRUE(available.contains(PlaceWindow({3000, 0, 5000, 3000}, screens, available)));
    // Nothing kept, or kept wrongly: the default, 70% and centred.
    for (const char* bad : {"", "1,2,3", "a,b,c,d", "10,10,20,20", "1,2,300,400,5",
                            "-2147483648,0,800,600", "0,2147483647,800,600"})
        EXPECT_EQ(PlaceWindow(RectFromText(bad), screens, available), QRect(192, 115, 896, 539))
            << bad;
    EXPECT_EQ(RectFromText(RectText({-5, 7, 640, 480})), QRect(-5, 7, 640, 480));
}

TEST_F(OpenFilesTest, TheWindowComesBackAsItWasLeft) {
    StartReader();
    ReaderWindow()->windowedAction->setChecked(true);
    ReaderWindow()->ToggleWindowed();
    ReaderWindow()->setGeometry(40, 50, 700, 500);
    ReaderWindow()->Exit();
    DestroyForms();
    LoadOptions();
    CreateForms(30);
    StartReader();
    EXPECT_TRUE(ReaderWindow()->windowedAction->isChecked());
    EXPECT_EQ(ReaderWindow()->geometry(), QRect(40, 50, 700, 500));
}

}  // namespace

TEST(CommandLine, FileNamesArePassedAsTheirBytes) {
    char* here = ::getcwd(nullptr, 0);
    const std::string cwd = here;
    std::free(here);
    for (const auto& [argument, path] : std::vector<std::pair<std::string, std::string>>{
             {"caf\xe9.txt", cwd + "/caf\xe9.txt"},
             {"/b/caf\xe9.txt", "/b/caf\xe9.txt"},
             {"file:///b/caf%E9%20au%20lait.txt", "/b/caf\xe9 au lait.txt"},
             {"file://localhost/b/x.txt", "/b/x.txt"},
             {"--help", ""}})
        EXPECT_EQ(AbsoluteArgumentPath(argument.c_str()), path) << argument;
}

TEST(InstanceGuard, AHandOverCarriesWhatFitsAndNamesTheRest) {
    InstanceGuard::FileList many, left;
    for (int i = 0; i < 150; ++i) many.push_back("/b/" + std::to_string(i) + ".txt");
    EXPECT_EQ(InstanceGuard::FitMessage(many, left).size(), 100u);
    EXPECT_EQ(left.size(), 50u);
    const InstanceGuard::FileList huge{"/b/a.txt", "/" + std::string(70000, 'x'), "/b/c.txt"};
    EXPECT_EQ(InstanceGuard::FitMessage(huge, left),
              (InstanceGuard::FileList{"/b/a.txt", "/b/c.txt"}));
    EXPECT_EQ(left.size(), 1u);
}

TEST(InstanceGuard, TheSocketIsPrivateAndAHandOverIsBounded) {
    TempDir d, tmp;
    const QByteArray oldRun = qgetenv("XDG_RUNTIME_DIR"), oldTmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.Path()));
    const std::string own = tmp / ("tavisto-" + std::to_string(::getuid()));
    InstanceGuard g(d.Path());
    // A folder another user made first, one open to all, a link: none is
    // used, and a folder of another name is made instead.
    const QString other = QString::fromStdString(own + "-1/");
    ::mkdir(own.c_str(), 0700);
    if (::getuid() == 0) {  // only root can give a folder away
        ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(g.SocketPath().startsWith(other));
        ASSERT_EQ(::chown(own.c_str(), ::getuid(), ::getgid()), 0);
    }
    ::chmod(own.c_str(), 0777);
    EXPECT_TRUE(g.SocketPath().startsWith(other));
    ::rmdir(own.c_str());
    ::mkdir((tmp / "elsewhere").c_str(), 0700);
    ASSERT_EQ(::symlink((tmp / "elsewhere").c_str(), own.c_str()), 0);
    EXPECT_TRUE(g.SocketPath().startsWith(other));
    ::rmdir((own + "-1").c_str());
    ::unlink(own.c_str());
    // Else a folder of the user's own is made for it.
    ASSERT_TRUE(g.SocketPath().startsWith(QString::fromStdString(own + "/")));
    ASSERT_TRUE(g.Acquire());
    int handed = 0;
    ASSERT_TRUE(g.Listen([&](const InstanceGuard::FileList&) { return ++handed > 0; }));

    // Too long a message, too many files, a trickle that never ends: dropped.
    const auto dropped = [&](const QByteArray& msg, bool trickle) {
        QLocalSocket s;
        s.connectToServer(g.SocketPath());
        if (!s.waitForConnected(2000)) return false;
        s.write(msg);
        s.flush();
        return WaitFor(
            [&] {
                if (trickle && s.state() == QLocalSocket::ConnectedState) s.write("a");
                return s.state() == QLocalSocket::UnconnectedState;
            },
            8000);
    };
    EXPECT_TRUE(dropped(QByteArray(200 * 1024, 'a'), false));
    // Many idle starts at once: those past the first few are not even heard.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 60; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(g.SocketPath());
    }
    long gone = 0;
    EXPECT_TRUE(WaitFor([&] {
        gone = std::count_if(idle.begin(), idle.end(), [](const auto& s) {
            return s->state() == QLocalSocket::UnconnectedState;
        });
        return gone >= 40;
    }));
    EXPECT_LT(gone, 60) << "the few heard wait for their message; the rest went at once";
    idle.clear();
    EXPECT_TRUE(dropped(QByteArray("/a\n").repeated(150) + "\n", false));
    EXPECT_TRUE(dropped("/a", true));
    EXPECT_EQ(handed, 0);
    qputenv("XDG_RUNTIME_DIR", oldRun);
    qputenv("TMPDIR", oldTmp);
}

TEST_F(OpenFilesTest, TwoRecentBooksOfOneTitleAreToldApart) {
    const std::string a = prog.AddBook("nos.txt", ManyParagraphs(5));
    const std::string b = prog.AddBook("nos.txt", ManyParagraphs(6));
    StartReader();
    RecentBooks = {a, b};
    QMenu menu;
    ReaderWindow()->FillRecentMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 2);
    const QString first = menu.actions()[0]->text(), second = menu.actions()[1]->text();
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.contains(QString::fromStdString(a))) << first.toStdString();
}
