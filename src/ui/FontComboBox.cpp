#include "ui/FontComboBox.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QStyledItemDelegate>

#include <fontconfig/fontconfig.h>

#include <map>

#include "options/StyleValues.h"

bool IsTrueTypeFace(const std::string& family) {
    static std::map<std::string, bool> cache;
    auto it = cache.find(family);
    if (it != cache.end()) return it->second;
    bool tt = false;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_FONTFORMAT, nullptr);
    if (FcFontSet* fs = FcFontList(nullptr, pat, os)) {
        for (int i = 0; i < fs->nfont && !tt; ++i) {
            FcChar8* fmt = nullptr;
            if (FcPatternGetString(fs->fonts[i], FC_FONTFORMAT, 0, &fmt) == FcResultMatch) {
                std::string f = reinterpret_cast<const char*>(fmt);
                tt = f == "TrueType" || f == "CFF";  // OpenType outlines count as TrueType
            }
        }
        FcFontSetDestroy(fs);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    cache[family] = tt;
    return tt;
}

namespace {

// The 12 x 12 TrueType mark: two serif capital T's, a grey one and a black one.
QPixmap TrueTypeMark(const QColor& background) {
    QPixmap pm(12, 12);
    pm.fill(background);
    QPainter p(&pm);
    auto drawT = [&](int x, int y, const QColor& c) {
        p.setPen(c);
        p.drawLine(x, y, x + 7, y);  // bar, 8 wide
        p.drawPoint(x, y + 1);       // serifs
        p.drawPoint(x + 7, y + 1);
        p.drawLine(x + 3, y, x + 3, y + 8);  // two-pixel stem, 9 tall
        p.drawLine(x + 4, y, x + 4, y + 8);
        p.drawLine(x + 2, y + 8, x + 5, y + 8);
    };
    drawT(0, 0, QColor(128, 128, 128));
    drawT(4, 3, Qt::black);
    return pm;
}

}  // namespace

const QString FontComboBox::SampleText = QString::fromUtf8("Aa \xd0\x91\xd0\xb1");

namespace {

class FaceDelegate : public QStyledItemDelegate {
  public:
    explicit FaceDelegate(FontComboBox* box) : QStyledItemDelegate(box), box_(box) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opt,
               const QModelIndex& index) const override {
        const QString face = index.data().toString();
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor bg = selected ? opt.palette.highlight().color() : opt.palette.base().color();
        p->save();
        p->fillRect(opt.rect, bg);
        // The name in the dialog's own font, always readable (a symbol face would
        // draw its own name in symbols); a sample in the face itself at the right.
        QFont f = box_->font();
        f.setItalic(index.data(Qt::UserRole + 1).toBool());
        p->setFont(f);
        p->setPen(selected ? opt.palette.highlightedText().color() : opt.palette.text().color());
        if (IsTrueTypeFace(index.data(Qt::UserRole).toString().toStdString()))
            p->drawPixmap(opt.rect.left() + 2, opt.rect.top() + 2, TrueTypeMark(bg));
        const QRect text = opt.rect.adjusted(16, 0, -4, 0);
        p->drawText(text, Qt::AlignLeft | Qt::AlignTop, face);
        if (box_->UseItemFont()) {
            QFont sample = box_->font();
            sample.setFamily(index.data(Qt::UserRole).toString());
            p->setFont(sample);
            p->drawText(text, Qt::AlignRight | Qt::AlignTop, FontComboBox::SampleText);
        }
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& opt, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(opt, index);
        int pt = box_->font().pointSize() > 0 ? box_->font().pointSize() : 10;
        s.setHeight(2 * pt);
        return s;
    }

  private:
    FontComboBox* box_;
};

}  // namespace

FontComboBox::FontComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setItemDelegate(new FaceDelegate(this));
    setMaxVisibleItems(16);
    connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        if (!UpdateAllForms || i < 0) return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QFont f = w->font();
            f.setFamily(itemText(i));
            w->setFont(f);
        }
    });
    Reset();
}

void FontComboBox::Reset() {
    std::vector<std::string> families;
    for (const QString& f : QFontDatabase::families()) families.push_back(f.toStdString());
    std::vector<std::string> faces = PrepareFaceList(families);
    const bool old = blockSignals(true);
    clear();
    for (const auto& f : faces)
        if (!ttOnly_ || IsTrueTypeFace(f))
            addItem(QString::fromStdString(f), QString::fromStdString(f));
    if (count() > 0) setCurrentIndex(0);
    blockSignals(old);
}

bool FontComboBox::ShowFace(const std::string& face) {
    const bool old = blockSignals(true);
    if (count() > 0 && itemData(0, Qt::UserRole + 1).toBool()) removeItem(0);
    const QString name = QString::fromStdString(face);
    int found = -1;
    for (int i = 0; i < count() && found < 0; ++i)
        if (itemData(i).toString().compare(name, Qt::CaseInsensitive) == 0) found = i;
    if (found < 0 && !face.empty()) {
        insertItem(0, tr("%1 (not installed)").arg(name), name);
        setItemData(0, true, Qt::UserRole + 1);
        found = 0;
    }
    setCurrentIndex(found);
    QFont f = font();
    f.setItalic(found == 0 && itemData(0, Qt::UserRole + 1).toBool());
    setFont(f);
    blockSignals(old);
    return !f.italic();
}

std::string FontComboBox::CurrentFace() const {
    return currentData().toString().toStdString();
}

void FontComboBox::SetTrueTypeOnly(bool v) {
    ttOnly_ = v;
    Reset();
}

void FontComboBox::SetUseItemFont(bool v) {
    useItemFont_ = v;
    Reset();
}

void FontComboBox::changeEvent(QEvent* e) {
    QComboBox::changeEvent(e);
    if (e->type() == QEvent::FontChange) update();
}
