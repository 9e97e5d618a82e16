#pragma once
// UTF-8 as file names hold it. On Linux a name is any bytes but "/" and NUL;
// nearly every name is UTF-8, but a name written under another encoding
// (Latin-1, a code page) or cut in the middle of a character is not. Such a
// byte is judged one at a time: each byte that does not begin a whole, valid
// character is a byte of its own.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

/**
 * The length in bytes (1 to 4) of the valid UTF-8 character that begins
 * `bytes`, or 0 when the first byte begins none: a continuation byte, a lead
 * byte without its continuation bytes, an overlong form, a surrogate
 * (U+D800 to U+DFFF) or a code point past U+10FFFF. `available` > 0.
 */
inline int utf8CharacterLength(const char* bytes, size_t available)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char lead = s[0];
    if (lead < 0x80)
        return 1;
    // The second byte's range depends on the lead byte; it is what rules out
    // overlong forms, surrogates and code points past U+10FFFF.
    int length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (available < size_t(length) || s[1] < low || s[1] > high)
        return 0;
    for (int k = 2; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

/** True when all `length` bytes are valid UTF-8. */
inline bool isValidUtf8(const char* bytes, size_t length)
{
    for (size_t i = 0; i < length;) {
        // Nearly every name is ASCII: eight bytes at a time while they are.
        if (length - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if ((word & 0x8080808080808080u) == 0) {
                i += 8;
                continue;
            }
        }
        const int character = utf8CharacterLength(bytes + i, length - i);
        if (character == 0)
            return false;
        i += size_t(character);
    }
    return true;
}

} // namespace platform
