#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

void QtDesktop::openFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace platform
