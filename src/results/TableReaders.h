#pragma once
// Work that reads the found-file table off the window thread.
//
// The table changes only after the result list was reset: "Next >" empties
// the second window's list before it empties the table. TableReaders runs
// each piece of work on a thread of its own and, once it watches the list,
// makes every reset of the list wait until the work still running is done,
// so the table never changes under it. Its destructor waits as well.

#include <QByteArray>
#include <QMetaObject>

#include <functional>
#include <future>
#include <thread>
#include <vector>

class QAbstractItemModel;

class TableReaders {
public:
    TableReaders() = default;
    ~TableReaders();
    TableReaders(const TableReaders&) = delete;
    TableReaders& operator=(const TableReaders&) = delete;

    /** Makes every reset of `list` wait for the work still running; calling it again for the same list does nothing. */
    void watch(QAbstractItemModel* list);

    /** Starts `work` on a thread of its own; its result, or what it threw, comes through the future. */
    std::shared_future<QByteArray> start(std::function<QByteArray()> work);

    /** Waits until every piece of work started is done. */
    void waitForAll();

private:
    struct Reader {
        std::thread thread;
        std::shared_future<QByteArray> result;
    };
    std::vector<Reader> m_readers;
    QAbstractItemModel* m_watched = nullptr;
    QMetaObject::Connection m_watch;
};
