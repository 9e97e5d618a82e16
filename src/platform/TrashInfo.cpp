#include "platform/TrashInfo.h"

#include "platform/FileSystem.h"

#include <climits>

namespace platform {

namespace {

bool isKeptInPath(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~' || c == '/';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
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
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(bytes.size() + bytes.size() / 4);
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (isKeptInPath(c)) {
            text.append(byte);
        } else {
            text.append('%');
            text.append(digits[c >> 4]);
            text.append(digits[c & 0xF]);
        }
    }
    return text;
}

QByteArray percentDecodePath(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            bytes.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
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
