#include "filter/Glob.h"

#include <QStringList>

namespace glob {

char32_t decode(QByteArrayView bytes, qsizetype& at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    const auto alone = [&] {
        ++at;
        // Stands for the byte itself, apart from every real code point.
        return char32_t(0xDC00 + lead);
    };
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return alone();
    }
    if (at + length > bytes.size())
        return alone();
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return alone();
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return alone();
    at += length;
    return value;
}

void caseFold(QByteArrayView name, std::string& folded)
{
    folded.resize(size_t(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            folded = QString::fromUtf8(name).toCaseFolded().toStdString();
            return;
        }
        folded[size_t(i)] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
}

} // namespace glob

std::optional<NamePattern> NamePattern::compile(const QString& text, LetterCase letterCase, QString& error)
{
    const QByteArray bytes = (letterCase == LetterCase::Ignored ? text.toCaseFolded() : text).toUtf8();
    if (bytes.isEmpty()) {
        error = QStringLiteral("the pattern is empty");
        return std::nullopt;
    }
    NamePattern pattern;
    pattern.m_letterCase = letterCase;
    std::string literal;
    const auto flush = [&] {
        if (literal.empty())
            return;
        Token token(Token::Literal);
        token.bytes = std::move(literal);
        literal.clear();
        pattern.m_tokens.push_back(std::move(token));
    };
    // One character of the pattern, escaped or not, as its bytes and code point.
    const auto character = [&](qsizetype& at, char32_t& value) {
        if (bytes[at] == '\\') {
            if (++at >= bytes.size()) {
                error = QStringLiteral("it ends with a \"\\\"");
                return false;
            }
        }
        value = glob::decode(bytes, at);
        return true;
    };

    for (qsizetype at = 0; at < bytes.size();) {
        const char c = bytes[at];
        if (c == '*') {
            flush();
            if (pattern.m_tokens.empty() || pattern.m_tokens.back().kind != Token::AnyRun)
                pattern.m_tokens.push_back(Token(Token::AnyRun));
            ++at;
        } else if (c == '?') {
            flush();
            pattern.m_tokens.push_back(Token(Token::AnyCharacter));
            ++at;
        } else if (c == '[') {
            flush();
            Token set(Token::Set);
            qsizetype i = at + 1;
            if (i < bytes.size() && (bytes[i] == '!' || bytes[i] == '^')) {
                set.negated = true;
                ++i;
            }
            // A "]" right after the opening (or its "!") is one of the set.
            bool closed = false;
            for (bool first = true; i < bytes.size(); first = false) {
                if (bytes[i] == ']' && !first) {
                    closed = true;
                    ++i;
                    break;
                }
                char32_t low = 0;
                if (!character(i, low))
                    return std::nullopt;
                char32_t high = low;
                if (i + 1 < bytes.size() && bytes[i] == '-' && bytes[i + 1] != ']') {
                    ++i;
                    if (!character(i, high))
                        return std::nullopt;
                    if (high < low) {
                        error = QStringLiteral("a range of \"[...]\" runs backwards");
                        return std::nullopt;
                    }
                }
                set.ranges.emplace_back(low, high);
            }
            if (!closed) {
                error = QStringLiteral("a \"[\" is not closed by \"]\"");
                return std::nullopt;
            }
            pattern.m_tokens.push_back(std::move(set));
            at = i;
        } else {
            const qsizetype start = at + (c == '\\' ? 1 : 0);
            char32_t value = 0;
            if (!character(at, value))
                return std::nullopt;
            literal.append(bytes.constData() + start, size_t(at - start));
        }
    }
    flush();

    int runs = 0;
    bool fixedOnly = true;
    for (const Token& token : pattern.m_tokens) {
        runs += token.kind == Token::AnyRun;
        fixedOnly = fixedOnly && (token.kind == Token::Literal || token.kind == Token::AnyRun);
    }
    pattern.m_prefixSuffixOnly = fixedOnly && runs <= 1;
    return pattern;
}

bool NamePattern::matches(QByteArrayView name) const
{
    if (m_letterCase == LetterCase::Sensitive)
        return matchesFolded(name);
    thread_local std::string folded;
    glob::caseFold(name, folded);
    return matchesFolded(QByteArrayView(folded.data(), qsizetype(folded.size())));
}

bool NamePattern::inSet(const Token& token, char32_t character) const
{
    bool found = false;
    for (const auto& [low, high] : token.ranges) {
        if (character >= low && character <= high) {
            found = true;
            break;
        }
    }
    return found != token.negated;
}

bool NamePattern::matchesFolded(QByteArrayView name) const
{
    if (m_prefixSuffixOnly) {
        // Literal, "*", "literal*", "*literal" or "literal*literal".
        const auto bytesOf = [](const Token& token) {
            return QByteArrayView(token.bytes.data(), qsizetype(token.bytes.size()));
        };
        QByteArrayView prefix;
        QByteArrayView suffix;
        bool run = false;
        for (const Token& token : m_tokens) {
            if (token.kind == Token::AnyRun)
                run = true;
            else
                (run ? suffix : prefix) = bytesOf(token);
        }
        if (!run)
            return name == prefix;
        return name.size() >= prefix.size() + suffix.size() && name.startsWith(prefix) && name.endsWith(suffix);
    }

    // The usual greedy match with a return to the last "*": each other token
    // matches a fixed number of characters, so trying the last "*" one
    // character longer is all the backtracking needed.
    const size_t tokens = m_tokens.size();
    size_t token = 0;
    qsizetype at = 0;
    size_t runToken = tokens;
    qsizetype runEnd = 0;
    for (;;) {
        if (token < tokens) {
            const Token& current = m_tokens[token];
            if (current.kind == Token::AnyRun) {
                runToken = token++;
                runEnd = at;
                continue;
            }
            if (at < name.size()) {
                qsizetype next = at;
                bool matched = true;
                switch (current.kind) {
                case Token::Literal:
                    matched = name.sliced(at).startsWith(QByteArrayView(current.bytes.data(), qsizetype(current.bytes.size())));
                    next = at + qsizetype(current.bytes.size());
                    break;
                case Token::AnyCharacter:
                    glob::decode(name, next);
                    break;
                case Token::Set:
                    matched = inSet(current, glob::decode(name, next));
                    break;
                case Token::AnyRun:
                    break;
                }
                if (matched) {
                    at = next;
                    ++token;
                    continue;
                }
            }
        } else if (at == name.size()) {
            return true;
        }
        if (runToken == tokens || runEnd >= name.size())
            return false;
        glob::decode(name, runEnd);
        at = runEnd;
        token = runToken + 1;
    }
}

std::optional<PathPattern> PathPattern::compile(const QString& text, LetterCase letterCase, QString& error)
{
    if (text.isEmpty()) {
        error = QStringLiteral("the pattern is empty");
        return std::nullopt;
    }
    PathPattern pattern;
    for (const QString& part : text.split(QLatin1Char('/'))) {
        if (part.isEmpty()) {
            error = QStringLiteral("it has an empty part between two \"/\"");
            return std::nullopt;
        }
        if (part == QLatin1String("**")) {
            if (pattern.m_parts.empty() || pattern.m_parts.back())
                pattern.m_parts.emplace_back(std::nullopt);
            continue;
        }
        std::optional<NamePattern> name = NamePattern::compile(part, letterCase, error);
        if (!name)
            return std::nullopt;
        pattern.m_parts.emplace_back(std::move(name));
    }
    return pattern;
}

bool PathPattern::matches(QByteArrayView path) const
{
    // The same greedy match as for names, part by part, "**" standing for
    // any number of folder names.
    std::vector<QByteArrayView> names;
    for (qsizetype start = 0;;) {
        const qsizetype slash = path.indexOf('/', start);
        names.push_back(path.sliced(start, (slash < 0 ? path.size() : slash) - start));
        if (slash < 0)
            break;
        start = slash + 1;
    }
    const size_t parts = m_parts.size();
    size_t part = 0;
    size_t at = 0;
    size_t anyPart = parts;
    size_t anyEnd = 0;
    for (;;) {
        if (part < parts) {
            if (!m_parts[part]) {
                anyPart = part++;
                anyEnd = at;
                continue;
            }
            if (at < names.size() && m_parts[part]->matches(names[at])) {
                ++part;
                ++at;
                continue;
            }
        } else if (at == names.size()) {
            return true;
        }
        if (anyPart == parts || anyEnd >= names.size())
            return false;
        at = ++anyEnd;
        part = anyPart + 1;
    }
}
