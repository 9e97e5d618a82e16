// The production dialogs' text with a link (the "Help" message, issue 18):
// the address shown whole, as a link the user can open.

#include "platform/QtDialogs.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

const QString kText = "Questions? Please contact Team Brindlewick at https://brindlewick.example/contact";
const QString kAddress = "https://brindlewick.example/contact";

// The lines of `html`, laid out `width` pixels wide, on which the first and
// the last character of `shown` fall.
std::pair<int, int> linesOf(const QString& html, const QString& shown, qreal width, const QFont& font)
{
    QTextDocument document;
    document.setDefaultFont(font);
    document.setHtml(html);
    document.setTextWidth(width);
    document.size(); // lays it out
    const int start = document.toPlainText().indexOf(shown);
    if (start < 0)
        return {-1, -2};
    const QTextBlock first = document.findBlock(start);
    const QTextBlock last = document.findBlock(start + int(shown.size()) - 1);
    if (first != last)
        return {first.blockNumber(), last.blockNumber() + 1000};
    const QTextLayout* layout = first.layout();
    return {layout->lineForTextPosition(start - first.position()).lineNumber(),
            layout->lineForTextPosition(start + int(shown.size()) - 1 - first.position()).lineNumber()};
}

} // namespace

TEST(QtDialogs, AnAddressInAMessageIsOneLinkKeptWhole)
{
    QMessageBox box;
    platform::setTextWithLink(box, kText, kAddress);
    const auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::RichText);
    EXPECT_TRUE(label->openExternalLinks()) << "a click opens the address through QDesktopServices";
    EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::LinksAccessibleByMouse));
    EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::LinksAccessibleByKeyboard));

    // The words are the message's, the address a link to itself.
    QTextDocument document;
    document.setHtml(label->text());
    EXPECT_EQ(document.toPlainText().simplified(), kText);
    QStringList anchors;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isAnchor())
                anchors << fragment.fragment().charFormat().anchorHref() + " " + fragment.fragment().text();
    EXPECT_EQ(anchors, QStringList{kAddress + " " + kAddress});

    // Even where a line is narrower than the address, it is not broken
    // (plain text broke it after "https://").
    const qreal narrow = QFontMetrics(label->font()).horizontalAdvance(kAddress) * 0.6;
    const auto [first, last] = linesOf(label->text(), kAddress, narrow, label->font());
    EXPECT_EQ(first, last);
    EXPECT_NE(linesOf(kText.toHtmlEscaped(), kAddress, narrow, label->font()).first,
              linesOf(kText.toHtmlEscaped(), kAddress, narrow, label->font()).second)
        << "the layout this guards against";
}

TEST(QtDialogs, TextAroundTheLinkIsEscapedAndKept)
{
    const QString html = platform::textWithLink("Mail <us> & see https://a.example/x?a=1&b=2 today", "https://a.example/x?a=1&b=2");
    QTextDocument document;
    document.setHtml(html);
    EXPECT_EQ(document.toPlainText().simplified(), "Mail <us> & see https://a.example/x?a=1&b=2 today");
    EXPECT_TRUE(html.contains("href=\"https://a.example/x?a=1&amp;b=2\"")) << qPrintable(html);
    // An address the (translated) text lacks still shows, after it.
    document.setHtml(platform::textWithLink("Fragen?", kAddress));
    EXPECT_EQ(document.toPlainText().simplified(), "Fragen? " + kAddress);
}
