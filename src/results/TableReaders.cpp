#include "results/TableReaders.h"

#include <QAbstractItemModel>

#include <algorithm>

TableReaders::~TableReaders()
{
    QObject::disconnect(m_watch);
    waitForAll();
}

void TableReaders::watch(QAbstractItemModel* list)
{
    if (list == m_watched)
        return;
    QObject::disconnect(m_watch);
    m_watched = list;
    m_watch = QObject::connect(list, &QAbstractItemModel::modelAboutToBeReset, list, [this] { waitForAll(); });
}

std::shared_future<QByteArray> TableReaders::start(std::function<QByteArray()> work)
{
    // Readers that are done leave first, so the list stays short.
    const auto done = std::remove_if(m_readers.begin(), m_readers.end(), [](Reader& reader) {
        if (reader.result.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return false;
        reader.thread.join();
        return true;
    });
    m_readers.erase(done, m_readers.end());

    std::packaged_task<QByteArray()> task(std::move(work));
    std::shared_future<QByteArray> result = task.get_future().share();
    m_readers.push_back({std::thread(std::move(task)), result});
    return result;
}

void TableReaders::waitForAll()
{
    for (Reader& reader : m_readers)
        reader.thread.join();
    m_readers.clear();
}
