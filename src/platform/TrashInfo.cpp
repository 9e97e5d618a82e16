#include "platform/TrashInfo.h"

#include "platform/FileSystem.h"
#include "platform/HexDigits.h"

#include <climits>

namespace platform {

namespace {

bool isKeptInPath(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~' || c == '/';
}

// The extension starts at the last dot, unless that dot begins the name
// (".profile" has none) or ends it.
qsizetype extensionStart(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || dot == name.size() - 1)
        return name.size();
    return dot;
}

// Cuts `stem` to at most `limit` bytes without splitting a UTF-8 sequence.
QByteArray cutStem(const QByteArray& stem, qsizetype limit)
{
    if (stem.size() <= limit)
        return stem;
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80)
        --end;
    return stem.left(end);
}

} // namespace

QByteArray percentEncodePath(const QByteArray& bytes)
{
    QByteArray text;
    text.reserve(bytes.size() + bytes.size() / 4);
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (isKeptInPath(c)) {
            text.append(byte);
        } else {
            text.append('%');
            text.append(kHexDigits[c >> 4]);
            text.append(kHexDigits[c & 0xF]);
        }
    }
    return text;
}

QByteArray percentDecodePath(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%' && i + 2 < text.size();
        const int high = escape ? hexValue(uchar(text[i + 1])) : -1;
        const int low = high >= 0 ? hexValue(uchar(text[i + 2])) : -1;
        if (low >= 0) {
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(text[i]);
        }
    }
    return bytes;
}

QByteArray trashDeletionDate(std::time_t moment)
{
    std::tm local{};
    localtime_r(&moment, &local);
    char text[32];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return QByteArray(text, qsizetype(length));
}

QByteArray trashInfoText(const QByteArray& pathField, const QByteArray& deletionDate)
{
    return "[Trash Info]\nPath=" + pathField + "\nDeletionDate=" + deletionDate + '\n';
}

QByteArray trashCandidateName(const QByteArray& name, int attempt)
{
    QByteArray stem = name;
    QByteArray extension;
    QByteArray marker;
    if (attempt > 0) {
        const qsizetype start = extensionStart(name);
        stem = name.left(start);
        extension = name.mid(start);
        marker = '.' + (attempt < kLastNumberedName ? QByteArray::number(attempt + 1) : randomName(8));
    }
    // The record is "<name>.trashinfo", and both must fit in one component.
    const qsizetype room = NAME_MAX - qsizetype(sizeof kTrashInfoSuffix - 1) - marker.size() - extension.size();
    if (room < 1) {
        // An absurdly long extension: keep what fits of the whole name instead.
        return cutStem(name, NAME_MAX - qsizetype(sizeof kTrashInfoSuffix - 1) - marker.size()) + marker;
    }
    return cutStem(stem, room) + marker + extension;
}

} // namespace platform
