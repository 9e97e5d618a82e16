#include "platform/Clipboard.h"

#include "platform/XcbClipboardOwner.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

SystemClipboard::SystemClipboard()
    : m_x11(std::make_unique<XcbClipboardOwner>())
{
}

SystemClipboard::~SystemClipboard() = default;

bool SystemClipboard::clear()
{
    m_x11->release();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    return true;
}

bool SystemClipboard::setText(const QString& text, int format)
{
    return setUtf8Text(text.toUtf8(), format);
}

bool SystemClipboard::setUtf8Text(const QByteArray& utf8, int format)
{
    // The desktop knows formats by MIME type, not by number; plain text is the one we offer.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || format != 0)
        return false;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && m_x11->offer(utf8))
        return true;
    // QClipboard::setText would keep a QString and encode it again for every
    // program that pastes, on the window thread: about half a second for a
    // million rows. Bytes under "text/plain" are handed out as they are; Qt
    // reads them as UTF-8, and offers them under the same targets as setText.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), utf8);
    clipboard->setMimeData(data);
    return true;
}

} // namespace platform
