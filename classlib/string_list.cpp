#include "classlib/string_list.h"

#include <limits>

#include "classlib/exceptions.h"
#include "classlib/string_utils.h"
#include "classlib_strings.h"

namespace classlib_detail {

std::vector<std::wstring> splitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        while (i < text.size() && text[i] != L'\r' && text[i] != L'\n')
            ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == L'\r')
            ++i;
        if (i < text.size() && text[i] == L'\n')
            ++i;
    }
    return lines;
}

std::wstring joinLines(const std::vector<std::wstring_view> &lines) {
    std::size_t length = 0;
    for (std::wstring_view line : lines)
        length += line.size() + 2;
    std::wstring text;
    text.reserve(length);
    for (std::wstring_view line : lines) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

int compareStrings(std::wstring_view a, std::wstring_view b, bool caseSensitive) {
    return caseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

// Bottom-up merge sort of positions: stable, and it never reads outside its runs whatever the
// comparison answers.
std::vector<int> stableOrder(int count, const std::function<int(int, int)> &compare) {
    std::vector<int> order(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        order[i] = i;
    std::vector<int> merged(order.size());
    for (int width = 1; width < count; width *= 2) {
        for (int left = 0; left < count; left += 2 * width) {
            int middle = left + width < count ? left + width : count;
            int right = middle + width < count ? middle + width : count;
            int a = left;
            int b = middle;
            int out = left;
            while (a < middle && b < right)
                merged[out++] = compare(order[a], order[b]) <= 0 ? order[a++] : order[b++];
            while (a < middle)
                merged[out++] = order[a++];
            while (b < right)
                merged[out++] = order[b++];
        }
        order.swap(merged);
        if (width > std::numeric_limits<int>::max() / 2)
            break;
    }
    return order;
}

std::wstring decodeText(const std::string &bytes, TTextEncoding encoding) {
    if (encoding == TTextEncoding::Ansi)
        return CodePageToWide(bytes, CP_ACP);
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::string encodeText(std::wstring_view text, TTextEncoding encoding) {
    if (encoding == TTextEncoding::Ansi)
        return WideToCodePage(text, CP_ACP);
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        bytes[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
    return bytes;
}

std::string readStreamRest(TStream *stream) {
    std::int64_t length = stream->Size() - stream->Position();
    if (length <= 0)
        return {};
    if (length > std::numeric_limits<std::int32_t>::max())
        throw EReadError(LoadResString(SReadError));
    std::string bytes(static_cast<std::size_t>(length), '\0');
    stream->ReadBuffer(bytes.data(), static_cast<std::int32_t>(length));
    return bytes;
}

std::string readFileBytes(const std::wstring &fileName) {
    TOwned<TFileStream> file(New<TFileStream>(fileName, fmOpenRead));
    return readStreamRest(file.get());
}

void writeFileBytes(const std::wstring &fileName, const std::string &bytes) {
    TOwned<TFileStream> file(New<TFileStream>(fileName, fmCreate));
    file->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void raiseStringListIndexError(int index) {
    throw EStringListError(LoadResString(SListIndexError) + L" (" + IntToStr(index) + L")");
}

void raiseSortedListError() { throw EStringListError(LoadResString(SSortedListError)); }

void raiseDuplicateString() { throw EStringListError(LoadResString(SDuplicateString)); }

} // namespace classlib_detail
