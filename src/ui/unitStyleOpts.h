// The style dialog: font face and size of the book text and the colours of text,
// titles and page, with a live preview, edited on a copy of the options.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <functional>

#include "core/unitStrings.h"
#include "core/unitStyleValues.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QSpinBox;
class TFontComboBox;
class TFontSizeComboBox;

extern TLines WorkingOptions;
extern bool PreviewReady;

class TfrmStyle : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(TfrmStyle)

  public:
    TfrmStyle();
    ~TfrmStyle() override;

    QFrame* pnPreview = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* lbNormal = nullptr;
    // Says which face the page uses when the chosen one is not installed.
    QLabel* lbFallback = nullptr;
    TFontComboBox* comboFont = nullptr;
    TFontSizeComboBox* comboSize = nullptr;
    // How pages are set: the column's width in characters, the line spacing,
    // the alignment, a first-line indent or a space between paragraphs, hyphenation.
    QSpinBox* spWidth = nullptr;
    QDoubleSpinBox* spSpacing = nullptr;
    QComboBox* comboAlign = nullptr;
    QCheckBox* cbIndent = nullptr;
    QDoubleSpinBox* spParSpace = nullptr;
    QCheckBox* cbHyphens = nullptr;

    // What the preview shows now.
    TColorValue PreviewColor, TitleColor, NormalColor;
    std::string PreviewFace;
    int PreviewSize = 0;

    void ShowStyle();
    void comboFontChange();
    void comboSizeChange();
    void btNormColorClick();
    void btTitleColorClick();
    void btBgColorClick();
    // Sets the three colours of one of StylePresets.
    void ApplyPreset(const TStylePreset& preset);
    // Takes the page-setting controls into the working options.
    void PageSettingChange();
    void btOkClick();

    // The colour dialog's answer; tests set it so that no dialog waits.
    static std::function<bool(TColorValue& color)> ColorDialogHook;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    bool PickColor(TColorValue& c);
    // Runs the colour dialog from current and stores a confirmed colour under option.
    void ChooseColor(TColorValue current, const char* option);
    void ApplyPreview();
    // The preview's text set as the page would set it.
    void ShowPageSetting();
};

extern TfrmStyle* frmStyle;
