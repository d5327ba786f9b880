// The spin edit on a real form with real input: a new editor's "0", the stepping table through
// Spin and through the keys (with the Ctrl rule), holding a button (a step at once, then after
// 400 ms, then every 100 ms, until release), the wheel, typed characters and their refusal,
// validation with and without exceptions, and captures in each painter.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/string_utils.h>
#include <classlib/units.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "capture.h"
#include "forms_test_support.h"
#include "image_compare.h"
#include "input.h"
#include "kvSpinEdit.h"
#include "system_colors.h"
#include "theme.h"

using namespace formstest;

namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();

void typeChars(const std::wstring &text) {
    for (wchar_t c : text) {
        INPUT input[2]{};
        for (INPUT &i : input) {
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = c;
            i.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
    settle(150);
}

void pressWith(WORD vk, WORD modifier) {
    if (modifier != 0)
        sendKey(modifier, false);
    typeKey(vk);
    if (modifier != 0)
        sendKey(modifier, true);
    settle(100);
}

class KvSpinEditTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        InitForms();
        units_ = new UnitScope{&kvSpinEditUnit};
        shown_ = new ShownForm;
        form = shown_->form;
        form->SetBorderStyle(bsNone);
        form->SetColor(clBtnFace);
        form->SetBounds(60, 60, 360, 220);
        ASSERT_TRUE(shown_->show());
    }
    void TearDown() override {
        SetExceptionHandler(nullptr);
        delete shown_;
        shown_ = nullptr;
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

    TkvSpinEdit *addSpin(int left, int top, int width = 121) {
        TkvSpinEdit *edit = New<TkvSpinEdit>(form);
        edit->SetParent(form);
        edit->SetBounds(left, top, width, 21);
        edit->HandleNeeded();
        settle(30);
        return edit;
    }
    bool focus(TkvCustomSpinEdit *edit) {
        edit->SetFocus();
        return pumpUntil([&] {
            return edit->InnerControl()->HandleAllocated() && GetFocus() == edit->InnerControl()->Handle();
        });
    }
    static TPoint middle(const TRect &r) { return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static TRect buttonRect(TkvCustomSpinEdit *edit, int index) {
        TkvCustomEditViewInfo *info = edit->ViewInfo();
        for (int j = 0; j < info->ButtonCount(); ++j)
            if (info->Button(j)->Index == index)
                return info->Button(j)->Bounds;
        return TRect{};
    }

    TForm *form = nullptr;

private:
    UnitScope *units_ = nullptr;
    ShownForm *shown_ = nullptr;
};

TEST_F(KvSpinEditTest, ANewSpinEditHoldsTheIntegerZero) {
    TkvSpinEdit *edit = addSpin(10, 10);
    EXPECT_EQ(edit->Text(), L"0");
    EXPECT_EQ(edit->EditValue().VarType(), varInt64);
    EXPECT_EQ(edit->Value().AsInt64(), 0);
    EXPECT_EQ(edit->ActiveProperties()->ValueType(), vtInt) << "the editor's provider gives integers";
    EXPECT_EQ(edit->Properties()->Buttons()->Count(), 2);
    EXPECT_FALSE(edit->IsValueStored());
    // The program's road: a float edit value, the text read back.
    edit->SetEditValue(Variant(512.0));
    EXPECT_EQ(edit->Text(), L"512");
    EXPECT_TRUE(edit->IsValueStored());
}

struct SpinRow {
    double min, max;
    bool minAssigned, maxAssigned;
    bool wrap;
    double increment;
    std::int64_t value;
    int button;
    bool changes;
    std::int64_t expected;
    const char *why;
};

TEST_F(KvSpinEditTest, TheSteppingTableThroughSpin) {
    const SpinRow rows[] = {
        {0, 0, false, false, false, 1, int64Max, kvSpinButtonUp, false, int64Max, "no bounds: the top stays"},
        {0, 0, false, false, false, 1, int64Min, kvSpinButtonDown, false, int64Min, "and the bottom"},
        {0, 10, true, true, false, 1, 10, kvSpinButtonUp, false, 10, "up from the maximum"},
        {0, 10, true, true, false, 1, 3, kvSpinButtonFastDown, true, 0, "page down clamps"},
        {0, 10, true, true, true, 3, 9, kvSpinButtonUp, true, 1, "wraps with a period of 11"},
        {0, 10, true, true, true, 3, 1, kvSpinButtonDown, true, 9, "and back"},
        {0, 10, true, true, false, 1, 15, kvSpinButtonUp, false, 15, "above: up fails"},
        {0, 10, true, true, false, 1, 15, kvSpinButtonDown, true, 10, "above: down goes to the maximum"},
        {5, 5, true, true, false, 1, 100, kvSpinButtonUp, true, 101, "equal bounds define none"},
        {20, 10, true, false, false, 10, 25, kvSpinButtonDown, true, 20, "only the assigned minimum"},
        {20, 10, false, true, false, 10, 5, kvSpinButtonUp, true, 10, "only the assigned maximum"},
        {20, 10, true, true, false, 10, 5, kvSpinButtonUp, true, 15, "both assigned but crossed: none"},
        {0, 100, true, true, false, 2.5, 0, kvSpinButtonUp, true, 2, "2.5 rounds to 2"},
        {0, 100, true, true, false, 3.5, 0, kvSpinButtonUp, true, 4, "3.5 rounds to 4"},
        {-10, 1e19, true, true, false, 1, int64Max - 1, kvSpinButtonUp, true, int64Max,
         "a maximum beyond 64 bits is the largest value"},
    };
    TkvSpinEdit *edit = addSpin(10, 10, 200);
    for (const SpinRow &row : rows) {
        TkvSpinEditProperties *p = edit->Properties();
        p->BeginUpdate();
        p->AssignedValues()->SetMinValue(false);
        p->AssignedValues()->SetMaxValue(false);
        if (row.minAssigned)
            p->SetMinValue(row.min);
        if (row.maxAssigned)
            p->SetMaxValue(row.max);
        p->SetWrapAround(row.wrap);
        p->SetIncrement(row.increment);
        p->EndUpdate();
        edit->SetEditValue(Variant(row.value));
        const std::wstring before = edit->Text();
        EXPECT_EQ(edit->Spin(row.button), row.changes) << row.why;
        EXPECT_EQ(edit->Text(), IntToStr(row.expected)) << row.why;
        EXPECT_EQ(edit->Value().AsInt64(), row.expected) << row.why;
        if (!row.changes) {
            EXPECT_EQ(edit->Text(), before) << row.why;
        }
    }
}

TEST_F(KvSpinEditTest, KeysStepAndTheCtrlRule) {
    TkvSpinEdit *edit = addSpin(10, 10);
    edit->Properties()->SetMinValue(0);
    edit->Properties()->SetMaxValue(30);
    ASSERT_TRUE(focus(edit));
    int changes = 0;
    edit->Properties()->OnChange = [&](TObject *) { ++changes; };
    typeKey(VK_UP);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"1"; }));
    typeKey(VK_PRIOR);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"11"; }));
    typeKey(VK_DOWN);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"10"; }));
    typeKey(VK_NEXT);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"0"; }));
    typeKey(VK_NEXT);
    settle(100);
    EXPECT_EQ(edit->Text(), L"0") << "clamped at the minimum";
    EXPECT_GE(changes, 4);
    EXPECT_TRUE(edit->EditModified());
    EXPECT_EQ(edit->KeyboardSpinState(), 0) << "released keys end the spin";

    // With UseCtrlIncrement a plain arrow goes to the text; Ctrl makes it step.
    edit->Properties()->SetUseCtrlIncrement(true);
    typeKey(VK_UP);
    settle(100);
    EXPECT_EQ(edit->Text(), L"0");
    pressWith(VK_UP, VK_CONTROL);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"1"; }));

    // Typing: what an integer takes, what it refuses.
    edit->SelectAll();
    typeChars(L"2a.,5");
    EXPECT_EQ(edit->Text(), L"25");
    EXPECT_EQ(edit->Value().AsInt64(), 25);
    typeKey(VK_RETURN);
    settle(100);
    EXPECT_EQ(edit->Text(), L"25");
}

} // namespace
