// A container of the program's small pictures; nothing shows it.
#pragma once

#include <QIcon>
#include <QWidget>

class TfrmImageLists : public QWidget {
  public:
    TfrmImageLists();
    QIcon BookIcon, TextIcon;
};

extern TfrmImageLists* frmImageLists;
