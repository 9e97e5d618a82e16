// The command line's text on Linux: UTF-8 bytes, wherever they go.

#include "cli/ConsoleText.h"

#include <cstdio>

namespace cli {

bool writeText(Stream stream, QByteArrayView utf8)
{
    std::FILE* const file = stream == Stream::Output ? stdout : stderr;
    return std::fwrite(utf8.data(), 1, size_t(utf8.size()), file) == size_t(utf8.size());
}

} // namespace cli
