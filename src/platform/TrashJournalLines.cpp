#include "platform/TrashJournalLines.h"

#include "platform/DescriptorWait.h"
#include "platform/FileSystem.h"
#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"

#include <QFile>

#include <algorithm>

#include <fcntl.h>

namespace platform::journal {

namespace {

bool parseNumbers(const QList<QByteArray>& fields, qsizetype first, quint64* values, int count)
{
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        values[i] = fields[first + i].toULongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

// True when every byte of `text` is one of `allowed` or a letter or digit.
bool consistsOf(const QByteArray& text, const char* allowed)
{
    return std::all_of(text.begin(), text.end(), [allowed](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || (c != '\0' && std::strchr(allowed, c));
    });
}

} // namespace

UniqueFd openFolder(const QByteArray& folder)
{
    if (folder.isEmpty())
        return UniqueFd();
    return UniqueFd(waitForDescriptor([&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
}

void report(QStringList* problems, quint64 id, qsizetype line, const QString& reason)
{
    if (!problems)
        return;
    if (line > 0)
        problems->append(JournalTexts::tr("request %1, line %2: %3").arg(id).arg(line).arg(reason));
    else
        problems->append(JournalTexts::tr("request %1: %2").arg(id).arg(reason));
}

std::unique_ptr<BoundedLines> openRequest(int folderFd, quint64 id, QStringList* problems)
{
    auto lines = std::make_unique<BoundedLines>(folderFd, QByteArray::number(id), kLongestLine);
    if (!lines->isOpen() && lines->errnum() != ENOENT)
        report(problems, id, 0, lines->error());
    return lines;
}

QString refusal(const QByteArray& trash, const QByteArray& name, const QByteArray& original,
                const QByteArray& homeTrash)
{
    if (!isSingleTrashName(name))
        return JournalTexts::tr("its name in the Trash is not a single name");
    if (!hasTrashFolderForm(trash, homeTrash))
        return JournalTexts::tr("its Trash folder is not one the program uses");
    if (!original.startsWith('/'))
        return JournalTexts::tr("its original path is not absolute");
    const QByteArray last = original.mid(original.lastIndexOf('/') + 1);
    if (original.contains('\0') || last.isEmpty() || last == "." || last == "..")
        return JournalTexts::tr("its original path does not name a file");
    return {};
}

QByteArray begunLine(const TrashBegun& begun, const QByteArray& workingFolder)
{
    QByteArray original = nativePath(begun.path);
    if (!original.startsWith('/'))
        original = workingFolder + '/' + original;
    while (original.size() > 1 && original.endsWith('/'))
        original.chop(1);
    QByteArray line = "begun";
    for (const quint64 value : {begun.identity.device, begun.identity.inode, quint64(begun.identity.type),
                                begun.folderIdentity.device, begun.folderIdentity.inode})
        line += ' ' + QByteArray::number(value);
    return line + ' ' + percentEncodePath(begun.trash) + ' ' + percentEncodePath(begun.trashName) + ' '
        + percentEncodePath(original) + ' ' + begun.pathField + ' ' + begun.deletionDate;
}

std::optional<BegunFile> parseBegunLine(const QList<QByteArray>& fields, const QByteArray& homeTrash,
                                        QStringList* problems, quint64 id, qsizetype line)
{
    quint64 values[5];
    if (fields.size() != 12 || !parseNumbers(fields, 1, values, 5) || values[2] > quint64(FileType::Other))
        return std::nullopt;
    BegunFile file;
    file.identity = {values[0], values[1], FileType(values[2])};
    file.folderIdentity = {values[3], values[4], FileType::Directory};
    file.trash = percentDecodePath(fields[6]);
    file.trashName = percentDecodePath(fields[7]);
    file.originalPath = percentDecodePath(fields[8]);
    file.pathField = fields[9];
    file.deletionDate = fields[10];
    QString reason = refusal(file.trash, file.trashName, file.originalPath, homeTrash);
    // The record's text, as percentEncodePath() and trashDeletionDate() make it.
    if (reason.isEmpty()
        && (file.pathField.isEmpty() || !consistsOf(file.pathField, "-._~/%") || file.deletionDate.isEmpty()
            || file.deletionDate.size() > 32 || !consistsOf(file.deletionDate, "-:")))
        reason = JournalTexts::tr("its record's text is not one the program writes");
    if (!reason.isEmpty()) {
        report(problems, id, line, reason);
        return std::nullopt;
    }
    return file;
}

} // namespace platform::journal
