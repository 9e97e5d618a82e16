#include "cli/RuleFile.h"

#include <QUtf8StringView>

namespace cli {

std::variant<QStringList, QString> splitRuleWords(const QString& line, const QString& home)
{
    QStringList words;
    QString word;
    bool inWord = false;
    const qsizetype length = line.size();
    for (qsizetype i = 0; i < length;) {
        const QChar c = line[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord)
                words << std::exchange(word, QString());
            inWord = false;
            ++i;
            continue;
        }
        if (!inWord) {
            if (c == QLatin1Char('#'))
                break;
            inWord = true;
            // A ~ alone or before a "/" starts with the home folder.
            if (c == QLatin1Char('~')) {
                const bool ends = i + 1 == length || line[i + 1] == QLatin1Char('/') || line[i + 1] == QLatin1Char(' ')
                    || line[i + 1] == QLatin1Char('\t');
                if (!ends)
                    return QStringLiteral("'~' followed by a name is not expanded (write the path)");
                if (home.isEmpty())
                    return QStringLiteral("'~' has no home folder to stand for");
                word += home;
                ++i;
                continue;
            }
        }
        switch (c.unicode()) {
        case '\'': {
            const qsizetype end = line.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return QStringLiteral("a ' is not closed");
            word += line.mid(i + 1, end - i - 1);
            i = end + 1;
            break;
        }
        case '"': {
            qsizetype j = i + 1;
            for (;; ++j) {
                if (j >= length)
                    return QStringLiteral("a \" is not closed");
                const QChar d = line[j];
                if (d == QLatin1Char('"'))
                    break;
                if (d == QLatin1Char('$') || d == QLatin1Char('`'))
                    return QStringLiteral("'%1' is not expanded in a rule (write '\\%1' or use ~)").arg(d);
                if (d == QLatin1Char('\\') && j + 1 < length
                    && QStringLiteral("\"\\$`").contains(line[j + 1])) {
                    word += line[++j];
                    continue;
                }
                word += d;
            }
            i = j + 1;
            break;
        }
        case '\\':
            if (i + 1 >= length)
                return QStringLiteral("a \\ ends the line (a rule is one line)");
            word += line[i + 1];
            i += 2;
            break;
        case '$':
        case '`':
            return QStringLiteral("'%1' is not expanded in a rule (write '\\%1' or use ~)").arg(c);
        case ';':
        case '&':
        case '|':
        case '<':
        case '>':
        case '(':
        case ')':
            return QStringLiteral("'%1' would be an operator in a shell; quote it if it is part of a name").arg(c);
        default:
            word += c;
            ++i;
        }
    }
    if (inWord)
        words << word;
    return words;
}

std::vector<RuleLine> readRuleLines(const QByteArray& contents, const QString& home)
{
    std::vector<RuleLine> rules;
    const QList<QByteArray> lines = contents.split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        QByteArray bytes = lines[index];
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        RuleLine rule;
        rule.number = index + 1;
        if (!QUtf8StringView(bytes).isValidUtf8()) {
            rule.text = QString::fromUtf8(bytes);
            rule.error = QStringLiteral("the line is not valid UTF-8");
            rules.push_back(std::move(rule));
            continue;
        }
        rule.text = QString::fromUtf8(bytes);
        const QString trimmed = rule.text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        auto split = splitRuleWords(rule.text, home);
        if (QString* error = std::get_if<QString>(&split))
            rule.error = *error;
        else
            rule.arguments = std::get<QStringList>(split);
        if (rule.error.isEmpty() && rule.arguments.isEmpty())
            continue;
        rules.push_back(std::move(rule));
    }
    return rules;
}

} // namespace cli
