// The About dialog: what this program is, who makes it, and two links.
#pragma once

#include <QDialog>

class QLabel;

class TfrmAbout : public QDialog {
  public:
    TfrmAbout();
    QLabel* StaticText1 = nullptr;
    std::string AboutText;  // the lines shown, joined by CR LF
    QLabel* lbSiteLink = nullptr;
    QLabel* lbMailLink = nullptr;
    void lbSiteLinkClick();
    void lbMailLinkClick();
    std::string SiteAddress() const;
    static const char* const MailAddress;

  protected:
    void showEvent(QShowEvent* e) override;
};

extern TfrmAbout* frmAbout;
