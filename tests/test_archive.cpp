#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zip.h>

#include <csignal>
#include <cstring>

#include "TestUtil.h"
#include "archive/ZipArchive.h"
#include "base/Files.h"

namespace {

int Sh(const std::string& cmd) {
    return std::system(cmd.c_str());
}

// Writes an archive with libzip itself: names as raw bytes, made under DOS or not.
void MakeZip(const std::string& path,
             const std::vector<std::pair<std::string, std::string>>& members, bool dos = false) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : members) {
        char* copy = static_cast<char*>(std::malloc(data.size() + 1));
        std::memcpy(copy, data.data(), data.size());
        zip_source_t* src = zip_source_buffer(z, copy, data.size(), 1);
        zip_int64_t i = zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_RAW | ZIP_FL_OVERWRITE);
        ASSERT_GE(i, 0) << zip_strerror(z);
        if (dos) zip_file_set_external_attributes(z, zip_uint64_t(i), 0, ZIP_OPSYS_DOS, 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

struct ArchiveTest : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        ::mkdir((dir / "TEMP").c_str(), 0755);
        ::mkdir((dir / "src").c_str(), 0755);
    }
};

}  // namespace

TEST_F(ArchiveTest, ListsTextMembersWithPathsSizesAndDates) {
    ::mkdir((dir / "src/docs").c_str(), 0755);
    WriteFile(dir / "src/a.txt", std::string(2048, 'a'));
    WriteFile(dir / "src/docs/b.txt", "");
    WriteFile(dir / "src/c.TXT", "c");
    WriteFile(dir / "src/d.doc", "d");
    WriteFile(dir / "src/e.fb2", "<FictionBook/>");
    ASSERT_EQ(Sh("cd '" + dir.Path() +
                 "src' && touch -d '2001-05-15 12:00' a.txt docs/b.txt && "
                 "zip -q -r ../ex.zip a.txt docs c.TXT d.doc e.fb2"),
              0);
    ZipArchive zip;
    zip.SetZipFileName(dir / "ex.zip");
    EXPECT_EQ(zip.EntryCount(), 5u) << "the folder entry is left out";
    std::vector<ArchiveRow> rows = TextMembers(zip);
    ASSERT_EQ(rows.size(), 4u) << ".TXT is .txt, and a FictionBook is a text";
    EXPECT_EQ(rows[3].Name, "e.fb2");
    EXPECT_EQ(rows[0].Name, "a.txt");
    EXPECT_EQ(rows[0].Path, "");
    EXPECT_EQ(rows[0].Size, 2048u);
    EXPECT_EQ(rows[0].DateTime >> 16, (21u << 9) | (5u << 5) | 15u) << "15 May 2001";
    EXPECT_EQ(rows[0].DateTime & 0xFFFF, 12u << 11);
    EXPECT_EQ(rows[1].Name, "b.txt");
    EXPECT_EQ(rows[1].Path, "docs/");
    EXPECT_EQ(rows[1].Member, "docs/b.txt");
    EXPECT_EQ(rows[2].Name, "c.TXT");
}

TEST_F(ArchiveTest, ExtractsByBareNameOverwritingAnOlderFile) {
    ::mkdir((dir / "src/docs").c_str(), 0755);
    WriteFile(dir / "src/docs/b.txt", "new text");
    ASSERT_EQ(Sh("cd '" + dir.Path() + "src' && zip -q -r ../ex.zip docs"), 0);
    WriteFile(dir / "TEMP/b.txt", "an older file of the same name");
    ZipArchive zip;
    zip.SetZipFileName(dir / "ex.zip");
    zip.Members = {"docs/b.txt"};
    zip.ExtractTo = dir / "TEMP/";
    zip.ExtractMembers();
    EXPECT_EQ(ReadFile(dir / "TEMP/b.txt"), "new text");
    EXPECT_FALSE(FileExists(dir / "TEMP/docs") || DirectoryExists(dir / "TEMP/docs"));
    zip.Members = {"docs/none.txt"};
    EXPECT_THROW(zip.ExtractMembers(), EArchiveError);
}

TEST_F(ArchiveTest, UnreadableArchivesSayWhy) {
    WriteFile(dir / "garbage.zip", "this is no archive at all, just some words");
    MakeZip(dir / "good.zip", {{"a.txt", std::string(5000, 'x')}});
    std::string good = ReadFile(dir / "good.zip");
    WriteFile(dir / "cut.zip", good.substr(0, good.size() / 2));
    for (const char* name : {"garbage.zip", "cut.zip", "missing.zip"}) {
        ZipArchive zip;
        try {
            zip.SetZipFileName(dir / name);
            FAIL() << name;
        } catch (const EArchiveError& e) {
            std::string m = e.what();
            EXPECT_NE(m.find(dir / name), std::string::npos) << m;
            EXPECT_GT(m.size(), (dir / name).size() + 25) << "a reason follows: " << m;
        }
        EXPECT_EQ(zip.EntryCount(), 0u);
    }
}

TEST_F(ArchiveTest, NoPathFromTheArchiveReachesTheDisk) {
    MakeZip(dir / "evil.zip", {{"../../escape.txt", "outside?"},
                               {"/abs/olute.txt", "absolute"},
                               {"sub/..", "dots"},
                               {"sub\\.", "dot"}});
    ZipArchive zip;
    zip.SetZipFileName(dir / "evil.zip");
    zip.ExtractTo = dir / "TEMP/";
    std::vector<ArchiveRow> rows = TextMembers(zip);
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows) {
        zip.Members = {r.Member};
        zip.ExtractMembers();
    }
    EXPECT_EQ(ReadFile(dir / "TEMP/escape.txt"), "outside?");
    EXPECT_EQ(ReadFile(dir / "TEMP/olute.txt"), "absolute");
    EXPECT_FALSE(FileExists(dir / "escape.txt"));
    EXPECT_FALSE(FileExists(dir.Path() + "../escape.txt"));
    for (const char* m : {"sub/..", "sub/."}) {
        zip.Members = {m};
        EXPECT_THROW(zip.ExtractMembers(), EArchiveError) << m;
    }
}

TEST_F(ArchiveTest, NamesWithoutTheUtf8FlagAreDecoded) {
    // CP437 (0x82 is e-acute; in cp866 a Cyrillic letter, but not inside a Latin
    // word), cp866 from a Russian DOS machine, and UTF-8 without the flag.
    MakeZip(dir / "dos.zip",
            {{"caf\x82.txt", "x"},
             {"\x8e\xe2\xe7\xa5\xe2 \xa7\xa0 2001.txt", "y"},
             {"\xd0\x9d\xd0\xbe\xd1\x81.txt", "z"}},
            /*dos=*/true);
    ZipArchive zip;
    zip.SetZipFileName(dir / "dos.zip");
    ASSERT_EQ(zip.EntryCount(), 3u);
    EXPECT_EQ(zip.Entries[0].FileName, "caf\xC3\xA9.txt");
    EXPECT_EQ(zip.Entries[1].FileName,
              "\xD0\x9E\xD1\x82\xD1\x87\xD0\xB5\xD1\x82 \xD0\xB7\xD0\xB0 2001.txt");
    EXPECT_EQ(zip.Entries[2].FileName, "\xd0\x9d\xd0\xbe\xd1\x81.txt");
    // The decoded name is the file's name on disk.
    zip.ExtractTo = dir / "TEMP/";
    zip.ExtractEntry(1);
    EXPECT_EQ(
        ReadFile(dir / "TEMP/\xD0\x9E\xD1\x82\xD1\x87\xD0\xB5\xD1\x82 \xD0\xB7\xD0\xB0 2001.txt"),
        "y");
}

TEST_F(ArchiveTest, AnArchiveIsKnownByItsBytesWhateverItsName) {
    MakeZip(dir / "SHELF.ZIP", {{"STORY.TXT", "x"}});
    const std::string bytes = ReadFile(dir / "SHELF.ZIP");
    WriteFile(dir / "named.txt", bytes);
    WriteFile(dir / "named.bin", bytes);
    WriteFile(dir / "empty.bin", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    WriteFile(dir / "plain.txt", "PK is a text too");
    for (const char* name : {"SHELF.ZIP", "named.txt", "named.bin", "empty.bin"})
        EXPECT_TRUE(LooksLikeArchive(dir / name)) << name;
    EXPECT_FALSE(LooksLikeArchive(dir / "plain.txt"));
    ZipArchive zip;
    zip.SetZipFileName(dir / "named.bin");
    EXPECT_EQ(TextMembers(zip).size(), 1u) << "STORY.TXT is a text member";
}

TEST_F(ArchiveTest, WithoutTextMembersTheListIsEmpty) {
    MakeZip(dir / "none.zip", {{"a.doc", "x"}, {"c.txt.bak", "z"}});
    ZipArchive zip;
    zip.SetZipFileName(dir / "none.zip");
    EXPECT_EQ(zip.EntryCount(), 2u);
    EXPECT_TRUE(TextMembers(zip).empty());
}

TEST_F(ArchiveTest, ExtractionCutShortKeepsTheEarlierFile) {
    MakeZip(dir / "big.zip", {{"big.txt", std::string(200000, 'q')}});
    WriteFile(dir / "TEMP/big.txt", "earlier");
    std::string error = ErrorUnderFileSizeLimit(8192, [&] {
        ZipArchive zip;
        zip.SetZipFileName(dir / "big.zip");
        zip.Members = {"big.txt"};
        zip.ExtractTo = dir / "TEMP/";
        zip.ExtractMembers();
    });
    EXPECT_NE(error.find("Cannot extract big.txt"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(dir / "TEMP/big.txt"), "earlier");
    EXPECT_EQ(Sh("test $(ls -A '" + dir.Path() + "TEMP' | wc -l) -eq 1"), 0) << "no temporary left";
}

TEST_F(ArchiveTest, TwoMembersOfOneNameAreTwoRows) {
    // libzip will not write such an archive; the second name is patched in.
    MakeZip(dir / "dup.zip", {{"same.txt", "the first"}, {"othr.txt", "the second"}});
    std::string bytes = ReadFile(dir / "dup.zip");
    for (size_t at; (at = bytes.find("othr.txt")) != std::string::npos;)
        bytes.replace(at, 8, "same.txt");
    WriteFile(dir / "dup.zip", bytes);
    ZipArchive zip;
    zip.SetZipFileName(dir / "dup.zip");
    std::vector<ArchiveRow> rows = TextMembers(zip);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, rows[1].Name);
    zip.ExtractTo = dir / "TEMP/";
    zip.ExtractEntry(rows[1].Entry);
    EXPECT_EQ(ReadFile(dir / "TEMP/same.txt"), "the second");
    zip.ExtractEntry(rows[0].Entry);
    EXPECT_EQ(ReadFile(dir / "TEMP/same.txt"), "the first");
    // A FIFO named like an archive is refused at once, not waited on.
    ASSERT_EQ(::mkfifo((dir / "fifo.zip").c_str(), 0644), 0);
    EXPECT_THROW(zip.SetZipFileName(dir / "fifo.zip"), EArchiveError);
}
