#include "cli/UndoCommands.h"

#include <cstdio>

namespace cli {

int undoTrashRequest(const CommandLine&)
{
    std::fputs("chronopurge-cli: --undo: no Trash request has been recorded\n", stderr);
    return 1;
}

int listTrashRequests()
{
    return 0;
}

} // namespace cli
