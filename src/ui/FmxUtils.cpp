#include "FmxUtils.h"

#include <QDesktopServices>
#include <QUrl>

std::function<void(const std::string&)> ShellOpenHook;

int ShellOpen(const std::string& target, const std::string&, const std::string&, int) {
    if (ShellOpenHook) {
        ShellOpenHook(target);
        return 1;
    }
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(target))) ? 1 : 0;
}
