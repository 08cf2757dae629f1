#include "ui/AboutDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Application.h"
#include "view/WebPage.h"

AboutDialog::AboutDialog() {
    setWindowTitle(tr("About"));
    resize(440, 320);
    auto* layout = new QVBoxLayout(this);
    aboutText = new QLabel(this);
    aboutText->setAlignment(Qt::AlignCenter);
    aboutText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    aboutText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont f("Liberation Serif");
    f.setPixelSize(17);
    aboutText->setFont(f);
    layout->addWidget(aboutText, 1);
    guideLink = new QLabel(tr("<a href=\"guide\">Open the guide to Tavisto</a>"), this);
    guideLink->setAlignment(Qt::AlignCenter);
    QFont lf("Liberation Sans");
    lf.setPixelSize(15);
    guideLink->setFont(lf);
    connect(guideLink, &QLabel::linkActivated, this, [this] { OpenGuide(); });
    layout->addWidget(guideLink);
    auto* ok = new QPushButton(tr("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    ok->setFocus();
}

void AboutDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Rebuilt, not appended to, at every showing.
    const std::string lines[] = {
        ProgramCaption(),
        tr("A reader for books in plain text and FictionBook files").toStdString(),
        "",
        tr("Copyright (c) 2026 the Tavisto contributors").toStdString(),
        tr("Free to use and to pass on").toStdString(),
        "",
        std::string("Qt ") + qVersion() + ", " + WebEngineVersions()};
    AboutText.clear();
    for (const std::string& l : lines) {
        if (!AboutText.empty()) AboutText += "\r\n";
        AboutText += l;
    }
    aboutText->setText(QString::fromStdString(AboutText).remove('\r'));
}

void AboutDialog::OpenGuide() {
    accept();
    if (OnOpenGuide) OnOpenGuide();
}
