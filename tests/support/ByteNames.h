#pragma once
// Names that are not UTF-8, as a Linux folder may hold them (issue 18): a
// folder "dir-\xff", Latin-1 names, a lone continuation byte, an overlong
// form, a surrogate written in UTF-8, a cut-off character, two names that
// look alike once shown, and beside them names that are UTF-8 (one starting
// with a byte order mark). Each comes with the text it shows as: U+FFFD for
// each byte that is not UTF-8, control characters as their signs.

#include "TempTree.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QString>

#include <algorithm>
#include <map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct ByteName {
    /** The path below the tree's folder, as the system holds it. */
    QByteArray bytes;
    /** The same as the program shows it. */
    QString shown;
};

inline const std::vector<ByteName>& byteNames()
{
    static const std::vector<ByteName> names{
        {"dir-\xff/inside.txt", QStringLiteral("dir-\uFFFD/inside.txt")},
        {"dir-\xff/caf\xe9.txt", QStringLiteral("dir-\uFFFD/caf\uFFFD.txt")},
        {"caf\xe9.txt", QStringLiteral("caf\uFFFD.txt")},
        {"caf\xc3\xa9.txt", QStringLiteral("caf\u00E9.txt")},
        {"\xc9t\xe9 2019.doc", QStringLiteral("\uFFFDt\uFFFD 2019.doc")},
        {"lone-\x80.txt", QStringLiteral("lone-\uFFFD.txt")},
        {"overlong-\xc0\xaf.txt", QStringLiteral("overlong-\uFFFD\uFFFD.txt")},
        {"surrogate-\xed\xa0\x80.txt", QStringLiteral("surrogate-\uFFFD\uFFFD\uFFFD.txt")},
        {"cut-\xe2\x82.txt", QStringLiteral("cut-\uFFFD\uFFFD.txt")},
        {"same-\xfe.txt", QStringLiteral("same-\uFFFD.txt")},
        {"same-\xff.txt", QStringLiteral("same-\uFFFD.txt")},
        {"tab\t\xff.txt", QStringLiteral("tab\u2409\uFFFD.txt")},
        {"\xef\xbb\xbf" "bom-dir/bom.txt", QStringLiteral("\uFEFFbom-dir/bom.txt")},
        {"plain.txt", QStringLiteral("plain.txt")},
    };
    return names;
}

/** Creates every byte name below `folder` of `tree` (ending in "/"), each file holding its own bytes, modified on 2019-06-01. */
inline void makeByteNames(TempTree& tree, const QString& folder)
{
    for (const ByteName& name : byteNames()) {
        const QString relative = folder + platform::pathFromNative(name.bytes);
        tree.file(relative, name.bytes);
        tree.setTimes(relative, QDateTime(QDate(2019, 6, 1), QTime(12, 0), Qt::UTC));
    }
}

/** The paths of the files `find FOLDER -type f` lists, as bytes, sorted. */
inline std::vector<QByteArray> foundByFind(const QString& folder)
{
    QProcess find;
    find.start(QStringLiteral("find"), {folder, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-print0")});
    find.waitForFinished(60000);
    std::vector<QByteArray> paths;
    for (const QByteArray& path : find.readAllStandardOutput().split('\0'))
        if (!path.isEmpty())
            paths.push_back(path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

/** The content of the file at the path `bytes`; "<missing>" when it cannot be read. */
inline QByteArray contentOf(const QByteArray& bytes)
{
    const int fd = ::open(bytes.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    QByteArray content;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, got);
    ::close(fd);
    return content;
}

/** The inode of what stands at the path `bytes` (links not followed); 0 when nothing does. */
inline ino_t inodeOf(const QByteArray& bytes)
{
    struct stat status {};
    return ::lstat(bytes.constData(), &status) == 0 ? status.st_ino : 0;
}

/** The names in the folder `bytes`, as bytes, sorted, without "." and "..". */
inline std::vector<QByteArray> entryBytes(const QByteArray& bytes)
{
    std::vector<QByteArray> names;
    if (DIR* folder = ::opendir(bytes.constData())) {
        while (const dirent* entry = ::readdir(folder)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

/** The Path= field of each .trashinfo record in the trash folder `trash` (bytes), by the record's name. */
inline std::map<QByteArray, QByteArray> trashInfoPaths(const QByteArray& trash)
{
    std::map<QByteArray, QByteArray> paths;
    for (const QByteArray& name : entryBytes(trash + "/info")) {
        for (const QByteArray& line : contentOf(trash + "/info/" + name).split('\n'))
            if (line.startsWith("Path="))
                paths[name] = line.mid(5);
    }
    return paths;
}
