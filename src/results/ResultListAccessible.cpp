#include "results/ResultListAccessible.h"

#include "results/ResultListView.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>

namespace {

QModelIndex indexOf(const ResultListView* view, int row, int column)
{
    return view && view->model() ? view->model()->index(row, column, view->rootIndex()) : QModelIndex();
}

int columnCountOf(const ResultListView* view)
{
    return view && view->model() ? view->model()->columnCount(view->rootIndex()) : 0;
}

int rowCountOf(const ResultListView* view)
{
    return view && view->model() ? view->model()->rowCount(view->rootIndex()) : 0;
}

// A column's title in the header (row -1), or a row's cell.
class CellAccessible : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(ResultListView* view, int row, int column)
        : m_view(view)
        , m_row(row)
        , m_column(column)
    {
    }

    bool isHeader() const { return m_row < 0; }
    int row() const { return m_row; }
    int column() const { return m_column; }

    bool isValid() const override
    {
        return m_view && m_column >= 0 && m_column < columnCountOf(m_view) && m_row < rowCountOf(m_view);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid() || kind != QAccessible::Name)
            return {};
        if (isHeader())
            return m_view->model()->headerData(m_column, Qt::Horizontal).toString();
        const QModelIndex index = indexOf(m_view, m_row, m_column);
        const QVariant told = index.data(Qt::AccessibleTextRole);
        return told.isValid() ? told.toString() : index.data(Qt::DisplayRole).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        if (isHeader()) {
            QHeaderView* header = m_view->header();
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                                header->height());
            return QRect(header->viewport()->mapToGlobal(section.topLeft()), section.size());
        }
        const QRect cell = m_view->visualRect(indexOf(m_view, m_row, m_column));
        return QRect(m_view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::Role role() const override { return isHeader() ? QAccessible::ColumnHeader : QAccessible::Cell; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        QHeaderView* header = m_view->header();
        if (isHeader()) {
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column), header->height());
            state.invisible = header->isHidden() || !header->viewport()->rect().intersects(section);
            return state;
        }
        const QModelIndex index = indexOf(m_view, m_row, m_column);
        state.invisible = !m_view->viewport()->rect().intersects(m_view->visualRect(index));
        state.selectable = true;
        state.selected = isSelected();
        state.focusable = true;
        state.focused = m_view->hasFocus() && m_view->currentIndex() == index;
        if (index.flags() & Qt::ItemIsUserCheckable) {
            state.checkable = true;
            state.checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && !isHeader())
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // As a table's cell.
    bool isSelected() const override
    {
        return m_view && m_view->selectionModel() && m_view->selectionModel()->isRowSelected(m_row, m_view->rootIndex());
    }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    QAccessibleInterface* table() const override { return parent(); }

    // Its check box, toggled.
    QStringList actionNames() const override
    {
        if (isHeader() || !isValid() || !(indexOf(m_view, m_row, m_column).flags() & Qt::ItemIsUserCheckable))
            return {};
        return {toggleAction()};
    }
    void doAction(const QString& name) override
    {
        if (name != toggleAction() || actionNames().isEmpty())
            return;
        const QModelIndex index = indexOf(m_view, m_row, m_column);
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        m_view->model()->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ResultListView> m_view;
    int m_row;
    int m_column;
};

class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListAccessible(ResultListView* view)
        : QAccessibleWidget(view, QAccessible::Table)
    {
    }
    ~ListAccessible() override { forgetCells(); }

    ResultListView* view() const { return static_cast<ResultListView*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The header's titles come first, then the rows' cells, row by row.
    int childCount() const override { return (rowCountOf(view()) + 1) * columnCountOf(view()); }
    QAccessibleInterface* child(int index) const override
    {
        const int columns = columnCountOf(view());
        return index < 0 || columns == 0 ? nullptr : cell(index / columns - 1, index % columns);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* cell = dynamic_cast<const CellAccessible*>(child);
        if (!cell || !cell->isValid() || cell->parent() != this)
            return -1;
        return (cell->row() + 1) * columnCountOf(view()) + cell->column();
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint inRows = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = view()->indexAt(inRows);
        if (index.isValid())
            return cell(index.row(), index.column());
        const QPoint inHeader = view()->header()->viewport()->mapFromGlobal(QPoint(x, y));
        if (view()->header()->viewport()->rect().contains(inHeader)) {
            const int column = view()->header()->logicalIndexAt(inHeader.x());
            return column >= 0 ? cell(-1, column) : nullptr;
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = view()->currentIndex();
        return view()->hasFocus() && current.isValid() ? cell(current.row(), current.column()) : nullptr;
    }

    // As a table.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        return row >= 0 && row < rowCount() && column >= 0 && column < columnCount() ? cell(row, column) : nullptr;
    }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (int row : selectedRows())
            for (int column = 0; column < columnCount(); ++column)
                cells << cell(row, column);
        return cells;
    }
    QString columnDescription(int column) const override
    {
        return view()->model() ? view()->model()->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return columnCountOf(view()); }
    int rowCount() const override { return rowCountOf(view()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        if (view()->selectionModel())
            for (const QModelIndex& index : view()->selectionModel()->selectedRows())
                rows << index.row();
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override
    {
        return view()->selectionModel() && view()->selectionModel()->isRowSelected(row, view()->rootIndex());
    }
    bool selectRow(int row) override
    {
        const QModelIndex index = indexOf(view(), row, 0);
        if (!index.isValid() || !view()->selectionModel())
            return false;
        view()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    bool unselectRow(int row) override
    {
        const QModelIndex index = indexOf(view(), row, 0);
        if (!index.isValid() || !view()->selectionModel())
            return false;
        view()->selectionModel()->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // Rows added, removed or replaced: the cells made so far may name other
    // rows now. A changed check mark or text leaves each cell its row.
    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            forgetCells();
    }

private:
    QAccessibleInterface* cell(int row, int column) const
    {
        const qint64 key = (qint64(row) + 1) * columnCountOf(view()) + column;
        if (const auto known = m_cells.constFind(key); known != m_cells.constEnd())
            return QAccessible::accessibleInterface(*known);
        auto* made = new CellAccessible(view(), row, column);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }
    void forgetCells()
    {
        for (const QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    mutable QHash<qint64, QAccessible::Id> m_cells;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const
{
    QAccessibleInterface* list = parent();
    QAccessibleInterface* title = list ? list->child(m_column) : nullptr;
    return title ? QList<QAccessibleInterface*>{title} : QList<QAccessibleInterface*>{};
}

} // namespace

QAccessibleInterface* resultListAccessible(const QString& key, QObject* object)
{
    if (key == QLatin1String("ResultListView"))
        if (auto* view = qobject_cast<ResultListView*>(object))
            return new ListAccessible(view);
    return nullptr;
}
