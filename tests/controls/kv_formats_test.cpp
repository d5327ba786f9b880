// Date words and the format controller: parsed formats, the masks and formats derived from the
// locale (checked for the two locales the suite runs under), and the listeners that hear setting
// and clock changes through the controller's hidden window.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/resource_strings.h>
#include <classlib/string_list.h>
#include <classlib/string_utils.h>

#include <string>
#include <vector>

#include "kvClasses.h"
#include "kvDateUtils.h"
#include "kvFormats.h"
#include "kvRegExpr.h"

namespace {

std::wstring localeName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return name;
}

// Whether the expression accepts the whole text and ends complete.
bool matches(const std::wstring &expression, const std::wstring &text) {
    TOwned<TkvRegExpr> expr(New<TkvRegExpr>());
    expr->CaseInsensitive = true;
    expr->CompileText(expression);
    for (wchar_t c : text)
        if (!expr->Next(c))
            return false;
    return expr->IsFinal();
}

std::wstring kinds(const TkvDateTimeFormatInfo &info) {
    std::wstring text;
    for (const TkvDateTimeFormatItem &item : info.Items)
        text += std::to_wstring(item.Kind) + L":" + item.Text + L" ";
    return text;
}

struct LocaleExpectations {
    const wchar_t *locale;
    const wchar_t *standardDateMask;
    const wchar_t *standardDateTimeMask;
    const wchar_t *standardTimeMask;
    const wchar_t *maskedDateFormat;
    const wchar_t *maskedDateTimeFormat;
    const wchar_t *dateEditFormat;
    const wchar_t *currencyFormat;
    int startOfWeek;
    std::vector<const wchar_t *> dates;     // complete for the date mask
    std::vector<const wchar_t *> dateTimes; // complete for the date-time mask
    std::vector<const wchar_t *> refused;   // not complete for the date mask
};

const LocaleExpectations localeTables[] = {
    {L"en-US", L"!99/99/9999;1; ", L"!99/99/9999\\ 99:99:99\\ cc;1; ", L"00:00:00\\ cc;1;0", L"mm/dd/yyyy",
     L"mm/dd/yyyy' 'hh:nn:ss' 'ampm", L"MM/dd/yyyy", L"$,0.00;($,0.00)", 0,
     {L"12/31/2026", L"1/5/2026", L"Dec/5/2026", L"今天", L"今天+3", L"bom-12"},
     {L"12/31/2026 11:59:59 PM", L"12/31/2026 ", L"12/31/2026 1:05:00 ", L"now", L"eom+1"},
     {L"13/1/2026", L"12/32/2026", L"12/31/26", L"now"}},
    {L"zh-CN", L"!9999/99/99;1; ", L"!9999/99/99\\ 99:99:99;1; ", L"00:00:00;1;0", L"yyyy/mm/dd",
     L"yyyy/mm/dd' 'hh:nn:ss", L"yyyy/MM/dd", L"¥,0.00;(¥,0.00)", 1,
     {L"2026/12/31", L"2026/1月/5", L"明天", L"第二-1"},
     {L"2026/12/31 23:59:59", L"2026/12/31 0:0:0", L"2026/12/31 ", L"now"},
     {L"2026/13/1", L"2026/12/31 24:00:00", L"26/1/1"}},
};

} // namespace

TEST(KvDateWords, LoadedThroughTheHookAndJoinedAsAlternatives) {
    EXPECT_EQ(GetDateWord(kvdwToday), L"今天");
    EXPECT_EQ(GetDateWord(kvdwSeventh), L"第七");
    EXPECT_EQ(GetDateWord(kvdwNow), L"now");
    EXPECT_EQ(AddDateWordsToRegExprMask(L"\\d", false),
              L"(\\d)|('今天'|'昨天'|'明天'|'日'|'一'|'二'|'三'|'四'|'五'|'六'|'第一'|'第二'|'第三'|'第四'|'第五'|"
              L"'第六'|'第七'|'bom'|'eom')((\\+|-)\\d(\\d(\\d\\d?)?)?)?");
    std::wstring withNow = AddDateWordsToRegExprMask(L"\\d", true);
    EXPECT_TRUE(matches(withNow, L"now-1234"));
    EXPECT_FALSE(matches(withNow, L"now-12345"));
    EXPECT_FALSE(matches(AddDateWordsToRegExprMask(L"\\d", false), L"now"));
    EXPECT_TRUE(matches(withNow, L"7"));

    // A translation replaces a word, apostrophes and all; one translated to nothing drops out.
    UnitScope classes{&kvClassesUnit};
    TStringList *source = New<TStringList>();
    TStringList *target = New<TStringList>();
    source->Add(L"bom");
    target->Add(L"it's");
    source->Add(L"eom");
    target->Add(L"");
    SetResourceStringTranslations(source, target);
    EXPECT_EQ(GetDateWord(kvdwBeginningOfMonth), L"it's");
    EXPECT_EQ(QuoteRegExprLiteral(L"it's"), L"'it'\\''s'");
    std::wstring translated = AddDateWordsToRegExprMask(L"\\d", false);
    EXPECT_NE(translated.find(L"'第七'|'it'\\''s')"), std::wstring::npos) << WideToUtf8(translated);
    EXPECT_TRUE(matches(translated, L"it's+2"));
    EXPECT_FALSE(matches(translated, L"eom"));
    SetResourceStringTranslations(nullptr, nullptr);
}

TEST(KvFormatParsing, ItemsOfFormats) {
    TkvDateTimeFormatInfo info;
    std::wstring format = L"yyyy-M-d";
    ASSERT_TRUE(ParseDateTimeFormat(&format, info));
    EXPECT_EQ(kinds(info), L"1:YYYY 0:- 2:M 0:- 3:D ");
    EXPECT_EQ(StandardMaskOfFormatInfo(info, smmDate), L"!9999\\-99\\-99;1; ");
    EXPECT_EQ(DateEditFormatOf(format, false), L"yyyy-MM-dd");
    EXPECT_EQ(DateEditFormatOf(L"d MMMM yyyy", true), L"dd MMM yyyy");
    EXPECT_EQ(DateEditFormatOf(L"d MMMM yyyy", false), L"dd MMMM yyyy");

    // "M" after an hour is minutes, even with a separator between.
    format = L"h:mm AMPM";
    ASSERT_TRUE(ParseDateTimeFormat(&format, info));
    EXPECT_EQ(kinds(info), L"4:12H 10:: 5:NN 0:  8:AMPM ");
    EXPECT_TRUE(info.DefinedItems[dtikTimeSuffix]);
    format = L"HH:mm:ss";
    ASSERT_TRUE(ParseDateTimeFormat(&format, info));
    EXPECT_EQ(kinds(info), L"4:24HH 10:: 5:NN 10:: 6:SS ");
    EXPECT_EQ(StandardMaskOfFormatInfo(info, smmTime), L"00:00:00;1;0");
    EXPECT_EQ(RegExprOfFormatInfo(info), L"([01]?\\d|2[0-3])\\:[0-5]?\\d\\:[0-5]?\\d");

    // Without an hour the marker goes; each kind is taken once; quotes are text.
    format = L"yy AMPM 'at' yyyy A/P \"x\"";
    ASSERT_TRUE(ParseDateTimeFormat(&format, info));
    EXPECT_EQ(kinds(info), L"1:YY 0:  0: at   x ");
    EXPECT_FALSE(info.DefinedItems[dtikTimeSuffix]);
    format = L"dddd, MMMM zzz ss.z aaa";
    ASSERT_TRUE(ParseDateTimeFormat(&format, info));
    EXPECT_EQ(kinds(info), L"3:DDDD 0:,  2:MMMM 0:  7:ZZZ 0:  6:SS 0:.  ");
    EXPECT_EQ(DisplayFormatOfFormatInfo(info), L"ddd', 'mmm' '' 'ss'. '");

    // An era letter fails the parse and leaves nothing.
    format = L"yyyy/M/d G";
    EXPECT_FALSE(ParseDateTimeFormat(&format, info));
    EXPECT_TRUE(info.Items.empty());
    EXPECT_EQ(StandardMaskOfFormatInfo(info, smmDate), L"");
    EXPECT_EQ(RegExprOfFormatInfo(info), L"");
}

TEST(KvFormatParsing, NestedFormatsStopAtTheSecondLevel) {
    TkvDateTimeFormatInfo info;
    // "c" is the short date, a space and the long time, parsed in place; "ddddd" the short date.
    std::wstring c = L"c";
    ASSERT_TRUE(ParseDateTimeFormat(&c, info));
    TkvDateTimeFormatInfo expected;
    std::wstring spelled = FormatSettings().ShortDateFormat + L" " + FormatSettings().LongTimeFormat;
    ParseDateTimeFormat(&spelled, expected);
    EXPECT_EQ(kinds(info), kinds(expected));
    ASSERT_TRUE(ParseDateTimeFormat(nullptr, info));
    EXPECT_EQ(kinds(info), kinds(expected));

    // A long date format that names itself is read twice, then left.
    TFormatSettings saved = FormatSettings();
    FormatSettings().LongDateFormat = L"dddddd-";
    std::wstring nested = L"dddddd";
    ASSERT_TRUE(ParseDateTimeFormat(&nested, info));
    EXPECT_EQ(kinds(info), L"0:-- ");
    FormatSettings() = saved;
}

TEST(KvFormatController, FollowsTheLocale) {
    const LocaleExpectations *table = nullptr;
    for (const LocaleExpectations &t : localeTables)
        if (localeName() == t.locale)
            table = &t;
    if (table == nullptr)
        GTEST_SKIP() << "no table for " << WideToUtf8(localeName());
    SCOPED_TRACE(WideToUtf8(table->locale));
    TOwned<TkvFormatController> controller(New<TkvFormatController>());
    EXPECT_EQ(controller->StandardDateEditMask(), table->standardDateMask);
    EXPECT_EQ(controller->DateEditMask(), table->standardDateMask);
    EXPECT_EQ(controller->StandardDateTimeEditMask(), table->standardDateTimeMask);
    EXPECT_EQ(StandardMaskOfFormatInfo(controller->TimeFormatInfo(), smmTime), table->standardTimeMask);
    EXPECT_EQ(controller->MaskedDateEditFormat(), table->maskedDateFormat);
    EXPECT_EQ(controller->MaskedDateTimeEditFormat(), table->maskedDateTimeFormat);
    EXPECT_EQ(controller->DateEditFormat(false), table->dateEditFormat);
    EXPECT_EQ(controller->CurrencyFormat(), table->currencyFormat);
    EXPECT_EQ(controller->StartOfWeek(), table->startOfWeek);
    for (const wchar_t *text : table->dates)
        EXPECT_TRUE(matches(controller->RegExprDateEditMask(), text)) << WideToUtf8(text);
    for (const wchar_t *text : table->dateTimes)
        EXPECT_TRUE(matches(controller->RegExprDateTimeEditMask(), text)) << WideToUtf8(text);
    for (const wchar_t *text : table->refused)
        EXPECT_FALSE(matches(controller->RegExprDateEditMask(), text)) << WideToUtf8(text);

    // Assigned values stay whatever the locale does.
    controller->SetStandardDateEditMask(L"!99;1; ");
    controller->SetStartOfWeek(3);
    controller->SetCurrencyFormat(L"0");
    controller->LoadLocaleFormats();
    EXPECT_EQ(controller->StandardDateEditMask(), L"!99;1; ");
    EXPECT_EQ(controller->DateEditMask(), table->standardDateMask);
    EXPECT_EQ(controller->StartOfWeek(), 3);
    EXPECT_EQ(controller->CurrencyFormat(), L"0");
}

TEST(KvFormatController, CurrencyFormsFollowThePatterns) {
    TFormatSettings saved = FormatSettings();
    FormatSettings().CurrencyString = L"kr.";
    FormatSettings().CurrencyDecimals = 1;
    const wchar_t *negatives[16] = {
        L"(kr'.',0.0)",  L"-kr'.',0.0",  L"kr'.'-,0.0",  L"kr'.',0.0-",  L"(,0.0kr'.')", L"-,0.0kr'.'",
        L",0.0-kr'.'",   L",0.0kr'.'-",  L"-,0.0 kr'.'", L"-kr'.' ,0.0", L",0.0 kr'.'-", L"kr'.' ,0.0-",
        L"kr'.' -,0.0",  L",0.0- kr'.'", L"(kr'.' ,0.0)", L"(,0.0 kr'.')"};
    const wchar_t *positives[4] = {L"kr'.',0.0", L",0.0kr'.'", L"kr'.' ,0.0", L",0.0 kr'.'"};
    for (int p = 0; p < 4; ++p)
        for (int n = 0; n < 16; ++n) {
            FormatSettings().CurrencyFormat = static_cast<std::uint8_t>(p);
            FormatSettings().NegCurrFormat = static_cast<std::uint8_t>(n);
            EXPECT_EQ(CurrencyFormatOfSettings(), std::wstring(positives[p]) + L";" + negatives[n]);
        }
    FormatSettings() = saved;
}

namespace {

struct Listener : IkvFormatChangedListener {
    int formatChanges = 0;
    std::function<void()> onChange;
    void FormatChanged() override {
        ++formatChanges;
        if (onChange)
            onChange();
    }
};

struct ClockListener : Listener, IkvFormatChangedListener2 {
    int timeChanges = 0;
    void TimeChanged() override { ++timeChanges; }
};

void broadcastSettingChange(const wchar_t *section) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(section), SMTO_ABORTIFHUNG,
                        2000, &result);
}

std::wstring userShortDate() {
    wchar_t buffer[128] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, 128);
    return buffer;
}

} // namespace

TEST(KvFormatController, SettingAndClockChangesReachTheListeners) {
    TOwned<TkvFormatController> controller(New<TkvFormatController>());
    Listener plain;
    ClockListener clock;
    EXPECT_EQ(controller->WindowHandle(), nullptr);
    controller->AddListener(&plain);
    controller->AddListener(&clock);
    controller->AddListener(&plain); // once only
    EXPECT_EQ(controller->ListenerCount(), 2);
    ASSERT_NE(controller->WindowHandle(), nullptr);

    // Another section, or a metric change, is not a format change.
    broadcastSettingChange(L"Windows");
    broadcastSettingChange(L"intlx");
    SendMessageW(controller->WindowHandle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS,
                 reinterpret_cast<LPARAM>(L"intl"));
    EXPECT_EQ(plain.formatChanges, 0);
    EXPECT_EQ(clock.formatChanges, 0);

    // A new short date format, announced, reaches each listener once and is taken up.
    std::wstring original = userShortDate();
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy-M-d"));
    broadcastSettingChange(L"intl");
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, original.c_str());
    EXPECT_EQ(plain.formatChanges, 1);
    EXPECT_EQ(clock.formatChanges, 1);
    EXPECT_EQ(controller->StandardDateEditMask(), L"!9999\\-99\\-99;1; ");
    EXPECT_EQ(controller->DateEditFormat(false), L"yyyy-MM-dd");
    broadcastSettingChange(L"intl");
    EXPECT_EQ(userShortDate(), original);
    EXPECT_EQ(plain.formatChanges, 2);
    EXPECT_NE(controller->StandardDateEditMask(), L"!9999\\-99\\-99;1; ");

    // A clock change reaches only those that listen for it.
    SendMessageW(controller->WindowHandle(), WM_TIMECHANGE, 0, 0);
    EXPECT_EQ(clock.timeChanges, 1);
    EXPECT_EQ(plain.formatChanges, 2);

    // A listener that leaves while told does not keep the others from hearing.
    plain.onChange = [&] { controller->RemoveListener(&plain); };
    SendMessageW(controller->WindowHandle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    EXPECT_EQ(plain.formatChanges, 3);
    EXPECT_EQ(clock.formatChanges, 3);
    EXPECT_EQ(controller->ListenerCount(), 1);
    // The last one to leave, from inside the window's own message, takes the window with it.
    clock.onChange = [&] { controller->RemoveListener(&clock); };
    SendMessageW(controller->WindowHandle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    EXPECT_EQ(clock.formatChanges, 4);
    EXPECT_EQ(controller->ListenerCount(), 0);
    EXPECT_EQ(controller->WindowHandle(), nullptr);
}

TEST(KvFormatController, OneGlobalInstanceUntilTheUnitStops) {
    kvFormatsUnit.Start();
    TkvFormatController *global = FormatControllerInstance();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(FormatControllerInstance(), global);
    // Another controller does not replace it.
    TOwned<TkvFormatController> other(New<TkvFormatController>());
    EXPECT_EQ(FormatControllerInstance(), global);
    kvFormatsUnit.Stop();
    // Made again on the next use.
    TkvFormatController *again = FormatControllerInstance();
    ASSERT_NE(again, nullptr);
    kvFormatsUnit.Start();
    kvFormatsUnit.Stop();
}
