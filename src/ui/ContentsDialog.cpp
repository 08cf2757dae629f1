#include "ui/ContentsDialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "text/Charsets.h"
#include "ui/Application.h"

namespace {
constexpr int ParagraphRole = Qt::UserRole;
}

ContentsDialog::ContentsDialog() {
    setWindowTitle(tr("Contents"));
    resize(460, 520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Tree = new QTreeWidget(this);
    Tree->setHeaderHidden(true);
    Tree->setUniformRowHeights(true);
    layout->addWidget(Tree);
    connect(Tree, &QTreeWidget::itemActivated, this, [this] { Choose(); });
}

void ContentsDialog::Fill(const std::vector<Heading>& headings, const std::string& charset,
                          int current) {
    Tree->clear();
    SelectedParagraph = 0;
    const CodePage cp = CodePageOf(charset);
    // A heading hangs under the last heading of a higher level before it.
    QTreeWidgetItem* last[4] = {nullptr, nullptr, nullptr, nullptr};
    QTreeWidgetItem* selected = nullptr;
    for (size_t i = 0; i < headings.size(); ++i) {
        const Heading& h = headings[i];
        QTreeWidgetItem* parent = nullptr;
        for (int l = h.Level - 1; l >= 1 && !parent; --l) parent = last[l];
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Tree);
        const std::string text = ToUtf8(h.Text, cp);
        item->setText(0, FromUtf8(text));
        item->setData(0, ParagraphRole, h.Paragraph);
        last[h.Level] = item;
        for (int l = h.Level + 1; l < 4; ++l) last[l] = nullptr;
        if (int(i) == current) selected = item;
    }
    // A book without headings says so rather than opening an empty window.
    if (headings.empty()) {
        auto* none = new QTreeWidgetItem(Tree, {tr("This book has no headings")});
        none->setFlags(Qt::ItemIsEnabled);
    }
    Tree->expandAll();
    if (selected) {
        Tree->setCurrentItem(selected);
        Tree->scrollToItem(selected, QAbstractItemView::PositionAtCenter);
    } else if (Tree->topLevelItemCount() > 0) {
        Tree->setCurrentItem(Tree->topLevelItem(0));
    }
    Tree->setFocus();
}

void ContentsDialog::Choose() {
    QTreeWidgetItem* item = Tree->currentItem();
    if (!item) return;
    SelectedParagraph = item->data(0, ParagraphRole).toInt();
    accept();
}
