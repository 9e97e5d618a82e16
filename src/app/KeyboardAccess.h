#pragma once
// Keyboard access shared by both windows: Return and Enter press the focused
// push button, and window-wide shortcuts run a button's own handler. Neither
// adds a control or changes a layout.

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

class QPushButton;


/** Makes Return and Enter press `button` while it has the focus, as Space does. */
void pressOnReturn(QPushButton* button);

/**
 * A shortcut anywhere in `window` that calls `handler` on `receiver`: the slot
 * the button of the same command calls. Editing keys of a focused text field
 * (Delete, Ctrl+A in a date picker) stay with the field.
 */
template <typename Receiver, typename Handler>
QShortcut* addShortcut(QWidget* window, const QKeySequence& keys, Receiver* receiver, Handler handler)
{
    auto* shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, receiver, handler);
    return shortcut;
}
