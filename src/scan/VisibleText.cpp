#include "scan/VisibleText.h"

#include "platform/Utf8.h"

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

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
    return kReplacement;
}

// The sign that replaces the UTF-16 unit at `i`, or 0 when it stays: a
// control character, or a surrogate that is not half of a pair (a path's
// stand-in for a byte that is not UTF-8, or a Windows name's lone half).
char16_t signAt(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (isControl(c))
        return signOf(c);
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 0 : kReplacement;
    if (QChar::isLowSurrogate(c))
        return i > 0 && text[i - 1].isHighSurrogate() ? 0 : kReplacement;
    return 0;
}

// What appendVisibleUtf8 does with the character at `i`: its sign and the
// bytes it replaces, or no sign and the length of a character that stays.
struct Step {
    char16_t sign;
    size_t width;
};

Step stepAt(const unsigned char* data, size_t i, size_t length)
{
    const unsigned char byte = data[i];
    if (byte < 32 || byte == 127)
        return {signOf(byte), 1};
    if (byte < 0x80)
        return {0, 1};
    const int character = platform::utf8CharacterLength(reinterpret_cast<const char*>(data) + i, length - i);
    if (character == 0)
        return {kReplacement, 1};
    // U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F in UTF-8.
    if (byte == 0xC2 && data[i + 1] <= 0x9F)
        return {kReplacement, 2};
    return {0, size_t(character)};
}

} // namespace

bool hasControlCharacters(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (signAt(text, i) != 0)
            return true;
    }
    return false;
}

QString visibleText(const QString& text)
{
    if (!hasControlCharacters(text))
        return text;
    QString shown = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const char16_t sign = signAt(text, i))
            shown[i] = QChar(sign);
    }
    return shown;
}

void appendVisibleUtf8(QByteArray& out, const char* bytes, size_t length)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    size_t start = 0;
    for (size_t i = 0; i < length;) {
        if (data[i] >= 32 && data[i] < 127) {
            ++i;
            continue;
        }
        const Step step = stepAt(data, i, length);
        if (step.sign == 0) {
            i += step.width;
            continue;
        }
        out.append(bytes + start, qsizetype(i - start));
        const char16_t sign = step.sign;
        const char encoded[3] = {char(0xE0 | (sign >> 12)), char(0x80 | ((sign >> 6) & 0x3F)),
                                 char(0x80 | (sign & 0x3F))};
        out.append(encoded, 3);
        i += step.width;
        start = i;
    }
    out.append(bytes + start, qsizetype(length - start));
}
