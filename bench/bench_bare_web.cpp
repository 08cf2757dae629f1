// The floors for the view: a bare Qt WebEngine program that shows a local page
// (argv[1]) in a maximized view, set up as the reader sets up its engine
// (software drawing, no OpenGL context made). With "--scroll MS WIDTH HEIGHT"
// the view is of that size and the page's own script scrolls it one pixel
// every MS ms: the least auto-scroll can cost in a Qt WebEngine view.
#include <QApplication>
#include <QOpenGLContext>
#include <QUrl>
#include <QWebEngineView>

#include <cstdlib>
#include <cstring>

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qt_gl_set_global_share_context(new QOpenGLContext);
    QApplication app(argc, argv);
    QWebEngineView view;
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    if (argc >= 6 && std::strcmp(argv[2], "--scroll") == 0) {
        const int ms = std::atoi(argv[3]);
        QObject::connect(&view, &QWebEngineView::loadFinished, [&view, ms] {
            view.page()->runJavaScript(
                QStringLiteral("setInterval(() => window.scrollBy(0, 1), %1)").arg(ms));
        });
        view.resize(std::atoi(argv[4]), std::atoi(argv[5]));
        view.show();
    } else {
        view.showMaximized();
    }
    return app.exec();
}
