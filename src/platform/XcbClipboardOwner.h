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
//               MULTIPLE asks for several of these at once (clipboard
//               managers use it). The text may still be in the making: a
//               request for it then waits on the thread until it is ready,
//               and a text that failed gives the clipboard up.
//   release()   gives the selection up and stops the thread
//   handOver()  asks the desktop's clipboard manager, where one runs, to keep
//               a copy (the freedesktop SAVE_TARGETS handover), serving its
//               requests meanwhile
//
// The thread also stops when another program takes the clipboard.

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>

namespace platform {

class XcbClipboardOwner {
public:
    /** How a handover to the clipboard manager ended. */
    enum class HandOver {
        NoManager, ///< no program owns CLIPBOARD_MANAGER
        Saved,     ///< the manager has the text: it takes the clipboard once we are gone
        Refused,   ///< the manager answered that it kept nothing
        TimedOut,  ///< the manager fell silent, or took too long
        Lost,      ///< another program took the clipboard meanwhile (or we never held it)
    };

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

    /**
     * As offer(), but only while the window `previousOwner` still holds the
     * clipboard: taking over a text another program of ours served, without
     * taking the clipboard from a program that copied meanwhile.
     */
    bool takeOver(const QByteArray& utf8, std::uint32_t previousOwner, const QByteArray& display = {});

    /** Gives the clipboard up (it is then empty) and stops serving; nothing when not serving. */
    void release();

    /** True while this owner holds the clipboard. */
    bool isOwner() const;

    /** The window that holds the clipboard while isOwner(); 0 when not serving. */
    std::uint32_t window() const;

    /**
     * Asks the clipboard manager to save the text, and serves its requests
     * until it answers. Gives up when it has asked for nothing for `silence`,
     * or after `limit` in all; the text is still served here then.
     */
    HandOver handOver(std::chrono::milliseconds silence, std::chrono::milliseconds limit);

    /** Returns once this owner no longer serves: another program took the clipboard, or the server went away. */
    void waitWhileOwner();

private:
    class Session;
    std::unique_ptr<Session> m_session;
};

} // namespace platform
