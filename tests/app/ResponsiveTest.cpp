#include "app/Responsive.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

TEST(Responsive, WindowEventsAreHandledWhileTheWorkRuns)
{
    // The work waits until the window thread has handled five timer events,
    // which it can only do while the work runs. Its wait has a bound, far
    // beyond any load, so a window thread that handles nothing fails the test
    // instead of hanging it.
    std::atomic<int> ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    std::atomic<bool> ranOffThread = false;
    const auto windowThread = std::this_thread::get_id();
    runKeepingWindowsResponsive([&] {
        ranOffThread = std::this_thread::get_id() != windowThread;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ticks < 5 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    timer.stop();
    EXPECT_TRUE(ranOffThread);
    EXPECT_GE(ticks, 5);
}

TEST(Responsive, AFailureOfTheWorkReachesTheWindowThreadAndWorkThatEndsAtOnceReturns)
{
    EXPECT_THROW(runKeepingWindowsResponsive([] { throw std::runtime_error("Disk not ready"); }), std::runtime_error);
    // Work that ends before the local loop starts posts its end before the
    // loop runs; the loop must still see it. Many rounds give the race many
    // chances; a lost end hangs here, and the test's time limit fails it.
    for (int i = 0; i < 200; ++i)
        runKeepingWindowsResponsive([] {});
}

TEST(Responsive, PostedCallsRunOnTheContextsThreadInOrder)
{
    QObject context;
    QStringList calls;
    std::thread worker([&] {
        postTo(&context, [&] { calls << "first"; });
        postTo(&context, [&] { calls << "second"; });
    });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{"first", "second"}));
}
