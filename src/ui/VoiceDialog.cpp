#include "ui/VoiceDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

VoiceDialog::VoiceDialog() {
    setWindowTitle(tr("Voice"));
    setFixedSize(420, 170);
    auto* lbVoice = new QLabel(tr("Voice:"), this);
    lbVoice->setGeometry(12, 14, 90, 26);
    voiceBox = new QComboBox(this);
    voiceBox->setGeometry(104, 14, 304, 26);
    voiceBox->setToolTip(tr("The voice books are read aloud in"));
    auto* lbSpeed = new QLabel(tr("Rate:"), this);
    lbSpeed->setGeometry(12, 56, 90, 26);
    rateSlider = new QSlider(Qt::Horizontal, this);
    rateSlider->setGeometry(104, 56, 230, 26);
    rateSlider->setRange(-10, 10);
    rateSlider->setToolTip(tr("Slower to the left, faster to the right"));
    rateLabel = new QLabel(this);
    rateLabel->setGeometry(342, 56, 66, 26);
    connect(rateSlider, &QSlider::valueChanged, this, [this] { ShowRate(); });
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(232, 126, 85, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(323, 126, 85, 30);
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
}

VoiceDialog::~VoiceDialog() {}

void VoiceDialog::ShowRate() {
    rateLabel->setText(QString::number(rateSlider->value()));
}

int VoiceDialog::ExecFor(const QStringList& voices, const std::string& voice, int rate) {
    voiceBox->clear();
    voiceBox->addItem(tr("The book's language"), QString());
    for (const QString& v : voices) voiceBox->addItem(v, v);
    const int at = voiceBox->findData(QString::fromStdString(voice));
    voiceBox->setCurrentIndex(at < 0 ? 0 : at);
    rateSlider->setValue(rate);
    ShowRate();
    return exec();
}

void VoiceDialog::Accept() {
    Voice = voiceBox->currentData().toString().toStdString();
    Rate = rateSlider->value();
    accept();
}
