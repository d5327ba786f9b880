#include "kvDateUtils.h"

#include <classlib/resource_strings.h>

namespace {

constexpr TResourceString dateWords[kvDateWordCount] = {
    {L"今天"}, {L"昨天"}, {L"明天"}, {L"日"},   {L"一"},   {L"二"},   {L"三"},
    {L"四"},   {L"五"},   {L"六"},   {L"第一"}, {L"第二"}, {L"第三"}, {L"第四"},
    {L"第五"}, {L"第六"}, {L"第七"}, {L"bom"},  {L"eom"},  {L"now"},
};

} // namespace

std::wstring GetDateWord(TkvDateWord word) {
    if (word < 0 || word >= kvDateWordCount)
        return std::wstring();
    return LoadResString(dateWords[word]);
}

std::wstring QuoteRegExprLiteral(const std::wstring &text) {
    std::wstring result;
    bool open = false;
    for (wchar_t c : text) {
        if (c == L'\'') {
            if (open)
                result += L'\'';
            open = false;
            result += L"\\'";
        } else {
            if (!open)
                result += L'\'';
            open = true;
            result += c;
        }
    }
    if (open)
        result += L'\'';
    return result;
}

std::wstring AddDateWordsToRegExprMask(const std::wstring &expression, bool withNow) {
    std::wstring result = L"(" + expression + L")|(";
    bool first = true;
    for (int i = 0; i < kvDateWordCount; ++i) {
        std::wstring word = GetDateWord(static_cast<TkvDateWord>(i));
        // A word translated to nothing would leave an empty alternative, which does not compile.
        if ((i == kvdwNow && !withNow) || word.empty())
            continue;
        if (!first)
            result += L'|';
        first = false;
        result += QuoteRegExprLiteral(word);
    }
    return result + L")((\\+|-)\\d(\\d(\\d\\d?)?)?)?";
}
