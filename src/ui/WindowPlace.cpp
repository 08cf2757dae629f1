#include "ui/WindowPlace.h"

#include <algorithm>
#include <cstdlib>

#include "base/Strings.h"

QRect RectFromText(const std::string& text) {
    int v[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? text.find(',', at) : text.size();
        if (end == std::string::npos) return {};
        int32_t n = 0;
        if (!TryDecimalToInt(text.substr(at, end - at), n)) return {};
        v[i] = n;
        at = end + 1;
    }
    if (v[2] < 100 || v[3] < 100 || v[2] > 100000 || v[3] > 100000) return {};
    // No desktop reaches this far; nearer the ends of int a rectangle's edges overflow.
    if (std::abs(int64_t(v[0])) > 1000000 || std::abs(int64_t(v[1])) > 1000000) return {};
    return {v[0], v[1], v[2], v[3]};
}

std::string RectText(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + "," + std::to_string(r.width()) +
           "," + std::to_string(r.height());
}

QRect DefaultWindowRect(const QRect& available) {
    QRect r(0, 0, available.width() * 7 / 10, available.height() * 7 / 10);
    r.moveCenter(available.center());
    return r;
}

QRect PlaceWindow(const QRect& saved, const QList<QRect>& screens, const QRect& primaryAvailable) {
    if (saved.isNull()) return DefaultWindowRect(primaryAvailable);
    QRect r = saved;
    r.setWidth(std::min(r.width(), primaryAvailable.width()));
    r.setHeight(std::min(r.height(), primaryAvailable.height()));
    // The strip one grabs the window by: enough of it must show on some screen.
    const QRect strip(r.x(), r.y(), r.width(), 24);
    const bool reachable = std::any_of(screens.begin(), screens.end(), [&](const QRect& s) {
        const QRect seen = s & strip;
        return seen.width() >= std::min(100, r.width()) && seen.height() >= 12;
    });
    if (!reachable) r.moveCenter(primaryAvailable.center());
    return r;
}
