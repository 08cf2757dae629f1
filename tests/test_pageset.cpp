// How a page is set: its words hyphenated by the book's language, in every
// charset, and the style values the page's look is made from.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ConvertUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "convert/TextAnalysis.h"
#include "options/Options.h"
#include "reading/Hyphenator.h"
#include "reading/PageBuilder.h"
#include "text/Charsets.h"

namespace {

#define NEED_PATTERNS(lang)                              \
    const Hyphenator* h = Hyphenator::ForLanguage(lang); \
    if (!h) GTEST_SKIP() << "no hyphenation patterns for " lang " in " << Hyphenator::Folder

std::string Without(std::string s, const std::string& what) {
    for (size_t at; (at = s.find(what)) != std::string::npos;) s.erase(at, what.size());
    return s;
}

}  // namespace

TEST(PageSetting, WordsBreakByTheirLanguagesPatterns) {
    NEED_PATTERNS("ru");
    // Somewhere, never leaving one letter alone, the word's letters kept.
    for (const char* word : {"переносами", "ПЕРЕНОСАМИ", "абажур", "электричество", "ёлочка"}) {
        const std::string shown = h->Show(word);
        EXPECT_NE(shown, word);
        EXPECT_EQ(Without(shown, "-"), word);
        const std::u16string u = Utf8ToUtf16(shown);
        EXPECT_TRUE(u[1] != u'-' && u[u.size() - 2] != u'-') << shown;
    }
    EXPECT_EQ(h->Show("кот"), "кот");
    EXPECT_EQ(h->Show("english"), "english");
    const Hyphenator* en = Hyphenator::ForLanguage("en");
    ASSERT_NE(en, nullptr);
    EXPECT_EQ(en->Show("hyphenation"), "hy-phen-ation");
    EXPECT_EQ(en->Show("переносами"), "переносами");
    EXPECT_EQ(Hyphenator::ForLanguage("xx"), nullptr);
}

TEST(PageSetting, APageIsHyphenatedTheSameInEveryCharsetAndOnlyInItsText) {
    NEED_PATTERNS("ru");
    const std::string line =
        "<Page2><p id=\"par7\" class=\"pnorm\">  Поразительное &amp; удивительное "
        "происшествие: &lt;нос&gt; исчез, \"неизвестно\" куда. Short English";
    std::string first;
    for (const char* charset : {"UTF-8", "CP1251", "CP866", "KOI8-R"}) {
        LineList page{Iconv(line, charset), Iconv("продолжение абзаца", charset)};
        const std::string name = std::string(charset) == "CP1251"  ? "windows-1251"
                                 : std::string(charset) == "CP866" ? "cp866"
                                                                   : charset;
        h->Hyphenate(page, CodePageOf(name));
        const std::string shown =
            ToUtf8(page[0], CodePageOf(name)) + "\n" + ToUtf8(page[1], CodePageOf(name));
        if (first.empty()) first = shown;
        EXPECT_EQ(shown, first) << charset;
        // Taking the soft hyphens off gives the page's bytes back.
        EXPECT_EQ(Without(page[0], "&shy;"), Iconv(line, charset)) << charset;
    }
    EXPECT_EQ(first.substr(0, 36), "<Page2><p id=\"par7\" class=\"pnorm\">  ");
    EXPECT_NE(first.find("тель&shy;ное &amp; "), std::string::npos) << first;
    EXPECT_NE(first.find("&lt;нос&gt;"), std::string::npos);
    EXPECT_NE(first.find("\"неиз&shy;вест&shy;но\""), std::string::npos) << first;
    EXPECT_NE(first.find("Short English"), std::string::npos);
    EXPECT_NE(first.find("же&shy;ние"), std::string::npos) << first;
}

TEST(PageSetting, ABooksLanguageComesFromItsLetters) {
    TempDir dir;
    // A Russian text behind an English preface, in every charset.
    const std::string russian =
        "The Project Gutenberg EBook\n\n  Мой дядя самых честных правил, когда не в шутку "
        "занемог, он уважать себя заставил и лучше выдумать не мог.\n";
    for (const char* charset : {"UTF-8", "CP1251", "CP866", "KOI8-R"}) {
        BookFile b = ConvertText(dir, Iconv(russian, charset));
        EXPECT_EQ(b.GetProperty("Language"), "ru") << charset;
    }
    EXPECT_EQ(ConvertText(dir, "  It was a dark and stormy night.\n").GetProperty("Language"),
              "en");
    EXPECT_EQ(ConvertText(dir, "  1905 - 1917\n").GetProperty("Language"), "");
}

TEST(PageSetting, IndentOrSpaceBetweenParagraphs) {
    LineList options{"first_indent=1", "par_space=0.8"};
    LineList v = PageStyleValues(options);
    EXPECT_EQ(ValueOf(v, "text_indent"), "1.6em");
    EXPECT_EQ(ValueOf(v, "par_gap"), "0");
    SetValue(options, "first_indent", "0");
    v = PageStyleValues(options);
    EXPECT_EQ(ValueOf(v, "text_indent"), "0");
    EXPECT_EQ(ValueOf(v, "par_gap"), "0.8em");
}

TEST(PageSetting, APatternFileThatIsNoneIsRefusedBeforeLibhyphenReadsIt) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 4000; ++i) garbage += char((i * 7919) % 256);
    const std::vector<std::pair<const char*, std::string>> files{
        {"binary", garbage},
        {"a line past libhyphen's buffer", "UTF-8\n" + std::string(300, 'a') + "1b\n"},
        {"a charset past its buffer", std::string(40, 'K') + "\n.ab1c\n"},
        {"no patterns", "KOI8-R\n"},
    };
    for (const auto& [what, bytes] : files) {
        WriteFile(dir / "h.dic", bytes);
        EXPECT_THROW(Hyphenator h(dir / "h.dic"), EFileError) << what;
    }
    // 300 MB (of holes): refused by its size, without reading it.
    WriteFile(dir / "big.dic", "UTF-8\n.ab1c\n");
    ASSERT_EQ(::truncate((dir / "big.dic").c_str(), 300 << 20), 0);
    EXPECT_THROW(Hyphenator h(dir / "big.dic"), EFileError);
    WriteFile(dir / "h.dic", "UTF-8\nLEFTHYPHENMIN 2\n% a comment\na1b\n");
    Hyphenator ok(dir / "h.dic");
    EXPECT_EQ(ok.Show("ababab"), "aba-bab");
}
