#include "app/ProgramEnd.h"

#include "platform/Clipboard.h"

#include <QApplication>
#include <QWidget>

#if QT_CONFIG(xcb)
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

#include <cstdio>
#include <unistd.h>

namespace {

// The windows leave the screen before the clipboard's text is handed on,
// which may take a moment. They are unmapped on the X server directly:
// hiding them through Qt would run their handlers.
void takeWindowsOffTheScreen()
{
#if QT_CONFIG(xcb)
    const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->testAttribute(Qt::WA_WState_Created) && widget->isVisible())
            xcb_unmap_window(connection, xcb_window_t(widget->winId()));
    xcb_flush(connection);
#endif
}

} // namespace

void endProgram(platform::Clipboard& clipboard)
{
    takeWindowsOffTheScreen();
    clipboard.keepAfterExit();
    std::fflush(nullptr);
    ::_exit(0);
}
