// The floor for a window drawn: a bare Qt program that shows a window filled
// with the page's colour and nothing else.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {
class TBare : public QRasterWindow {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(0xC0, 0xCB, 0xCA));
    }
};
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    TBare window;
    window.showMaximized();
    return app.exec();
}
