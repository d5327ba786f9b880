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
#include "kv_editor_support.h"
#include "kvEditButtonPainting.h"
#include "kvMaskEdit.h"
#include "kvSpinEdit.h"
#include "kvTextEdit.h"
#include "system_colors.h"
#include "theme.h"

using editortest::drainInput;
using editortest::EditorFormTest;
using editortest::pressWith;
using editortest::typeChars;
using namespace formstest;

namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();

// The left button goes down or up where the cursor is, without waiting: the test pumps itself
// and times what follows.
void leftButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(input));
}

void wheel(int notches) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(notches * WHEEL_DELTA);
    SendInput(1, &input, sizeof(input));
}

class KvSpinEditTest : public EditorFormTest {
protected:
    KvSpinEditTest() : EditorFormTest(&kvSpinEditUnit, 360, 220) {}

    void TearDown() override {
        SetExceptionHandler(nullptr);
        EditorFormTest::TearDown();
    }

    TkvSpinEdit *addSpin(int left, int top, int width = 121) {
        TkvSpinEdit *edit = placeEditor<TkvSpinEdit>(left, top, width);
        settle(30);
        return edit;
    }
    static TPoint middle(const TRect &r) { return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static TRect buttonRect(TkvCustomSpinEdit *edit, int index) {
        TkvCustomEditViewInfo *info = edit->ViewInfo();
        for (int j = 0; j < info->ButtonCount(); ++j)
            if (info->Button(j)->Index == index)
                return info->Button(j)->Bounds;
        return TRect{};
    }
};

TEST_F(KvSpinEditTest, ANewSpinEditHoldsTheIntegerZero) {
    TkvSpinEdit *edit = addSpin(10, 10);
    EXPECT_EQ(edit->Text(), L"0");
    EXPECT_EQ(edit->EditValue().VarType(), varInt64);
    EXPECT_EQ(edit->Value().AsInt64(), 0);
    EXPECT_EQ(edit->ActiveProperties()->ValueType(), vtInt) << "the editor's provider gives integers";
    EXPECT_EQ(edit->Properties()->Buttons()->Count(), 2);
    EXPECT_FALSE(edit->IsValueStored());
    const int registered = EditPropertiesRegistry()->FindByClass(TkvSpinEditProperties::ClassInfo());
    ASSERT_GE(registered, 0);
    EXPECT_EQ(EditPropertiesRegistry()->Items()->Strings(registered), L"SpinEdit|Represents a spin editor");
    // The program's road: a float edit value, the text read back.
    edit->SetEditValue(Variant(512.0));
    EXPECT_EQ(edit->Text(), L"512");
    EXPECT_TRUE(edit->IsValueStored());
    // Value takes numbers the type can hold; anything else is ignored.
    edit->SetValue(Variant(7));
    EXPECT_EQ(edit->Text(), L"7");
    EXPECT_EQ(edit->EditValue().VarType(), varInt64);
    edit->SetValue(Variant(L"8"));
    edit->SetValue(Variant(2.5));
    edit->SetValue(Variant::Null());
    EXPECT_EQ(edit->Text(), L"7");
    // An emptied text reads as Null; leaving validates it to 0 clamped to the bounds.
    edit->Properties()->SetMinValue(4);
    edit->Properties()->SetMaxValue(9);
    ASSERT_TRUE(focus(edit));
    edit->SelectAll();
    typeKey(VK_DELETE);
    ASSERT_TRUE(pumpUntil([&] { return edit->Text().empty(); }));
    EXPECT_EQ(edit->EditValue().AsInt64(), 7) << "typing changes only the text";
    TEdit *other = New<TEdit>(form);
    other->SetParent(form);
    other->SetBounds(10, 100, 80, 21);
    other->SetFocus();
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"4"; }));
    EXPECT_EQ(edit->Value().AsInt64(), 4);
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
    drainInput();
    EXPECT_EQ(edit->Text(), L"0") << "clamped at the minimum";
    EXPECT_GE(changes, 4);
    EXPECT_TRUE(edit->EditModified());
    EXPECT_EQ(edit->KeyboardSpinState(), 0) << "released keys end the spin";

    // With UseCtrlIncrement a plain arrow goes to the text; Ctrl makes it step.
    edit->Properties()->SetUseCtrlIncrement(true);
    typeKey(VK_UP);
    drainInput();
    EXPECT_EQ(edit->Text(), L"0");
    pressWith(VK_UP, VK_CONTROL);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"1"; }));

    // Typing: what an integer takes, what it refuses.
    edit->SelectAll();
    typeChars(L"2a.,5");
    EXPECT_EQ(edit->Text(), L"25");
    EXPECT_EQ(edit->Value().AsInt64(), 25);
    typeKey(VK_RETURN);
    drainInput();
    EXPECT_EQ(edit->Text(), L"25");
    // Validation shows the number as the type writes it, and the value follows.
    edit->SelectAll();
    typeChars(L"007");
    typeKey(VK_RETURN);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"7"; }));
    EXPECT_EQ(edit->EditValue().AsInt64(), 7);
}

TEST_F(KvSpinEditTest, HoldingAButtonRepeatsUntilRelease) {
    using Clock = std::chrono::steady_clock;
    TkvSpinEdit *edit = addSpin(10, 10);
    ASSERT_TRUE(focus(edit));
    std::vector<Clock::time_point> steps;
    edit->Properties()->OnEditValueChanged = [&](TObject *) { steps.push_back(Clock::now()); };
    const TRect up = buttonRect(edit, kvSpinButtonUp);
    ASSERT_FALSE(IsRectEmpty(&up));
    const TPoint at = middle(up);
    moveMouseTo(clientToScreen(edit->Handle(), POINT{at.x, at.y}));
    settle(50);
    leftButton(true);
    ASSERT_TRUE(pumpUntil([&] { return !steps.empty(); })) << "a step at once";
    EXPECT_EQ(edit->Text(), L"1");
    ASSERT_NE(edit->RepeatTimer(), nullptr);
    EXPECT_EQ(edit->RepeatTimer()->GetInterval(), 400u);
    EXPECT_EQ(edit->RepeatCount(), 0);
    ASSERT_TRUE(pumpUntil([&] { return steps.size() >= 8; })) << "repeats while held";
    EXPECT_EQ(edit->RepeatTimer()->GetInterval(), 100u) << "after the first repeat";
    leftButton(false);
    EXPECT_TRUE(pumpUntil([&] { return edit->RepeatTimer() == nullptr; })) << "the release frees the timer";
    const std::size_t count = steps.size();
    settle(400);
    EXPECT_EQ(steps.size(), count) << "no step after the release";
    EXPECT_EQ(static_cast<std::size_t>(edit->RepeatCount()), count - 1) << "every later step is the timer's";
    EXPECT_EQ(edit->Text(), IntToStr(static_cast<std::int64_t>(count)));

    // Timers never fire early (a late one says nothing but that the machine is busy). They keep
    // their schedule, so a tick handled late is followed by a shorter gap: the later steps are
    // timed together, from the first repeat to the last.
    auto ms = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    EXPECT_GE(ms(steps[1] - steps[0]), 350);
    const double later = static_cast<double>(ms(steps[count - 1] - steps[1])) / static_cast<double>(count - 2);
    EXPECT_GE(later, 80);

    // Another key ends a held button as well, and so does a focus change.
    steps.clear();
    leftButton(true);
    ASSERT_TRUE(pumpUntil([&] { return !steps.empty(); }));
    ASSERT_NE(edit->RepeatTimer(), nullptr);
    typeKey(VK_END);
    EXPECT_TRUE(pumpUntil([&] { return edit->RepeatTimer() == nullptr; }));
    leftButton(false);
    settle(50);
    TEdit *other = New<TEdit>(form);
    other->SetParent(form);
    other->SetBounds(10, 100, 80, 21);
    leftButton(true);
    ASSERT_TRUE(pumpUntil([&] { return edit->RepeatTimer() != nullptr; }));
    other->SetFocus();
    EXPECT_TRUE(pumpUntil([&] { return edit->RepeatTimer() == nullptr; }));
    leftButton(false);
    settle(50);
}

TEST_F(KvSpinEditTest, TheWheelSteps) {
    TkvSpinEdit *edit = addSpin(10, 10);
    ASSERT_TRUE(focus(edit));
    moveMouseTo(clientToScreen(edit->Handle(), POINT{20, 10}));
    wheel(1);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"1"; }));
    wheel(-1);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"0"; }));
    wheel(-1);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"-1"; }));
    EXPECT_TRUE(edit->EditModified());
}

TEST_F(KvSpinEditTest, FloatCharactersTakeTheDecimalSeparator) {
    TkvSpinEdit *edit = addSpin(10, 10);
    edit->Properties()->SetValueType(vtFloat);
    ASSERT_TRUE(focus(edit));
    edit->SelectAll();
    const std::wstring separator(1, FormatSettings().DecimalSeparator);
    typeChars(L"1,5x");
    EXPECT_EQ(edit->Text(), L"1" + separator + L"5") << "a comma becomes the separator; letters are refused";
    edit->SelectAll();
    typeChars(L"-2.25e1");
    EXPECT_EQ(edit->Text(), L"-2" + separator + L"25e1");
    EXPECT_DOUBLE_EQ(edit->Value().AsDouble(), -22.5);
    edit->Properties()->SetIncrement(0.5);
    typeKey(VK_UP);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"-22"; }));

    // With CanEdit off nothing is typed, but the keys still step.
    edit->Properties()->SetCanEdit(false);
    typeChars(L"7");
    EXPECT_EQ(edit->Text(), L"-22");
    typeKey(VK_UP);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"-21" + separator + L"5"; }));
}

TEST_F(KvSpinEditTest, ValidationOnEnterWithAndWithoutExceptions) {
    std::vector<std::wstring> raised;
    SetExceptionHandler([&](TObject *, const Exception &e) { raised.push_back(e.Message()); });
    TkvSpinEdit *edit = addSpin(10, 10);
    TkvSpinEditProperties *p = edit->Properties();
    p->SetMinValue(0);
    p->SetMaxValue(10);
    ASSERT_TRUE(focus(edit));

    // Not a number, no exceptions: refused silently, the text stays for correcting.
    edit->SelectAll();
    typeChars(L"1e3");
    EXPECT_EQ(edit->Text(), L"1e3") << "each character is acceptable";
    EXPECT_EQ(edit->Value().AsInt64(), 0) << "but the text is no integer: the spin value stays";
    typeKey(VK_RETURN);
    drainInput();
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(edit->Text(), L"1e3");
    EXPECT_FALSE(edit->ValidateEdit(false));

    // With exceptions: the same text raises "Invalid numeric value", reading Value too.
    p->SetExceptionOnInvalidInput(true);
    typeKey(VK_RETURN);
    EXPECT_TRUE(pumpUntil([&] { return !raised.empty(); }));
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0], L"Invalid numeric value");
    EXPECT_THROW(edit->Value(), Exception);

    // Typing itself never raises, however unfinished the number.
    raised.clear();
    edit->SelectAll();
    typeChars(L"-");
    typeChars(L"2e");
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(edit->Text(), L"-2e");

    // 15 in 0..10 is out of bounds.
    raised.clear();
    edit->SelectAll();
    typeChars(L"15");
    typeKey(VK_RETURN);
    EXPECT_TRUE(pumpUntil([&] { return !raised.empty(); }));
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0], L"Value out of bounds");
    EXPECT_EQ(edit->Text(), L"15");

    // A handler may read any text (and makes every character valid).
    raised.clear();
    p->OnGetValue = [](TObject *, const std::wstring &text, Variant &value, std::wstring &, bool &error) {
        if (text == L"max") {
            value = Variant(10);
            error = false;
        }
    };
    edit->SelectAll();
    typeChars(L"max");
    EXPECT_EQ(edit->Text(), L"max");
    typeKey(VK_RETURN);
    EXPECT_TRUE(pumpUntil([&] { return edit->Text() == L"10"; }));
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(edit->EditValue().AsInt64(), 10);
}

} // namespace

namespace {

// Rows: the look and feel kinds Standard, Flat, UltraFlat and Office 2003, then native painting.
// Columns: normal, the up button under the mouse, the down button held by the keyboard.
PixelBuffer captureSpinEdits(TForm *form) {
    constexpr int width = 90;
    constexpr int height = 21;
    struct Row {
        TkvLookAndFeelKind kind;
        bool native;
    } rows[] = {{lfStandard, false}, {lfFlat, false}, {lfUltraFlat, false}, {lfOffice11, false}, {lfStandard, true}};
    PixelBuffer all(3 * (width + 2), 5 * (height + 2), 0x00808080);
    TEdit *other = New<TEdit>(form);
    other->SetParent(form);
    other->SetBounds(250, 150, 60, 21);
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 3; ++column) {
            TkvSpinEdit *edit = New<TkvSpinEdit>(form);
            edit->SetParent(form);
            edit->SetBounds(20, 20, width, height);
            edit->Style()->LookAndFeel()->SetKind(rows[row].kind);
            edit->Style()->LookAndFeel()->SetNativeStyle(rows[row].native);
            edit->HandleNeeded();
            other->SetFocus();
            moveMouseTo(clientToScreen(form->Handle(), POINT{300, 100}));
            settle(60);
            TkvCustomEditViewInfo *info = edit->ViewInfo();
            if (column == 1) {
                for (int j = 0; j < info->ButtonCount(); ++j)
                    if (info->Button(j)->Index == kvSpinButtonUp) {
                        const TRect &r = info->Button(j)->Bounds;
                        moveMouseTo(clientToScreen(edit->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
                    }
                pumpUntil([&] {
                    TkvCustomEditViewInfo *now = edit->ViewInfo();
                    for (int j = 0; j < now->ButtonCount(); ++j)
                        if (now->Button(j)->Index == kvSpinButtonUp)
                            return now->Button(j)->State == kvebsHot;
                    return false;
                });
            }
            if (column == 2) {
                edit->SetFocus();
                pumpUntil([&] { return GetFocus() == edit->InnerControl()->Handle(); });
                sendKey(VK_DOWN, false);
                pumpUntil([&] { return edit->KeyboardSpinState() != 0; });
                HideCaret(edit->InnerControl()->Handle());
            }
            edit->Repaint();
            RedrawWindow(edit->InnerControl()->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
            settle(40);
            PixelBuffer shot = captureClient(edit->Handle());
            if (column == 2) {
                sendKey(VK_DOWN, true);
                settle(40);
            }
            for (int y = 0; y < height && y < shot.height; ++y)
                for (int x = 0; x < width && x < shot.width; ++x)
                    all.at(column * (width + 2) + x, row * (height + 2) + y) = shot.at(x, y);
            edit->Free();
            settle(20);
        }
    other->Free();
    return all;
}

// Escape while editing gives back the value before editing, all of it selected, in the text,
// masked and spin edits alike.
TEST_F(KvSpinEditTest, EscapeRestoresTheTextBeforeEditingAndSelectsIt) {
    std::vector<std::wstring> raised;
    SetExceptionHandler([&](TObject *, const Exception &e) { raised.push_back(e.Message()); });
    TkvTextEdit *text = placeEditor<TkvTextEdit>(10, 10, 121);
    TkvMaskEdit *mask = placeEditor<TkvMaskEdit>(10, 40, 121);
    TkvSpinEdit *spin = addSpin(10, 70);
    TkvTextEdit *other = placeEditor<TkvTextEdit>(10, 100, 121);
    spin->SetValue(Variant(512));
    for (TkvCustomTextEdit *edit : std::vector<TkvCustomTextEdit *>{text, mask, spin}) {
        SCOPED_TRACE(edit == text ? "text edit" : edit == mask ? "masked edit" : "spin edit");
        if (edit != spin)
            edit->SetText(L"512");
        ASSERT_TRUE(focus(edit));
        pressWith(VK_HOME, 0);
        pressWith(VK_END, VK_SHIFT);
        typeChars(L"600");
        ASSERT_EQ(edit->Text(), L"600");
        ASSERT_TRUE(edit->EditModified());
        pressWith(VK_ESCAPE, 0);
        EXPECT_EQ(edit->Text(), L"512");
        EXPECT_EQ(edit->SelStart(), 0);
        EXPECT_EQ(edit->SelLength(), 3);
        EXPECT_FALSE(edit->EditModified());
        ASSERT_TRUE(focus(other));
        EXPECT_EQ(edit->Text(), L"512") << "and leaving keeps it";
    }
    EXPECT_TRUE(raised.empty());
}

TEST_F(KvSpinEditTest, EveryPainterAndStateThemed) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are not active on this system";
    EXPECT_TRUE(matchesReference(captureSpinEdits(form), "gui", "kv_spin_edits_themed"));
}

TEST_F(KvSpinEditTest, EveryPainterAndStateWithoutTheme) {
    ASSERT_TRUE(disableThemingForProcess());
    PixelBuffer shot = captureSpinEdits(form);
    restoreThemingForProcess();
    EXPECT_TRUE(matchesReference(shot, "gui", "kv_spin_edits_unthemed"));
}

} // namespace
