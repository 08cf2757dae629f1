// A drop-down list of the installed font faces, each drawn in its own face, with
// a mark on the rows of TrueType faces.
#pragma once

#include <QComboBox>

#include <string>

// True for faces whose fonts have TrueType or OpenType outlines.
bool IsTrueTypeFace(const std::string& family);

class TFontComboBox : public QComboBox {
  public:
    explicit TFontComboBox(QWidget* parent = nullptr);

    bool TTonly() const { return ttOnly_; }
    void SetTTonly(bool v);
    bool UseItemFont() const { return useItemFont_; }
    void SetUseItemFont(bool v);
    bool UpdateAllForms = false;

    // Refills the list from the platform's faces.
    void Reset();

  protected:
    void changeEvent(QEvent* e) override;

  private:
    bool ttOnly_ = false;
    bool useItemFont_ = true;
};
