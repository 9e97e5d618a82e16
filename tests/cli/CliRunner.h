#pragma once
// Runs the built chronopurge-cli on a temporary tree, the way a script would:
// its own home, data and state folders below the tree, a fixed locale and
// time zone, and everything it wrote kept for the test to compare whole.

#include "QtPrinting.h"
#include "TempTree.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QString errors;

    /** Standard output as lines (the last line's LF dropped). */
    QStringList lines() const { return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts); }
    /** Standard error as lines. */
    QStringList errorLines() const { return errors.split('\n', Qt::SkipEmptyParts); }
};

class CliRunner {
public:
    /** A runner whose home folder is "home" below `tree`. */
    explicit CliRunner(TempTree& tree)
        : m_tree(tree)
    {
        tree.dir("home");
    }

    QString home() const { return m_tree.path("home"); }
    QString trash() const { return m_tree.path("home/.local/share/Trash"); }
    QString journalFolder() const { return m_tree.path("home/.local/state/chronopurge/trash-journal"); }

    /** Runs the program with `arguments`; `input` goes to its standard input; a run longer than `timeoutMs` fails. */
    CliResult run(const QStringList& arguments, const QByteArray& input = {}, int timeoutMs = 60000) const
    {
        return runThrough({}, arguments, input, timeoutMs);
    }

    /** The same, started by `wrapper` (a command and its arguments, such as setpriv and its options). */
    CliResult runThrough(const QStringList& wrapper, const QStringList& arguments, const QByteArray& input = {},
                         int timeoutMs = 60000) const
    {
        QProcess cli;
        start(cli, arguments, wrapper);
        cli.write(input);
        cli.closeWriteChannel();
        EXPECT_TRUE(cli.waitForFinished(timeoutMs)) << "chronopurge-cli did not finish";
        CliResult result;
        result.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        result.out = cli.readAllStandardOutput();
        result.errors = QString::fromUtf8(cli.readAllStandardError());
        return result;
    }

    /**
     * Starts the program with `arguments` in `cli` without waiting for it, in
     * the environment of run(); a `wrapper` (a command and its arguments, such
     * as prlimit) starts it.
     */
    void start(QProcess& cli, const QStringList& arguments, const QStringList& wrapper = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home());
        environment.remove("XDG_DATA_HOME");
        environment.remove("XDG_STATE_HOME");
        environment.remove("XDG_CONFIG_HOME");
        environment.insert("LC_ALL", "en_US.UTF-8");
        environment.insert("TZ", "UTC0");
        for (auto it = m_environment.begin(); it != m_environment.end(); ++it)
            environment.insert(it.key(), it.value());
        cli.setProcessEnvironment(environment);
        if (m_user || m_descriptorLimit > 0) {
            // A lower limit of descriptors; as another user: no supplementary
            // groups, then the group, then the user.
            const std::optional<uid_t> user = m_user;
            const rlim_t limit = rlim_t(m_descriptorLimit);
            const QByteArray path = QFile::encodeName(wrapper.isEmpty() ? program() : wrapper.first());
            cli.setChildProcessModifier([user, limit, path] {
                const struct rlimit nofile = {limit, limit};
                if (limit > 0)
                    ::setrlimit(RLIMIT_NOFILE, &nofile);
                if (user && (::setgroups(0, nullptr) != 0 || ::setgid(*user) != 0 || ::setuid(*user) != 0))
                    ::_exit(kCouldNotChangeUser);
                // A build in a folder closed to others (a private temporary folder).
                if (user && ::access(path.constData(), X_OK) != 0)
                    ::_exit(kProgramOutOfReach);
            });
        }
        if (wrapper.isEmpty())
            cli.start(program(), arguments);
        else
            cli.start(wrapper.first(), wrapper.mid(1) + QStringList{program()} + arguments);
    }

    /**
     * Runs the program with `arguments` given as bytes, as a shell passes a
     * name that is not UTF-8 (QProcess would pass its text instead), in the
     * working folder `workingFolder` (bytes) when one is given.
     */
    CliResult runBytes(const QList<QByteArray>& arguments, const QByteArray& workingFolder = {}) const
    {
        // Each value is made by printf from octal escapes; the "x" keeps a
        // final line feed from being taken off.
        const auto assign = [](const QString& variable, const QByteArray& value) {
            QString escaped;
            for (const char byte : value)
                escaped += QStringLiteral("\\%1").arg(uint(static_cast<unsigned char>(byte)), 3, 8, QLatin1Char('0'));
            return QStringLiteral("%1=$(printf '%2x'); %1=${%1%x}; ").arg(variable, escaped);
        };
        QString script;
        if (!workingFolder.isEmpty())
            script += assign(QStringLiteral("w"), workingFolder) + QStringLiteral("cd \"$w\" || exit 98; ");
        QString call = QStringLiteral("exec \"$0\"");
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            script += assign(QStringLiteral("a%1").arg(i), arguments[i]);
            call += QStringLiteral(" \"$a%1\"").arg(i);
        }
        // The shell gets the program as $0.
        return runThrough({QStringLiteral("/bin/sh"), QStringLiteral("-c"), script + call}, {});
    }

    /** Runs the program as `user` (its group the same number) from now on; needs root. */
    void runAs(uid_t user) { m_user = user; }
    /** The exit status of a run that could not become the user runAs() named. */
    static constexpr int kCouldNotChangeUser = 99;
    /** The exit status of a run whose user may not reach the program. */
    static constexpr int kProgramOutOfReach = 98;

    /** Sets an environment variable for every later run. */
    void setEnvironment(const QString& name, const QString& value) { m_environment.insert(name, value); }

    /** Lets every later run open at most `descriptors` files at once (RLIMIT_NOFILE), as `prlimit --nofile` does. */
    void setDescriptorLimit(int descriptors) { m_descriptorLimit = descriptors; }

    static QString program() { return qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + "/chronopurge-cli"; }

private:
    const TempTree& m_tree;
    QHash<QString, QString> m_environment;
    int m_descriptorLimit = 0;
    std::optional<uid_t> m_user;
};

inline QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}
