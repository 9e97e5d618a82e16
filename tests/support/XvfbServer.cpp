#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

XvfbServer::XvfbServer(const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        m_reason = QStringLiteral("Xvfb is not installed (scripts/deps.sh test installs it)");
        return;
    }
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start(QStringLiteral("Xvfb"), QStringList{"-displayfd", "1", "-nolisten", "tcp"} + arguments);
    // Generous: a loaded machine starts it slowly.
    const QDeadlineTimer deadline(60000);
    QByteArray number;
    while (!number.endsWith('\n') && !deadline.hasExpired()) {
        if (!m_server.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        number += m_server.readAllStandardOutput();
    }
    number = number.trimmed();
    bool isNumber = false;
    number.toUInt(&isNumber);
    if (!isNumber) {
        m_reason = QStringLiteral("Xvfb could not start");
        m_server.kill();
        m_server.waitForFinished();
        return;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
}

XvfbServer::~XvfbServer()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(10000)) {
        m_server.kill();
        m_server.waitForFinished();
    }
}
