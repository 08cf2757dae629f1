#include "ui/VoiceDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "reading/VoiceChoice.h"

VoiceDialog::VoiceDialog() {
    setWindowTitle(tr("Voice"));
    setFixedSize(420, 204);
    auto* lbVoice = new QLabel(tr("Voice:"), this);
    lbVoice->setGeometry(12, 14, 90, 26);
    voiceBox = new QComboBox(this);
    voiceBox->setGeometry(104, 14, 304, 26);
    voiceBox->setToolTip(tr("The voice books are read aloud in"));
    auto* lbVariant = new QLabel(tr("Variant:"), this);
    lbVariant->setGeometry(12, 48, 90, 26);
    variantBox = new QComboBox(this);
    variantBox->setGeometry(104, 48, 304, 26);
    variantBox->setToolTip(tr("The same voice, spoken otherwise"));
    connect(voiceBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { ShowVariants({}); });
    auto* lbSpeed = new QLabel(tr("Rate:"), this);
    lbSpeed->setGeometry(12, 90, 90, 26);
    rateSlider = new QSlider(Qt::Horizontal, this);
    rateSlider->setGeometry(104, 90, 200, 26);
    rateSlider->setRange(-10, 10);
    rateSlider->setToolTip(tr("Slower to the left, faster to the right"));
    rateLabel = new QLabel(this);
    rateLabel->setGeometry(312, 90, 100, 26);
    connect(rateSlider, &QSlider::valueChanged, this, [this] { ShowRate(); });
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(232, 160, 85, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(323, 160, 85, 30);
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
}

VoiceDialog::~VoiceDialog() {}

void VoiceDialog::ShowRate() {
    // -10 to 10, in words.
    const int r = rateSlider->value();
    rateLabel->setText(r <= -6   ? tr("very slow")
                       : r <= -2 ? tr("slow")
                       : r <= 1  ? tr("normal")
                       : r <= 5  ? tr("fast")
                                 : tr("very fast"));
}

void VoiceDialog::ShowVariants(const std::string& variant) {
    variantBox->clear();
    variantBox->addItem(tr("none"), QString());
    const std::string main = voiceBox->currentData().toString().toStdString();
    for (const std::string& v : VariantsOf(voices_, main))
        variantBox->addItem(QString::fromStdString(v), QString::fromStdString(v));
    const int at = variantBox->findData(QString::fromStdString(variant));
    variantBox->setCurrentIndex(at < 0 ? 0 : at);
    variantBox->setEnabled(variantBox->count() > 1);
}

int VoiceDialog::ExecFor(const QStringList& voices, const std::string& voice, int rate) {
    // One entry a voice; its variants ("Voice+Variant") in the second box.
    voices_.clear();
    for (const QString& v : voices) voices_.push_back(v.toStdString());
    const size_t plus = voice.find('+');
    const std::string main = voice.substr(0, plus);
    voiceBox->blockSignals(true);
    voiceBox->clear();
    voiceBox->addItem(tr("The book's language"), QString());
    for (const std::string& v : MainVoices(voices_))
        voiceBox->addItem(QString::fromStdString(v), QString::fromStdString(v));
    const int at = voiceBox->findData(QString::fromStdString(main));
    voiceBox->setCurrentIndex(at < 0 ? 0 : at);
    voiceBox->blockSignals(false);
    ShowVariants(plus == std::string::npos ? std::string() : voice.substr(plus + 1));
    rateSlider->setValue(rate);
    ShowRate();
    return exec();
}

void VoiceDialog::Accept() {
    Voice = voiceBox->currentData().toString().toStdString();
    const std::string variant = variantBox->currentData().toString().toStdString();
    if (!Voice.empty() && !variant.empty()) Voice += "+" + variant;
    Rate = rateSlider->value();
    accept();
}
