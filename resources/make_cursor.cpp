// Writes the hand cursor "HAND-M.CUR": one 32 x 32 image, 32 bits per pixel
// with an AND mask, in the Windows cursor format (an icon directory of type 2
// whose entry carries the hot spot). The hand is drawn below as pixel rows.
//
//   make_cursor <output file>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;
// The tip of the index finger.
constexpr int kHotX = 6;
constexpr int kHotY = 0;

// 'X' outline, 'o' fill, anything else transparent.
const std::array<const char*, 22> kHand = {
    "      XX",
    "     XooX",
    "     XooX",
    "     XooX",
    "     XooX",
    "     XooXXX",
    "     XooXooXXX",
    "     XooXooXooXX",
    "  XX XooXooXooXoX",
    " XooXXooooooooXooX",
    " XoooXoooooooooooX",
    "  XooXoooooooooooX",
    "   XoXoooooooooooX",
    "   XooooooooooooX",
    "    XoooooooooooX",
    "    XooooooooooX",
    "     XoooooooooX",
    "     XoooooooooX",
    "      XoooooooX",
    "      XoooooooX",
    "      XXXXXXXXX",
    "",
};

void put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(value & 0xff);
    out.push_back(value >> 8);
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back((value >> shift) & 0xff);
}

char pixelAt(int x, int y)
{
    if (y >= int(kHand.size()))
        return ' ';
    const std::string row = kHand[y];
    return x < int(row.size()) ? row[x] : ' ';
}

std::vector<uint8_t> cursorFile()
{
    constexpr uint32_t headerSize = 40;
    constexpr uint32_t pixelBytes = kSize * kSize * 4;
    constexpr uint32_t maskBytes = kSize * (kSize / 8); // 32 bits a row: already a multiple of 4
    constexpr uint32_t imageBytes = headerSize + pixelBytes + maskBytes;

    std::vector<uint8_t> out;
    // ICONDIR: reserved, type 2 (cursor), one image.
    put16(out, 0);
    put16(out, 2);
    put16(out, 1);
    // ICONDIRENTRY: size, colour count, reserved, hot spot, data size and offset.
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0);
    out.push_back(0);
    put16(out, kHotX);
    put16(out, kHotY);
    put32(out, imageBytes);
    put32(out, 6 + 16);

    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
    put32(out, headerSize);
    put32(out, kSize);
    put32(out, kSize * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, pixelBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    // Colour rows, bottom-up, as blue, green, red, alpha.
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; ++x) {
            const char pixel = pixelAt(x, y);
            const uint8_t value = pixel == 'o' ? 0xff : 0x00;
            const uint8_t alpha = (pixel == 'X' || pixel == 'o') ? 0xff : 0x00;
            out.insert(out.end(), {value, value, value, alpha});
        }
    }
    // AND mask, bottom-up: a set bit lets the screen show through.
    for (int y = kSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < kSize / 8; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const char pixel = pixelAt(byte * 8 + bit, y);
                if (pixel != 'X' && pixel != 'o')
                    bits |= 0x80 >> bit;
            }
            out.push_back(bits);
        }
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_cursor <output file>\n");
        return 2;
    }
    const std::vector<uint8_t> bytes = cursorFile();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
