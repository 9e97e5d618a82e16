#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "platform/FileSystem.h"

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ErrorReport, TextIsExactToTheByte)
{
    const QString text = errorReportText(QStringLiteral("Path not found"),
                                         procedureLocation(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click")),
                                         106);
    EXPECT_EQ(text.toStdString(),
              "Path not found\r\nin Chronopurge2021/08/31.Form1.PushButton1_Click at line 106\r\r"
              "Please email screenshot of this message to support@brindlewick.example");
}

TEST(ErrorReport, ExtraLinesFollowTheSupportLineEachAfterCrLf)
{
    const QString text = errorReportText(QStringLiteral("Type mismatch"), QStringLiteral("X.Y.Z"), 120,
                                         {QStringLiteral("CDate(DTPicker3): 1/2/2020"), QStringLiteral("CDate(LASTMODIFIED(i)): ")});
    EXPECT_TRUE(text.endsWith(QStringLiteral("support@brindlewick.example\r\nCDate(DTPicker3): 1/2/2020"
                                             "\r\nCDate(LASTMODIFIED(i)): ")));
}

TEST(ErrorReport, Issue9_AControlCharacterInANamedFileKeepsEachLineWhole)
{
    const QString text = errorReportText(QStringLiteral("/d/new\nline\tname.txt: Permission denied"),
                                         QStringLiteral("X.Y.Z"), 112, {QStringLiteral("CDate(LASTMODIFIED(i)): \x7f")});
    EXPECT_EQ(text, QString::fromUtf8("/d/new\u240Aline\u2409name.txt: Permission denied\r\nin X.Y.Z at line 112\r\r"
                                      "Please email screenshot of this message to support@brindlewick.example"
                                      "\r\nCDate(LASTMODIFIED(i)): \u2421"));
}

TEST(ErrorReport, Issue18EachByteOfANameThatIsNotUtf8ShowsAsAReplacementCharacter)
{
    const QString path = platform::pathFromNative("/d/caf\xe9 \xed\xa0\x80.txt");
    const QString text = errorReportText(path + ": Permission denied", QStringLiteral("X.Y.Z"), 112, {path});
    EXPECT_EQ(text, QString::fromUtf8("/d/caf\uFFFD \uFFFD\uFFFD\uFFFD.txt: Permission denied\r\nin X.Y.Z at line 112\r\r"
                                      "Please email screenshot of this message to support@brindlewick.example"
                                      "\r\n/d/caf\uFFFD \uFFFD\uFFFD\uFFFD.txt"));
}

TEST(GuardedProcedure, EachFailingStepIsReportedInOrderAndTheProcedureGoesOn)
{
    ScriptedDialogs dialogs;
    GuardedProcedure guard(dialogs, procedureLocation(QStringLiteral("Form1"), QStringLiteral("Form_Load")));
    QStringList ran;
    guard.step(100, [&] { ran << "100"; });
    guard.step(102, [&] { fail(QStringLiteral("File not found")); ran << "never"; });
    guard.step(104, [&] { ran << "104"; throw std::runtime_error("Access denied"); });
    guard.step(106, [&] { ran << "106"; });

    EXPECT_EQ(ran, (QStringList{"100", "104", "106"}));
    ASSERT_EQ(dialogs.errorReports().size(), 2);
    EXPECT_TRUE(dialogs.errorReports()[0].startsWith("File not found\r\nin Chronopurge2021/08/31.Form1.Form_Load at line 102\r\r"));
    EXPECT_TRUE(dialogs.errorReports()[1].startsWith("Access denied\r\nin Chronopurge2021/08/31.Form1.Form_Load at line 104\r\r"));
    EXPECT_EQ(guard.failures(), 2);
}

TEST(GuardedProcedure, AFailingConditionCountsAsPassed)
{
    ScriptedDialogs dialogs;
    GuardedProcedure guard(dialogs, QStringLiteral("T.O.P"));
    EXPECT_TRUE(guard.test(110, [] () -> bool { fail(QStringLiteral("Type mismatch")); }));
    EXPECT_FALSE(guard.test(112, [] { return false; }));
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].contains(" at line 110\r\r"));
}

TEST(GuardedProcedure, ExtraLinesThatFailStillLetTheReportAppear)
{
    ScriptedDialogs dialogs;
    GuardedProcedure guard(dialogs, QStringLiteral("T.O.P"));
    guard.setExtraLines([]() -> QStringList { throw std::out_of_range("index"); });
    guard.step(204, [] { fail(QStringLiteral("Overflow")); });
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].startsWith("Overflow\r\n"));
}
