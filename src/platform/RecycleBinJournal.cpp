#include "platform/RecycleBinJournal.h"

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace platform::recyclebin {

namespace {

constexpr char kHeader[] = "chronopurge trash journal 1";
constexpr char kEnd[] = "end";
/** 100 ns ticks between 1601-01-01 and 1970-01-01. */
constexpr quint64 kUnixEpochTicks = 116444736000000000ULL;

QString journalText(const char* text)
{
    return QCoreApplication::translate("TrashJournal", text);
}

void report(QStringList* problems, quint64 id, qsizetype line, const QString& reason)
{
    if (!problems)
        return;
    if (line > 0)
        problems->append(journalText("request %1, line %2: %3").arg(id).arg(line).arg(reason));
    else
        problems->append(journalText("request %1: %2").arg(id).arg(reason));
}

QByteArray encoded(const QString& path)
{
    return path.isEmpty() ? QByteArray("-") : path.toUtf8().toPercentEncoding("/");
}

QString decoded(const QByteArray& field)
{
    return field == "-" ? QString() : QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

bool parseNumber(const QByteArray& text, quint64& value)
{
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok;
}

bool parseSigned(const QByteArray& text, qint64& value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

// True for a name one folder may hold: not empty, no separator, no "." or "..".
bool isSingleName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char(':'))
        && !name.contains(QChar(0));
}

bool isDriveLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

quint64 readLittle64(const char* bytes)
{
    return qFromLittleEndian<quint64>(bytes);
}

} // namespace

QString driveRoot(const QString& path)
{
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == QLatin1Char(':') && path[2] == QLatin1Char('\\'))
        return path.left(3);
    if (!path.startsWith(QLatin1String("\\\\")) || path.startsWith(QLatin1String("\\\\?\\"))
        || path.startsWith(QLatin1String("\\\\.\\")))
        return {};
    // \\server\share\ : two names after the two separators.
    const qsizetype server = path.indexOf(QLatin1Char('\\'), 2);
    if (server <= 2)
        return {};
    const qsizetype share = path.indexOf(QLatin1Char('\\'), server + 1);
    if (share <= server + 1)
        return {};
    return path.left(share + 1);
}

QString pathRefusal(const QString& path)
{
    const QString root = driveRoot(path);
    if (root.isEmpty())
        return journalText("its original path is not absolute");
    const QStringList steps = path.mid(root.size()).split(QLatin1Char('\\'));
    for (const QString& step : steps) {
        const bool control = std::any_of(step.begin(), step.end(), [](QChar c) { return c.unicode() < 0x20; });
        if (!isSingleName(step) || control)
            return journalText("its original path does not name a file");
    }
    return {};
}

QByteArray movedLine(qsizetype number, const QString& originalPath, const FileIdentity& identity,
                     const FileIdentity& folderIdentity)
{
    QByteArray line = "moved " + QByteArray::number(number);
    for (const quint64 value :
         {identity.device, identity.inode, quint64(identity.type), folderIdentity.device, folderIdentity.inode})
        line += ' ' + QByteArray::number(value);
    const QString name = originalPath.mid(originalPath.lastIndexOf(QLatin1Char('\\')) + 1);
    return line + ' ' + encoded(driveRoot(originalPath)) + ' ' + encoded(name) + ' ' + encoded(originalPath);
}

QByteArray detailLine(qsizetype number, const FileStamp& stamp, const QString& realPath)
{
    QByteArray line = "moved-detail " + QByteArray::number(number);
    if (stamp.known())
        line += ' ' + QByteArray::number(stamp.changeSeconds) + ' ' + QByteArray::number(stamp.changeNanoseconds)
            + ' ' + QByteArray::number(stamp.size);
    else
        line += " 0 0 -1";
    return line + " - - " + encoded(realPath);
}

std::optional<JournalRequest> parseRequest(LineReader& lines, quint64 id, bool keepFiles,
                                           std::vector<JournalState>& states, QStringList* problems)
{
    QByteArray line;
    if (lines.next(line) != LineReader::Line::Whole || line != kHeader)
        return std::nullopt;
    JournalRequest request;
    bool begun = false;
    states.clear();
    for (LineReader::Line read; (read = lines.next(line)) != LineReader::Line::End;) {
        if (read == LineReader::Line::TooLong) {
            report(problems, id, lines.lineNumber(), journalText("it is longer than any record"));
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2 || fields.last() != kEnd)
            continue;
        const QByteArray& kind = fields.first();
        quint64 number = 0;
        if (kind == "request" && fields.size() == 4) {
            qint64 time = 0;
            if (parseNumber(fields[1], number) && number == id && parseSigned(fields[2], time)) {
                request.id = id;
                request.time = time;
                begun = true;
            }
        } else if (kind == "moved" && fields.size() == 11 && begun) {
            quint64 values[6];
            bool ok = true;
            for (int f = 0; f < 6; ++f)
                ok = ok && parseNumber(fields[1 + f], values[f]);
            // Numbers run from 0 without gaps; anything else is not ours.
            if (!ok || values[0] != states.size() || values[3] > quint64(FileType::Other))
                continue;
            const QString root = decoded(fields[7]);
            const QString name = decoded(fields[8]);
            const QString original = decoded(fields[9]);
            QString reason = pathRefusal(original);
            if (reason.isEmpty() && root != driveRoot(original))
                reason = journalText("its Trash folder is not one the program uses");
            if (reason.isEmpty() && !isSingleName(name))
                reason = journalText("its name in the Trash is not a single name");
            // A refused line keeps its number, so that the lines after it
            // are read, and counts as no file in the Trash.
            if (!reason.isEmpty()) {
                report(problems, id, lines.lineNumber(), reason);
                states.push_back(JournalState::Gone);
                continue;
            }
            states.push_back(JournalState::InTrash);
            if (!keepFiles && !request.files.empty())
                continue;
            JournalFile file;
            file.number = qsizetype(values[0]);
            file.trash = root.toUtf8();
            file.trashName = name.toUtf8();
            file.originalPath = original.toUtf8();
            file.identity = {values[1], values[2], FileType(values[3])};
            file.folderIdentity = {values[4], values[5], FileType::Directory};
            request.files.push_back(std::move(file));
        } else if (kind == "moved-detail" && fields.size() == 9) {
            // It follows its "moved" line; a refused one has none kept.
            if (!parseNumber(fields[1], number) || request.files.empty()
                || request.files.back().number != qsizetype(number))
                continue;
            JournalFile& file = request.files.back();
            qint64 values[3] = {};
            bool ok = true;
            for (int f = 0; f < 3; ++f)
                ok = ok && parseSigned(fields[2 + f], values[f]);
            if (ok && values[2] >= 0 && values[1] >= 0 && values[1] < 1000000000)
                file.stamp = {values[0], values[1], values[2], false, 0, 0};
            const QString realPath = decoded(fields[7]);
            if (!realPath.isEmpty() && pathRefusal(realPath).isEmpty())
                file.realPath = realPath.toUtf8();
        } else if ((kind == "put-back" || kind == "gone") && fields.size() == 3) {
            if (parseNumber(fields[1], number) && number < states.size())
                states[number] = kind == "gone" ? JournalState::Gone : JournalState::PutBack;
        } else if (kind == "undone" && fields.size() == 3) {
            request.undone = true;
        }
    }
    if (!begun)
        return std::nullopt;
    for (JournalFile& file : request.files)
        file.state = states[size_t(file.number)];
    return request;
}

namespace {

// The items among `indexes` that may hold `file`, best first (see binCandidates()).
std::vector<size_t> candidatesAmong(const JournalFile& file, const std::vector<BinItem>& items,
                                    const std::vector<size_t>& indexes, const std::vector<bool>& used)
{
    const QString original = QString::fromUtf8(file.originalPath);
    const bool timed = file.stamp.known();
    const qint64 deleted = file.stamp.changeSeconds;
    std::vector<size_t> found;
    for (const size_t i : indexes) {
        const BinItem& item = items[i];
        if ((i < used.size() && used[i]) || item.originalPath.compare(original, Qt::CaseInsensitive) != 0)
            continue;
        if (timed
            && (item.deletedSeconds < deleted - kDeletedEarlier || item.deletedSeconds > deleted + kDeletedLater
                || (item.size >= 0 && item.size != file.stamp.size)))
            continue;
        found.push_back(i);
    }
    std::stable_sort(found.begin(), found.end(), [&](size_t a, size_t b) {
        return std::llabs(items[a].deletedSeconds - deleted) < std::llabs(items[b].deletedSeconds - deleted);
    });
    return found;
}

QString pathKey(const QString& path)
{
    return path.toCaseFolded();
}

} // namespace

std::vector<size_t> binCandidates(const JournalFile& file, const std::vector<BinItem>& items,
                                  const std::vector<bool>& used)
{
    std::vector<size_t> all(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        all[i] = i;
    return candidatesAmong(file, items, all, used);
}

BinIndex::BinIndex(const std::vector<BinItem>& items)
    : m_items(items)
{
    for (size_t i = 0; i < items.size(); ++i)
        m_byPath[pathKey(items[i].originalPath)].push_back(i);
}

std::vector<size_t> BinIndex::candidates(const JournalFile& file, const std::vector<bool>& used) const
{
    const auto found = m_byPath.constFind(pathKey(QString::fromUtf8(file.originalPath)));
    return found == m_byPath.cend() ? std::vector<size_t>() : candidatesAmong(file, m_items, *found, used);
}

qint64 secondsOfFileTime(quint64 ticks)
{
    const qint64 sinceEpoch = qint64(ticks) - qint64(kUnixEpochTicks);
    // Toward the past, also before 1970.
    return sinceEpoch >= 0 ? sinceEpoch / 10000000 : -((-sinceEpoch + 9999999) / 10000000);
}

std::optional<BinRecord> parseBinRecord(const QByteArray& bytes)
{
    // Format 1: version, size, deletion time, then 260 UTF-16 units.
    // Format 2: version, size, deletion time, a count of UTF-16 units (the NUL included), the units.
    if (bytes.size() < 24)
        return std::nullopt;
    const quint64 version = readLittle64(bytes.constData());
    const qint64 size = qint64(readLittle64(bytes.constData() + 8));
    const quint64 deleted = readLittle64(bytes.constData() + 16);
    qsizetype start = 24;
    qsizetype units = 0;
    if (version == 1) {
        units = 260;
    } else if (version == 2 && bytes.size() >= 28) {
        units = qFromLittleEndian<quint32>(bytes.constData() + 24);
        start = 28;
    } else {
        return std::nullopt;
    }
    if (size < 0 || units <= 0 || units > 32768 || bytes.size() < start + 2 * units)
        return std::nullopt;
    QString path;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = qFromLittleEndian<quint16>(bytes.constData() + start + 2 * i);
        if (unit == 0)
            break;
        path.append(QChar(unit));
    }
    if (path.isEmpty())
        return std::nullopt;
    return BinRecord{size, secondsOfFileTime(deleted), path};
}

std::optional<BinItem> parseWineItem(const QByteArray& bytes, QString* trashName)
{
    // A zero byte, then WIN32_FIND_DATAW: attributes (4), creation, access
    // and write times (8 each), size high and low (4 each), two reserved
    // (4 each), the name (260 units), the short name (14 units); 592 bytes.
    constexpr qsizetype kFindData = 592;
    constexpr qsizetype kNameOffset = 1 + 44;
    if (bytes.size() < 1 + kFindData + 4 || bytes[0] != '\0' || (bytes.size() - 1 - kFindData) % 2 != 0)
        return std::nullopt;
    const char* data = bytes.constData() + 1;
    auto readUnits = [](const char* from, qsizetype units) {
        QString text;
        for (qsizetype i = 0; i < units; ++i) {
            const char16_t unit = qFromLittleEndian<quint16>(from + 2 * i);
            if (unit == 0)
                return std::optional<QString>(text);
            text.append(QChar(unit));
        }
        return std::optional<QString>();
    };
    const std::optional<QString> original = readUnits(bytes.constData() + kNameOffset, 260);
    const std::optional<QString> name
        = readUnits(bytes.constData() + 1 + kFindData, (bytes.size() - 1 - kFindData) / 2);
    if (!original || original->isEmpty() || !name || !isSingleName(*name))
        return std::nullopt;
    BinItem item;
    item.originalPath = *original;
    item.deletedSeconds = secondsOfFileTime(readLittle64(data + 12));
    item.size = qint64((quint64(qFromLittleEndian<quint32>(data + 28)) << 32) | qFromLittleEndian<quint32>(data + 32));
    if (trashName)
        *trashName = *name;
    return item;
}

} // namespace platform::recyclebin
