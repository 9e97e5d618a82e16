#pragma once
// A private X server for tests that need a real one. Xvfb picks a free
// display itself (-displayfd) and reports its number once it takes
// connections, so two tests started at once never race for the same number.

#include <QProcess>
#include <QString>
#include <QStringList>

class XvfbServer {
public:
    /** Starts Xvfb with `arguments` (its screens); see running(). */
    explicit XvfbServer(const QStringList& arguments = {"-screen", "0", "64x64x24"});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    /** True when the server runs and takes connections. */
    bool running() const { return !m_display.isEmpty(); }
    /** Why it does not run: for the test's skip message. */
    QString reason() const { return m_reason; }
    /** Its display name, ":N". */
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
    QString m_reason;
};
