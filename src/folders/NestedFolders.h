#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/**
 * The 1-based positions of list entries that contain a later entry's text
 * (a plain, case-sensitive substring test), in increasing order, each once.
 * Only an earlier entry that contains a later one is caught, so the last
 * entry is never among them.
 */
QList<int> nestedEntryPositions(const QStringList& entries);

/** "<entry> will be removed because it is a subfolder of another folder that you added." */
QString nestedEntryMessage(const QString& entry);
