#include "ui/Icons.h"

#include <QStyle>

Icons::Icons() {
    BookIcon = style()->standardIcon(QStyle::SP_DirIcon);
    TextIcon = style()->standardIcon(QStyle::SP_FileIcon);
}
