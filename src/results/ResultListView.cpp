#include "results/ResultListView.h"

#include "results/ResultListAccessible.h"

#include <QAccessible>
#include <QHeaderView>
#include <QHoverEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

ResultListView::ResultListView(QWidget* parent)
    : QAbstractItemView(parent)
    , m_header(new QHeaderView(Qt::Horizontal, this))
{
    static const bool described = (QAccessible::installFactory(resultListAccessible), true);
    Q_UNUSED(described);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setFocusProxy(this);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionCountChanged, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this, &ResultListView::resizeColumnToContents);
}

void ResultListView::setModel(QAbstractItemModel* model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    m_header->setModel(model);
    m_rowHeight = 0;
    m_hoverRow = -1;
    if (model) {
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
            if (rowCount() == 0)
                m_rowHeight = 0;
            m_hoverRow = -1;
            updateGeometries();
            viewport()->update();
        });
    }
}

int ResultListView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int ResultListView::rowHeight() const
{
    if (m_rowHeight > 0)
        return m_rowHeight;
    // Every row is as high as the first: the same font, one line, a check box.
    int height = 0;
    if (rowCount() > 0 && itemDelegate()) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        for (int column = 0; column < m_header->count(); ++column) {
            if (m_header->isSectionHidden(column))
                continue;
            const QModelIndex index = model()->index(0, column, rootIndex());
            height = std::max(height, itemDelegateForIndex(index)->sizeHint(option, index).height());
        }
        m_rowHeight = std::max(height, 1);
        return m_rowHeight;
    }
    return std::max(fontMetrics().height(), 1);
}

int ResultListView::firstShownRow() const
{
    return verticalScrollBar()->value();
}

int ResultListView::shownRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int ResultListView::rowAt(int y) const
{
    if (y < 0)
        return -1;
    const qint64 row = qint64(firstShownRow()) + y / rowHeight();
    return row < rowCount() ? int(row) : -1;
}

int ResultListView::rowTop(int row) const
{
    // Far from the screen on a list of hundreds of millions, a row's place
    // would not fit in an int: it stays far off instead.
    const qint64 top = (qint64(row) - firstShownRow()) * rowHeight();
    return int(std::clamp<qint64>(top, -(1 << 29), 1 << 29));
}

QRect ResultListView::rowRect(int row) const
{
    if (row < 0)
        return {};
    return QRect(0, rowTop(row), viewport()->width(), rowHeight());
}

void ResultListView::updateRow(int row)
{
    const QRect rect = rowRect(row);
    if (rect.isValid() && rect.intersects(viewport()->rect()))
        viewport()->update(rect);
}

QRect ResultListView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex()
        || m_header->isSectionHidden(index.column()))
        return {};
    return QRect(m_header->sectionViewportPosition(index.column()), rowTop(index.row()), m_header->sectionSize(index.column()),
                 rowHeight());
}

QModelIndex ResultListView::indexAt(const QPoint& point) const
{
    const int row = rowAt(point.y());
    const int column = m_header->logicalIndexAt(point.x());
    if (row < 0 || column < 0)
        return {};
    return model()->index(row, column, rootIndex());
}

void ResultListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != model())
        return;
    const int row = index.row();
    const int top = firstShownRow();
    const int shown = shownRows();
    int newTop = top;
    switch (hint) {
    case PositionAtTop:
        newTop = row;
        break;
    case PositionAtBottom:
        newTop = row - shown + 1;
        break;
    case PositionAtCenter:
        newTop = row - shown / 2;
        break;
    case EnsureVisible:
        if (row < top)
            newTop = row;
        else if (row >= top + shown)
            newTop = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(newTop);

    // Across, the cell comes into sight as far as it fits.
    QScrollBar* across = horizontalScrollBar();
    const int width = viewport()->width();
    const int position = m_header->sectionPosition(index.column());
    const int cellWidth = m_header->sectionSize(index.column());
    if (hint == PositionAtCenter)
        across->setValue(position - (width - cellWidth) / 2);
    else if (position < m_header->offset() || cellWidth > width)
        across->setValue(position);
    else if (position - m_header->offset() + cellWidth > width)
        across->setValue(position - width + cellWidth);
}

QModelIndex ResultListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0 || m_header->count() == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    int row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= shownRows();
        break;
    case MovePageDown:
        row += shownRows();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
    case MoveRight: {
        // Rows have no parts to move between: the keys scroll the names across.
        QScrollBar* across = horizontalScrollBar();
        across->setValue(across->value() + (cursorAction == MoveLeft ? -1 : 1) * across->singleStep());
        return current;
    }
    }
    return model()->index(std::clamp(row, 0, rows - 1), current.column(), rootIndex());
}

int ResultListView::horizontalOffset() const
{
    return m_header->offset();
}

int ResultListView::verticalOffset() const
{
    return int(std::min<qint64>(qint64(firstShownRow()) * rowHeight(), std::numeric_limits<int>::max()));
}

bool ResultListView::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void ResultListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    const QRect area = rect.normalized();
    const int rows = rowCount();
    int first = rowAt(std::max(area.top(), 0));
    int last = rowAt(area.bottom());
    if (first >= 0 && last < 0)
        last = rows - 1;
    QItemSelection selection;
    if (first >= 0 && last >= first && m_header->count() > 0)
        selection.select(model()->index(first, 0, rootIndex()), model()->index(last, m_header->count() - 1, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion ResultListView::visualRegionForSelection(const QItemSelection& selection) const
{
    const int top = firstShownRow();
    const int bottom = top + shownRows();
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (range.parent() != rootIndex() || range.bottom() < top || range.top() > bottom)
            continue;
        const QRect first = rowRect(std::max(range.top(), top));
        const QRect last = rowRect(std::min(range.bottom(), bottom));
        region += first.united(last);
    }
    return region;
}

void ResultListView::doItemsLayout()
{
    m_rowHeight = 0;
    m_hoverRow = -1;
    m_header->doItemsLayout();
    QAbstractItemView::doItemsLayout();
}

void ResultListView::updateGeometries()
{
    int headerHeight = 0;
    if (!m_header->isHidden())
        headerHeight = std::min(std::max(m_header->minimumHeight(), m_header->sizeHint().height()), m_header->maximumHeight());
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect frame = viewport()->geometry();
    m_header->setGeometry(frame.left(), frame.top() - headerHeight, frame.width(), headerHeight);
    QMetaObject::invokeMethod(m_header, "updateGeometries");

    // Down, a row a step; across, a pixel.
    const int rows = rowCount();
    const int shown = shownRows();
    QScrollBar* down = verticalScrollBar();
    down->setRange(0, std::max(0, rows - shown));
    down->setPageStep(shown);
    down->setSingleStep(1);

    const int width = viewport()->width();
    QScrollBar* across = horizontalScrollBar();
    across->setRange(0, std::max(0, m_header->length() - width));
    across->setPageStep(width);
    across->setSingleStep(std::max(width / (m_header->count() + 1), 2));

    QAbstractItemView::updateGeometries();
}

void ResultListView::scrollContentsBy(int dx, int)
{
    if (dx != 0)
        m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void ResultListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent == rootIndex()) {
        m_rowHeight = 0;
        updateGeometries();
        viewport()->update();
    }
}

void ResultListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (topLeft == bottomRight || topLeft.parent() != rootIndex()) {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const int first = std::max(topLeft.row(), firstShownRow());
    const int last = std::min(bottomRight.row(), firstShownRow() + shownRows());
    if (first <= last)
        QAbstractItemView::dataChanged(model()->index(first, topLeft.column(), rootIndex()),
                                       model()->index(last, bottomRight.column(), rootIndex()), roles);
}

void ResultListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    // The focus frames the whole row.
    if (previous.isValid())
        updateRow(previous.row());
    if (current.isValid())
        updateRow(current.row());
    // Screen readers hear the cell the focus moved to (the header's titles
    // are the first children).
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild((current.row() + 1) * model()->columnCount(rootIndex()) + current.column());
        QAccessible::updateAccessibility(&event);
    }
}

int ResultListView::sizeHintForColumn(int column) const
{
    // As wide as its widest cell on screen: measuring every row would take
    // seconds on a million.
    if (!model() || column < 0 || column >= m_header->count())
        return -1;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int last = std::min(rowCount(), firstShownRow() + shownRows() + 1);
    int width = -1;
    for (int row = firstShownRow(); row < last; ++row) {
        const QModelIndex index = model()->index(row, column, rootIndex());
        width = std::max(width, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return width;
}

void ResultListView::keyboardSearch(const QString&)
{
}

void ResultListView::resizeColumnToContents(int column)
{
    const int contents = sizeHintForColumn(column);
    const int title = m_header->isHidden() ? 0 : m_header->sectionSizeHint(column);
    m_header->resizeSection(column, std::max(contents, title));
}

void ResultListView::paintEvent(QPaintEvent* event)
{
    const int rows = rowCount();
    if (rows == 0 || m_header->count() == 0 || !itemDelegate())
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect area = event->rect();
    const int height = rowHeight();
    int row = firstShownRow() + std::max(area.top(), 0) / height;
    for (int y = (row - firstShownRow()) * height; row < rows && y <= area.bottom(); ++row, y += height)
        drawRow(painter, option, row, y);
}

// Draws a row the way a flat tree view does: each cell's background by the
// style, the cell by the delegate, the focus frame across the whole row.
void ResultListView::drawRow(QPainter& painter, const QStyleOptionViewItem& option, int row, int y) const
{
    const int height = rowHeight();
    const QModelIndex current = currentIndex();
    const bool rowHasFocus = hasFocus() && current.isValid() && current.row() == row;
    const bool enabled = option.state & QStyle::State_Enabled;
    QStyleOptionViewItem cell = option;
    cell.showDecorationSelected = true;

    std::vector<int> columns;
    for (int visual = 0; visual < m_header->count(); ++visual)
        if (!m_header->isSectionHidden(m_header->logicalIndex(visual)))
            columns.push_back(m_header->logicalIndex(visual));
    for (size_t i = 0; i < columns.size(); ++i) {
        const int column = columns[i];
        const QModelIndex index = model()->index(row, column, rootIndex());
        cell.state = option.state;
        if (columns.size() == 1)
            cell.viewItemPosition = QStyleOptionViewItem::OnlyOne;
        else if (i == 0)
            cell.viewItemPosition = QStyleOptionViewItem::Beginning;
        else if (i + 1 == columns.size())
            cell.viewItemPosition = QStyleOptionViewItem::End;
        else
            cell.viewItemPosition = QStyleOptionViewItem::Middle;
        if (selectionModel() && selectionModel()->isSelected(index))
            cell.state |= QStyle::State_Selected;
        cell.state.setFlag(QStyle::State_MouseOver, row == m_hoverRow);
        if (enabled) {
            QPalette::ColorGroup group = QPalette::Inactive;
            if (!(model()->flags(index) & Qt::ItemIsEnabled)) {
                cell.state &= ~QStyle::State_Enabled;
                group = QPalette::Disabled;
            } else if (cell.state & QStyle::State_Active) {
                group = QPalette::Active;
            }
            cell.palette.setCurrentColorGroup(group);
        }
        cell.rect = QRect(m_header->sectionViewportPosition(column), y, m_header->sectionSize(column), height);
        // The style paints the row's background, the delegate the selection.
        const QStyle::State state = cell.state;
        cell.state &= ~QStyle::State_Selected;
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &cell, &painter, this);
        cell.state = state;
        itemDelegateForIndex(index)->paint(&painter, cell, index);
    }

    if (rowHasFocus) {
        QStyleOptionFocusRect frame;
        frame.QStyleOption::operator=(option);
        frame.state |= QStyle::State_KeyboardFocusChange;
        const QPalette::ColorGroup group = enabled ? QPalette::Normal : QPalette::Disabled;
        const bool selected = selectionModel() && selectionModel()->isRowSelected(row, rootIndex());
        frame.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        frame.rect = style()->visualRect(layoutDirection(), viewport()->rect(),
                                         QRect(-m_header->offset(), y, m_header->length(), height));
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter);
    }
}

bool ResultListView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const int row = rowAt(static_cast<QHoverEvent*>(event)->position().toPoint().y());
        if (row != m_hoverRow) {
            updateRow(m_hoverRow);
            m_hoverRow = row;
            updateRow(row);
        }
        break;
    }
    case QEvent::HoverLeave:
        updateRow(m_hoverRow);
        m_hoverRow = -1;
        break;
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void ResultListView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        scheduleDelayedItemsLayout();
    }
    QAbstractItemView::changeEvent(event);
}
