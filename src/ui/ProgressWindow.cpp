#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>

#include <cmath>

namespace {

// Pages flying from one folder to another: the work-in-progress animation.
class PagesAnimation : public QWidget {
  public:
    explicit PagesAnimation(QWidget* parent) : QWidget(parent) {}
    int Frame = 0;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor folder(0xd9, 0xa4, 0x41), page(0xf7, 0xf4, 0xec), ink(0x37, 0x50, 0x60);
        auto drawFolder = [&](int x) {
            p.setPen(Qt::NoPen);
            p.setBrush(folder);
            p.drawRoundedRect(x, 22, 44, 32, 3, 3);
            p.drawRoundedRect(x, 18, 18, 8, 2, 2);
        };
        drawFolder(8);
        drawFolder(width() - 52);
        const int steps = 26;
        double t = double(Frame % steps) / (steps - 1);
        double x = 30 + t * (width() - 90);
        double y = 28 - std::sin(t * 3.14159) * 22;
        p.setBrush(page);
        p.setPen(QPen(ink, 1));
        p.drawRect(QRectF(x, y, 22, 28));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(x + 4, y + 7 + i * 5), QPointF(x + 18, y + 7 + i * 5));
    }
};

}  // namespace

ProgressWindow::ProgressWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowStaysOnTopHint) {
    setWindowTitle(tr("Text Processor"));
    setFixedSize(310, 180);
    setModal(false);
    animation = new PagesAnimation(this);
    animation->setGeometry(19, 16, 272, 60);
    stageLabel = new QLabel(tr("Processing Text"), this);
    stageLabel->setGeometry(19, 84, 273, 49);
    stageLabel->setAlignment(Qt::AlignCenter);
    stageLabel->setTextFormat(Qt::PlainText);
    QFont f("Liberation Sans");
    f.setPixelSize(16);
    stageLabel->setFont(f);
    Bar = new QProgressBar(this);
    Bar->setGeometry(19, 140, 273, 18);
    Bar->setRange(0, 100);
    anim_ = new QTimer(this);
    anim_->setInterval(60);
    connect(anim_, &QTimer::timeout, this, [this] {
        auto* a = static_cast<PagesAnimation*>(animation);
        ++a->Frame;
        a->update();
    });
}

void ProgressWindow::Begin() {
    stageLabel->setText(tr("Processing Text"));
    Bar->setValue(0);
    show();
    raise();
    anim_->start();
    QApplication::processEvents();
}

void ProgressWindow::End() {
    anim_->stop();
    hide();
}

void ProgressWindow::StageStarted(const std::string& message) {
    stageLabel->setText(QString::fromStdString(message));
    Bar->setValue(0);
    lastPercent_ = 0;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWindow::StageProgress(double fraction) {
    int pct = int(fraction * 100);
    if (pct == lastPercent_) return;
    lastPercent_ = pct;
    Bar->setValue(pct);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
}

void ProgressWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) return;  // Esc does not close it either
    QDialog::keyPressEvent(e);
}
