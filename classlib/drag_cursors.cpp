#include "drag_cursors.h"

#include <cstdint>
#include <cstring>

namespace {

// 'X' black, '.' white, anything else shows what lies under the cursor.
const char *const arrow[] = {
    "X",           "XX",          "X.X",         "X..X",        "X...X",       "X....X",
    "X.....X",     "X......X",    "X.......X",   "X........X",  "X.....XXXXX", "X..X..X",
    "X.X X..X",    "XX  X..X",    "X    X..X",   "     X..X",   "      XX",
};

void plot(std::uint8_t (&andMask)[128], std::uint8_t (&xorMask)[128], int x, int y, char c) {
    if (x < 0 || x >= 32 || y < 0 || y >= 32 || (c != 'X' && c != '.'))
        return;
    std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    int i = y * 4 + x / 8;
    andMask[i] &= static_cast<std::uint8_t>(~bit);
    if (c == '.')
        xorMask[i] |= bit;
    else
        xorMask[i] &= static_cast<std::uint8_t>(~bit);
}

void page(std::uint8_t (&andMask)[128], std::uint8_t (&xorMask)[128], int left, int top) {
    const int width = 10;
    const int height = 12;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            plot(andMask, xorMask, left + x, top + y, edge ? 'X' : '.');
        }
}

} // namespace

HCURSOR CreateDragCursor(bool multiple) noexcept {
    std::uint8_t andMask[128];
    std::uint8_t xorMask[128];
    std::memset(andMask, 0xFF, sizeof(andMask));
    std::memset(xorMask, 0, sizeof(xorMask));
    for (int y = 0; y < static_cast<int>(sizeof(arrow) / sizeof(arrow[0])); ++y)
        for (int x = 0; arrow[y][x] != '\0'; ++x)
            plot(andMask, xorMask, x, y, arrow[y][x]);
    if (multiple)
        page(andMask, xorMask, 14, 16);
    page(andMask, xorMask, multiple ? 11 : 12, multiple ? 19 : 18);
    return CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, andMask, xorMask);
}
