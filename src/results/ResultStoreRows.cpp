#include "results/ResultStoreRows.h"

#include "platform/Utf8.h"
#include "scan/VisibleText.h"

namespace {

constexpr int kPathColumn = 0;
constexpr int kDateColumn = 1;

} // namespace

ResultStoreRows::ResultStoreRows(const ResultStore& store)
    : m_store(store)
    , m_times(size_t(kSecondsPerDay))
{
}

QString ResultStoreRows::text(qsizetype row, int column) const
{
    if (column == kPathColumn)
        return m_store.path(int(row));
    if (column == kDateColumn)
        return m_store.dateText(int(row));
    return QString();
}

qsizetype ResultStoreRows::nameLength(const char* bytes, size_t size)
{
    qsizetype length = 0;
    bool ascii = true;
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        ascii = ascii && byte < 0x80;
        // Every byte but a continuation byte starts a character; four-byte
        // characters take two UTF-16 code units.
        length += (byte & 0xC0) != 0x80 ? 1 : 0;
        length += byte >= 0xF0 ? 1 : 0;
    }
    if (ascii || platform::isValidUtf8(bytes, size))
        return length;
    // Each byte that begins no valid character stands for one code unit.
    length = 0;
    for (size_t i = 0; i < size;) {
        const int character = platform::utf8CharacterLength(bytes + i, size - i);
        length += character == 4 ? 2 : 1;
        i += character == 0 ? 1 : size_t(character);
    }
    return length;
}

const ResultStoreRows::Piece& ResultStoreRows::folderPiece(quint32 folder) const
{
    if (m_folders.size() <= folder)
        m_folders.resize(size_t(folder) + 1);
    Piece& piece = m_folders[folder];
    if (piece.utf8.isEmpty()) {
        const QString path = m_store.table().folderPath(folder);
        piece = {visibleText(path).toUtf8(), path.size()};
    }
    return piece;
}

const ResultStoreRows::Piece& ResultStoreRows::timePiece(int second) const
{
    Piece& piece = m_times[size_t(second)];
    // On day 0 the general date text is the time alone.
    if (piece.utf8.isEmpty()) {
        const QString time = m_dates.text(second);
        piece = {time.toUtf8(), time.size()};
    }
    return piece;
}

const ResultStoreRows::Piece& ResultStoreRows::dayPiece(qint64 day) const
{
    Piece& piece = m_days[day];
    // At midnight the general date text is the date alone.
    if (piece.utf8.isEmpty()) {
        const QString date = m_dates.text(day * kSecondsPerDay);
        piece = {date.toUtf8(), date.size()};
    }
    return piece;
}

qsizetype ResultStoreRows::textLength(qsizetype row, int column) const
{
    if (!m_store.isValidRow(int(row)) || (column != kPathColumn && column != kDateColumn))
        return 0;
    const FoundFileTable& table = m_store.table();
    const qsizetype index = m_store.tableIndex(int(row));
    if (column == kPathColumn) {
        return folderPiece(table.folderIndex(index)).length + nameLength(table.nameUtf8(index), table.nameLength(index));
    }
    const qint64 seconds = table.localSeconds(index);
    if (seconds == kNoDate)
        return 0;
    const qint64 day = dayNumberOf(seconds);
    const int second = int(seconds - day * kSecondsPerDay);
    if (day == 0)
        return timePiece(second).length;
    if (second == 0)
        return dayPiece(day).length;
    return dayPiece(day).length + 1 + timePiece(second).length;
}

qsizetype ResultStoreRows::appendUtf8(qsizetype row, int column, QByteArray& out) const
{
    if (!m_store.isValidRow(int(row)) || (column != kPathColumn && column != kDateColumn))
        return 0;
    const FoundFileTable& table = m_store.table();
    const qsizetype index = m_store.tableIndex(int(row));
    if (column == kPathColumn) {
        const char* name = table.nameUtf8(index);
        const size_t size = table.nameLength(index);
        const Piece& folder = folderPiece(table.folderIndex(index));
        out += folder.utf8;
        appendVisibleUtf8(out, name, size);
        return folder.length + nameLength(name, size);
    }
    const qint64 seconds = table.localSeconds(index);
    if (seconds == kNoDate)
        return 0;
    const qint64 day = dayNumberOf(seconds);
    const int second = int(seconds - day * kSecondsPerDay);
    if (day == 0) {
        out += timePiece(second).utf8;
        return timePiece(second).length;
    }
    const Piece& date = dayPiece(day);
    out += date.utf8;
    if (second == 0)
        return date.length;
    const Piece& time = timePiece(second);
    out += ' ';
    out += time.utf8;
    return date.length + 1 + time.length;
}
