// The entry points of the web view library.
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <string>

#include "view/WebEngineView.h"

extern "C" {

__attribute__((visibility("default"))) IWebPage* TavistoMakeWebPage(QWidget* parent) {
    // Before the engine's first object.
    static const bool registered = (WebEngineView::RegisterPageScheme(), true);
    (void)registered;
    return new WebEngineView(parent);
}

__attribute__((visibility("default"))) const char* TavistoWebEngineVersions() {
    static const std::string versions = std::string("Qt WebEngine ") + qWebEngineVersion() +
                                        " (Chromium " + qWebEngineChromiumVersion() + ")";
    return versions.c_str();
}
}
