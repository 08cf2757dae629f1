// What a reader sees of a real text laid out the ways real files are: its
// paragraphs, headings and breaks, the same in every charset.
#include <gtest/gtest.h>

#include "ConvertUtil.h"
#include "base/Files.h"
#include "convert/Headings.h"
#include "reading/PageBuilder.h"

namespace {

#define NEED_TEXTS()                                             \
    if (!FileExists(std::string(TAVISTO_TEXTS) + "/SOURCES.md")) \
    GTEST_SKIP() << "the real texts are not here: " << TAVISTO_TEXTS

const char* const Charsets[] = {"UTF-8", "CP1251", "CP866", "KOI8-R"};

// The paragraphs of a story, one per line, without their indent.
std::vector<std::string> StoryParagraphs(const char* name, size_t count) {
    std::vector<std::string> out;
    for (const auto& l : SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/" + name))) {
        const size_t b = l.find_first_not_of(' ');
        if (b != std::string::npos && l.size() - b > 200) out.push_back(l.substr(b));
        if (out.size() == count) break;
    }
    return out;
}

// A paragraph wrapped at width characters: its lines.
std::vector<std::string> Wrap(const std::string& text, size_t width, bool utf8 = true) {
    std::vector<std::string> lines;
    std::string line;
    size_t chars = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        const size_t n = ShownLength(word, utf8);
        if (chars && chars + 1 + n > width) {
            lines.push_back(line);
            line.clear();
            chars = 0;
        }
        line += (chars ? " " : "") + word;
        chars += (chars ? 1 : 0) + n;
        at = end + 1;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// How many paragraphs of a converted book's first page the page builder
// marks so ("ph2", "pspk", "pepi"), with what the book keeps.
int MarkedOnPage(BookFile& b, const char* mark) {
    const std::vector<Heading> contents = ParseContents(b.Contents);
    LineList page = b.Body();
    PageStructure s{&contents, CodePageOf(b.GetProperty("Charset"))};
    s.Speakers = b.GetProperty("Speakers");
    s.Epigraphs = b.GetProperty("Epigraphs");
    MarkStructure(page, s);
    int n = 0;
    for (const auto& line : page)
        n += line.find(" " + std::string(mark) + "\"") != std::string::npos;
    return n;
}

}  // namespace

TEST(Structure, FlushHeadingsAndDeeperIndentsBeginParagraphsInEveryCharset) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gogol-nos.txt", 24);
    ASSERT_EQ(story.size(), 24u);
    const char* headings[] = {"II", "III.", "IV"};
    // Indented first lines, flush continuations, and chapter headings flush on
    // their own line right after a paragraph's last line (CR LF, then LF only).
    std::string classic, margin;
    for (size_t p = 0; p < story.size(); ++p) {
        if (p % 8 == 7) classic += std::string(headings[p / 8]) + "\r\n";
        const auto lines = Wrap(story[p], 70);
        for (size_t i = 0; i < lines.size(); ++i) {
            classic += (i ? "" : "   ") + lines[i] + "\r\n";
            // Every line under a margin of two, a paragraph's first at three.
            margin += (i ? "  " : "   ") + lines[i] + "\n";
        }
    }
    std::vector<std::string> classes;
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile c = ConvertText(dir, Iconv(classic, charset));
        EXPECT_EQ(c.GetIntProperty("TotalParagraphs"), 24 + 3) << charset;
        EXPECT_EQ(Contents(c), (std::vector<std::string>{"2 II", "2 III.", "2 IV"})) << charset;
        BookFile m = ConvertText(dir, Iconv(margin, charset));
        EXPECT_EQ(m.GetIntProperty("TotalParagraphs"), 24) << charset;
        EXPECT_EQ(m.GetProperty("Layout"), "margin 2") << charset;
        // The same classes in every charset: lengths count characters, not bytes.
        if (classes.empty()) classes = Classes(c);
        EXPECT_EQ(Classes(c), classes) << charset;
        const std::string expect = charset == std::string("UTF-8")    ? "UTF-8"
                                   : charset == std::string("CP1251") ? "windows-1251"
                                   : charset == std::string("CP866")  ? "cp866"
                                                                      : "KOI8-R";
        EXPECT_EQ(c.GetProperty("Charset"), expect);
    }
}

namespace {

// The words of a text, as one line with single spaces.
std::string Words(const std::string& text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

}  // namespace

TEST(Structure, WordsHyphenatedAtLineEndsAreWholeAndDashesStay) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gogol-nos.txt", 12);
    // Wrapped at 60 characters under a margin of two, a word that does not fit
    // split with a hyphen when it is long; a line may end in a dash before a
    // reply. The hyphen may be a soft one, as a word processor leaves it (in
    // the charsets that have one).
    for (const std::string hyphen : {"-", "\u00AD"}) {
        std::string text, words;
        int split = 0;
        for (const std::string& p : story) {
            words += (words.empty() ? "" : " ") + Words(p);
            std::string line = "   ";
            size_t chars = 3;
            size_t at = 0;
            const std::string ws = Words(p);
            while (at < ws.size()) {
                size_t end = ws.find(' ', at);
                if (end == std::string::npos) end = ws.size();
                std::string word = ws.substr(at, end - at);
                at = end + 1;
                const size_t n = ShownLength(word, true);
                if (chars + 1 + n > 60) {
                    // Cyrillic letters are two bytes: split after four of them.
                    if (n >= 9 && (unsigned char)word[0] >= 0xD0 &&
                        (unsigned char)word[8] >= 0xD0 && word.find('-') == std::string::npos) {
                        text += line + " " + word.substr(0, 8) + hyphen + "\n";
                        word = word.substr(8);
                        ++split;
                    } else {
                        text += line + "\n";
                    }
                    line = "  ";
                    chars = 2;
                }
                line += " " + word;
                chars += 1 + ShownLength(word, true);
            }
            text += line + " -\n";
            words += " -";
        }
        ASSERT_GT(split, 5);
        for (const char* charset : Charsets) {
            if (hyphen != "-" && charset != std::string("UTF-8") &&
                charset != std::string("CP1251"))
                continue;
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            std::string shown;
            for (const auto& t : Texts(b)) {
                AppendShownText(shown, t);
                shown += ' ';
            }
            const CodePage cp = CodePageOf(b.GetProperty("Charset"));
            // (The words as the charset has them: iconv writes "--" for a dash it lacks.)
            EXPECT_TRUE(ToUtf8(Words(shown), cp) == ToUtf8(Iconv(words, charset), cp))
                << charset << " " << hyphen;
        }
    }
}

TEST(Structure, ContentsHoldTheChaptersAndNothingElse) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gorky-detstvo.txt", 60);
    ASSERT_EQ(story.size(), 60u);
    const char* ordinals[] = {
        "первая",          "вторая",          "третья",          "четвертая",         "пятая",
        "шестая",          "седьмая",         "восьмая",         "девятая",           "десятая",
        "одиннадцатая",    "двенадцатая",     "тринадцатая",     "четырнадцатая",     "пятнадцатая",
        "шестнадцатая",    "семнадцатая",     "восемнадцатая",   "девятнадцатая",     "двадцатая",
        "двадцать первая", "двадцать вторая", "двадцать третья", "двадцать четвертая"};
    // A printed contents list, two parts (one between asterisks), 24 chapters in
    // three styles, notes with footnote numbers, a closing date and "КОНЕЦ".
    // The list says the chapters as they are headed, or with dots and page
    // numbers, or in figures at the book's end.
    for (const int printed : {0, 1, 2}) {
        std::string list = "Оглавление\r\n\r\n";
        for (size_t c = 0; c < 24; ++c)
            list += printed == 2   ? "Глава " + std::to_string(c + 1) + "\r\n"
                    : printed == 1 ? std::string("Глава ") + ordinals[c] + " ........ " +
                                         std::to_string(3 + 5 * c) + "\r\n"
                                   : std::string("Глава ") + ordinals[c] + "\r\n";
        std::string text = printed < 2 ? list : "";
        text += "\r\n\r\nЧАСТЬ ПЕРВАЯ\r\n\r\n";
        std::vector<std::string> want = {"1 ЧАСТЬ ПЕРВАЯ"};
        if (printed < 2) want.insert(want.begin(), "2 Оглавление");
        for (size_t c = 0; c < 24; ++c) {
            if (c == 12) {
                text += "\r\n* ЧАСТЬ ВТОРАЯ *\r\n\r\n";
                want.push_back("1 * ЧАСТЬ ВТОРАЯ *");
            }
            std::string heading = std::string("Глава ") + ordinals[c];
            if (c % 3 == 1) heading = std::string("ГЛАВА ") + ordinals[c];
            text += (c % 3 == 2 ? "        " : "") + heading + "\r\n\r\n";
            want.push_back("2 " + heading);
            for (int p = 0; p < 2; ++p)
                text += "   " + story[(c * 2 + size_t(p)) % story.size()] + "\r\n";
            text += "\r\n";
        }
        text += "\r\nПримечания\r\n\r\n";
        want.push_back("2 Примечания");
        for (int n = 1; n <= 5; ++n) text += std::to_string(n) + "\r\n\r\n   Примечание.\r\n\r\n";
        text += "\r\n          1887\r\n\r\n          КОНЕЦ\r\n";
        if (printed == 2) {
            text += "\r\n\r\n" + list;
            want.push_back("2 Оглавление");
        }
        for (const char* charset : Charsets) {
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            std::string got, expect;
            for (const auto& c : Contents(b)) got += c + "\n";
            for (const auto& c : want) expect += c + "\n";
            EXPECT_EQ(got, expect) << charset << " " << printed;
        }
    }
}

TEST(Structure, TitlesOfWordsAloneSetOffByAWiderGapAreTheContents) {
    NEED_TEXTS();
    // A book of stories: each one's title in words alone ("Тоска"), flush or
    // centred, with two blank lines above it where its paragraphs have one;
    // or with two chapters in each story ("I", "II"), under its title; or its
    // author's name under the title, or the title in capitals set off by no
    // wider gap (a collection's).
    const std::vector<std::string> story = StoryParagraphs("gorky-detstvo.txt", 100);
    const std::vector<std::string> titles = {"Анюта", "В дороге", "Беглец", "Тоска", "Враги"};
    const std::vector<std::string> capitals = {"АНЮТА", "В ДОРОГЕ", "БЕГЛЕЦ", "ТОСКА", "ВРАГИ"};
    struct Style {
        int indent;
        int chapters;  // numbered in each story: I, II
        bool author, inCapitals;
    };
    for (const Style& style :
         {Style{0, 0, false, false}, Style{30, 0, false, false}, Style{0, 2, false, false},
          Style{0, 0, true, false}, Style{0, 2, true, true}, Style{0, 1, false, true}}) {
        std::string text = "РАССКАЗЫ\n\n";
        std::vector<std::string> want;
        for (size_t t = 0; t < titles.size(); ++t) {
            const std::string& title = style.inCapitals ? capitals[t] : titles[t];
            text += (style.inCapitals ? "\n" : "\n\n") + std::string(size_t(style.indent), ' ') +
                    title + "\n\n";
            if (style.author) text += "А. П. Чехов\n\n";
            // (A title over one number only stands for its story, not above
            // the number: "I" said once in each is no chapter.)
            want.push_back((style.chapters == 2 ? "1 " : "2 ") + title);
            for (size_t p = 0; p < 20; ++p) {
                if (p % 10 == 0 && int(p / 10) < style.chapters) {
                    text += std::string(10, ' ') + (p ? "II" : "I") + "\n\n";
                    if (style.chapters == 2) want.push_back(p ? "2 II" : "2 I");
                }
                for (const auto& line : Wrap(story[t * 20 + p], 70)) text += line + "\n";
                text += "\n";
            }
        }
        for (const char* charset : Charsets) {
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            EXPECT_EQ(Contents(b), want) << charset << " " << style.indent << " " << style.chapters
                                         << style.author << style.inCapitals;
        }
    }
}

TEST(Structure, EnglishHeadingsNestByWhatTheyEnclose) {
    TempDir dir;
    const std::string para =
        "   The reader turned a page and saw that it was late; the candles "
        "burned low and the wind rose.\r\n";
    // Acts in words, scenes numbered with their titles, a chorus set apart
    // after each scene, an appendix said once, the end.
    std::string text;
    std::vector<std::string> want;
    for (const char* act : {"THE FIRST ACT", "THE SECOND ACT", "THE THIRD ACT"}) {
        text += std::string("\r\n") + act + "\r\n\r\n" + para;
        want.push_back(std::string("1 ") + act);
        for (const char* scene : {"1. The Beginning", "2. The Road"}) {
            text += std::string("\r\n") + scene + "\r\n\r\n" + para + para;
            text += "\r\n                CHORUS.\r\n\r\n" + para;
            want.push_back(std::string("2 ") + scene);
        }
    }
    text += "\r\nAPPENDIX\r\n\r\n" + para + "\r\n                THE END\r\n";
    want.push_back("2 APPENDIX");
    BookFile b = ConvertText(dir, text);
    EXPECT_EQ(Contents(b), want);
}

TEST(Structure, FlushWrappedProseEndsParagraphsAtShortLines) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("pushkin-kapitanskaya-dochka.txt", 80);
    ASSERT_EQ(story.size(), 80u);
    // No indents, no blank lines: a line every 70 characters or so.
    for (const char* charset : Charsets) {
        std::string joined, text;
        for (const std::string& p : story) joined += p + "\n";
        for (const auto& p : SplitText(Iconv(joined, charset)))
            for (const auto& line : Wrap(p, 70, charset == std::string("UTF-8")))
                text += line + "\r\n";
        TempDir dir;
        BookFile b = ConvertText(dir, text);
        EXPECT_EQ(b.GetProperty("Layout").rfind("wrapped ", 0), 0u) << charset;
        // A paragraph whose last line comes near the wrap runs on into the next.
        const int32_t n = b.GetIntProperty("TotalParagraphs");
        EXPECT_GE(n, 70) << charset;
        EXPECT_LE(n, 80) << charset;
    }
}

TEST(Structure, PoemTitlesInACollectionAreItsContents) {
    NEED_TEXTS();
    // The stanzas of a poem, each poem under a title in capitals.
    std::vector<std::string> lines;
    for (const auto& l :
         SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/pushkin-medny-vsadnik.txt"))) {
        const size_t n = ShownLength(l, true);
        const size_t b = l.find_first_not_of(' ');
        if (n > 20 && n < 60 && !ShapeOf(l.substr(b)).Numbered() && !ShapeOf(l.substr(b)).Capitals)
            lines.push_back(l);
    }
    ASSERT_GT(lines.size(), 60u);
    std::string text;
    std::vector<std::string> want;
    for (int poem = 0; poem < 5; ++poem) {
        const std::string title = "СТИХОТВОРЕНИЕ " + std::to_string(poem + 1);
        text += title + "\r\n\r\n";
        want.push_back("2 " + title);
        for (int stanza = 0; stanza < 3; ++stanza) {
            for (int k = 0; k < 4; ++k) {
                std::string l = lines[size_t(poem * 12 + stanza * 4 + k)];
                text += l.substr(l.find_first_not_of(' ')) + "\r\n";
            }
            text += "\r\n";
        }
        text += "\r\n";
    }
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        EXPECT_EQ(b.GetProperty("Layout"), "verse") << charset;
        EXPECT_EQ(Contents(b), want) << charset;
    }
}

TEST(Structure, BlocksWithAHangingIndentAreOneParagraphEach) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gogol-nos.txt", 16);
    // A story in the classic layout, then notes set with a hanging indent
    // between blank lines: "1. " and the rest of each under it.
    std::string text;
    for (size_t p = 0; p < 10; ++p) {
        const auto lines = Wrap(story[p], 70);
        for (size_t i = 0; i < lines.size(); ++i) text += (i ? "" : "   ") + lines[i] + "\r\n";
    }
    text += "\r\n";
    for (size_t p = 10; p < 16; ++p) {
        const auto lines = Wrap(std::to_string(p - 9) + ". " + story[p], 66);
        for (size_t i = 0; i < lines.size(); ++i) text += (i ? "    " : "") + lines[i] + "\r\n";
        text += "\r\n";
    }
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        // Ten paragraphs, six notes (each with the blank line before it), the
        // blank line at the end.
        EXPECT_EQ(b.GetIntProperty("TotalParagraphs"), 10 + 6 + 1) << charset;
    }
}

TEST(Structure, ATitleUnderANumberedHeadingJoinsItAndShowsWithIt) {
    // Chapters numbered in roman figures, each with its title right under it.
    const char* titles[] = {"Сержант гвардии", "Вожатый", "Крепость", "Поединок"};
    const char* numbers[] = {"I", "II", "III", "IV"};
    std::string text = "Повесть\r\n";
    std::vector<std::string> want;
    for (int c = 0; c < 4; ++c) {
        text += std::string("\r\nГЛАВА ") + numbers[c] + "\r\n" + titles[c] +
                "\r\n\r\n   Текст главы. Так было, и было так.\r\n";
        want.push_back(std::string("2 ГЛАВА ") + numbers[c] + ". " + titles[c]);
    }
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        EXPECT_EQ(Contents(b), want) << charset;
        // On the page the number and the title are the heading, nothing else.
        EXPECT_EQ(MarkedOnPage(b, "ph2"), 8) << charset;
    }
}

TEST(Structure, ALineEndHyphenKeepsACompoundAsWritten) {
    const std::string text =
        "   Он сказал что-\r\nнибудь и ушёл кое-\r\nкак, по-\r\nрусски; всё созд-\r\n"
        "анное им стояло, Иван-\r\nЦаревич тоже.\r\n";
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        const std::string all = AllText(b);
        for (const char* word : {"что-нибудь", "кое-как", "по-русски", "созданное", "Иван-Царевич"})
            EXPECT_NE(all.find(word), std::string::npos) << word << " " << charset;
    }
    TempDir dir;
    BookFile en = ConvertText(dir,
                              "   Through the looking-\r\nglass and into the WAISTCOAT-\r\n"
                              "POCKET went the rabbit, quite satis-\r\nfied.\r\n");
    const std::string all = AllText(en);
    for (const char* word : {"looking-glass", "WAISTCOAT-POCKET", "satis-fied"})
        EXPECT_NE(all.find(word), std::string::npos) << word;
}

TEST(Structure, ACompoundKeepsItsHyphenWhereSplitWhenWrittenWholeBefore) {
    // Written whole half a megabyte before the split: kept there; written
    // whole only after it: the split word is one word.
    std::string filler;
    for (int i = 0; i < 6000; ++i)
        filler += "   Строка прозы, в которой ни одно слово не разбито.\r\n";
    const std::string text = "   Дул северо-западный ветер.\r\n" + filler +
                             "   Опять северо-\r\nзападный, потом юго-\r\nвосточный.\r\n" + filler +
                             "   А юго-восточный был потом.\r\n";
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        EXPECT_NE(AllText(b).find("Опять северо-западный, потом юговосточный."), std::string::npos)
            << charset;
    }
}

TEST(Structure, APlaysSpeakersAreShownAsSuchAndNeverInTheContents) {
    NEED_TEXTS();
    const std::vector<std::string> speech = StoryParagraphs("gorky-detstvo.txt", 33);
    const char* names[] = {"ЛОПАХИН", "ДУНЯША.", "ГАЕВ", "ВАРЯ", "ФИРС."};
    // The names at the margin, or centred with voices heard once among them.
    for (const bool centred : {false, true}) {
        const std::string indent(centred ? 20 : 0, ' ');
        std::string text = "ВИШНЁВЫЙ САД\r\n\r\n";
        std::vector<std::string> want;
        for (int act = 0; act < 2; ++act) {
            const std::string heading = act ? "ДЕЙСТВИЕ ВТОРОЕ" : "ДЕЙСТВИЕ ПЕРВОЕ";
            text += "\r\n" + heading + "\r\n\r\n";
            want.push_back("2 " + heading);
            for (int s = 0; s < 15; ++s)
                text += indent + names[(s * 3 + act) % 5] + "\r\n   " +
                        speech[size_t(act * 15 + s)] + "\r\n\r\n";
        }
        if (centred)
            for (const char* voice : {"ГОЛОС ВАРИ", "ГОЛОС ГАЕВА", "ГОЛОС ФИРСА"})
                text += indent + voice + "\r\n   " + speech[30] + "\r\n\r\n";
        for (const char* charset : Charsets) {
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            EXPECT_EQ(Contents(b), want) << charset << (centred ? " centred" : "");
            EXPECT_EQ(MarkedOnPage(b, "pspk"), 30) << charset << (centred ? " centred" : "");
        }
    }
}

TEST(Structure, AnEpigraphUnderAHeadingIsSetApartWithItsName) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("pushkin-kapitanskaya-dochka.txt", 6);
    // Each chapter: its number (and a title in capitals, then a gap), an
    // epigraph of one or two lines and the name it is from, then the text (a
    // dialogue line first in the last one).
    const char* names[] = {"Пословица.", "А. С. Пушкин", "Княжнин."};
    const char* titles[] = {"СЕРЖАНТ ГВАРДИИ", "ВОЖАТЫЙ", "КРЕПОСТЬ"};
    for (const bool titled : {false, true}) {
        std::string text = "Повесть\r\n";
        for (int c = 0; c < 3; ++c) {
            text += std::string("\r\nГЛАВА ") + (c == 0 ? "I" : c == 1 ? "II" : "III") + "\r\n";
            text += (titled ? std::string(titles[c]) + "\r\n" : "") + "\r\n";
            text += "Береги честь смолоду.\r\n" +
                    std::string(c ? "Что посеешь, то и пожнёшь.\r\n" : "");
            text += std::string(names[c]) + "\r\n\r\n";
            if (c == 2) text += "— Да, — сказал он.\r\n";
            text += "   " + story[size_t(c * 2)] + "\r\n   " + story[size_t(c * 2 + 1)] + "\r\n";
        }
        for (const char* charset : Charsets) {
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            EXPECT_EQ(MarkedOnPage(b, "pepi"), 5) << charset << " " << b.GetProperty("Epigraphs");
            EXPECT_EQ(MarkedOnPage(b, "pepa"), 3) << charset << (titled ? " titled" : "");
        }
    }
}

TEST(Structure, ABlockSetDeeperIsParagraphsByItsOwnFirstLines) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gogol-nos.txt", 10);
    // Prose, then a letter set deeper (first lines at ten, the rest at six),
    // a verse quoted at eight, prose again, a verse quoted at the margin
    // (its lines end no sentence), prose.
    std::string text;
    auto prose = [&](size_t p) {
        const auto lines = Wrap(story[p], 70);
        for (size_t i = 0; i < lines.size(); ++i) text += (i ? "" : "   ") + lines[i] + "\r\n";
    };
    for (size_t p = 0; p < 4; ++p) prose(p);
    for (size_t p = 4; p < 7; ++p) {
        const auto lines = Wrap(story[p], 60);
        for (size_t i = 0; i < lines.size(); ++i)
            text += std::string(i ? 6 : 10, ' ') + lines[i] + "\r\n";
    }
    for (const char* verse : {"Мороз и солнце; день чудесный!", "Еще ты дремлешь, друг прелестный",
                              "Пора, красавица, проснись:"})
        text += std::string(8, ' ') + verse + "\r\n";
    for (size_t p = 7; p < 9; ++p) prose(p);
    for (const char* verse : {"Отсель грозить мы будем шведу,", "Здесь будет город заложен",
                              "На зло надменному соседу.", "Природой здесь нам суждено"})
        text += std::string(verse) + "\r\n";
    prose(9);
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        EXPECT_EQ(b.GetIntProperty("TotalParagraphs"), 4 + 3 + 3 + 2 + 4 + 1) << charset;
    }
}

TEST(Structure, HeadingStylesOfEveryKindAreFoundByTheirRepetition) {
    NEED_TEXTS();
    const std::vector<std::string> story = StoryParagraphs("gorky-detstvo.txt", 12);
    // Four chapters in each style, flush between blank lines, the text indented.
    const std::vector<std::vector<std::string>> styles = {
        {"§ 1", "§ 2", "§ 3", "§ 4"},
        {"3 января", "5 января", "9 февраля", "1 марта"},
        {"Письмо первое", "Письмо второе", "Письмо третье", "Письмо четвертое"},
        {"=== I ===", "=== II ===", "=== III ===", "=== IV ==="},
        {"# 1", "# 2", "# 3", "# 4"},
        {"Тетрадь первая", "Тетрадь вторая", "Тетрадь третья", "Тетрадь четвертая"},
        // The old orthography, and its notes known as today's "Примечания".
        {"ДѢЙСТВІЕ ПЕРВОЕ", "ДѢЙСТВІЕ ВТОРОЕ", "ДѢЙСТВІЕ ТРЕТІЕ", "Примѣчанія"},
    };
    for (const auto& style : styles) {
        std::string text = "Повесть\r\n\r\nИван Петров\r\n";
        std::vector<std::string> want;
        for (size_t c = 0; c < style.size(); ++c) {
            text += "\r\n" + style[c] + "\r\n\r\n";
            want.push_back("2 " + style[c]);
            for (size_t p = 0; p < 3; ++p) text += "   " + story[c * 3 + p] + "\r\n";
        }
        const bool old = style[0].find("Ѣ") != std::string::npos;
        for (const std::string charset : Charsets) {
            // (cp866 and KOI8-R have no "§", and none of them "Ѣ".)
            if ((style[0].rfind("§", 0) == 0 && (charset == "CP866" || charset == "KOI8-R")) ||
                (old && charset != "UTF-8"))
                continue;
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            EXPECT_EQ(Contents(b), want) << style[0] << " " << charset;
        }
    }
}

TEST(Structure, ChapterNumbersSetApartTakeTheirTitlesAndNotTheNotesNumbers) {
    NEED_TEXTS();
    // The whole novel re-laid out, its notes' numbers ("1") left on lines of
    // their own. "~ N ~": the numbers centred between blank lines, the text
    // wrapped at 58 with "--" dashes. "margin": "ГЛАВА I" centred, its title
    // at the margin, the long lines tab-indented. "centred": number and title
    // both centred in 72 columns (the title a column deeper or less), the
    // text wrapped at 72, each paragraph's first line indented by two;
    // "figures": the same with the numbers in figures, as the notes' are.
    const LineList novel =
        SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/pushkin-kapitanskaya-dochka.txt"));
    auto centred = [](const std::string& s) {
        return std::string((72 - ShownLength(s, true)) / 2, ' ') + s;
    };
    for (const std::string style : {"~ N ~", "margin", "centred", "figures"}) {
        std::string text;
        std::vector<std::string> want;
        int chapter = 0;
        for (size_t i = 0; i < novel.size(); ++i) {
            std::string line = novel[i];
            for (size_t at; (at = line.find("—")) != std::string::npos;) line.replace(at, 3, "--");
            const size_t length = ShownLength(line, true);
            if (line.rfind("ГЛАВА ", 0) == 0 && i + 1 < novel.size()) {
                const std::string number = style == "~ N ~"
                                               ? "~ " + std::to_string(++chapter) + " ~"
                                           : style == "figures" ? std::to_string(++chapter)
                                                                : line;
                const std::string& title = novel[++i];
                if (style == "~ N ~")
                    text += "\n" + std::string(24, ' ') + number + "\n\n" + title + "\n";
                else if (style == "margin")
                    text += "\n" + std::string(24, ' ') + number + "\n" + title + "\n";
                else
                    text += "\n" + centred(number) + "\n" + centred(title) + "\n\n";
                want.push_back("2 " + number + (style == "~ N ~" ? " " : ". ") + title);
            } else if (style == "margin") {
                text += (length > 60 ? "\t" : "") + line + "\n";
            } else if (length <= (style == "~ N ~" ? 58u : 50u)) {
                text += line + "\n";
            } else {
                const auto lines = Wrap(line, style == "~ N ~" ? 58 : 70);
                for (size_t k = 0; k < lines.size(); ++k)
                    text += (style != "~ N ~" && k == 0 ? "  " : "") + lines[k] + "\n";
            }
        }
        ASSERT_EQ(want.size(), 14u);
        want.push_back("2 ПРИЛОЖЕНИЕ. ПРОПУЩЕННАЯ ГЛАВА *");
        for (const char* charset : Charsets) {
            TempDir dir;
            BookFile b = ConvertText(dir, Iconv(text, charset));
            EXPECT_EQ(Contents(b), want) << style << " " << charset;
        }
    }
}

TEST(Structure, PageNumbersAndRunningHeadsLeftInTheTextAreDropped) {
    NEED_TEXTS();
    // A text taken from a printed book: wrapped at 72, paragraphs indented by
    // two, and every 44 lines, mid-sentence as often as not, the page's
    // number: centred between blank lines ("- 12 -"), or at the right edge
    // right under the page's last line ("12"); and the author and the title
    // over every other page, under the number or with it in one line (the
    // title the same as the one the text begins with). The book is as
    // without them: its paragraphs go on across the pages, its contents hold
    // no page, its title stays. A book that heads each page with the title
    // of the chapter it is in loses those heads too (the chapter's title
    // tells them, or one that breaks into a sentence), and not one word of
    // its text.
    struct Book {
        const char *name, *number, *author, *title;
    };
    for (const auto& [name, number, author, title] :
         {Book{"gogol-nos.txt", "%d", "Н. В. ГОГОЛЬ", "НОС"},
          Book{"pushkin-kapitanskaya-dochka.txt", "- %d -", "А. С. ПУШКИН", "КАПИТАНСКАЯ ДОЧКА"}}) {
        std::vector<std::string> lines;
        for (const auto& line : SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/" + name))) {
            if (ShownLength(line, true) <= 72) {
                lines.push_back(line);
                continue;
            }
            const auto wrapped = Wrap(line, 70);
            for (size_t k = 0; k < wrapped.size(); ++k)
                lines.push_back((k ? "" : "  ") + wrapped[k]);
        }
        std::string plain, centred, right, headed, inOneLine, chapterHeaded, chapter;
        for (size_t i = 0; i < lines.size(); ++i) {
            for (std::string* t : {&plain, &centred, &right, &headed, &inOneLine, &chapterHeaded})
                *t += lines[i] + "\n";
            // (A chapter's title: the last short line in capitals.)
            const std::string_view t = TrimBlanks(lines[i], CodePage::Utf8);
            bool capitals = !t.empty() && t.size() <= 40;
            for (size_t k = 0; capitals && k < t.size();)
                capitals = !IsLower(DecodeChar(t, k, CodePage::Utf8));
            if (capitals) chapter = t;
            if (i % 44 == 43) {
                const int n = int(i / 44 + 2);
                char page[32];
                std::snprintf(page, sizeof page, number, n);
                const std::string head = n % 2 ? title : author;
                centred += "\n" + std::string(34, ' ') + page + "\n\n";
                right += std::string(66, ' ') + std::to_string(n) + "\n";
                headed += "\n" + std::string(34, ' ') + page + "\n\n" + std::string(28, ' ') +
                          head + "\n\n";
                inOneLine += n % 2 ? std::string(20, ' ') + head + std::string(20, ' ') + page
                                   : page + std::string(20, ' ') + head;
                inOneLine += "\n\n";
                chapterHeaded += "\n" + std::string(34, ' ') + page + "\n\n" +
                                 std::string(28, ' ') + chapter + "\n\n";
            }
        }
        for (const char* charset : Charsets) {
            TempDir a;
            BookFile without = ConvertText(a, Iconv(plain, charset));
            EXPECT_GE(Contents(without).size(), 4u) << name;
            for (const std::string* paged : {&centred, &right, &headed, &inOneLine}) {
                TempDir b;
                BookFile with = ConvertText(b, Iconv(*paged, charset));
                EXPECT_EQ(Contents(with), Contents(without)) << name << " " << charset;
                EXPECT_EQ(with.GetIntProperty("TotalParagraphs"),
                          without.GetIntProperty("TotalParagraphs"))
                    << name << " " << charset;
                EXPECT_TRUE(AllText(with) == AllText(without)) << name << " " << charset;
            }
            TempDir c;
            BookFile with = ConvertText(c, Iconv(chapterHeaded, charset));
            EXPECT_EQ(Contents(with), Contents(without)) << name << " " << charset;
            const int32_t n = without.GetIntProperty("TotalParagraphs");
            EXPECT_EQ(with.GetIntProperty("TotalParagraphs"), n) << name << " " << charset;
            // Every word of the text, in order.
            const std::string words = Words(AllText(without)), all = Words(AllText(with));
            size_t at = 0;
            for (size_t w = 0; w < words.size() && at != std::string::npos;) {
                const size_t end = std::min(words.find(' ', w), words.size());
                at = all.find(words.substr(w, end - w), at);
                w = end + 1;
            }
            EXPECT_NE(at, std::string::npos) << name << " " << charset;
        }
    }
}

TEST(Structure, UnwrappedProseKeepsItsRepliesAndVerseAsLines) {
    NEED_TEXTS();
    // Each paragraph on one line: the long ones indented by two, the short
    // ones (replies, verse, a letter's close) at the margin. Every line is a
    // paragraph, as in the source: a short line at the margin is not the
    // paragraph before going on.
    size_t lines = 0;
    std::string text;
    for (const auto& line :
         SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/pushkin-kapitanskaya-dochka.txt"))) {
        text += (ShownLength(line, true) > 60 ? "  " : "") + line + "\n";
        lines += line.find_first_not_of(' ') != std::string::npos;
    }
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        // (A paragraph of blank lines takes the text after them.)
        size_t paragraphs = 0;
        bool counted = true;
        const LineList texts = Texts(b);
        const std::vector<std::string> classes = Classes(b);
        for (size_t i = 0; i < texts.size(); ++i) {
            if (classes[i] != "-") counted = false;
            if (!counted && texts[i].find_first_not_of(' ') != std::string::npos) {
                ++paragraphs;
                counted = true;
            }
        }
        EXPECT_GE(paragraphs * 100, lines * 98) << charset;
    }
}

TEST(Structure, ALineThatLostItsMarginGoesOnWithItsParagraph) {
    NEED_TEXTS();
    // The story is wrapped under a margin of two; its very last line stands
    // at the left edge, in the middle of a sentence.
    const std::string story = ReadFile(std::string(TAVISTO_TEXTS) + "/bryusov-bemol.txt");
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(story, charset));
        const LineList texts = Texts(b);
        const std::vector<std::string> classes = Classes(b);
        size_t last = texts.size();
        while (last > 0 && texts[last - 1].find_first_not_of(' ') == std::string::npos) --last;
        ASSERT_GT(last, 0u);
        EXPECT_EQ(classes[last - 1], "-") << charset;
    }
}

TEST(Structure, ATextSavedWithDoubledLineEndsReadsAsWritten) {
    NEED_TEXTS();
    // The story wrapped at 72, each paragraph's first line indented by two;
    // then the same with a blank line after every line, as a text saved with
    // CR CR LF line ends has them.
    std::string single, doubled;
    for (const auto& line : SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gogol-nos.txt"))) {
        const auto lines = ShownLength(line, true) > 72 ? Wrap(line, 70) : LineList{line};
        for (size_t k = 0; k < lines.size(); ++k) {
            const std::string l = (k == 0 && lines.size() > 1 ? "  " : "") + lines[k];
            single += l + "\n";
            doubled += l + "\r\r\n";
        }
    }
    for (const char* charset : Charsets) {
        TempDir a, b;
        BookFile one = ConvertText(a, Iconv(single, charset));
        BookFile two = ConvertText(b, Iconv(doubled, charset));
        EXPECT_EQ(two.GetIntProperty("TotalParagraphs"), one.GetIntProperty("TotalParagraphs"))
            << charset;
        EXPECT_EQ(Contents(two), Contents(one)) << charset;
    }
}

TEST(Structure, ARuleOfMarksIsAParagraphOfItsOwn) {
    NEED_TEXTS();
    // A header between rules of dashes as long as a line, as a library's
    // texts have it, a rule of "=" between two paragraphs of the story
    // wrapped at 72, and a line of dots for words left out: each rule is a
    // paragraph alone, whatever its length.
    std::string text = "     Николай Васильевич Гоголь. Нос\n" + std::string(63, '-') +
                       "\n     Date: 12 Jan 2002\n     OCR: Иван Иванов\n" + std::string(63, '-') +
                       "\n\n";
    const LineList story = SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gogol-nos.txt"));
    for (size_t i = 3; i < story.size(); ++i) {
        const auto lines =
            ShownLength(story[i], true) > 72 ? Wrap(story[i], 70) : LineList{story[i]};
        for (size_t k = 0; k < lines.size(); ++k)
            text += (k == 0 && lines.size() > 1 ? "  " : "") + lines[k] + "\n";
        if (i == story.size() / 2) text += std::string(70, '=') + "\n";
        if (i == story.size() / 3) text += std::string(64, '.') + "\n";
    }
    for (const char* charset : Charsets) {
        TempDir dir;
        BookFile b = ConvertText(dir, Iconv(text, charset));
        const auto classes = Classes(b);
        const auto texts = Texts(b);
        std::vector<std::string> paragraphs;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (classes[i] != "-" || paragraphs.empty()) paragraphs.emplace_back();
            paragraphs.back() += TrimBlanks(texts[i], CodePage::Utf8);
        }
        int rules = 0;
        for (const auto& p : paragraphs)
            if (p.find("---") != std::string::npos || p.find("===") != std::string::npos ||
                p.find(".....") != std::string::npos) {
                ++rules;
                EXPECT_EQ(p.find_first_not_of(p[0]), std::string::npos) << charset << ": " << p;
            }
        EXPECT_EQ(rules, 4) << charset;
    }
}

TEST(Structure, HeavyHyphenationLeavesTheParagraphsAsTheyWere) {
    NEED_TEXTS();
    // "Детство" wrapped at 64 under first lines indented by four, once with
    // words that do not fit carried over whole, once with every long one split
    // to fill its line: a quarter of the lines end in "-". Joined again, the
    // split words tell nothing of where the paragraphs end.
    const LineList source = SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gorky-detstvo.txt"));
    int splits = 0, lines = 0;
    auto layOut = [&](bool hyphenate) {
        std::string text;
        for (const auto& line : source) {
            const std::string p = Words(line);
            std::string out = "   ";
            size_t chars = 3;
            for (size_t at = 0; at < p.size();) {
                size_t end = p.find(' ', at);
                if (end == std::string::npos) end = p.size();
                std::string word = p.substr(at, end - at);
                at = end + 1;
                if (chars + 1 + ShownLength(word, true) > 64) {
                    // Cyrillic letters (two bytes each) before the hyphen, three after it.
                    size_t letters = 0;
                    while (letters * 2 + 1 < word.size() &&
                           ((unsigned char)word[letters * 2] == 0xD0 ||
                            (unsigned char)word[letters * 2] == 0xD1))
                        ++letters;
                    const size_t room = chars + 4 <= 64 ? 64 - chars - 2 : 0;
                    const size_t k = std::min(room, letters >= 5 ? letters - 3 : 0);
                    if (hyphenate && k >= 2) {
                        text += out + " " + word.substr(0, k * 2) + "-\n";
                        word = word.substr(k * 2);
                        ++splits;
                    } else {
                        text += out + "\n";
                    }
                    lines += hyphenate;
                    out.clear();
                    chars = 0;
                }
                out += (chars ? " " : "") + word;
                chars += (chars ? 1 : 0) + ShownLength(word, true);
            }
            text += out + "\n";
        }
        return text;
    };
    const std::string whole = layOut(false), split = layOut(true);
    ASSERT_GT(splits * 4, lines);
    // Each paragraph's words, without hyphens (no word written with one was split).
    auto paragraphs = [](BookFile& b) {
        std::vector<std::string> out;
        const auto classes = Classes(b);
        const auto texts = Texts(b);
        for (size_t i = 0; i < texts.size(); ++i) {
            if (classes[i] != "-" || out.empty()) out.emplace_back();
            for (char c : ToUtf8(texts[i], CodePageOf(b.GetProperty("Charset"))))
                if (c != '-') out.back() += c;
            out.back() += ' ';
        }
        for (auto& p : out) p = Words(p);
        return out;
    };
    for (const char* charset : Charsets) {
        TempDir a, b;
        BookFile plain = ConvertText(a, Iconv(whole, charset));
        BookFile hyphenated = ConvertText(b, Iconv(split, charset));
        const auto expected = paragraphs(plain), got = paragraphs(hyphenated);
        EXPECT_GT(expected.size(), 2000u) << charset;
        ASSERT_EQ(got.size(), expected.size()) << charset;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << charset << " " << i;
    }
}

namespace {

// Converted in every charset, a text laid out another way has the paragraphs
// of the text as expected (more than least), as many or within percent.
void ExpectParagraphsAsIn(const std::string& expected, const std::string& laidOut, int32_t least,
                          int percent = 0) {
    for (const char* charset : Charsets) {
        TempDir a, b;
        BookFile want = ConvertText(a, Iconv(expected, charset));
        BookFile got = ConvertText(b, Iconv(laidOut, charset));
        const int32_t n = want.GetIntProperty("TotalParagraphs");
        EXPECT_GT(n, least) << charset;
        EXPECT_NEAR(got.GetIntProperty("TotalParagraphs"), n, n * percent / 100) << charset;
    }
}

}  // namespace

TEST(Structure, FirstLinesIndentedUnevenlyBeginTheirParagraphs) {
    NEED_TEXTS();
    // "Детство" typed by hand: wrapped at 64, its first lines indented by
    // three or six as it came. A line less deep than the full line before is
    // no quotation going on when that line ended a sentence with room left
    // for the next line's first word.
    const LineList source = SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gorky-detstvo.txt"));
    std::string uneven, even;
    size_t n = 0;
    for (const auto& line : source) {
        const auto wrapped = Wrap(Words(line), 58);
        for (size_t k = 0; k < wrapped.size(); ++k) {
            uneven += (k ? "" : ++n % 2 ? "      " : "   ") + wrapped[k] + "\n";
            even += (k ? "" : "   ") + wrapped[k] + "\n";
        }
    }
    ExpectParagraphsAsIn(even, uneven, 2800);
}

TEST(Structure, FirstLinesIndentedWithNoBreakSpacesBeginTheirParagraphs) {
    NEED_TEXTS();
    // "Нос" copied from a web page: wrapped at 70, its first lines indented
    // with three no-break spaces. It has the paragraphs of the text indented
    // with spaces.
    std::string spaces, noBreak;
    for (const auto& line : SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gogol-nos.txt"))) {
        const auto wrapped = Wrap(Words(line), 70);
        for (size_t k = 0; k < wrapped.size(); ++k) {
            spaces += (k ? "" : "   ") + wrapped[k] + "\n";
            noBreak += (k ? "" : "\u00A0\u00A0\u00A0") + wrapped[k] + "\n";
        }
    }
    ExpectParagraphsAsIn(spaces, noBreak, 150);
}

TEST(Structure, AJustifiedTextEndsAParagraphAtALineShortOfItsWidth) {
    NEED_TEXTS();
    // "Нос" justified to 68 columns, as old editors did it (blanks widened
    // until every line but a paragraph's last is as long as the width), its
    // paragraphs flush. A line that ends a sentence short of the width ends
    // its paragraph, even where the next line's first word would not have
    // fitted after it (but for a few that end right at the width). (Its
    // dashes and quotes in ASCII: every charset keeps the lines' lengths.)
    std::string justified, indented;
    for (auto line : SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gogol-nos.txt"))) {
        for (const auto& [mark, ascii] : {std::pair{"\u2014", "-"}, std::pair{"\u2026", "."},
                                          std::pair{"\u00AB", "\""}, std::pair{"\u00BB", "\""}})
            for (size_t at; (at = line.find(mark)) != std::string::npos;)
                line.replace(at, std::strlen(mark), ascii);
        const auto wrapped = Wrap(Words(line), 68);
        for (size_t k = 0; k < wrapped.size(); ++k) {
            indented += (k ? "" : "   ") + wrapped[k] + "\n";
            std::string l = wrapped[k];
            for (size_t at = l.find(' '); k + 1 < wrapped.size() && ShownLength(l, true) < 68;
                 at = l.find(' ', at + 2))
                l.insert(at == std::string::npos ? (at = l.find(' ')) : at, " ");
            justified += l + "\n";
        }
    }
    ExpectParagraphsAsIn(indented, justified, 150, 2);
}

TEST(Structure, RepliesSetFlushInTextWrappedByAMachineBeginParagraphs) {
    NEED_TEXTS();
    // "Капитанская дочка" wrapped at 64 by a tool that fills every line, its
    // narrative indented, its replies set flush: after a line that ended a
    // sentence, with room for the next word or not, a reply begins. (A few
    // dashes wrapped to a line's start inside a paragraph begin one too: a
    // reply quoted in the narrative, «…» — «…», looks like one.)
    std::string flush, indented;
    for (const auto& line :
         SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/pushkin-kapitanskaya-dochka.txt"))) {
        const std::string p = Words(line);
        const bool reply = p.rfind("\xE2\x80\x94 ", 0) == 0;
        const auto wrapped = Wrap(p, 61);
        for (size_t k = 0; k < wrapped.size(); ++k) {
            flush += (k || reply ? "" : "   ") + wrapped[k] + "\n";
            indented += (k ? "" : "   ") + wrapped[k] + "\n";
        }
    }
    ExpectParagraphsAsIn(indented, flush, 780, 1);
}

TEST(Structure, APlaysSpeechesBeginWithTheNamesOfThoseWhoSpeak) {
    NEED_TEXTS();
    // "Мещане" wrapped at 58 by a tool, its speeches one under another, each
    // beginning with its speaker's name ("Петр.", "Елена (удивленно).").
    // A speech after a full line that ended a sentence begins all the same
    // (but for a few before the names are known, and stage directions).
    const LineList play = SplitText(ReadFile(std::string(TAVISTO_TEXTS) + "/gorky-meshchane.txt"));
    std::string speechLines, wrapped;
    for (const auto& line : play) {
        speechLines += line + "\n";
        for (const auto& l : Wrap(Words(line), 58)) wrapped += l + "\n";
        if (line.empty()) wrapped += "\n";
    }
    ExpectParagraphsAsIn(speechLines, wrapped, 1000, 3);
}
