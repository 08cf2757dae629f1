// The sentences a paragraph is read aloud in: the punctuation of Russian and
// English prose, real paragraphs in every charset, and no utterance too long.
#include <gtest/gtest.h>

#include "ConvertUtil.h"
#include "base/Files.h"
#include "reading/ReadAloud.h"
#include "text/Charsets.h"
#include "text/Sentences.h"

namespace {

using Sentences = std::vector<std::string>;

// Paragraphs of a text, one string each, its lines joined.
std::vector<std::string> ParagraphsOf(const std::string& path, size_t count) {
    std::vector<std::string> out;
    std::string par;
    for (std::string l : SplitText(ReadFile(path))) {
        if (l.find_first_not_of(' ') == std::string::npos) l.clear();
        const bool starts = l.size() > 2 && l[0] == ' ' && l[1] == ' ';
        if ((starts || l.empty()) && par.size() > 300) {
            out.push_back(par);
            if (out.size() == count) break;
        }
        if (starts || l.empty()) par.clear();
        if (!l.empty()) par += (par.empty() ? "" : " ") + l.substr(l.find_first_not_of(' '));
    }
    return out;
}

// Any run of blanks (no-break spaces too) as one space.
std::string Squeezed(std::string s) {
    for (size_t at; (at = s.find("\xC2\xA0")) != std::string::npos;) s.replace(at, 2, " ");
    std::string out;
    for (char c : s)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

}  // namespace

TEST(Sentences, PunctuationOfRussianAndEnglishProse) {
    const std::pair<const char*, Sentences> cases[] = {
        {"— Ты куда? — спросил он. — Домой.", {"— Ты куда? — спросил он.", "— Домой."}},
        {"«Кто там?» — спросил он. Никто не ответил.",
         {"«Кто там?» — спросил он.", "Никто не ответил."}},
        {"Он любил книги, журналы и т. д., но читал мало, т. е. почти ничего. Потом.",
         {"Он любил книги, журналы и т. д., но читал мало, т. е. почти ничего.", "Потом."}},
        {"Стихи А. С. Пушкина вышли в 1837 г. в Петербурге. Их читали все.",
         {"Стихи А. С. Пушкина вышли в 1837 г. в Петербурге.", "Их читали все."}},
        {"Я думал... Нет, не так. Он ждал… и ждал!",
         {"Я думал...", "Нет, не так.", "Он ждал… и ждал!"}},
        {"Mr. Smith met A. S. Pushkin. They talked, e.g. of verse.",
         {"Mr. Smith met A. S. Pushkin.", "They talked, e.g. of verse."}},
        {"Wait! What?! \"Yes,\" he said. Pi is 3.14 today.",
         {"Wait!", "What?!", "\"Yes,\" he said.", "Pi is 3.14 today."}},
        {"  Глава первая  ", {"Глава первая"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(SplitSentences(text), expected) << text;
}

TEST(Sentences, ALongSentenceIsCutAtACommaOrASpace) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "и снова шёл дождь, ";
    text += "и всё.";
    const Sentences parts = SplitSentences(text, 100);
    ASSERT_GT(parts.size(), 7u);
    std::string joined;
    for (const auto& p : parts) {
        EXPECT_LE(CharCount(p, CodePage::Utf8), 100u) << p;
        EXPECT_TRUE(p.back() == ',' || p == parts.back()) << p;
        joined += (joined.empty() ? "" : " ") + p;
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(SplitSentences(std::string(250, 'x'), 100).size(), 3u) << "no space: cut anyway";
}

TEST(Sentences, RealParagraphsInEveryCharset) {
    const std::string texts = TAVISTO_TEXTS;
    if (!FileExists(texts + "/SOURCES.md"))
        GTEST_SKIP() << "the real texts are not here: " << texts;
    TempDir dir;
    for (const char* name : {"gogol-nos.txt", "pushkin-kapitanskaya-dochka.txt"}) {
        const std::vector<std::string> paragraphs = ParagraphsOf(texts + "/" + name, 12);
        ASSERT_EQ(paragraphs.size(), 12u) << name;
        size_t sentences = 0;
        for (const auto& par : paragraphs) {
            const Sentences s = SplitSentences(par);
            sentences += s.size();
            std::string joined;
            for (const auto& x : s) joined += (joined.empty() ? "" : " ") + x;
            // Nothing lost or added, the blanks between sentences aside.
            EXPECT_EQ(Squeezed(joined), Squeezed(par));
            for (const auto& x : s) {
                // No sentence ends inside an abbreviation or after an initial.
                for (const char* end : {" т.", " г.", " е.", " д.", " А.", " С."})
                    EXPECT_FALSE(x.size() > 4 &&
                                 x.compare(x.size() - std::strlen(end), std::strlen(end), end) == 0)
                        << x;
            }
        }
        EXPECT_GT(sentences, paragraphs.size() * 2) << name;
        // Read from the book in each charset, a paragraph gives the same sentences.
        std::string text;
        for (const auto& par : paragraphs) text += "  " + par + "\r\n";
        Sentences first;
        for (const char* charset : {"UTF-8", "CP1251", "CP866", "KOI8-R"}) {
            BookFile b = ConvertText(dir, Iconv(text, charset));
            LineList page;
            b.ExtractPage(1, page);
            const Sentences s = ParagraphSentences(page, 3, CodePageOf(b.GetProperty("Charset")));
            if (first.empty()) first = s;
            // cp866 and KOI8-R have no guillemets or dashes: iconv writes others.
            if (std::string(charset) == "CP1251")
                EXPECT_EQ(s, first) << name;
            else
                EXPECT_EQ(s.size(), first.size()) << name << " " << charset;
        }
        EXPECT_EQ(first, SplitSentences(paragraphs[2]));
    }
}

TEST(Sentences, EnglishParagraphsOfTheGuide) {
    const auto paragraphs = ParagraphsOf(std::string(TAVISTO_DATA) + "/A Guide to Tavisto.txt", 20);
    ASSERT_EQ(paragraphs.size(), 20u);
    for (const auto& par : paragraphs) {
        for (const auto& s : SplitSentences(par, 100000)) {
            const char last = s.back();
            EXPECT_TRUE(last == '.' || last == '!' || last == '?' || last == ':' || last == '"')
                << s;
            EXPECT_TRUE(IsUpper(char32_t(s[0])) || s[0] == '-' || s[0] == '"' || isdigit(s[0]))
                << s;
        }
    }
}
