#include "unitVoice.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

TfrmVoice* frmVoice = nullptr;

TfrmVoice::TfrmVoice() {
    frmVoice = this;
    setWindowTitle(tr("Voice"));
    setFixedSize(420, 170);
    auto* lbVoice = new QLabel(tr("Voice:"), this);
    lbVoice->setGeometry(12, 14, 90, 26);
    comboVoice = new QComboBox(this);
    comboVoice->setGeometry(104, 14, 304, 26);
    comboVoice->setToolTip(tr("The voice books are read aloud in"));
    auto* lbSpeed = new QLabel(tr("Rate:"), this);
    lbSpeed->setGeometry(12, 56, 90, 26);
    slRate = new QSlider(Qt::Horizontal, this);
    slRate->setGeometry(104, 56, 230, 26);
    slRate->setRange(-10, 10);
    slRate->setToolTip(tr("Slower to the left, faster to the right"));
    lbRate = new QLabel(this);
    lbRate->setGeometry(342, 56, 66, 26);
    connect(slRate, &QSlider::valueChanged, this, [this] { ShowRate(); });
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(232, 126, 85, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(323, 126, 85, 30);
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] { btOkClick(); });
}

TfrmVoice::~TfrmVoice() {
    if (frmVoice == this) frmVoice = nullptr;
}

void TfrmVoice::ShowRate() {
    lbRate->setText(QString::number(slRate->value()));
}

int TfrmVoice::ExecFor(const QStringList& voices, const std::string& voice, int rate) {
    comboVoice->clear();
    comboVoice->addItem(tr("The book's language"), QString());
    for (const QString& v : voices) comboVoice->addItem(v, v);
    const int at = comboVoice->findData(QString::fromStdString(voice));
    comboVoice->setCurrentIndex(at < 0 ? 0 : at);
    slRate->setValue(rate);
    ShowRate();
    return exec();
}

void TfrmVoice::btOkClick() {
    Voice = comboVoice->currentData().toString().toStdString();
    Rate = slRate->value();
    accept();
}
