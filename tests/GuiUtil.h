// Helpers for the window tests: a program folder laid out as the installation
// lays it out, and waiting on conditions with a time-out.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <string>

#include "TestUtil.h"
#include "book/BookFile.h"
#include "convert/Converter.h"
#include "convert/TextAnalysis.h"
#include "options/Options.h"
#include "view/PageView.h"
#include "view/WebEngineView.h"

// Processes events until pred() holds or timeoutMs pass; returns pred(). A plain
// event loop: QTest's waits sleep between rounds of events, which slows every
// round trip between the browser and its page.
template <class P>
bool WaitFor(P pred, int timeoutMs = 15000) {
    if (pred()) return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return pred();
}

// Runs a script on the view's page and waits for its answer (tests only: the
// program itself never waits for the view).
inline QVariant PageScript(QWebEngineView* view, const QString& script, int timeoutMs = 5000) {
    QVariant result;
    bool answered = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        result = v;
        answered = true;
    });
    WaitFor([&] { return answered; }, timeoutMs);
    return result;
}

// The web view of the page shown.
inline WebEngineView* FrontView(PageView* view) {
    return static_cast<WebEngineView*>(view->Front());
}
inline QVariant PageScript(PageView* view, const QString& script, int timeoutMs = 5000) {
    return PageScript(FrontView(view), script, timeoutMs);
}

// The page's vertical scroll offset in CSS pixels, -1 when the page did not answer.
inline double PageOffset(QWebEngineView* view) {
    QVariant v = PageScript(view, "window.pageYOffset");
    return v.isValid() ? v.toDouble() : -1;
}
inline double PageOffset(PageView* view) {
    return PageOffset(FrontView(view));
}

// A temporary program folder with the installation's templates, and ProgramFolder set to it.
struct ProgramDir {
    TempDir dir;
    ProgramDir() {
        dir.MakeProgramFolder();
        std::string cmd =
            "cp '" + std::string(TAVISTO_DATA) + "/Templates/'* '" + dir.Path() + "Templates/'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        ProgramFolder = dir.Path();
    }
    std::string operator/(const std::string& n) const { return dir / n; }
#ifdef TAVISTO_APP
    // The real program beside its folders, in portable mode.
    // The program, with its web view library beside it.
    void AddProgram() {
        const std::string cmd = "cp '" + std::string(TAVISTO_APP) + "' '" + (dir / "tavisto") +
                                "' && cp '" + std::string(TAVISTO_VIEW_LIBRARY) + "' '" +
                                dir.Path() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        WriteFile(dir / "portable", "");
    }
#endif
    // Converts a text into MyBooks/ and returns the book file's name.
    std::string AddBook(const std::string& textName, const std::string& text) {
        WriteFile(dir / textName, text);
        BookFile b = ConvertToBook(dir / textName, BooksFolder());
        b.SaveToBookFile();
        return b.FileName;
    }
    // The same, with a reading position stored in the book file.
    std::string AddBookAt(const std::string& textName, const std::string& text, int32_t page,
                          int32_t paragraph) {
        BookFile b(BooksFolder());
        b.FileName = AddBook(textName, text);
        b.LoadFromBookFile();
        b.LastPage = page > 0 ? page : b.PageOfParagraph(paragraph);  // 0: the paragraph's
        b.LastParagraph = paragraph;
        b.SavePosition();
        return b.FileName;
    }
};

// An archive of one text member, made with the zip tool.
inline void MakeZipWithText(const std::string& zipPath, const std::string& member,
                            const std::string& text) {
    char tmpl[] = "/tmp/tavisto-zip-XXXXXX";
    std::string d = ::mkdtemp(tmpl);
    WriteFile(d + "/" + member, text);
    std::string cmd =
        "cd '" + d + "' && zip -q '" + zipPath + "' '" + member + "' && rm -rf '" + d + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
}

// A text of many short paragraphs, long enough for several virtual pages.
inline std::string ManyParagraphs(int paragraphs) {
    std::string t = "            A Test Book\r\n";
    for (int i = 2; i <= paragraphs; ++i) {
        t += "  Paragraph " + std::to_string(i) +
             " of the test book: words words words words words\r\n";
        t += "words words words words words words words words words words words\r\n";
        t += "and an end to paragraph " + std::to_string(i) + ".\r\n";
    }
    return t;
}

// Runs f once the dialog is showing (inside its modal loop), so that a handler
// that shows the dialog modally can be driven without a click.
template <class D, class F>
void WhenShown(D* dialog, F f) {
    auto* poll = new QTimer();
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, dialog, f] {
        if (!dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        f();
    });
    poll->start();
}
