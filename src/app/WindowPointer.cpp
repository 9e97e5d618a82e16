#include "app/WindowPointer.h"

#include "app/Failure.h"
#include "platform/CursorFile.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

const char* const kHoverTarget = "chronopurgeHoverTarget";

// True when a widget with a rule of its own lies between `widget` and the
// point: a move that a child ignored travels on to its parent, and the
// parent's rule must not undo the child's.
bool ruledChildAt(QWidget* widget, QPoint point)
{
    for (QWidget* child = widget->childAt(point); child && child != widget; child = child->parentWidget()) {
        if (child->property(kHoverTarget).isValid())
            return true;
    }
    return false;
}

} // namespace

WindowPointer::WindowPointer(QWidget* window)
    : QObject(window)
    , m_window(window)
{
}

void WindowPointer::setState(PointerState state)
{
    m_state = state;
    switch (state) {
    case PointerState::Busy:
        m_window->setCursor(Qt::WaitCursor);
        break;
    case PointerState::Custom:
        if (m_custom)
            m_window->setCursor(*m_custom);
        else
            m_window->setCursor(Qt::ArrowCursor);
        break;
    case PointerState::Default:
        m_window->setCursor(Qt::ArrowCursor);
        break;
    }
}

void WindowPointer::setCustomCursor(const QCursor& cursor)
{
    m_custom = cursor;
    if (m_state == PointerState::Custom)
        setState(PointerState::Custom);
}

void WindowPointer::loadCustomCursor(const QString& path)
{
    const std::optional<QCursor> cursor = platform::loadCursorFile(path);
    if (!cursor)
        fail(QStringLiteral("Invalid picture"));
    setCustomCursor(*cursor);
}

void WindowPointer::setHoverRule(QWidget* widget, PointerState target)
{
    widget->setProperty(kHoverTarget, int(target));
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    // A list's rows are painted on its viewport, which gets the pointer's moves.
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(widget)) {
        scrollArea->viewport()->setProperty(kHoverTarget, int(target));
        scrollArea->viewport()->setMouseTracking(true);
        scrollArea->viewport()->installEventFilter(this);
    }
}

Qt::CursorShape WindowPointer::shape() const
{
    return m_window->cursor().shape();
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove && event->type() != QEvent::Enter)
        return QObject::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return QObject::eventFilter(watched, event);
    QPoint point;
    if (auto* pointerEvent = dynamic_cast<QSinglePointEvent*>(event))
        point = pointerEvent->position().toPoint();
    else
        point = widget->mapFromGlobal(QCursor::pos());

    const QVariant target = watched->property(kHoverTarget);
    if (target.isValid() && !isBusy() && !ruledChildAt(widget, point))
        setState(PointerState(target.toInt()));
    return QObject::eventFilter(watched, event);
}
