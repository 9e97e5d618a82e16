#pragma once
// Every modal dialog of the program goes through this interface, so that the
// windows never open a dialog themselves. Production uses QtDialogs; tests use
// a scripted implementation that answers from a queue and records what it was
// asked, word for word.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace platform {

/** What a request to move files to the Trash is about to do, for its question. */
struct TrashSummary {
    int fileCount = 0;
    qint64 totalBytes = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    /** Shows `text` with an OK button, no icon, under the application title. */
    virtual void message(const QString& text) = 0;

    /**
     * Shows `text` as message() does; `address`, which `text` holds, is shown
     * whole on one line as a link that opens in the user's browser. Dialogs
     * that cannot show a link show the text alone.
     */
    virtual void messageWithLink(const QString& text, [[maybe_unused]] const QString& address) { message(text); }

    /** Asks `text` with Yes and No, no icon, under the application title; true on Yes. */
    virtual bool ask(const QString& text) = 0;

    /** Shows the error report: title "Application Error", warning icon, OK. */
    virtual void errorReport(const QString& text) = 0;

    /** Lets the user pick a real folder; returns its full path, or empty text on cancel. */
    virtual QString browseForFolder(const QString& title, const QString& startFolder) = 0;

    /**
     * Asks for a file name to save to, with the given title and filter entries
     * (the first in effect); never asks about overwriting and adds no suffix.
     * Returns the full path, or empty text on cancel.
     */
    virtual QString saveFileName(const QString& title, const QStringList& filters) = 0;

    /** Asks whether the files of `summary` may go to the Trash; true on Yes. */
    virtual bool confirmTrash(const TrashSummary& summary) = 0;
};

} // namespace platform
