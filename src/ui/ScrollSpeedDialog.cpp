#include "ui/ScrollSpeedDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

std::string IntervalText(int ms) {
    return ScrollSpeedDialog::tr("%1 ms per pixel").arg(ms).toStdString();
}

std::string SpeedText(int ms) {
    const int pps = ms > 0 ? (1000 + ms / 2) / ms : 0;
    return (pps == 1 ? ScrollSpeedDialog::tr("%1 pixel per second")
                     : ScrollSpeedDialog::tr("%1 pixels per second"))
        .arg(pps)
        .toStdString();
}

ScrollSpeedDialog::ScrollSpeedDialog() {
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
    speedSlider = new QSlider(Qt::Horizontal, this);
    speedSlider->setRange(2, 200);
    // Its value is the interval; faster (a shorter one) lies to the right.
    speedSlider->setInvertedAppearance(true);
    speedSlider->setInvertedControls(true);
    speedSlider->setTickInterval(10);
    speedSlider->setTickPosition(QSlider::TicksBelow);
    speedSlider->setGeometry(24, 52, 427, 44);
    QFont plain("Liberation Sans");
    plain.setPixelSize(13);
    Interval = new QLabel(this);
    Interval->setFont(plain);
    Interval->setGeometry(24, 106, 200, 22);
    Speed = new QLabel(this);
    Speed->setFont(plain);
    Speed->setGeometry(251, 106, 200, 22);
    Speed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(speedSlider, &QSlider::valueChanged, this, [this](int v) {
        Interval->setText(QString::fromStdString(IntervalText(v)));
        Speed->setText(QString::fromStdString(SpeedText(v)));
    });
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(150, 154, 80, 30);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(245, 154, 80, 30);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ScrollSpeedDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    speedSlider->setValue(ChosenInterval);  // the track bar keeps it within 2 to 200
    Interval->setText(QString::fromStdString(IntervalText(speedSlider->value())));
    Speed->setText(QString::fromStdString(SpeedText(speedSlider->value())));
}

void ScrollSpeedDialog::Accept() {
    ChosenInterval = speedSlider->value();
    accept();
}
