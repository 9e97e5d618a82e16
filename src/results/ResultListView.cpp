#include "results/ResultListView.h"

#include <QAbstractItemModel>

#include <algorithm>

ResultListView::ResultListView(QWidget* parent)
    : QTreeView(parent)
{
    setUniformRowHeights(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
}

void ResultListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                 const QList<int>& roles)
{
    const bool checksOnly = roles == QList<int>{Qt::CheckStateRole};
    if (!uniformRowHeights() || !checksOnly || topLeft.parent().isValid() || bottomRight.row() - topLeft.row() < 64) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QModelIndex firstShown = indexAt(QPoint(0, 0));
    if (!firstShown.isValid())
        return; // nothing on screen, nothing to repaint
    QModelIndex lastShown = indexAt(QPoint(0, viewport()->height() - 1));
    const int lastRow = lastShown.isValid() ? lastShown.row() : model()->rowCount() - 1;
    const int first = std::max(topLeft.row(), firstShown.row());
    const int last = std::min(bottomRight.row(), lastRow);
    if (first > last)
        return;
    QTreeView::dataChanged(model()->index(first, topLeft.column()), model()->index(last, bottomRight.column()), roles);
}
