// The settings file is read and written by QSettings (which locks the file,
// merges another copy's writes and replaces the file in one step), in an INI
// format of our own: QSettings' own INI reader takes an unquoted value with a
// comma for a list, drops what follows a ";" and undoes backslashes, so a
// hand-written "LastFolderDot=/data/a,b" would read as nothing useful.
//
// The format, as readIni() and writeIni() below keep it:
//   - "[Section]" starts a section; "key=value" lines belong to it; lines
//     starting with ";" or "#" are comments. Blanks around the key and the
//     value are dropped.
//   - Section and key names use QSettings' escapes ("%20" for a space, "%U"
//     and four hex digits beyond Latin-1), so files written before read the
//     same; a section written by hand with a plain space is found too.
//   - A value is the text as written. Only a value wholly enclosed in double
//     quotes is unquoted, with the escapes \" \\ \t \n \r \a \b \f \v, \x and
//     up to four hex digits, and \ with octal digits undone; a value holding
//     blanks at either end, a control character or a leading quote is
//     written that way, everything else as it is.

#include "platform/SettingsStore.h"

#include "platform/HexDigits.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {

bool isAsciiLetterOrDigit(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isAsciiControl(char16_t c)
{
    return c < 0x20 || c == 0x7f;
}

/** A section or key name as QSettings escapes it: "/" as "\", other signs as %XX or %UXXXX. */
QString escapedName(const QString& name)
{
    QString out;
    for (const QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c == '/') {
            out += QLatin1Char('\\');
        } else if (isAsciiLetterOrDigit(c) || c == '_' || c == '-' || c == '.') {
            out += qc;
        } else if (c <= 0xff) {
            out += QLatin1Char('%');
            out += QLatin1Char(kHexDigits[c / 16]);
            out += QLatin1Char(kHexDigits[c % 16]);
        } else {
            out += QStringLiteral("%U");
            for (int shift = 12; shift >= 0; shift -= 4)
                out += QLatin1Char(kHexDigits[(c >> shift) & 0xf]);
        }
    }
    return out;
}

/** The name behind QSettings' escapes; text that is no escape stays as written. */
QString unescapedName(QStringView text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            out += QLatin1Char('/');
            continue;
        }
        if (c == QLatin1Char('%')) {
            const bool wide = i + 1 < text.size() && text[i + 1] == QLatin1Char('U');
            const qsizetype first = i + (wide ? 2 : 1);
            const int digits = wide ? 4 : 2;
            int value = 0;
            bool ok = first + digits <= text.size();
            for (int d = 0; ok && d < digits; ++d) {
                const int digit = hexValue(text[first + d].unicode());
                ok = digit >= 0;
                value = value * 16 + digit;
            }
            if (ok) {
                out += QChar(char16_t(value));
                i = first + digits - 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

/** True when `value` is one quoted text: it opens and closes with a quote and holds no unescaped quote. */
bool isWhollyQuoted(QStringView value)
{
    if (value.size() < 2 || value.front() != QLatin1Char('"') || value.back() != QLatin1Char('"'))
        return false;
    const qsizetype close = value.size() - 1;
    for (qsizetype i = 1; i < close; ++i) {
        if (value[i] == QLatin1Char('"'))
            return false;
        if (value[i] == QLatin1Char('\\') && ++i >= close)
            return false; // the closing quote is escaped
    }
    return true;
}

/** The text inside a wholly quoted value, its escapes undone. */
QString unquoted(QStringView value)
{
    const QStringView inside = value.mid(1, value.size() - 2);
    QString out;
    for (qsizetype i = 0; i < inside.size(); ++i) {
        const QChar c = inside[i];
        if (c != QLatin1Char('\\') || i + 1 >= inside.size()) {
            out += c;
            continue;
        }
        const QChar next = inside[++i];
        switch (next.unicode()) {
        case 'a': out += QLatin1Char('\a'); break;
        case 'b': out += QLatin1Char('\b'); break;
        case 'f': out += QLatin1Char('\f'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'v': out += QLatin1Char('\v'); break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 4 && i + 1 < inside.size() && hexValue(inside[i + 1].unicode()) >= 0) {
                value = value * 16 + hexValue(inside[++i].unicode());
                ++digits;
            }
            if (digits == 0)
                out += QStringLiteral("\\x");
            else
                out += QChar(char16_t(value));
            break;
        }
        default:
            if (next >= QLatin1Char('0') && next <= QLatin1Char('7')) {
                int value = next.unicode() - '0';
                while (i + 1 < inside.size() && inside[i + 1] >= QLatin1Char('0') && inside[i + 1] <= QLatin1Char('7')
                       && value < 0x1000)
                    value = value * 8 + (inside[++i].unicode() - '0');
                out += QChar(char16_t(value));
            } else {
                // \" and \\ give the sign itself.
                out += next;
            }
        }
    }
    return out;
}

/** A value as it is written: as it is, unless reading it back as written would change it. */
QString writtenValue(const QString& value)
{
    bool quote = !value.isEmpty()
        && (value.front().isSpace() || value.back().isSpace() || value.front() == QLatin1Char('"'));
    for (qsizetype i = 0; !quote && i < value.size(); ++i)
        quote = isAsciiControl(value[i].unicode());
    if (!quote)
        return value;

    QString out = QStringLiteral("\"");
    for (const QChar qc : value) {
        const char16_t c = qc.unicode();
        switch (c) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default:
            if (isAsciiControl(c)) {
                out += QStringLiteral("\\x");
                for (int shift = 12; shift >= 0; shift -= 4)
                    out += QLatin1Char(kHexDigits[(c >> shift) & 0xf]);
            } else {
                out += qc;
            }
        }
    }
    out += QLatin1Char('"');
    return out;
}

bool readIni(QIODevice& device, QSettings::SettingsMap& map)
{
    QByteArray bytes = device.readAll();
    if (bytes.startsWith("\xef\xbb\xbf"))
        bytes.remove(0, 3);
    const QString text = QString::fromUtf8(bytes);
    QString prefix;
    bool wellFormed = true;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.front() == QLatin1Char(';') || line.front() == QLatin1Char('#'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0) {
                wellFormed = false;
                close = line.size();
            }
            const QString section = unescapedName(line.mid(1, close - 1).trimmed());
            prefix = section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
                ? QString()
                : section + QLatin1Char('/');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            wellFormed = false;
            continue;
        }
        const QStringView value = line.mid(equals + 1).trimmed();
        map.insert(prefix + unescapedName(line.left(equals).trimmed()),
                   isWhollyQuoted(value) ? unquoted(value) : value.toString());
    }
    return wellFormed;
}

bool writeIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    // Keys outside any section first, under [General], then each section in turn.
    QMap<QString, QStringList> sections;
    for (auto entry = map.constBegin(); entry != map.constEnd(); ++entry) {
        const qsizetype slash = entry.key().indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : entry.key().left(slash);
        const QString key = slash < 0 ? entry.key() : entry.key().mid(slash + 1);
        sections[section] << escapedName(key) + QLatin1Char('=') + writtenValue(entry.value().toString());
    }
    QString text;
    for (auto section = sections.constBegin(); section != sections.constEnd(); ++section) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QLatin1Char('[') + (section.key().isEmpty() ? QStringLiteral("General") : escapedName(section.key()))
            + QStringLiteral("]\n");
        for (const QString& line : section.value())
            text += line + QLatin1Char('\n');
    }
    const QByteArray bytes = text.toUtf8();
    return device.write(bytes) == bytes.size();
}

QSettings::Format iniFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("ini"), readIni, writeIni,
                                                                      Qt::CaseSensitive);
    return format;
}

} // namespace

QString SettingsStore::applicationName()
{
    return QStringLiteral("Brindlewick");
}

QString SettingsStore::sectionName()
{
    return QStringLiteral("Chronopurge Software");
}

QString SettingsStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + applicationName() + QLatin1Char('/') + applicationName()
        + QStringLiteral(".ini");
}

SettingsStore::SettingsStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    QSettings settings(m_filePath, iniFormat());
    // sync() picks up what another running copy wrote since this process last looked.
    settings.sync();
    settings.beginGroup(sectionName());
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& key, const QString& value)
{
    QSettings settings(m_filePath, iniFormat());
    settings.sync();
    settings.beginGroup(sectionName());
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

} // namespace platform
