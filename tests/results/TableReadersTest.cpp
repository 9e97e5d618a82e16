// Work reading the found-file table off the window thread, and the list's
// resets that must wait for it (the table only changes after such a reset).

#include "results/TableReaders.h"

#include <QStringListModel>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

TEST(TableReaders, AResetOfTheWatchedListWaitsForTheWorkStillRunning)
{
    QStringListModel list(QStringList{"a", "b"});
    TableReaders readers;
    readers.watch(&list);
    readers.watch(&list); // once is enough

    std::atomic<bool> release = false;
    std::atomic<bool> finished = false;
    const std::shared_future<QByteArray> result = readers.start([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        finished = true;
        return QByteArray("laid out");
    });
    // Whoever would refill the table listens after the readers do.
    bool finishedAtReset = false;
    QObject::connect(&list, &QAbstractItemModel::modelAboutToBeReset, [&] { finishedAtReset = finished; });
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release = true;
    });
    list.setStringList({"c"});
    releaser.join();
    EXPECT_TRUE(finishedAtReset);
    EXPECT_EQ(result.get(), "laid out");

    // What the work throws comes through its result.
    const std::shared_future<QByteArray> failed = readers.start([]() -> QByteArray { throw std::runtime_error("no"); });
    readers.waitForAll();
    EXPECT_THROW(failed.get(), std::runtime_error);
}
