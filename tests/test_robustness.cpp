#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <thread>

#include "TestUtil.h"
#include "core/unitBookClasses.h"
#include "core/unitErrors.h"
#include "core/unitFiles.h"
#include "core/unitTextConversions.h"
#include "options/unitIniFile.h"
#include "options/unitOptStorage.h"

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
    TempDir dir;
    TBookInfo book(dir.Path());
    book.FileName = "k.tvst";
    for (int i = 0; i < 6000; ++i)
        book.EditBody().push_back("<p id=\"par" + std::to_string(i) + "\">" + std::string(60, 'k'));
    book.SetProperty("PagesCount", "1");
    book.SavePosition();
    const TLines body = book.Body();
    int32_t last = 0;
    KillWhileSaving(
        200,
        [&](auto saved) {
            TBookInfo b(dir.Path());
            b.FileName = "k.tvst";
            b.LoadFromBookFile();
            for (;;) {
                ++b.LastParagraph;
                b.SavePosition();
                saved();
            }
        },
        [&](int round) {
            TBookInfo r(dir.Path());
            r.FileName = "k.tvst";
            ASSERT_NO_THROW(r.LoadFromBookFile()) << "round " << round;
            ASSERT_EQ(r.Body(), body) << "round " << round;
            ASSERT_EQ(r.Properties.size(), 4u);
            // The old content or a newer one, never anything in between.
            ASSERT_GE(r.LastParagraph, last) << "round " << round;
            last = r.LastParagraph;
        });
    EXPECT_GT(last, 0) << "some saves completed";
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
            TIniFile ini(dir / "config.dat");
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
    TBookInfo b(dir / "MyBooks/");
    ConvertTextFile(dir / "binary.txt", b);
    b.SaveToBookFile();
    TBookInfo back(dir / "MyBooks/");
    back.FileName = b.FileName;
    back.LoadFromBookFile();
    EXPECT_EQ(back.Body(), b.Body());

    // A folder picked as a text, and a missing file.
    TBookInfo f(dir / "MyBooks/");
    EXPECT_THROW(ConvertTextFile(dir / "MyBooks", f), EFileError);
    // Without read permission (root reads everything, so only for other users).
    if (::geteuid() != 0) {
        WriteFile(dir / "secret.txt", "text");
        ::chmod((dir / "secret.txt").c_str(), 0);
        TBookInfo s(dir / "MyBooks/");
        EXPECT_THROW(ConvertTextFile(dir / "secret.txt", s), EFileError);
    }
    // Without a MyBooks folder nothing can be saved, and the list is just empty.
    TBookInfo m(dir / "NoBooks/");
    ConvertTextFile(dir / "binary.txt", m);
    try {
        m.SaveToBookFile();
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir / "NoBooks/binary.tvst") +
                                             ": No such file or directory");
    }
    TBookInfoList list(dir / "NoBooks/");
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
    TIniFile ini(dir / "config.dat");
    EXPECT_EQ(ini.ReadString("General", "key99999", ""), "value");
    EXPECT_EQ(ini.ReadString("General", "RecentBook", ""), "seagull.txt");

    TLines table = SplitText(std::string(1 << 20, 'n') + "=UTF-8\r\nshort=cp866\r\n");
    std::vector<std::string> names = DisplayNames(table);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), size_t(1) << 20);
    EXPECT_EQ(ValueOfRow(table, 0), "UTF-8");
    EXPECT_EQ(ValueOfRow(table, 5), "");
}
