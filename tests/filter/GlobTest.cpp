// The patterns of --exclude, --name and --iname: what they match, table by
// table, and the malformed ones refused with their reason.

#include "filter/Glob.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* pattern;
    const char* text;
    bool matches;
};

class NamePatterns : public ::testing::TestWithParam<MatchCase> {};
class CaseIgnoredNamePatterns : public ::testing::TestWithParam<MatchCase> {};
class PathPatterns : public ::testing::TestWithParam<MatchCase> {};

std::string caseName(const ::testing::TestParamInfo<MatchCase>& info)
{
    return "case" + std::to_string(info.index);
}

} // namespace

TEST_P(NamePatterns, MatchAsAShellDoes)
{
    const MatchCase& c = GetParam();
    QString error;
    const std::optional<NamePattern> pattern = NamePattern::compile(QString::fromUtf8(c.pattern), LetterCase::Sensitive, error);
    ASSERT_TRUE(pattern) << c.pattern << ": " << error.toStdString();
    EXPECT_EQ(pattern->matches(QByteArrayView(c.text)), c.matches) << c.pattern << " against " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, NamePatterns, ::testing::Values(
    MatchCase{"*.log", "app.log", true},
    MatchCase{"*.log", "app.log.1", false},
    MatchCase{"*.log", ".log", true},
    MatchCase{"*", ".hidden", true},
    MatchCase{"a*b*c", "abc", true},
    MatchCase{"a*b*c", "aXbYbZc", true},
    MatchCase{"a*b*c", "aXbYcZ", false},
    MatchCase{"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    MatchCase{"?.txt", "a.txt", true},
    MatchCase{"?.txt", "ab.txt", false},
    // One character is one code point, not one byte.
    MatchCase{"?.txt", "é.txt", true},
    MatchCase{"???", "日本語", true},
    MatchCase{"[abc].txt", "b.txt", true},
    MatchCase{"[abc].txt", "d.txt", false},
    MatchCase{"[!abc].txt", "d.txt", true},
    MatchCase{"[^abc].txt", "a.txt", false},
    MatchCase{"[a-c]*", "cat", true},
    MatchCase{"[a-c]*", "dog", false},
    MatchCase{"[]]", "]", true},
    MatchCase{"[!]]", "a", true},
    MatchCase{"[é-ë]", "ê", true},
    MatchCase{"\\*", "*", true},
    MatchCase{"\\*", "a", false},
    MatchCase{"a\\?", "a?", true},
    MatchCase{"[\\]]", "]", true},
    MatchCase{"core", "core", true},
    MatchCase{"core", "Core", false},
    MatchCase{"build*", "build-x86", true},
    MatchCase{"x*y", "xy", true},
    // A byte that is not UTF-8 is one character, matched by ? and *.
    MatchCase{"a?b", "a\xff" "b", true},
    MatchCase{"a*", "a\xff\xfe", true},
    MatchCase{"a[!x]", "a\xff", true}), caseName);

TEST_P(CaseIgnoredNamePatterns, FoldLetterCase)
{
    const MatchCase& c = GetParam();
    QString error;
    const std::optional<NamePattern> pattern = NamePattern::compile(QString::fromUtf8(c.pattern), LetterCase::Ignored, error);
    ASSERT_TRUE(pattern) << error.toStdString();
    EXPECT_EQ(pattern->matches(QByteArrayView(c.text)), c.matches) << c.pattern << " against " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, CaseIgnoredNamePatterns, ::testing::Values(
    MatchCase{"*.JPG", "photo.jpg", true},
    MatchCase{"*.jpg", "PHOTO.JPG", true},
    MatchCase{"[A-C]*", "beta", true},
    MatchCase{"ÉTÉ*", "été.txt", true},
    MatchCase{"*.jpg", "photo.png", false}), caseName);

TEST_P(PathPatterns, MatchPartByPart)
{
    const MatchCase& c = GetParam();
    QString error;
    const std::optional<PathPattern> pattern = PathPattern::compile(QString::fromUtf8(c.pattern), LetterCase::Sensitive, error);
    ASSERT_TRUE(pattern) << error.toStdString();
    EXPECT_EQ(pattern->matches(QByteArrayView(c.text)), c.matches) << c.pattern << " against " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, PathPatterns, ::testing::Values(
    MatchCase{"build/**", "build", true},
    MatchCase{"build/**", "build/out/a.o", true},
    MatchCase{"build/**", "src/build", false},
    MatchCase{"**/cache", "cache", true},
    MatchCase{"**/cache", "a/b/cache", true},
    MatchCase{"**/cache", "a/b/cache2", false},
    MatchCase{"src/*.o", "src/a.o", true},
    // "*" never crosses a "/".
    MatchCase{"src/*.o", "src/sub/a.o", false},
    MatchCase{"src/**/*.o", "src/a.o", true},
    MatchCase{"src/**/*.o", "src/x/y/a.o", true},
    MatchCase{"a/**/b/**/c", "a/b/c", true},
    MatchCase{"a/**/b/**/c", "a/x/b/y/z/c", true},
    MatchCase{"a/**/b/**/c", "a/x/c", false},
    MatchCase{"docs/old", "docs/old", true},
    MatchCase{"docs/old", "docs/older", false},
    MatchCase{"docs/old", "x/docs/old", false}), caseName);

TEST(Patterns, MalformedOnesAreRefusedWithTheirReason)
{
    const struct {
        const char* pattern;
        const char* reason;
    } cases[] = {
        {"[abc", "a \"[\" is not closed by \"]\""},
        {"[]", "a \"[\" is not closed by \"]\""},
        {"[!]", "a \"[\" is not closed by \"]\""},
        {"abc\\", "it ends with a \"\\\""},
        {"[z-a]", "a range of \"[...]\" runs backwards"},
        {"", "the pattern is empty"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(NamePattern::compile(QString::fromUtf8(c.pattern), LetterCase::Sensitive, error)) << c.pattern;
        EXPECT_EQ(error, QString::fromUtf8(c.reason)) << c.pattern;
    }
    QString error;
    EXPECT_FALSE(PathPattern::compile("a//b", LetterCase::Sensitive, error));
    EXPECT_EQ(error, "it has an empty part between two \"/\"");
    EXPECT_FALSE(PathPattern::compile("a/[b", LetterCase::Sensitive, error));
}
