// The mask modes on a plain text-and-selection model of a single-line edit: typing, keys,
// pasting and cutting under standard, regular-expression and extended masks, and random input
// that must always leave a text the mask allows.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/string_utils.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "kvMaskEditModes.h"
#include "kvRegExpr.h"
#include "kvStandardMask.h"

namespace {

struct TestOptions : IkvMaskEditModeOptions {
    bool beepOnError = false, ignoreMaskBlank = false, caseInsensitive = true, charCaseNormal = true;
    bool BeepOnError() const override { return beepOnError; }
    bool IgnoreMaskBlank() const override { return ignoreMaskBlank; }
    bool CaseInsensitive() const override { return caseInsensitive; }
    bool CharCaseNormal() const override { return charCaseNormal; }
};

// A single-line edit as the inner Windows edit behaves, with the masked editor's routing.
struct Edit : IkvMaskEditModeHost {
    TestOptions options;
    std::wstring text;
    int anchor = 0, caret = 0;
    bool shiftDown = false, shiftFlag = false;
    int beeps = 0, afterKeyDowns = 0;
    std::wstring editValue, clipboard;
    wchar_t refuse = 0; // a character the editor zeroes
    TOwned<TkvMaskEditCustomMode> mode;

    Edit(TkvEditMaskKind kind, const std::wstring &mask) {
        mode.reset(NewOf<TkvMaskEditCustomMode>(MaskEditModeClass(kind), static_cast<IkvMaskEditModeHost *>(this),
                                                static_cast<const IkvMaskEditModeOptions *>(nullptr)));
        mode->Compile(mask);
        setDisplay(L"");
        SetSelection(0, 0);
        mode->MouseDown();
    }

    const IkvMaskEditModeOptions &Options() const override { return options; }
    bool HasEdit() const override { return true; }
    bool HasWindow() const override { return true; }
    std::wstring InnerText() const override { return text; }
    void SetInnerText(const std::wstring &t) override {
        text = t;
        SetSelection(anchor, caret);
    }
    int SelStart() const override { return std::min(anchor, caret); }
    int SelLength() const override { return std::abs(anchor - caret); }
    int CaretIndex() const override { return caret; }
    void SetSelection(int a, int c) override {
        int n = static_cast<int>(text.size());
        anchor = std::max(0, std::min(a, n));
        caret = std::max(0, std::min(c, n));
    }
    void SendKey(std::uint16_t key) override {
        int n = static_cast<int>(text.size());
        auto move = [&](int to) {
            caret = std::max(0, std::min(to, n));
            if (!shiftDown)
                anchor = caret;
        };
        switch (key) {
        case VK_LEFT:
            if (!shiftDown && SelLength() > 0)
                move(SelStart());
            else
                move(caret - 1);
            break;
        case VK_RIGHT:
            if (!shiftDown && SelLength() > 0)
                move(SelStart() + SelLength());
            else
                move(caret + 1);
            break;
        case VK_HOME: move(0); break;
        case VK_END: move(n); break;
        case VK_DELETE:
            if (shiftDown) { // Shift+Delete cuts, and the editor routes a cut through the mask
                shiftDown = false;
                cut();
            } else if (SelLength() > 0)
                replaceSelection(L"");
            else if (caret < n)
                text.erase(static_cast<std::size_t>(caret), 1);
            break;
        default: break;
        }
    }
    void SendChar(wchar_t c) override {
        if (c == L'\b') {
            if (SelLength() > 0) {
                replaceSelection(L"");
            } else if (caret > 0) {
                text.erase(static_cast<std::size_t>(caret - 1), 1);
                anchor = caret = caret - 1;
            }
        } else if (c >= L' ') {
            replaceSelection(std::wstring(1, c));
        }
    }
    void Beep() override { ++beeps; }
    bool ShiftFlag() const override { return shiftFlag; }
    void SetShiftFlag(bool value) override { shiftFlag = value; }
    bool IsCharAllowedAt(wchar_t &c, int) override {
        if (c == refuse)
            c = 0;
        return true;
    }
    bool EditModified() const override { return true; }
    std::wstring DisplayText() const override { return text; }
    std::wstring DisplayValueOfEditValue() const override { return mode->GetFormattedText(editValue, true); }
    void SetEditValueText(const std::wstring &t) override { editValue = t; }

    void replaceSelection(const std::wstring &with) {
        int s = SelStart();
        text.replace(static_cast<std::size_t>(s), static_cast<std::size_t>(SelLength()), with);
        anchor = caret = s + static_cast<int>(with.size());
    }

    // The editor's own paths: shown text set, keys, characters, clipboard.
    void setDisplay(const std::wstring &t) {
        text = mode->GetFormattedText(t, true);
        SetSelection(anchor, caret);
        mode->SetText(text);
    }
    void key(std::uint16_t k, bool shift = false, bool ctrl = false) {
        shiftDown = shift;
        bool after = false;
        std::uint16_t rest = MaskEditModeKeyDown(*mode, k, shift, ctrl, after);
        if (after)
            ++afterKeyDowns;
        if (rest != 0)
            SendKey(rest);
        shiftDown = false;
    }
    void type(const std::wstring &chars) {
        for (wchar_t c : chars)
            if (MaskEditModeKeyPress(*mode, c))
                SendChar(c);
    }
    void paste(const std::wstring &clip) {
        mode->ClipboardTextLength = static_cast<int>(clip.size());
        mode->BeforePaste();
        int s = SelStart();
        std::wstring t = text;
        t.replace(static_cast<std::size_t>(s), static_cast<std::size_t>(SelLength()), clip);
        anchor = caret = s + static_cast<int>(clip.size());
        setDisplay(t);
        mode->AfterPaste();
    }
    void cut() {
        clipboard = text.substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
        MaskEditModeCut(*mode);
    }
    void select(int a, int c) {
        SetSelection(a, c);
        mode->MouseDown();
    }
};

const wchar_t *const phoneMask = L"(999) 000-0000";

} // namespace

TEST(KvMaskEditStandardMode, TypesOverFixedPositions) {
    Edit e(emkStandard, phoneMask);
    e.options.beepOnError = true;
    EXPECT_EQ(e.text, L"(___) ___-____");
    EXPECT_EQ(e.SelStart(), 0);
    EXPECT_EQ(e.SelLength(), 1);
    // A digit typed on the literal lands in the first digit position; a letter is dropped.
    e.type(L"5");
    EXPECT_EQ(e.text, L"(5__) ___-____");
    EXPECT_EQ(e.SelStart(), 2);
    e.type(L"x");
    EXPECT_EQ(e.text, L"(5__) ___-____");
    EXPECT_EQ(e.beeps, 0);
    e.type(L"55123");
    EXPECT_EQ(e.text, L"(555) 123-____");
    EXPECT_EQ(e.SelStart(), 10);
    EXPECT_EQ(e.SelLength(), 1);
    e.type(L"-");
    EXPECT_EQ(e.text, L"(555) 123-____");
    // Backspace steps over the literal and blanks; Delete blanks under the cursor.
    e.type(L"\b");
    EXPECT_EQ(e.text, L"(555) 12_-____");
    EXPECT_EQ(e.SelStart(), 8);
    e.key(VK_LEFT);
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 6);
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 3);
    e.key(VK_DELETE);
    EXPECT_EQ(e.text, L"(55_) 12_-____");
    e.type(L"7890123");
    EXPECT_EQ(e.text, L"(557) 890-123_");
    e.type(L"45");
    EXPECT_EQ(e.text, L"(557) 890-1234");
    EXPECT_EQ(e.SelStart(), 14);
    EXPECT_EQ(e.SelLength(), 0);
    EXPECT_TRUE(e.mode->IsFullText(e.text));
    EXPECT_EQ(e.mode->TextToEditText(e.text, true), L"(557) 890-1234");
    EXPECT_EQ(e.beeps, 0);

    // A character the editor zeroes after the mask took it beeps.
    e.refuse = L'1';
    e.key(VK_HOME);
    EXPECT_EQ(e.SelStart(), 1);
    e.type(L"1");
    EXPECT_EQ(e.beeps, 1);
    EXPECT_EQ(e.text, L"(557) 890-1234");
}

TEST(KvMaskEditStandardMode, MovesSelectsAndTellsTheEdges) {
    Edit e(emkStandard, phoneMask);
    e.key(VK_END);
    EXPECT_EQ(e.SelStart(), 14);
    EXPECT_TRUE(e.mode->IsCursorEnd());
    e.key(VK_RIGHT);
    EXPECT_EQ(e.afterKeyDowns, 1);
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 13);
    e.key(VK_LEFT, false, true); // Ctrl+Left: home, past the opening literal
    EXPECT_EQ(e.SelStart(), 1);
    EXPECT_TRUE(e.mode->IsCursorBegin());
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 1);
    EXPECT_EQ(e.afterKeyDowns, 2);
    e.key(VK_UP);
    e.key(VK_DOWN);
    EXPECT_EQ(e.afterKeyDowns, 4);
    e.key(VK_RIGHT, false, true);
    EXPECT_EQ(e.SelStart(), 14);

    // A longer selection collapses to its first / last input position.
    e.type(L"");
    e.select(3, 7);
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 3);
    e.select(2, 6);
    e.key(VK_RIGHT);
    EXPECT_EQ(e.SelStart(), 3);
    e.select(4, 6); // only literals
    e.key(VK_LEFT);
    EXPECT_EQ(e.SelStart(), 4);
    // Shift extends from the cursor: the cursor's character and the one before it.
    e.select(3, 3);
    e.key(VK_LEFT, true);
    EXPECT_EQ(e.SelStart(), 2);
    EXPECT_EQ(e.SelLength(), 2);

    // Typing over a selection blanks its input positions first.
    e.setDisplay(L"5551234567");
    EXPECT_EQ(e.text, L"(555) 123-4567");
    e.select(2, 8);
    e.type(L"9");
    EXPECT_EQ(e.text, L"(59_) __3-4567");
    EXPECT_EQ(e.SelStart(), 3);
    EXPECT_FALSE(e.mode->IsFullText(e.text));
}

TEST(KvMaskEditStandardMode, PastesCutsAndValidates) {
    Edit e(emkStandard, phoneMask);
    e.select(1, 1);
    e.paste(L"5551234567");
    EXPECT_EQ(e.text, L"(555) 123-4567");
    EXPECT_EQ(e.SelStart(), 11);
    // Anything pasted ends in the mask.
    e.select(6, 6);
    e.paste(std::wstring(L"a\0b\x4E2D\x6587", 5) + L"98" + std::wstring(500, L'7'));
    EXPECT_EQ(e.text, L"(555) 987-7777");
    e.select(0, 5);
    e.cut();
    EXPECT_EQ(e.clipboard, L"(555)");
    EXPECT_EQ(e.text, L"(___) 987-7777");
    EXPECT_TRUE(e.mode->IsFullText(e.text)); // optional digits may stay blank
    EXPECT_EQ(e.mode->TextToEditText(e.text, true), L"(   ) 987-7777");
    e.select(6, 14);
    e.cut();
    EXPECT_FALSE(e.mode->IsFullText(e.text));
    e.options.ignoreMaskBlank = true;
    EXPECT_TRUE(e.mode->IsFullText(e.text));
    EXPECT_FALSE(e.mode->IsFullText(L"(___) 9__-____"));

    Edit cased(emkStandard, L">LL<ll;0");
    cased.type(L"abCD1");
    EXPECT_EQ(cased.text, L"ABcd");
    EXPECT_EQ(cased.mode->GetEmptyString(), L"    ");
    // Without the editor's case left alone, the value keeps the case as shown.
    cased.options.charCaseNormal = false;
    EXPECT_EQ(cased.mode->TextToEditText(L"abCD", true), L"abCD");
}

TEST(KvMaskEditRegExprMode, LetsThroughOnlyAcceptedCharacters) {
    Edit e(emkRegExpr, L"\\d+");
    e.type(L"1a2");
    EXPECT_EQ(e.text, L"12");
    EXPECT_EQ(e.beeps, 0);
    e.options.beepOnError = true;
    e.type(L"b");
    EXPECT_EQ(e.beeps, 1);
    e.key(VK_LEFT);
    e.type(L"5");
    EXPECT_EQ(e.text, L"152");
    EXPECT_TRUE(e.mode->IsFullText(e.text));
    EXPECT_TRUE(e.mode->IsFullText(L""));
    EXPECT_FALSE(e.mode->IsFullText(L"1x"));
    e.key(VK_HOME);
    e.paste(L"9z8");
    EXPECT_EQ(e.text, L"98152");

    // Text right of the caret that no longer fits is cut off.
    Edit cut(emkRegExpr, L"x\\d\\d");
    cut.type(L"x12");
    cut.select(1, 1);
    cut.type(L"\b");
    EXPECT_EQ(cut.text, L"");
    cut.type(L"x12");
    cut.select(0, 0);
    cut.key(VK_DELETE);
    EXPECT_EQ(cut.text, L"");
    cut.type(L"x1");
    EXPECT_FALSE(cut.mode->IsFullText(cut.text));
    cut.options.ignoreMaskBlank = true;
    EXPECT_TRUE(cut.mode->IsFullText(cut.text));

    // Cutting an empty selection deletes nothing.
    Edit digits(emkRegExpr, L"\\d+");
    digits.type(L"123");
    digits.cut();
    EXPECT_EQ(digits.text, L"123");
    digits.SetSelection(1, 3);
    digits.cut();
    EXPECT_EQ(digits.text, L"1");

    // A case-insensitive expression stores its own case.
    Edit word(emkRegExpr, L"'ABC'");
    word.type(L"abc");
    EXPECT_EQ(word.text, L"ABC");
    EXPECT_EQ(word.mode->GetFormattedText(L"aXbc", true), L"ABC");
}

TEST(KvMaskEditRegExprMode, BadExpressionRaisesAndKeepsTheOldMask) {
    Edit e(emkRegExpr, L"\\d");
    try {
        e.mode->Compile(L"(a|");
        FAIL() << "compiled";
    } catch (const EkvMaskEditError &error) {
        EXPECT_EQ(error.Message().rfind(L"Regular expression errors:\r\n", 0), 0u);
        EXPECT_NE(error.Message().find(L"Missing ')'"), std::wstring::npos);
    }
    EXPECT_EQ(e.mode->Mask(), L"\\d");
    e.type(L"a7");
    EXPECT_EQ(e.text, L"7");
}

TEST(KvMaskEditRegExprExMode, TypesAndRemovesForcedCharacters) {
    Edit plus(emkRegExprEx, L"'+'\\d+");
    plus.options.beepOnError = true;
    EXPECT_EQ(plus.mode->GetEmptyString(), L"+");
    EXPECT_EQ(plus.text, L"+");
    EXPECT_TRUE(plus.mode->IsFullText(L"+"));
    plus.key(VK_END);
    plus.type(L"5");
    EXPECT_EQ(plus.text, L"+5");
    plus.type(L"\b");
    EXPECT_EQ(plus.text, L"+");
    EXPECT_EQ(plus.beeps, 0);
    // Backspace right after the forced start leaves it and beeps.
    plus.type(L"\b");
    EXPECT_EQ(plus.text, L"+");
    EXPECT_EQ(plus.beeps, 1);
    // Typing at the very start goes after the forced start.
    plus.SetSelection(0, 0);
    plus.type(L"4");
    EXPECT_EQ(plus.text, L"+4");

    Edit time(emkRegExprEx, L"\\d\\d:\\d\\d");
    time.type(L"12");
    EXPECT_EQ(time.text, L"12:");
    EXPECT_EQ(time.caret, 3);
    time.type(L"34");
    EXPECT_EQ(time.text, L"12:34");
    EXPECT_TRUE(time.mode->IsFullText(time.text));
    time.key(VK_LEFT);
    time.key(VK_LEFT);
    EXPECT_EQ(time.caret, 3);
    time.key(VK_LEFT); // over the forced separator and the digit before it
    EXPECT_EQ(time.caret, 1);
    time.key(VK_RIGHT);
    EXPECT_EQ(time.caret, 3);
    // Overtyping keeps the rest where it still fits.
    time.SetSelection(1, 2);
    time.type(L"5");
    EXPECT_EQ(time.text, L"15:34");
    EXPECT_EQ(time.caret, 3);
    time.key(VK_END);
    time.type(L"\b\b");
    EXPECT_EQ(time.text, L"15:");
    time.type(L"\b");
    EXPECT_EQ(time.text, L"1");
    EXPECT_EQ(time.mode->GetFormattedText(L"1234", true), L"12:34");
    EXPECT_EQ(time.mode->GetFormattedText(L"", true), L"");
    // A mouse click inside a forced step snaps to its start.
    time.setDisplay(L"12:34");
    time.select(3, 3);
    EXPECT_EQ(time.caret, 3);
    time.select(2, 2);
    EXPECT_EQ(time.caret, 1);
    // A selection ends where the step under its end ends.
    time.select(0, 2);
    EXPECT_EQ(time.SelStart(), 0);
    EXPECT_EQ(time.SelLength(), 3);
}

namespace {

struct Lcg {
    std::uint32_t state;
    std::uint32_t next() { return state = state * 1664525u + 1013904223u; }
    std::uint32_t below(std::uint32_t n) { return (next() >> 8) % n; }
};

wchar_t anyCharacter(Lcg &rng) {
    static const wchar_t pool[] = L"0123456789aZ_ -+():\b\0\x4E2D\xFFFF\xD800";
    return rng.below(5) == 0 ? static_cast<wchar_t>(rng.below(0x10000)) : pool[rng.below(sizeof pool / sizeof pool[0])];
}

std::wstring anyText(Lcg &rng, std::uint32_t maxLength) {
    std::wstring s;
    for (std::uint32_t n = rng.below(maxLength + 1); n > 0; --n)
        s += anyCharacter(rng);
    return s;
}

void randomSession(Edit &e, Lcg &rng, const std::function<void()> &check) {
    static const std::uint16_t keys[] = {VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_DELETE, VK_UP};
    for (int step = 0; step < 60; ++step) {
        int n = static_cast<int>(e.text.size());
        switch (rng.below(7)) {
        case 0: e.key(keys[rng.below(6)], rng.below(3) == 0, rng.below(4) == 0); break;
        case 1: e.select(static_cast<int>(rng.below(n + 3)) - 1, static_cast<int>(rng.below(n + 3)) - 1); break;
        case 2: e.paste(anyText(rng, rng.below(8) == 0 ? 300 : 6)); break;
        case 3: e.cut(); break;
        case 4: e.setDisplay(anyText(rng, 30)); break;
        default: e.type(anyText(rng, 4)); break;
        }
        check();
        ASSERT_GE(e.SelStart(), 0);
        ASSERT_LE(e.SelStart() + e.SelLength(), static_cast<int>(e.text.size()));
    }
}

} // namespace

TEST(KvMaskEditModesRobustness, AnyInputLeavesATextTheMaskAllows) {
    Lcg rng{20261209};
    const wchar_t *const standardMasks[] = {phoneMask, L"!(999)000-0000;1;_", L"00/00/0000", L">LL<ll;0;*", L"#9.99",
                                            L"cC\\\\aA", L"0", L"\\(0\\)"};
    for (const wchar_t *mask : standardMasks) {
        SCOPED_TRACE(WideToUtf8(mask));
        for (int round = 0; round < 20; ++round) {
            Edit e(emkStandard, mask);
            auto *m = static_cast<TkvMaskEditStandardMode *>(e.mode.get())->StandardMask();
            const std::wstring tmpl = m->GetTemplate();
            randomSession(e, rng, [&] {
                ASSERT_EQ(e.text.size(), tmpl.size());
                for (std::size_t i = 0; i < tmpl.size(); ++i) {
                    wchar_t c = e.text[i];
                    ASSERT_TRUE(c == tmpl[i] || m->Items(static_cast<int>(i))->Check(c));
                }
            });
        }
    }
    const wchar_t *const expressions[] = {L"\\d+", L"'+'\\d{1,3}(\\p\\d\\d)?", L"\\d\\d:\\d\\d", L"(ab|cd)*x",
                                          L"[A-Z]\\w*", L"\\x41{0,3}.+"};
    for (TkvEditMaskKind kind : {emkRegExpr, emkRegExprEx}) {
        for (const wchar_t *expression : expressions) {
            SCOPED_TRACE(WideToUtf8(expression));
            TOwned<TkvRegExpr> judge(New<TkvRegExpr>());
            judge->CaseInsensitive = true;
            judge->CompileText(expression);
            for (int round = 0; round < 20; ++round) {
                Edit e(kind, expression);
                randomSession(e, rng, [&] {
                    judge->Reset();
                    for (wchar_t c : e.text)
                        ASSERT_TRUE(judge->Next(c)) << WideToUtf8(e.text);
                });
            }
        }
    }
}
