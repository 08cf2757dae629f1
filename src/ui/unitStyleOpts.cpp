#include "unitStyleOpts.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "FontComboBox.h"
#include "SVFontCombos.h"
#include "core/unitErrors.h"
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

// A decimal as the options keep it: a point, no zeros at the end ("1.45", "2").
std::string DecimalText(double v) {
    QString t = QString::number(v, 'f', 2);
    while (t.endsWith('0')) t.chop(1);
    if (t.endsWith('.')) t.chop(1);
    return t.toStdString();
}

double DecimalOption(const char* key, double fallback) {
    double v = fallback;
    return ReadDecimal(ValueOf(WorkingOptions, key), v) ? v : fallback;
}
}  // namespace

TfrmStyle::TfrmStyle() {
    frmStyle = this;
    setWindowTitle(tr("Style Settings"));
    setFixedSize(536, 520);
    pnPreview = new QFrame(this);
    pnPreview->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnPreview->setGeometry(8, 8, 521, 177);
    lbTitle = new QLabel(tr("Sample Title"), pnPreview);
    lbTitle->setAlignment(Qt::AlignCenter);
    lbTitle->setGeometry(8, 6, 505, 44);
    // "Normal Text, " over and over, 255 characters in all.
    const QString piece = tr("Normal Text, ");
    QString normal;
    while (normal.size() + piece.size() <= 255) normal += piece;
    normal += piece.left(255 - normal.size());
    lbNormal = new QLabel(pnPreview);
    lbNormal->setProperty("sample", normal);
    lbNormal->setTextFormat(Qt::RichText);
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

    auto* group = new QGroupBox(tr("   Colors   "), this);
    group->setGeometry(8, 230, 521, 104);
    auto* btNorm = new QPushButton(tr("Normal Text"), group);
    btNorm->setGeometry(12, 24, 150, 28);
    auto* btTitle = new QPushButton(tr("Titles"), group);
    btTitle->setGeometry(185, 24, 150, 28);
    auto* btBg = new QPushButton(tr("Background"), group);
    btBg->setGeometry(358, 24, 150, 28);
    connect(btNorm, &QPushButton::clicked, this, [this] { btNormColorClick(); });
    connect(btTitle, &QPushButton::clicked, this, [this] { btTitleColorClick(); });
    connect(btBg, &QPushButton::clicked, this, [this] { btBgColorClick(); });
    // Ready-made colours for the light of the room; each can be changed after.
    auto* presets = new QLabel(tr("Presets:"), group);
    presets->setGeometry(12, 64, 80, 28);
    int x = 100;
    for (const TStylePreset& p : StylePresets) {
        const QString name = QString::fromStdString(TMsg::tr(p.Name));
        auto* b = new QPushButton(name, group);
        b->setGeometry(x, 64, 120, 28);
        b->setToolTip(tr("Set the three colours for %1 reading").arg(name.toLower()));
        connect(b, &QPushButton::clicked, this, [this, &p] { ApplyPreset(p); });
        x += 136;
    }

    auto* page = new QGroupBox(tr("   Page   "), this);
    page->setGeometry(8, 340, 521, 128);
    auto label = [page](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, page);
        l->setGeometry(x, y, w, 26);
        return l;
    };
    // A number from min to 2.0 in steps, shown with so many decimals.
    auto decimal = [page](int x, int y, int w, double min, double step, int decimals) {
        auto* sp = new QDoubleSpinBox(page);
        sp->setGeometry(x, y, w, 26);
        sp->setRange(min, 2.0);
        sp->setSingleStep(step);
        sp->setDecimals(decimals);
        return sp;
    };
    label(tr("Column width:"), 12, 24, 110);
    spWidth = new QSpinBox(page);
    spWidth->setGeometry(124, 24, 130, 26);
    spWidth->setRange(MinTextWidth, MaxTextWidth);
    spWidth->setSuffix(tr(" characters"));
    spWidth->setToolTip(tr("The width of the text column: about this many characters a line"));
    label(tr("Line spacing:"), 272, 24, 110);
    spSpacing = decimal(384, 24, 124, 1.2, 0.05, 2);
    label(tr("Alignment:"), 12, 58, 110);
    comboAlign = new QComboBox(page);
    comboAlign->setGeometry(124, 58, 130, 26);
    comboAlign->addItem(tr("Justified"), "justify");
    comboAlign->addItem(tr("Left"), "left");
    cbHyphens = new QCheckBox(tr("Hyphenation"), page);
    cbHyphens->setGeometry(272, 58, 236, 26);
    cbHyphens->setToolTip(tr("Break long words at the end of a line, by the book's language"));
    cbIndent = new QCheckBox(tr("First-line indent"), page);
    cbIndent->setGeometry(12, 92, 242, 26);
    label(tr("Space between paragraphs:"), 272, 92, 176);
    spParSpace = decimal(448, 92, 60, 0, 0.1, 1);
    spParSpace->setToolTip(tr("In lines, between paragraphs set without an indent"));
    const auto changed = [this] { PageSettingChange(); };
    connect(spWidth, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    connect(spSpacing, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    connect(comboAlign, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    connect(cbIndent, &QCheckBox::toggled, this, changed);
    connect(spParSpace, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    connect(cbHyphens, &QCheckBox::toggled, this, changed);

    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(352, 478, 85, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(444, 478, 85, 30);
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
    ShowPageSetting();
    comboSize->SetFontName(PreviewFace);
    comboSize->setEditText(QString::number(PreviewSize));
    // A face that is not installed stays chosen (the page names it first), and
    // the preview says what is shown instead.
    if (comboFont->ShowFace(PreviewFace)) {
        lbFallback->hide();
    } else {
        const QString used = QFontInfo(lbNormal->font()).family();
        lbFallback->setText(tr("%1 is not installed here: the page shows %2 instead.")
                                .arg(QString::fromStdString(PreviewFace), used));
        lbFallback->show();
    }
    PreviewReady = true;
}

void TfrmStyle::ShowPageSetting() {
    int32_t width = 66;
    TryStrToInt(ValueOf(WorkingOptions, "text_width"), width);
    width = std::clamp(width, MinTextWidth, MaxTextWidth);
    const double spacing = DecimalOption("line_spacing", 1.45);
    const bool justify = ValueOf(WorkingOptions, "text_align") != "left";
    const bool indent = ValueOf(WorkingOptions, "first_indent") != "0";
    const double parSpace = DecimalOption("par_space", 0.6);
    spWidth->setValue(width);
    spSpacing->setValue(spacing);
    comboAlign->setCurrentIndex(justify ? 0 : 1);
    cbIndent->setChecked(indent);
    spParSpace->setValue(parSpace);
    spParSpace->setEnabled(!indent);
    cbHyphens->setChecked(ValueOf(WorkingOptions, "hyphenate") != "0");
    // The sample as the page sets it (the column's width is the page's own).
    // Qt's rich text takes lengths in pixels only.
    const int em = QFontInfo(lbNormal->font()).pixelSize();
    const QString par = QString(
                            "<p align=\"%1\" style=\"line-height:%2%; text-indent:%3px; "
                            "margin-top:0; margin-bottom:%4px;\">%5</p>")
                            .arg(justify ? "justify" : "left")
                            .arg(int(spacing * 100))
                            .arg(indent ? int(1.6 * em) : 0)
                            .arg(indent ? 0 : int(parSpace * em))
                            .arg(lbNormal->property("sample").toString().toHtmlEscaped());
    lbNormal->setText(par + par);
}

void TfrmStyle::PageSettingChange() {
    if (!PreviewReady) return;
    SetValue(WorkingOptions, "text_width", std::to_string(spWidth->value()));
    SetValue(WorkingOptions, "line_spacing", DecimalText(spSpacing->value()));
    SetValue(WorkingOptions, "text_align", comboAlign->currentData().toString().toStdString());
    SetValue(WorkingOptions, "first_indent", cbIndent->isChecked() ? "1" : "0");
    SetValue(WorkingOptions, "par_space", DecimalText(spParSpace->value()));
    SetValue(WorkingOptions, "hyphenate", cbHyphens->isChecked() ? "1" : "0");
    ShowStyle();
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
    QColor chosen = QColorDialog::getColor(QColor(c.r, c.g, c.b), this, tr("Color"));
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
