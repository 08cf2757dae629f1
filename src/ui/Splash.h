// The splash window: the program's picture for two ticks of its threaded timer,
// while window events keep being processed; then the recent book is opened.
#pragma once

#include <QWidget>

class ThreadedTimer;

class Splash : public QWidget {
  public:
    explicit Splash(int tickMs = 1000);
    ~Splash() override;
    // The creation handler: shows the splash, waits two ticks, then has the main
    // window open the recent book (which hides the splash).
    void Start();

    ThreadedTimer* ThreadedTimer1 = nullptr;
    int SplashTicks = 0;
};

extern Splash* frmSplash;
