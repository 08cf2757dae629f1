#include "unitApp.h"

#include <QMessageBox>

#include "view/ThdTimer.h"

std::function<void(const std::string&)> ErrorBoxHook;
std::function<void(const std::string&)> MessageBoxHook;
std::function<bool(const std::string&)> ConfirmHook;

static QString Text(const std::string& s) {
    // Messages carry file names in the system's bytes; show them as UTF-8 when they are.
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void ShowErrorBox(const std::string& text) {
    if (ErrorBoxHook) return ErrorBoxHook(text);
    QMessageBox::critical(QApplication::activeWindow(), "Tavisto", Text(text));
}

void ShowMessageBox(const std::string& text) {
    if (MessageBoxHook) return MessageBoxHook(text);
    QMessageBox::information(QApplication::activeWindow(), "Tavisto", Text(text));
}

bool AskYesNo(const std::string& text) {
    if (ConfirmHook) return ConfirmHook(text);
    return QMessageBox::question(QApplication::activeWindow(), "Confirm", Text(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

TMessageBoxNotifier& AppNotifier() {
    static TMessageBoxNotifier n;
    return n;
}

void PrepareRendering() {
    // The pages are text. Drawn by Qt Quick's software renderer they cost the UI
    // thread far less than through OpenGL without a GPU (a virtual machine, a
    // remote desktop), and the UI thread is the one that takes every
    // auto-scroll tick. QT_QUICK_BACKEND set by the user still wins.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    TThreadedTimer::ErrorHandler = [](const std::string& msg) { ShowErrorBox(msg); };
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox("Unknown error");
    }
    return false;
}
