// kvDateUtils: the localised words of relative date input (today, the weekdays, "the first",
// the beginning and end of the month, now) and the alternation that lets a regular-expression
// date mask take them, each optionally followed by a signed offset of up to four digits.
#ifndef KV_DATE_UTILS_H
#define KV_DATE_UTILS_H

#include <string>

enum TkvDateWord {
    kvdwToday,
    kvdwYesterday,
    kvdwTomorrow,
    kvdwSunday,
    kvdwMonday,
    kvdwTuesday,
    kvdwWednesday,
    kvdwThursday,
    kvdwFriday,
    kvdwSaturday,
    kvdwFirst,
    kvdwSecond,
    kvdwThird,
    kvdwFourth,
    kvdwFifth,
    kvdwSixth,
    kvdwSeventh,
    kvdwBeginningOfMonth,
    kvdwEndOfMonth,
    kvdwNow,
};
constexpr int kvDateWordCount = 20;

// The word as loaded now, through the resource-string hook.
std::wstring GetDateWord(TkvDateWord word);

// "(" expression ")|(" the words joined by "|" ")" and the optional offset; "now" only when asked.
std::wstring AddDateWordsToRegExprMask(const std::wstring &expression, bool withNow);

// The word as a literal of the regular-expression language.
std::wstring QuoteRegExprLiteral(const std::wstring &text);

#endif
