// Where there is no X server (Windows), Qt's own clipboard serves pastes:
// this owner never takes the clipboard.

#include "platform/XcbClipboardOwner.h"

namespace platform {

class XcbClipboardOwner::Session {};

XcbClipboardOwner::XcbClipboardOwner() = default;
XcbClipboardOwner::~XcbClipboardOwner() = default;

bool XcbClipboardOwner::offer(const std::shared_future<QByteArray>&, const QByteArray&)
{
    return false;
}

bool XcbClipboardOwner::offer(const QByteArray&, const QByteArray&)
{
    return false;
}

bool XcbClipboardOwner::takeOver(const QByteArray&, std::uint32_t, const QByteArray&)
{
    return false;
}

void XcbClipboardOwner::release() {}

bool XcbClipboardOwner::isOwner() const
{
    return false;
}

std::uint32_t XcbClipboardOwner::window() const
{
    return 0;
}

XcbClipboardOwner::HandOver XcbClipboardOwner::handOver(std::chrono::milliseconds, std::chrono::milliseconds)
{
    return HandOver::Lost;
}

void XcbClipboardOwner::waitWhileOwner() {}

} // namespace platform
