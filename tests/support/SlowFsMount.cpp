#include "SlowFsMount.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

quint64 deviceOf(const QString& path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? quint64(status.st_dev) : 0;
}

} // namespace

QString SlowFsMount::program()
{
#ifdef CHRONOPURGE_SLOWFS
    return QStringLiteral(CHRONOPURGE_SLOWFS);
#else
    return {};
#endif
}

SlowFsMount::SlowFsMount(const QString& backing, const QString& mountPoint, const QStringList& options)
    : m_mountPoint(mountPoint)
{
    if (program().isEmpty() || !QFileInfo(program()).isExecutable()) {
        m_skipReason = QStringLiteral("SlowFs was not built (libfuse3-dev was missing)");
        return;
    }
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("mounting SlowFs needs root");
        return;
    }
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0) {
        m_skipReason = QStringLiteral("no usable /dev/fuse");
        return;
    }
    ::close(device);

    const quint64 before = deviceOf(mountPoint);
    m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    m_process.start(program(), QStringList(options) << backing << mountPoint << QStringLiteral("-f"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (deviceOf(mountPoint) != before) {
            m_mounted = true;
            return;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(10);
    }
    m_process.kill();
    m_process.waitForFinished(2000);
    m_skipReason = QStringLiteral("SlowFs could not mount (%1)").arg(QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed());
}

SlowFsMount::~SlowFsMount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
