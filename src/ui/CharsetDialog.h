// The encoding dialog: the entries of Templates/charsets.dat by display name;
// OK returns the chosen entry's encoding name.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include "base/Strings.h"

class QListWidget;

class CharsetDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(CharsetDialog)

  public:
    CharsetDialog();
    LineList CharsetTable;
    std::string SelectedCharset;
    QListWidget* Box = nullptr;

    // OK: the value of the selected row's display name. With no row selected OK
    // changes nothing and the dialog closes without a choice.
    void Accept();
    bool HasSelection() const;
    // Shows the dialog on the row of the charset given (the book's), the list
    // taking the keys: arrows move, Enter chooses.
    int ExecFor(const std::string& charset);
    // A display name of the table as the list shows it, in the program's language.
    static QString ShownName(const std::string& name);
};
