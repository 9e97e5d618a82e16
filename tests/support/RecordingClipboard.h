#pragma once

#include "platform/Clipboard.h"

/** A clipboard that keeps what it was given, for window tests. */
class RecordingClipboard final : public platform::Clipboard {
public:
    QString text = QStringLiteral("held before");
    int format = -1;
    int clears = 0;

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
};
