#include "scan/FoundFileTable.h"

#include <algorithm>

QString FoundFileTable::path(qsizetype i) const
{
    const Entry& entry = m_entries[size_t(i)];
    return m_folders[entry.folder] + QString::fromUtf8(m_names.data() + entry.nameOffset, qsizetype(entry.nameLength));
}

platform::FileIdentity FoundFileTable::identity(qsizetype i) const
{
    const Entry& entry = m_entries[size_t(i)];
    quint64 device = m_folderFacts[entry.folder].device;
    if (!m_ownDevices.empty()) {
        const auto own = std::lower_bound(m_ownDevices.begin(), m_ownDevices.end(), std::pair(quint64(i), quint64(0)));
        if (own != m_ownDevices.end() && own->first == quint64(i))
            device = own->second;
    }
    return {device, entry.inode, platform::FileType(entry.type)};
}

QString FoundFileTable::listedFolder(qsizetype i) const
{
    const qint32 listed = m_folderFacts[m_entries[size_t(i)].folder].listed;
    return listed < 0 ? QString() : m_listedFolders[size_t(listed)];
}

void FoundFileTable::clear()
{
    std::vector<QString>().swap(m_folders);
    std::vector<FolderFacts>().swap(m_folderFacts);
    std::vector<QString>().swap(m_listedFolders);
    std::vector<Entry>().swap(m_entries);
    std::string().swap(m_names);
    std::vector<std::pair<quint64, quint64>>().swap(m_ownDevices);
    m_mayRepeatPaths = false;
}

void FoundFileTable::append(const QString& path, qint64 localSeconds, const FoundFileFacts& facts)
{
    m_mayRepeatPaths = true;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    if (m_folders.empty() || m_folders.back() != folder)
        beginFolder(folder);
    const QByteArray name = path.mid(slash + 1).toUtf8();
    appendFile(name.constData(), size_t(name.size()), localSeconds, facts);
}

void FoundFileTable::beginListedFolder(const QString& listedPath, PathsBelow paths)
{
    // Paths below two listed folders can only meet when one folder's path
    // begins with the other's (both end in "/").
    if (paths == PathsBelow::MayRepeat || !listedPath.endsWith(QLatin1Char('/')))
        m_mayRepeatPaths = true;
    for (const QString& earlier : m_listedFolders) {
        if (earlier.startsWith(listedPath) || listedPath.startsWith(earlier))
            m_mayRepeatPaths = true;
    }
    m_listedFolders.push_back(listedPath);
}

void FoundFileTable::beginFolder(const QString& folderPath, quint64 device)
{
    if (m_listedFolders.empty() || !folderPath.startsWith(m_listedFolders.back()))
        m_mayRepeatPaths = true;
    m_folders.push_back(folderPath);
    m_folderFacts.push_back({device, qint32(m_listedFolders.size()) - 1});
}

void FoundFileTable::appendFile(const char* utf8Name, size_t length, qint64 localSeconds, const FoundFileFacts& facts)
{
    if (m_folders.empty())
        beginFolder(QString());
    Q_ASSERT(length < (1u << 16));
    Entry entry;
    entry.localSeconds = localSeconds;
    entry.inode = facts.inode;
    entry.size = facts.size;
    entry.nameOffset = quint64(m_names.size());
    entry.nameLength = quint64(length);
    entry.type = quint64(facts.type);
    entry.folder = quint32(m_folders.size() - 1);
    if (facts.device != 0 && facts.device != m_folderFacts.back().device)
        m_ownDevices.emplace_back(quint64(m_entries.size()), facts.device);
    m_entries.push_back(entry);
    m_names.append(utf8Name, length);
}

size_t FoundFileTable::memoryUsed() const
{
    size_t folders = m_folders.capacity() * sizeof(QString) + m_folderFacts.capacity() * sizeof(FolderFacts);
    for (const QString& folder : m_folders)
        folders += size_t(folder.capacity()) * 2 + 32;
    return folders + m_entries.capacity() * sizeof(Entry) + m_names.capacity()
        + m_ownDevices.capacity() * sizeof(m_ownDevices[0]);
}
