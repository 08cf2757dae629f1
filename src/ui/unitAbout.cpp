#include "unitAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "view/WebPage.h"

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout() {
    frmAbout = this;
    setWindowTitle(tr("About"));
    resize(440, 320);
    auto* layout = new QVBoxLayout(this);
    StaticText1 = new QLabel(this);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont f("Liberation Serif");
    f.setPixelSize(17);
    StaticText1->setFont(f);
    layout->addWidget(StaticText1, 1);
    lbGuideLink = new QLabel(tr("<a href=\"guide\">Open the guide to Tavisto</a>"), this);
    lbGuideLink->setAlignment(Qt::AlignCenter);
    QFont lf("Liberation Sans");
    lf.setPixelSize(15);
    lbGuideLink->setFont(lf);
    connect(lbGuideLink, &QLabel::linkActivated, this, [this] { lbGuideLinkClick(); });
    layout->addWidget(lbGuideLink);
    auto* ok = new QPushButton(tr("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    ok->setFocus();
}

void TfrmAbout::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Rebuilt, not appended to, at every showing.
    const std::string lines[] = {std::string("Tavisto ") + TAVISTO_VERSION,
                                 tr("A reader for books in plain text files").toStdString(),
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
    StaticText1->setText(QString::fromStdString(AboutText).remove('\r'));
}

void TfrmAbout::lbGuideLinkClick() {
    accept();
    if (OnOpenGuide) OnOpenGuide();
}
