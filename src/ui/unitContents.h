// The contents of the book: its headings as an indented tree. Return or a double
// click chooses one; the main window then goes there.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <vector>

#include "core/unitHeadings.h"

class QTreeWidget;

class TfrmContents : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(TfrmContents)

  public:
    TfrmContents();
    // Fills the tree (texts in charset) and selects the heading at index current.
    void Fill(const std::vector<THeading>& headings, const std::string& charset, int current);
    int32_t SelectedParagraph = 0;  // the chosen heading's paragraph, after OK
    QTreeWidget* Tree = nullptr;

  private:
    void Choose();
};

extern TfrmContents* frmContents;
