// Makes the sample folders beside the program from the manifest: each file
// gets small content of its kind and the modified and accessed dates that the
// manifest gives relative to the build day. Git keeps no file dates, so the
// build runs this every time and the dates follow the day of the build.
//
//   make_samples <manifest> <Samples folder>

#include "SampleManifest.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTextStream>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

namespace {

QByteArray image(const QString& name, const char* format)
{
    QImage picture(16, 16, QImage::Format_RGB32);
    const int hue = int(qHash(name) % 360);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixelColor(x, y, QColor::fromHsv(hue, 40 + x * 12, 255 - y * 8));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

QByteArray content(const SampleEntry& entry, QDate buildDay)
{
    const QString name = QFileInfo(entry.path).fileName();
    const QString day = entry.modified.from(buildDay).toString(Qt::ISODate);
    QString text;
    if (entry.kind == QLatin1String("text")) {
        text = QStringLiteral("%1\nA sample file for trying Chronopurge.\nIts modified date is %2.\n").arg(name, day);
    } else if (entry.kind == QLatin1String("csv")) {
        text = QStringLiteral("date,item,amount\n%1,paper,4.50\n%1,ink,12.00\n%1,stamps,3.20\n").arg(day);
    } else if (entry.kind == QLatin1String("log")) {
        text = QStringLiteral("%1 08:00:01 started\n%1 08:00:02 checked 42 files\n%1 08:00:03 finished\n").arg(day);
    } else if (entry.kind == QLatin1String("md")) {
        text = QStringLiteral("# %1\n\n- written on %2\n- a sample for Chronopurge\n").arg(name, day);
    } else if (entry.kind == QLatin1String("json")) {
        text = QStringLiteral("{\n  \"name\": \"%1\",\n  \"date\": \"%2\",\n  \"sample\": true\n}\n").arg(name, day);
    } else if (entry.kind == QLatin1String("xml")) {
        text = QStringLiteral("<?xml version=\"1.0\"?>\n<sample name=\"%1\" date=\"%2\"/>\n").arg(name, day);
    } else if (entry.kind == QLatin1String("html")) {
        text = QStringLiteral("<!DOCTYPE html>\n<title>%1</title>\n<p>Sample page of %2.</p>\n").arg(name, day);
    } else if (entry.kind == QLatin1String("ini")) {
        text = QStringLiteral("[sample]\nname=%1\ndate=%2\n").arg(name, day);
    } else if (entry.kind == QLatin1String("png")) {
        return image(name, "PNG");
    } else if (entry.kind == QLatin1String("bmp")) {
        return image(name, "BMP");
    }
    return text.toUtf8();
}

bool setTimes(const QString& path, const QDateTime& modified, const QDateTime& accessed)
{
    timespec times[2];
    times[0].tv_sec = accessed.toSecsSinceEpoch();
    times[0].tv_nsec = 0;
    times[1].tv_sec = modified.toSecsSinceEpoch();
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_samples <manifest> <Samples folder>\n");
        return 2;
    }
    QString error;
    const QList<SampleEntry> entries = readSampleManifest(QFile::decodeName(argv[1]), &error);
    if (entries.isEmpty()) {
        std::fprintf(stderr, "make_samples: %s: %s\n", argv[1], qPrintable(error.isEmpty() ? "no entries" : error));
        return 1;
    }
    const QDir samples(QFile::decodeName(argv[2]));
    const QDate buildDay = QDate::currentDate();

    // The top folders are rebuilt from scratch, so files dropped from the
    // manifest do not linger from an earlier build.
    QSet<QString> topFolders;
    for (const SampleEntry& entry : entries)
        topFolders << entry.path.section(QLatin1Char('/'), 0, 0);
    for (const QString& folder : topFolders)
        QDir(samples.filePath(folder)).removeRecursively();

    for (const SampleEntry& entry : entries) {
        const QString path = samples.filePath(entry.path);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        const QByteArray bytes = content(entry, buildDay);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "make_samples: cannot write %s\n", qPrintable(path));
            return 1;
        }
        file.close();
        if (!setTimes(path, entry.modifiedOn(buildDay), entry.accessedOn(buildDay))) {
            std::perror(qPrintable(path));
            return 1;
        }
    }
    return 0;
}
