// The Windows build's Trash journal and its search of the Recycle Bin, as
// plain data (issue 21): lines written and read back, lines that cannot be a
// file's, lines of any length, the Recycle Bin's records ($I files and
// Wine's item IDs), and the choice of the item that holds a journaled file.

#include "platform/RecycleBinJournal.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::recyclebin;

namespace {

constexpr quint64 kUnixEpochTicks = 116444736000000000ULL;

LineReader readerOf(const QByteArray& text, qint64 piece = 7)
{
    auto position = std::make_shared<qsizetype>(0);
    return LineReader(
        [text, position, piece](char* buffer, qint64 size) -> qint64 {
            const qint64 count = std::min<qint64>({size, piece, text.size() - *position});
            std::memcpy(buffer, text.constData() + *position, size_t(count));
            *position += count;
            return count;
        },
        kLongestLine);
}

std::optional<JournalRequest> parse(const QByteArray& text, QStringList* problems = nullptr, quint64 id = 4)
{
    LineReader lines = readerOf(text, 4096);
    std::vector<JournalState> states;
    return parseRequest(lines, id, true, states, problems);
}

QByteArray request(const QByteArray& body, quint64 id = 4)
{
    return "chronopurge trash journal 1\nrequest " + QByteArray::number(id) + " 1700000000 end\n" + body;
}

void appendLittle(QByteArray& bytes, quint64 value, int size)
{
    char buffer[8];
    qToLittleEndian<quint64>(value, buffer);
    bytes.append(buffer, size);
}

void appendUnits(QByteArray& bytes, const QString& text, qsizetype units)
{
    for (qsizetype i = 0; i < units; ++i)
        appendLittle(bytes, i < text.size() ? text[i].unicode() : 0, 2);
}

quint64 ticksOf(qint64 seconds)
{
    return quint64(seconds) * 10000000 + kUnixEpochTicks;
}

} // namespace

TEST(RecycleBinJournalTest, WrittenLinesReadBackWithEveryField)
{
    const QString path = QStringLiteral("C:\\Users\\Ana\\Фото 1\\café %20.txt");
    const FileIdentity identity{0x1234abcd, 0x0005000000001234ULL, FileType::Regular};
    const FileIdentity folder{0x1234abcd, 77, FileType::Directory};
    const FileStamp stamp{1700000123, 456000000, 9876, false, 0, 0};
    const QByteArray text = request(movedLine(0, path, identity, folder) + " end\n"
                                    + detailLine(0, stamp, QStringLiteral("D:\\real\\café %20.txt")) + " end\n"
                                    + movedLine(1, QStringLiteral("\\\\server\\share\\a b"), {1, 0, FileType::Link},
                                                {1, 0, FileType::Directory})
                                    + " end\nput-back 1 end\n");
    const std::optional<JournalRequest> read = parse(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->time, 1700000000);
    ASSERT_EQ(read->files.size(), 2u);
    const JournalFile& first = read->files[0];
    EXPECT_EQ(QString::fromUtf8(first.originalPath), path);
    EXPECT_EQ(first.trash, "C:\\");
    EXPECT_EQ(QString::fromUtf8(first.trashName), QStringLiteral("café %20.txt"));
    EXPECT_EQ(first.identity, identity);
    EXPECT_EQ(first.folderIdentity, folder);
    EXPECT_EQ(first.stamp, stamp);
    EXPECT_EQ(QString::fromUtf8(first.realPath), QStringLiteral("D:\\real\\café %20.txt"));
    EXPECT_EQ(first.state, JournalState::InTrash);
    EXPECT_EQ(read->files[1].trash, "\\\\server\\share\\");
    EXPECT_EQ(read->files[1].state, JournalState::PutBack);
    EXPECT_FALSE(read->files[1].stamp.known());
    EXPECT_EQ(read->inTrashCount(), 1);
}

TEST(RecycleBinJournalTest, LinesThatCannotBeAFilesAreSkippedAndReported)
{
    auto moved = [](int number, const QByteArray& root, const QByteArray& name, const QByteArray& original) {
        return "moved " + QByteArray::number(number) + " 1 2 1 1 3 " + root + ' ' + name + ' ' + original + " end\n";
    };
    QStringList problems;
    const std::optional<JournalRequest> read = parse(
        request(moved(0, "C%3A%5C", "a", "C%3A%5Cx%5Ca")            // fine
                + moved(1, "C%3A%5C", "a", "x%5Ca")                 // relative
                + moved(2, "C%3A%5C", "..", "C%3A%5Cx%5C..")        // no name
                + moved(3, "C%3A%5C", "a", "C%3A%5Cx%5C..%5Ca")     // a step up
                + moved(4, "D%3A%5C", "a", "C%3A%5Cx%5Ca")          // another drive
                + moved(5, "C%3A%5C", "a%5Cb", "C%3A%5Cx%5Ca")      // a separator in the name
                + moved(6, "C%3A%5C", "a", "C%3A%5Cx%0A%5Ca")       // a line feed in a folder
                + moved(7, "C%3A%5C", "a", "%5C%5C%3F%5CC%3A%5Ca")  // a \\?\ path
                + "moved 9 1 2 1 1 3 C%3A%5C b C%3A%5Cb end\n"      // out of order: not ours
                + moved(8, "C%3A%5C", "b", "C%3A%5Cb") + "gone 8 end\n"),
        &problems);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_EQ(read->files[0].originalPath, "C:\\x\\a");
    EXPECT_EQ(read->files[1].number, 8);
    EXPECT_EQ(read->files[1].state, JournalState::Gone);
    ASSERT_EQ(problems.size(), 7) << problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(problems[0], QStringLiteral("request 4, line 4: its original path is not absolute"));
    EXPECT_EQ(problems[1], QStringLiteral("request 4, line 5: its original path does not name a file"));
    EXPECT_EQ(problems[3], QStringLiteral("request 4, line 7: its Trash folder is not one the program uses"));
    EXPECT_EQ(problems[4], QStringLiteral("request 4, line 8: its name in the Trash is not a single name"));
    EXPECT_EQ(problems[6], QStringLiteral("request 4, line 10: its original path is not absolute"));
}

TEST(RecycleBinJournalTest, LinesOfAnyLengthAreReadInBoundedPieces)
{
    // A line far longer than any record is skipped without being held; torn
    // lines, lines of another request and a missing header are not records.
    const QByteArray huge(kLongestLine * 3, 'x');
    QStringList problems;
    const QByteArray text
        = request("moved 0 1 2 1 1 3 C%3A%5C a C%3A%5Ca end\n" + huge + "\nmoved 1 1 2 1 1 3 C%3A%5C b C%3A%5Cb\n"
                  + "request 5 1 end\nundone 1700000001 end\nmoved 1 1 2 1 1 3 C%3A%5C c C%3A%5Cc end");
    LineReader lines = readerOf(text, 65536);
    std::vector<JournalState> states;
    const std::optional<JournalRequest> read = parseRequest(lines, 4, true, states, &problems);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_EQ(read->files[1].originalPath, "C:\\c");
    EXPECT_TRUE(read->undone);
    EXPECT_EQ(problems, QStringList{QStringLiteral("request 4, line 4: it is longer than any record")});
    EXPECT_FALSE(parse("chronopurge trash journal 2\nrequest 4 1 end\n"));
    EXPECT_FALSE(parse(request("", 5)));

    // A last line too long, without its line feed, is reported too.
    problems.clear();
    EXPECT_TRUE(parse(request(huge), &problems));
    EXPECT_EQ(problems.size(), 1);
}

TEST(RecycleBinJournalTest, TheItemChosenHasThePathTheTimeAndTheSize)
{
    JournalFile file;
    file.originalPath = "C:\\Data\\Report.txt";
    file.stamp = {1000, 0, 42, false, 0, 0};
    const std::vector<BinItem> items = {
        {QStringLiteral("C:\\Data\\Report.txt"), 1000 - 3, 42, {}, {}},   // deleted before the request
        {QStringLiteral("c:\\data\\REPORT.TXT"), 1005, 42, {}, {}},       // letter case aside
        {QStringLiteral("C:\\Data\\Report.txt"), 1001, 43, {}, {}},       // another size
        {QStringLiteral("C:\\Data\\Report.txt"), 1001, 42, {}, {}},       // nearest
        {QStringLiteral("C:\\Data\\Report.txt"), 1000 + 121, 42, {}, {}}, // too late
        {QStringLiteral("C:\\Data\\Report.txt.bak"), 1000, 42, {}, {}},
        {QStringLiteral("C:\\Data\\Report.txt"), 999, -1, {}, {}},        // no size recorded
    };
    const BinIndex index(items);
    EXPECT_EQ(binCandidates(file, items, {}), (std::vector<size_t>{3, 6, 1}));
    EXPECT_EQ(index.candidates(file, {}), (std::vector<size_t>{3, 6, 1}));
    EXPECT_EQ(index.candidates(file, {false, false, false, true}), (std::vector<size_t>{6, 1}));
    // A journal without the time and size takes every item of the path.
    file.stamp = {};
    EXPECT_EQ(index.candidates(file, {}).size(), 6u);
    file.originalPath = "C:\\Data\\Other.txt";
    EXPECT_TRUE(index.candidates(file, {}).empty());
}

TEST(RecycleBinJournalTest, RecycleBinRecordsOfBothFormats)
{
    const QString path = QStringLiteral("C:\\Users\\Ana\\日本.txt");
    QByteArray second;
    appendLittle(second, 2, 8);
    appendLittle(second, 1234, 8);
    appendLittle(second, ticksOf(1700000000) + 5, 8);
    appendLittle(second, quint64(path.size() + 1), 4);
    appendUnits(second, path, path.size() + 1);
    std::optional<BinRecord> record = parseBinRecord(second);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size, 1234);
    EXPECT_EQ(record->deletedSeconds, 1700000000);
    EXPECT_EQ(record->originalPath, path);
    EXPECT_FALSE(parseBinRecord(second.left(second.size() - 4)));

    QByteArray first;
    appendLittle(first, 1, 8);
    appendLittle(first, 7, 8);
    appendLittle(first, ticksOf(1600000000), 8);
    appendUnits(first, path, 260);
    record = parseBinRecord(first);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->originalPath, path);
    EXPECT_EQ(record->deletedSeconds, 1600000000);

    first[0] = 3;
    EXPECT_FALSE(parseBinRecord(first));
    EXPECT_FALSE(parseBinRecord(QByteArray(10, '\0')));
    EXPECT_EQ(secondsOfFileTime(kUnixEpochTicks - 1), -1);
}

TEST(RecycleBinJournalTest, WineItemIdsGiveThePathTimeSizeAndNameInTheTrash)
{
    auto item = [](const QString& original, const QString& name) {
        QByteArray bytes(1, '\0');
        appendLittle(bytes, 0x20, 4);
        appendLittle(bytes, ticksOf(1), 8);
        appendLittle(bytes, ticksOf(1700000042), 8);
        appendLittle(bytes, ticksOf(2), 8);
        appendLittle(bytes, 1, 4);
        appendLittle(bytes, 5, 4);
        appendLittle(bytes, 0, 8);
        appendUnits(bytes, original, 260);
        appendUnits(bytes, {}, 14);
        appendUnits(bytes, name, name.size() + 1);
        return bytes;
    };
    QString name;
    const std::optional<BinItem> found = parseWineItem(item(QStringLiteral("Z:\\tmp\\b c.txt"), QStringLiteral("b c.2.txt")), &name);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->originalPath, QStringLiteral("Z:\\tmp\\b c.txt"));
    EXPECT_EQ(found->deletedSeconds, 1700000042);
    EXPECT_EQ(found->size, (qint64(1) << 32) + 5);
    EXPECT_EQ(name, QStringLiteral("b c.2.txt"));
    // A name in the Trash that leads elsewhere, or bytes of another layout.
    EXPECT_FALSE(parseWineItem(item(QStringLiteral("Z:\\a"), QStringLiteral("..")), &name));
    EXPECT_FALSE(parseWineItem(item(QStringLiteral("Z:\\a"), QStringLiteral("..\\x")), &name));
    EXPECT_FALSE(parseWineItem(item(QStringLiteral("Z:\\a"), QStringLiteral("x")).mid(1), &name));
    EXPECT_FALSE(parseWineItem(QByteArray(40, '\0'), &name));
}
