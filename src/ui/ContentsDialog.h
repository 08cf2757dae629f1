// The contents of the book: its headings as an indented tree. Return or a double
// click chooses one; the main window then goes there.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <vector>

#include "convert/Headings.h"

class QTreeWidget;

class ContentsDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ContentsDialog)

  public:
    ContentsDialog();
    // Fills the tree (texts in charset) and selects the heading at index current.
    void Fill(const std::vector<Heading>& headings, const std::string& charset, int current);
    int32_t SelectedParagraph = 0;  // the chosen heading's paragraph, after OK
    QTreeWidget* Tree = nullptr;

  private:
    void Choose();
};
