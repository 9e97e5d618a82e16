// The program's command line: folders, --help and --version, wrong options;
// and the built program answering on a terminal without any display, or
// saying that it needs one.

#include "app/CommandLine.h"

#include "BuildConfig.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built program with no display at all, as on a terminal reached
// over ssh: the xcb platform, or (with `platform` empty) Qt's own choice.
ProgramRun runProgram(const QStringList& arguments, const QString& platform = "xcb",
                      const QString& display = QString())
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    if (!display.isEmpty())
        environment.insert("DISPLAY", display);
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XDG_SESSION_TYPE");
    if (platform.isEmpty())
        environment.remove("QT_QPA_PLATFORM");
    else
        environment.insert("QT_QPA_PLATFORM", platform);
    environment.insert("LC_ALL", "en_US.UTF-8");
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    program.setProcessEnvironment(environment);
    program.start(qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + "/chronopurge", arguments);
    EXPECT_TRUE(program.waitForFinished(30000));
    return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

} // namespace

TEST(CommandLine, FoldersAreKeptAsGivenAndOptionsChooseTheAction)
{
    CommandLine line = parseCommandLine({"chronopurge", "/data/photos", "relative/folder", "--", "-odd name"});
    EXPECT_EQ(line.action, CommandLine::Action::StartWindows);
    EXPECT_EQ(line.folders, (QStringList{"/data/photos", "relative/folder", "-odd name"}));

    EXPECT_EQ(parseCommandLine({"chronopurge"}).folders, QStringList());
    EXPECT_EQ(parseCommandLine({"chronopurge", "--help"}).action, CommandLine::Action::ShowHelp);
    EXPECT_EQ(parseCommandLine({"chronopurge", "-h", "/data"}).action, CommandLine::Action::ShowHelp);
    line = parseCommandLine({"chronopurge", "--version"});
    EXPECT_EQ(line.action, CommandLine::Action::ShowVersion);
    EXPECT_EQ(line.text, QStringLiteral("chronopurge %1\n").arg(kProgramVersion));

    line = parseCommandLine({"chronopurge", "--frobnicate", "/data"});
    EXPECT_EQ(line.action, CommandLine::Action::Refuse);
    EXPECT_EQ(line.text, "Unknown option 'frobnicate'.\nTry \"chronopurge --help\" for the options.\n");
    EXPECT_TRUE(line.folders.isEmpty());
}

TEST(CommandLine, OnlyHelpAndVersionAreAnsweredWithoutADisplay)
{
    const auto asks = [](std::initializer_list<const char*> arguments) {
        return asksForTextOnly(int(arguments.size()), arguments.begin());
    };
    EXPECT_TRUE(asks({"chronopurge", "--help"}));
    EXPECT_TRUE(asks({"chronopurge", "/data", "-v"}));
    EXPECT_FALSE(asks({"chronopurge"}));
    EXPECT_FALSE(asks({"chronopurge", "/data", "--helpful"}));
    // After "--" every argument is a folder, even one named like an option.
    EXPECT_FALSE(asks({"chronopurge", "--", "--help"}));
}

TEST(CommandLine, BuiltProgramPrintsItsHelpAndVersionWithNoDisplay)
{
    const ProgramRun version = runProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0) << qPrintable(version.err);
    EXPECT_EQ(version.out, QStringLiteral("chronopurge %1\n").arg(kProgramVersion));

    const ProgramRun help = runProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0) << qPrintable(help.err);
    EXPECT_TRUE(help.out.contains("[folder...]")) << qPrintable(help.out);
    EXPECT_TRUE(help.out.contains("-v, --version")) << qPrintable(help.out);
    EXPECT_TRUE(help.out.contains("Finds files by date in the folders you choose")) << qPrintable(help.out);
}

TEST(CommandLine, WithoutAGraphicalSessionTheProgramSaysSoInOneLine)
{
    // Issue 18: Qt aborted here (status 134) after a page about platform plugins.
    const ProgramRun none = runProgram({}, QString());
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "chronopurge: this program needs a graphical session, but neither DISPLAY nor "
                        "WAYLAND_DISPLAY is set (chronopurge-cli works without one)\n");
    EXPECT_EQ(none.out, "");

    // A display that answers nobody: the same, naming it.
    const ProgramRun unreachable = runProgram({"/tmp"}, QString(), ":31999");
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_EQ(unreachable.err,
              "chronopurge: this program needs a graphical session, but none could be reached (DISPLAY=:31999)\n");
}
