// A timer whose period is kept by a thread of its own. Each expiry is handed to
// the UI thread, where OnTimer runs while the timer's thread waits for it to
// return: ticks never pile up and are never caught up.
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/Files.h"
#include "reading/TimerControl.h"

class QSocketNotifier;

enum TimerPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class ThreadedTimer;

// The thread behind a timer: waits on an auto-reset event with a time-out and,
// on each time-out, hands a tick to the UI thread and blocks until it has run.
class TimerThread {
  public:
    explicit TimerThread(ThreadedTimer* owner);
    ~TimerThread();  // stops the loop and joins

    void Resume();
    void Suspend();
    void SignalEvent();
    bool Suspended() const;
    uint16_t Interval() const { return interval_.load(); }
    void SetInterval(uint16_t v) { interval_.store(v); }
    TimerPriority Priority() const { return priority_.load(); }
    void SetPriority(TimerPriority p);
    // Called on the UI thread once the tick it asked for has been dispatched.
    void TickDone();
    int EventHandle() const { return wakeFd_.Get(); }

  private:
    void Run();
    void ApplyPriority();

    ThreadedTimer* owner_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool signaled_ = false;  // the auto-reset event
    bool suspended_ = true;
    bool stop_ = false;
    bool tickPending_ = false;
    std::atomic<uint16_t> interval_{1000};
    std::atomic<TimerPriority> priority_{tpNormal};
    std::atomic<int> tid_{0};
    FileDescriptor wakeFd_;  // eventfd the UI thread listens on
    std::thread thread_;
};

class ThreadedTimer : public QObject, public ITimerControl {
  public:
    explicit ThreadedTimer(QObject* owner = nullptr);
    ~ThreadedTimer() override;

    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool value) override;
    uint16_t Interval() const override { return thread_->Interval(); }
    void SetInterval(uint16_t value) override;
    TimerPriority ThreadPriority() const { return thread_->Priority(); }
    void SetThreadPriority(TimerPriority p) { thread_->SetPriority(p); }

    std::function<void(ThreadedTimer*)> OnTimer;

    // Where an error raised by an OnTimer handler is reported; the timer goes on.
    static std::function<void(const std::string&)> ErrorHandler;

  private:
    void DispatchTick();

    bool enabled_ = false;
    bool destroying_ = false;
    std::unique_ptr<TimerThread> thread_;
    QSocketNotifier* notifier_ = nullptr;
};
