#pragma once
// Hexadecimal digits both ways, for the escapes of the settings file and of
// the command line's records, and for percent-encoded paths.

namespace platform {

/** The digits by value, in upper case. */
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

/** The value of the hexadecimal digit `c` in either case; -1 when it is none. */
constexpr int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace platform
