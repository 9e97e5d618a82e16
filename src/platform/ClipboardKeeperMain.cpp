// chronopurge-keep-clipboard: keeps the text Chronopurge copied on the X11
// clipboard after Chronopurge has ended.
//
//   chronopurge-keep-clipboard [--owner-window ID] < text
//
// Reads the text (UTF-8) from standard input and takes the clipboard with it,
// only from the window ID when one is named (the program that copied it, so
// that a newer copy by another program is never taken back). Once it serves,
// it writes "1" on standard output and lets go of its standard streams. Then,
// where a clipboard manager runs, it asks the manager to keep the text (the
// freedesktop SAVE_TARGETS handover) and ends once the manager has it; else,
// or when the manager keeps nothing, it serves the text itself until another
// program takes the clipboard or the X server goes away.
//
// Started by Chronopurge at its end, detached, in a session of its own.

#include "platform/XcbClipboardOwner.h"

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A clipboard manager that has asked for nothing this long is taken not to
// want the text; one that takes longer than the limit in all is given up on.
// Either way the text is then served from here.
constexpr auto kManagerSilence = std::chrono::seconds(5);
constexpr auto kManagerLimit = std::chrono::seconds(120);

QByteArray readAll(int fd)
{
    QByteArray text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return text;
        text.append(buffer, got);
    }
}

// Standard streams on /dev/null: nothing here holds a terminal or a pipe open.
void letGoOfStreams()
{
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0)
        return;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::dup2(null, stream);
    ::close(null);
}

} // namespace

int main(int argc, char* argv[])
{
    // Nothing the starting program had open stays open here.
    ::close_range(3, ~0U, 0);

    std::uint32_t ownerWindow = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--owner-window") == 0 && i + 1 < argc) {
            char* end = nullptr;
            ownerWindow = std::uint32_t(std::strtoul(argv[++i], &end, 10));
            if (*end != '\0' || ownerWindow == 0) {
                std::fputs("chronopurge-keep-clipboard: --owner-window takes a window number\n", stderr);
                return 2;
            }
        } else {
            std::fputs("usage: chronopurge-keep-clipboard [--owner-window ID] < text\n", stderr);
            return 2;
        }
    }

    const QByteArray text = readAll(STDIN_FILENO);
    platform::XcbClipboardOwner owner;
    const bool serving = ownerWindow != 0 ? owner.takeOver(text, ownerWindow) : owner.offer(text);
    if (!serving)
        return 1;
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, "1", 1);
    letGoOfStreams();

    if (owner.handOver(kManagerSilence, kManagerLimit) == platform::XcbClipboardOwner::HandOver::Saved)
        return 0; // the manager takes the clipboard once this owner is gone
    owner.waitWhileOwner();
    return 0;
}
