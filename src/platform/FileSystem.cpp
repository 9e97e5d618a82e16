#include "platform/FileSystem.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <random>

namespace platform {

QByteArray nativePath(const QString& path)
{
    // UTF-8 on every system: Qt 6 encodes file names so on Linux, and the
    // Windows layer turns these bytes into the wide paths its calls take.
    return path.toUtf8();
}

QByteArray randomName(int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet)) - 2);
    QByteArray name(length, '\0');
    for (char& c : name)
        c = alphabet[pick(generator)];
    return name;
}

QString programFolderFor(const QString& executableFolder, const QString& installedDataFolder)
{
    // Any one of the files the build writes beside the program marks a build tree.
    const QDir beside(executableFolder);
    for (const char* name : {"HAND-M.CUR", "Samples", "translations"}) {
        if (beside.exists(QString::fromLatin1(name)))
            return executableFolder;
    }
    const QString installed = QDir::cleanPath(beside.filePath(installedDataFolder));
    if (QFileInfo(installed).isDir())
        return installed;
    return executableFolder;
}

QString programFolder()
{
    return programFolderFor(QCoreApplication::applicationDirPath(), QString::fromLatin1(kInstalledDataFolder));
}

} // namespace platform
