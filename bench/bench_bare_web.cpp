// The floor for a page's text shown: a bare Qt WebEngine program that shows a
// local page of text (argv[1]) in a maximized view, set up as the reader sets
// up its engine (software drawing, no OpenGL context made).
#include <QApplication>
#include <QOpenGLContext>
#include <QUrl>
#include <QWebEngineView>

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
    view.showMaximized();
    return app.exec();
}
