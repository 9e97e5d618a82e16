// The command line's text on Windows: UTF-16 to a console, whatever its code
// page, and UTF-8 bytes to a pipe or a file (through the C runtime's text
// mode, so lines end in CR LF there, as Windows programs read them).

#include "cli/ConsoleText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include <windows.h>

namespace cli {

namespace {

// Consoles have failed on very large single writes; a few pages at a time.
constexpr size_t kConsoleChunk = 8192;

bool writeToConsole(HANDLE console, const std::wstring& text)
{
    size_t done = 0;
    while (done < text.size()) {
        size_t length = std::min(kConsoleChunk, text.size() - done);
        // A surrogate pair is never split between two writes.
        if (done + length < text.size() && IS_HIGH_SURROGATE(text[done + length - 1]))
            --length;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + done, DWORD(length), &written, nullptr) || written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace

bool writeText(Stream stream, QByteArrayView utf8)
{
    std::FILE* const file = stream == Stream::Output ? stdout : stderr;
    const HANDLE handle = GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return std::fwrite(utf8.data(), 1, size_t(utf8.size()), file) == size_t(utf8.size());
    // What the C runtime still holds for the console goes first.
    std::fflush(file);
    return writeToConsole(handle, QString::fromUtf8(utf8).toStdWString());
}

} // namespace cli
