#pragma once
// The system clipboard, behind a small interface so that the copy action can
// be tested with a fake. SystemClipboard (in the widget library) places plain
// text through Qt's clipboard.

#include <QString>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;

    /** Empties the clipboard; false when the clipboard refused. */
    virtual bool clear() = 0;

    /** Places `text` in `format` (0: plain text); false when the clipboard refused. */
    virtual bool setText(const QString& text, int format) = 0;
};

/** The desktop's clipboard. Only plain text (format 0) can be placed; other formats are refused. */
class SystemClipboard final : public Clipboard {
public:
    bool clear() override;
    bool setText(const QString& text, int format) override;
};

} // namespace platform
