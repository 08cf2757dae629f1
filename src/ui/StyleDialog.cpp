#include "ui/StyleDialog.h"

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

#include "base/Errors.h"
#include "options/Options.h"
#include "ui/Application.h"
#include "ui/FontComboBox.h"
#include "ui/FontSizeComboBox.h"

LineList WorkingOptions;
bool PreviewReady = true;
std::function<bool(ColorValue&)> StyleDialog::ColorDialogHook;

namespace {
QString Hex(ColorValue c) {
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

StyleDialog::StyleDialog() {
    setWindowTitle(tr("Style Settings"));
    setFixedSize(536, 554);
    BuildPreview();
    BuildFontChoice();
    BuildColours();
    BuildPageSettings();
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setGeometry(352, 512, 85, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setGeometry(444, 512, 85, 30);
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
    WorkingOptions.clear();  // Start
}

void StyleDialog::BuildPreview() {
    preview = new QFrame(this);
    preview->setFrameStyle(QFrame::Box | QFrame::Plain);
    preview->setGeometry(8, 8, 521, 177);
    titleSample = new QLabel(tr("Sample Title"), preview);
    titleSample->setAlignment(Qt::AlignCenter);
    titleSample->setGeometry(8, 6, 505, 44);
    // "Normal Text, " over and over, 255 characters in all.
    const QString piece = tr("Normal Text, ");
    QString normal;
    while (normal.size() + piece.size() <= 255) normal += piece;
    normal += piece.left(255 - normal.size());
    textSample = new QLabel(preview);
    textSample->setProperty("sample", normal);
    textSample->setTextFormat(Qt::RichText);
    textSample->setWordWrap(true);
    textSample->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    textSample->setGeometry(8, 52, 505, 118);
    fallbackNote = new QLabel(preview);
    fallbackNote->setTextFormat(Qt::PlainText);
    fallbackNote->setGeometry(8, 150, 505, 22);
    fallbackNote->setStyleSheet(
        "QLabel { background: #fff8d0; color: #333; border: 1px solid #c8b860; padding: 1px 4px; "
        "}");
    fallbackNote->hide();
}

void StyleDialog::BuildFontChoice() {
    fontBox = new FontComboBox(this);
    fontBox->setGeometry(8, 194, 401, 28);
    fontBox->setMaxVisibleItems(10);
    fontBox->SetTrueTypeOnly(false);
    fontBox->SetUseItemFont(true);
    fontBox->UpdateAllForms = false;
    sizeBox = new FontSizeComboBox(this);
    sizeBox->setGeometry(412, 194, 117, 28);
    sizeBox->setEditText("28");
    connect(fontBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { FontChanged(); });
    connect(sizeBox, &QComboBox::currentTextChanged, this, [this] { SizeChanged(); });
}

void StyleDialog::BuildColours() {
    auto* group = new QGroupBox(tr("   Colors   "), this);
    group->setGeometry(8, 230, 521, 104);
    auto* btNorm = new QPushButton(tr("Normal Text"), group);
    btNorm->setGeometry(12, 24, 150, 28);
    auto* btTitle = new QPushButton(tr("Titles"), group);
    btTitle->setGeometry(185, 24, 150, 28);
    auto* btBg = new QPushButton(tr("Background"), group);
    btBg->setGeometry(358, 24, 150, 28);
    connect(btNorm, &QPushButton::clicked, this, [this] { ChooseTextColor(); });
    connect(btTitle, &QPushButton::clicked, this, [this] { ChooseTitleColor(); });
    connect(btBg, &QPushButton::clicked, this, [this] { ChooseBackground(); });
    // Ready-made colours for the light of the room; each can be changed after.
    auto* presets = new QLabel(tr("Presets:"), group);
    presets->setGeometry(12, 64, 80, 28);
    int x = 100;
    for (const StylePreset& p : StylePresets) {
        const QString name = QString::fromStdString(Messages::tr(p.Name));
        auto* b = new QPushButton(name, group);
        b->setGeometry(x, 64, 120, 28);
        b->setToolTip(tr("Set the three colours for %1 reading").arg(name.toLower()));
        connect(b, &QPushButton::clicked, this, [this, &p] { ApplyPreset(p); });
        x += 136;
    }
}

void StyleDialog::BuildPageSettings() {
    auto* page = new QGroupBox(tr("   Page   "), this);
    page->setGeometry(8, 340, 521, 162);
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
    widthBox = new QSpinBox(page);
    widthBox->setGeometry(124, 24, 130, 26);
    widthBox->setRange(MinTextWidth, MaxTextWidth);
    widthBox->setSuffix(tr(" characters"));
    widthBox->setToolTip(tr("The width of the text column: about this many characters a line"));
    label(tr("Line spacing:"), 272, 24, 110);
    spacingBox = decimal(384, 24, 124, 1.2, 0.05, 2);
    label(tr("Alignment:"), 12, 58, 110);
    alignBox = new QComboBox(page);
    alignBox->setGeometry(124, 58, 130, 26);
    alignBox->addItem(tr("Justified"), "justify");
    alignBox->addItem(tr("Left"), "left");
    hyphensBox = new QCheckBox(tr("Hyphenation"), page);
    hyphensBox->setGeometry(272, 58, 236, 26);
    hyphensBox->setToolTip(tr("Break long words at the end of a line, by the book's language"));
    indentBox = new QCheckBox(tr("First-line indent"), page);
    indentBox->setGeometry(12, 92, 242, 26);
    zonesBox = new QCheckBox(tr("A click at the page's left or right edge turns a screen"), page);
    zonesBox->setGeometry(12, 126, 496, 26);
    zonesBox->setToolTip(
        tr("A click in the left fifth of the page goes a screen back, in the "
           "right fifth a screen on"));
    label(tr("Space between paragraphs:"), 272, 92, 176);
    paragraphSpaceBox = decimal(448, 92, 60, 0, 0.1, 1);
    paragraphSpaceBox->setToolTip(tr("In lines, between paragraphs set without an indent"));
    const auto changed = [this] { PageSettingChanged(); };
    connect(widthBox, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    connect(spacingBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    connect(alignBox, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    connect(indentBox, &QCheckBox::toggled, this, changed);
    connect(paragraphSpaceBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    connect(hyphensBox, &QCheckBox::toggled, this, changed);
}

StyleDialog::~StyleDialog() {
    WorkingOptions.clear();  // FormDestroy
}

void StyleDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    WorkingOptions = OptionList;
    ShowStyle();
}

void StyleDialog::ApplyPreview() {
    preview->setStyleSheet(QString("QFrame { background: %1; }").arg(Hex(PreviewColor)));
    QFont f(QString::fromStdString(PreviewFace));
    if (PreviewSize > 0) f.setPointSize(PreviewSize);
    QFont tf = f;
    tf.setBold(true);
    titleSample->setFont(tf);
    textSample->setFont(f);
    titleSample->setStyleSheet(QString("color: %1; background: transparent;").arg(Hex(TitleColor)));
    textSample->setStyleSheet(QString("color: %1; background: transparent;").arg(Hex(NormalColor)));
}

void StyleDialog::ShowStyle() {
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
    sizeBox->SetFontName(PreviewFace);
    sizeBox->setEditText(QString::number(PreviewSize));
    // A face that is not installed stays chosen (the page names it first), and
    // the preview says what is shown instead.
    if (fontBox->ShowFace(PreviewFace)) {
        fallbackNote->hide();
    } else {
        const QString used = QFontInfo(textSample->font()).family();
        fallbackNote->setText(tr("%1 is not installed here: the page shows %2 instead.")
                                  .arg(QString::fromStdString(PreviewFace), used));
        fallbackNote->show();
    }
    PreviewReady = true;
}

void StyleDialog::ShowPageSetting() {
    int32_t width = 66;
    TryStrToInt(ValueOf(WorkingOptions, "text_width"), width);
    width = std::clamp(width, MinTextWidth, MaxTextWidth);
    const double spacing = DecimalOption("line_spacing", 1.45);
    const bool justify = ValueOf(WorkingOptions, "text_align") != "left";
    const bool indent = ValueOf(WorkingOptions, "first_indent") != "0";
    const double parSpace = DecimalOption("par_space", 0.6);
    widthBox->setValue(width);
    spacingBox->setValue(spacing);
    alignBox->setCurrentIndex(justify ? 0 : 1);
    indentBox->setChecked(indent);
    paragraphSpaceBox->setValue(parSpace);
    paragraphSpaceBox->setEnabled(!indent);
    hyphensBox->setChecked(ValueOf(WorkingOptions, "hyphenate") != "0");
    zonesBox->setChecked(ValueOf(WorkingOptions, "click_zones") != "0");
    // The sample as the page sets it (the column's width is the page's own).
    // Qt's rich text takes lengths in pixels only.
    const int em = QFontInfo(textSample->font()).pixelSize();
    const QString par = QString(
                            "<p align=\"%1\" style=\"line-height:%2%; text-indent:%3px; "
                            "margin-top:0; margin-bottom:%4px;\">%5</p>")
                            .arg(justify ? "justify" : "left")
                            .arg(int(spacing * 100))
                            .arg(indent ? int(1.6 * em) : 0)
                            .arg(indent ? 0 : int(parSpace * em))
                            .arg(textSample->property("sample").toString().toHtmlEscaped());
    textSample->setText(par + par);
}

void StyleDialog::PageSettingChanged() {
    if (!PreviewReady) return;
    SetValue(WorkingOptions, "text_width", std::to_string(widthBox->value()));
    SetValue(WorkingOptions, "line_spacing", DecimalText(spacingBox->value()));
    SetValue(WorkingOptions, "text_align", alignBox->currentData().toString().toStdString());
    SetValue(WorkingOptions, "first_indent", indentBox->isChecked() ? "1" : "0");
    SetValue(WorkingOptions, "par_space", DecimalText(paragraphSpaceBox->value()));
    SetValue(WorkingOptions, "hyphenate", hyphensBox->isChecked() ? "1" : "0");
    SetValue(WorkingOptions, "click_zones", zonesBox->isChecked() ? "1" : "0");
    ShowStyle();
}

void StyleDialog::FontChanged() {
    if (!PreviewReady || fontBox->currentIndex() < 0) return;
    SetValue(WorkingOptions, "norm_font", fontBox->CurrentFace());
    ShowStyle();
}

void StyleDialog::ApplyPreset(const StylePreset& preset) {
    SetValue(WorkingOptions, "norm_color", preset.NormColor);
    SetValue(WorkingOptions, "titl_color", preset.TitlColor);
    SetValue(WorkingOptions, "bgcolor", preset.BgColor);
    ShowStyle();
}

void StyleDialog::SizeChanged() {
    if (!PreviewReady) return;
    int32_t v;
    if (!TryStrToInt(sizeBox->currentText().toStdString(), v)) {
        const bool old = sizeBox->blockSignals(true);
        sizeBox->setEditText("28");
        sizeBox->blockSignals(old);
    }
    SetValue(WorkingOptions, "norm_size", sizeBox->currentText().toStdString());
    ShowStyle();
}

bool StyleDialog::PickColor(ColorValue& c) {
    if (ColorDialogHook) return ColorDialogHook(c);
    QColor chosen = QColorDialog::getColor(QColor(c.r, c.g, c.b), this, tr("Color"));
    if (!chosen.isValid()) return false;
    c = ColorValue{uint8_t(chosen.red()), uint8_t(chosen.green()), uint8_t(chosen.blue())};
    return true;
}

void StyleDialog::ChooseColor(ColorValue current, const char* option) {
    if (!PickColor(current)) return;
    SetValue(WorkingOptions, option, ColorToHex(current));
    ShowStyle();
}

void StyleDialog::ChooseTextColor() {
    ChooseColor(NormalColor, "norm_color");
}
void StyleDialog::ChooseTitleColor() {
    ChooseColor(TitleColor, "titl_color");
}
void StyleDialog::ChooseBackground() {
    ChooseColor(PreviewColor, "bgcolor");
}

void StyleDialog::Accept() {
    accept();
    OptionList = WorkingOptions;
    try {
        SaveOptions();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}
