// Draws the application icon's PNG sizes from its SVG, in the folder layout of
// an icon theme: <folder>/<N>x<N>/apps/<name>.png for every size N given.
// With --ico it also writes them all into one Windows icon file, each size
// as a PNG image (as Windows reads icons since Vista), for the programs'
// resources and the installer.
//
//   make_icons <icon.svg> <folder> <name> <size>... [--ico <file.ico>]

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstring>

namespace {

void appendLittleEndian(QByteArray& bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

/** A Windows .ico holding `pngs` (size and PNG bytes, sizes up to 256). */
QByteArray iconFile(const QList<QPair<int, QByteArray>>& pngs)
{
    QByteArray header;
    appendLittleEndian(header, 0, 2); // reserved
    appendLittleEndian(header, 1, 2); // an icon, not a cursor
    appendLittleEndian(header, quint32(pngs.size()), 2);
    quint32 offset = quint32(6 + 16 * pngs.size());
    QByteArray images;
    for (const auto& [size, png] : pngs) {
        // 0 stands for 256 in the one-byte width and height.
        header.append(char(size >= 256 ? 0 : size));
        header.append(char(size >= 256 ? 0 : size));
        header.append(char(0)); // no palette
        header.append(char(0));
        appendLittleEndian(header, 1, 2);  // planes
        appendLittleEndian(header, 32, 2); // bits per pixel
        appendLittleEndian(header, quint32(png.size()), 4);
        appendLittleEndian(header, offset, 4);
        offset += quint32(png.size());
        images += png;
    }
    return header + images;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: make_icons <icon.svg> <folder> <name> <size>...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "make_icons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    QString icoFile;
    if (argc >= 7 && std::strcmp(argv[argc - 2], "--ico") == 0) {
        icoFile = QString::fromLocal8Bit(argv[argc - 1]);
        argc -= 2;
    }
    QList<QPair<int, QByteArray>> pngs;
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "make_icons: not a size: %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString sizeFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = sizeFolder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(sizeFolder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
        if (size <= 256) {
            QFile written(file);
            if (!written.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "make_icons: cannot read %s\n", qPrintable(file));
                return 1;
            }
            pngs.append({size, written.readAll()});
        }
    }
    if (!icoFile.isEmpty()) {
        QFile ico(icoFile);
        const QByteArray bytes = iconFile(pngs);
        if (!ico.open(QIODevice::WriteOnly | QIODevice::Truncate) || ico.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(icoFile));
            return 1;
        }
    }
    return 0;
}
