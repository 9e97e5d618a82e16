#pragma once

#include <QTreeView>

/**
 * The result list's view: a flat QTreeView with uniform row heights. The item
 * views handle a changed range row by row (a visual rectangle per index), which
 * costs tens of milliseconds when "Select All" changes a million rows; this
 * view passes on only the part of a change that is on screen, since a check
 * box cannot change a row's height when all rows have one.
 */
class ResultListView : public QTreeView {
    Q_OBJECT
public:
    explicit ResultListView(QWidget* parent = nullptr);

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
};
