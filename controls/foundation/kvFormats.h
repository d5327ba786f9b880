// kvFormats: the format controller, the one object that derives from the locale the date and
// time formats the editors use (parsed format descriptions, standard and regular-expression edit
// masks, display and edit formats), the currency format and the first day of the week, and that
// follows locale and clock changes through a hidden window and tells its listeners.
#ifndef KV_FORMATS_H
#define KV_FORMATS_H

#include <classlib/hidden_window.h>
#include <classlib/list.h>
#include <classlib/object.h>
#include <classlib/units.h>

#include <cstdint>
#include <string>
#include <vector>

enum TkvDateTimeFormatItemKind : std::uint8_t {
    dtikText,
    dtikYear,
    dtikMonth,
    dtikDay,
    dtikHour,
    dtikMin,
    dtikSec,
    dtikMSec,
    dtikTimeSuffix, // the AM/PM marker
    dtikDateSeparator,
    dtikTimeSeparator,
};
constexpr int kvDateTimeFormatItemKindCount = 11;

struct TkvDateTimeFormatItem {
    TkvDateTimeFormatItemKind Kind;
    std::wstring Text;
};

// The hour item's text starts with "12" or "24", the clock the format uses.
struct TkvDateTimeFormatInfo {
    bool DefinedItems[kvDateTimeFormatItemKindCount] = {};
    std::vector<TkvDateTimeFormatItem> Items;
};

enum TkvStandardMaskMode { smmDate, smmTime, smmDateTime };

// False for a format holding an era letter ("G"); the info is then empty.
bool ParseDateTimeFormat(const std::wstring *format, TkvDateTimeFormatInfo &info);
std::wstring StandardMaskOfFormatInfo(const TkvDateTimeFormatInfo &info, TkvStandardMaskMode mode);
std::wstring RegExprOfFormatInfo(const TkvDateTimeFormatInfo &info);
std::wstring DisplayFormatOfFormatInfo(const TkvDateTimeFormatInfo &info);
// The short date format with single "d" and "M" doubled; for masked edits also the first run of
// more than three "M" cut to three.
std::wstring DateEditFormatOf(const std::wstring &shortDateFormat, bool forMaskEdit);
// The positive and negative forms by the locale's patterns, "positive;negative".
std::wstring CurrencyFormatOfSettings();
// 0 Sunday .. 6 Saturday, from the thread locale.
int LocaleStartOfWeek();

// Told when the locale's formats changed.
struct IkvFormatChangedListener : IInterface {
    virtual void FormatChanged() = 0;
};

// {5E33A2A7-0C77-415F-A359-112103E54937}: a listener that also wants to hear of clock changes.
struct IkvFormatChangedListener2 : IInterface {
    virtual void TimeChanged() = 0;
};

class TkvFormatController : public TObject {
    CL_CLASS(TkvFormatController, TObject)
public:
    void Create();

    virtual void WndProc(TMessage &message);
    virtual void AddListener(IkvFormatChangedListener *listener);
    virtual void RemoveListener(IkvFormatChangedListener *listener);

    void LoadLocaleFormats();
    void NotifyFormatChanged();
    void NotifyTimeChanged();
    int ListenerCount() const noexcept { return listeners_.Count(); }
    HWND WindowHandle() const noexcept { return window_; }

    std::wstring CurrencyFormat() const { return currencyFormat_; }
    void SetCurrencyFormat(const std::wstring &value);
    int StartOfWeek() const noexcept { return startOfWeek_; }
    void SetStartOfWeek(int value);

    const TkvDateTimeFormatInfo &DateFormatInfo() const noexcept { return dateInfo_; }
    const TkvDateTimeFormatInfo &TimeFormatInfo() const noexcept { return timeInfo_; }
    const TkvDateTimeFormatInfo &DateTimeFormatInfo() const noexcept { return dateTimeInfo_; }

    std::wstring DateEditMask() const { return dateEditMask_; }
    std::wstring StandardDateEditMask() const { return standardDateEditMask_; }
    std::wstring StandardDateTimeEditMask() const { return standardDateTimeEditMask_; }
    std::wstring RegExprDateEditMask() const { return regExprDateEditMask_; }
    std::wstring RegExprDateTimeEditMask() const { return regExprDateTimeEditMask_; }
    // An assigned mask is kept from then on, whatever the locale does.
    void SetStandardDateEditMask(const std::wstring &value);
    void SetStandardDateTimeEditMask(const std::wstring &value);
    void SetRegExprDateEditMask(const std::wstring &value);
    void SetRegExprDateTimeEditMask(const std::wstring &value);

    std::wstring MaskedDateEditFormat() const { return maskedDateEditFormat_; }
    std::wstring MaskedDateTimeEditFormat() const { return maskedDateTimeEditFormat_; }
    std::wstring DateEditFormat(bool forMaskEdit) const;

protected:
    void Destroy() override;

private:
    void recompute(bool withWords);
    void handleWindowMessage(TMessage &message);

    TList<IkvFormatChangedListener *> listeners_;
    HWND window_ = nullptr;
    std::wstring currencyFormat_;
    bool currencyFormatAssigned_ = false;
    int startOfWeek_ = 0;
    bool startOfWeekAssigned_ = false;
    TkvDateTimeFormatInfo dateInfo_, timeInfo_, dateTimeInfo_;
    std::wstring dateEditMask_;
    std::wstring standardDateEditMask_;
    bool standardDateEditMaskAssigned_ = false;
    std::wstring standardDateTimeEditMask_;
    bool standardDateTimeEditMaskAssigned_ = false;
    std::wstring regExprDateEditMask_;
    bool regExprDateEditMaskAssigned_ = false;
    std::wstring regExprDateTimeEditMask_;
    bool regExprDateTimeEditMaskAssigned_ = false;
    std::wstring maskedDateEditFormat_;
    std::wstring maskedDateTimeEditFormat_;
    std::wstring dateEditFormat_;
};

// The global controller, made on first use and freed when the unit stops.
TkvFormatController *FormatControllerInstance();

extern TUnit kvFormatsUnit;

#endif
