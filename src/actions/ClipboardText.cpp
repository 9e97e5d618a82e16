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
            widest = std::max(widest, rows.text(row, column).size());
        widths.push_back(widest);
    }
    return widths;
}

QString clipboardText(const ResultRows& rows)
{
    const std::vector<qsizetype> widths = columnWidths(rows);
    const int columns = rows.columnCount();
    const qsizetype count = rows.rowCount();
    QString text;
    for (qsizetype row = 0; row < count; ++row) {
        if (!rows.isChecked(row))
            continue;
        for (int column = 0; column < columns; ++column) {
            const QString cell = rows.text(row, column);
            text += cell;
            if (widths[size_t(column)] > cell.size())
                text += QString(widths[size_t(column)] - cell.size(), QLatin1Char(' '));
            text += QLatin1Char('\t');
        }
        // The TAB after the last column goes, and with it every blank that
        // ends the line; a TAB before an empty last column stays.
        text.chop(1);
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QLatin1Char(' '))
            --end;
        text.truncate(end);
        text += QLatin1String("\r\n");
    }
    return text;
}

void ClipboardClear(platform::Clipboard& clipboard)
{
    retried([&] { return clipboard.clear(); });
}

bool ClipboardSetText(platform::Clipboard& clipboard, const QString& text, int format)
{
    return retried([&] { return clipboard.setText(text, format); });
}

void CopyCheckedToClipboard(const ResultRows& rows, platform::Clipboard& clipboard)
{
    if (rows.rowCount() == 0)
        return;
    const QString text = clipboardText(rows);
    ClipboardClear(clipboard);
    ClipboardSetText(clipboard, text, 0);
}

QString clipboardConfirmationText()
{
    return QCoreApplication::translate("ClipboardText", "Results have been copied to the clipboard.")
        + QStringLiteral("\r\r")
        + QCoreApplication::translate(
            "ClipboardText", "Click a text area where you normally type and press Ctrl+V to paste the clipboard.");
}
