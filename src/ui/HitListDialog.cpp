#include "ui/HitListDialog.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "reading/ReadingSession.h"
#include "text/Charsets.h"
#include "ui/Application.h"

namespace {
constexpr int HitRole = Qt::UserRole;
}  // namespace

HitListDialog::HitListDialog() {
    setWindowTitle(tr("Find all"));
    resize(720, 480);
    auto* layout = new QVBoxLayout(this);
    Edit = new QLineEdit(this);
    Edit->setPlaceholderText(tr("Find:"));
    Count = new QLabel(this);
    Tree = new QTreeWidget(this);
    Tree->setColumnCount(2);
    Tree->setHeaderLabels({tr("Chapter"), tr("Text")});
    Tree->setRootIsDecorated(false);
    Tree->setUniformRowHeights(true);
    Tree->setAllColumnsShowFocus(true);
    Tree->header()->setStretchLastSection(true);
    Tree->setColumnWidth(0, 200);
    layout->addWidget(Edit);
    layout->addWidget(Count);
    layout->addWidget(Tree, 1);
    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, [this] { ScanSome(); });
    connect(Edit, &QLineEdit::returnPressed, this, [this] { Start(); });
    connect(Tree, &QTreeWidget::itemActivated, this, [this] { Choose(); });
    connect(this, &QDialog::finished, this, [this] { Stop(); });
}

HitListDialog::~HitListDialog() = default;

void HitListDialog::List(ReadingSession& session, const std::string& text) {
    chosen_ = -1;
    const bool same =
        session_ == &session && book_ == session.BookSerial() && search_ && search_->Text() == text;
    session_ = &session;
    Edit->setText(FromUtf8(text));
    if (same) {
        if (!search_->Finished()) timer_->start();
        Tree->setFocus();
        return;
    }
    Start();
}

void HitListDialog::Start() {
    Stop();
    Tree->clear();
    hits_.clear();
    search_.reset();
    chosen_ = -1;
    if (!session_ || !session_->CurrentBook) return;
    const std::string text = Edit->text().toStdString();
    book_ = session_->BookSerial();
    if (text.empty()) {
        Count->clear();
        Edit->setFocus();
        return;
    }
    search_ = std::make_unique<HitList>(*session_->CurrentBook, text);
    Tree->setFocus();
    timer_->start();
    ScanSome();
}

bool HitListDialog::Searching() const {
    return timer_->isActive();
}

void HitListDialog::Stop() {
    timer_->stop();
}

void HitListDialog::ScanSome() {
    // The book is another's now: its hits are void.
    if (!search_ || !session_ || !session_->CurrentBook || book_ != session_->BookSerial()) {
        Stop();
        return;
    }
    // A few pages at a time, for a moment of the event loop's time.
    QElapsedTimer clock;
    clock.start();
    std::vector<ListedHit> found;
    bool more = true;
    while (more && clock.elapsed() < 30 && hits_.size() + found.size() < MaxListed)
        more = search_->ScanOn(8, found);
    const CodePage cp = CodePageOf(session_->CurrentBook->GetProperty("Charset"));
    QList<QTreeWidgetItem*> items;
    for (auto& h : found) {
        if (hits_.size() >= MaxListed) break;
        const int heading = session_->HeadingOf(h.Hit.Paragraph);
        const QString chapter =
            heading < 0 ? QString()
                        : FromUtf8(ToUtf8(session_->Contents[size_t(heading)].Text, cp));
        auto* item = new QTreeWidgetItem({chapter, FromUtf8(h.Context)});
        item->setData(0, HitRole, qlonglong(hits_.size()));
        item->setToolTip(1, item->text(1));
        items.append(item);
        hits_.push_back(std::move(h));
    }
    const bool first = Tree->topLevelItemCount() == 0;
    Tree->addTopLevelItems(items);
    if (first && Tree->topLevelItemCount() > 0) Tree->setCurrentItem(Tree->topLevelItem(0));
    const bool full = hits_.size() >= MaxListed;
    const int n = int(hits_.size());
    if (search_->Finished() || full) {
        Stop();
        Count->setText(n == 0 ? tr("Not found")
                       : full ? tr("The first %1 places are listed").arg(n)
                              : tr("Found in %n place(s)", nullptr, n));
    } else {
        Count->setText(tr("Found in %n place(s) so far, %1% of the book looked through", nullptr, n)
                           .arg(int(search_->Done() * 100)));
    }
}

void HitListDialog::Choose() {
    QTreeWidgetItem* item = Tree->currentItem();
    if (!item) return;
    chosen_ = int(item->data(0, HitRole).toLongLong());
    accept();
}
