#include "SampleManifest.h"

#include <QFile>
#include <QRegularExpression>

std::optional<DateOffset> parseDateOffset(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([+-]?\\d+)(y?)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return DateOffset{match.captured(1).toInt(), !match.captured(2).isEmpty()};
}

QList<SampleEntry> parseSampleManifest(const QString& text, QString* error)
{
    static const QStringList kinds = {"text", "csv", "log", "md", "json", "xml", "html", "ini", "png", "bmp"};
    QList<SampleEntry> entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto bad = [&](const QString& why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return QList<SampleEntry>();
        };
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        if (fields.size() != 5)
            return bad(QStringLiteral("expected 5 fields"));
        SampleEntry entry;
        entry.path = fields[0];
        if (entry.path.startsWith(QLatin1Char('/')) || entry.path.contains(QStringLiteral("..")))
            return bad(QStringLiteral("the path must stay inside the Samples folder"));
        entry.kind = fields[1];
        if (!kinds.contains(entry.kind))
            return bad(QStringLiteral("unknown kind ") + entry.kind);
        const std::optional<DateOffset> modified = parseDateOffset(fields[2]);
        const std::optional<DateOffset> accessed = parseDateOffset(fields[3]);
        if (!modified || !accessed)
            return bad(QStringLiteral("a date is neither days nor years"));
        entry.modified = *modified;
        entry.accessed = *accessed;
        entry.time = QTime::fromString(fields[4], QStringLiteral("HH:mm:ss"));
        if (!entry.time.isValid())
            return bad(QStringLiteral("the time of day is not HH:MM:SS"));
        entries << entry;
    }
    return entries;
}

QList<SampleEntry> readSampleManifest(const QString& filePath, QString* error)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return parseSampleManifest(QString::fromUtf8(file.readAll()), error);
}
