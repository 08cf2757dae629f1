#include "unitStyleOpts.h"

#include <QColorDialog>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "FontComboBox.h"
#include "SVFontCombos.h"
#include "options/unitOptStorage.h"
#include "unitApp.h"

TfrmStyle* frmStyle = nullptr;
TLines WorkingOptions;
bool PreviewReady = true;
std::function<bool(TColorValue&)> TfrmStyle::ColorDialogHook;

namespace {
QString Hex(TColorValue c) {
    return QString("#%1").arg(QString::fromStdString(ColorToHex(c)));
}
}  // namespace

TfrmStyle::TfrmStyle() {
    frmStyle = this;
    setWindowTitle("Style Settings");
    setFixedSize(536, 398);
    pnPreview = new QFrame(this);
    pnPreview->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnPreview->setGeometry(8, 8, 521, 177);
    lbTitle = new QLabel("Sample Title", pnPreview);
    lbTitle->setAlignment(Qt::AlignCenter);
    lbTitle->setGeometry(8, 6, 505, 44);
    std::string normal;
    while (normal.size() + 13 <= 255) normal += "Normal Text, ";
    normal += std::string("Normal Text, ").substr(0, 255 - normal.size());
    lbNormal = new QLabel(QString::fromStdString(normal), pnPreview);
    lbNormal->setWordWrap(true);
    lbNormal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbNormal->setGeometry(8, 52, 505, 118);
    lbFallback = new QLabel(pnPreview);
    lbFallback->setTextFormat(Qt::PlainText);
    lbFallback->setGeometry(8, 150, 505, 22);
    lbFallback->setStyleSheet(
        "QLabel { background: #fff8d0; color: #333; border: 1px solid #c8b860; padding: 1px 4px; "
        "}");
    lbFallback->hide();

    comboFont = new TFontComboBox(this);
    comboFont->setGeometry(8, 194, 401, 28);
    comboFont->setMaxVisibleItems(10);
    comboFont->SetTTonly(false);
    comboFont->SetUseItemFont(true);
    comboFont->UpdateAllForms = false;
    comboSize = new TFontSizeComboBox(this);
    comboSize->setGeometry(412, 194, 117, 28);
    comboSize->setEditText("28");
    connect(comboFont, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { comboFontChange(); });
    connect(comboSize, &QComboBox::currentTextChanged, this, [this] { comboSizeChange(); });

    auto* group = new QGroupBox("   Colors   ", this);
    group->setGeometry(8, 230, 521, 104);
    auto* btNorm = new QPushButton("Normal Text", group);
    btNorm->setGeometry(12, 24, 150, 28);
    auto* btTitle = new QPushButton("Titles", group);
    btTitle->setGeometry(185, 24, 150, 28);
    auto* btBg = new QPushButton("Background", group);
    btBg->setGeometry(358, 24, 150, 28);
    connect(btNorm, &QPushButton::clicked, this, [this] { btNormColorClick(); });
    connect(btTitle, &QPushButton::clicked, this, [this] { btTitleColorClick(); });
    connect(btBg, &QPushButton::clicked, this, [this] { btBgColorClick(); });
    // Ready-made colours for the light of the room; each can be changed after.
    auto* presets = new QLabel("Presets:", group);
    presets->setGeometry(12, 64, 80, 28);
    int x = 100;
    for (const TStylePreset& p : StylePresets) {
        auto* b = new QPushButton(p.Name, group);
        b->setGeometry(x, 64, 120, 28);
        b->setToolTip(QString("Set the three colours for %1 reading").arg(p.Name));
        connect(b, &QPushButton::clicked, this, [this, &p] { ApplyPreset(p); });
        x += 136;
    }

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(352, 356, 85, 30);
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(444, 356, 85, 30);
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] { btOkClick(); });
    WorkingOptions.clear();  // FormCreate
}

TfrmStyle::~TfrmStyle() {
    WorkingOptions.clear();  // FormDestroy
    if (frmStyle == this) frmStyle = nullptr;
}

void TfrmStyle::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    WorkingOptions = OptionList;
    ShowStyle();
}

void TfrmStyle::ApplyPreview() {
    pnPreview->setStyleSheet(QString("QFrame { background: %1; }").arg(Hex(PreviewColor)));
    QFont f(QString::fromStdString(PreviewFace));
    if (PreviewSize > 0) f.setPointSize(PreviewSize);
    QFont tf = f;
    tf.setBold(true);
    lbTitle->setFont(tf);
    lbNormal->setFont(f);
    lbTitle->setStyleSheet(QString("color: %1; background: transparent;").arg(Hex(TitleColor)));
    lbNormal->setStyleSheet(QString("color: %1; background: transparent;").arg(Hex(NormalColor)));
}

void TfrmStyle::ShowStyle() {
    PreviewReady = false;
    PreviewColor = HexToColor(ValueOf(WorkingOptions, "bgcolor"));
    ApplyPreview();
    PreviewFace = ValueOf(WorkingOptions, "norm_font");
    ApplyPreview();
    PreviewSize = StrToInt(ValueOf(WorkingOptions, "norm_size"));
    ApplyPreview();
    TitleColor = HexToColor(ValueOf(WorkingOptions, "titl_color"));
    ApplyPreview();
    NormalColor = HexToColor(ValueOf(WorkingOptions, "norm_color"));
    ApplyPreview();
    comboSize->SetFontName(PreviewFace);
    comboSize->setEditText(QString::number(PreviewSize));
    // A face that is not installed stays chosen (the page names it first), and
    // the preview says what is shown instead.
    if (comboFont->ShowFace(PreviewFace)) {
        lbFallback->hide();
    } else {
        const QString used = QFontInfo(lbNormal->font()).family();
        lbFallback->setText(QString("%1 is not installed here: the page shows %2 instead.")
                                .arg(QString::fromStdString(PreviewFace), used));
        lbFallback->show();
    }
    PreviewReady = true;
}

void TfrmStyle::comboFontChange() {
    if (!PreviewReady || comboFont->currentIndex() < 0) return;
    SetValue(WorkingOptions, "norm_font", comboFont->CurrentFace());
    ShowStyle();
}

void TfrmStyle::ApplyPreset(const TStylePreset& preset) {
    SetValue(WorkingOptions, "norm_color", preset.NormColor);
    SetValue(WorkingOptions, "titl_color", preset.TitlColor);
    SetValue(WorkingOptions, "bgcolor", preset.BgColor);
    ShowStyle();
}

void TfrmStyle::comboSizeChange() {
    if (!PreviewReady) return;
    int32_t v;
    if (!TryStrToInt(comboSize->currentText().toStdString(), v)) {
        const bool old = comboSize->blockSignals(true);
        comboSize->setEditText("28");
        comboSize->blockSignals(old);
    }
    SetValue(WorkingOptions, "norm_size", comboSize->currentText().toStdString());
    ShowStyle();
}

bool TfrmStyle::PickColor(TColorValue& c) {
    if (ColorDialogHook) return ColorDialogHook(c);
    QColor chosen = QColorDialog::getColor(QColor(c.r, c.g, c.b), this, "Color");
    if (!chosen.isValid()) return false;
    c = TColorValue{uint8_t(chosen.red()), uint8_t(chosen.green()), uint8_t(chosen.blue())};
    return true;
}

void TfrmStyle::ChooseColor(TColorValue current, const char* option) {
    if (!PickColor(current)) return;
    SetValue(WorkingOptions, option, ColorToHex(current));
    ShowStyle();
}

void TfrmStyle::btNormColorClick() {
    ChooseColor(NormalColor, "norm_color");
}
void TfrmStyle::btTitleColorClick() {
    ChooseColor(TitleColor, "titl_color");
}
void TfrmStyle::btBgColorClick() {
    ChooseColor(PreviewColor, "bgcolor");
}

void TfrmStyle::btOkClick() {
    accept();
    OptionList = WorkingOptions;
    try {
        SaveOptions();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}
