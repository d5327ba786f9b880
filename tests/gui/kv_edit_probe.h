// A painted editor for the editor tests: its text is the edit value's, typing appends to it
// as user input, and it records its clipboard calls and button events.
#ifndef KV_EDIT_PROBE_H
#define KV_EDIT_PROBE_H

#include <windows.h>

#include <kvEdit.h>

#include <string>
#include <vector>

namespace kvedittest {

inline std::wstring textOf(const Variant &value) {
    if (value.IsNull() || value.IsEmpty())
        return std::wstring{};
    return value.AsWideString();
}

// Validates and compares values, as the text editors do; like every editor but the text
// editors, it cannot reset.
class TProbeEditProperties : public TkvCustomEditProperties {
    CL_CLASS(TProbeEditProperties, TkvCustomEditProperties)

public:
    bool CanValidate() override { return true; }
    bool CanCompareEditValues() override { return true; }
};

class TProbeRepositoryItem : public TkvEditRepositoryItem {
    CL_CLASS(TProbeRepositoryItem, TkvEditRepositoryItem)

public:
    TClass GetPropertiesClass() override { return TProbeEditProperties::ClassInfo(); }
};

class TProbeEdit : public TkvCustomEdit {
    CL_CLASS(TProbeEdit, TkvCustomEdit)

public:
    std::wstring Shown;
    std::vector<std::wstring> Log;
    // When 0 or more, every button is drawn in that state.
    int ForcedButtonState = -1;

    TClass GetPropertiesClass() override { return TProbeEditProperties::ClassInfo(); }
    std::wstring GetDisplayText() override { return Shown; }
    void SynchronizeDisplayValue() override {
        Shown = textOf(EditValue());
        if (HandleAllocated())
            Invalidate();
    }
    void InternalSetDisplayValue(const Variant &value) override { Shown = textOf(value); }
    void SetInnerEditDisplayValue(const Variant &value) override { Shown = textOf(value); }
    bool IsTextChangingChar(wchar_t ch) override { return ch >= 32; }
    void DoEditKeyPress(wchar_t &key) override {
        inherited::DoEditKeyPress(key);
        if (key < 32)
            return;
        const wchar_t typed = key;
        key = 0;
        SetUserInput(true);
        try {
            SetEditValue(Variant(Shown + typed));
        } catch (...) {
            SetUserInput(false);
            throw;
        }
        SetUserInput(false);
    }
    void CopyToClipboard() override { Log.push_back(L"copy"); }
    void CutToClipboard() override { Log.push_back(L"cut"); }
    void PasteFromClipboard() override { Log.push_back(L"paste"); }
    void DoButtonDown(int index) override { Log.push_back(L"down " + std::to_wstring(index)); }
    void DoButtonUp(int index) override { Log.push_back(L"up " + std::to_wstring(index)); }
    void DoButtonClick(int index) override {
        Log.push_back(L"click " + std::to_wstring(index));
        inherited::DoButtonClick(index);
    }
    TkvCustomEditViewData *CreateViewData() override {
        TkvCustomEditViewData *data = inherited::CreateViewData();
        if (ForcedButtonState >= 0)
            data->OnButtonStateCalculated = [this](TkvCustomEditViewData *, int &state) { state = ForcedButtonState; };
        return data;
    }
    int logCount(const std::wstring &entry) const {
        int n = 0;
        for (const std::wstring &e : Log)
            n += e == entry ? 1 : 0;
        return n;
    }
};

} // namespace kvedittest

#endif
