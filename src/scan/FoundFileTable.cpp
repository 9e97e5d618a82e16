#include "scan/FoundFileTable.h"

#include "folders/FolderPath.h"
#include "platform/FileSystem.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

// Folder paths go in pieces of this size (a longer path gets a piece of its own).
constexpr size_t kPathPieceBytes = 256 * 1024;
// Room for the names of a block's files at its start: most names are shorter.
constexpr size_t kBlockNameBytes = 64 * 1024;

} // namespace

QString FoundFileTable::path(qsizetype i) const
{
    const QByteArrayView folder = folderPathUtf8(folderIndex(i));
    const size_t length = nameLength(i);
    QVarLengthArray<char, 1024> bytes(folder.size() + qsizetype(length));
    std::memcpy(bytes.data(), folder.data(), size_t(folder.size()));
    std::memcpy(bytes.data() + folder.size(), nameUtf8(i), length);
    return platform::pathFromNative(QByteArrayView(bytes.constData(), bytes.size()));
}

QString FoundFileTable::folderPath(quint32 folder) const
{
    return platform::pathFromNative(folderPathUtf8(folder));
}

size_t FoundFileTable::nameLength(qsizetype i) const
{
    const Block& owner = block(i);
    const size_t within = size_t(i) & (kBlockFiles - 1);
    const size_t end = size_t(i) + 1 < m_count && within + 1 < kBlockFiles ? owner.entries[within + 1].nameOffset
                                                                          : owner.names.size();
    return end - owner.entries[within].nameOffset;
}

quint64 FoundFileTable::wideValue(const std::vector<WideValue>& values, qsizetype i)
{
    const auto found = std::lower_bound(values.begin(), values.end(), quint64(i),
                                        [](const WideValue& value, quint64 index) { return value.index < index; });
    Q_ASSERT(found != values.end() && found->index == quint64(i));
    return found->value;
}

platform::FileIdentity FoundFileTable::identity(qsizetype i) const
{
    const Entry& file = entry(i);
    quint64 device = m_folderFacts[file.folder].device;
    if (!m_ownDevices.empty()) {
        const auto own = std::lower_bound(m_ownDevices.begin(), m_ownDevices.end(), quint64(i),
                                          [](const WideValue& value, quint64 index) { return value.index < index; });
        if (own != m_ownDevices.end() && own->index == quint64(i))
            device = own->value;
    }
    const quint64 inode = file.inode != kWideNumber ? file.inode : wideValue(m_wideInodes, i);
    return {device, inode, platform::FileType(file.type)};
}

QString FoundFileTable::listedFolder(qsizetype i) const
{
    const qint32 listed = m_folderFacts[folderIndex(i)].listed;
    return listed < 0 ? QString() : m_listedFolders[size_t(listed)];
}

void FoundFileTable::clear()
{
    *this = FoundFileTable();
}

void FoundFileTable::append(const QString& path, qint64 localSeconds, const FoundFileFacts& facts)
{
    m_mayRepeatPaths = true;
    const qsizetype slash = path.lastIndexOf(kPathSeparator);
    const QByteArray folder = platform::nativePath(path.left(slash + 1));
    if (m_folderFacts.empty() || folderPathUtf8(folderCount() - 1) != folder)
        beginFolderUtf8(folder, 0);
    const QByteArray name = platform::nativePath(path.mid(slash + 1));
    appendFile(name.constData(), size_t(name.size()), localSeconds, facts);
}

void FoundFileTable::beginListedFolder(const QString& listedPath, PathsBelow paths)
{
    // Paths below two listed folders can only meet when one folder's path
    // begins with the other's (both end in the separator), in the letter
    // case the file system ignores.
    if (paths == PathsBelow::MayRepeat || !listedPath.endsWith(kPathSeparator))
        m_mayRepeatPaths = true;
    for (const QString& earlier : m_listedFolders) {
        if (earlier.startsWith(listedPath, kPathCase) || listedPath.startsWith(earlier, kPathCase))
            m_mayRepeatPaths = true;
    }
    m_listedFolders.push_back(listedPath);
    m_listedFolderUtf8 = platform::nativePath(listedPath);
}

void FoundFileTable::beginFolder(const QString& folderPath, quint64 device)
{
    beginFolderUtf8(platform::nativePath(folderPath), device);
}

const char* FoundFileTable::storeFolderPath(QByteArrayView path)
{
    const size_t length = size_t(path.size());
    if (length > m_pathPieceFree) {
        const size_t piece = std::max(length, kPathPieceBytes);
        m_pathPieces.push_back(std::make_unique_for_overwrite<char[]>(piece));
        m_pathNext = m_pathPieces.back().get();
        m_pathPieceFree = piece;
    }
    char* stored = m_pathNext;
    if (length != 0)
        std::memcpy(stored, path.data(), length);
    m_pathNext += length;
    m_pathPieceFree -= length;
    return stored;
}

void FoundFileTable::beginFolderUtf8(QByteArrayView folderPath, quint64 device)
{
    if (m_listedFolders.empty() || !folderPath.startsWith(m_listedFolderUtf8))
        m_mayRepeatPaths = true;
    Q_ASSERT(m_folderFacts.size() < (size_t(1) << 28));
    m_folderFacts.push_back({storeFolderPath(folderPath), quint32(folderPath.size()),
                             qint32(m_listedFolders.size()) - 1, device});
}

void FoundFileTable::appendFile(const char* utf8Name, size_t length, qint64 localSeconds, const FoundFileFacts& facts)
{
    if (m_folderFacts.empty())
        beginFolderUtf8({}, 0);
    const size_t within = m_count & (kBlockFiles - 1);
    if (within == 0) {
        if (!m_blocks.empty())
            m_blocks.back().names.shrink_to_fit();
        m_blocks.push_back({std::make_unique_for_overwrite<Entry[]>(kBlockFiles), {}});
        m_blocks.back().names.reserve(kBlockNameBytes);
    }
    Block& current = m_blocks.back();
    Q_ASSERT(current.names.size() + length <= std::numeric_limits<quint32>::max());
    const quint64 index = m_count;
    Entry& entry = current.entries[within];
    if (localSeconds != kNoDate && localSeconds - kDateBase > kWideDate
        && localSeconds - kDateBase <= std::numeric_limits<qint32>::max()) {
        entry.date = qint32(localSeconds - kDateBase);
    } else {
        entry.date = kWideDate;
        m_wideDates.push_back({index, quint64(localSeconds)});
    }
    if (facts.inode < kWideNumber) {
        entry.inode = quint32(facts.inode);
    } else {
        entry.inode = kWideNumber;
        m_wideInodes.push_back({index, facts.inode});
    }
    if (facts.size >= 0 && facts.size < qint64(kWideNumber)) {
        entry.size = quint32(facts.size);
    } else {
        entry.size = kWideNumber;
        m_wideSizes.push_back({index, quint64(facts.size)});
    }
    entry.nameOffset = quint32(current.names.size());
    entry.folder = quint32(m_folderFacts.size() - 1);
    entry.type = quint32(facts.type);
    if (facts.device != 0 && facts.device != m_folderFacts.back().device)
        m_ownDevices.push_back({index, facts.device});
    current.names.append(utf8Name, length);
    ++m_count;
}

size_t FoundFileTable::memoryUsed() const
{
    size_t bytes = m_blocks.capacity() * sizeof(Block) + m_folderFacts.capacity() * sizeof(FolderFacts);
    for (const Block& block : m_blocks)
        bytes += kBlockFiles * sizeof(Entry) + block.names.capacity();
    bytes += m_pathPieces.size() * kPathPieceBytes;
    for (const std::vector<WideValue>* values : {&m_wideDates, &m_wideInodes, &m_wideSizes, &m_ownDevices})
        bytes += values->capacity() * sizeof(WideValue);
    return bytes;
}
