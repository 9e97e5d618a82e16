#include "cli/RecordPrinter.h"

#include "cli/ConsoleText.h"

#include "filter/Glob.h"
#include "platform/HexDigits.h"
#include "scan/DateText.h"

#include <QDate>

#include <cstdio>

namespace cli {

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

bool isStrayByte(char32_t character)
{
    // How glob::decode gives a byte that is not part of valid UTF-8.
    return character >= 0xDC80 && character <= 0xDCFF;
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~' || c == '/';
}

void appendNumber(QByteArray& out, quint64 value)
{
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
    out.append(digits, length);
}

void appendTwoDigits(QByteArray& out, int value)
{
    out.append(char('0' + value / 10));
    out.append(char('0' + value % 10));
}

} // namespace

bool isUtf8(QByteArrayView bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        if (isStrayByte(glob::decode(bytes, at)))
            return false;
    }
    return true;
}

QByteArray percentEncoded(QByteArrayView bytes)
{
    QByteArray encoded;
    encoded.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (isUnreserved(c)) {
            encoded.append(byte);
        } else {
            encoded.append('%');
            encoded.append(platform::kHexDigits[c >> 4]);
            encoded.append(platform::kHexDigits[c & 0xF]);
        }
    }
    return encoded;
}

std::optional<QByteArray> percentDecoded(QByteArrayView text)
{
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes.append(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0)
            return std::nullopt;
        bytes.append(char(hex(text[i + 1]) << 4 | hex(text[i + 2])));
        i += 2;
    }
    return bytes;
}

void appendJsonString(QByteArray& out, QByteArrayView bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype start = at;
        const char32_t character = glob::decode(bytes, at);
        if (isStrayByte(character)) {
            out.append("\\ufffd");
        } else if (character == '"' || character == '\\') {
            out.append('\\');
            out.append(char(character));
        } else if (character < 0x20 || character == 0x7F) {
            switch (character) {
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                out.append("\\u00");
                out.append(platform::kHexDigits[character >> 4]);
                out.append(platform::kHexDigits[character & 0xF]);
            }
        } else {
            out.append(bytes.data() + start, at - start);
        }
    }
}

void appendCsvField(QByteArray& out, QByteArrayView bytes)
{
    bool quoted = false;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == ',' || c == '"' || c < 0x20 || c == 0x7F) {
            quoted = true;
            break;
        }
    }
    if (quoted)
        out.append('"');
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype start = at;
        const char32_t character = glob::decode(bytes, at);
        if (isStrayByte(character))
            out.append(kReplacementUtf8);
        else if (character == '"')
            out.append("\"\"");
        else
            out.append(bytes.data() + start, at - start);
    }
    if (quoted)
        out.append('"');
}

RecordPrinter::RecordPrinter(OutputFormat format)
    : m_format(format)
{
    m_buffer.reserve(kOutputBlockSize + 64 * 1024);
    if (m_format == OutputFormat::Csv)
        m_buffer.append("path,size,modified,created,accessed,device,inode,path_bytes\r\n");
}

RecordPrinter::~RecordPrinter()
{
    flush();
}

void RecordPrinter::appendTime(const std::optional<FileTime>& time)
{
    const bool json = m_format == OutputFormat::Jsonl;
    if (!time) {
        if (json)
            m_buffer.append("null");
        return;
    }
    const qint64 local = m_times.localSeconds(time->seconds);
    const qint64 day = dayNumberOf(local);
    auto found = m_days.find(day);
    if (found == m_days.end())
        found = m_days.insert(day, QDate(1899, 12, 30).addDays(day).toString(Qt::ISODate).toLatin1());
    const int second = int(local - day * kSecondsPerDay);
    if (json)
        m_buffer.append('"');
    m_buffer.append(*found);
    m_buffer.append('T');
    appendTwoDigits(m_buffer, second / 3600);
    m_buffer.append(':');
    appendTwoDigits(m_buffer, second / 60 % 60);
    m_buffer.append(':');
    appendTwoDigits(m_buffer, second % 60);
    if (time->nanoseconds != 0) {
        char fraction[16];
        int length = std::snprintf(fraction, sizeof fraction, ".%09u", time->nanoseconds);
        while (fraction[length - 1] == '0')
            --length;
        m_buffer.append(fraction, length);
    }
    // The offset, with its seconds where a zone's old local mean time has
    // them. Local seconds count from 1899-12-30, 25569 days before 1970.
    qint64 offset = local - 25569 * kSecondsPerDay - time->seconds;
    m_buffer.append(offset < 0 ? '-' : '+');
    offset = offset < 0 ? -offset : offset;
    appendTwoDigits(m_buffer, int(offset / 3600));
    m_buffer.append(':');
    appendTwoDigits(m_buffer, int(offset / 60 % 60));
    if (offset % 60 != 0) {
        m_buffer.append(':');
        appendTwoDigits(m_buffer, int(offset % 60));
    }
    if (json)
        m_buffer.append('"');
}

void RecordPrinter::print(QByteArrayView path, const FileLook& look)
{
    const bool valid = isUtf8(path);
    if (m_format == OutputFormat::Jsonl) {
        m_buffer.append("{\"path\":\"");
        appendJsonString(m_buffer, path);
        m_buffer.append("\",\"size\":");
        appendNumber(m_buffer, quint64(look.size));
        m_buffer.append(",\"modified\":");
        appendTime(look.modified);
        m_buffer.append(",\"created\":");
        appendTime(look.created);
        m_buffer.append(",\"accessed\":");
        appendTime(look.accessed);
        m_buffer.append(",\"device\":");
        appendNumber(m_buffer, look.device);
        m_buffer.append(",\"inode\":");
        appendNumber(m_buffer, look.inode);
        if (!valid) {
            m_buffer.append(",\"path_bytes\":\"");
            m_buffer.append(percentEncoded(path));
            m_buffer.append('"');
        }
        m_buffer.append("}\n");
    } else {
        appendCsvField(m_buffer, path);
        m_buffer.append(',');
        appendNumber(m_buffer, quint64(look.size));
        for (const std::optional<FileTime>* time : {&look.modified, &look.created, &look.accessed}) {
            m_buffer.append(',');
            appendTime(*time);
        }
        m_buffer.append(',');
        appendNumber(m_buffer, look.device);
        m_buffer.append(',');
        appendNumber(m_buffer, look.inode);
        m_buffer.append(',');
        if (!valid)
            m_buffer.append(percentEncoded(path));
        m_buffer.append("\r\n");
    }
    if (m_buffer.size() >= kOutputBlockSize)
        flush();
}

bool RecordPrinter::flush()
{
    if (!m_buffer.isEmpty() && !writeText(Stream::Output, m_buffer))
        m_failed = true;
    m_buffer.truncate(0);
    if (std::fflush(stdout) != 0)
        m_failed = true;
    return !m_failed;
}

QByteArray RecordPrinter::takeText()
{
    return std::exchange(m_buffer, QByteArray());
}

} // namespace cli
