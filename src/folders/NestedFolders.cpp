#include "folders/NestedFolders.h"

#include <QCoreApplication>

QList<int> nestedEntryPositions(const QStringList& entries)
{
    QList<int> positions;
    const int count = int(entries.size());
    for (int i = 1; i <= count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            if (entries.at(i - 1).contains(entries.at(j - 1), Qt::CaseSensitive)) {
                positions << i;
                break;
            }
        }
    }
    return positions;
}

QString nestedEntryMessage(const QString& entry)
{
    return QCoreApplication::translate("NestedFolders",
                                       "%1 will be removed because it is a subfolder of another folder that you added.")
        .arg(entry);
}
