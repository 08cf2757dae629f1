#include "ui/CharsetDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include "base/Files.h"
#include "options/Options.h"
#include "ui/Application.h"

QString CharsetDialog::ShownName(const std::string& name) {
    // "Cyrillic (KOI8-R)": the region in the program's language, the charset's
    // own name as it is.
    static const char* const regions[] = {
        QT_TR_NOOP("Unicode"),  QT_TR_NOOP("Western European"),
        QT_TR_NOOP("Cyrillic"), QT_TR_NOOP("Central European"),
        QT_TR_NOOP("Greek"),
    };
    const size_t paren = name.find(" (");
    const std::string region = name.substr(0, paren);
    for (const char* r : regions)
        if (region == r)
            return tr(r) +
                   QString::fromStdString(paren == std::string::npos ? "" : name.substr(paren));
    return QString::fromStdString(name);
}

CharsetDialog::CharsetDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(tr("Encoding"));
    setFixedSize(499, 485);
    QFont f("Liberation Sans");
    f.setPixelSize(15);
    setFont(f);
    auto* prompt = new QLabel(tr("Select a character set from the list then click OK"), this);
    prompt->setGeometry(12, 8, 475, 22);
    prompt->setAlignment(Qt::AlignCenter);
    Box = new QListWidget(this);
    Box->setGeometry(13, 36, 472, 397);
    auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
    ok->setGeometry(150, 444, 90, 30);
    ok->setDefault(true);
    auto* cancel =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    cancel->setGeometry(259, 444, 90, 30);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Box, &QListWidget::itemDoubleClicked, this, [this] { Accept(); });

    // Start: the table is read once, at start-up.
    try {
        LoadLinesFromFile(TemplatesFolder() + "charsets.dat", CharsetTable);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
    for (const auto& name : DisplayNames(CharsetTable)) Box->addItem(ShownName(name));
    if (Box->count() > 0) Box->setCurrentRow(0);
}

int CharsetDialog::ExecFor(const std::string& charset) {
    // The row whose own line names the charset.
    for (size_t row = 0; row < size_t(Box->count()) && row < CharsetTable.size(); ++row)
        if (const size_t eq = CharsetTable[row].find('=');
            eq != std::string::npos && SameText(CharsetTable[row].substr(eq + 1), charset)) {
            Box->setCurrentRow(int(row));
            break;
        }
    Box->scrollToItem(Box->currentItem());
    Box->setFocus();
    return exec();
}

bool CharsetDialog::HasSelection() const {
    return Box->currentRow() >= 0;
}

void CharsetDialog::Accept() {
    int row = Box->currentRow();
    if (row < 0) {
        reject();
        return;
    }
    SelectedCharset = ValueOfRow(CharsetTable, size_t(row));
    accept();
}
