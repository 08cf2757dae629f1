#include <QCoreApplication>

#include <dlfcn.h>

#include <string>

#include "base/Errors.h"
#include "view/WebPage.h"

namespace {

const char* const LibraryName = "libtavisto-view.so";

// The library's handle, loaded once; the program keeps it to the end.
void* Library() {
    static void* handle = []() -> void* {
        // Linked in already (the tests): its own entry points.
        if (dlsym(RTLD_DEFAULT, "TavistoMakeWebPage")) return RTLD_DEFAULT;
        // Beside the program (a copy of its own), else where it is installed
        // (lib/tavisto beside bin, as the build tree is laid out too).
        const QString dir = QCoreApplication::applicationDirPath();
        std::string why;
        for (const QString& path :
             {dir + "/" + LibraryName, dir + "/../lib/tavisto/" + LibraryName}) {
            if (void* h = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL)) return h;
            why += (why.empty() ? "" : "; ") + std::string(dlerror());
        }
        throw EAppError(Fmt(Messages::tr("The page view cannot be loaded: %s"), why));
    }();
    return handle;
}

}  // namespace

IWebPage* MakeWebPage(QWidget* parent) {
    auto make = reinterpret_cast<IWebPage* (*)(QWidget*)>(dlsym(Library(), "TavistoMakeWebPage"));
    if (!make)
        throw EAppError(Fmt(Messages::tr("The page view cannot be loaded: %s"), LibraryName));
    return make(parent);
}

std::string WebEngineVersions() {
    try {
        auto versions =
            reinterpret_cast<const char* (*)()>(dlsym(Library(), "TavistoWebEngineVersions"));
        return versions ? versions() : std::string();
    } catch (const EAppError&) {
        return {};
    }
}
