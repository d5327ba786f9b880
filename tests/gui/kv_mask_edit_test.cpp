// The masked editor on a form, driven by WM_KEYDOWN and WM_CHAR and by real typing: a phone
// mask typed over its literals, an expression that refuses what it does not accept, forced
// characters typed and taken back, the message of an incomplete text, a bad expression that
// keeps the old mask, the properties' rules; and captures of masked edits in their states.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/string_utils.h>
#include <classlib/units.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "capture.h"
#include "forms_test_support.h"
#include "image_compare.h"
#include "input.h"
#include "kv_editor_support.h"
#include "kvMaskEdit.h"
#include "kvRegExpr.h"
#include "kvStandardMask.h"
#include "system_colors.h"
#include "theme.h"

using namespace editortest;
using namespace formstest;

namespace {

// Counts the beeps instead of sounding them.
class TCountingMaskEdit : public TkvMaskEdit {
    CL_CLASS(TCountingMaskEdit, TkvMaskEdit)

public:
    int Beeps = 0;
    void BeepOnMaskError() override { ++Beeps; }
};

class KvMaskEditTest : public EditorFormTest {
protected:
    KvMaskEditTest() : EditorFormTest(&kvMaskEditUnit, 320, 200) {}

    TCountingMaskEdit *addEdit(int left, int top, int width = 140) {
        auto *edit = placeEditor<TCountingMaskEdit>(left, top, width);
        drainInput();
        return edit;
    }
    std::wstring shown(TkvCustomMaskEdit *edit) { return edit->GetDisplayText(); }
    void chars(TkvCustomMaskEdit *edit, const std::wstring &text) {
        for (wchar_t c : text)
            SendMessageW(inner(edit), WM_CHAR, c, 1);
    }
    void key(TkvCustomMaskEdit *edit, WORD vk) {
        SendMessageW(inner(edit), WM_KEYDOWN, vk, 1);
        SendMessageW(inner(edit), WM_KEYUP, vk, 0xC0000001);
    }
};

} // namespace

TEST_F(KvMaskEditTest, APhoneMaskTakesDigitsOverItsLiteralsAndDropsLetters) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetBeepOnError(true);
    edit->Properties()->SetEditMask(L"(999) 000-0000");
    ASSERT_TRUE(focus(edit));
    EXPECT_EQ(shown(edit), L"(___) ___-____");
    edit->SetSelStart(0);
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(edit->SelLength(), 1); // the overwrite cursor
    chars(edit, L"5");
    EXPECT_EQ(shown(edit), L"(5__) ___-____");
    EXPECT_EQ(edit->SelStart(), 2);
    chars(edit, L"x");
    EXPECT_EQ(shown(edit), L"(5__) ___-____");
    EXPECT_EQ(edit->Beeps, 0);
    chars(edit, L"55123");
    EXPECT_EQ(shown(edit), L"(555) 123-____");
    // Text is the value form: blanks as spaces.
    EXPECT_EQ(edit->Text(), L"(555) 123-    ");
    EXPECT_TRUE(edit->EditModified());

    chars(edit, L"\b");
    EXPECT_EQ(shown(edit), L"(555) 12_-____");
    key(edit, VK_LEFT);
    key(edit, VK_LEFT);
    EXPECT_EQ(edit->SelStart(), 6);
    key(edit, VK_LEFT);
    EXPECT_EQ(edit->SelStart(), 3);
    key(edit, VK_DELETE);
    EXPECT_EQ(shown(edit), L"(55_) 12_-____");
    key(edit, VK_HOME);
    EXPECT_EQ(edit->SelStart(), 1);
    key(edit, VK_END);
    EXPECT_EQ(edit->SelStart(), 14);

    // Real typing under the display.
    edit->SetSelStart(0);
    typeChars(L"2a1");
    EXPECT_EQ(shown(edit), L"(21_) 12_-____");
    EXPECT_EQ(edit->Beeps, 0);
}

TEST_F(KvMaskEditTest, ThePhoneMasksCursorFollowsTheMouseShiftAndTheClipboard) {
    TCountingMaskEdit *edit = addEdit(10, 10, 200);
    edit->Properties()->SetEditMask(L"(999) 000-0000");
    ASSERT_TRUE(focus(edit));
    // A click puts the one-character cursor where it lands.
    const LRESULT at = SendMessageW(inner(edit), EM_POSFROMCHAR, 7, 0);
    clickAt(inner(edit), POINT{static_cast<short>(LOWORD(at)) + 2, static_cast<short>(HIWORD(at)) + 4});
    drainInput();
    EXPECT_EQ(edit->SelStart(), 7);
    EXPECT_EQ(edit->SelLength(), 1);
    // Shift+Left takes the cursor's character and the one before it.
    pressWith(VK_LEFT, VK_SHIFT);
    EXPECT_EQ(edit->SelStart(), 6);
    EXPECT_EQ(edit->SelLength(), 2);
    typeChars(L"9");
    EXPECT_EQ(shown(edit), L"(___) 9__-____");

    // Whatever the clipboard holds, only what the mask takes lands.
    edit->SetSelStart(0);
    // (a NUL would end the clipboard's text)
    putOnClipboard(L"x5\x4E2D" L"55 123-" + std::wstring(300, L'4'));
    pressWith('V', VK_CONTROL);
    EXPECT_EQ(shown(edit), L"(555) 123-4444");
    EXPECT_TRUE(edit->ValidateEdit(true));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"(555) 123-4444") << "the validated text is the value";
    // Cutting blanks what the cut takes.
    edit->SetSelStart(10);
    edit->SetSelLength(4);
    pressWith('X', VK_CONTROL);
    EXPECT_EQ(shown(edit), L"(555) 123-____");
}

TEST_F(KvMaskEditTest, WithoutAMaskItIsTheTextEditor) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetMaxLength(4);
    ASSERT_TRUE(focus(edit));
    typeChars(L"abcdef");
    EXPECT_EQ(shown(edit), L"abcd");
    EXPECT_EQ(edit->Text(), L"abcd");
    EXPECT_TRUE(edit->ValidateEdit(true));
    EXPECT_EQ(edit->EditValue().AsWideString(), L"abcd");
    pressWith(VK_LEFT, 0);
    chars(edit, L"\b");
    EXPECT_EQ(edit->Text(), L"abd");
    EXPECT_TRUE(edit->ValidateEdit(true));
}

TEST_F(KvMaskEditTest, AnIncompleteTextFailsWithTheMessageAndAFullOnePasses) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetEditMask(L"!(999)000-0000;1;_");
    ASSERT_TRUE(focus(edit));
    edit->SetSelStart(0);
    chars(edit, L"55512");
    try {
        edit->ValidateEdit(true);
        ADD_FAILURE() << "an incomplete text passed";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), L"The edit value is invalid");
    }
    // Leaving the editor with an incomplete text fails with the same message.
    TCountingMaskEdit *other = addEdit(10, 70);
    std::wstring caught;
    Application->SetOnException([&](TObject *, const Exception &e) { caught = e.Message(); });
    try {
        other->SetFocus();
    } catch (const Exception &e) {
        caught = e.Message();
    }
    pumpUntil([&] { return !caught.empty(); });
    Application->SetOnException(nullptr);
    EXPECT_EQ(caught, L"The edit value is invalid");
    // The failure gave the focus back and selected all; typing goes on where it stopped.
    ASSERT_TRUE(focus(edit));
    edit->SetSelStart(7);
    chars(edit, L"34567");
    EXPECT_EQ(shown(edit), L"(555)123-4567");
    EXPECT_TRUE(edit->ValidateEdit(true));

    // With IgnoreMaskBlank an all-blank text passes.
    TCountingMaskEdit *blank = addEdit(10, 40);
    blank->Properties()->SetEditMask(L"000");
    blank->Properties()->SetIgnoreMaskBlank(true);
    ASSERT_TRUE(focus(blank));
    blank->SetSelStart(0);
    chars(blank, L"1\b");
    EXPECT_EQ(shown(blank), L"___");
    EXPECT_TRUE(blank->ValidateEdit(true));
}

TEST_F(KvMaskEditTest, EnterValidatesAndAReadOnlyMaskTakesNothing) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetEditMask(L"00:00");
    ASSERT_TRUE(focus(edit));
    edit->SetSelStart(0);
    typeChars(L"12");
    std::wstring caught;
    Application->SetOnException([&](TObject *, const Exception &e) { caught = e.Message(); });
    typeKey(VK_RETURN);
    pumpUntil([&] { return !caught.empty(); });
    EXPECT_EQ(caught, L"The edit value is invalid");
    // All is selected after the failure: typing replaces the whole text.
    typeChars(L"3");
    EXPECT_EQ(shown(edit), L"3_:__");
    typeChars(L"456");
    EXPECT_EQ(shown(edit), L"34:56");

    TCountingMaskEdit *locked = addEdit(10, 40);
    locked->Properties()->SetEditMask(L"00:00");
    locked->Properties()->SetReadOnly(true);
    ASSERT_TRUE(focus(locked));
    locked->SetSelStart(0);
    typeChars(L"12");
    chars(locked, L"3\b");
    key(locked, VK_DELETE);
    EXPECT_EQ(shown(locked), L"__:__");
    EXPECT_FALSE(locked->EditModified());
    Application->SetOnException(nullptr);
}

TEST_F(KvMaskEditTest, AnExpressionRefusesWhatItDoesNotAcceptAndBeepsOnlyWhenAsked) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetMaskKind(emkRegExpr);
    edit->Properties()->SetEditMask(L"\\d+");
    ASSERT_TRUE(focus(edit));
    chars(edit, L"1a2");
    EXPECT_EQ(shown(edit), L"12");
    EXPECT_EQ(edit->Beeps, 0);
    edit->Properties()->SetBeepOnError(true);
    chars(edit, L"b");
    EXPECT_EQ(edit->Beeps, 1);
    typeChars(L"3z");
    EXPECT_EQ(shown(edit), L"123");
    EXPECT_EQ(edit->Beeps, 2);
    EXPECT_EQ(edit->Text(), L"123");

    // A bad expression raises the combined text and keeps the mask in force.
    try {
        edit->Properties()->SetEditMask(L"(a|");
        ADD_FAILURE() << "a bad expression was taken";
    } catch (const EkvMaskEditError &e) {
        EXPECT_EQ(e.Message().rfind(L"Regular expression errors:\r\n", 0), 0u);
        EXPECT_NE(e.Message().find(L"Missing ')'"), std::wstring::npos);
    }
    EXPECT_EQ(edit->Properties()->EditMask(), L"\\d+");
    chars(edit, L"q4");
    EXPECT_EQ(shown(edit), L"1234");
}

TEST_F(KvMaskEditTest, AnExtendedExpressionTypesItsForcedCharactersAndBackspaceTakesThemBack) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    edit->Properties()->SetBeepOnError(true);
    edit->Properties()->SetMaskKind(emkRegExprEx);
    edit->Properties()->SetEditMask(L"\\d\\d:\\d\\d");
    ASSERT_TRUE(focus(edit));
    chars(edit, L"12");
    EXPECT_EQ(shown(edit), L"12:");
    chars(edit, L"34");
    EXPECT_EQ(shown(edit), L"12:34");
    chars(edit, L"\b\b");
    EXPECT_EQ(shown(edit), L"12:");
    // The separator goes with the digit that brought it.
    chars(edit, L"\b");
    EXPECT_EQ(shown(edit), L"1");
    EXPECT_EQ(edit->Beeps, 0);
    chars(edit, L"234");
    EXPECT_EQ(shown(edit), L"12:34");
    // Text put in from code gets its forced characters, and the caret goes after what it became.
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    edit->SetSelText(L"0915");
    EXPECT_EQ(shown(edit), L"09:15");
    EXPECT_EQ(edit->SelStart(), 5);

    TCountingMaskEdit *plus = addEdit(10, 40);
    plus->Properties()->SetBeepOnError(true);
    plus->Properties()->SetMaskKind(emkRegExprEx);
    plus->Properties()->SetEditMask(L"'+'\\d+");
    EXPECT_EQ(plus->Properties()->EmptyString(), L"+");
    ASSERT_TRUE(focus(plus));
    plus->SetText(L"");
    EXPECT_EQ(shown(plus), L"+");
    key(plus, VK_END);
    typeChars(L"49");
    EXPECT_EQ(shown(plus), L"+49");
    chars(plus, L"\b\b");
    EXPECT_EQ(shown(plus), L"+");
    EXPECT_EQ(plus->Beeps, 0);
    chars(plus, L"\b");
    EXPECT_EQ(shown(plus), L"+");
    EXPECT_EQ(plus->Beeps, 1);
}

TEST_F(KvMaskEditTest, PropertiesKeepTheirRulesWhileAMaskIsInForce) {
    TCountingMaskEdit *edit = addEdit(10, 10);
    TkvCustomMaskEditProperties *p = edit->Properties();
    EXPECT_TRUE(p->ValidateOnEnter());
    EXPECT_TRUE(p->CaseInsensitive());
    p->SetMaxLength(5);
    EXPECT_EQ(p->MaxLength(), 5);
    p->SetEditMask(L"00-00");
    EXPECT_EQ(p->MaxLength(), 0);
    p->SetMaxLength(7);
    EXPECT_EQ(p->MaxLength(), 0);

    // A mask of spaces is no mask.
    p->SetEditMask(L"   ");
    EXPECT_FALSE(edit->IsMasked());
    edit->SetText(L"free text");
    EXPECT_EQ(edit->Text(), L"free text");

    // Switching to an expression empties a standard mask; both in one update keep the new one.
    p->SetEditMask(L"00-00");
    p->SetMaskKind(emkRegExpr);
    EXPECT_EQ(p->EditMask(), L"");
    p->SetMaskKind(emkStandard);
    p->SetEditMask(L"00-00");
    p->BeginUpdate();
    p->SetMaskKind(emkRegExpr);
    p->SetEditMask(L"\\d\\d");
    p->EndUpdate();
    EXPECT_EQ(p->EditMask(), L"\\d\\d");
    EXPECT_EQ(edit->Mode()->GetMaskKind(), emkRegExpr);
    // Between the expression kinds the mask stays.
    p->SetMaskKind(emkRegExprEx);
    EXPECT_EQ(p->EditMask(), L"\\d\\d");

    // Text set from code ends in the mask: too long, wrong characters, NUL, Chinese.
    p->SetMaskKind(emkStandard);
    p->SetEditMask(L"00-00;0");
    edit->SetText(std::wstring(L"1\0x\x4E2D" L"2345678", 11));
    EXPECT_EQ(edit->Text(), L"1234");
    EXPECT_EQ(edit->EditValue().AsWideString(), L"1234");
    WCHAR buffer[16] = {};
    EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_EQ(std::wstring(buffer), L"1234");

    const int registered = EditPropertiesRegistry()->FindByClass(TkvMaskEditProperties::ClassInfo());
    ASSERT_GE(registered, 0);
    EXPECT_EQ(EditPropertiesRegistry()->Items()->Strings(registered),
              L"MaskEdit|Represents a generic masked edit control.");
}

TEST_F(KvMaskEditTest, ANulFromCodeNeverCutsTheTextShort) {
    struct Case {
        TkvEditMaskKind kind;
        const wchar_t *mask;
        const wchar_t *set;  // a\0b as the mask took it
        int end;             // where typing goes on
        const wchar_t *full; // c typed there
        const wchar_t *put;  // x\0y put in with the whole text selected
    };
    // (a space is a character to C; the standard mask overwrites what is put in)
    const Case cases[] = {{emkStandard, L"CCC", L"ab ", 2, L"abc", L"xyc"},
                          {emkRegExpr, L"...", L"ab", 2, L"abc", L"xy"},
                          {emkRegExprEx, L"'+'...", L"+ab", 3, L"+abc", L"+xy"}};
    TCountingMaskEdit *edit = addEdit(10, 10);
    ASSERT_TRUE(focus(edit));
    for (const Case &c : cases) {
        SCOPED_TRACE(WideToUtf8(c.mask));
        edit->Properties()->SetMaskKind(c.kind);
        edit->Properties()->SetEditMask(c.mask);
        edit->SetText(std::wstring(L"a\0b", 3));
        EXPECT_EQ(shown(edit), c.set);
        EXPECT_EQ(GetWindowTextLengthW(inner(edit)), static_cast<int>(std::wcslen(c.set)));
        edit->SetSelStart(c.end);
        chars(edit, L"c");
        EXPECT_EQ(shown(edit), c.full);
        EXPECT_TRUE(edit->ValidateEdit(false));
        edit->SelectAll();
        edit->SetSelText(std::wstring(L"x\0y", 3));
        EXPECT_EQ(shown(edit), c.put);
        EXPECT_EQ(GetWindowTextLengthW(inner(edit)), static_cast<int>(std::wcslen(c.put)));
        EXPECT_EQ(edit->SelStart(), 2 + (c.kind == emkRegExprEx ? 1 : 0)) << "after what landed";
        edit->SetText(L"");
    }
}

TEST_F(KvMaskEditTest, AnyInputOnTheFormEndsInATextTheMaskAllows) {
    struct Case {
        TkvEditMaskKind kind;
        const wchar_t *mask;
    };
    const Case cases[] = {{emkStandard, L"(999) 000-0000"}, {emkStandard, L">LL<ll-00;0;*"},
                          {emkRegExpr, L"\\d+(\\p\\d\\d)?"}, {emkRegExprEx, L"'+'\\d{1,3}:\\d\\d"}};
    std::uint32_t state = 20261209;
    auto below = [&](std::uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    auto anyText = [&](std::uint32_t maxLength) {
        static const wchar_t pool[] = L"0123456789aZ_ -+():\b\x4E2D\xFFFF";
        std::wstring text;
        for (std::uint32_t n = below(maxLength + 1); n > 0; --n)
            text += below(6) == 0 ? static_cast<wchar_t>(1 + below(0xFFFE)) : pool[below(sizeof pool / sizeof pool[0] - 1)];
        return text;
    };
    TCountingMaskEdit *edit = addEdit(10, 10, 200);
    ASSERT_TRUE(focus(edit));
    for (const Case &c : cases) {
        SCOPED_TRACE(WideToUtf8(c.mask));
        edit->Properties()->SetMaskKind(c.kind);
        edit->Properties()->SetEditMask(c.mask);
        TOwned<TkvStandardMask> standard(New<TkvStandardMask>());
        standard->SetMask(c.mask);
        TOwned<TkvRegExpr> expression(New<TkvRegExpr>());
        if (c.kind != emkStandard) {
            expression->CaseInsensitive = true;
            expression->CompileText(c.mask);
        }
        int filled = 0; // steps that left more than the empty mask: the input reaches the mask
        for (int step = 0; step < 120; ++step) {
            const int length = static_cast<int>(shown(edit).size());
            switch (below(6)) {
            case 0: edit->SetText(anyText(30)); break;
            case 1:
                edit->SetSelStart(static_cast<int>(below(length + 2)));
                edit->SetSelLength(static_cast<int>(below(4)));
                break;
            case 2: edit->SetSelText(anyText(8)); break;
            case 3: {
                static const WORD keys[] = {VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_DELETE};
                key(edit, keys[below(5)]);
                break;
            }
            default: chars(edit, anyText(3)); break;
            }
            const std::wstring text = shown(edit);
            if (text != edit->Properties()->EmptyString() && text != standard->GetTemplate() && !text.empty())
                ++filled;
            if (c.kind == emkStandard) {
                const std::wstring tmpl = standard->GetTemplate();
                ASSERT_TRUE(text.size() == tmpl.size() || text == standard->GetEmptyString() || text.empty())
                    << WideToUtf8(text);
                if (text.size() == tmpl.size())
                    for (std::size_t i = 0; i < text.size(); ++i) {
                        wchar_t ch = text[i];
                        ASSERT_TRUE(ch == tmpl[i] || ch == L' ' || standard->Items(static_cast<int>(i))->Check(ch))
                            << WideToUtf8(text);
                    }
            } else {
                expression->Reset();
                for (wchar_t ch : text)
                    ASSERT_TRUE(expression->Next(ch)) << WideToUtf8(text);
            }
        }
        EXPECT_GT(filled, 30);
        edit->SetText(L"");
    }
}

// --- captures

namespace {

PixelBuffer captureEdits(const std::vector<TkvCustomEdit *> &edits) {
    return captureEditors(edits, [] { settle(30); });
}

} // namespace

TEST_F(KvMaskEditTest, CapturesOfMaskedEditsEmptyPartlyFilledAndComplete) {
    disableThemingForProcess();
    TCountingMaskEdit *empty = addEdit(10, 10);
    TCountingMaskEdit *partly = addEdit(10, 35);
    TCountingMaskEdit *complete = addEdit(10, 60);
    for (TCountingMaskEdit *edit : {empty, partly, complete}) {
        edit->Properties()->SetEditMask(L"(999) 000-0000");
        edit->Properties()->SetAlwaysShowBlanksAndLiterals(true);
    }
    partly->SetText(L"555 12");
    complete->SetText(L"5551234567");
    TCountingMaskEdit *other = addEdit(10, 85);
    ASSERT_TRUE(focus(other));
    settle(50);
    EXPECT_EQ(shown(empty), L"(___) ___-____");
    EXPECT_EQ(shown(partly), L"(555) 12_-____");
    EXPECT_EQ(shown(complete), L"(555) 123-4567");
    HideCaret(inner(other));
    EXPECT_TRUE(matchesReference(captureEdits({empty, partly, complete}), "gui", "kv_mask_edits"));
    restoreThemingForProcess();
}
