// The window tests run in one application object, headless.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "ui/Application.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    PrepareRendering();
    ::testing::InitGoogleTest(&argc, argv);
    Application app(argc, argv);
    // No speech engine started behind every test's page: those of read aloud start it.
    MainWindow::StartSpeechEarly = false;
    return RUN_ALL_TESTS();
}
