// Modified UTF-8, the JNI's text form: U+0000 as C0 80, characters above U+FFFF as two encoded
// surrogates, never four-byte sequences.
#include "vm.h"

namespace vm {

std::u16string decodeModifiedUtf8(const char *text, bool *wellFormed) {
    std::u16string chars;
    bool ok = true;
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != 0) {
        unsigned c = *p;
        if (c < 0x80) {
            chars += static_cast<char16_t>(c);
            p += 1;
        } else if ((c & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            chars += static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((c & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            chars += static_cast<char16_t>(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            // Kept as the byte's Latin-1 character, so that nothing after it is lost.
            chars += static_cast<char16_t>(c);
            ok = false;
            p += 1;
        }
    }
    if (wellFormed != nullptr)
        *wellFormed = ok;
    return chars;
}

std::string encodeModifiedUtf8(const std::u16string &chars) {
    std::string out;
    for (char16_t ch : chars) {
        unsigned c = ch;
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string toDisplay(const std::u16string &chars) {
    std::string out;
    for (char16_t ch : chars) {
        if (ch >= 0x20 && ch < 0x7F) {
            out += static_cast<char>(ch);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(ch >> shift) & 0xF];
        }
    }
    return out;
}

} // namespace vm
