// The splash window: the program's picture for two ticks of its threaded timer,
// while window events keep being processed; then the recent book is opened.
#pragma once

#include <QWidget>

#include <functional>

class ThreadedTimer;

class Splash : public QWidget {
  public:
    explicit Splash(int tickMs = 1000);
    ~Splash() override;
    // Shows the splash, waits two ticks, then runs afterWait (the recent book
    // opened), and hides.
    void Start(const std::function<void()>& afterWait);

    ThreadedTimer* ThreadedTimer1 = nullptr;
    int SplashTicks = 0;
};
