#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/**
 * The 1-based positions of list entries that lie inside a later entry, in
 * increasing order, each once. An entry lies inside another when it starts
 * with it, both taken in their normalised form ending in "/" (case-sensitive):
 * "/data/a/b/" lies inside "/data/a/", while "/mnt/backup/home/alice/" does not
 * lie inside "/home/alice/" and "/data/ab/" not inside "/data/a/". Only an
 * earlier entry inside a later one is caught, so the last entry is never
 * among them; of two equal entries the earlier is.
 */
QList<int> nestedEntryPositions(const QStringList& entries);

/** "<entry> will be removed because it is a subfolder of another folder that you added." */
QString nestedEntryMessage(const QString& entry);
