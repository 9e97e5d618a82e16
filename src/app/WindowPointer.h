#pragma once
// A window's pointer state, as the user sees it: default (arrow), custom (the
// hand cursor when one was loaded, else the arrow) or busy (hourglass). Hover
// rules set it when the pointer moves over chosen widgets, but never replace
// busy: the busy pointer is also what guards handlers against re-entry.

#include <QCursor>
#include <QObject>

#include <optional>

class QWidget;

enum class PointerState { Default, Custom, Busy };

class WindowPointer : public QObject {
    Q_OBJECT
public:
    explicit WindowPointer(QWidget* window);

    PointerState state() const { return m_state; }
    bool isBusy() const { return m_state == PointerState::Busy; }
    /** Sets the state and shows its pointer over the whole window. */
    void setState(PointerState state);

    /** The hand shape shown for the custom state; without one the arrow shows. */
    void setCustomCursor(const QCursor& cursor);
    bool hasCustomCursor() const { return m_custom.has_value(); }
    /** Loads the cursor file at `path` as the hand shape; throws Failure("Invalid picture") when it is no cursor. */
    void loadCustomCursor(const QString& path);

    /** When the pointer moves over `widget`, the state becomes `target` unless busy. */
    void setHoverRule(QWidget* widget, PointerState target);

    /** The shape currently shown for the window. */
    Qt::CursorShape shape() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    PointerState m_state = PointerState::Default;
    std::optional<QCursor> m_custom;
};
