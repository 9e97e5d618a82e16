#pragma once
// A temporary folder tree for the Windows tests, with Windows paths ("\").

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <windows.h>

/** The content of the file at `path`; "<unreadable>" when it cannot be read. */
inline QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class WindowsTree {
public:
    /** The root with "\" separators and no trailing one. */
    QString root() const { return QDir::toNativeSeparators(m_dir.path()); }
    QString path(const QString& relative) const { return root() + QLatin1Char('\\') + relative; }

    /** Creates the file `relative` (folders included) with `content` and the modified time `modified`. */
    QString file(const QString& relative, const QDateTime& modified = {}, const QByteArray& content = "x")
    {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(content);
            // Written out first: a write after setting the time would change it.
            file.flush();
            if (modified.isValid())
                file.setFileTime(modified, QFileDevice::FileModificationTime);
        }
        return full;
    }

    QString dir(const QString& relative)
    {
        QDir().mkpath(path(relative));
        return path(relative);
    }

    /** Sets the attribute value of `relative` (e.g. FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY). */
    bool setAttributes(const QString& relative, DWORD attributes)
    {
        return SetFileAttributesW(path(relative).toStdWString().c_str(), attributes);
    }

private:
    QTemporaryDir m_dir;
};
