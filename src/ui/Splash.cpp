#include "ui/Splash.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "view/ThreadedTimer.h"

// The picture is compiled into the program; a static library's resources are
// registered explicitly.
static void InitSplashResource() {
    Q_INIT_RESOURCE(resources);
}

Splash::Splash(int tickMs)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    InitSplashResource();
    setFixedSize(203, 289);
    auto* image = new QLabel(this);
    image->setGeometry(0, 0, 203, 289);
    QImageReader reader(":/splash.jpg", "jpeg");
    image->setPixmap(QPixmap::fromImageReader(&reader));
    ThreadedTimer1 = new ThreadedTimer(this);
    ThreadedTimer1->SetInterval(uint16_t(tickMs));
    ThreadedTimer1->OnTimer = [this](ThreadedTimer*) { ++SplashTicks; };
    ThreadedTimer1->SetEnabled(true);
}

Splash::~Splash() {
    delete ThreadedTimer1;
}

void Splash::Start(const std::function<void()>& afterWait) {
    if (QScreen* s = screen()) move(s->geometry().center() - rect().center());
    show();
    SplashTicks = 0;
    while (SplashTicks < 2) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ThreadedTimer1->SetEnabled(false);
    afterWait();
    hide();
}
