#pragma once
// A temporary folder tree for tests: files with chosen times, folders, links.
// Names are paths as platform::pathFromNative gives them, so a name that is
// not UTF-8 is written as its text (platform::pathFromNative("caf\xe9")).

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

class TempTree {
public:
    TempTree();
    /**
     * Removes the tree by its bytes: QTemporaryDir's own removal goes through
     * Qt's names and leaves behind every name that is not UTF-8.
     */
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    /** The tree's root folder, without a trailing "/". */
    QString root() const { return m_dir.path(); }
    /** The full path of `relative` below the root. */
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    /** Creates the file `relative` (and its folders) holding `content`; returns its full path. */
    QString file(const QString& relative, const QByteArray& content = "x");
    /** Creates the file and sets its modified and accessed times. */
    QString file(const QString& relative, const QDateTime& modified, const QDateTime& accessed = {});
    /** Creates the folder `relative` with its parents; returns its full path. */
    QString dir(const QString& relative);
    /** Creates a symbolic link `relative` pointing at `target` (as given). */
    QString symlink(const QString& relative, const QString& target);
    /** Sets the modified and accessed times of an existing path (links not followed). */
    void setTimes(const QString& relative, const QDateTime& modified, const QDateTime& accessed = {});

private:
    QTemporaryDir m_dir;
};
