#include "platform/FileSystem.h"

#include "BuildConfig.h"
#include "platform/Utf8.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <random>

namespace platform {

namespace {

// The stand-in of a byte that is not UTF-8: a lone low surrogate from U+DC80
// on (a byte below 0x80 is always a character of its own).
constexpr char16_t kByteStandIn = 0xDC00;

bool isByteStandIn(const char16_t* text, qsizetype i)
{
    return text[i] >= kByteStandIn + 0x80 && text[i] <= kByteStandIn + 0xFF
        && (i == 0 || !QChar::isHighSurrogate(text[i - 1]));
}

// Valid UTF-8 as text. QString::fromUtf8 drops a byte order mark that begins
// its input; in a name it is a character like any other.
void appendValidUtf8(QString& text, const char* bytes, qsizetype length)
{
    while (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        text += QChar(0xFEFF);
        bytes += 3;
        length -= 3;
    }
    if (length > 0)
        text += QString::fromUtf8(bytes, length);
}

} // namespace

QByteArray nativePath(const QString& path)
{
    // UTF-8 on every system, each stand-in back as its byte. The Windows
    // layer turns these bytes into the wide paths its calls take; its names
    // hold no stand-ins, since the listing keeps only valid UTF-16.
    const auto* text = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype size = path.size();
    qsizetype i = 0;
    while (i < size && !isByteStandIn(text, i))
        ++i;
    if (i == size)
        return path.toUtf8();
    QByteArray bytes;
    bytes.reserve(size + size / 2);
    qsizetype start = 0;
    for (; i < size; ++i) {
        if (!isByteStandIn(text, i))
            continue;
        bytes += QStringView(text + start, i - start).toUtf8();
        bytes += char(text[i] - kByteStandIn);
        start = i + 1;
    }
    bytes += QStringView(text + start, size - start).toUtf8();
    return bytes;
}

QString pathFromNative(QByteArrayView bytes)
{
    const char* data = bytes.data();
    const size_t size = size_t(bytes.size());
    QString text;
    if (isValidUtf8(data, size)) {
        appendValidUtf8(text, data, qsizetype(size));
        return text;
    }
    text.reserve(qsizetype(size));
    size_t start = 0;
    for (size_t i = 0; i < size;) {
        if (const int length = utf8CharacterLength(data + i, size - i)) {
            i += size_t(length);
            continue;
        }
        appendValidUtf8(text, data + start, qsizetype(i - start));
        text += QChar(char16_t(kByteStandIn + static_cast<unsigned char>(data[i])));
        start = ++i;
    }
    appendValidUtf8(text, data + start, qsizetype(size - start));
    return text;
}

QByteArray randomName(int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet)) - 2);
    QByteArray name(length, '\0');
    for (char& c : name)
        c = alphabet[pick(generator)];
    return name;
}

QString programFolderFor(const QString& executableFolder, const QString& installedDataFolder)
{
    // Any one of the files the build writes beside the program marks a build tree.
    const QDir beside(executableFolder);
    for (const char* name : {"HAND-M.CUR", "Samples", "translations"}) {
        if (beside.exists(QString::fromLatin1(name)))
            return executableFolder;
    }
    const QString installed = QDir::cleanPath(beside.filePath(installedDataFolder));
    if (QFileInfo(installed).isDir())
        return installed;
    return executableFolder;
}

QString programFolder()
{
    return programFolderFor(QCoreApplication::applicationDirPath(), QString::fromLatin1(kInstalledDataFolder));
}

} // namespace platform
