#include "scan/VisibleText.h"

#include "platform/FileSystem.h"

#include "ByteNames.h"

#include <gtest/gtest.h>

// Issue 9: a control character in a name must never break a line or a column.
TEST(VisibleText, ControlCharactersBecomeVisibleSigns)
{
    const QString name = QStringLiteral("a\tb\nc") + QChar(0x7F) + QChar(0x85) + QChar(0x9F) + QChar(0xA0)
                         + QStringLiteral("?é");
    const QString expected = QStringLiteral("a\u2409b\u240Ac\u2421\uFFFD\uFFFD") + QChar(0xA0) + QStringLiteral("?é");
    EXPECT_EQ(visibleText(name), expected);
    EXPECT_TRUE(hasControlCharacters(name));
    EXPECT_EQ(visibleText(QStringLiteral("Is this old?")), QStringLiteral("Is this old?"));
    EXPECT_FALSE(hasControlCharacters(QStringLiteral("Is this old?")));

    // The byte form gives the same text, and leaves every other byte alone.
    const QByteArray utf8 = name.toUtf8();
    QByteArray out("x/");
    appendVisibleUtf8(out, utf8.constData(), size_t(utf8.size()));
    EXPECT_EQ(QString::fromUtf8(out), QStringLiteral("x/") + expected);
}

// Issue 18: each byte of a name that is not UTF-8 shows as U+FFFD, one for
// one, from the bytes and from a path's text alike; characters stay whole.
TEST(VisibleText, Issue18EachByteThatIsNotUtf8ShowsAsOneReplacementCharacter)
{
    for (const ByteName& name : byteNames()) {
        const QString text = platform::pathFromNative(name.bytes);
        EXPECT_EQ(visibleText(text), name.shown) << name.bytes.toHex().constData();
        EXPECT_EQ(text.size(), name.shown.size()) << "one character for one";
        EXPECT_EQ(hasControlCharacters(text), text != name.shown);
        QByteArray bytes("x/");
        appendVisibleUtf8(bytes, name.bytes.constData(), size_t(name.bytes.size()));
        EXPECT_EQ(bytes, "x/" + name.shown.toUtf8()) << name.bytes.toHex().constData();
    }

    // Every pair of bytes: both forms agree, and a shown text is shown as it is.
    for (int first = 1; first < 256; ++first) {
        for (int second = 1; second < 256; ++second) {
            const char pair[] = {char(first), char(second), 'z'};
            QByteArray shown;
            appendVisibleUtf8(shown, pair, 3);
            ASSERT_EQ(shown, visibleText(platform::pathFromNative(QByteArrayView(pair, 3))).toUtf8())
                << first << " " << second;
            QByteArray again;
            appendVisibleUtf8(again, shown.constData(), size_t(shown.size()));
            ASSERT_EQ(again, shown);
        }
    }

    // A surrogate that is half of a pair is a character; a half alone is not.
    const QString smile = QStringLiteral("\U0001F600");
    EXPECT_EQ(visibleText(smile), smile);
    EXPECT_EQ(visibleText(smile.left(1) + "a"), QStringLiteral("\uFFFDa"));
    EXPECT_EQ(visibleText("a" + smile.right(1)), QStringLiteral("a\uFFFD"));
}
