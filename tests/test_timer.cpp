#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <chrono>
#include <thread>

#include "view/ThreadedTimer.h"

namespace {
void BusyUiThread(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Lets time pass as a running timer measures it: n ticks of another timer at
// the interval given. A timer that stays silent meanwhile has delivered nothing
// in that time; no fixed wait stands in for it.
bool WitnessTicks(int n, uint16_t interval) {
    ThreadedTimer witness;
    int ticks = 0;
    witness.OnTimer = [&](ThreadedTimer*) { ++ticks; };
    witness.SetInterval(interval);
    witness.SetEnabled(true);
    return QTest::qWaitFor([&] { return ticks >= n; }, 10000);
}
}  // namespace

TEST(ThreadedTimer, TicksArriveOnTheUiThreadAtTheInterval) {
    ThreadedTimer t;
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(t.Interval(), 1000);
    int ticks = 0;
    bool onUi = true;
    t.OnTimer = [&](ThreadedTimer* sender) {
        EXPECT_EQ(sender, &t);
        onUi = onUi && QThread::currentThread() == qApp->thread();
        ++ticks;
    };
    t.SetInterval(20);
    QElapsedTimer clock;
    clock.start();
    t.SetEnabled(true);
    t.SetEnabled(true);  // twice is once
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 10; }, 5000));
    const qint64 ms = clock.elapsed();
    EXPECT_TRUE(onUi);
    EXPECT_GE(ms, 10 * 20 - 5) << "never faster than the interval";
}

TEST(ThreadedTimer, IntervalWritesAndDisabling) {
    ThreadedTimer t;
    int ticks = 0;
    t.OnTimer = [&](ThreadedTimer*) { ++ticks; };
    t.SetInterval(15);
    t.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
    t.SetInterval(15);
    EXPECT_TRUE(t.Enabled()) << "the same interval keeps it running";
    const int before = ticks;
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= before + 2; }, 5000));
    t.SetInterval(16);
    EXPECT_FALSE(t.Enabled()) << "another interval stops it";
    const int stopped = ticks;
    ASSERT_TRUE(WitnessTicks(8, 15));
    EXPECT_EQ(ticks, stopped);
    t.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= stopped + 2; }, 5000));
    t.SetEnabled(false);
    t.SetEnabled(false);
    const int off = ticks;
    ASSERT_TRUE(WitnessTicks(8, 15));
    EXPECT_EQ(ticks, off);
}

TEST(ThreadedTimer, IntervalZeroDeliversNoTicks) {
    ThreadedTimer t;
    int ticks = 0;
    t.OnTimer = [&](ThreadedTimer*) { ++ticks; };
    t.SetInterval(0);
    t.SetEnabled(true);
    EXPECT_TRUE(t.Enabled());
    ASSERT_TRUE(WitnessTicks(8, 10));
    EXPECT_EQ(ticks, 0);
    t.SetInterval(10);
    EXPECT_FALSE(t.Enabled());
    t.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
}

TEST(ThreadedTimer, NoTickReachesTheHandlerAfterDisableEvenWhenHandedOver) {
    ThreadedTimer t;
    int ticks = 0;
    t.OnTimer = [&](ThreadedTimer*) { ++ticks; };
    t.SetInterval(5);
    t.SetEnabled(true);
    BusyUiThread(60);  // the thread times out and waits for the UI thread
    t.SetEnabled(false);
    ASSERT_TRUE(WitnessTicks(8, 5));
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadedTimer, DestroyingWithAPendingHandOverDoesNotHang) {
    for (int i = 0; i < 20; ++i) {
        auto* t = new ThreadedTimer;
        int ticks = 0;
        t->OnTimer = [&](ThreadedTimer*) { ++ticks; };
        t->SetInterval(1);
        t->SetEnabled(true);
        BusyUiThread(10);
        delete t;  // returns: a hang would end the test by its time-out
    }
    ThreadedTimer never;  // a timer never enabled ends cleanly too
}

TEST(ThreadedTimer, ASlowHandlerDelaysTicksInsteadOfQueueingThem) {
    ThreadedTimer t;
    std::vector<qint64> at;
    QElapsedTimer clock;
    clock.start();
    t.OnTimer = [&](ThreadedTimer*) {
        at.push_back(clock.elapsed());
        BusyUiThread(40);
    };
    t.SetInterval(10);
    t.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return at.size() >= 6; }, 5000));
    t.SetEnabled(false);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], 40 + 10 - 2) << "gap " << i;
}

TEST(ThreadedTimer, AnErrorInTheHandlerIsReportedAndTheTimerGoesOn) {
    ThreadedTimer t;
    std::vector<std::string> reported;
    auto saved = ThreadedTimer::ErrorHandler;
    ThreadedTimer::ErrorHandler = [&](const std::string& m) { reported.push_back(m); };
    int ticks = 0;
    t.OnTimer = [&](ThreadedTimer*) {
        if (++ticks == 1) throw std::runtime_error("boom");
    };
    t.SetInterval(10);
    t.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 5000));
    t.SetEnabled(false);
    ThreadedTimer::ErrorHandler = saved;
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "boom");
}
