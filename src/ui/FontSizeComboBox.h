// An editable drop-down of the point sizes one face provides.
#pragma once

#include <QComboBox>

#include <functional>
#include <string>

class FontSizeComboBox : public QComboBox {
  public:
    explicit FontSizeComboBox(QWidget* parent = nullptr);
    const std::string& FontName() const { return fontName_; }
    // Refills the sizes: the sixteen default sizes for a TrueType face, the sizes
    // a bitmap face has (ascending, once each), none for an empty or unknown face.
    void SetFontName(const std::string& name);
    std::function<void()> OnClick;

  private:
    std::string fontName_;
};
