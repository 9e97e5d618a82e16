#include "scan/MountTable.h"

#include <QFile>
#include <QList>

namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes in paths as \ooo.
QByteArray unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

QByteArray withoutTrailingSlash(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

MountTable::MountTable(std::unordered_set<std::string> pseudoMountPoints)
    : m_points(std::move(pseudoMountPoints))
{
}

bool MountTable::isPseudoFileSystem(const QByteArray& type)
{
    static const char* const types[] = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2",
                                        "debugfs", "tracefs", "securityfs", "pstore", "bpf", "configfs",
                                        "fusectl", "mqueue", "hugetlbfs", "autofs", "binfmt_misc"};
    for (const char* known : types)
        if (type == known)
            return true;
    return false;
}

MountTable MountTable::current()
{
    std::unordered_set<std::string> points;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return MountTable();
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size())
            continue;
        if (isPseudoFileSystem(fields[separator + 1]))
            points.insert(withoutTrailingSlash(unescape(fields[4])).toStdString());
    }
    return MountTable(std::move(points));
}

bool MountTable::isPseudoMountPoint(const QByteArray& path) const
{
    if (m_points.empty())
        return false;
    return m_points.count(withoutTrailingSlash(path).toStdString()) != 0;
}
