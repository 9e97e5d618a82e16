#include "scan/VisibleText.h"

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

    QByteArray plain;
    appendVisibleUtf8(plain, "\x01", 1);
    appendVisibleUtf8(plain, "\xC2\xA9\xC2", 3); // "©" and a cut-off lead byte stay as they are
    EXPECT_EQ(plain, QByteArray("\xE2\x90\x81\xC2\xA9\xC2"));
}

TEST(VisibleText, ATailOfUtf8IsShownInPlace)
{
    QByteArray text("a\tb|");
    const qsizetype start = text.size();
    text += QStringLiteral("c\td\u0085é").toUtf8();
    showControlCharactersFrom(text, start);
    EXPECT_EQ(QString::fromUtf8(text), QStringLiteral("a\tb|c\u2409d\uFFFDé"));

    QByteArray plain("x\tplain é");
    showControlCharactersFrom(plain, 2);
    EXPECT_EQ(plain, QByteArray("x\tplain é"));
}
