// A container of the program's small pictures; nothing shows it.
#pragma once

#include <QIcon>
#include <QWidget>

class Icons : public QWidget {
  public:
    Icons();
    QIcon BookIcon, TextIcon;
};
