#include <gtest/gtest.h>

#include <cstdio>

#include "TestUtil.h"
#include "core/unitBookClasses.h"

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

    TBookInfo b(dir / "lib/");
    b.FileName = "story.tvst";
    b.LoadFromBookFile();
    EXPECT_EQ(b.Title, "story.tvst");
    EXPECT_EQ(b.Properties, (TLines{"Charset=Windows-1252", "LastPage=1", "LastParagraph=1",
                                    "TotalParagraphs=2", "PagesCount=1"}));

    ToolRun info = Exec("--info " + (dir / "lib/story.tvst"));
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out,
              "story.tvst\nCharset=Windows-1252\nLastPage=1\nLastParagraph=1\nTotalParagraphs=2\n"
              "PagesCount=1\n3\n");

    WriteFile(dir / "lib/bad.tvst", Bytes({5, 0, 'a'}));
    ToolRun bad = Exec("--info " + (dir / "lib/bad.tvst"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("is damaged"), std::string::npos) << bad.out;
    EXPECT_EQ(Exec("--info " + (dir / "lib/none.tvst")).status, 1);
}
