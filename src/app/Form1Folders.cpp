// Folders that reach the first window's list without the folder dialog: named
// on the command line, or dropped from a file manager. Both are added as
// "Add Folder" adds a chosen folder.

#include "app/Form1.h"

#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "scan/VisibleText.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

namespace {

// The drop action to report back to the source. A drop only adds a name to
// the list, so it is never a move: a file manager that was told "moved" could
// remove what it dragged.
std::optional<Qt::DropAction> dropActionFor(Qt::DropActions possible)
{
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return std::nullopt;
}

// A local file's path from its address. The address carries the name's bytes
// percent-encoded; QUrl::toLocalFile would turn bytes that are not UTF-8 into
// another name, so they are decoded here.
QString localPath(const QUrl& url)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!url.host().isEmpty() || bytes.isValidUtf8())
        return url.toLocalFile();
    return platform::pathFromNative(bytes);
}

// The dropped items as paths: a local file's path, any other address as text.
QStringList droppedItems(const QMimeData* data)
{
    QStringList items;
    for (const QUrl& url : data->urls())
        items << (url.isLocalFile() ? localPath(url) : url.toDisplayString());
    return items;
}

bool holdsAFolder(const QMimeData* data)
{
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && platform::isFolder(localPath(url)))
            return true;
    return false;
}

} // namespace

void Form1::addFolders(const QStringList& paths)
{
    QStringList refused;
    bool added = false;
    for (const QString& path : paths) {
        if (!platform::isFolder(path)) {
            // Named one a line: a line feed in a name shows as its sign.
            refused << visibleText(path);
            continue;
        }
        // The folder dialog gives a full path without a trailing "/"; the same
        // steps as "Add Folder" follow.
        appendRow(NormalizeFolderPath(withNativeSeparators(QDir::cleanPath(platform::absolutePath(path))) + kPathSeparator));
        added = true;
    }
    if (added)
        m_pushButton6->setEnabled(true);
    if (refused.size() == 1) {
        m_services.dialogs.message(tr("\"%1\" is not a folder, so it was not added to the list.").arg(refused.first()));
    } else if (refused.size() > 1) {
        m_services.dialogs.message(tr("These are not folders, so they were not added to the list:") + QLatin1Char('\n')
                                   + refused.join(QLatin1Char('\n')));
    }
}

bool Form1::isDropEvent(const QEvent* event)
{
    return event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop;
}

void Form1::dropOnList(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const std::optional<Qt::DropAction> action = dropActionFor(drop->possibleActions());
    // Only a drag that carries at least one local folder is taken; other
    // folders it carries are added, anything else is named in a message.
    if (!action || !drop->mimeData()->hasUrls() || !holdsAFolder(drop->mimeData())) {
        drop->ignore();
        return;
    }
    drop->setDropAction(*action);
    drop->accept();
    if (event->type() != QEvent::Drop)
        return;
    // The file manager waits for the drop to finish; a message about items
    // that are no folder must not hold it up, so the items are added after.
    QMetaObject::invokeMethod(this, [this, items = droppedItems(drop->mimeData())] { addFolders(items); },
                              Qt::QueuedConnection);
}
