#pragma once
// Dialogs for tests: answers come from queues, and every question is recorded
// word for word, so a test checks what was asked and what followed.

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

struct AskedDialog {
    enum class Kind { Message, Ask, ErrorReport, BrowseForFolder, SaveFileName, ConfirmTrash };
    Kind kind;
    QString text;          // the message, question or report; the title of a picker
    QString startFolder;   // browseForFolder only
    QStringList filters;   // saveFileName only
    platform::TrashSummary trash; // confirmTrash only
};

class ScriptedDialogs final : public platform::Dialogs {
public:
    QQueue<bool> answers;          // ask() and confirmTrash(); No when empty
    QQueue<QString> folders;       // browseForFolder(); cancel when empty
    QQueue<QString> saveNames;     // saveFileName(); cancel when empty
    QList<AskedDialog> asked;
    QStringList links;             // the addresses messageWithLink() showed as links
    std::function<void(const AskedDialog&)> onAsked; // runs while the "dialog" is open

    void message(const QString& text) override { record({AskedDialog::Kind::Message, text, {}, {}, {}}); }
    void messageWithLink(const QString& text, const QString& address) override
    {
        links << address;
        record({AskedDialog::Kind::Message, text, {}, {}, {}});
    }
    bool ask(const QString& text) override
    {
        record({AskedDialog::Kind::Ask, text, {}, {}, {}});
        return answers.isEmpty() ? false : answers.dequeue();
    }
    void errorReport(const QString& text) override { record({AskedDialog::Kind::ErrorReport, text, {}, {}, {}}); }
    QString browseForFolder(const QString& title, const QString& startFolder) override
    {
        record({AskedDialog::Kind::BrowseForFolder, title, startFolder, {}, {}});
        return folders.isEmpty() ? QString() : folders.dequeue();
    }
    QString saveFileName(const QString& title, const QStringList& filters) override
    {
        record({AskedDialog::Kind::SaveFileName, title, {}, filters, {}});
        return saveNames.isEmpty() ? QString() : saveNames.dequeue();
    }
    bool confirmTrash(const platform::TrashSummary& summary) override
    {
        record({AskedDialog::Kind::ConfirmTrash, {}, {}, {}, summary});
        return answers.isEmpty() ? false : answers.dequeue();
    }

    /** The texts of every dialog of `kind`, in the order they were shown. */
    QStringList textsOf(AskedDialog::Kind kind) const
    {
        QStringList texts;
        for (const AskedDialog& dialog : asked)
            if (dialog.kind == kind)
                texts << dialog.text;
        return texts;
    }
    QStringList errorReports() const { return textsOf(AskedDialog::Kind::ErrorReport); }
    QStringList messages() const { return textsOf(AskedDialog::Kind::Message); }
    QStringList questions() const { return textsOf(AskedDialog::Kind::Ask); }

private:
    void record(const AskedDialog& dialog)
    {
        asked << dialog;
        if (onAsked)
            onAsked(dialog);
    }
};
