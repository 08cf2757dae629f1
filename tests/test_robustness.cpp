#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <thread>

#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "book/BookList.h"
#include "book/HeaderJournal.h"
#include "convert/Converter.h"
#include "convert/TextAnalysis.h"
#include "options/IniFile.h"
#include "options/Options.h"
#include "reading/Placeholders.h"

namespace {

// Forks a child that saves again and again until it is killed; once its first
// save is complete (it calls saved()), kills it after a random pause, then runs
// check() on what it left behind. Repeats rounds times.
template <class Work, class Check>
void KillWhileSaving(int rounds, Work work, Check check) {
    std::mt19937 rng(12345);
    for (int round = 0; round < rounds; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            bool told = false;
            work([&] {
                if (!told && ::write(fds[1], "s", 1) == 1) told = true;
            });
            ::_exit(0);
        }
        ::close(fds[1]);
        char c;
        ASSERT_EQ(::read(fds[0], &c, 1), 1) << "the child saved once";
        ::close(fds[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        check(round);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace

TEST(CrashSafety, KilledPositionSavesLeaveAWholeBook) {
    // Saved whole each time, and written in place through the journal (which
    // is repaired, as at a start, before the book is read).
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "whole");
        TempDir dir;
        HeaderJournal journal(dir / "header.journal");
        BookFile book(dir.Path());
        book.FileName = "k.tvst";
        for (int i = 0; i < 6000; ++i)
            book.EditBody().push_back("<p id=\"par" + std::to_string(i) + "\">" +
                                      std::string(60, 'k'));
        book.SetProperty("PagesCount", "1");
        book.SavePosition();
        const LineList body = book.Body();
        int32_t last = 0;
        KillWhileSaving(
            100,
            [&](auto saved) {
                BookFile b(dir.Path());
                b.FileName = "k.tvst";
                b.LoadFromBookFile();
                for (;;) {
                    // Now and then the header outgrows its room and is saved whole.
                    if (b.LastParagraph % 50 == 0)
                        b.SetProperty("Note", std::string(size_t(b.LastParagraph) * 10, 'n'));
                    ++b.LastParagraph;
                    b.SavePosition(inPlace ? &journal : nullptr);
                    saved();
                }
            },
            [&](int round) {
                journal.Repair();
                BookFile r(dir.Path());
                r.FileName = "k.tvst";
                ASSERT_NO_THROW(r.LoadFromBookFile()) << "round " << round;
                ASSERT_EQ(r.Body(), body) << "round " << round;
                // The old content or a newer one, never anything in between.
                ASSERT_GE(r.LastParagraph, last) << "round " << round;
                last = r.LastParagraph;
            });
        EXPECT_GT(last, 0) << "some saves completed";
    }
}

TEST(CrashSafety, AHeaderWriteCutShortIsUndoneAtTheNextStart) {
    TempDir dir;
    const std::string path = dir / "h.tvst";
    HeaderJournal journal(dir / "header.journal");
    BookFile book(dir.Path());
    book.FileName = "h.tvst";
    for (int i = 0; i < 500; ++i)
        book.EditBody().push_back("<p id=\"par" + std::to_string(i) + "\">text");
    book.SavePosition();
    auto position = [&] {
        BookFile r(dir.Path());
        r.FileName = "h.tvst";
        r.LoadFromBookFile();
        EXPECT_EQ(r.Body().size(), 500u);
        return std::to_string(r.LastParagraph) + "/" + std::to_string(r.LastCharacter);
    };
    BookFile open(dir.Path());
    open.FileName = "h.tvst";
    open.LoadFromBookFile();
    open.LastParagraph = 300;
    struct stat before, after;
    ::stat(path.c_str(), &before);
    open.SavePosition(&journal);
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "saved in place, not copied";
    const std::string old = ReadFile(path).substr(0, ReadFile(path).find("<p id="));
    // The next position, as a save writes it: the same length, two places changed.
    std::string header = old;
    header.replace(header.find("LastParagraph=300"), 17, "LastParagraph=301");
    header.replace(header.find("LastCharacter=0"), 15, "LastCharacter=7");
    // How much of it reached the disk before the crash.
    const struct {
        size_t written;
        const char* after;
    } cases[] = {{0, "300/0"}, {header.find("LastCharacter"), "300/0"}, {old.size(), "301/7"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        FileDescriptor fd(::open(path.c_str(), O_RDWR));
        ASSERT_TRUE(WriteAt(fd.Get(), old.data(), old.size(), 0));
        journal.Begin(fd.Get(), path, old, header);
        ASSERT_TRUE(WriteAt(fd.Get(), header.data(), c.written, 0));
        journal.Repair();
        EXPECT_EQ(position(), c.after);
    }
    // A journal outlived by a whole save (another file now) leaves it alone.
    FileDescriptor fd(::open(path.c_str(), O_RDWR));
    journal.Begin(fd.Get(), path, ReadFile(path).substr(0, old.size()), header);
    open.SetProperty("Note", std::string(9000, 'n'));
    open.SavePosition(&journal);
    const std::string saved = ReadFile(path);
    EXPECT_FALSE(journal.Repair());
    EXPECT_EQ(ReadFile(path), saved);
}

TEST(CrashSafety, KilledOptionSavesLeaveAWholeConfig) {
    TempDir dir;
    ProgramFolder = dir.Path();
    WriteFile(dir / "config.dat", "; kept\n[Other]\nx=1\n");
    LoadOptions();
    RecentBook = "0";
    SaveOptions();
    int32_t last = 0;
    KillWhileSaving(
        200,
        [&](auto saved) {
            LoadOptions();
            for (int32_t n = std::stoi(RecentBook);;) {
                RecentBook = std::to_string(++n);
                SaveOptions();
                saved();
            }
        },
        [&](int round) {
            std::string text = ReadFile(dir / "config.dat");
            ASSERT_EQ(text.rfind("; kept\n[Other]\nx=1\n", 0), 0u) << "round " << round;
            IniFile ini(dir / "config.dat");
            int32_t saves = std::stoi(ini.ReadString("General", "RecentBook", "x"));
            ASSERT_GE(saves, last) << "round " << round;
            ASSERT_EQ(ini.ReadString("Style", "titl_color", ""), "BA37EC") << "round " << round;
            last = saves;
        });
    EXPECT_GT(last, 0);
}

TEST(BadInput, BinaryFilesConvertAndHugeOrBrokenOnesAreRefused) {
    TempDir dir;
    ::mkdir((dir / "MyBooks").c_str(), 0755);
    std::mt19937 rng(99);
    std::string binary;
    // Any byte but control bytes: an odd text, but a text.
    for (int i = 0; i < 200000; ++i) binary += char(i % 61 == 0 ? '\n' : 0x20 + rng() % 224);
    WriteFile(dir / "binary.txt", binary);
    BookFile b = ConvertToBook(dir / "binary.txt", dir / "MyBooks/");
    b.SaveToBookFile();
    BookFile back(dir / "MyBooks/");
    back.FileName = b.FileName;
    back.LoadFromBookFile();
    EXPECT_EQ(back.Body(), b.Body());

    // A folder picked as a text, and a missing file.
    EXPECT_THROW(ConvertToBook(dir / "MyBooks", dir / "MyBooks/"), EFileError);
    // Without read permission (root reads everything, so only for other users).
    if (::geteuid() != 0) {
        WriteFile(dir / "secret.txt", "text");
        ::chmod((dir / "secret.txt").c_str(), 0);
        EXPECT_THROW(ConvertToBook(dir / "secret.txt", dir / "MyBooks/"), EFileError);
    }
    // Without a MyBooks folder nothing can be saved, and the list is just empty.
    try {
        ConvertToBook(dir / "binary.txt", dir / "NoBooks/");
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file " + (dir / "NoBooks/") + ": No such file or directory");
    }
    BookList list(dir / "NoBooks/");
    list.ScanFolder();
    EXPECT_EQ(list.Count(), 0u);
}

TEST(BadInput, HugeConfigAndCharsetFiles) {
    TempDir dir;
    ProgramFolder = dir.Path();
    std::string big = "[General]\n";
    for (int i = 0; i < 100000; ++i) big += "key" + std::to_string(i) + "=value\n";
    big += "[Style]\nnorm_font=" + std::string(1 << 20, 'F') + "\n";
    WriteFile(dir / "config.dat", big);
    LoadOptions();
    EXPECT_EQ(ValueOf(OptionList, "norm_font").size(), MaxIniValue);
    SaveOptions();
    IniFile ini(dir / "config.dat");
    EXPECT_EQ(ini.ReadString("General", "key99999", ""), "value");
    EXPECT_EQ(ini.ReadString("General", "RecentBook", ""), DefaultRecentBook);

    LineList table = SplitText(std::string(1 << 20, 'n') + "=UTF-8\r\nshort=cp866\r\n");
    std::vector<std::string> names = DisplayNames(table);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), size_t(1) << 20);
    EXPECT_EQ(ValueOfRow(table, 0), "UTF-8");
    EXPECT_EQ(ValueOfRow(table, 5), "");
}

TEST(CrashSafety, AKilledConversionLeavesNoTemporaryAfterTheNextStart) {
    TempDir dir;
    dir.MakeProgramFolder();
    ProgramFolder = dir.Path();
    std::string text;
    for (int i = 0; i < 6000; ++i)
        text += "  Line " + std::to_string(i) + " of a text to convert\r\n";
    WriteFile(dir / "t.txt", text);
    KillWhileSaving(
        40,
        [&](auto saved) {
            for (;;) {
                BookFile b = ConvertToBook(dir / "t.txt", BooksFolder());
                b.SaveAsNewBook("t");
                saved();
            }
        },
        [&](int round) {
            TidyProgramFolder();  // what the reader does at start-up
            DIR* d = ::opendir(BooksFolder().c_str());
            ASSERT_NE(d, nullptr);
            while (dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name == "." || name == "..") continue;
                ASSERT_EQ(name.find(".tavisto-tmp-"), std::string::npos) << "round " << round;
                BookFile b(BooksFolder());
                b.FileName = name;
                ASSERT_NO_THROW(b.LoadFromBookFile()) << name << " round " << round;
            }
            ::closedir(d);
        });
}

TEST(BadInput, FifosRunawayLinesAndTemplates) {
    TempDir dir;
    ::mkdir((dir / "MyBooks").c_str(), 0755);
    // A FIFO as the text is refused at once instead of waited on for ever.
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0);
    EXPECT_THROW(ConvertToBook(dir / "pipe.txt", dir / "MyBooks/"), EFileError);

    // A 40000-byte line becomes paragraphs of at most 16000 bytes, cut after a
    // space, or between whole UTF-8 characters when it has none.
    std::string words;
    while (words.size() < 40000) words += "word ";
    std::string cyrillic;
    while (cyrillic.size() < 40001) cyrillic += "\xD0\xB6";
    WriteFile(dir / "long.txt", "  start\r\n" + words + "\r\n" + cyrillic + "\r\n");
    BookFile l = ConvertToBook(dir / "long.txt", dir / "MyBooks/");
    size_t longest = 0;
    std::string joined;
    for (const auto& line : l.Body()) {
        std::string text = line.substr(line.find('>', line.find("<p ")) + 1);
        longest = std::max(longest, text.size());
        joined += text;
        EXPECT_EQ(line.rfind("<", 0), 0u) << "every piece begins a paragraph";
    }
    EXPECT_LE(longest, 16000u);
    EXPECT_EQ(joined, "  start" + words + cyrillic) << "no byte lost or added";
    for (const auto& line : l.Body()) {
        if (line.find("word") != std::string::npos) {
            EXPECT_EQ(line.back(), ' ') << line.size();
        }
    }
    EXPECT_EQ(l.GetProperty("TotalParagraphs"), "7");
    LineList page;
    for (int32_t n = 1; n <= l.GetIntProperty("PagesCount"); ++n) {
        l.ExtractPage(n, page);
        EXPECT_LE(JoinedLength(page), 32000u + 200) << "page " << n;
    }

    // A style template that expands without end is refused.
    WriteFile(dir / "big.tml", std::string(4 << 20, 'x') + "&f;&f;&f;&f;&f;");
    LineList values{"f=" + std::string(4 << 20, 'y')};
    try {
        ApplyTemplate(dir / "big.tml", dir / "big.css", values);
        ADD_FAILURE() << "a 24 MB style sheet was written";
    } catch (const EAppError& e) {
        EXPECT_EQ(std::string(e.what()), "Template " + (dir / "big.tml") + " expands beyond 16 MB");
    }
}

TEST(Links, PlantedInTheProgramFolderTheyAreNeverFollowed) {
    // TEMP as a link to a folder of one's own documents, a link inside TEMP, and
    // links in place of the generated page and style sheet: cleaning and writing
    // replace links, never what they point to.
    TempDir dir;
    dir.MakeProgramFolder();
    ProgramFolder = dir.Path();
    ::mkdir((dir / "docs").c_str(), 0755);
    WriteFile(dir / "docs/letter.txt", "mine");
    WriteFile(dir / "outside.txt", "mine too");
    ::rmdir((dir / "TEMP").c_str());
    ASSERT_EQ(::symlink((dir / "docs").c_str(), (dir / "TEMP").c_str()), 0);
    EXPECT_NE(TidyProgramFolder(), "") << "the reader is told";
    EXPECT_EQ(ReadFile(dir / "docs/letter.txt"), "mine");
    struct stat st;
    ASSERT_EQ(::lstat((dir / "TEMP").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    WriteFile(dir / "TEMP/left.txt", "an extracted text");
    ASSERT_EQ(::symlink((dir / "outside.txt").c_str(), (dir / "TEMP/link.txt").c_str()), 0);
    EXPECT_EQ(TidyProgramFolder(), "");
    EXPECT_FALSE(PathTaken(dir / "TEMP/left.txt"));
    EXPECT_FALSE(PathTaken(dir / "TEMP/link.txt"));
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "mine too");

    for (const char* name : {"vpage.html", "vpage.css"})
        ASSERT_EQ(::symlink((dir / "outside.txt").c_str(), (dir / "Templates/" + name).c_str()), 0);
    WriteFile(dir / "Templates/style.tml", "p { color: #&norm_color; }");
    ApplyTemplate(dir / "Templates/style.tml", dir / "Templates/vpage.css", {"norm_color=375060"});
    SaveLinesToFile(dir / "Templates/vpage.html", {"<p>page</p>"});
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "mine too");
    EXPECT_EQ(ReadFile(dir / "Templates/vpage.html"), "<p>page</p>\r\n");
    EXPECT_EQ(ReadFile(dir / "Templates/vpage.css"), "p { color: #375060 }\r\n");
}

TEST(BadInput, ARunawayLineAHoleAndAStrayByte) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    auto convert = [&](const std::string& text, long* peakKb = nullptr) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(TAVISTO_CONVERT, TAVISTO_CONVERT, "--library", (dir / "lib").c_str(),
                    text.c_str(), nullptr);
            ::_exit(127);
        }
        int status = 0;
        struct rusage ru {};
        ::wait4(pid, &status, 0, &ru);
        if (peakKb) *peakKb = ru.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    };
    auto books = [&] {
        int n = 0;
        if (DIR* d = ::opendir((dir / "lib").c_str())) {
            while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
            ::closedir(d);
        }
        return n;
    };

    // A text whose bytes turn binary after its start: a hole of NULs, random
    // bytes. Refused when met, and no book is left.
    std::string start;
    while (start.size() < 72 * 1024) start += "  A line of a text that begins well.\r\n";
    WriteFile(dir / "hole.txt", start);
    ASSERT_EQ(::truncate((dir / "hole.txt").c_str(), 64 << 20), 0);
    std::mt19937 rng(5);
    std::string noise = start;
    while (noise.size() < start.size() + (2 << 20)) noise += char(rng());
    WriteFile(dir / "noise.txt", noise);
    EXPECT_EQ(convert(dir / "hole.txt"), 1);
    EXPECT_EQ(convert(dir / "noise.txt"), 1);
    EXPECT_EQ(books(), 0);

    // One stray byte in a UTF-8 text leaves it UTF-8.
    std::string utf8;
    while (utf8.size() < 40000)
        utf8 += "  \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80.\r\n";
    utf8.insert(20000, "\xFF");
    WriteFile(dir / "stray.txt", utf8);
    ASSERT_EQ(convert(dir / "stray.txt"), 0);
    BookFile b(dir / "lib/");
    b.FileName = "stray.tvst";
    b.LoadFromBookFile();
    EXPECT_EQ(b.GetProperty("Charset"), "UTF-8");

#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "memory is measured without the sanitizer's own";
#else
    // A 64 MB line: the memory it takes stays far below its length.
    std::string line;
    line.reserve(64 << 20);
    while (line.size() < (64u << 20)) line += "word ";
    WriteFile(dir / "line.txt", line);
    line.clear();
    line.shrink_to_fit();
    // Against a small text in the same way (a child starts as big as its parent).
    long peak = 0, floor = 0;
    EXPECT_EQ(convert(dir / "stray.txt", &floor), 0);
    EXPECT_EQ(convert(dir / "line.txt", &peak), 0);
    EXPECT_LT(peak - floor, 24 * 1024) << "KB over the floor";
#endif
}
