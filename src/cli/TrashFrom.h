#pragma once
// chronopurge-cli --trash-from FILE: moves the files of a list made with
// --format jsonl (and edited since: the lines of the files to keep deleted)
// to the Trash, each only if it still is the file the list describes.

#include "cli/CommandLine.h"

namespace cli {

/** The reason given for a file that is not the one the list describes any more. */
QString changedSinceListReason();

/** Runs --trash-from; returns the exit status. */
int trashFromList(const CommandLine& line);

} // namespace cli
