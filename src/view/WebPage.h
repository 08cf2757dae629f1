// One page in a web view, and the library that makes such views. Qt WebEngine
// is loaded with that library, and only when the first view is made: the
// program's window is drawn before the engine's libraries are even mapped.
#pragma once

#include <QString>

#include <string>

#include "reading/HtmlView.h"

class QColor;
class QWidget;

class IWebPage : public HtmlView {
  public:
    // The view itself, to be placed, stacked and focused.
    virtual QWidget* Widget() = 0;
    // The colour shown where the page has painted nothing yet (before its
    // first page, while a text converts), instead of white.
    virtual void SetBackground(const QColor& colour) = 0;
    // What Clear shows: a page of the program's own (empty: a blank page).
    QString EmptyPageHtml;
};

// Makes a view through the library (loaded at the first call); raises with
// the reason when the library cannot be loaded.
IWebPage* MakeWebPage(QWidget* parent);
// "Qt WebEngine x (Chromium y)", or empty when the library cannot be loaded.
std::string WebEngineVersions();

// The library's entry points.
extern "C" {
IWebPage* TavistoMakeWebPage(QWidget* parent);
const char* TavistoWebEngineVersions();
}
