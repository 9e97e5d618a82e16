#pragma once

#include "platform/Dialogs.h"

#include <functional>

class QMessageBox;

namespace platform {

/**
 * `text` as rich text, with `address` (where `text` holds it, else after it)
 * as a link kept whole on a line of its own: left alone, the message box
 * broke the address after "https://".
 */
QString textWithLink(const QString& text, const QString& address);

/** Puts textWithLink() in `box`, its link opened in the browser (QDesktopServices) by mouse or keyboard. */
void setTextWithLink(QMessageBox& box, const QString& text, const QString& address);

/** The production dialogs: QMessageBox and QFileDialog, owned by the active window. */
class QtDialogs final : public Dialogs {
public:
    /** `title` yields the application title at the moment a box is shown. */
    explicit QtDialogs(std::function<QString()> title);

    void message(const QString& text) override;
    void messageWithLink(const QString& text, const QString& address) override;
    bool ask(const QString& text) override;
    void errorReport(const QString& text) override;
    QString browseForFolder(const QString& title, const QString& startFolder) override;
    QString saveFileName(const QString& title, const QStringList& filters) override;
    bool confirmTrash(const TrashSummary& summary) override;

private:
    std::function<QString()> m_title;
};

} // namespace platform
