#include "unitImageLists.h"

#include <QStyle>

TfrmImageLists* frmImageLists = nullptr;

TfrmImageLists::TfrmImageLists() {
    frmImageLists = this;
    BookIcon = style()->standardIcon(QStyle::SP_DirIcon);
    TextIcon = style()->standardIcon(QStyle::SP_FileIcon);
}
