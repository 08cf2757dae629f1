#include "unitScrollSpeed.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

TfrmScrollSpeed* frmScrollSpeed = nullptr;

TfrmScrollSpeed::TfrmScrollSpeed() {
    frmScrollSpeed = this;
    setWindowTitle("Autoscroll Speed");
    setFixedSize(475, 198);
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setGeometry(10, 10, 455, 130);
    QFont bold("Liberation Sans");
    bold.setPixelSize(11);
    bold.setBold(true);
    auto* faster = new QLabel("(+) FASTER", this);
    faster->setFont(bold);
    faster->setGeometry(24, 30, 120, 18);
    auto* slower = new QLabel("(-) SLOWER", this);
    slower->setFont(bold);
    slower->setGeometry(331, 30, 120, 18);
    slower->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setRange(2, 200);
    TrackBar->setTickInterval(10);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setGeometry(24, 58, 427, 50);
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(150, 154, 80, 30);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(245, 154, 80, 30);
    connect(ok, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmScrollSpeed::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    TrackBar->setValue(ChosenInterval);  // the track bar keeps it within 2 to 200
}

void TfrmScrollSpeed::OKBtnClick() {
    ChosenInterval = TrackBar->value();
    accept();
}
