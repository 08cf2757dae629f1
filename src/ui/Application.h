// The application object: one standard error box for whatever escapes an event
// handler, and the message boxes core code asks for.
#pragma once

#include <QLocale>

#include <QApplication>

#include <exception>
#include <functional>
#include <string>
#include <vector>

// Shows text in the standard error box (or hands it to ErrorBoxHook when set).
// The program's name and version as its window and About show it:
// "Tavisto 4.0 BETA".
std::string ProgramCaption();

void ShowErrorBox(const std::string& text);
// Runs a handler where an event enters, showing what escapes it in the error box.
template <class F>
void Guard(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}
// A text of the program's layers (UTF-8, or a file name's bytes) for Qt.
QString FromUtf8(const std::string& s);
// A box's text made to fit a screen: a line of more than 300 characters keeps
// its start and end around an ellipsis, and more than 20 lines end in one.
QString FitForBox(const QString& text);
// Shows an information message box (or hands it to MessageBoxHook when set).
void ShowMessageBox(const std::string& text);
// Asks a Yes/No question, No the default; true for Yes (or asks ConfirmHook when set).
bool AskYesNo(const std::string& text);

// Tests set these so that no box waits for a click.
extern std::function<void(const std::string&)> ErrorBoxHook;
extern std::function<void(const std::string&)> MessageBoxHook;
extern std::function<bool(const std::string&)> ConfirmHook;

// Every dialog opens centred on the main window (on a bare X server nothing
// else places it), and never larger than the screen.
void CentreDialogsOn(QWidget* main);

class QMimeData;
// The local files a drop carries (a file manager's URL list), as paths.
std::vector<std::string> LocalFilesOf(const QMimeData* data);

// Chooses how the view's frames reach the screen; call before the application
// object exists.
void PrepareRendering();
// The program's language follows the desktop's: Russian on a Russian desktop
// (LANG=ru_RU.UTF-8), English otherwise. Installs the translation of the
// windows, of Qt's own dialogs and of the lower layers' messages, and chooses
// the guide's edition; a locale of another language takes them away again.
// Returns the language: "ru" or "en".
std::string InstallTranslation(const QLocale& locale);

// On SIGTERM, SIGINT or SIGHUP (a logout, a kill, Ctrl+C) the program closes its
// main window as "Exit" would, so the reading position and the options are saved.
void InstallQuitSignals(std::function<void()> quit);

class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
