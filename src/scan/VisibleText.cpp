#include "scan/VisibleText.h"

namespace {

bool isControl(char32_t c)
{
    return c < 32 || (c >= 127 && c <= 159);
}

char16_t signOf(char32_t c)
{
    if (c < 32)
        return char16_t(0x2400 + c);
    if (c == 127)
        return u'\u2421';
    return u'\uFFFD';
}

} // namespace

bool hasControlCharacters(QStringView text)
{
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            return true;
    }
    return false;
}

QString visibleText(const QString& text)
{
    if (!hasControlCharacters(text))
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        if (isControl(c.unicode()))
            c = QChar(signOf(c.unicode()));
    }
    return shown;
}

void appendVisibleUtf8(QByteArray& out, const char* bytes, size_t length)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = data[i];
        // U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F in UTF-8; every other
        // control character is a single byte.
        size_t width = 0;
        char32_t c = 0;
        if (byte < 32 || byte == 127) {
            width = 1;
            c = byte;
        } else if (byte == 0xC2 && i + 1 < length && data[i + 1] >= 0x80 && data[i + 1] <= 0x9F) {
            width = 2;
            c = data[i + 1];
        } else {
            continue;
        }
        out.append(bytes + start, qsizetype(i - start));
        const char16_t sign = signOf(c);
        const char encoded[3] = {char(0xE0 | (sign >> 12)), char(0x80 | ((sign >> 6) & 0x3F)),
                                 char(0x80 | (sign & 0x3F))};
        out.append(encoded, 3);
        i += width - 1;
        start = i + 1;
    }
    out.append(bytes + start, qsizetype(length - start));
}

void showControlCharactersFrom(QByteArray& utf8, qsizetype from)
{
    const auto* data = reinterpret_cast<const unsigned char*>(utf8.constData());
    qsizetype i = from;
    const qsizetype size = utf8.size();
    // Nearly every cell holds none: look before copying anything.
    while (i < size && data[i] >= 32 && data[i] != 127 && !(data[i] == 0xC2 && i + 1 < size && data[i + 1] <= 0x9F))
        ++i;
    if (i == size)
        return;
    QByteArray shown;
    appendVisibleUtf8(shown, utf8.constData() + from, size_t(size - from));
    utf8.truncate(from);
    utf8 += shown;
}
