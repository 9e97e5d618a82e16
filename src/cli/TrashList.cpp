#include "cli/TrashList.h"

#include "cli/CliSystem.h"
#include "cli/RecordPrinter.h"

#include <QDate>

#include <limits>
#include <map>
#include <string>

namespace cli {

namespace {

// Objects and arrays in fields the list does not use may nest this deep.
constexpr int kDeepestNesting = 16;

struct JsonValue {
    enum class Kind { String, Number, Null, Other };
    Kind kind = Kind::Other;
    /** A string's UTF-8 bytes, or a number's text. */
    QByteArray text;
};

// One line of JSON: an object whose values are read as far as the list
// needs them. Every reading function returns false with m_error set.
class JsonLine {
public:
    explicit JsonLine(QByteArrayView text)
        : m_text(text)
    {
    }

    bool readObject(std::map<std::string, JsonValue>& fields)
    {
        skipSpace();
        if (!take('{'))
            return fail(QStringLiteral("it is not a JSON object"));
        skipSpace();
        if (!take('}')) {
            for (;;) {
                skipSpace();
                QByteArray name;
                if (peek() != '"' || !readString(name))
                    return fail(m_error.isEmpty() ? QStringLiteral("a field name is not a JSON string") : m_error);
                skipSpace();
                if (!take(':'))
                    return fail(QStringLiteral("a \":\" is missing after \"%1\"").arg(QString::fromUtf8(name)));
                skipSpace();
                JsonValue value;
                if (!readValue(value, 1))
                    return false;
                if (!fields.emplace(name.toStdString(), std::move(value)).second)
                    return fail(QStringLiteral("\"%1\" is given twice").arg(QString::fromUtf8(name)));
                skipSpace();
                if (take('}'))
                    break;
                if (!take(','))
                    return fail(QStringLiteral("it is not valid JSON (a \",\" or \"}\" is missing)"));
            }
        }
        skipSpace();
        if (m_at != m_text.size())
            return fail(QStringLiteral("there is more after the JSON object"));
        return true;
    }

    const QString& error() const { return m_error; }

private:
    char peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }
    bool take(char c)
    {
        if (peek() != c)
            return false;
        ++m_at;
        return true;
    }
    void skipSpace()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r' || m_text[m_at] == '\n'))
            ++m_at;
    }
    bool fail(const QString& error)
    {
        m_error = error;
        return false;
    }
    bool invalid() { return fail(QStringLiteral("it is not valid JSON")); }

    static void appendUtf8(QByteArray& out, char32_t c)
    {
        if (c < 0x80) {
            out.append(char(c));
        } else if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
            out.append(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        } else {
            out.append(char(0xF0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3F)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        }
    }

    bool readHex4(char32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0)
                return false;
            value = value << 4 | char32_t(digit);
            ++m_at;
        }
        return true;
    }

    bool readString(QByteArray& out)
    {
        if (!take('"'))
            return invalid();
        for (;;) {
            if (m_at >= m_text.size())
                return fail(QStringLiteral("a JSON string is not closed"));
            const auto c = static_cast<unsigned char>(m_text[m_at]);
            if (c == '"') {
                ++m_at;
                break;
            }
            if (c < 0x20)
                return fail(QStringLiteral("a JSON string holds a control character"));
            if (c != '\\') {
                out.append(char(c));
                ++m_at;
                continue;
            }
            ++m_at;
            const char escape = peek();
            ++m_at;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out.append(escape);
                break;
            case 'b':
                out.append('\b');
                break;
            case 'f':
                out.append('\f');
                break;
            case 'n':
                out.append('\n');
                break;
            case 'r':
                out.append('\r');
                break;
            case 't':
                out.append('\t');
                break;
            case 'u': {
                char32_t value = 0;
                if (!readHex4(value))
                    return invalid();
                if (value >= 0xD800 && value <= 0xDBFF) {
                    char32_t low = 0;
                    if (!take('\\') || !take('u') || !readHex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return fail(QStringLiteral("a JSON string holds half of a surrogate pair"));
                    value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
                } else if (value >= 0xDC00 && value <= 0xDFFF) {
                    return fail(QStringLiteral("a JSON string holds half of a surrogate pair"));
                }
                appendUtf8(out, value);
                break;
            }
            default:
                return invalid();
            }
        }
        // Escapes give valid UTF-8 only, so a stray byte came as it is.
        if (!isUtf8(out))
            return fail(QStringLiteral("a JSON string is not valid UTF-8"));
        return true;
    }

    bool readNumber(QByteArray& text)
    {
        const qsizetype start = m_at;
        take('-');
        const auto digits = [&] {
            const qsizetype first = m_at;
            while (peek() >= '0' && peek() <= '9')
                ++m_at;
            return m_at > first;
        };
        if (take('0')) {
        } else if (!digits()) {
            return invalid();
        }
        if (take('.') && !digits())
            return invalid();
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return invalid();
        }
        text = m_text.sliced(start, m_at - start).toByteArray();
        return true;
    }

    bool readValue(JsonValue& value, int depth)
    {
        if (depth > kDeepestNesting)
            return fail(QStringLiteral("it nests objects too deep"));
        const char c = peek();
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return readString(value.text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = JsonValue::Kind::Number;
            return readNumber(value.text);
        }
        for (const char* word : {"null", "true", "false"}) {
            const QByteArrayView literal(word);
            if (m_text.sliced(m_at).startsWith(literal)) {
                m_at += literal.size();
                value.kind = literal == "null" ? JsonValue::Kind::Null : JsonValue::Kind::Other;
                return true;
            }
        }
        const char close = c == '{' ? '}' : c == '[' ? ']' : '\0';
        if (close == '\0')
            return invalid();
        ++m_at;
        value.kind = JsonValue::Kind::Other;
        skipSpace();
        if (take(close))
            return true;
        for (;;) {
            skipSpace();
            if (close == '}') {
                QByteArray name;
                if (!readString(name))
                    return false;
                skipSpace();
                if (!take(':'))
                    return invalid();
                skipSpace();
            }
            JsonValue inner;
            if (!readValue(inner, depth + 1))
                return false;
            skipSpace();
            if (take(close))
                return true;
            if (!take(','))
                return invalid();
        }
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
    QString m_error;
};

std::optional<quint64> wholeNumber(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const quint64 digit = quint64(c - '0');
        if (value > (std::numeric_limits<quint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

std::optional<FileTime> parseIsoTime(QByteArrayView text)
{
    const auto number = [&](qsizetype at, int length, int& value) {
        if (at + length > text.size())
            return false;
        value = 0;
        for (int i = 0; i < length; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || !number(0, 4, year) || text[4] != '-' || !number(5, 2, month) || text[7] != '-'
        || !number(8, 2, day) || text[10] != 'T' || !number(11, 2, hour) || text[13] != ':' || !number(14, 2, minute)
        || text[16] != ':' || !number(17, 2, second))
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    qsizetype at = 19;
    quint32 nanoseconds = 0;
    if (text[at] == '.') {
        ++at;
        int digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            if (++digits > 9)
                return std::nullopt;
            nanoseconds = nanoseconds * 10 + quint32(text[at] - '0');
            ++at;
        }
        if (digits == 0)
            return std::nullopt;
        for (; digits < 9; ++digits)
            nanoseconds *= 10;
    }
    qint64 offset = 0;
    if (at < text.size() && text[at] == 'Z' && at + 1 == text.size()) {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at] == '-' ? -1 : 1;
        int hours = 0, minutes = 0, seconds = 0;
        if (!number(at + 1, 2, hours) || at + 3 >= text.size() || text[at + 3] != ':' || !number(at + 4, 2, minutes))
            return std::nullopt;
        at += 6;
        if (at < text.size()) {
            if (text[at] != ':' || !number(at + 1, 2, seconds))
                return std::nullopt;
            at += 3;
        }
        if (hours > 23 || minutes > 59 || seconds > 59)
            return std::nullopt;
        offset = sign * (qint64(hours) * 3600 + minutes * 60 + seconds);
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return FileTime{days * 86400 + hour * 3600 + minute * 60 + second - offset, nanoseconds};
}

std::variant<ListedRecord, QString> parseListLine(QByteArrayView line)
{
    std::map<std::string, JsonValue> fields;
    JsonLine json(line);
    if (!json.readObject(fields))
        return json.error();
    const auto field = [&](const char* name) -> const JsonValue* {
        const auto found = fields.find(name);
        return found == fields.end() ? nullptr : &found->second;
    };
    const auto missing = [](const char* name) { return QStringLiteral("\"%1\" is missing").arg(QLatin1String(name)); };

    ListedRecord record;
    if (const JsonValue* bytes = field("path_bytes")) {
        std::optional<QByteArray> decoded;
        if (bytes->kind == JsonValue::Kind::String)
            decoded = percentDecoded(bytes->text);
        if (!decoded)
            return QStringLiteral("\"path_bytes\" is not a percent-encoded path");
        record.path = *decoded;
    } else if (const JsonValue* path = field("path")) {
        if (path->kind != JsonValue::Kind::String)
            return QStringLiteral("\"path\" is not a string");
        record.path = path->text;
    } else {
        return missing("path");
    }
    if (!isAbsoluteFilePath(record.path) || record.path.contains('\0'))
        return QStringLiteral("the path is not the absolute path of a file");

    const struct {
        const char* name;
        quint64* value;
    } numbers[] = {{"device", &record.device}, {"inode", &record.inode}};
    for (const auto& [name, value] : numbers) {
        const JsonValue* number = field(name);
        if (!number)
            return missing(name);
        const std::optional<quint64> whole = number->kind == JsonValue::Kind::Number ? wholeNumber(number->text) : std::nullopt;
        if (!whole)
            return QStringLiteral("\"%1\" is not a whole number").arg(QLatin1String(name));
        *value = *whole;
    }
    const JsonValue* size = field("size");
    if (!size)
        return missing("size");
    const std::optional<quint64> bytes = size->kind == JsonValue::Kind::Number ? wholeNumber(size->text) : std::nullopt;
    if (!bytes || *bytes > quint64(std::numeric_limits<qint64>::max()))
        return QStringLiteral("\"size\" is not a number of bytes");
    record.size = qint64(*bytes);

    const JsonValue* modified = field("modified");
    if (!modified)
        return missing("modified");
    if (modified->kind != JsonValue::Kind::Null) {
        if (modified->kind == JsonValue::Kind::String)
            record.modified = parseIsoTime(modified->text);
        if (!record.modified)
            return QStringLiteral("\"modified\" is not a date in ISO 8601 (YYYY-MM-DDTHH:MM:SS+HH:MM)");
    }
    return record;
}

std::variant<std::vector<ListedRecord>, ListError> readTrashList(QIODevice& input)
{
    std::vector<ListedRecord> records;
    for (qint64 number = 1;; ++number) {
        // At most kMaxListLine bytes and the line feed; a line without its
        // line feed is either the last one or too long.
        QByteArray line = input.readLine(kMaxListLine + 2);
        if (line.isEmpty())
            break;
        if (line.endsWith('\n'))
            line.chop(1);
        else if (line.size() > kMaxListLine)
            return ListError{number, QStringLiteral("the line is longer than %1 bytes").arg(kMaxListLine)};
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        auto parsed = parseListLine(line);
        if (const QString* problem = std::get_if<QString>(&parsed))
            return ListError{number, *problem};
        ListedRecord& record = std::get<ListedRecord>(parsed);
        record.line = number;
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace cli
