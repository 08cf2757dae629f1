#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>

#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "convert/TextAnalysis.h"
#include "options/IniFile.h"
#include "options/Options.h"

namespace {
struct OptionsTest : ::testing::Test {
    TempDir dir;
    void SetUp() override { ProgramFolder = dir.Path(); }
    std::string Config() const { return ReadFile(dir / "config.dat"); }
};
}  // namespace

TEST_F(OptionsTest, DefaultsWithoutConfigAndTheFileASaveCreates) {
    LoadOptions();
    EXPECT_EQ(RecentBook, DefaultRecentBook);
    EXPECT_EQ(ScrollSpeed, 20);
    EXPECT_EQ(OptionList,
              (LineList{"norm_font=Liberation Serif", "norm_color=375060", "norm_size=28",
                        "bgcolor=C0CBCA", "titl_color=BA37EC", "text_width=66", "line_spacing=1.45",
                        "text_align=justify", "first_indent=1", "par_space=0.6", "hyphenate=1",
                        "click_zones=1"}));
    LoadOptions();
    EXPECT_EQ(OptionList.size(), StyleKeyCount) << "a second load does not duplicate lines";
    SaveOptions();
    EXPECT_EQ(Config(),
              "[General]\nRecentBook=A Guide to "
              "Tavisto.tvst\nScrollSpeed=20\n\n[Style]\nnorm_font=Liberation Serif\n"
              "norm_color=375060\nnorm_size=28\nbgcolor=C0CBCA\ntitl_color=BA37EC\ntext_width=66\n"
              "line_spacing=1.45\ntext_align=justify\nfirst_indent=1\npar_space=0.6\nhyphenate=1\n"
              "click_zones=1\n");
}

TEST_F(OptionsTest, ForeignSectionsOddCaseAndHexSpeed) {
    WriteFile(dir / "config.dat",
              "; my settings\r\n[Other]\r\nkeep=1\r\n\r\n[STYLE]\r\nTITL_COLOR = 112233 \r\n"
              "Norm_Font=Times New Roman\r\nextra=yes\r\n[general]\r\nscrollspeed=0x1E\r\n"
              "recentbook=war.tvst\r\n");
    LoadOptions();
    EXPECT_EQ(ScrollSpeed, 30);
    EXPECT_EQ(RecentBook, "war.tvst");
    EXPECT_EQ(LineList(OptionList.begin(), OptionList.begin() + 5),
              (LineList{"norm_font=Times New Roman", "norm_color=375060", "norm_size=28",
                        "bgcolor=C0CBCA", "titl_color=112233"}));
    SaveOptions();
    EXPECT_EQ(Config(),
              "; my settings\r\n[Other]\r\nkeep=1\r\n\r\n[STYLE]\r\ntitl_color=112233\r\n"
              "norm_font=Times New Roman\r\nextra=yes\r\nnorm_color=375060\r\nnorm_size=28\r\n"
              "bgcolor=C0CBCA\r\ntext_width=66\r\nline_spacing=1.45\r\ntext_align=justify\r\n"
              "first_indent=1\r\npar_space=0.6\r\nhyphenate=1\r\nclick_zones=1\r\n[general]"
              "\r\nScrollSpeed=30\r\n"
              "RecentBook=war.tvst\r\n");
}

TEST_F(OptionsTest, ScrollSpeedForms) {
    EXPECT_EQ(ParseScrollSpeed("$1E"), 30);
    EXPECT_EQ(ParseScrollSpeed("x1e"), 30);
    EXPECT_EQ(ParseScrollSpeed("0X1E"), 30);
    EXPECT_EQ(ParseScrollSpeed("-5"), -5);
    EXPECT_EQ(ParseScrollSpeed("+7"), 7);
    EXPECT_EQ(ParseScrollSpeed("abc"), 20);
    EXPECT_EQ(ParseScrollSpeed(""), 20);
    EXPECT_EQ(ParseScrollSpeed("12 "), 20);
    EXPECT_EQ(ParseScrollSpeed("99999999999"), 20);
    EXPECT_EQ(ParseScrollSpeed("$"), 20);
}

TEST_F(OptionsTest, ValuesAreCheckedWhereTheyAreRead) {
    // A value the program could not use is replaced by its default when loaded;
    // the interval stays within 2 to 200.
    WriteFile(dir / "config.dat", "[Style]\nnorm_color=\nnorm_font=" + std::string(5000, 'F') +
                                      "\nnorm_size=big\nbgcolor=#c0cbca\ntitl_color=zz\n"
                                      "text_width=500\nline_spacing=1,5\ntext_align=center\n"
                                      "first_indent=yes\npar_space=-1\nhyphenate=2\nclick_zones=x\n"
                                      "[General]\nScrollSpeed=\n");
    LoadOptions();
    EXPECT_EQ(OptionList,
              (LineList{"norm_font=" + std::string(2047, 'F'), "norm_color=375060", "norm_size=28",
                        "bgcolor=#c0cbca", "titl_color=BA37EC", "text_width=66",
                        "line_spacing=1.45", "text_align=justify", "first_indent=1",
                        "par_space=0.6", "hyphenate=1", "click_zones=1"}));
    WriteFile(dir / "config.dat",
              "[Style]\ntext_width=45\nline_spacing=2\ntext_align=left\n"
              "first_indent=0\npar_space=1.25\nhyphenate=0\nclick_zones=0\n");
    LoadOptions();
    EXPECT_EQ(LineList(OptionList.begin() + 5, OptionList.end()),
              (LineList{"text_width=45", "line_spacing=2", "text_align=left", "first_indent=0",
                        "par_space=1.25", "hyphenate=0", "click_zones=0"}));
    EXPECT_EQ(ScrollSpeed, 20);
    for (auto [text, speed] : {std::pair{"0", 2}, {"1", 2}, {"500", 200}, {"0x1E", 30}}) {
        WriteFile(dir / "config.dat", std::string("[General]\nScrollSpeed=") + text +
                                          "\n[Style]\nnorm_size=0\nnorm_font=a\"b\n");
        LoadOptions();
        EXPECT_EQ(ScrollSpeed, speed) << text;
        EXPECT_EQ(ValueOf(OptionList, "norm_size"), "28");
        EXPECT_EQ(ValueOf(OptionList, "norm_font"), StyleDefaults[0]);
    }
    // The voice is a name of a line's length at most, the rate -10 to 10.
    WriteFile(dir / "config.dat", "[Speech]\nVoice=a\x01b\nRate=99999999999\n");
    LoadOptions();
    EXPECT_EQ(SpeechVoice, "");
    EXPECT_EQ(SpeechRate, 0);
    WriteFile(dir / "config.dat", "[Speech]\nVoice=" + std::string(300, 'v') + "\nRate=-40\n");
    LoadOptions();
    EXPECT_EQ(SpeechVoice, "");
    EXPECT_EQ(SpeechRate, -10);
    SetValue(OptionList, "norm_size", "");
    EXPECT_EQ(OptionList.size(), StyleKeyCount - 1);
    SaveOptions();
    IniFile ini(dir / "config.dat");
    EXPECT_EQ(ini.ReadString("Style", "norm_size", "def"), "");
}

TEST_F(OptionsTest, EveryLineNotWrittenSurvivesByteForByte) {
    // A NUL, a lone CR and a last line without its end stay as they were.
    const std::string foreign = std::string("[Other]\r\nbin=a\0b\rodd\r\n", 22);
    WriteFile(dir / "config.dat", foreign + "[General]\r\nRecentBook=x.tvst\r\n; end");
    LoadOptions();
    SaveOptions();
    const std::string text = Config();
    EXPECT_EQ(text.substr(0, foreign.size()), foreign);
    EXPECT_NE(text.find("RecentBook=x.tvst\r\n"), std::string::npos);
    EXPECT_NE(text.find("; end\r\nScrollSpeed=20\r\n"), std::string::npos);
}

TEST_F(OptionsTest, FailedSaveKeepsTheOldConfig) {
    LoadOptions();
    SaveOptions();
    std::string before = Config();
    std::string error = ErrorUnderFileSizeLimit(64, [&] {
        RecentBook = std::string(500, 'r');
        SaveOptions();
    });
    EXPECT_EQ(error, "Unable to write to " + (dir / "config.dat") + ": File too large");
    EXPECT_EQ(Config(), before);
}

TEST_F(OptionsTest, MissingFolderRaisesTheMessage) {
    LoadOptions();
    ProgramFolder = dir / "gone/";
    try {
        SaveOptions();
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "gone/config.dat") +
                                             ": No such file or directory");
    }
}

TEST_F(OptionsTest, RecentBooksNewestFirstAtMostTenAndOnlyBareNames) {
    WriteFile(dir / "config.dat",
              "[General]\nRecent1=a.tvst\nRecent2=../x.tvst\nRecent3=a.tvst\nRecent4=b.tvst\n");
    LoadOptions();
    EXPECT_EQ(RecentBooks, (std::vector<std::string>{"a.tvst", "b.tvst"}));
    for (int i = 0; i < 12; ++i) NoteRecentBook("n" + std::to_string(i) + ".tvst");
    NoteRecentBook("n5.tvst");
    SaveOptions();
    LoadOptions();
    ASSERT_EQ(RecentBooks.size(), MaxRecentBooks);
    EXPECT_EQ(RecentBooks[0], "n5.tvst");
    EXPECT_EQ(RecentBooks[1], "n11.tvst");
    EXPECT_EQ(std::count(RecentBooks.begin(), RecentBooks.end(), "n5.tvst"), 1);
    // Shorter again: no stale RecentN stays behind to come back.
    RecentBooks.resize(2);
    SaveOptions();
    LoadOptions();
    EXPECT_EQ(RecentBooks.size(), 2u);
}

TEST_F(OptionsTest, ANameWithLineBreaksNeverWritesAnEntryOfItsOwn) {
    // An archive member named to smuggle a section into config.dat.
    const std::string name = "Chapter one\r\n[Style]\r\nbgcolor=000000\r\n.txt";
    LoadOptions();
    const std::string bg = ValueOf(OptionList, "bgcolor");
    RecentBook = name;
    NoteRecentBook(name);
    SaveOptions();
    LoadOptions();
    EXPECT_EQ(ValueOf(OptionList, "bgcolor"), bg);
    EXPECT_EQ(Config().find("000000"), std::string::npos) << Config();
    EXPECT_EQ(BookBaseName("/tmp/" + name), "Chapter one  [Style]  bgcolor=000000  ");
}

TEST(UserFolder, FollowsTheXdgRules) {
    EXPECT_EQ(UserDataFolder("/data/me", "/home/me"), "/data/me/tavisto/");
    // Unset, empty or relative XDG_DATA_HOME: the default under HOME.
    for (const char* xdg : {(const char*)nullptr, "", "data"})
        EXPECT_EQ(UserDataFolder(xdg, "/home/me"), "/home/me/.local/share/tavisto/");
}

TEST_F(OptionsTest, TheUserFolderIsSetUpWithoutTouchingTheUsersOwnFiles) {
    TempDir data;
    WriteFile(data / "vpage.tml", "shipped page");
    WriteFile(data / "style.tml", "shipped style");
    WriteFile(data / "A Guide to Tavisto.tvst", "guide");
    ProgramFolder = dir / "deep/er/tavisto/";
    DataFolder = data.Path();
    PortableMode = false;
    SetUpProgramFolder();
    EXPECT_EQ(ReadFile(dir / "deep/er/tavisto/Templates/vpage.tml"), "shipped page");
    EXPECT_EQ(ReadFile(dir / "deep/er/tavisto/MyBooks/A Guide to Tavisto.tvst"), "guide");
    EXPECT_TRUE(DirectoryExists(dir / "deep/er/tavisto/TEMP"));
    // A user's edited template stays; a deleted guide stays deleted once started.
    WriteFile(dir / "deep/er/tavisto/Templates/vpage.tml", "mine");
    ::unlink((dir / "deep/er/tavisto/MyBooks/A Guide to Tavisto.tvst").c_str());
    WriteFile(dir / "deep/er/tavisto/config.dat", "");
    SetUpProgramFolder();
    EXPECT_EQ(ReadFile(dir / "deep/er/tavisto/Templates/vpage.tml"), "mine");
    EXPECT_FALSE(FileExists(dir / "deep/er/tavisto/MyBooks/A Guide to Tavisto.tvst"));
    // A file where a folder must be: the message names it.
    ProgramFolder = dir / "deep/er/tavisto/config.dat/";
    EXPECT_THROW(SetUpProgramFolder(), EFileError);
}

TEST(Templates, OnlyAnUneditedEarlierCopyIsRenewed) {
    TempDir dir;
    WriteFile(dir / "shipped.tml", "new look");
    const uint64_t earlier = ContentHash("old look");
    WriteFile(dir / "old.tml", "old look");
    WriteFile(dir / "mine.tml", "old look, edited");
    EXPECT_TRUE(RenewTemplate(dir / "shipped.tml", dir / "old.tml", {1, earlier}));
    EXPECT_EQ(ReadFile(dir / "old.tml"), "new look");
    EXPECT_FALSE(RenewTemplate(dir / "shipped.tml", dir / "mine.tml", {earlier}));
    EXPECT_EQ(ReadFile(dir / "mine.tml"), "old look, edited");
    EXPECT_FALSE(RenewTemplate(dir / "shipped.tml", dir / "missing.tml", {earlier}));
    EXPECT_EQ(ContentHash(""), 0xcbf29ce484222325u) << "FNV-1a, as the hashes of the list";
    EXPECT_EQ(ContentHash("a"), 0xaf63dc4c8601ec8cu);
}
