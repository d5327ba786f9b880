// Helpers of the editor tests: input through the application's loop, the clipboard, the shown
// form with the editor's unit started, and captures of editors stacked into one picture.
#ifndef KV_EDITOR_SUPPORT_H
#define KV_EDITOR_SUPPORT_H

#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/units.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture.h"
#include "forms_test_support.h"
#include "kvEdit.h"
#include "system_colors.h"

namespace editortest {

using formstest::pumpUntil;

// Handles messages through the application's loop until nothing waits any more: no input, no
// posted or sent message, for a few rounds in a row (bounded).
inline void drainInput(DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    int quietRounds = 0;
    while (quietRounds < 3 && GetTickCount() - start < timeoutMs) {
        Application->ProcessMessages();
        if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0)
            ++quietRounds;
        else
            quietRounds = 0;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Characters as a keyboard types them (VK_PACKET); nothing waits for them.
inline void sendChars(const std::wstring &text) {
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
}

inline void typeChars(const std::wstring &text) {
    sendChars(text);
    drainInput();
}

// A key typed with a modifier held (0: none); nothing waits for it.
inline void sendKeyWith(WORD vk, WORD modifier) {
    if (modifier != 0)
        formstest::sendKey(modifier, false);
    formstest::typeKey(vk);
    if (modifier != 0)
        formstest::sendKey(modifier, true);
}

inline void pressWith(WORD vk, WORD modifier) {
    sendKeyWith(vk, modifier);
    drainInput();
}

inline void putOnClipboard(const std::wstring &text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    auto *target = static_cast<wchar_t *>(GlobalLock(memory));
    text.copy(target, text.size());
    target[text.size()] = L'\0';
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// The shots one below the other, `gap` grey rows after each.
inline PixelBuffer stackShots(const std::vector<PixelBuffer> &shots, int gap) {
    int width = 0;
    int height = 0;
    for (const PixelBuffer &shot : shots) {
        width = std::max(width, shot.width);
        height += shot.height + gap;
    }
    PixelBuffer all(width, height, 0x00808080);
    int y = 0;
    for (const PixelBuffer &shot : shots) {
        for (int row = 0; row < shot.height; ++row)
            for (int x = 0; x < shot.width; ++x)
                all.at(x, y + row) = shot.at(x, row);
        y += shot.height + gap;
    }
    return all;
}

// Each editor repainted with its inner edit, `wait` run, its client area captured; the shots
// stacked two rows apart.
template <class Wait> PixelBuffer captureEditors(const std::vector<TkvCustomEdit *> &edits, Wait wait) {
    std::vector<PixelBuffer> shots;
    for (TkvCustomEdit *edit : edits) {
        edit->Repaint();
        if (edit->InnerControl()->HandleAllocated())
            RedrawWindow(edit->InnerControl()->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
        wait();
        shots.push_back(captureClient(edit->Handle()));
    }
    return stackShots(shots, 2);
}

// The shared form shown borderless at (60, 60) in the given size, with the editor's unit started.
class EditorFormTest : public FixedSysColorsTest {
protected:
    EditorFormTest(TUnit *unit, int width, int height) : unit_(unit), width_(width), height_(height) {}

    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        InitForms();
        units_ = new UnitScope{unit_};
        shown_ = new formstest::ShownForm;
        form = shown_->form;
        form->SetBorderStyle(bsNone);
        form->SetColor(clBtnFace);
        form->SetBounds(60, 60, width_, height_);
        ASSERT_TRUE(shown_->show());
    }
    void TearDown() override {
        delete shown_;
        shown_ = nullptr;
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

    // An editor of one line's height on the form, its window made.
    template <class T> T *placeEditor(int left, int top, int width) {
        T *edit = New<T>(form);
        edit->SetParent(form);
        edit->SetBounds(left, top, width, 21);
        edit->HandleNeeded();
        return edit;
    }
    bool focus(TkvCustomEdit *edit) {
        edit->SetFocus();
        return pumpUntil(
            [&] { return edit->InnerControl()->HandleAllocated() && GetFocus() == edit->InnerControl()->Handle(); });
    }
    static HWND inner(TkvCustomEdit *edit) { return edit->InnerControl()->Handle(); }

    TForm *form = nullptr;

private:
    TUnit *unit_;
    int width_;
    int height_;
    UnitScope *units_ = nullptr;
    formstest::ShownForm *shown_ = nullptr;
};

} // namespace editortest

#endif
