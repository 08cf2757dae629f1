#include "ui/Application.h"

#include <QDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QOpenGLContext>
#include <QScreen>
#include <QSocketNotifier>
#include <QTranslator>
#include <QUrl>

#include <signal.h>

#include <sys/eventfd.h>
#include <unistd.h>
#include <algorithm>

#include "base/Errors.h"
#include "options/Options.h"
#include "view/ThreadedTimer.h"

QT_BEGIN_NAMESPACE
// Qt's own, not in its headers; the web engine declares it the same way.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

std::function<void(const std::string&)> ErrorBoxHook;
std::function<void(const std::string&)> MessageBoxHook;
std::function<bool(const std::string&)> ConfirmHook;

QString FromUtf8(const std::string& s) {
    // Messages carry file names in the system's bytes; show them as UTF-8 when they are.
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString FitForBox(const QString& text) {
    // A path of thousands of characters made a box taller than the screen.
    constexpr int MaxLine = 300, Head = 150, Tail = 140, MaxLines = 20;
    QStringList lines = text.split('\n');
    if (lines.size() > MaxLines) {
        lines = lines.mid(0, MaxLines);
        lines << QString(QChar(0x2026));
    }
    for (QString& line : lines)
        if (line.size() > MaxLine) line = line.left(Head) + QChar(0x2026) + line.right(Tail);
    return lines.join('\n');
}

namespace {
// A message box whose text is shown as it stands: messages carry names and
// values from books, archives and the command line, never markup or links.
int PlainBox(QMessageBox::Icon icon, const QString& caption, const std::string& text,
             QMessageBox::StandardButtons buttons,
             QMessageBox::StandardButton byDefault = QMessageBox::NoButton) {
    QMessageBox box(icon, caption, FitForBox(FromUtf8(text)), buttons,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    // Above the splash at start-up, and above a reader's full-screen window
    // when another start speaks.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (byDefault != QMessageBox::NoButton) box.setDefaultButton(byDefault);
    return box.exec();
}
}  // namespace

void ShowErrorBox(const std::string& text) {
    if (ErrorBoxHook) return ErrorBoxHook(text);
    PlainBox(QMessageBox::Critical, "Tavisto", text, QMessageBox::Ok);
}

void ShowMessageBox(const std::string& text) {
    if (MessageBoxHook) return MessageBoxHook(text);
    PlainBox(QMessageBox::Information, "Tavisto", text, QMessageBox::Ok);
}

bool AskYesNo(const std::string& text) {
    if (ConfirmHook) return ConfirmHook(text);
    return PlainBox(QMessageBox::Question, QCoreApplication::translate("Tavisto", "Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

namespace {
class DialogPlacer : public QObject {
  public:
    explicit DialogPlacer(QWidget* main) : QObject(main), main_(main) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            auto* d = qobject_cast<QDialog*>(o);
            if (d && d->isWindow() && main_->isVisible()) {
                QRect r = d->frameGeometry();
                r.moveCenter(main_->frameGeometry().center());
                if (QScreen* s = main_->screen()) {
                    const QRect avail = s->availableGeometry();
                    r.moveLeft(std::clamp(r.left(), avail.left(),
                                          std::max(avail.left(), avail.right() - r.width())));
                    r.moveTop(std::clamp(r.top(), avail.top(),
                                         std::max(avail.top(), avail.bottom() - r.height())));
                }
                d->move(r.topLeft());
            }
        }
        return false;
    }

  private:
    QWidget* main_;
};
}  // namespace

void CentreDialogsOn(QWidget* main) {
    qApp->installEventFilter(new DialogPlacer(main));
}

std::vector<std::string> LocalFilesOf(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& u : data->urls())
        if (u.isLocalFile()) files.push_back(u.toLocalFile().toStdString());
    return files;
}

namespace {
int quitFd = -1;
void OnQuitSignal(int) {
    uint64_t one = 1;
    if (::write(quitFd, &one, sizeof one) < 0) {
    }
}
}  // namespace

void InstallQuitSignals(std::function<void()> quit) {
    quitFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (quitFd < 0) return;
    auto* n = new QSocketNotifier(quitFd, QSocketNotifier::Read, qApp);
    QObject::connect(n, &QSocketNotifier::activated, qApp, [quit] {
        uint64_t v;
        if (::read(quitFd, &v, sizeof v) < 0) {
        }
        quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

void PrepareRendering() {
    // The pages are text. Drawn by Qt Quick's software renderer they cost the UI
    // thread far less than through OpenGL without a GPU (a virtual machine, a
    // remote desktop), and the UI thread is the one that takes every
    // auto-scroll tick. QT_QUICK_BACKEND set by the user still wins.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qgetenv("QT_QUICK_BACKEND") == "software") {
        // Nor does the web engine then draw with OpenGL: of the context shared
        // between views it reads the format only. A real one would load and
        // start the OpenGL driver, a tenth of a second before the window can
        // show; an uncreated one is set instead, and the engine's word that it
        // has no OpenGL to draw with is not passed on.
        qt_gl_set_global_share_context(new QOpenGLContext);
        static const QtMessageHandler passOn = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message.startsWith("No suitable graphics backend found")) return;
                if (passOn) passOn(type, context, message);
            });
    }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    ThreadedTimer::ErrorHandler = [](const std::string& msg) { ShowErrorBox(msg); };
}

std::string InstallTranslation(const QLocale& locale) {
    static QTranslator own, qt;
    QCoreApplication::removeTranslator(&own);
    QCoreApplication::removeTranslator(&qt);
    Messages::Translate = nullptr;
    GuideBook = DefaultRecentBook;
    if (locale.language() != QLocale::Russian) return "en";
    Q_INIT_RESOURCE(translations);
    if (!own.load(":/i18n/tavisto_ru.qm")) return "en";
    QCoreApplication::installTranslator(&own);
    if (qt.load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    Messages::Translate = [](const char* text) {
        return QCoreApplication::translate("Messages", text).toStdString();
    };
    GuideBook = RussianGuideBook;
    return "ru";
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox(QCoreApplication::translate("Tavisto", "Unknown error").toStdString());
    }
    return false;
}

std::string ProgramCaption() {
    return std::string("Tavisto ") + TAVISTO_VERSION + " BETA";
}
