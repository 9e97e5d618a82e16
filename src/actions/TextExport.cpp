#include "actions/TextExport.h"

#include "platform/SaveFile.h"

#include <QFile>

QStringList saveDialogFilters()
{
    return {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")};
}

QString overwriteQuestion(const QString& fileName)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + fileName + QStringLiteral(" ?");
}

QByteArray resultsText(const ResultRows& rows)
{
    QByteArray text;
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row) {
        text += QFile::encodeName(rows.path(row));
        text += "\r\n";
    }
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
