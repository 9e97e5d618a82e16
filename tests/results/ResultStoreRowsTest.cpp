// The rows the result actions read, and the shortcuts the clipboard takes
// through them: lengths and UTF-8 straight from the found-file table must
// agree with the texts the list shows, for every kind of name and date.

#include "actions/ClipboardText.h"
#include "results/ResultStore.h"
#include "results/ResultStoreRows.h"
#include "scan/FoundFileTable.h"
#include "scan/VisibleText.h"

#include "TimeZoneGuard.h"

#include <gtest/gtest.h>

TEST(ResultStoreRows, LengthsAndUtf8AgreeWithTheTextsForEveryKindOfNameAndDate)
{
    const TimeZoneGuard zone("Europe/Berlin");
    FoundFileTable table;
    const qint64 noon = localSecondsOf(QDate(2024, 3, 31), QTime(12, 0, 5));
    table.append("/home/u/plain.txt", noon);
    table.append("/home/u/Überweisung März.pdf", localSecondsOf(QDate(2024, 3, 31))); // midnight: the date alone
    table.append("/home/u/写真 😀.jpg", 3600 * 5 + 7);                             // day 0: the time alone
    table.append("/home/u/tab\there", kNoDate);                                       // no date: empty text
    table.append("/home/u/old.txt", -86400 * 400 + 59);                               // before day 0
    table.beginFolder("/home/ü/");
    table.appendFile("bad\xff\xfe.bin", 9, noon + 1); // not UTF-8: one U+FFFD per byte
    table.appendFile("", 0, noon + 2);
    table.beginFolderUtf8("/home/\xe9t\xe9/\t/", 0);
    table.appendFile("\xed\xa0\x80\xf0\x9f\x98\x80\xc2\x85", 9, noon + 3);
    table.append("/home/u/plain.txt", noon + 86400 * 3000);

    ResultStore store(table);
    std::vector<qsizetype> indices;
    for (qsizetype i = 0; i < table.size(); ++i)
        indices.push_back(i);
    indices.push_back(table.size() + 5); // a row the table no longer holds
    store.setRows(indices);
    store.setAllChecked(true);

    const ResultStoreRows rows(store);
    for (qsizetype row = 0; row < rows.rowCount(); ++row) {
        for (int column = 0; column < 3; ++column) {
            const QString text = rows.text(row, column);
            QByteArray utf8 = "before|";
            EXPECT_EQ(rows.appendUtf8(row, column, utf8), text.size()) << row << " " << column;
            EXPECT_EQ(utf8, "before|" + visibleText(text).toUtf8()) << row << " " << column;
            EXPECT_EQ(rows.textLength(row, column), text.size()) << row << " " << column;
        }
        EXPECT_EQ(rows.text(row, 1), row < table.size() ? table.dateText(row) : QString());
    }
    EXPECT_EQ(visibleText(rows.text(5, 0)), QStringLiteral("/home/ü/bad\uFFFD\uFFFD.bin"));
    EXPECT_EQ(visibleText(rows.text(7, 0)), QStringLiteral("/home/\uFFFDt\uFFFD/\u2409/\uFFFD\uFFFD\uFFFD\U0001F600\uFFFD"));
    EXPECT_EQ(rows.text(1, 1), QLocale::system().toString(QDate(2024, 3, 31), generalDateFormat(QLocale::system())));

    // The whole layout, through the shortcuts and through the texts alone.
    EXPECT_EQ(clipboardTextUtf8(rows), clipboardTextUtf8(TextOnlyRows(rows)));
    EXPECT_EQ(clipboardText(rows), clipboardText(TextOnlyRows(rows)));
}
