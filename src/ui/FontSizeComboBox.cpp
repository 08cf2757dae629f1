#include "ui/FontSizeComboBox.h"

#include <QFontDatabase>

#include "options/StyleValues.h"
#include "ui/FontComboBox.h"

FontSizeComboBox::FontSizeComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void FontSizeComboBox::SetFontName(const std::string& name) {
    fontName_ = name;
    const QString text = currentText();
    setUpdatesEnabled(false);
    const bool old = blockSignals(true);
    clear();
    if (name.empty()) {
        blockSignals(old);
        setUpdatesEnabled(true);
        return;
    }
    std::vector<std::string> sizes;
    const QString family = QString::fromStdString(name);
    if (QFontDatabase::hasFamily(family)) {  // any foundry
        if (IsTrueTypeFace(name)) {
            for (const char* s : DefaultSizes) sizes.emplace_back(s);
        } else {
            for (int s : QFontDatabase::pointSizes(family)) InsertSizeAscending(sizes, s);
        }
    }
    for (const auto& s : sizes) addItem(QString::fromStdString(s));
    setCurrentIndex(findText(text, Qt::MatchExactly));
    setEditText(text);
    blockSignals(old);
    setUpdatesEnabled(true);
    if (OnClick) OnClick();
}
