#include "actions/ClipboardText.h"

#include <QCoreApplication>

namespace {

// One attempt of a clipboard operation; a thrown failure counts as a refusal.
template <typename Attempt>
bool retried(Attempt&& attempt)
{
    for (int tries = 0; tries < kClipboardAttempts; ++tries) {
        try {
            if (attempt())
                return true;
        } catch (...) {
        }
    }
    return false;
}

} // namespace

std::vector<qsizetype> columnWidths(const ResultRows& rows)
{
    std::vector<qsizetype> widths;
    const int columns = rows.columnCount();
    const qsizetype count = rows.rowCount();
    for (int column = 0; column < columns; ++column) {
        qsizetype widest = 0;
        for (qsizetype row = 0; row < count; ++row)
            widest = std::max(widest, rows.textLength(row, column));
        widths.push_back(widest);
    }
    return widths;
}

namespace {

// The most bytes one line can take: every column at its full width, a TAB
// after each but the last, CR LF. A character beyond ASCII may take more
// than one byte; the text then grows past this, which costs a reallocation.
qsizetype longestLine(const std::vector<qsizetype>& widths)
{
    qsizetype length = 2;
    for (const qsizetype width : widths)
        length += width + 1;
    return length;
}

qsizetype checkedCount(const ResultRows& rows)
{
    qsizetype count = 0;
    for (qsizetype row = 0; row < rows.rowCount(); ++row)
        count += rows.isChecked(row) ? 1 : 0;
    return count;
}

} // namespace

QByteArray clipboardTextUtf8(const ResultRows& rows)
{
    const std::vector<qsizetype> widths = columnWidths(rows);
    const int columns = rows.columnCount();
    const qsizetype count = rows.rowCount();
    QByteArray text;
    // Growing tens of megabytes by doubling would copy them again and again.
    text.reserve(checkedCount(rows) * longestLine(widths));
    for (qsizetype row = 0; row < count; ++row) {
        if (!rows.isChecked(row))
            continue;
        for (int column = 0; column < columns; ++column) {
            // Widths and padding count UTF-16 code units, as the list's texts
            // do. A cell comes as the list shows it: a control character in a
            // name is its visible sign and a byte that is not UTF-8 is U+FFFD
            // (one character for one, so the widths hold), so a TAB or a line
            // feed in a name cannot add a column or a line.
            const qsizetype length = rows.appendUtf8(row, column, text);
            if (widths[size_t(column)] > length)
                text.append(widths[size_t(column)] - length, ' ');
            text += '\t';
        }
        // The TAB after the last column goes, and with it every blank that
        // ends the line; a TAB before an empty last column stays. No byte of
        // a UTF-8 character beyond ASCII is a blank.
        text.chop(1);
        qsizetype lineEnd = text.size();
        while (lineEnd > 0 && text[lineEnd - 1] == ' ')
            --lineEnd;
        text.truncate(lineEnd);
        text += "\r\n";
    }
    text.squeeze();
    return text;
}

QString clipboardText(const ResultRows& rows)
{
    return QString::fromUtf8(clipboardTextUtf8(rows));
}

std::optional<QByteArray> checkedRowsForClipboard(const ResultRows& rows)
{
    if (rows.rowCount() == 0)
        return std::nullopt;
    return clipboardTextUtf8(rows);
}

void ClipboardClear(platform::Clipboard& clipboard)
{
    retried([&] { return clipboard.clear(); });
}

bool ClipboardSetText(platform::Clipboard& clipboard, const QString& text, int format)
{
    return retried([&] { return clipboard.setText(text, format); });
}

bool ClipboardSetUtf8Text(platform::Clipboard& clipboard, const QByteArray& utf8, int format)
{
    return retried([&] { return clipboard.setUtf8Text(utf8, format); });
}

bool ClipboardSetPendingUtf8Text(platform::Clipboard& clipboard, const std::shared_future<QByteArray>& utf8, int format)
{
    return retried([&] { return clipboard.setPendingUtf8Text(utf8, format); });
}

void placeOnClipboard(platform::Clipboard& clipboard, const QByteArray& utf8)
{
    ClipboardClear(clipboard);
    ClipboardSetUtf8Text(clipboard, utf8, 0);
}

void placeOnClipboard(platform::Clipboard& clipboard, const std::shared_future<QByteArray>& utf8)
{
    ClipboardClear(clipboard);
    ClipboardSetPendingUtf8Text(clipboard, utf8, 0);
}

void CopyCheckedToClipboard(const ResultRows& rows, platform::Clipboard& clipboard)
{
    if (const std::optional<QByteArray> text = checkedRowsForClipboard(rows))
        placeOnClipboard(clipboard, *text);
}

QString clipboardConfirmationText()
{
    return QCoreApplication::translate("ClipboardText", "Results have been copied to the clipboard.")
        + QStringLiteral("\r\r")
        + QCoreApplication::translate(
            "ClipboardText", "Click a text area where you normally type and press Ctrl+V to paste the clipboard.");
}
