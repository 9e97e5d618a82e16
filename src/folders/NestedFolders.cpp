#include "folders/NestedFolders.h"

#include "folders/FolderPath.h"
#include "scan/VisibleText.h"

#include <QCoreApplication>

namespace {

// The form in which entries are compared: doubled separators collapsed and one
// separator at the end, so that "/data/a" and "/data/a/" are the same folder and
// "/data/a/" is not a prefix of "/data/ab/".
QString comparedForm(const QString& entry)
{
    QString form = NormalizeFolderPath(entry);
    if (!form.endsWith(kPathSeparator))
        form += kPathSeparator;
    return form;
}

} // namespace

QList<int> nestedEntryPositions(const QStringList& entries)
{
    QStringList forms;
    forms.reserve(entries.size());
    for (const QString& entry : entries)
        forms << comparedForm(entry);

    QList<int> positions;
    const int count = int(forms.size());
    for (int i = 1; i <= count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            // A prefix, not a substring: on Linux a path can hold another
            // folder's whole path further in ("/mnt/backup/home/alice/" holds
            // "/home/alice/") without lying inside it.
            if (forms.at(i - 1).startsWith(forms.at(j - 1), kPathCase)) {
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
        .arg(visibleText(entry));
}
