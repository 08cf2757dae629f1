// A drop-down list of the installed font faces, each named in the list's own
// font with a sample of the face beside it, and a mark on the rows of TrueType
// faces.
#pragma once

#include <QCoreApplication>

#include <QComboBox>

#include <string>

// True for faces whose fonts have TrueType or OpenType outlines.
bool IsTrueTypeFace(const std::string& family);

class FontComboBox : public QComboBox {
    Q_DECLARE_TR_FUNCTIONS(FontComboBox)

  public:
    explicit FontComboBox(QWidget* parent = nullptr);

    bool TrueTypeOnly() const { return ttOnly_; }
    void SetTrueTypeOnly(bool v);
    bool UseItemFont() const { return useItemFont_; }
    void SetUseItemFont(bool v);
    bool UpdateAllForms = false;
    // What a row shows of its face: Latin and Cyrillic letters.
    static const QString SampleText;

    // Refills the list from the platform's faces.
    void Reset();
    // Makes face the current one: its row when installed (true); else a row of
    // its own at the top, in italics, "face (not installed)" (false).
    bool ShowFace(const std::string& face);
    // The face of the current row (the item text less any note).
    std::string CurrentFace() const;

  protected:
    void changeEvent(QEvent* e) override;

  private:
    bool ttOnly_ = false;
    bool useItemFont_ = true;
};
