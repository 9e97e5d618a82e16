#include "actions/ClipboardText.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A clipboard that refuses a set number of times (or throws), and records what it holds.
class FakeClipboard final : public platform::Clipboard {
public:
    int refusals = 0;
    bool throws = false;
    int clearAttempts = 0;
    int setAttempts = 0;
    QString text = QStringLiteral("before");
    int format = -1;

    bool clear() override
    {
        ++clearAttempts;
        if (refuse())
            return false;
        text.clear();
        return true;
    }
    bool setText(const QString& newText, int newFormat) override
    {
        ++setAttempts;
        if (refuse())
            return false;
        text = newText;
        format = newFormat;
        return true;
    }

private:
    bool refuse()
    {
        if (refusals == 0)
            return false;
        --refusals;
        if (throws)
            throw std::runtime_error("clipboard busy");
        return true;
    }
};

} // namespace

TEST(ClipboardText, PadsToTheWidestPathOfAllRowsButCopiesOnlyCheckedOnes)
{
    const ResultRowList rows({{"/a/longer.txt", "1/2/2024 10:00:00", false}, {"/a/b.txt", "3/4/2024", true}});
    EXPECT_EQ(columnWidths(rows), (std::vector<qsizetype>{13, 17}));
    EXPECT_EQ(clipboardText(rows), "/a/b.txt     \t3/4/2024\r\n");
}

TEST(ClipboardText, StripsOnlyBlanksAtTheEndAndKeepsTheTabBeforeAnEmptyDate)
{
    const ResultRowList rows({{"/x", "", true}, {"/longest", "date  ", true}, {"/mid ", "d", true}});
    EXPECT_EQ(clipboardText(rows), "/x      \t\r\n"
                                   "/longest\tdate\r\n"
                                   "/mid    \td\r\n");
    EXPECT_EQ(clipboardText(ResultRowList({{"/a", "", false}})), "");
}

TEST(ClipboardText, CopyClearsThenPlacesPlainTextAndLeavesItAloneForAnEmptyList)
{
    FakeClipboard clipboard;
    CopyCheckedToClipboard(ResultRowList(), clipboard);
    EXPECT_EQ(clipboard.text, "before");
    EXPECT_EQ(clipboard.clearAttempts + clipboard.setAttempts, 0);

    CopyCheckedToClipboard(ResultRowList({{"/a", "d", false}}), clipboard);
    EXPECT_EQ(clipboard.text, "");
    EXPECT_EQ(clipboard.clearAttempts, 1);
    EXPECT_EQ(clipboard.format, 0);

    CopyCheckedToClipboard(ResultRowList({{"/a", "d", true}}), clipboard);
    EXPECT_EQ(clipboard.text, "/a\td\r\n");
}

TEST(ClipboardText, RetriesARefusingClipboardUpToAThousandTimes)
{
    FakeClipboard busy;
    busy.refusals = kClipboardAttempts - 1;
    EXPECT_TRUE(ClipboardSetText(busy, "t"));
    EXPECT_EQ(busy.setAttempts, kClipboardAttempts);

    FakeClipboard refusing;
    refusing.refusals = 1 << 30;
    refusing.throws = true;
    EXPECT_FALSE(ClipboardSetText(refusing, "t"));
    EXPECT_EQ(refusing.setAttempts, kClipboardAttempts);
    ClipboardClear(refusing);
    EXPECT_EQ(refusing.clearAttempts, kClipboardAttempts);
    EXPECT_EQ(refusing.text, "before");
}

TEST(ClipboardText, ConfirmationText)
{
    EXPECT_EQ(clipboardConfirmationText(),
              "Results have been copied to the clipboard.\r\rClick a text area where you normally type and press "
              "Ctrl+V to paste the clipboard.");
}

TEST(ClipboardText, TheSystemClipboardTakesPlainText)
{
    platform::SystemClipboard clipboard;
    CopyCheckedToClipboard(ResultRowList({{"/é", "d", true}}), clipboard);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/é\td\r\n");
    EXPECT_FALSE(clipboard.setText("x", 7));
}
