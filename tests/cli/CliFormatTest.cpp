// --format csv, --format jsonl and --summary (issue 19): the records of
// names with quotes, commas, line breaks, control characters and bytes that
// are not UTF-8, read back as other programs read them.

#include "CliRunner.h"

#include "cli/RecordPrinter.h"
#include "cli/TrashList.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The names whose records must survive: a quote, a comma, a line feed, a
// CR LF, a TAB, a control character, a backslash and a few scripts.
const QStringList kOddNames = {"say \"hi\".txt", "a,b.txt", "line\nbreak.txt", "crlf\r\nname.txt",
                               "tab\there.txt", "bell\x07.txt", "back\\slash.txt", "日本語 ü.txt"};

/** RFC 4180 read back: records of fields, quoted fields with doubled quotes and line breaks inside. */
QList<QStringList> readCsv(const QByteArray& text)
{
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record << QString::fromUtf8(field);
            field.clear();
            records << record;
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(record.isEmpty() && field.isEmpty()) << "the last record has no CR LF";
    return records;
}

class CliFormat : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};
};

} // namespace

TEST_F(CliFormat, JsonLinesCarryEveryNameAndTheFilesFacts)
{
    for (const QString& name : kOddNames)
        tree.file("r/" + name, utc(2024, 3, 5, 23, 59, 7), utc(2025, 1, 2, 3, 4, 5));
    const CliResult result = cli.run({"--format", "jsonl", tree.path("r")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QList<QByteArray> lines = result.out.split('\n');
    ASSERT_EQ(lines.size(), kOddNames.size() + 1);
    EXPECT_TRUE(lines.last().isEmpty());
    QStringList names;
    for (qsizetype i = 0; i < kOddNames.size(); ++i) {
        QJsonParseError error;
        const QJsonObject record = QJsonDocument::fromJson(lines[i], &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        const QString path = record["path"].toString();
        names << path.mid(tree.path("r/").size());
        struct stat status;
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
        EXPECT_EQ(record["size"].toInteger(), 1);
        EXPECT_EQ(record["modified"].toString(), "2024-03-05T23:59:07+00:00");
        EXPECT_EQ(record["accessed"].toString(), "2025-01-02T03:04:05+00:00");
        EXPECT_TRUE(record["created"].isNull() || record["created"].toString().endsWith("+00:00"));
        EXPECT_EQ(quint64(record["device"].toInteger()), quint64(status.st_dev));
        EXPECT_EQ(quint64(record["inode"].toInteger()), quint64(status.st_ino));
        EXPECT_FALSE(record.contains("path_bytes"));
        // Control characters are escaped: one record is one line.
        EXPECT_FALSE(lines[i].contains('\r') || lines[i].contains('\t') || lines[i].contains('\x07'));
    }
    names.sort();
    QStringList expected = kOddNames;
    expected.sort();
    EXPECT_EQ(names, expected);
}

TEST_F(CliFormat, CsvFollowsRfc4180WithAHeader)
{
    for (const QString& name : kOddNames)
        tree.file("r/" + name, utc(2024, 3, 5, 23, 59, 7));
    const CliResult result = cli.run({"--format", "csv", tree.path("r")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QList<QStringList> records = readCsv(result.out);
    ASSERT_EQ(records.size(), kOddNames.size() + 1);
    EXPECT_EQ(records[0], (QStringList{"path", "size", "modified", "created", "accessed", "device", "inode", "path_bytes"}));
    QStringList names;
    for (const QStringList& record : records.mid(1)) {
        ASSERT_EQ(record.size(), 8) << record.join('|').toStdString();
        names << record[0].mid(tree.path("r/").size());
        EXPECT_EQ(record[1], "1");
        EXPECT_EQ(record[2], "2024-03-05T23:59:07+00:00");
        EXPECT_TRUE(record[7].isEmpty());
        struct stat status;
        ASSERT_EQ(::lstat(QFile::encodeName(record[0]).constData(), &status), 0);
        EXPECT_EQ(record[6], QString::number(status.st_ino));
    }
    names.sort();
    QStringList expected = kOddNames;
    expected.sort();
    EXPECT_EQ(names, expected);
}

TEST_F(CliFormat, DatesCarryTheLocalOffsetOfTheirOwnDay)
{
    tree.file("r/winter.txt", utc(2024, 1, 15, 12, 0, 0));
    tree.file("r/summer.txt", utc(2024, 7, 15, 12, 0, 0));
    cli.setEnvironment("TZ", "Europe/Berlin");
    const CliResult result = cli.run({"--format", "jsonl", tree.path("r")});
    ASSERT_EQ(result.exitCode, 0);
    QStringList dates;
    for (const QString& line : result.lines())
        dates << QJsonDocument::fromJson(line.toUtf8()).object()["modified"].toString();
    dates.sort();
    EXPECT_EQ(dates, (QStringList{"2024-01-15T13:00:00+01:00", "2024-07-15T14:00:00+02:00"}));
    // The same moment parsed back.
    EXPECT_EQ(cli::parseIsoTime("2024-07-15T14:00:00+02:00")->seconds, utc(2024, 7, 15, 12).toSecsSinceEpoch());
}

TEST(RecordPrinter, BytesThatAreNotUtf8AreShownAsReplacementsAndKeptInPathBytes)
{
    // The scan lists such names once it can (issue 18); the records keep them.
    const QByteArray path("/data/caf\xe9 \"menu\",\n\xff.txt");
    cli::FileLook look;
    look.size = 7;
    look.modified = cli::FileTime{0, 500000000};
    look.device = 2049;
    look.inode = 99;

    cli::RecordPrinter json(cli::OutputFormat::Jsonl);
    json.print(path, look);
    const QByteArray line = json.takeText();
    EXPECT_EQ(line, "{\"path\":\"/data/caf\\ufffd \\\"menu\\\",\\n\\ufffd.txt\",\"size\":7,"
                    "\"modified\":\"1970-01-01T00:00:00.5+00:00\",\"created\":null,\"accessed\":null,"
                    "\"device\":2049,\"inode\":99,\"path_bytes\":\"/data/caf%E9%20%22menu%22%2C%0A%FF.txt\"}\n");
    // --trash-from reads it back to the very bytes.
    const auto read = cli::parseListLine(QByteArrayView(line).chopped(1));
    ASSERT_TRUE(std::holds_alternative<cli::ListedRecord>(read)) << std::get<QString>(read).toStdString();
    EXPECT_EQ(std::get<cli::ListedRecord>(read).path, path);
    EXPECT_EQ(std::get<cli::ListedRecord>(read).modified, look.modified);

    cli::RecordPrinter csv(cli::OutputFormat::Csv);
    csv.print(path, look);
    EXPECT_EQ(csv.takeText(), "path,size,modified,created,accessed,device,inode,path_bytes\r\n"
                              "\"/data/caf\xEF\xBF\xBD \"\"menu\"\",\n\xEF\xBF\xBD.txt\",7,1970-01-01T00:00:00.5+00:00,,,"
                              "2049,99,/data/caf%E9%20%22menu%22%2C%0A%FF.txt\r\n");
}

TEST_F(CliFormat, SummaryCountsEachFolderAndTheTotal)
{
    tree.file("one/a", QByteArray(1000, 'x'));
    tree.file("one/sub/b", QByteArray(2000, 'x'));
    tree.file("two/c", QByteArray(3 << 20, 'x'));
    tree.dir("empty");
    const CliResult result = cli.run({"--summary", tree.path("one"), tree.path("two/"), tree.path("empty")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(result.lines(), (QStringList{"2 files\t3000 bytes (2.9 KiB)\t" + tree.path("one"),
                                           "1 file\t3145728 bytes (3.0 MiB)\t" + tree.path("two"),
                                           "0 files\t0 bytes\t" + tree.path("empty"),
                                           "3 files\t3148728 bytes (3.0 MiB)\ttotal"}));

    // With --trash it counts what moved.
    const CliResult moved = cli.run({"--summary", "--trash", "--size", "+2k", "--all", tree.path("one"), tree.path("two")});
    EXPECT_EQ(moved.exitCode, 0) << moved.errors.toStdString();
    EXPECT_EQ(moved.lines(), (QStringList{"0 files\t0 bytes\t" + tree.path("one"),
                                          "1 file\t3145728 bytes (3.0 MiB)\t" + tree.path("two"),
                                          "1 file\t3145728 bytes (3.0 MiB)\ttotal"}));
    EXPECT_FALSE(QFile::exists(tree.path("two/c")));
}
