// The main window's controls: its tool bars, keys and status bar, each wired
// to what it does.
#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

#include "ui/Application.h"
#include "ui/BooksDialog.h"
#include "ui/MainWindow.h"

void ElidedLabel::SetFullText(const QString& text) {
    full_ = text;
    setToolTip(Qt::convertFromPlainText(text));
    update();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = contentsRect().adjusted(4, 0, -4, 0);
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(full_, Qt::ElideRight, r.width()));
}

namespace {

QToolBar* MakeToolBar(QWidget* parent, int buttonWidth) {
    auto* bar = new QToolBar(parent);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setMovable(false);
    bar->setFloatable(false);
    QFont f("Liberation Sans Narrow");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    bar->setFont(f);
    bar->setStyleSheet(
        QString("QToolButton { min-width: %1px; min-height: 23px; }").arg(buttonWidth - 8));
    return bar;
}

template <class F>
QAction* AddButton(QToolBar* bar, const QString& caption, F handler, bool check = false) {
    QAction* a = bar->addAction(caption);
    a->setCheckable(check);
    QObject::connect(a, &QAction::triggered, bar, [handler] { Guard(handler); });
    return a;
}

QAction* WithKeys(QAction* a, const QString& tip, std::initializer_list<QKeySequence> seq) {
    a->setToolTip(tip);
    a->setShortcuts(QList<QKeySequence>(seq));
    a->setShortcutContext(Qt::WindowShortcut);
    return a;
}

}  // namespace

QWidget* MainWindow::BuildToolBars(QWidget* parent) {
    auto* toolPanel = new QWidget(parent);
    toolPanel->setFixedHeight(33);
    auto* hbox = new QHBoxLayout(toolPanel);
    hbox->setContentsMargins(2, 0, 2, 0);
    QToolBar* reading = MakeToolBar(toolPanel, 48);
    QToolBar* window = MakeToolBar(toolPanel, 30);
    // The reading bar takes the room the window's buttons leave; what does not
    // fit there goes under its "»" button, never cut or under the others.
    reading->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    reading->setMinimumWidth(60);
    hbox->addWidget(reading, 1);
    hbox->addWidget(window);
    BuildReadingButtons(reading);
    BuildWindowButtons(window);
    // A button is never narrower than its label: a bar short of room puts
    // whole buttons under "»" instead of squeezing their labels.
    for (QToolBar* bar : {reading, window})
        for (QToolButton* b : bar->findChildren<QToolButton*>())
            if (b->objectName() != "qt_toolbar_ext_button")
                b->setMinimumWidth(b->sizeHint().width());
    AddKeys();
    return toolPanel;
}

void MainWindow::BuildReadingButtons(QToolBar* bar) {
    auto add = [](auto&&... a) { return AddButton(a...); };
    auto keys = WithKeys;
    QAction* books = keys(add(bar, tr("Books"), [this] { ShowBooks(); }),
                          tr("Your books (Ctrl+O); the arrow or a right click: the recent ones"),
                          {QKeySequence::Open});
    // The recent books: the button's menu, and its right click.
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(books))) {
        auto* recent = new QMenu(button);
        connect(recent, &QMenu::aboutToShow, this, [this, recent] { FillRecentMenu(recent); });
        button->setMenu(recent);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, button,
                [button] { button->showMenu(); });
    }
    keys(add(bar, tr("Contents"), [this] { ShowContents(); }), tr("Contents (Ctrl+T)"),
         {QKeySequence("Ctrl+T")});
    keys(add(bar, tr("Find"), [this] { AskFind(); }),
         tr("Find in the book (Ctrl+F; F3 next, Shift+F3 previous; Ctrl+Shift+F every place)"),
         {QKeySequence::Find});
    bar->addSeparator();
    QAction* encoding = add(bar, tr("Encoding"), [this] { ChooseCharset(); });
    encoding->setToolTip(
        tr("The character set the book is read in; the arrow: how its paragraphs are made"));
    // The open book's paragraph layout: the button's menu.
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(encoding))) {
        auto* menu = new QMenu(button);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            menu->clear();
            QMenu* paragraphs = menu->addMenu(tr("Paragraphs"));
            if (!reader_->CurrentBook) {
                paragraphs->setEnabled(false);
                return;
            }
            const std::string name = reader_->CurrentBook->FileName;
            BooksDialog::FillLayoutMenu(
                paragraphs, reader_->CurrentBook->GetProperty("Layout"),
                [this, name](const Layout::Shape* kind) { library_.Rebuild(name, kind); });
        });
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    add(bar, tr("Style"), [this] { ShowStyle(); })->setToolTip(tr("Font, size and colours"));
    bar->addSeparator();
    autoScrollAction = keys(add(
                                bar, tr("AutoScroll"), [this] { ToggleAutoScroll(); }, true),
                            tr("Scroll by itself (A)"), {QKeySequence(Qt::Key_A)});
    add(bar, tr("Speed"), [this] {
        ChooseScrollSpeed();
    })->setToolTip(tr("How fast the page scrolls by itself"));
    readAloudAction = keys(add(
                               bar, tr("Read aloud"), [this] { ToggleReadAloud(); }, true),
                           tr("Read the book aloud from the top of the page (R); Space pauses, "
                              "Esc stops"),
                           {QKeySequence(Qt::Key_R)});
    QAction* voice = add(bar, tr("Voice"), [this] { ChooseVoice(); });
    voice->setToolTip(tr("The voice and the rate of reading aloud"));
    // Without a speech engine nothing can be read aloud, and the buttons say why.
    if (const QString why = QtSpeech::WhyNotInstalled(); !why.isEmpty()) {
        for (QAction* a : {readAloudAction, voice}) {
            a->setEnabled(false);
            a->setToolTip(why);
        }
    }
    bar->addSeparator();
    keys(add(bar, tr("PgUp"), [this] { PageUp(); }), tr("Page up (PgUp)"),
         {QKeySequence(Qt::Key_PageUp)});
    keys(add(bar, tr("Pg Dn"), [this] { PageDown(); }), tr("Page down (Pg Dn, Space)"),
         {QKeySequence(Qt::Key_PageDown)});
}

void MainWindow::BuildWindowButtons(QToolBar* bar) {
    auto add = [](auto&&... a) { return AddButton(a...); };
    auto keys = WithKeys;
    keys(add(bar, tr("About"), [this] { ShowAbout(); }), tr("About Tavisto (F1)"),
         {QKeySequence::HelpContents});
    windowedAction = add(
        bar, tr("Wnd"), [this] { ToggleWindowed(); }, true);
    windowedAction->setToolTip(
        tr("A window or the whole screen (F11: the page alone, Esc gives the window back)"));
    add(bar, tr("Min"), [this] { Minimize(); })->setToolTip(tr("Minimise"));
    keys(add(bar, tr("Exit"), [this] { Exit(); }), tr("Save the place and quit (Ctrl+Q)"),
         {QKeySequence::Quit});
}

void MainWindow::Shortcut(QKeySequence seq, std::function<void()> handler) {
    auto* a = new QAction(this);
    a->setShortcut(seq);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [handler] { Guard(handler); });
    addAction(a);
}

// Keys without a button.
void MainWindow::AddKeys() {
    auto shortcut = [this](QKeySequence seq, std::function<void()> handler) {
        Shortcut(seq, std::move(handler));
    };
    shortcut(QKeySequence(Qt::Key_F3), [this] { reader_->FindAgain(true); });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), [this] { ListHits(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { reader_->FindAgain(false); });
    shortcut(QKeySequence("Ctrl+G"), [this] { AskGoTo(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { reader_->ShowParagraph(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { reader_->ShowEnd(); });
    shortcut(QKeySequence(Qt::Key_Space), [this] { SpaceKey(); });
    shortcut(QKeySequence(Qt::Key_F11), [this] { ToggleBare(); });
    // A checkable action's shortcut toggles its check before the handler runs,
    // as a click does. Escape stops reading aloud or scrolling by itself, or
    // else leaves full screen.
    shortcut(QKeySequence(Qt::Key_Escape), [this] {
        if (aloud_ && aloud_->Active()) {
            readAloudAction->setChecked(false);
            return ToggleReadAloud();
        }
        if (autoScrollAction->isChecked()) {
            autoScrollAction->setChecked(false);
            return ToggleAutoScroll();
        }
        if (bare_) return ToggleBare();
        if (windowedAction->isChecked()) return;
        windowedAction->setChecked(true);
        ToggleWindowed();
    });
}

void MainWindow::BuildStatusBar() {
    // Title, heading, page, percent and the bar: the texts give way (elided),
    // the bar keeps its width.
    StatusTitle = new ElidedLabel(this);
    StatusHeading = new ElidedLabel(this);
    StatusPage = new QLabel(this);
    StatusNote = new ElidedLabel(this);
    auto* progressPanel = new QWidget(this);
    progressPanel->setFixedWidth(255);
    ProgressBar = new QProgressBar(progressPanel);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(2, 2, 250, 15);
    statusBar()->setFixedHeight(21);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(StatusTitle, 3);
    statusBar()->addWidget(StatusHeading, 2);
    statusBar()->addWidget(StatusNote, 1);
    statusBar()->addPermanentWidget(StatusPage);
    statusBar()->addPermanentWidget(progressPanel);
}
