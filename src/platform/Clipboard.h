#pragma once
// The system clipboard, behind a small interface so that the copy action can
// be tested with a fake. SystemClipboard (in the widget library) places plain
// text through Qt's clipboard.

#include <QByteArray>
#include <QString>

#include <future>
#include <memory>

namespace platform {

class XcbClipboardOwner;

class Clipboard {
public:
    virtual ~Clipboard() = default;

    /** Empties the clipboard; false when the clipboard refused. */
    virtual bool clear() = 0;

    /** Places `text` in `format` (0: plain text); false when the clipboard refused. */
    virtual bool setText(const QString& text, int format) = 0;

    /**
     * Places text already encoded as UTF-8, as setText() does. A big text is
     * best handed over this way: the desktop takes the bytes as they are.
     */
    virtual bool setUtf8Text(const QByteArray& utf8, int format) { return setText(QString::fromUtf8(utf8), format); }

    /**
     * Takes the clipboard for a UTF-8 text still being made: a program that
     * pastes before `utf8` is ready waits for it, and one that pastes after a
     * failure gets nothing. This one waits here and places it.
     */
    virtual bool setPendingUtf8Text(const std::shared_future<QByteArray>& utf8, int format)
    {
        return setUtf8Text(utf8.get(), format);
    }

    /**
     * Called as the program ends: keeps the text it placed on the clipboard,
     * if it still holds it, for programs that paste later. This one keeps
     * nothing.
     */
    virtual void keepAfterExit() {}
};

/** `utf8`, ready: a pending text that needs no waiting. */
std::shared_future<QByteArray> readyText(const QByteArray& utf8);

/**
 * The desktop's clipboard. Only plain text (format 0) can be placed; other
 * formats are refused. The text is kept as UTF-8 bytes, which is what other
 * programs ask for, so serving a paste converts nothing. On X11 the text is
 * served from a thread of its own (XcbClipboardOwner), so that neither a
 * pending text nor pasting a big one elsewhere holds up the windows;
 * elsewhere Qt's clipboard serves it, on the window thread. At the
 * program's end keepAfterExit() leaves the text with a process of its own
 * (ClipboardKeeper.h); on Windows the system keeps it.
 */
class SystemClipboard final : public Clipboard {
public:
    SystemClipboard();
    ~SystemClipboard() override;

    bool clear() override;
    bool setText(const QString& text, int format) override;
    bool setUtf8Text(const QByteArray& utf8, int format) override;
    bool setPendingUtf8Text(const std::shared_future<QByteArray>& utf8, int format) override;
    void keepAfterExit() override;

private:
    std::unique_ptr<XcbClipboardOwner> m_x11;
    /** The text last placed; invalid after clear(). */
    std::shared_future<QByteArray> m_text;
};

} // namespace platform
