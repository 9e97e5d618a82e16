// Times the result actions on big inputs: moving 10,000 files to the Trash
// (distinct names, then all of one name) against `gio trash` on the same kind
// of files in the same run, saving 1,000,000 rows as text, and laying out the
// clipboard text of 1,000,000 rows. Build and run it with trash_bench.sh.
//
//   trash_bench [folder]   folder: where the files and the trash go (default /var/tmp)

#include "actions/ClipboardText.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFiles = 10000;

// The files as the scan would list them: below `root`, with their identity and size.
std::vector<platform::TrashItem> listed(const QString& root, const QStringList& paths)
{
    std::vector<platform::TrashItem> items;
    items.reserve(size_t(paths.size()));
    for (const QString& path : paths) {
        struct stat status;
        ::lstat(QFile::encodeName(path).constData(), &status);
        items.push_back({path, root + QLatin1Char('/'),
                         {quint64(status.st_dev), quint64(status.st_ino), platform::fileTypeOfMode(status.st_mode)},
                         qint64(status.st_size)});
    }
    return items;
}

QStringList makeFiles(const QString& root, bool sameName)
{
    QStringList paths;
    paths.reserve(kFiles);
    for (int i = 0; i < kFiles; ++i) {
        const QString folder = sameName ? QStringLiteral("%1/d%2").arg(root).arg(i)
                                        : QStringLiteral("%1/d%2").arg(root).arg(i / 100);
        QDir().mkpath(folder);
        const QString path = folder + (sameName ? QStringLiteral("/same.txt") : QStringLiteral("/file%1.txt").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("some content\n") != 13) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
            std::exit(1);
        }
        paths << path;
    }
    return paths;
}

void report(const char* what, qint64 nanoseconds, int count, const char* unit)
{
    std::printf("%-44s %9.1f ms total  %8.3f ms per %s\n", what, nanoseconds / 1e6, nanoseconds / 1e6 / count, unit);
}

void syncDisk()
{
    ::sync();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/var/tmp");
    QTemporaryDir work(base + QStringLiteral("/trash-bench-XXXXXX"));
    if (!work.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.path() + QStringLiteral("/data")));
    QElapsedTimer timer;

    // Ours, distinct names.
    QStringList paths = makeFiles(work.path() + QStringLiteral("/ours"), false);
    syncDisk();
    timer.start();
    std::vector<platform::TrashOutcome> outcomes = SendToRecycleBin(listed(work.path() + QStringLiteral("/ours"), paths));
    report("Trash, 10,000 distinct names (ours)", timer.nsecsElapsed(), kFiles, "file");
    int moved = 0;
    for (const auto& outcome : outcomes)
        moved += outcome.moved();
    if (moved != kFiles)
        std::printf("  only %d of %d moved: %s\n", moved, kFiles, qPrintable(outcomes.front().reason));

    // gio trash on as many files, in the same run.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        std::printf("gio trash: not installed (package libglib2.0-bin)\n");
    } else {
        paths = makeFiles(work.path() + QStringLiteral("/gio"), false);
        syncDisk();
        timer.start();
        for (qsizetype start = 0; start < paths.size(); start += 1000) {
            QProcess process;
            process.start(gio, QStringList{QStringLiteral("trash")} + paths.mid(start, 1000));
            process.waitForFinished(-1);
            if (process.exitCode() != 0)
                std::printf("  gio trash failed: %s\n", process.readAllStandardError().constData());
        }
        report("Trash, 10,000 distinct names (gio trash)", timer.nsecsElapsed(), kFiles, "file");
    }

    // Ours, every file of the same name.
    paths = makeFiles(work.path() + QStringLiteral("/same"), true);
    syncDisk();
    timer.start();
    outcomes = SendToRecycleBin(listed(work.path() + QStringLiteral("/same"), paths));
    report("Trash, 10,000 files all named same.txt", timer.nsecsElapsed(), kFiles, "file");

    // Ours again, distinct names, after the others (the first run also grows the trash folders).
    paths = makeFiles(work.path() + QStringLiteral("/again"), false);
    syncDisk();
    timer.start();
    outcomes = SendToRecycleBin(listed(work.path() + QStringLiteral("/again"), paths));
    report("Trash, 10,000 distinct names (ours, again)", timer.nsecsElapsed(), kFiles, "file");

    // The question before a million checked rows: their items and the summary.
    {
        FoundFileTable table;
        table.beginListedFolder(QStringLiteral("/home/user/"));
        for (int i = 0; i < 1000000; ++i) {
            if (i % 100 == 0)
                table.beginFolder(QStringLiteral("/home/user/folder%1/").arg(i / 100), 2049);
            const QByteArray name = "file number " + QByteArray::number(i) + ".txt";
            table.appendFile(name.constData(), size_t(name.size()), 0,
                             {quint64(i + 1), qint64(i % 5000), platform::FileType::Regular});
        }
        std::vector<qsizetype> checked(1000000);
        for (int i = 0; i < 1000000; ++i)
            checked[size_t(i)] = i;
        timer.start();
        const platform::TrashSummary summary = platform::summarizeTrash(trashItems(table, checked));
        report("Trash question for 1,000,000 rows", timer.nsecsElapsed(), 1000000, "row");
        std::printf("%-44s %9.1f MB\n", "  total size", summary.totalBytes / 1e6);
    }

    // Save and clipboard text of a million rows.
    ResultRowList rows;
    rows.rows().reserve(1000000);
    for (int i = 0; i < 1000000; ++i)
        rows.rows().push_back({QStringLiteral("/home/user/Documents/projects/folder%1/file number %2.txt").arg(i % 977).arg(i),
                               QStringLiteral("12/%1/2023 10:%2:00").arg(i % 28 + 1).arg(i % 60, 2, 10, QLatin1Char('0')),
                               i % 2 == 0});
    const QString saved = work.path() + QStringLiteral("/results.txt");
    timer.start();
    const std::optional<QString> error = saveResultsText(saved, rows);
    report("Save 1,000,000 rows", timer.nsecsElapsed(), 1000000, "row");
    if (error)
        std::printf("  save failed: %s\n", qPrintable(*error));
    std::printf("%-44s %9.1f MB\n", "  file size", QFileInfo(saved).size() / 1e6);

    timer.start();
    const QString text = clipboardText(rows);
    report("Clipboard text of 1,000,000 rows (half checked)", timer.nsecsElapsed(), 1000000, "row");
    std::printf("%-44s %9.1f M characters\n", "  text length", text.size() / 1e6);
    return 0;
}
