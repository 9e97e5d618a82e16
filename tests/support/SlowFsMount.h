#pragma once
// SlowFs (bench/SlowFs.cpp) mounted over a folder for the length of a test:
// a share that answers slowly, or fails as it is told to. Mounting needs
// the FUSE device and root; a test without them skips with the reason
// skipReason() gives.

#include <QProcess>
#include <QString>
#include <QStringList>

class SlowFsMount {
public:
    /**
     * Mounts `backing` at `mountPoint` (an empty folder) with SlowFs's
     * `options` ("--delay", "0.2", "--fail", "readdir:/a:EIO", ...) and waits
     * until the mount is there.
     */
    SlowFsMount(const QString& backing, const QString& mountPoint, const QStringList& options = {});
    /** Unmounts, and waits for SlowFs to end. */
    ~SlowFsMount();
    SlowFsMount(const SlowFsMount&) = delete;
    SlowFsMount& operator=(const SlowFsMount&) = delete;

    /** Empty when mounted; else why there is no mount (no FUSE device, not root, no SlowFs). */
    QString skipReason() const { return m_skipReason; }
    QString mountPoint() const { return m_mountPoint; }

    /** The path of the SlowFs program, or empty when libfuse3 was missing at build time. */
    static QString program();

private:
    QString m_mountPoint;
    QString m_skipReason;
    QProcess m_process;
    bool m_mounted = false;
};
