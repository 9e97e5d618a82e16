#pragma once
// Shell-style patterns for names and for paths below a listed folder.
//
// A name pattern knows `*` (any run of characters), `?` (one character),
// `[abc]`, `[a-z]` and `[!a-z]` or `[^a-z]` (one character of a set, or not of
// it), and `\` before a character that stands for itself. A path pattern is
// name patterns joined by "/", matched part by part against a path's folder
// names, and a part that is exactly `**` stands for any number of folders,
// none included. Characters are UTF-8 code points; a byte that is not part of
// valid UTF-8 is one character of its own, matched only by `*`, `?` and
// negated sets.
//
// Without letter case, the pattern and the name are compared in their
// case-folded forms (Unicode's simple folding, as QString::toCaseFolded).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <string>
#include <vector>

enum class LetterCase { Sensitive, Ignored };

/** One compiled name pattern. */
class NamePattern {
public:
    /**
     * `pattern` compiled; std::nullopt with `error` set to what is wrong with
     * it (an unclosed "[", a "\" at the end, an empty pattern, a backwards range).
     */
    static std::optional<NamePattern> compile(const QString& pattern, LetterCase letterCase, QString& error);

    /** Whether the name `name` (its bytes, no "/") matches. */
    bool matches(QByteArrayView name) const;

private:
    struct Token {
        enum Kind : quint8 { Literal, AnyCharacter, AnyRun, Set };
        explicit Token(Kind kind = AnyRun)
            : kind(kind)
        {
        }
        Kind kind;
        bool negated = false;
        /** Literal: the bytes. */
        std::string bytes;
        /** Set: inclusive ranges of code points. */
        std::vector<std::pair<char32_t, char32_t>> ranges;
    };

    bool matchesFolded(QByteArrayView name) const;
    bool inSet(const Token& token, char32_t character) const;

    std::vector<Token> m_tokens;
    LetterCase m_letterCase = LetterCase::Sensitive;
    // A pattern of literals and `*` only, the usual "*.log", is matched
    // without the general loop: its literal prefix and suffix.
    bool m_prefixSuffixOnly = false;
};

/** One compiled path pattern: name patterns joined by "/", with `**` parts. */
class PathPattern {
public:
    /** As NamePattern::compile; "a//b" (an empty part) is an error too. */
    static std::optional<PathPattern> compile(const QString& pattern, LetterCase letterCase, QString& error);

    /** Whether `path` (names joined by "/", no "/" at either end) matches. */
    bool matches(QByteArrayView path) const;

private:
    /** std::nullopt stands for a `**` part. */
    std::vector<std::optional<NamePattern>> m_parts;
};

namespace glob {

/** The code point that starts at `bytes[at]` (an invalid byte stands alone) and where the next one starts. */
char32_t decode(QByteArrayView bytes, qsizetype& at);

/** `name` case-folded into `folded`; ASCII without a round trip through QString. */
void caseFold(QByteArrayView name, std::string& folded);

} // namespace glob
