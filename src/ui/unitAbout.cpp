#include "unitAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "FmxUtils.h"
#include "options/unitOptStorage.h"

TfrmAbout* frmAbout = nullptr;
const char* const TfrmAbout::MailAddress = "tavisto@localhost";

namespace {
QLabel* MakeLink(QWidget* parent, std::function<void()> onClick) {
    auto* l = new QLabel(parent);
    l->setStyleSheet("color: blue; text-decoration: underline; font-size: 16px;");
    l->setCursor(Qt::PointingHandCursor);
    l->setAlignment(Qt::AlignCenter);
    QObject::connect(l, &QLabel::linkActivated, parent, [onClick](const QString&) { onClick(); });
    return l;
}
}  // namespace

TfrmAbout::TfrmAbout() {
    frmAbout = this;
    setWindowTitle("About");
    resize(422, 305);
    auto* layout = new QVBoxLayout(this);
    StaticText1 = new QLabel(this);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont f("Liberation Serif");
    f.setPixelSize(19);
    StaticText1->setFont(f);
    layout->addWidget(StaticText1, 1);
    lbSiteLink = MakeLink(this, [this] { lbSiteLinkClick(); });
    lbMailLink = MakeLink(this, [this] { lbMailLinkClick(); });
    layout->addWidget(lbSiteLink);
    layout->addWidget(lbMailLink);
    auto* ok = new QPushButton("OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    ok->setFocus();
}

std::string TfrmAbout::SiteAddress() const {
    return "file://" + ProgramFolder + "README.md";
}

void TfrmAbout::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Rebuilt, not appended to, at every showing.
    const char* lines[] = {"Tavisto 4.0 BETA",
                           "",
                           "Written by the Tavisto developers",
                           "Copyright (c) 2026 the Tavisto contributors",
                           "",
                           "Beta version: free to use and to pass on"};
    AboutText.clear();
    for (int i = 0; i < 6; ++i) {
        if (i) AboutText += "\r\n";
        AboutText += lines[i];
    }
    StaticText1->setText(QString::fromStdString(AboutText).remove('\r'));
    auto link = [](const std::string& shown) {
        QString s = QString::fromStdString(shown).toHtmlEscaped();
        return QString("<a href=\"#\" style=\"color: blue;\">%1</a>").arg(s);
    };
    lbSiteLink->setText(link(SiteAddress()));
    lbMailLink->setText(link(MailAddress));
}

void TfrmAbout::lbSiteLinkClick() {
    ShellOpen(SiteAddress(), "", "", 5);
}

void TfrmAbout::lbMailLinkClick() {
    ShellOpen(std::string("mailto:") + MailAddress, "", "", 5);
}
