#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

bool SystemClipboard::clear()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    return true;
}

bool SystemClipboard::setText(const QString& text, int format)
{
    // The desktop knows formats by MIME type, not by number; plain text is the one we offer.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || format != 0)
        return false;
    clipboard->setText(text);
    return true;
}

} // namespace platform
