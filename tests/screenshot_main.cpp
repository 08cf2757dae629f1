// Makes the pictures of the README: the whole screen with the reader, then with
// each of its dialogs open over it.
//   tavisto_screenshot DATA_FOLDER OUT_DIR SUFFIX [TEXTS_FOLDER]
// DATA_FOLDER holds the installation's read-only files (build/share/tavisto);
// the reader runs in a program folder of its own made from them, so the user's
// library is left alone. The books of TEXTS_FOLDER, when given, fill My Books.
// Run it on an X server with a window manager: the pictures are of the screen.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <dirent.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Fb2Sample.h"
#include "GuiUtil.h"
#include "base/Files.h"
#include "convert/Converter.h"
#include "convert/Headings.h"
#include "options/Options.h"
#include "options/StyleValues.h"
#include "reading/ReadAloud.h"
#include "ui/AboutDialog.h"
#include "ui/Application.h"
#include "ui/ArchiveDialog.h"
#include "ui/BooksDialog.h"
#include "ui/CharsetDialog.h"
#include "ui/HitListDialog.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"
#include "ui/ScrollSpeedDialog.h"
#include "ui/Startup.h"
#include "ui/StyleDialog.h"
#include "ui/VoiceDialog.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {

bool Run(const std::string& cmd) {
    return std::system(cmd.c_str()) == 0;
}

// Converts the texts of a folder into the library, some of them read part way.
void FillLibrary(const std::string& texts) {
    DIR* d = ::opendir(texts.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() > 4 && n.substr(n.size() - 4) == ".txt") names.push_back(n);
    }
    ::closedir(d);
    int i = 0;
    for (const std::string& n : names) {
        try {
            BookFile b = ConvertToBook(texts + "/" + n, BooksFolder());
            const int32_t total = b.GetIntProperty("TotalParagraphs");
            b.LastParagraph = std::max(1, total * ((i * 37) % 101) / 100);
            b.SetProperty("LastParagraph", std::to_string(b.LastParagraph));
            b.SaveAsNewBook(BookBaseName(n));
            ++i;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", n.c_str(), e.what());
        }
    }
}

// A play set as many are: each speaker's name in capitals on a line of its
// own above the speech ("Поля. Как это..." becomes "ПОЛЯ" and "Как это...").
void MakePlay(const std::string& source, const std::string& work) {
    if (!FileExists(source)) return;
    std::string play;
    for (const auto& line : SplitText(ReadWholeFile(source))) {
        const size_t dot = line.find(". ");
        const std::string name = dot == std::string::npos ? "" : line.substr(0, dot);
        const bool speaker = !name.empty() && name.find(' ') == std::string::npos &&
                             QString::fromStdString(name).at(0).isUpper();
        if (speaker)
            play += QString::fromStdString(name).toUpper().toStdString() + "\r\n   " +
                    line.substr(dot + 2) + "\r\n";
        else
            play += line + "\r\n";
    }
    SaveFileSafely(work + "play.txt", play);
    try {
        BookFile b = ConvertToBook(work + "play.txt", BooksFolder());
        b.SaveAsNewBook("play");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "play: %s\n", e.what());
    }
}

// Shows a dialog over the reader and waits until the window manager framed it.
void ShowDialog(QWidget* d) {
    d->show();
    if (!QTest::qWaitForWindowExposed(d, 5000)) std::fprintf(stderr, "not exposed\n");
    if (!QTest::qWaitFor([&] { return d->frameGeometry() != d->geometry(); }, 3000))
        std::fprintf(stderr, "no window frame: is a window manager running?\n");
    QTest::qWait(300);  // the frame and the contents painted
}

bool Shot(const std::string& path) {
    QScreen* s = QGuiApplication::primaryScreen();
    return s->grabWindow(0).save(QString::fromStdString(path), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: tavisto_screenshot DATA_FOLDER OUT_DIR SUFFIX [TEXTS_FOLDER]\n");
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string data = argv[1], out = std::string(argv[2]) + "/", suffix = argv[3];
    char tmpl[] = "/tmp/tavisto-shot-XXXXXX";
    const std::string work = std::string(::mkdtemp(tmpl)) + "/";
    if (!Run("mkdir -p '" + work + "MyBooks' '" + work + "Templates' '" + work + "TEMP' '" + work +
             "zip/Chekhov' && cp '" + data + "/'*.tml '" + data + "/charsets.dat' '" + work +
             "Templates/' && cp '" + data + "/'*.tvst '" + work + "MyBooks/'"))
        return 1;
    ProgramFolder = work;
    if (argc > 4) {
        FillLibrary(argv[4]);
        MakePlay(std::string(argv[4]) + "/gorky-meshchane.txt", work);
    }
    // An archive of stories for the archive window.
    for (const char* n : {"Chekhov/Anyuta.txt", "Chekhov/The Bishop.txt", "Gogol - The Nose.txt"})
        SaveFileSafely(work + "zip/" + n, std::string(3000 + 700 * std::string(n).size(), 'x'));
    if (!Run("cd '" + work + "zip' && zip -q -r ../stories.zip . && touch -d '2024-03-05 14:30' '" +
             work + "stories.zip'"))
        return 1;
    LoadOptions();
    PrepareRendering();
    Application app(argc, argv);
    // On a Russian desktop (LANG=ru_RU.UTF-8): the windows in Russian, the
    // guide's Russian edition, and only the pictures that show the language.
    const bool russian = InstallTranslation(QLocale::system()) == "ru";
    if (russian) RecentBook = GuideBook;
    ErrorBoxHook = [](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); };
    MessageBoxHook = ErrorBoxHook;
    CreateForms(100);
    StartReader();
    ReadingSession& r = ReaderWindow()->Reader();
    bool ok = QTest::qWaitFor(
        [&] {
            return r.CurDocument && r.CurDocument == ReaderWindow()->WB->Document() &&
                   !r.RestorePosition;
        },
        20000);
    QTest::qWait(1500);  // the compositor paints the loaded page
    ok = Shot(out + "main-" + suffix + ".png") && ok;

    ReaderWindow()->Window<ScrollSpeedDialog>()->ChosenInterval = 20;
    ReaderWindow()->Window<ArchiveDialog>()->ArchiveFileName = work + "stories.zip";
    ReaderWindow()->Window<ArchiveDialog>()->LoadArchive();
    const std::pair<const char*, QWidget*> dialogs[] = {
        {"books", ReaderWindow()->Window<BooksDialog>()},
        {"archive", ReaderWindow()->Window<ArchiveDialog>()},
        {"style", ReaderWindow()->Window<StyleDialog>()},
        {"speed", ReaderWindow()->Window<ScrollSpeedDialog>()},
        {"encoding", ReaderWindow()->Window<CharsetDialog>()},
        {"about", ReaderWindow()->Window<AboutDialog>()}};
    for (const auto& [name, d] : dialogs) {
        if (russian && d != ReaderWindow()->Window<BooksDialog>() &&
            d != ReaderWindow()->Window<StyleDialog>())
            continue;
        ShowDialog(d);
        ok = Shot(out + name + "-" + suffix + ".png") && ok;
        d->hide();
    }
    auto shown = [&](uint64_t doc) {
        return QTest::qWaitFor(
            [&] {
                return r.CurDocument > doc && r.CurDocument == ReaderWindow()->WB->Document() &&
                       !r.RestorePosition;
            },
            20000);
    };
    // Reading on across a page's end: the last lines of page 1 run on into
    // page 2 in the middle of the view, with nothing between them.
    auto seam = [&](const std::string& file) {
        r.ShowParagraph(r.CurrentBook->FirstParagraphOfPage(2));
        QTest::qWait(800);
        PageScript(ReaderWindow()->WB, "window.scrollBy(0,-window.innerHeight/2)");
        QTest::qWait(800);
        return Shot(file);
    };
    // Every place a word is found, with its chapter and the words around it.
    auto hits = [&](const char* word, const std::string& file) {
        HitListDialog* list = ReaderWindow()->Window<HitListDialog>();
        list->List(r, word);
        const bool listed = QTest::qWaitFor([&] { return !list->Searching(); }, 20000);
        ShowDialog(list);
        const bool taken = Shot(file);
        list->hide();
        return listed && taken;
    };
    // The voices of espeak-ng's Russian, one entry each, and the rate in words.
    auto voices = [&](const std::string& file) {
        VoiceDialog* d = ReaderWindow()->Window<VoiceDialog>();
        bool taken = false;
        QTimer::singleShot(0, [&] {
            if (!QTest::qWaitFor([&] { return d->isVisible(); }, 5000)) return;
            ShowDialog(d);
            taken = Shot(file);
            d->reject();
        });
        d->ExecFor({"Russian", "Russian+Alex", "Russian+f1", "Russian+klatt", "Ukrainian",
                    "English (Great Britain)", "English (America)", "English (Caribbean)"},
                   "Russian", 0);
        return taken;
    };
    if (russian) {
        // Reading aloud: the sentence being spoken marked (an engine that stays
        // silent on the first sentence).
        struct Silent : ISpeechEngine {
            void Say(const std::string&, const std::string&) override {}
            void Stop() override {}
        } silent;
        {
            ReadAloud aloud(r, silent);
            r.ShowParagraph(8);
            QTest::qWait(800);
            aloud.Start();
            QTest::qWait(1500);
            ok = Shot(out + "readaloud-" + suffix + ".png") && ok;
            aloud.Stop();
        }
        // At night: a page's end read on, every place a word is found, the voices.
        SetValue(OptionList, "norm_color", StylePresets[2].NormColor);
        SetValue(OptionList, "titl_color", StylePresets[2].TitlColor);
        SetValue(OptionList, "bgcolor", StylePresets[2].BgColor);
        ReaderWindow()->ApplyPageColours();
        const uint64_t doc = r.CurDocument;
        r.SetPageOptions(OptionList);
        r.KeepPlace();
        r.RenderInPlace();
        ok = shown(doc) && ok;
        ok = seam(out + "seam-night-" + suffix + ".png") && ok;
        ok = hits("\u043a\u043d\u0438\u0433", out + "hits-" + suffix + ".png") && ok;
        ok = voices(out + "voice-" + suffix + ".png") && ok;
        ReaderWindow()->progressTimer->SetEnabled(false);
        DestroyForms();
        Run("rm -rf '" + work + "'");
        return ok ? 0 : 1;
    }
    ok = seam(out + "seam-" + suffix + ".png") && ok;

    // The open book's paragraph layout, from the Encoding button's arrow.
    for (auto* b : ReaderWindow()->findChildren<QToolButton*>()) {
        if (b->text() != "Encoding" || !b->menu()) continue;
        QMenu* menu = b->menu();
        menu->popup(b->mapToGlobal(QPoint(0, b->height())));
        QTest::qWait(300);
        if (QMenu* sub = menu->actions().value(0) ? menu->actions()[0]->menu() : nullptr) {
            menu->setActiveAction(menu->actions()[0]);
            sub->popup(menu->mapToGlobal(QPoint(menu->width(), 0)));
        }
        QTest::qWait(600);
        ok = Shot(out + "layout-" + suffix + ".png") && ok;
        menu->hide();
    }

    // Night: the page and the window in its colours.
    const LineList day = OptionList;
    SetValue(OptionList, "norm_color", StylePresets[2].NormColor);
    SetValue(OptionList, "titl_color", StylePresets[2].TitlColor);
    SetValue(OptionList, "bgcolor", StylePresets[2].BgColor);
    ReaderWindow()->ApplyPageColours();
    uint64_t doc = r.CurDocument;
    r.SetPageOptions(OptionList);
    r.KeepPlace();
    r.RenderInPlace();
    ok = shown(doc) && ok;
    QTest::qWait(1500);
    ok = Shot(out + "night-" + suffix + ".png") && ok;

    // A long text converted in Night: the window keeps the page's colours
    // behind the progress box. The picture is taken while it converts (the
    // progress box lets timers run).
    if (!russian) {
        const std::string text = work + "long.txt";
        std::string all;
        for (int i = 0; all.size() < (size_t(150) << 20); ++i)
            all += "  Paragraph " + std::to_string(i) +
                   " of a long text, said again and again "
                   "until it is long enough to take a while.\r\n";
        SaveFileSafely(text, all);
        all.clear();
        all.shrink_to_fit();
        bool taken = false;
        QTimer grab;
        grab.setInterval(50);
        QObject::connect(&grab, &QTimer::timeout, [&] {
            if (auto* p = ReaderWindow()->Window<ProgressWindow>(); !taken && p && p->isVisible())
                taken = Shot(out + "converting-" + suffix + ".png");
        });
        grab.start();
        doc = r.CurDocument;
        ReaderWindow()->OpenFiles({text});
        grab.stop();
        // (A fast machine may convert it before the box shows: no picture then.)
        if (!taken) std::fprintf(stderr, "converting: the progress box was not seen\n");
        ok = shown(doc) && ok;
    }

    // A poem's parts: headings in the page's colours.
    OptionList = day;
    r.SetPageOptions(OptionList);
    ReaderWindow()->ApplyPageColours();
    if (FileExists(BooksFolder() + "nekrasov-moroz-krasny-nos.tvst")) {
        doc = r.CurDocument;
        r.SwitchToBook("nekrasov-moroz-krasny-nos.tvst");
        ok = shown(doc) && ok;
        // Its first part's heading, wherever it was left.
        const auto contents = ParseContents(r.CurrentBook->Contents);
        if (!contents.empty()) r.ShowParagraph(std::max(1, contents[0].Paragraph - 2));
        QTest::qWait(2500);
        ok = Shot(out + "structure-" + suffix + ".png") && ok;
    }

    // A book's structure as a reader meets it: a numbered chapter with its
    // title and epigraph, replies in prose, a play's speakers.
    const std::pair<const char*, const char*> pages[] = {
        {"pushkin-kapitanskaya-dochka.tvst", "heading"},
        {"gorky-detstvo.tvst", "dialogue"},
        {"play.tvst", "play"},
    };
    for (const auto& [book, name] : pages) {
        if (!FileExists(BooksFolder() + book)) continue;
        doc = r.CurDocument;
        r.SwitchToBook(book);
        ok = shown(doc) && ok;
        const auto contents = ParseContents(r.CurrentBook->Contents);
        // The second chapter's heading; in the play a few speeches into its first act.
        const std::string shot = name;
        int32_t at = shot == "dialogue" ? 38 : 1;
        if (shot != "dialogue" && contents.size() > 1)
            at = contents[1].Paragraph + (shot == "play" ? 14 : -1);
        r.ShowParagraph(at);
        QTest::qWait(2500);
        ok = Shot(out + name + "-" + suffix + ".png") && ok;
    }

    // A FictionBook: its title, epigraph, marked words and a note shown; then
    // its poem, picture and table; then My Books with its cover and annotation.
    {
        QImage cover(300, 420, QImage::Format_RGB32);
        QPainter paint(&cover);
        QLinearGradient sky(0, 0, 0, 420);
        sky.setColorAt(0, QColor("#2c3e66"));
        sky.setColorAt(1, QColor("#c9a66b"));
        paint.fillRect(cover.rect(), sky);
        paint.setPen(QColor("#f4ecd8"));
        paint.setFont(QFont("Liberation Serif", 26, QFont::Bold));
        paint.drawText(QRect(20, 60, 260, 160), Qt::AlignCenter | Qt::TextWordWrap,
                       QString::fromUtf8("Капитанская дочка"));
        paint.setFont(QFont("Liberation Serif", 16));
        paint.drawText(QRect(20, 300, 260, 60), Qt::AlignCenter, QString::fromUtf8("А. С. Пушкин"));
        paint.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        cover.save(&buffer, "PNG");
        const std::string fb2 = work + "kapitanskaya-dochka.fb2";
        SaveFileSafely(fb2, SampleFictionBook("utf-8", png.toBase64().toStdString()));
        doc = r.CurDocument;
        ReaderWindow()->OpenFiles({fb2});
        ok = shown(doc) && ok;
        r.ShowParagraph(5);
        QTest::qWait(1000);
        PageScript(ReaderWindow()->WB, "document.querySelector('a.note').focus()");
        QTest::qWait(1500);
        ok = Shot(out + "fb2-page-" + suffix + ".png") && ok;
        PageScript(ReaderWindow()->WB, "document.activeElement.blur()");
        r.ShowParagraph(13);
        QTest::qWait(2000);
        ok = Shot(out + "fb2-poem-" + suffix + ".png") && ok;
        BooksDialog* books = ReaderWindow()->Window<BooksDialog>();
        ShowDialog(books);
        const long row = books->Books->IndexOf(r.CurrentBook->FileName);
        if (row >= 0) books->bookTree->setCurrentItem(books->bookTree->topLevelItem(int(row)));
        QTest::qWait(500);
        ok = Shot(out + "fb2-books-" + suffix + ".png") && ok;
        books->hide();
    }

    // No book open: how to open one.
    OptionList = day;
    ReaderWindow()->ApplyPageColours();
    r.CloseBook();
    QTest::qWait(1500);
    ok = Shot(out + "nobook-" + suffix + ".png") && ok;

    ReaderWindow()->progressTimer->SetEnabled(false);
    DestroyForms();
    Run("rm -rf '" + work + "'");
    return ok ? 0 : 1;
}
