#include "actions/TextExport.h"

#include "platform/SaveFile.h"
#include "scan/VisibleText.h"

#include <QCoreApplication>

namespace {

// One saved line: the row's path as the list shows it, then CR LF. A control
// character in a name shows as its sign, so a TAB or a line feed in a name
// cannot break the one-path-a-line layout. The text is UTF-8 on every
// system: a Windows code page would turn every name it lacks into "?".
void appendSavedLine(QByteArray& text, const QString& path)
{
    text += visibleText(path).toUtf8();
    text += "\r\n";
}

} // namespace

QStringList saveDialogFilters()
{
    return {QCoreApplication::translate("TextExport", "Text Files (*.txt)"),
            QCoreApplication::translate("TextExport", "All Files (*)")};
}

QString overwriteQuestion(const QString& fileName)
{
    return QCoreApplication::translate("TextExport", "Are you sure you wish to overwrite %1 ?").arg(fileName);
}

QByteArray resultsText(const ResultRows& rows)
{
    QByteArray text;
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row)
        appendSavedLine(text, rows.path(row));
    return text;
}

std::optional<QString> saveResultsText(const QString& fileName, const ResultRows& rows)
{
    return platform::saveFile(fileName, resultsText(rows));
}

std::optional<QString> saveTextFile(const QString& fileName, const QByteArray& text)
{
    return platform::saveFile(fileName, text);
}
