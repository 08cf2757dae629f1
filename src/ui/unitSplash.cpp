#include "unitSplash.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "unitMain.h"
#include "view/ThdTimer.h"

TfrmSplash* frmSplash = nullptr;

// The picture is compiled into the program; a static library's resources are
// registered explicitly.
static void InitSplashResource() {
    Q_INIT_RESOURCE(resources);
}

TfrmSplash::TfrmSplash(int tickMs)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    frmSplash = this;
    InitSplashResource();
    setFixedSize(203, 289);
    auto* image = new QLabel(this);
    image->setGeometry(0, 0, 203, 289);
    QImageReader reader(":/splash.jpg", "jpeg");
    image->setPixmap(QPixmap::fromImageReader(&reader));
    ThreadedTimer1 = new TThreadedTimer(this);
    ThreadedTimer1->SetInterval(uint16_t(tickMs));
    ThreadedTimer1->OnTimer = [this](TThreadedTimer*) { ++SplashTicks; };
    ThreadedTimer1->SetEnabled(true);
}

TfrmSplash::~TfrmSplash() {
    delete ThreadedTimer1;
    if (frmSplash == this) frmSplash = nullptr;
}

void TfrmSplash::FormCreate() {
    if (QScreen* s = screen()) move(s->geometry().center() - rect().center());
    show();
    SplashTicks = 0;
    while (SplashTicks < 2) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ThreadedTimer1->SetEnabled(false);
    if (frmMain) frmMain->LoadRecentBook();
    hide();
}
