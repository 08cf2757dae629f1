#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "ConvertUtil.h"
#include "TestUtil.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "convert/Converter.h"
#include "library/Library.h"

namespace {
struct ToolRun {
    int status;
    std::string out;
};
ToolRun Exec(const std::string& args) {
    std::string cmd = std::string(TAVISTO_CONVERT) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = ::pclose(p);
    return {WEXITSTATUS(st), out};
}
}  // namespace

TEST(ConvertTool, ConvertsBooksThatLoadBack) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    WriteFile(dir / "story.txt", "  Story\r\n  First paragraph\r\ngoes on\r\n");
    WriteFile(dir / "empty.txt", "");
    ToolRun r = Exec("--library " + (dir / "lib") + " " + (dir / "story.txt") + " " +
                     (dir / "empty.txt") + " " + (dir / "story.txt"));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("story.tvst\tWindows-1252\t2 paragraphs\t1 pages"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("story(1).tvst"), std::string::npos);
    EXPECT_NE(r.out.find("empty.txt holds no text"), std::string::npos);

    BookFile b(dir / "lib/");
    b.FileName = "story.tvst";
    b.LoadFromBookFile();
    EXPECT_EQ(b.Title, "story.tvst");
    const std::string source = SourceIdentity(dir / "story.txt");
    EXPECT_EQ(b.Properties,
              (LineList{"Charset=Windows-1252", "LastPage=1", "LastParagraph=1", "Language=en",
                        "TotalParagraphs=2", "PagesCount=1", "Layout=classic", "Escaped=amp lt gt",
                        "BookTitle=Story", "Headings=0", "Source=" + source}));

    ToolRun info = Exec("--info " + (dir / "lib/story.tvst"));
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(
        info.out,
        "story.tvst\nCharset=Windows-1252\nLastPage=1\nLastParagraph=1\nLanguage=en\n"
        "TotalParagraphs=2\n"
        "PagesCount=1\nLayout=classic\nEscaped=amp lt gt\nBookTitle=Story\nHeadings=0\nSource=" +
            source + "\n3\n");

    // A title in windows-1251 is printed in UTF-8.
    const std::string title = "\xD0\x9F\xD0\xBE\xD0\xB2\xD0\xB5\xD1\x81\xD1\x82\xD1\x8C";
    std::string tale = "  " + title + "\r\n\r\n";
    for (int i = 0; i < 40; ++i)
        tale +=
            "  \xD0\x9E\xD0\xBD \xD1\x88\xD1\x91\xD0\xBB \xD0\xBF\xD0\xBE "
            "\xD0\xB4\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB3\xD0\xB5 \xD0\xB8 "
            "\xD0\xB4\xD1\x83\xD0\xBC\xD0\xB0\xD0\xBB.\r\n";
    WriteFile(dir / "tale.txt", Iconv(tale, "CP1251"));
    ASSERT_EQ(Exec("--library " + (dir / "lib") + " " + (dir / "tale.txt")).status, 0);
    const std::string told = Exec("--info " + (dir / "lib/tale.tvst")).out;
    EXPECT_NE(told.find("Charset=windows-1251"), std::string::npos) << told;
    EXPECT_NE(told.find("BookTitle=" + title + "\n"), std::string::npos) << told;

    WriteFile(dir / "lib/bad.tvst", Bytes({5, 0, 'a'}));
    ToolRun bad = Exec("--info " + (dir / "lib/bad.tvst"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("is damaged"), std::string::npos) << bad.out;
    EXPECT_EQ(Exec("--info " + (dir / "lib/none.tvst")).status, 1);
}

TEST(ConvertTool, ABookTheToolMadeIsTheOneTheReaderOpensForItsText) {
    // Both add books through the one library module: the tool records the
    // source, so the reader (reusing) finds that book instead of converting again.
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    WriteFile(dir / "tale.txt", "  A tale\r\n  told twice.\r\n");
    ToolRun r = Exec("--library " + (dir / "lib") + " " + (dir / "tale.txt"));
    ASSERT_EQ(r.status, 0) << r.out;
    const Library library(dir / "lib/");
    const AddedBook again =
        library.Add(dir / "tale.txt", dir / "tale.txt", "", nullptr, nullptr, true);
    EXPECT_TRUE(again.Reused);
    EXPECT_EQ(again.FileName, "tale.tvst");
    WriteFile(dir / "tale.txt", "  A tale\r\n  told again, changed.\r\n");
    EXPECT_FALSE(library.Add(dir / "tale.txt", dir / "tale.txt", "", nullptr, nullptr, true).Reused)
        << "a changed text is converted anew";
    // Found among the books named after the text, and under any other name.
    auto reopened = [&] {
        const AddedBook b =
            library.Add(dir / "tale.txt", dir / "tale.txt", "", nullptr, nullptr, true);
        return b.Reused ? b.FileName : "";
    };
    EXPECT_EQ(reopened(), "tale(1).tvst");
    ASSERT_EQ(::rename((dir / "lib/tale(1).tvst").c_str(), (dir / "lib/tale(1)x.tvst").c_str()), 0);
    EXPECT_EQ(reopened(), "tale(1)x.tvst");
}

TEST(ConvertTool, RefusesAMissingLibraryAndPrintsNoControlBytes) {
    TempDir dir;
    WriteFile(dir / "plain.txt", "text\r\n");
    for (const std::string& lib : {std::string("''"), dir / "absent"}) {
        ToolRun r = Exec("--library " + lib + " " + (dir / "plain.txt"));
        EXPECT_EQ(r.status, 2) << lib;
        EXPECT_NE(r.out.find("library folder"), std::string::npos) << r.out;
    }
    EXPECT_FALSE(FileExists("/plain.tvst"));
    // A book file from anyone: its title and properties reach the terminal escaped.
    BookFile b(dir.Path());
    b.FileName = "evil.tvst";
    b.Title = "t\x1b]0;owned\x07";
    b.SetProperty("Charset", "x\x1b[2J");
    b.SaveToBookFile();
    b.SetProperty("Author",
                  "C1 \xc2\x9b"
                  "2J");
    // A raw 0x9B (a CSI to a terminal in its eight-bit mode); UTF-8 letters stay.
    b.SetProperty("BookTitle",
                  "raw \x9b"
                  "2J \xd1\x86");
    b.SaveToBookFile();
    ToolRun info = Exec("--info " + (dir / "evil.tvst"));
    EXPECT_EQ(info.out.find('\x1b'), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("\xc2\x9b"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("raw \\x9b2J \xd1\x86"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("t\\x1b]0;owned\\x07\n"), std::string::npos) << info.out;

    // A member of an archive named with an escape sequence: the result line too.
    ::mkdir((dir / "z").c_str(), 0755);
    WriteFile(dir / "z/a\x1b[31mred.txt", "  A text\r\n");
    ASSERT_EQ(std::system(("cd '" + (dir / "z") + "' && zip -q ../m.zip *").c_str()), 0);
    ::mkdir((dir / "lib").c_str(), 0755);
    ToolRun zip = Exec("--library " + (dir / "lib") + " " + (dir / "m.zip"));
    EXPECT_EQ(zip.status, 0) << zip.out;
    EXPECT_EQ(zip.out.find('\x1b'), std::string::npos) << zip.out;
    EXPECT_NE(zip.out.find("a [31mred.tvst"), std::string::npos) << "named without it: " << zip.out;

    // A count that is no number: every command says so and exits below 128.
    b.SetProperty("Charset", "UTF-8");
    b.SetProperty("PagesCount", "x");
    b.SaveToBookFile();
    for (const char* cmd : {"--find", "--toc", "--info"}) {
        ToolRun r = Exec(std::string(cmd) + " " + (dir / "evil.tvst") +
                         (std::string(cmd) == "--find" ? " text" : ""));
        EXPECT_EQ(r.status, 1) << cmd << ": " << r.out;
        EXPECT_NE(r.out.find("PagesCount"), std::string::npos) << cmd << ": " << r.out;
    }
}

TEST(ConvertTool, AnArchivesTextsLeaveNothingBehindWhateverEndsTheRun) {
    // A run ended by SIGTERM removes its extracted texts; one ended by SIGKILL
    // leaves them to the next run, which removes them.
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    ::mkdir((dir / "tmp").c_str(), 0755);
    ::mkdir((dir / "z").c_str(), 0755);
    std::string text;
    while (text.size() < (40u << 20)) text += "  A line of a long text that takes a while.\r\n";
    WriteFile(dir / "z/long.txt", text);
    WriteFile(dir / "z/short.txt", "  Short\r\n");
    ASSERT_EQ(std::system(("cd '" + (dir / "z") + "' && zip -q ../big.zip long.txt && " +
                           "zip -q ../small.zip short.txt")
                              .c_str()),
              0);
    // The entries of the temporary folder (the runs' folders), or of those folders.
    auto count = [&](const char* below) {
        std::string cmd = "ls -A '" + (dir / "tmp") + "'" + below + " 2>/dev/null | wc -l";
        FILE* p = ::popen(cmd.c_str(), "r");
        int n = -1;
        if (std::fscanf(p, "%d", &n) != 1) n = -1;
        ::pclose(p);
        return n;
    };
    auto scratchCount = [&] { return count(""); };
    auto extracted = [&] { return count("/*/"); };
    for (int sig : {SIGTERM, SIGUSR1, SIGALRM, SIGPIPE, SIGKILL}) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
            ::execl(TAVISTO_CONVERT, TAVISTO_CONVERT, "--library", (dir / "lib").c_str(),
                    (dir / "big.zip").c_str(), nullptr);
            ::_exit(127);
        }
        // Until the text is being extracted into the run's folder.
        for (int i = 0; i < 4000 && extracted() < 1; ++i) ::usleep(2000);
        ASSERT_GE(extracted(), 1) << "signal " << sig;
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << sig;
        if (sig != SIGKILL) {
            EXPECT_EQ(scratchCount(), 0) << "a signal that can be caught: " << sig;
        }
    }
    ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    ToolRun next = Exec("--library " + (dir / "lib") + " " + (dir / "small.zip"));
    ::unsetenv("TMPDIR");
    EXPECT_EQ(next.status, 0) << next.out;
    EXPECT_EQ(scratchCount(), 0) << "the killed run's texts are gone";
}

TEST(ConvertTool, ConversionsOfOneNameAtOnceEndInBooksOfTheirOwn) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    ::mkdir((dir / "a").c_str(), 0755);
    ::mkdir((dir / "b").c_str(), 0755);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "  A line of the text, number " + std::to_string(i) + "\r\n";
    WriteFile(dir / "a/same.txt", "first " + text);
    WriteFile(dir / "b/same.txt", "second " + text);
    const std::string tool = std::string(TAVISTO_CONVERT) + " --library " + (dir / "lib");
    for (int round = 0; round < 10; ++round) {
        const std::string cmd = "(" + tool + " " + (dir / "a/same.txt") + " & " + tool + " " +
                                (dir / "b/same.txt") + " & wait) >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // Twenty books, ten of each text, none lost and no temporary left.
    int first = 0, second = 0, files = 0;
    for (int i = 0; i < 25; ++i) {
        const std::string name = i == 0 ? "same.tvst" : "same(" + std::to_string(i) + ").tvst";
        if (!FileExists(dir / ("lib/" + name))) continue;
        BookFile b(dir / "lib/");
        b.FileName = name;
        b.LoadFromBookFile();
        const std::string& l = b.Body().at(0);
        first += l.find("first") != std::string::npos;
        second += l.find("second") != std::string::npos;
    }
    FILE* p = ::popen(("ls -A '" + (dir / "lib") + "' | wc -l").c_str(), "r");
    ASSERT_EQ(std::fscanf(p, "%d", &files), 1);
    ::pclose(p);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(second, 10);
    EXPECT_EQ(files, 20);
}

TEST(Library, WhoeverHoldsABookLetsGoBeforeItsFileChangesAndGetsItBack) {
    struct Holder : LibraryListener {
        std::string log;
        bool ReleaseBook(const std::string& n) override {
            return log += "release " + n + ";", true;
        }
        void BookRewritten(const std::string& n) override { log += "back " + n + ";"; }
        void BookDeleting(const std::string& n) override { log += "deleting " + n + ";"; }
        void BookDeleted(const std::string& n) override { log += "deleted " + n + ";"; }
    } holder;
    TempDir dir;
    WriteFile(dir / "tale.txt", "  A tale\r\n  told twice.\r\n");
    Library library(dir.Path());
    library.Subscribe(&holder);
    const std::string name =
        library.Add(dir / "tale.txt", "", "", nullptr, nullptr, false).FileName;
    const Layout::Shape lines = Layout::Lines;
    library.Rebuild(name, &lines);
    EXPECT_EQ(holder.log, "release tale.tvst;back tale.tvst;");
    // A failed rewrite gives the book back all the same, and leaves the file.
    holder.log.clear();
    WriteFile(dir / "damaged.tvst", "not a book");
    EXPECT_ANY_THROW(library.Rebuild("damaged.tvst", &lines));
    EXPECT_EQ(holder.log, "release damaged.tvst;back damaged.tvst;");
    EXPECT_EQ(ReadFile(dir / "damaged.tvst"), "not a book");
    holder.log.clear();
    library.Delete(name);
    EXPECT_EQ(holder.log, "deleting tale.tvst;deleted tale.tvst;");
    EXPECT_FALSE(FileExists(dir / name));
    library.Unsubscribe(&holder);
    holder.log.clear();
    EXPECT_ANY_THROW(library.Delete(name));
    EXPECT_EQ(holder.log, "");
}
