#include "ui/Icons.h"

#include <QStyle>

Icons* frmImageLists = nullptr;

Icons::Icons() {
    frmImageLists = this;
    BookIcon = style()->standardIcon(QStyle::SP_DirIcon);
    TextIcon = style()->standardIcon(QStyle::SP_FileIcon);
}
