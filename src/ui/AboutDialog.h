// The About dialog: what this program is, its version and licence, the versions
// of the libraries it shows pages with, and a link that opens the guide book.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <functional>
#include <string>

class QLabel;

class AboutDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(AboutDialog)

  public:
    AboutDialog();
    QLabel* aboutText = nullptr;
    std::string AboutText;  // the lines shown, joined by CR LF
    QLabel* guideLink = nullptr;
    // Closes the dialog and opens the guide book in the reader.
    void OpenGuide();
    // The reader's part of the link; the main window sets it.
    std::function<void()> OnOpenGuide;

  protected:
    void showEvent(QShowEvent* e) override;
};
