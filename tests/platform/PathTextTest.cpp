// Paths as text and back (issue 18): a Linux name is bytes, and the text of a
// path must give the very bytes back, whatever they are.

#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "platform/Utf8.h"

#include <QRandomGenerator>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The byte strings of `length` bytes that start with `head`, each next byte
// one of `choices`.
void eachString(const QByteArray& head, int length, const std::vector<unsigned char>& choices,
                const std::function<void(const QByteArray&)>& check)
{
    if (head.size() == length) {
        check(head);
        return;
    }
    for (const unsigned char c : choices)
        eachString(head + char(c), length, choices, check);
}

} // namespace

TEST(PathText, Issue18EveryByteStringComesBackUnchanged)
{
    // Bytes that matter to UTF-8: every boundary of every range.
    const std::vector<unsigned char> edges{0x01, 0x2F, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                           0xC2, 0xDF, 0xE0, 0xED, 0xEE, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    qsizetype checked = 0;
    const auto check = [&](const QByteArray& bytes) {
        if (::testing::Test::HasFailure())
            return; // one failure says enough
        const QString text = platform::pathFromNative(bytes);
        ASSERT_EQ(platform::nativePath(text), bytes) << bytes.toHex().constData();
        // Valid UTF-8 is decoded as Qt decodes it, and judged alike.
        const bool valid = platform::isValidUtf8(bytes.constData(), size_t(bytes.size()));
        ASSERT_EQ(valid, bytes.isValidUtf8()) << bytes.toHex().constData();
        if (valid) {
            ASSERT_EQ(text, QString::fromUtf8(bytes)) << bytes.toHex().constData();
        }
        ++checked;
    };
    for (int length = 1; length <= 3; ++length)
        eachString({}, length, edges, check);
    // Four bytes: after each kind of first byte.
    for (const unsigned char first : {0x41, 0x80, 0xC2, 0xE0, 0xED, 0xF0, 0xF4, 0xF5})
        eachString(QByteArray(1, char(first)), 4, edges, check);
    EXPECT_GT(checked, 90000);

    QRandomGenerator random(18);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes(random.bounded(1, 24), '\0');
        for (char& c : bytes)
            c = char(random.bounded(1, 256));
        ASSERT_EQ(platform::nativePath(platform::pathFromNative(bytes)), bytes) << bytes.toHex().constData();
    }
}

TEST(PathText, Issue18EachStrayByteIsOneCharacterAndTextIsLeftAlone)
{
    EXPECT_EQ(platform::pathFromNative("/tmp/caf\xe9.txt"), QStringLiteral("/tmp/caf") + QChar(0xDCE9) + ".txt");
    EXPECT_EQ(platform::pathFromNative("\xed\xa0\x80").size(), 3);
    EXPECT_EQ(platform::pathFromNative("\xc0\xaf").size(), 2);
    EXPECT_EQ(platform::pathFromNative("\xe2\x82z").size(), 3);
    // A byte order mark is a character of a name like any other.
    EXPECT_EQ(platform::pathFromNative("\xef\xbb\xbf" "a"), QString(QChar(0xFEFF)) + "a");
    EXPECT_EQ(platform::pathFromNative("\xff\xef\xbb\xbf\xef\xbb\xbf"),
              QString(QChar(0xDCFF)) + QChar(0xFEFF) + QChar(0xFEFF));
    EXPECT_EQ(platform::nativePath(QString(QChar(0xFEFF)) + "a"), QByteArray("\xef\xbb\xbf" "a"));
    // Text typed or shown goes to the system as UTF-8.
    const QString text = QStringLiteral("/home/ü/写真 \U0001F600.jpg");
    EXPECT_EQ(platform::nativePath(text), text.toUtf8());
}

TEST(PathText, Issue18ArgumentsAndPathListsKeepTheirBytes)
{
    char program[] = "chronopurge-cli";
    char latin1[] = "/data/caf\xe9";
    char plain[] = "--before";
    char* argv[] = {program, latin1, plain, nullptr};
    const QStringList arguments = platform::programArguments(3, argv);
    ASSERT_EQ(arguments.size(), 3);
    EXPECT_EQ(platform::nativePath(arguments[1]), QByteArray("/data/caf\xe9"));
    EXPECT_EQ(arguments[2], "--before");

    const QStringList paths = platform::pathsFromPathList(QByteArray("/a/caf\xe9\0/b/\xed\xa0\x80\0\0", 17));
    ASSERT_EQ(paths.size(), 2);
    EXPECT_EQ(platform::nativePath(paths[0]), QByteArray("/a/caf\xe9"));
    EXPECT_EQ(platform::nativePath(paths[1]), QByteArray("/b/\xed\xa0\x80"));
}
