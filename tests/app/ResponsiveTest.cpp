#include "app/Responsive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

TEST(Responsive, WindowEventsAreHandledWhileTheWorkRuns)
{
    int ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    std::atomic<bool> ranOffThread = false;
    const auto windowThread = std::this_thread::get_id();
    runKeepingWindowsResponsive([&] {
        ranOffThread = std::this_thread::get_id() != windowThread;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    EXPECT_TRUE(ranOffThread);
    EXPECT_GE(ticks, 5);
}

TEST(Responsive, AFailureOfTheWorkReachesTheWindowThreadAndWorkThatEndsAtOnceReturns)
{
    EXPECT_THROW(runKeepingWindowsResponsive([] { throw std::runtime_error("Disk not ready"); }), std::runtime_error);
    QElapsedTimer elapsed;
    elapsed.start();
    runKeepingWindowsResponsive([] {});
    EXPECT_LT(elapsed.elapsed(), 1000);
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
