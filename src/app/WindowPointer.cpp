#include "app/WindowPointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>

namespace {

const char* const kHoverTarget = "chronopurgeHoverTarget";

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
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const QVariant target = watched->property(kHoverTarget);
        if (target.isValid() && !isBusy())
            setState(PointerState(target.toInt()));
    }
    return QObject::eventFilter(watched, event);
}
