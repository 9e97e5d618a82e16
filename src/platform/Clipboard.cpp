#include "platform/Clipboard.h"

#include "platform/XcbClipboardOwner.h"
#ifndef Q_OS_WIN
#include "platform/ClipboardKeeper.h"
#endif

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

namespace {

const QString kTextPlain = QStringLiteral("text/plain");

// At the program's end, how long a text still being laid out is waited for
// (its windows are gone by then). A million rows take a second or two.
constexpr auto kPendingTextWait = std::chrono::seconds(60);

// Plain text that may still be in the making: Qt asks for it when a program
// pastes, and then waits for it on the window thread.
class PendingTextData final : public QMimeData {
public:
    explicit PendingTextData(std::shared_future<QByteArray> utf8)
        : m_utf8(std::move(utf8))
    {
    }
    QStringList formats() const override { return {kTextPlain}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == kTextPlain; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (mimeType != kTextPlain)
            return {};
        try {
            const QByteArray& utf8 = m_utf8.get();
            if (type.id() == QMetaType::QString)
                return QString::fromUtf8(utf8);
            return utf8;
        } catch (...) {
            return {};
        }
    }

private:
    std::shared_future<QByteArray> m_utf8;
};

} // namespace

std::shared_future<QByteArray> readyText(const QByteArray& utf8)
{
    std::promise<QByteArray> ready;
    ready.set_value(utf8);
    return ready.get_future().share();
}

SystemClipboard::SystemClipboard()
    : m_x11(std::make_unique<XcbClipboardOwner>())
{
}

SystemClipboard::~SystemClipboard() = default;

bool SystemClipboard::clear()
{
    m_text = {};
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
    return setPendingUtf8Text(readyText(utf8), format);
}

bool SystemClipboard::setPendingUtf8Text(const std::shared_future<QByteArray>& utf8, int format)
{
    // The desktop knows formats by MIME type, not by number; plain text is the one we offer.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || format != 0)
        return false;
    m_text = utf8;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && m_x11->offer(utf8))
        return true;
    // QClipboard::setText would keep a QString and encode it again for every
    // program that pastes, on the window thread: about half a second for a
    // million rows. Bytes under "text/plain" are handed out as they are; Qt
    // reads them as UTF-8, and offers them under the same targets as setText.
    if (utf8.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        QByteArray bytes;
        try {
            bytes = utf8.get();
        } catch (...) {
            m_text = {};
            return false;
        }
        auto* data = new QMimeData;
        data->setData(kTextPlain, bytes);
        clipboard->setMimeData(data);
    } else {
        clipboard->setMimeData(new PendingTextData(utf8));
    }
    return true;
}

void SystemClipboard::keepAfterExit()
{
#ifndef Q_OS_WIN
    if (!m_text.valid())
        return;
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const bool ours = m_x11->isOwner()
        || (QGuiApplication::clipboard() && QGuiApplication::clipboard()->ownsClipboard());
    // Another program copied since: its text is not to be taken back.
    if (!ours || m_text.wait_for(kPendingTextWait) != std::future_status::ready)
        return;
    QByteArray utf8;
    try {
        utf8 = m_text.get();
    } catch (...) {
        return;
    }
    if (utf8.isEmpty())
        return;
    if (x11)
        keepX11ClipboardText(utf8, m_x11->window());
    else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        keepWaylandClipboardText(utf8);
#endif
}

} // namespace platform
