#pragma once
// The window program needs a graphical session. Where Qt reaches none (no
// DISPLAY and no WAYLAND_DISPLAY, as on a terminal over ssh, or a display
// that does not answer) it would abort with a page about platform plugins;
// the program says so in one line instead and ends with status 1.

#include <QByteArray>
#include <QString>

/**
 * The line printed when no window system could be reached, naming
 * DISPLAY and WAYLAND_DISPLAY with the values they have (empty: not set).
 */
QString noGraphicalSessionMessage(const QByteArray& display, const QByteArray& waylandDisplay);

/**
 * While it lives (around the construction of the QApplication), Qt's failure
 * to reach a window system prints noGraphicalSessionMessage() on standard
 * error and ends the process with status 1. Qt's other messages meanwhile
 * are held and passed on, in order, when the guard ends.
 */
class GraphicalSessionGuard {
public:
    GraphicalSessionGuard();
    ~GraphicalSessionGuard();
    GraphicalSessionGuard(const GraphicalSessionGuard&) = delete;
    GraphicalSessionGuard& operator=(const GraphicalSessionGuard&) = delete;
};
