// --rules (issue 19): a file of runs, one a line, for a timer; a bad line is
// reported with its number and the others still run.

#include "CliRunner.h"

#include "cli/RuleFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class CliRules : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    QString writeRules(const QString& relative, const QByteArray& text, int mode = 0600)
    {
        tree.file(relative, text);
        ::chmod(QFile::encodeName(tree.path(relative)).constData(), mode_t(mode));
        return tree.path(relative);
    }
};

QStringList words(const QString& line, const QString& home = "/home/me")
{
    const auto split = cli::splitRuleWords(line, home);
    if (const QString* error = std::get_if<QString>(&split))
        return {"error: " + *error};
    return std::get<QStringList>(split);
}

} // namespace

TEST(RuleWords, AreSplitAsAShellSplitsThemAndNothingMoreIsDone)
{
    EXPECT_EQ(words("~/Downloads --older-than 30d --exclude '*.part' --keep-newest 5 --trash"),
              (QStringList{"/home/me/Downloads", "--older-than", "30d", "--exclude", "*.part", "--keep-newest", "5", "--trash"}));
    EXPECT_EQ(words("  'two words'\t\"and \\\"quoted\\\"\"  a\\ b ~ x~ '~'"),
              (QStringList{"two words", "and \"quoted\"", "a b", "/home/me", "x~", "~"}));
    EXPECT_EQ(words("--exclude=\"*.tmp\" # the comment"), (QStringList{"--exclude=*.tmp"}));
    EXPECT_EQ(words("a#b ''"), (QStringList{"a#b", ""}));
    EXPECT_EQ(words("'$HOME' \\$x \"\\$y\""), (QStringList{"$HOME", "$x", "$y"}));
    EXPECT_EQ(words("'open"), QStringList{"error: a ' is not closed"});
    EXPECT_EQ(words("\"open"), QStringList{"error: a \" is not closed"});
    EXPECT_EQ(words("trailing\\"), QStringList{"error: a \\ ends the line (a rule is one line)"});
    EXPECT_EQ(words("$HOME/Downloads"), QStringList{"error: '$' is not expanded in a rule (write '\\$' or use ~)"});
    EXPECT_EQ(words("\"`date`\""), QStringList{"error: '`' is not expanded in a rule (write '\\`' or use ~)"});
    EXPECT_EQ(words("~/a; rm -rf ~"), QStringList{"error: ';' would be an operator in a shell; quote it if it is part of a name"});
    EXPECT_EQ(words("~other/x"), QStringList{"error: '~' followed by a name is not expanded (write the path)"});
}

TEST_F(CliRules, EachLineRunsInOrderWithItsNumberAndABadLineIsSkipped)
{
    tree.file("home/Downloads/old.iso", utc(2019, 1, 1));
    tree.file("home/Downloads/partial.part", utc(2019, 1, 1));
    tree.file("home/Downloads/new.iso", utc(2030, 1, 1));
    tree.file("home/Photos/a.jpg", utc(2019, 1, 1));
    const QString rules = writeRules("home/.config/chronopurge/rules",
                                     "# Downloads: old, but not what is still downloading\n"
                                     "~/Downloads --older-than 30d --today 2024-06-01 --exclude '*.part' --trash\n"
                                     "\n"
                                     "~/Photos --before 'never\n"
                                     "   # Photos are only listed\n"
                                     "Photos --date-format iso\n");
    const CliResult result = cli.run({"--rules"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.lines(), (QStringList{
                                  "# rules line 2: ~/Downloads --older-than 30d --today 2024-06-01 --exclude '*.part' --trash",
                                  cli.home() + "/Downloads/old.iso",
                                  "# rules line 4: ~/Photos --before 'never",
                                  "# rules line 6: Photos --date-format iso",
                                  cli.home() + "/Photos/a.jpg\t2019-01-01 00:00:00",
                              }));
    EXPECT_EQ(result.errorLines(), QStringList{"chronopurge-cli: rules line 4: a ' is not closed"});
    EXPECT_FALSE(QFile::exists(tree.path("home/Downloads/old.iso")));
    EXPECT_TRUE(QFile::exists(tree.path("home/Downloads/partial.part")));
    EXPECT_TRUE(QFile::exists(tree.path("home/Downloads/new.iso")));

    // The same file named, and found through $XDG_CONFIG_HOME.
    EXPECT_EQ(cli.run({"--rules", rules}).exitCode, 2);
    cli.setEnvironment("XDG_CONFIG_HOME", tree.path("elsewhere"));
    writeRules("elsewhere/chronopurge/rules", "~/Photos\n");
    const CliResult other = cli.run({"--rules"});
    EXPECT_EQ(other.exitCode, 0) << other.errors.toStdString();
    EXPECT_EQ(other.lines().size(), 2);
}

TEST_F(CliRules, TheStatusIsTheWorstOfTheRunsAndEachMessageNamesItsLine)
{
    tree.file("home/a/old.txt", utc(2019, 1, 1));
    const QString rules = writeRules("rules",
                                     "~/a --all\n"
                                     "~/missing --all\n"
                                     "~/a --bogus\n"
                                     "--undo-list\n"
                                     "~/a --kind modified\n");
    const CliResult result = cli.run({"--rules=" + rules});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errorLines(), (QStringList{"chronopurge-cli: rules line 2: " + cli.home() + "/missing: no such folder",
                                                "chronopurge-cli: rules line 3: unknown option '--bogus'",
                                                "chronopurge-cli: rules line 4: a rule lists, saves or moves files below its "
                                                "folders (not --help, --version, --rules, --trash-from, --undo or --undo-list)"}));
    EXPECT_EQ(result.lines().filter(QStringLiteral("old.txt")).size(), 2);

    // A file that cannot be moved makes a run's status 1.
    const QString trashRules = writeRules("trash-rules", QStringLiteral("'%1' --all --trash\n~/a --all\n")
                                                            .arg(cli.trash() + "/files/kept").toUtf8());
    tree.file("home/.local/share/Trash/files/kept/inside.txt");
    const CliResult moved = cli.run({"--rules", trashRules});
    EXPECT_EQ(moved.exitCode, 1);
    ASSERT_EQ(moved.errorLines().size(), 1);
    EXPECT_TRUE(moved.errorLines()[0].startsWith("chronopurge-cli: rules line 1: " + cli.trash() + "/files/kept/inside.txt was not moved"));
}

TEST_F(CliRules, ARulesFileOthersCanChangeOrThatIsNoFileIsRefused)
{
    tree.file("home/a/f.txt");
    const QString open = writeRules("open-rules", "~/a\n", 0666);
    const CliResult writable = cli.run({"--rules", open});
    EXPECT_EQ(writable.exitCode, 2);
    EXPECT_EQ(writable.errorLines(), QStringList{"chronopurge-cli: " + open + ": refused: other users may change it (chmod go-w)"});
    EXPECT_TRUE(writable.out.isEmpty());

    EXPECT_EQ(cli.run({"--rules", tree.path("home/a")}).errorLines(),
              QStringList{"chronopurge-cli: " + tree.path("home/a") + ": it is a folder"});
    const CliResult missing = cli.run({"--rules"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.errorLines(), QStringList{"chronopurge-cli: " + cli.home() + "/.config/chronopurge/rules: no such file"});
    const CliResult big = cli.run({"--rules", writeRules("big", QByteArray(cli::kMaxRulesBytes + 1, '#'))});
    EXPECT_EQ(big.exitCode, 2);
    EXPECT_EQ(cli.run({"--rules", "a", "b"}).errorLines().value(0), "chronopurge-cli: --rules takes one rules file at most");
    EXPECT_EQ(cli.run({"--rules", "--all"}).errorLines().value(0), "chronopurge-cli: --rules cannot be combined with --all");
    // Comments only: nothing to do, said once.
    const CliResult empty = cli.run({"--rules", writeRules("empty", "# nothing yet\n\n")});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.errorLines(), QStringList{"chronopurge-cli: " + tree.path("empty") + " holds no rules"});
}
