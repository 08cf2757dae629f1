// The entry points of the web view library.
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <string>

#include "WebEngineView.h"

extern "C" {

__attribute__((visibility("default"))) IWebPage* TavistoMakeWebPage(QWidget* parent) {
    // Before the engine's first object.
    static const bool registered = (TWebEngineView::RegisterPageScheme(), true);
    (void)registered;
    return new TWebEngineView(parent);
}

__attribute__((visibility("default"))) const char* TavistoWebEngineVersions() {
    static const std::string versions = std::string("Qt WebEngine ") + qWebEngineVersion() +
                                        " (Chromium " + qWebEngineChromiumVersion() + ")";
    return versions.c_str();
}
}
