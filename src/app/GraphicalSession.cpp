#include "app/GraphicalSession.h"

#include <QtGlobal>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// A message Qt gave while the guard was up, with its context copied.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

std::vector<HeldMessage>* g_held = nullptr;
QtMessageHandler g_previous = nullptr;

void holdOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // Qt found no platform it could start: no window can be shown here.
        const QString line = noGraphicalSessionMessage(qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(nullptr);
        ::_exit(1);
    }
    g_held->push_back({type, context.file, context.line, context.function, context.category, text});
}

} // namespace

QString noGraphicalSessionMessage(const QByteArray& display, const QByteArray& waylandDisplay)
{
    if (display.isEmpty() && waylandDisplay.isEmpty())
        return QStringLiteral("chronopurge: this program needs a graphical session, but neither DISPLAY nor "
                              "WAYLAND_DISPLAY is set (chronopurge-cli works without one)");
    QString tried;
    if (!display.isEmpty())
        tried = QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(display);
    if (!waylandDisplay.isEmpty())
        tried += (tried.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("WAYLAND_DISPLAY=")
            + QString::fromLocal8Bit(waylandDisplay);
    return QStringLiteral("chronopurge: this program needs a graphical session, but none could be reached (%1)")
        .arg(tried);
}

GraphicalSessionGuard::GraphicalSessionGuard()
{
    g_held = new std::vector<HeldMessage>;
    g_previous = qInstallMessageHandler(&holdOrEnd);
}

GraphicalSessionGuard::~GraphicalSessionGuard()
{
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : *g_held)
        qt_message_output(held.type,
                          QMessageLogContext(held.file.isNull() ? nullptr : held.file.constData(), held.line,
                                             held.function.isNull() ? nullptr : held.function.constData(),
                                             held.category.isNull() ? nullptr : held.category.constData()),
                          held.text);
    delete g_held;
    g_held = nullptr;
}
