#pragma once
// The X clipboard served from a thread of its own.
//
// Qt's xcb clipboard answers a paste on the window thread: a text bigger than
// one X request goes out in pieces of the largest request the server takes
// (16 MB on Xvfb), and the window thread waits while the server reads each
// one. A million copied rows (200 MB) froze the window for a second per
// paste. XcbClipboardOwner instead opens a connection of its own, takes the
// CLIPBOARD selection with a hidden window and answers every request on its
// own thread, big texts in 1 MiB pieces (the INCR transfer of the ICCCM).
//
//   offer()     connects, takes the selection, starts the thread; the thread
//               serves TARGETS, TIMESTAMP, UTF8_STRING, text/plain (UTF-8),
//               text/plain;charset=utf-8, and STRING and TEXT as Latin-1.
//               The text may still be in the making: a request for it then
//               waits on the thread until it is ready, and a text that
//               failed gives the clipboard up.
//   release()   gives the selection up and stops the thread
//
// The thread also stops when another program takes the clipboard.

#include <QByteArray>

#include <future>
#include <memory>

namespace platform {

class XcbClipboardOwner {
public:
    XcbClipboardOwner();
    ~XcbClipboardOwner();
    XcbClipboardOwner(const XcbClipboardOwner&) = delete;
    XcbClipboardOwner& operator=(const XcbClipboardOwner&) = delete;

    /**
     * Takes the clipboard of the X server `display` ($DISPLAY when empty) with
     * `utf8` as its text, replacing what this owner offered before. False when
     * the server cannot be reached or did not give the selection.
     */
    bool offer(const std::shared_future<QByteArray>& utf8, const QByteArray& display = {});
    bool offer(const QByteArray& utf8, const QByteArray& display = {});

    /** Gives the clipboard up (it is then empty) and stops serving; nothing when not serving. */
    void release();

    /** True while this owner holds the clipboard. */
    bool isOwner() const;

private:
    class Session;
    std::unique_ptr<Session> m_session;
};

} // namespace platform
