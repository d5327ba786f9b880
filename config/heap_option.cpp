#include "heap_option.h"

#include <classlib/string_utils.h>

namespace {

constexpr std::wstring_view heapPrefix = L"-Xmx";

// Only ASCII letters fold: the line's other characters stand for bytes of any code page.
wchar_t foldAscii(wchar_t c) noexcept { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool isHeapLine(std::wstring_view line) noexcept {
    if (line.size() < heapPrefix.size())
        return false;
    for (std::size_t i = 0; i < heapPrefix.size(); ++i)
        if (foldAscii(line[i]) != foldAscii(heapPrefix[i]))
            return false;
    return true;
}

} // namespace

int FindHeapLine(const TStringList *lines) {
    for (int i = 0; i < lines->Count(); ++i)
        if (isHeapLine(lines->Strings(i)))
            return i;
    return -1;
}

std::wstring HeapValueText(std::wstring_view line) {
    if (line.size() <= heapPrefix.size() + 1)
        return L"";
    return std::wstring(line.substr(heapPrefix.size(), line.size() - heapPrefix.size() - 1));
}

THeapCheck CheckHeapText(std::wstring_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        return THeapCheck::NotInteger;
    if (value < MinHeapMegabytes || value > MaxHeapMegabytes)
        return THeapCheck::OutOfRange;
    return THeapCheck::Accepted;
}

std::wstring HeapLineFor(std::wstring_view text) {
    if (!text.empty() && text.front() == L'+')
        text.remove_prefix(1);
    return std::wstring(heapPrefix) + std::wstring(text) + L"m";
}

void StoreHeapLine(TStringList *lines, int index, std::wstring_view text) {
    std::wstring line = HeapLineFor(text);
    if (index < 0)
        lines->Add(line);
    else
        lines->SetString(index, line);
}
