#pragma once

#include "platform/Dialogs.h"

#include <functional>

namespace platform {

/** The production dialogs: QMessageBox and QFileDialog, owned by the active window. */
class QtDialogs final : public Dialogs {
public:
    /** `title` yields the application title at the moment a box is shown. */
    explicit QtDialogs(std::function<QString()> title);

    void message(const QString& text) override;
    bool ask(const QString& text) override;
    void errorReport(const QString& text) override;
    QString browseForFolder(const QString& title, const QString& startFolder) override;
    QString saveFileName(const QString& title, const QStringList& filters) override;
    bool confirmTrash(const TrashSummary& summary) override;

private:
    std::function<QString()> m_title;
};

} // namespace platform
