#pragma once
// The program's command line: chronopurge [-h|--help] [-v|--version] [FOLDER]...
// Folders given are added to the first window's list at start.

#include <QCoreApplication>
#include <QStringList>

/** What the command line asks for. */
struct CommandLine {
    enum class Action { StartWindows, ShowHelp, ShowVersion, Refuse };
    Action action = Action::StartWindows;
    /** The folders to add to the list at start, as given (absolute or relative to the working folder). */
    QStringList folders;
    /** What to print: the help or the version on standard output, the reason for Refuse on standard error. */
    QString text;
};

/** Reads `arguments`, the program's name first; an unknown option gives Refuse. */
CommandLine parseCommandLine(const QStringList& arguments);

/**
 * True when the command line asks for the help or the version, which are
 * answered on the terminal without a display (so before any window system is
 * reached).
 */
bool asksForTextOnly(int argc, const char* const argv[]);
