// The style dialog: font face and size of the book text and the colours of text,
// titles and page, with a live preview, edited on a copy of the options.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <functional>

#include "base/Strings.h"
#include "options/StyleValues.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QSpinBox;
class FontComboBox;
class FontSizeComboBox;

extern LineList WorkingOptions;
extern bool PreviewReady;

class StyleDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(StyleDialog)

  public:
    StyleDialog();
    ~StyleDialog() override;

    QFrame* preview = nullptr;
    QLabel* titleSample = nullptr;
    QLabel* textSample = nullptr;
    // Says which face the page uses when the chosen one is not installed.
    QLabel* fallbackNote = nullptr;
    FontComboBox* fontBox = nullptr;
    FontSizeComboBox* sizeBox = nullptr;
    // How pages are set: the column's width in characters, the line spacing,
    // the alignment, a first-line indent or a space between paragraphs, hyphenation.
    QSpinBox* widthBox = nullptr;
    QDoubleSpinBox* spacingBox = nullptr;
    QComboBox* alignBox = nullptr;
    QCheckBox* indentBox = nullptr;
    QDoubleSpinBox* paragraphSpaceBox = nullptr;
    QCheckBox* hyphensBox = nullptr;
    QCheckBox* zonesBox = nullptr;

    // What the preview shows now.
    ColorValue PreviewColor, TitleColor, NormalColor;
    std::string PreviewFace;
    int PreviewSize = 0;

    void ShowStyle();
    void FontChanged();
    void SizeChanged();
    void ChooseTextColor();
    void ChooseTitleColor();
    void ChooseBackground();
    // Sets the three colours of one of StylePresets.
    void ApplyPreset(const StylePreset& preset);
    // Takes the page-setting controls into the working options.
    void PageSettingChanged();
    void Accept();

    // The colour dialog's answer; tests set it so that no dialog waits.
    static std::function<bool(ColorValue& color)> ColorDialogHook;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    // The constructor's parts: the sample page, the face and size, the
    // colours and their presets, how pages are set.
    void BuildPreview();
    void BuildFontChoice();
    void BuildColours();
    void BuildPageSettings();
    bool PickColor(ColorValue& c);
    // Runs the colour dialog from current and stores a confirmed colour under option.
    void ChooseColor(ColorValue current, const char* option);
    void ApplyPreview();
    // The preview's text set as the page would set it.
    void ShowPageSetting();
};
