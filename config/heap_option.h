// The launcher's maximum-heap option, "-Xmx<megabytes>m", among the settings lines.
#ifndef CONFIG_HEAP_OPTION_H
#define CONFIG_HEAP_OPTION_H

#include <classlib/string_list.h>

#include <cstdint>
#include <string>
#include <string_view>

constexpr std::int32_t MinHeapMegabytes = 384;
constexpr std::int32_t MaxHeapMegabytes = 1024;

// The first line that begins with "-Xmx" in any case of its letters, or -1.
int FindHeapLine(const TStringList *lines);
// The line from its fifth character up to, not including, its last (the unit letter): "-Xmx512m"
// gives "512", "-Xmx512" gives "51".
std::wstring HeapValueText(std::wstring_view line);

enum class THeapCheck : std::uint8_t { Accepted, NotInteger, OutOfRange };
// A heap size as the user typed it: a 32-bit decimal integer with no blanks, no other base and at
// most one leading sign, from MinHeapMegabytes to MaxHeapMegabytes.
THeapCheck CheckHeapText(std::wstring_view text);
// The option line for an accepted text, with its digits as typed (a leading "+" dropped, since
// the launcher reads digits only).
std::wstring HeapLineFor(std::wstring_view text);
// Replaces the heap line, or appends one when index is -1.
void StoreHeapLine(TStringList *lines, int index, std::wstring_view text);

#endif
