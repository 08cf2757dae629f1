#include "ui/ArchiveDialog.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "options/Options.h"
#include "ui/Application.h"

QString SizeText(uint64_t bytes) {
    return ArchiveDialog::tr("%1 KB").arg(QLocale().toString(double(bytes) / 1024.0, 'f', 1));
}

QString DateText(uint32_t dos) {
    const uint32_t date = dos >> 16, time = dos & 0xFFFF;
    const QDateTime when(
        QDate(int((date >> 9) & 0x7F) + 1980, int((date >> 5) & 0x0F), int(date & 0x1F)),
        QTime(int(time >> 11), int((time >> 5) & 0x3F), int(time & 0x1F) * 2));
    return QLocale().toString(when, QLocale::ShortFormat);
}

ArchiveDialog::ArchiveDialog() {
    setWindowTitle(tr("Archive Viewer"));
    resize(723, 307);
    QFont f("Liberation Sans");
    f.setPixelSize(15);
    setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    memberTree = new QTreeWidget(this);
    memberTree->setRootIsDecorated(false);
    memberTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    memberTree->setHeaderLabels({tr("Name"), tr("Size"), tr("Date"), tr("Path")});
    memberTree->header()->setStretchLastSection(true);
    memberTree->setIconSize(QSize(20, 20));
    layout->addWidget(memberTree);
    // A double-click or Enter opens the text.
    connect(memberTree, &QTreeWidget::itemActivated, this, [this] { ExtractChosen(); });
}

void ArchiveDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    ExtractionFailed = false;
    FillFileList();
}

void ArchiveDialog::LoadArchive() {
    rows_.clear();
    Zip.SetZipFileName(ArchiveFileName);
    rows_ = TextMembers(Zip);
    if (rows_.empty())
        throw EArchiveError(
            tr("%1 holds no text file").arg(QString::fromStdString(ArchiveFileName)).toStdString());
}

void ArchiveDialog::FillFileList() {
    memberTree->setUpdatesEnabled(false);
    memberTree->clear();
    QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
    for (const auto& r : rows_) {
        auto* item = new QTreeWidgetItem(memberTree);
        item->setText(0, QString::fromStdString(r.Name));
        item->setText(1, SizeText(r.Size));
        item->setText(2, DateText(r.DateTime));
        item->setText(3, QString::fromStdString(r.Path));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setIcon(0, icon);
    }
    if (memberTree->topLevelItemCount() > 0)
        memberTree->setCurrentItem(memberTree->topLevelItem(0));
    for (int c = 0; c < memberTree->columnCount(); ++c) memberTree->resizeColumnToContents(c);
    memberTree->setUpdatesEnabled(true);
}

bool ArchiveDialog::ExtractSelected() {
    QTreeWidgetItem* item = memberTree->currentItem();
    if (!item || !item->isSelected()) return false;
    const ArchiveRow& row = rows_.at(size_t(memberTree->indexOfTopLevelItem(item)));
    Zip.Members = {row.Member};
    Zip.ExtractTo = TempFolder();
    ExtractedFileName = TempFolder() + row.Name;
    ExtractedMember = row.Member;
    try {
        Zip.ExtractEntry(row.Entry);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what());
        return false;
    }
    return true;
}

void ArchiveDialog::ExtractChosen() {
    QTreeWidgetItem* item = memberTree->currentItem();
    if (!item || !item->isSelected()) return;
    if (ExtractSelected()) {
        accept();
    } else {
        // A failed extraction converts nothing: the viewer closes without OK.
        ExtractionFailed = true;
        reject();
    }
}
