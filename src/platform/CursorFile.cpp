#include "platform/CursorFile.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace platform {

std::optional<QCursor> loadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // ICONDIR (6 bytes) then the first ICONDIRENTRY (16 bytes); in a cursor
    // file the entry's planes and bit-count fields hold the hot spot.
    const QByteArray header = file.read(22);
    if (header.size() < 22)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const quint16 reserved = qFromLittleEndian<quint16>(bytes);
    const quint16 type = qFromLittleEndian<quint16>(bytes + 2);
    const quint16 count = qFromLittleEndian<quint16>(bytes + 4);
    if (reserved != 0 || type != 2 || count == 0)
        return std::nullopt;
    const int hotX = qFromLittleEndian<quint16>(bytes + 6 + 4);
    const int hotY = qFromLittleEndian<quint16>(bytes + 6 + 6);
    file.seek(0);

    QImageReader reader(&file, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace platform
