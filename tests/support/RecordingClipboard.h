#pragma once

#include "platform/Clipboard.h"

/** A clipboard that keeps what it was given, for window tests. */
class RecordingClipboard final : public platform::Clipboard {
public:
    QString text = QStringLiteral("held before");
    int format = -1;
    int clears = 0;
    /** When set, a pending text is kept as it is, not waited for; `text` is then left alone. */
    bool holdPending = false;
    std::shared_future<QByteArray> pending;

    bool clear() override
    {
        ++clears;
        text.clear();
        return true;
    }
    bool setText(const QString& newText, int newFormat) override
    {
        text = newText;
        format = newFormat;
        return true;
    }
    bool setPendingUtf8Text(const std::shared_future<QByteArray>& utf8, int newFormat) override
    {
        if (!holdPending)
            return Clipboard::setPendingUtf8Text(utf8, newFormat);
        pending = utf8;
        format = newFormat;
        return true;
    }
};
