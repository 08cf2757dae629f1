#include "view/ThreadedTimer.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/Errors.h"

std::function<void(const std::string&)> ThreadedTimer::ErrorHandler;

TimerThread::TimerThread(ThreadedTimer* owner)
    : owner_(owner), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    // Without its event the timer could never hand a tick over: no thread then.
    if (!wakeFd_)
        throw EAppError(std::string("Cannot make the timer's event: ") + std::strerror(errno));
    thread_ = std::thread([this] { Run(); });
}

TimerThread::~TimerThread() {
    {
        std::lock_guard lk(m_);
        stop_ = true;
        signaled_ = true;
        suspended_ = false;
    }
    cv_.notify_all();
    // The loop never waits for the UI thread once a stop is requested, so this
    // join cannot deadlock even while a hand-over is pending.
    if (thread_.joinable()) thread_.join();
}

void TimerThread::Resume() {
    {
        std::lock_guard lk(m_);
        suspended_ = false;
    }
    cv_.notify_all();
}

void TimerThread::Suspend() {
    std::lock_guard lk(m_);
    suspended_ = true;
}

bool TimerThread::Suspended() const {
    std::lock_guard lk(m_);
    return suspended_;
}

void TimerThread::SignalEvent() {
    {
        std::lock_guard lk(m_);
        signaled_ = true;
    }
    cv_.notify_all();
}

void TimerThread::TickDone() {
    {
        std::lock_guard lk(m_);
        tickPending_ = false;
    }
    cv_.notify_all();
}

void TimerThread::SetPriority(TimerPriority p) {
    priority_.store(p);
    ApplyPriority();
}

void TimerThread::ApplyPriority() {
    int tid = tid_.load();
    if (tid == 0) return;
    // Linux keeps a nice value per thread; raising it above normal needs privileges
    // and is silently left as it is otherwise.
    static const int nice[] = {19, 15, 5, 0, -5, -10, -20};
    ::setpriority(PRIO_PROCESS, id_t(tid), nice[priority_.load()]);
}

void TimerThread::Run() {
    tid_.store(int(::syscall(SYS_gettid)));
    ApplyPriority();
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [this] { return stop_ || !suspended_; });
        if (stop_) break;
        const auto interval = std::chrono::milliseconds(interval_.load());
        bool signaled = cv_.wait_for(lk, interval, [this] { return signaled_ || stop_; });
        if (stop_) break;
        if (signaled) {
            signaled_ = false;  // auto-reset: the wait ended without a tick
            continue;
        }
        if (suspended_) continue;
        tickPending_ = true;
        uint64_t one = 1;
        if (::write(wakeFd_.Get(), &one, sizeof one) != sizeof one) {
            tickPending_ = false;
            continue;
        }
        cv_.wait(lk, [this] { return !tickPending_ || stop_; });
        if (stop_) break;
    }
}

ThreadedTimer::ThreadedTimer(QObject* owner)
    : QObject(owner), thread_(std::make_unique<TimerThread>(this)) {
    notifier_ = new QSocketNotifier(thread_->EventHandle(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        uint64_t n;
        if (::read(thread_->EventHandle(), &n, sizeof n) < 0) {
        }
        DispatchTick();
        thread_->TickDone();
    });
}

ThreadedTimer::~ThreadedTimer() {
    destroying_ = true;
    enabled_ = false;
    notifier_->setEnabled(false);
    thread_.reset();  // stops and joins the thread before the notifier goes
}

void ThreadedTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (value) {
        if (thread_->Interval() > 0) {
            thread_->SignalEvent();
            thread_->Resume();
        }
    } else {
        thread_->Suspend();
    }
}

void ThreadedTimer::SetInterval(uint16_t value) {
    if (value == thread_->Interval()) return;
    SetEnabled(false);
    thread_->SetInterval(value);
}

void ThreadedTimer::DispatchTick() {
    if (!enabled_ || destroying_ || !OnTimer) return;
    try {
        OnTimer(this);
    } catch (const std::exception& e) {
        if (ErrorHandler)
            ErrorHandler(e.what());
        else
            std::fprintf(stderr, "tavisto: %s\n", e.what());
    }
}
