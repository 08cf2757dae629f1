#include "unitScrollSpeed.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

TfrmScrollSpeed* frmScrollSpeed = nullptr;

std::string IntervalText(int ms) {
    return TfrmScrollSpeed::tr("%1 ms per pixel").arg(ms).toStdString();
}

std::string SpeedText(int ms) {
    const int pps = ms > 0 ? (1000 + ms / 2) / ms : 0;
    return (pps == 1 ? TfrmScrollSpeed::tr("%1 pixel per second")
                     : TfrmScrollSpeed::tr("%1 pixels per second"))
        .arg(pps)
        .toStdString();
}

TfrmScrollSpeed::TfrmScrollSpeed() {
    frmScrollSpeed = this;
    setWindowTitle(tr("Autoscroll Speed"));
    setFixedSize(475, 198);
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setGeometry(10, 10, 455, 130);
    QFont bold("Liberation Sans");
    bold.setPixelSize(11);
    bold.setBold(true);
    auto* faster = new QLabel(tr("(+) FASTER"), this);
    faster->setFont(bold);
    faster->setGeometry(24, 30, 120, 18);
    auto* slower = new QLabel(tr("(-) SLOWER"), this);
    slower->setFont(bold);
    slower->setGeometry(331, 30, 120, 18);
    slower->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setRange(2, 200);
    TrackBar->setTickInterval(10);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setGeometry(24, 52, 427, 44);
    QFont plain("Liberation Sans");
    plain.setPixelSize(13);
    Interval = new QLabel(this);
    Interval->setFont(plain);
    Interval->setGeometry(24, 106, 200, 22);
    Speed = new QLabel(this);
    Speed->setFont(plain);
    Speed->setGeometry(251, 106, 200, 22);
    Speed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(TrackBar, &QSlider::valueChanged, this, [this](int v) {
        Interval->setText(QString::fromStdString(IntervalText(v)));
        Speed->setText(QString::fromStdString(SpeedText(v)));
    });
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(150, 154, 80, 30);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(245, 154, 80, 30);
    connect(ok, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmScrollSpeed::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    TrackBar->setValue(ChosenInterval);  // the track bar keeps it within 2 to 200
    Interval->setText(QString::fromStdString(IntervalText(TrackBar->value())));
    Speed->setText(QString::fromStdString(SpeedText(TrackBar->value())));
}

void TfrmScrollSpeed::OKBtnClick() {
    ChosenInterval = TrackBar->value();
    accept();
}
