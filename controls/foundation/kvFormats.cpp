#include "kvFormats.h"

#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/forms.h>
#include <classlib/string_utils.h>

#include <algorithm>
#include <cwchar>

#include "kvDateUtils.h"

namespace {

constinit TkvFormatController *globalInstance = nullptr;

wchar_t upperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool startsWithNoCase(const std::wstring &text, std::size_t at, const wchar_t *prefix) {
    std::size_t n = std::wcslen(prefix);
    return text.size() - at >= n && SameText(std::wstring_view(text).substr(at, n), prefix);
}

struct FormatParser {
    TkvDateTimeFormatInfo &info;
    wchar_t lastLetter = 0; // the last date-time letter read
    bool twelveHour = false;
    bool failed = false;

    void add(TkvDateTimeFormatItemKind kind, std::wstring text) {
        if (kind != dtikText && kind != dtikDateSeparator && kind != dtikTimeSeparator && info.DefinedItems[kind])
            return;
        info.DefinedItems[kind] = true;
        info.Items.push_back({kind, std::move(text)});
    }
    void addText(const std::wstring &text) {
        if (text.empty())
            return;
        if (!info.Items.empty() && info.Items.back().Kind == dtikText)
            info.Items.back().Text += text;
        else
            add(dtikText, text);
    }

    void parse(const std::wstring &format, int depth) {
        // A format that names itself, directly or not, would never end.
        if (depth > 2)
            return;
        std::size_t i = 0;
        while (i < format.size() && !failed) {
            wchar_t written = format[i];
            wchar_t c = upperAscii(written);
            std::size_t run = 1;
            while (i + run < format.size() && format[i + run] == written)
                ++run;
            if (c == L'M' && lastLetter == L'H')
                c = L'N';
            switch (c) {
            case L'\'':
            case L'"': {
                std::size_t close = format.find(written, i + 1);
                std::size_t end = close == std::wstring::npos ? format.size() : close;
                addText(format.substr(i + 1, end - i - 1));
                i = close == std::wstring::npos ? format.size() : close + 1;
                continue;
            }
            case L'/': add(dtikDateSeparator, L"/"); i += 1; continue;
            case L':': add(dtikTimeSeparator, L":"); i += 1; continue;
            case L'E':
            case L'Y': add(dtikYear, run > 2 ? L"YYYY" : L"YY"); break;
            case L'M': add(dtikMonth, std::wstring(std::min<std::size_t>(run, 4), L'M')); break;
            case L'D':
                if (run <= 4)
                    add(dtikDay, std::wstring(run, L'D'));
                else
                    parse(run == 5 ? FormatSettings().ShortDateFormat : FormatSettings().LongDateFormat, depth + 1);
                break;
            case L'H':
                add(dtikHour, std::wstring(std::min<std::size_t>(run, 2), L'H'));
                break;
            case L'N': add(dtikMin, std::wstring(std::min<std::size_t>(run, 2), L'N')); break;
            case L'S': add(dtikSec, std::wstring(std::min<std::size_t>(run, 2), L'S')); break;
            case L'Z': add(dtikMSec, std::wstring(std::min<std::size_t>(run, 3), L'Z')); break;
            case L'T':
                parse(run == 1 ? FormatSettings().ShortTimeFormat : FormatSettings().LongTimeFormat, depth + 1);
                break;
            case L'C':
                parse(FormatSettings().ShortDateFormat + L" " + FormatSettings().LongTimeFormat, depth + 1);
                run = 1;
                break;
            case L'A': {
                const wchar_t *markers[] = {L"AM/PM", L"AMPM", L"A/P"};
                bool marker = false;
                for (const wchar_t *m : markers)
                    if (startsWithNoCase(format, i, m)) {
                        add(dtikTimeSuffix, m);
                        twelveHour = true;
                        i += std::wcslen(m);
                        marker = true;
                        break;
                    }
                if (marker) {
                    lastLetter = L'A';
                    continue;
                }
                if (run == 3 || run == 4) {
                    add(dtikDay, std::wstring(run, L'D'));
                    break;
                }
                addText(std::wstring(1, written));
                i += 1;
                continue;
            }
            case L'G': failed = true; continue;
            default: addText(std::wstring(run, written)); i += run; continue;
            }
            lastLetter = c;
            i += run;
        }
    }
};

bool isKind(const TkvDateTimeFormatItem &item, TkvDateTimeFormatItemKind kind) { return item.Kind == kind; }

std::wstring quoted(const std::wstring &text) {
    std::wstring result = L"'";
    for (wchar_t c : text) {
        if (c == L'\'')
            result += L'\'';
        result += c;
    }
    return result + L"'";
}

std::wstring separatorExpression(wchar_t separator) {
    if (separator == L' ')
        return L"' '";
    return std::wstring(L"\\") + separator;
}

std::wstring currencyText() {
    std::wstring result;
    for (wchar_t c : FormatSettings().CurrencyString) {
        if (c == L',' || c == L'.')
            result += std::wstring(L"'") + c + L"'";
        else
            result += c;
    }
    return result;
}

} // namespace

bool ParseDateTimeFormat(const std::wstring *format, TkvDateTimeFormatInfo &info) {
    info = TkvDateTimeFormatInfo();
    FormatParser parser{info};
    parser.parse(format == nullptr ? std::wstring(L"C") : *format, 0);
    if (parser.failed) {
        info = TkvDateTimeFormatInfo();
        return false;
    }
    auto hour = std::find_if(info.Items.begin(), info.Items.end(), [](auto &i) { return isKind(i, dtikHour); });
    if (hour != info.Items.end()) {
        hour->Text = (parser.twelveHour ? L"12" : L"24") + hour->Text;
    } else if (info.DefinedItems[dtikTimeSuffix]) {
        info.Items.erase(std::remove_if(info.Items.begin(), info.Items.end(),
                                        [](auto &i) { return isKind(i, dtikTimeSuffix); }),
                         info.Items.end());
        info.DefinedItems[dtikTimeSuffix] = false;
    }
    return true;
}

std::wstring StandardMaskOfFormatInfo(const TkvDateTimeFormatInfo &info, TkvStandardMaskMode mode) {
    if (info.Items.empty())
        return std::wstring();
    std::wstring mask = mode == smmTime ? L"" : L"!";
    for (const TkvDateTimeFormatItem &item : info.Items) {
        switch (item.Kind) {
        case dtikText:
            for (wchar_t c : item.Text) {
                mask += L'\\';
                mask += c;
            }
            break;
        case dtikYear: mask += item.Text.size() > 2 ? L"9999" : L"99"; break;
        case dtikMonth:
        case dtikDay: mask += item.Text.size() > 2 ? L"lll" : L"99"; break;
        case dtikHour:
        case dtikMin:
        case dtikSec: mask += mode == smmTime ? L"00" : L"99"; break;
        case dtikTimeSuffix:
            if (item.Text == L"A/P")
                mask += L"c";
            else if (item.Text == L"AM/PM")
                mask += L"cc";
            else
                mask += std::wstring(std::max(FormatSettings().TimeAMString.size(), FormatSettings().TimePMString.size()), L'c');
            break;
        case dtikDateSeparator: mask += L'/'; break;
        case dtikTimeSeparator: mask += L':'; break;
        case dtikMSec: break;
        }
    }
    return mask + (mode == smmTime ? L";1;0" : L";1; ");
}

std::wstring RegExprOfFormatInfo(const TkvDateTimeFormatInfo &info) {
    const TFormatSettings &settings = FormatSettings();
    std::wstring result;
    for (const TkvDateTimeFormatItem &item : info.Items) {
        switch (item.Kind) {
        case dtikText: result += quoted(item.Text); break;
        case dtikYear: result += item.Text.size() == 2 ? L"\\d\\d" : L"\\d\\d\\d\\d"; break;
        case dtikMonth: {
            result += L"((0?[1-9]|1[012])|(";
            const std::wstring *names = item.Text.size() == 4 ? settings.LongMonthNames : settings.ShortMonthNames;
            for (int i = 0; i < 12; ++i)
                result += (i > 0 ? L"|" : L"") + quoted(names[i]);
            result += L"))";
            break;
        }
        case dtikDay: result += L"([012]?[1-9]|[123]0|31)"; break;
        case dtikDateSeparator: result += separatorExpression(settings.DateSeparator); break;
        case dtikHour:
            result += item.Text.compare(0, 2, L"12") == 0 ? L"(0?[1-9]|1[012])" : L"([01]?\\d|2[0-3])";
            break;
        case dtikMin:
        case dtikSec: result += L"[0-5]?\\d"; break;
        case dtikTimeSuffix:
            if (item.Text == L"A/P") {
                result += L"(A|P)?";
            } else if (item.Text == L"AM/PM") {
                result += L"(AM|PM)?";
            } else {
                const std::wstring &am = settings.TimeAMString, &pm = settings.TimePMString;
                if (!am.empty() && !pm.empty())
                    result += L"(" + quoted(am) + L"|" + quoted(pm) + L")?";
                else if (!am.empty() || !pm.empty())
                    result += L"(" + quoted(am.empty() ? pm : am) + L")?";
            }
            break;
        case dtikTimeSeparator: result += separatorExpression(settings.TimeSeparator); break;
        case dtikMSec: break;
        }
    }
    return result;
}

std::wstring DisplayFormatOfFormatInfo(const TkvDateTimeFormatInfo &info) {
    std::wstring result;
    for (const TkvDateTimeFormatItem &item : info.Items) {
        switch (item.Kind) {
        case dtikText: result += quoted(item.Text); break;
        case dtikYear:
        case dtikTimeSuffix: result += LowerCase(item.Text); break;
        case dtikMonth: result += item.Text.size() > 2 ? L"mmm" : L"mm"; break;
        case dtikDay: result += item.Text.size() > 2 ? L"ddd" : L"dd"; break;
        case dtikHour: result += L"hh"; break;
        case dtikMin: result += L"nn"; break;
        case dtikSec: result += L"ss"; break;
        case dtikDateSeparator: result += L'/'; break;
        case dtikTimeSeparator: result += L':'; break;
        case dtikMSec: break;
        }
    }
    return result;
}

std::wstring DateEditFormatOf(const std::wstring &format, bool forMaskEdit) {
    std::wstring result;
    bool monthsCut = false;
    for (std::size_t i = 0; i < format.size();) {
        wchar_t c = format[i];
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if ((c == L'd' || c == L'M') && run == 1)
            result.append(2, c);
        else if (forMaskEdit && c == L'M' && run > 3 && !monthsCut) {
            result.append(3, c);
            monthsCut = true;
        } else
            result.append(run, c);
        i += run;
    }
    return result;
}

std::wstring CurrencyFormatOfSettings() {
    const TFormatSettings &settings = FormatSettings();
    std::wstring number = L",0." + std::wstring(settings.CurrencyDecimals, L'0');
    std::wstring symbol = currencyText();
    std::wstring positive;
    switch (settings.CurrencyFormat) {
    case 0: positive = symbol + number; break;
    case 1: positive = number + symbol; break;
    case 2: positive = symbol + L" " + number; break;
    default: positive = number + L" " + symbol; break;
    }
    std::wstring negative;
    switch (settings.NegCurrFormat) {
    case 0: negative = L"(" + symbol + number + L")"; break;
    case 1: negative = L"-" + symbol + number; break;
    case 2: negative = symbol + L"-" + number; break;
    case 3: negative = symbol + number + L"-"; break;
    case 4: negative = L"(" + number + symbol + L")"; break;
    case 5: negative = L"-" + number + symbol; break;
    case 6: negative = number + L"-" + symbol; break;
    case 7: negative = number + symbol + L"-"; break;
    case 8: negative = L"-" + number + L" " + symbol; break;
    case 9: negative = L"-" + symbol + L" " + number; break;
    case 10: negative = number + L" " + symbol + L"-"; break;
    case 11: negative = symbol + L" " + number + L"-"; break;
    case 12: negative = symbol + L" -" + number; break;
    case 13: negative = number + L"- " + symbol; break;
    case 14: negative = L"(" + symbol + L" " + number + L")"; break;
    default: negative = L"(" + number + L" " + symbol + L")"; break;
    }
    return positive + L";" + negative;
}

int LocaleStartOfWeek() {
    wchar_t buffer[8] = {};
    int value = 0;
    if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IFIRSTDAYOFWEEK, buffer, 8) > 1 && buffer[0] >= L'0' &&
        buffer[0] <= L'6')
        value = buffer[0] - L'0';
    return (value + 1) % 7;
}

// ---- the controller

void TkvFormatController::Create() {
    if (globalInstance == nullptr)
        globalInstance = this;
    LoadLocaleFormats();
}

void TkvFormatController::Destroy() {
    if (window_ != nullptr) {
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
    if (globalInstance == this)
        globalInstance = nullptr;
    inherited::Destroy();
}

void TkvFormatController::LoadLocaleFormats() {
    if (!currencyFormatAssigned_)
        currencyFormat_ = CurrencyFormatOfSettings();
    if (!startOfWeekAssigned_)
        startOfWeek_ = LocaleStartOfWeek();
    recompute(true);
    dateEditFormat_ = DateEditFormatOf(FormatSettings().ShortDateFormat, false);
}

void TkvFormatController::recompute(bool withWords) {
    const TFormatSettings &settings = FormatSettings();
    std::wstring dateTimeFormat = settings.ShortDateFormat + L" " + settings.LongTimeFormat;
    ParseDateTimeFormat(&settings.ShortDateFormat, dateInfo_);
    ParseDateTimeFormat(&settings.LongTimeFormat, timeInfo_);
    ParseDateTimeFormat(&dateTimeFormat, dateTimeInfo_);

    dateEditMask_ = StandardMaskOfFormatInfo(dateInfo_, smmDate);
    if (!standardDateEditMaskAssigned_)
        standardDateEditMask_ = dateEditMask_;
    std::wstring dateExpression = RegExprOfFormatInfo(dateInfo_);
    if (!regExprDateEditMaskAssigned_)
        regExprDateEditMask_ =
            withWords && !dateExpression.empty() ? AddDateWordsToRegExprMask(dateExpression, false) : dateExpression;
    if (!regExprDateTimeEditMaskAssigned_) {
        std::wstring expression;
        if (!dateExpression.empty())
            expression = dateExpression + L"' '(" + RegExprOfFormatInfo(timeInfo_) + L")?";
        regExprDateTimeEditMask_ =
            withWords && !expression.empty() ? AddDateWordsToRegExprMask(expression, true) : expression;
    }
    if (!standardDateTimeEditMaskAssigned_)
        standardDateTimeEditMask_ = StandardMaskOfFormatInfo(dateTimeInfo_, smmDateTime);
    maskedDateEditFormat_ = DisplayFormatOfFormatInfo(dateInfo_);
    maskedDateTimeEditFormat_ = DisplayFormatOfFormatInfo(dateTimeInfo_);
}

std::wstring TkvFormatController::DateEditFormat(bool forMaskEdit) const {
    return forMaskEdit ? DateEditFormatOf(FormatSettings().ShortDateFormat, true) : dateEditFormat_;
}

void TkvFormatController::SetCurrencyFormat(const std::wstring &value) {
    currencyFormat_ = value;
    currencyFormatAssigned_ = true;
}

void TkvFormatController::SetStartOfWeek(int value) {
    startOfWeek_ = value;
    startOfWeekAssigned_ = true;
}

void TkvFormatController::SetStandardDateEditMask(const std::wstring &value) {
    standardDateEditMask_ = value;
    standardDateEditMaskAssigned_ = true;
}

void TkvFormatController::SetStandardDateTimeEditMask(const std::wstring &value) {
    standardDateTimeEditMask_ = value;
    standardDateTimeEditMaskAssigned_ = true;
}

void TkvFormatController::SetRegExprDateEditMask(const std::wstring &value) {
    regExprDateEditMask_ = value;
    regExprDateEditMaskAssigned_ = true;
}

void TkvFormatController::SetRegExprDateTimeEditMask(const std::wstring &value) {
    regExprDateTimeEditMask_ = value;
    regExprDateTimeEditMaskAssigned_ = true;
}

void TkvFormatController::AddListener(IkvFormatChangedListener *listener) {
    if (listener == nullptr || listeners_.IndexOf(listener) >= 0)
        return;
    if (window_ == nullptr)
        window_ = AllocateHWnd([this](TMessage &message) { handleWindowMessage(message); });
    listeners_.Add(listener);
}

void TkvFormatController::RemoveListener(IkvFormatChangedListener *listener) {
    listeners_.Remove(listener);
    if (listeners_.Empty() && window_ != nullptr) {
        // Safe from inside the window's own message.
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
}

// A listener may remove itself, or others, while it is told: each is told only while it is
// still registered.
void TkvFormatController::NotifyFormatChanged() {
    TList<IkvFormatChangedListener *> snapshot = listeners_;
    for (IkvFormatChangedListener *listener : snapshot)
        if (listeners_.IndexOf(listener) >= 0)
            listener->FormatChanged();
}

void TkvFormatController::NotifyTimeChanged() {
    TList<IkvFormatChangedListener *> snapshot = listeners_;
    for (IkvFormatChangedListener *listener : snapshot)
        if (listeners_.IndexOf(listener) >= 0)
            if (auto *timeListener = dynamic_cast<IkvFormatChangedListener2 *>(listener))
                timeListener->TimeChanged();
}

void TkvFormatController::WndProc(TMessage &message) {
    HWND window = window_;
    if (message.Msg == WM_SETTINGCHANGE && message.WParam == 0 && message.LParam != 0 &&
        std::wcscmp(reinterpret_cast<const wchar_t *>(message.LParam), L"intl") == 0) {
        if (Application == nullptr || Application->UpdateFormatSettings)
            GetFormatSettings();
        LoadLocaleFormats();
        NotifyFormatChanged();
        message.Result = 0;
    } else if (message.Msg == WM_TIMECHANGE) {
        NotifyTimeChanged();
        message.Result = 0;
    } else {
        DefaultHandler(window, message);
    }
}

void TkvFormatController::handleWindowMessage(TMessage &message) {
    GuardedCall(this, [&] { WndProc(message); });
}

TkvFormatController *FormatControllerInstance() {
    if (globalInstance == nullptr)
        New<TkvFormatController>();
    return globalInstance;
}

namespace {

void stopFormats() {
    TkvFormatController *instance = globalInstance;
    globalInstance = nullptr;
    Free(instance);
}

} // namespace

constinit TUnit kvFormatsUnit{L"kvFormats", nullptr, stopFormats};
