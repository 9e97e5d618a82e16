#pragma once
// chronopurge-cli --undo and --undo-list: the Trash requests in the journal,
// and putting the files of one back where they were.

#include "cli/CommandLine.h"

namespace cli {

/** --undo [ID]: puts back the files of the request; returns the exit status. */
int undoTrashRequest(const CommandLine& line);

/** --undo-list: prints the requests, newest first; returns the exit status. */
int listTrashRequests();

} // namespace cli
