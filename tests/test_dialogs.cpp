#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

#include "GuiUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "options/IniFile.h"
#include "options/StyleValues.h"
#include "ui/AboutDialog.h"
#include "ui/Application.h"
#include "ui/BooksDialog.h"
#include "ui/CharsetDialog.h"
#include "ui/FontComboBox.h"
#include "ui/FontSizeComboBox.h"
#include "ui/MainWindow.h"
#include "ui/ScrollSpeedDialog.h"
#include "ui/Startup.h"
#include "ui/StyleDialog.h"
#include "ui/VoiceDialog.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {

struct DialogTest : ::testing::Test {
    ProgramDir prog;
    std::vector<std::string> errors;
    void SetUp() override {
        ErrorBoxHook = [this](const std::string& m) { errors.push_back(m); };
        MessageBoxHook = ErrorBoxHook;
        LoadOptions();
    }
    void TearDown() override {
        if (ReaderWindow()) DestroyForms();
        ErrorBoxHook = nullptr;
        MessageBoxHook = nullptr;
        StyleDialog::ColorDialogHook = nullptr;
    }
    void Create() { CreateForms(10); }
    // Opens a book and waits until its page has loaded.
    void OpenReader(const std::string& book) {
        RecentBook = book;
        StartReader();
        ReadingSession& r = ReaderWindow()->Reader();
        ASSERT_TRUE(WaitFor([&] { return r.CurDocument && !r.RestorePosition; }));
    }
    int Speed(int in, bool ok = true) {
        ReaderWindow()->Window<ScrollSpeedDialog>()->ChosenInterval = in;
        WhenShown(ReaderWindow()->Window<ScrollSpeedDialog>(), [ok] {
            if (ok)
                ReaderWindow()->Window<ScrollSpeedDialog>()->Accept();
            else
                ReaderWindow()->Window<ScrollSpeedDialog>()->reject();
        });
        ReaderWindow()->Window<ScrollSpeedDialog>()->exec();
        return ReaderWindow()->Window<ScrollSpeedDialog>()->ChosenInterval;
    }
};

}  // namespace

TEST_F(DialogTest, SpeedDialogClampsAndCancels) {
    Create();
    EXPECT_EQ(Speed(20), 20);
    EXPECT_EQ(Speed(1), 2);
    EXPECT_EQ(Speed(500), 200);
    EXPECT_EQ(Speed(77, false), 77) << "Cancel returns nothing new";
    // The numbers beside the slider follow it, from the value it opened at.
    std::string shown;
    ReaderWindow()->Window<ScrollSpeedDialog>()->ChosenInterval = 1;
    WhenShown(ReaderWindow()->Window<ScrollSpeedDialog>(), [&] {
        shown = ReaderWindow()->Window<ScrollSpeedDialog>()->Interval->text().toStdString() +
                " / " + ReaderWindow()->Window<ScrollSpeedDialog>()->Speed->text().toStdString();
        ReaderWindow()->Window<ScrollSpeedDialog>()->speedSlider->setValue(3);
        shown += " / " + ReaderWindow()->Window<ScrollSpeedDialog>()->Speed->text().toStdString();
        ReaderWindow()->Window<ScrollSpeedDialog>()->reject();
    });
    ReaderWindow()->Window<ScrollSpeedDialog>()->exec();
    EXPECT_EQ(shown, "2 ms per pixel / 500 pixels per second / 333 pixels per second");
}

TEST_F(DialogTest, SpeedButtonRestartsOnlyARunningAutoScroll) {
    Create();
    OpenReader(prog.AddBook("s.txt", ManyParagraphs(100)));
    auto pick = [](int v) {
        WhenShown(ReaderWindow()->Window<ScrollSpeedDialog>(), [v] {
            ReaderWindow()->Window<ScrollSpeedDialog>()->speedSlider->setValue(v);
            ReaderWindow()->Window<ScrollSpeedDialog>()->Accept();
        });
        ReaderWindow()->ChooseScrollSpeed();
    };
    ReaderWindow()->autoScrollAction->setChecked(true);
    ReaderWindow()->ToggleAutoScroll();
    pick(20);  // the same value keeps it running
    EXPECT_TRUE(ReaderWindow()->scrollTimer->Enabled());
    pick(50);
    EXPECT_TRUE(ReaderWindow()->scrollTimer->Enabled());
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 50);
    EXPECT_EQ(ScrollSpeed, 50);
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("General", "ScrollSpeed", ""), "50");
    ReaderWindow()->autoScrollAction->setChecked(false);
    ReaderWindow()->ToggleAutoScroll();
    pick(120);
    EXPECT_FALSE(ReaderWindow()->scrollTimer->Enabled());
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 120);
    WhenShown(ReaderWindow()->Window<ScrollSpeedDialog>(),
              [] { ReaderWindow()->Window<ScrollSpeedDialog>()->reject(); });
    ReaderWindow()->ChooseScrollSpeed();
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 120);
}

TEST_F(DialogTest, EncodingListRules) {
    WriteFile(prog / "Templates/charsets.dat",
              "Cyr=windows-1251\r\ncyr=cp866\r\n\r\n=for empty names\nEq=a=b\rLast=KOI8-R");
    Create();
    QListWidget* box = ReaderWindow()->Window<CharsetDialog>()->Box;
    ASSERT_EQ(box->count(), 6);
    EXPECT_EQ(box->item(1)->text().toStdString(), "cyr");
    EXPECT_EQ(box->item(2)->text().toStdString(), "");
    auto pickRow = [&](int row) {
        box->setCurrentRow(row);
        ReaderWindow()->Window<CharsetDialog>()->Accept();
        return ReaderWindow()->Window<CharsetDialog>()->SelectedCharset;
    };
    EXPECT_EQ(pickRow(0), "windows-1251");
    EXPECT_EQ(pickRow(1), "windows-1251") << "the first line of that name, without regard to case";
    EXPECT_EQ(pickRow(2), "for empty names");
    EXPECT_EQ(pickRow(4), "a=b");
    EXPECT_EQ(pickRow(5), "KOI8-R");

    // Opened for a book in cp866: on its row; Down and Enter choose the next.
    WhenShown(ReaderWindow()->Window<CharsetDialog>(), [box] {
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ReaderWindow()->Window<CharsetDialog>()->ExecFor("CP866"), QDialog::Accepted);
    EXPECT_EQ(box->currentRow(), 2);
    EXPECT_EQ(ReaderWindow()->Window<CharsetDialog>()->SelectedCharset, "for empty names");
}

TEST_F(DialogTest, EncodingRendersUnderTheChosenCharsetAndSavesLater) {
    WriteFile(prog / "Templates/charsets.dat", "Latin=Windows-1252\r\nCyrillic=windows-1251\r\n");
    Create();
    const std::string name = prog.AddBook("e.txt", ManyParagraphs(100));
    OpenReader(name);
    const std::string before = ReadFile(prog / ("MyBooks/" + name));
    WhenShown(ReaderWindow()->Window<CharsetDialog>(), [] {
        ReaderWindow()->Window<CharsetDialog>()->Box->setCurrentRow(1);
        ReaderWindow()->Window<CharsetDialog>()->Accept();
    });
    ReaderWindow()->ChooseCharset();
    EXPECT_NE(ReadFile(prog / "Templates/vpage.html").find("<meta charset=\"windows-1251\">"),
              std::string::npos);
    EXPECT_EQ(ReadFile(prog / ("MyBooks/" + name)), before) << "nothing is written yet";
    EXPECT_EQ(ReaderWindow()->Reader().CurrentBook->GetProperty("Charset"), "windows-1251");
    // Shown again, the dialog starts from the row chosen last.
    WhenShown(ReaderWindow()->Window<CharsetDialog>(), [] {
        EXPECT_EQ(ReaderWindow()->Window<CharsetDialog>()->Box->currentRow(), 1);
        ReaderWindow()->Window<CharsetDialog>()->reject();
    });
    ReaderWindow()->ChooseCharset();
    ReaderWindow()->Exit();
    BookFile saved(BooksFolder());
    saved.FileName = name;
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.GetProperty("Charset"), "windows-1251");
    EXPECT_EQ(saved.Body(), SplitText(before.substr(before.size() - JoinedLength(saved.Body()))));
}

TEST_F(DialogTest, EncodingWithAnEmptyListChangesNothing) {
    WriteFile(prog / "Templates/charsets.dat", "");
    Create();
    const std::string name = prog.AddBook("n.txt", ManyParagraphs(30));
    OpenReader(name);
    WhenShown(ReaderWindow()->Window<CharsetDialog>(),
              [] { ReaderWindow()->Window<CharsetDialog>()->Accept(); });
    ReaderWindow()->ChooseCharset();
    EXPECT_EQ(ReaderWindow()->Reader().CurrentBook->GetProperty("Charset"), "Windows-1252");
    DestroyForms();
    // A missing list is reported once at start-up; the dialog still works.
    ::unlink((prog / "Templates/charsets.dat").c_str());
    errors.clear();
    Create();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Cannot open file " + (prog / "Templates/charsets.dat"));
    EXPECT_EQ(ReaderWindow()->Window<CharsetDialog>()->Box->count(), 0);
    // No book open: Encoding and Style do not fail.
    WhenShown(ReaderWindow()->Window<CharsetDialog>(),
              [] { ReaderWindow()->Window<CharsetDialog>()->Accept(); });
    ReaderWindow()->ChooseCharset();
}

TEST_F(DialogTest, StyleColoursSizesAndCancel) {
    EXPECT_EQ(ColorToHex({55, 80, 96}), "375060");
    EXPECT_EQ(ColorToHex({255, 0, 0}), "FF0000");
    WriteFile(prog / "config.dat", "[Style]\nbgcolor=#c0cbca\n");
    LoadOptions();
    Create();
    const LineList original = OptionList;
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        EXPECT_EQ(ReaderWindow()->Window<StyleDialog>()->PreviewColor, (ColorValue{192, 203, 202}));
        // Typing a non-number into the size picker makes it 28.
        ReaderWindow()->Window<StyleDialog>()->sizeBox->setEditText("4");
        EXPECT_EQ(ValueOf(WorkingOptions, "norm_size"), "4");
        ReaderWindow()->Window<StyleDialog>()->sizeBox->setEditText("abc");
        EXPECT_EQ(ReaderWindow()->Window<StyleDialog>()->sizeBox->currentText().toStdString(),
                  "28");
        EXPECT_EQ(ValueOf(WorkingOptions, "norm_size"), "28");
        StyleDialog::ColorDialogHook = [](ColorValue& c) {
            c = {55, 80, 96};
            return true;
        };
        ReaderWindow()->Window<StyleDialog>()->ChooseTitleColor();
        EXPECT_EQ(ValueOf(WorkingOptions, "titl_color"), "375060");
        ReaderWindow()->Window<StyleDialog>()->reject();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_EQ(OptionList, original) << "Cancel leaves the options as they were";

    // OK without touching the background writes it back unchanged.
    WhenShown(ReaderWindow()->Window<StyleDialog>(),
              [] { ReaderWindow()->Window<StyleDialog>()->Accept(); });
    ReaderWindow()->ShowStyle();
    IniFile ini(prog / "config.dat");
    EXPECT_EQ(ini.ReadString("Style", "bgcolor", ""), "#c0cbca");
    EXPECT_EQ(ini.ReadString("Style", "norm_size", ""), "28");
    // Picked anew, it is written as six upper-case digits.
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        StyleDialog::ColorDialogHook = [](ColorValue& c) { return c == ColorValue{192, 203, 202}; };
        ReaderWindow()->Window<StyleDialog>()->ChooseBackground();
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("Style", "bgcolor", ""), "C0CBCA");
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(DialogTest, AFaceNotInstalledStaysChosenAndThePreviewSaysWhatIsShown) {
    SetValue(OptionList, "norm_font", "No Such Face At All");
    Create();
    std::string note, row;
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [&] {
        EXPECT_EQ(ValueOf(WorkingOptions, "norm_font"), "No Such Face At All");
        row = ReaderWindow()->Window<StyleDialog>()->fontBox->currentText().toStdString();
        note = ReaderWindow()->Window<StyleDialog>()->fallbackNote->isVisible()
                   ? ReaderWindow()->Window<StyleDialog>()->fallbackNote->text().toStdString()
                   : "";
        EXPECT_EQ(ReaderWindow()->Window<StyleDialog>()->sizeBox->count(), 0)
            << "an unknown face has no sizes";
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_EQ(row, "No Such Face At All (not installed)");
    const std::string used = QFontInfo(QFont("No Such Face At All")).family().toStdString();
    EXPECT_EQ(note,
              "No Such Face At All is not installed here: the page shows " + used + " instead.");
    EXPECT_TRUE(QFontDatabase::hasFamily(QString::fromStdString(used)));
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("Style", "norm_font", ""),
              "No Such Face At All")
        << "kept until the user picks another";

    // Picking an installed face drops the note and the row of the missing one.
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [&] {
        ReaderWindow()->Window<StyleDialog>()->fontBox->setCurrentIndex(1);
        note = ReaderWindow()->Window<StyleDialog>()->fallbackNote->isVisible() ? "shown" : "";
        row = ReaderWindow()->Window<StyleDialog>()->fontBox->itemText(0).toStdString();
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_EQ(note, "");
    EXPECT_EQ(row.find("not installed"), std::string::npos);
    EXPECT_EQ(ValueOf(OptionList, "norm_font"), row);
}

TEST_F(DialogTest, APresetSetsTheThreeColoursWhichCanBeChangedAfter) {
    Create();
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        for (QPushButton* b : ReaderWindow()->Window<StyleDialog>()->findChildren<QPushButton*>())
            if (b->text() == "Night") b->click();
        StyleDialog::ColorDialogHook = [](ColorValue& c) {
            c = {255, 0, 0};
            return true;
        };
        ReaderWindow()->Window<StyleDialog>()->ChooseTitleColor();
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_EQ(ValueOf(OptionList, "norm_color"), StylePresets[2].NormColor);
    EXPECT_EQ(ValueOf(OptionList, "bgcolor"), StylePresets[2].BgColor);
    EXPECT_EQ(ValueOf(OptionList, "titl_color"), "FF0000");
}

TEST_F(DialogTest, StyleOkRerendersTheOpenBook) {
    Create();
    OpenReader(prog.AddBook("st.txt", ManyParagraphs(60)));
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        ReaderWindow()->Window<StyleDialog>()->sizeBox->setEditText("31");
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    const auto shown = [] {
        return PageScript(ReaderWindow()->WB,
                          "(function(){var p=document.querySelector('p.pnorm')||document.body;"
                          "var s=getComputedStyle(p);return s.fontSize+' '+"
                          "getComputedStyle(document.body).backgroundColor;})()")
            .toString()
            .toStdString();
    };
    const std::string before = shown();
    ReaderWindow()->ShowStyle();
    EXPECT_NE(ReadFile(prog / "Templates/vpage.css").find("font-size: 31px"), std::string::npos);
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("Style", "norm_size", ""), "31");
    // The page on screen takes the new look at once, and again after a page turn.
    EXPECT_TRUE(WaitFor([&] { return shown().rfind("31px", 0) == 0; }))
        << before << " / " << shown();
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        ReaderWindow()->Window<StyleDialog>()->ApplyPreset(StylePresets[2]);
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    EXPECT_TRUE(WaitFor([&] { return shown() != "31px " + before.substr(before.find(' ') + 1); }))
        << shown();
}

TEST_F(DialogTest, PageSettingReachesThePageAtOnce) {
    Create();
    OpenReader(prog.AddBook("set.txt", ManyParagraphs(30)));
    WhenShown(ReaderWindow()->Window<StyleDialog>(), [] {
        ReaderWindow()->Window<StyleDialog>()->sizeBox->setEditText("20");
        ReaderWindow()->Window<StyleDialog>()->widthBox->setValue(45);
        ReaderWindow()->Window<StyleDialog>()->spacingBox->setValue(1.8);
        ReaderWindow()->Window<StyleDialog>()->alignBox->setCurrentIndex(1);
        ReaderWindow()->Window<StyleDialog>()->indentBox->setChecked(false);
        ReaderWindow()->Window<StyleDialog>()->paragraphSpaceBox->setValue(1.0);
        ReaderWindow()->Window<StyleDialog>()->Accept();
    });
    ReaderWindow()->ShowStyle();
    // The column's width against 45 of the face's "0", the line height, the
    // alignment, the indent and the space after a paragraph.
    const QString js =
        "(function(){var p=document.querySelector('p.pnorm'),s=getComputedStyle(p),"
        "pg=document.querySelector('.page'),ps=getComputedStyle(pg),z=document.createElement('span'"
        ");"
        "z.textContent='0'.repeat(45);p.appendChild(z);var ch=z.getBoundingClientRect().width;"
        "p.removeChild(z);var "
        "w=pg.clientWidth-parseFloat(ps.paddingLeft)-parseFloat(ps.paddingRight);"
        "return [Math.round(w-ch),s.lineHeight,s.textAlign,s.textIndent,s.marginBottom].join(' "
        "');})()";
    QString got;
    EXPECT_TRUE(WaitFor([&] {
        got = PageScript(ReaderWindow()->WB, js).toString();
        return got == "0 36px left 0px 20px";
    })) << got.toStdString();
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("Style", "line_spacing", ""), "1.8");
    EXPECT_EQ(IniFile(prog / "config.dat").ReadString("Style", "first_indent", ""), "0");
}

TEST_F(DialogTest, NightColoursTheWholeWindowAndDayGivesTheDesktopBack) {
    Create();
    StartReader();
    const QColor desktop = ReaderWindow()->palette().color(QPalette::Window);
    auto choose = [](int preset) {
        WhenShown(ReaderWindow()->Window<StyleDialog>(), [preset] {
            ReaderWindow()->Window<StyleDialog>()->ApplyPreset(StylePresets[preset]);
            ReaderWindow()->Window<StyleDialog>()->Accept();
        });
        ReaderWindow()->ShowStyle();
        QApplication::processEvents();  // the palette reaches the widgets
    };
    choose(2);  // Night
    EXPECT_LT(ReaderWindow()->palette().color(QPalette::Window).lightness(), 96);
    EXPECT_LT(ReaderWindow()->statusBar()->palette().color(QPalette::Window).lightness(), 96);
    EXPECT_GT(ReaderWindow()->palette().color(QPalette::WindowText).lightness(), 150);
    // Every label readable: a contrast of 4.5 at least (WCAG), the tool bar's
    // and About's link among them.
    auto luminance = [](const QColor& c) {
        auto lin = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    auto contrast = [&](const QColor& a, const QColor& b) {
        const double x = luminance(a), y = luminance(b);
        return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
    };
    for (QToolButton* b : ReaderWindow()->findChildren<QToolButton*>()) {
        if (!b->isEnabled() || b->text().isEmpty()) continue;
        const QPalette& pal = b->palette();
        for (auto ground : {QPalette::Button, QPalette::Window})
            EXPECT_GE(contrast(pal.color(QPalette::ButtonText), pal.color(ground)), 4.5)
                << b->text().toStdString();
    }
    // Separators and frames are no bright lines on the dark window.
    for (QWidget* w : ReaderWindow()->findChildren<QWidget*>())
        if (QString(w->metaObject()->className()) == "QToolBarSeparator") {
            EXPECT_LT(contrast(w->palette().color(QPalette::Light),
                               ReaderWindow()->palette().color(QPalette::Window)),
                      3.0);
        }
    const QPalette about = ReaderWindow()->Window<AboutDialog>()->palette();
    EXPECT_GE(contrast(about.color(QPalette::Link), about.color(QPalette::Window)), 4.5);
    choose(0);  // Day
    EXPECT_EQ(ReaderWindow()->palette().color(QPalette::Window), desktop);
}

TEST_F(DialogTest, TheVoiceDialogListsAVoiceOnceWithItsVariantsApart) {
    Create();
    VoiceDialog* d = ReaderWindow()->Window<VoiceDialog>();
    const QStringList voices = {"Russian", "Russian+Adam", "Russian+Annie", "Russian+Boris"};
    WhenShown(d, [d] {
        EXPECT_EQ(d->voiceBox->count(), 2) << "the book's language, and Russian once";
        EXPECT_EQ(d->variantBox->currentText(), "Annie");
        d->variantBox->setCurrentIndex(d->variantBox->findText("Boris"));
        d->Accept();
    });
    ASSERT_EQ(d->ExecFor(voices, "Russian+Annie", 0), QDialog::Accepted);
    EXPECT_EQ(d->Voice, "Russian+Boris");
}

TEST_F(DialogTest, WithNoBookOpenThePageSaysHowToOpenOne) {
    Create();
    StartReader();
    ASSERT_FALSE(ReaderWindow()->Reader().CurrentBook);
    QString text;
    bool seen = WaitFor([&] {
        text = PageScript(ReaderWindow()->WB, "document.body ? document.body.innerText : ''")
                   .toString();
        return text.contains("Ctrl+O");
    });
    ASSERT_TRUE(seen);
    EXPECT_TRUE(text.contains("drop")) << text.toStdString();
}

TEST_F(DialogTest, FontPickers) {
    Create();
    FontComboBox faces;
    std::vector<std::string> names;
    for (int i = 0; i < faces.count(); ++i) names.push_back(faces.itemText(i).toStdString());
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(std::count(names.begin(), names.end(), "Default"), 0);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) {
        return LowerAscii(a) < LowerAscii(b);
    }));
    std::string tt;
    for (const auto& n : names)
        if (IsTrueTypeFace(n)) tt = n;
    ASSERT_FALSE(tt.empty()) << "the installed Liberation and DejaVu fonts are TrueType";
    FontSizeComboBox sizes;
    int clicks = 0;
    sizes.OnClick = [&] { ++clicks; };
    sizes.SetFontName(tt);
    ASSERT_EQ(sizes.count(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(sizes.itemText(i).toStdString(), DefaultSizes[i]);
    EXPECT_EQ(clicks, 1);
    sizes.SetFontName("");
    EXPECT_EQ(sizes.count(), 0);

    EXPECT_EQ(PrepareFaceList(
                  {"b", "Default", "C059 [UKWN]", "A", "c059 [urw]", "A", "c", "Mono [x] Sans"}),
              (std::vector<std::string>{"A", "b", "c", "C059", "Mono [x] Sans"}));
    std::vector<std::string> bitmap;
    for (int s : {10, 8, 12, 8, 10}) InsertSizeAscending(bitmap, s);
    EXPECT_EQ(bitmap, (std::vector<std::string>{"8", "10", "12"}));
    EXPECT_EQ(PointSizeOf(15, 2, 96), 10);  // 9.75 rounds to 10
    EXPECT_EQ(PointSizeOf(14, 1, 144), 6);  // 6.5 rounds to the even 6
}

TEST_F(DialogTest, HexToColorRules) {
    EXPECT_EQ(HexToColor("375060"), (ColorValue{0x37, 0x50, 0x60}));
    EXPECT_EQ(HexToColor("#375060"), (ColorValue{0x37, 0x50, 0x60}));
    EXPECT_EQ(HexToColor("37 50 60"), (ColorValue{0x37, 0x50, 0x60}));
    EXPECT_EQ(HexToColor("FF"), (ColorValue{0, 0, 0xFF}));
    EXPECT_EQ(HexToColor("000000000375060"), (ColorValue{0x37, 0x50, 0x60}));
    EXPECT_EQ(HexDigitsOnly("#x1g2F"), "12F");
    try {
        HexToColor("#ggg");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'$' is not a valid integer value");
    }
    EXPECT_THROW(HexToColor("123456789"), EConvertError);
}

TEST_F(DialogTest, AboutShowsTheVersionsAndItsLinkOpensTheGuide) {
    const std::string guide = prog.AddBook("A Guide to Tavisto.txt", ManyParagraphs(5));
    ASSERT_EQ(guide, DefaultRecentBook);
    Create();
    OpenReader(prog.AddBook("other.txt", ManyParagraphs(5)));
    WhenShown(ReaderWindow()->Window<AboutDialog>(),
              [] { ReaderWindow()->Window<AboutDialog>()->accept(); });
    ReaderWindow()->ShowAbout();
    const std::string first = ReaderWindow()->Window<AboutDialog>()->AboutText;
    WhenShown(ReaderWindow()->Window<AboutDialog>(),
              [] { ReaderWindow()->Window<AboutDialog>()->OpenGuide(); });
    ReaderWindow()->ShowAbout();
    EXPECT_EQ(ReaderWindow()->Window<AboutDialog>()->AboutText, first)
        << "rebuilt, not appended to";
    EXPECT_NE(first.find(std::string("Qt ") + qVersion()), std::string::npos) << first;
    EXPECT_FALSE(ReaderWindow()->Window<AboutDialog>()->isVisible());
    ASSERT_TRUE(ReaderWindow()->Reader().CurrentBook);
    EXPECT_EQ(ReaderWindow()->Reader().CurrentBook->FileName, DefaultRecentBook);
    EXPECT_TRUE(errors.empty());
}

TEST_F(DialogTest, MessagesShowOutsideTextAsItStands) {
    // A message carrying a book's bytes: markup and links are shown as text.
    ErrorBoxHook = nullptr;
    const std::string text = "'<h1>BIG</h1><a href=\"file:///tmp/x.desktop\">x</a>' is no integer";
    QString shown;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
        WaitFor([&] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); });
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shown = box->text();
        format = box->textFormat();
        box->accept();
    });
    ShowErrorBox(text);
    EXPECT_EQ(shown.toStdString(), text);
    EXPECT_EQ(format, Qt::PlainText);
}

// Every text a window shows, in Russian: no caption, label, button, tool tip or
// menu left in English, and the messages of the lower layers translated too.
TEST_F(DialogTest, OnARussianDesktopEveryWindowSpeaksRussian) {
    ASSERT_EQ(InstallTranslation(QLocale(QLocale::Russian, QLocale::Russia)), "ru");
    struct BackToEnglish {
        ~BackToEnglish() { InstallTranslation(QLocale(QLocale::English)); }
    } backToEnglish;
    EXPECT_EQ(GuideBook, RussianGuideBook);
    Create();
    // Words that stay as they are in any language: names, keys, units.
    const QRegularExpression kept(
        "Tavisto|BETA|Qt|WebEngine|Chromium|Liberation|Serif|Sans|Ctrl|Shift|PgUp|PgDn|Esc|Enter|"
        "Tab|F\\d+|\\b[A-Z]\\b|ZIP|txt|zip|KB|UTF|cp\\d+|windows|KOI8|\\d+");
    const QRegularExpression cyrillic("[\\x{0400}-\\x{04FF}]");
    std::vector<std::string> english;
    auto check = [&](const QString& where, QString text) {
        text.remove(QRegularExpression("<[^>]*>"));
        if (text.contains(cyrillic)) return;
        if (text.remove(kept).contains(QRegularExpression("[A-Za-z]{2,}")))
            english.push_back(where.toStdString() + ": " + text.toStdString());
    };
    for (QWidget* w : {static_cast<QWidget*>(ReaderWindow()),
                       static_cast<QWidget*>(ReaderWindow()->Window<StyleDialog>()),
                       static_cast<QWidget*>(ReaderWindow()->Window<BooksDialog>()),
                       static_cast<QWidget*>(ReaderWindow()->Window<ScrollSpeedDialog>()),
                       static_cast<QWidget*>(ReaderWindow()->Window<CharsetDialog>()),
                       static_cast<QWidget*>(ReaderWindow()->Window<AboutDialog>()),
                       static_cast<QWidget*>(ReaderWindow()->Window<VoiceDialog>())}) {
        check(w->metaObject()->className(), w->windowTitle());
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (qobject_cast<QComboBox*>(c) || qobject_cast<QListWidget*>(c)) continue;
            const QString name =
                QString(w->metaObject()->className()) + "/" + c->metaObject()->className();
            check(name, c->toolTip());
            if (auto* b = qobject_cast<QAbstractButton*>(c)) check(name, b->text());
            if (auto* l = qobject_cast<QLabel*>(c)) check(name, l->text());
            if (auto* g = qobject_cast<QGroupBox*>(c)) check(name, g->title());
        }
        for (QAction* a : w->findChildren<QAction*>()) {
            check("action", a->text());
            check("action", a->toolTip());
        }
    }
    EXPECT_TRUE(english.empty()) << ::testing::PrintToString(english);
    // At 800 pixels wide no button's label is cut or covered, and what does
    // not fit is under the bar's "»" button.
    ReaderWindow()->windowedAction->setChecked(true);
    ReaderWindow()->ToggleWindowed();
    ReaderWindow()->resize(800, 600);
    ReaderWindow()->show();
    QApplication::processEvents();
    QList<QToolBar*> bars = ReaderWindow()->findChildren<QToolBar*>();
    ASSERT_EQ(bars.size(), 2);
    if (bars[0]->x() > bars[1]->x()) std::swap(bars[0], bars[1]);
    int hidden = 0;
    for (QToolBar* bar : bars)
        for (QToolButton* b : bar->findChildren<QToolButton*>()) {
            if (b->objectName() == "qt_toolbar_ext_button") continue;
            if (!b->isVisible()) {
                ++hidden;
                continue;
            }
            const QRect at(b->mapTo(ReaderWindow(), QPoint()), b->size());
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
            EXPECT_LE(at.right(), ReaderWindow()->width()) << b->text().toStdString();
            if (bar == bars[0]) {
                EXPECT_LT(at.right(), bars[1]->mapTo(ReaderWindow(), QPoint()).x())
                    << b->text().toStdString();
            }
        }
    QToolButton* more = bars[0]->findChild<QToolButton*>("qt_toolbar_ext_button");
    if (hidden) {
        EXPECT_TRUE(more && more->isVisible()) << hidden << " buttons out of reach";
    }
    // A message of the lower layers, and the page's own buttons.
    EXPECT_EQ(Fmt(Messages::tr("Cannot open file %s"), "x"), "Не удаётся открыть файл x");
    OpenReader(prog.AddBook("ru.txt", ManyParagraphs(300)));
    EXPECT_NE(ReadFile(prog / "Templates/vpage.html").find("&#1044;&#1040;&#1051;&#1045;&#1045;"),
              std::string::npos);
}

TEST(MessageBoxes, ALongPathOrManyLinesFitTheScreen) {
    const QString path = "/home/" + QString(5490, 'd') + "/book.txt";
    const QString fitted = FitForBox("Cannot open file " + path);
    EXPECT_LE(fitted.size(), 300);
    EXPECT_TRUE(fitted.startsWith("Cannot open file /home/ddd"));
    EXPECT_TRUE(fitted.endsWith("/book.txt"));
    QStringList many;
    for (int i = 0; i < 500; ++i) many << "line";
    EXPECT_LE(FitForBox(many.join('\n')).count('\n'), 20);
    EXPECT_EQ(FitForBox("Not found"), "Not found");
}
