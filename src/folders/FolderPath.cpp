#include "folders/FolderPath.h"

namespace {

QString collapsePairs(QStringView text, QChar separator)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return out;
}

} // namespace

QString NormalizeFolderPath(const QString& path, QChar separator)
{
    if (separator != QLatin1Char('\\') || !path.startsWith(separator))
        return collapsePairs(path, separator);
    qsizetype first = 1;
    while (first < path.size() && path.at(first) == separator)
        ++first;
    return QString(2, separator) + collapsePairs(QStringView(path).mid(first), separator);
}

QString withNativeSeparators(const QString& path)
{
    if (kPathSeparator == QLatin1Char('/'))
        return path;
    QString native = path;
    return native.replace(QLatin1Char('/'), kPathSeparator);
}
