// Where the main window goes: its saved place read back and kept on a screen.
#pragma once

#include <QList>
#include <QRect>

#include <string>

// "x,y,width,height"; a text that is not four numbers with a size of at least
// 100×100 and a corner within a million pixels of the origin gives a null rectangle.
QRect RectFromText(const std::string& text);
std::string RectText(const QRect& r);

// A window of about 70% of the available area, centred in it.
QRect DefaultWindowRect(const QRect& available);

// A saved window rectangle as it may be shown: kept when its title bar (its top
// strip) lies on one of the screens, else moved onto the primary screen's
// available area; never larger than that area. A null rectangle gives the default.
QRect PlaceWindow(const QRect& saved, const QList<QRect>& screens, const QRect& primaryAvailable);
