// Helpers of the form tests: message pumping through the application's loop, keys and the form.
//
// Keys are injected here rather than through the harness's pressKey: its wait dispatches the
// messages itself, past the application's loop that offers each key to the focused control as a
// CN_ notification first, which is what these tests look at.
#ifndef FORMS_TEST_SUPPORT_H
#define FORMS_TEST_SUPPORT_H

#include <windows.h>

#include <classlib/forms.h>

#include "input.h"
#include "message_pump.h"

#include <cstdio>
#include <string>
#include <vector>

namespace formstest {

// Handles messages until the condition holds or the time is up; answers the condition.
template <class F> bool pumpUntil(F condition, DWORD timeoutMs = hangBoundMs) {
    DWORD start = GetTickCount();
    for (;;) {
        Application->ProcessMessages();
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs) {
            if (timeoutMs >= hangBoundMs)
                std::fprintf(stderr, "pumpUntil: gave up after %lu s of waiting\n", timeoutMs / 1000);
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Handles what is queued now and what arrives within a short settling time.
inline void settle(DWORD ms = 100) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        Application->ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

inline void sendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

inline void typeKey(WORD vk) {
    sendKey(vk, false);
    sendKey(vk, true);
}

// The test form: one top-level window for the whole program (making and destroying a shown
// window costs seconds under Wine), emptied and reset at the end of each test.
class ShownForm {
public:
    ShownForm() {
        InitForms();
        static TForm *shared = nullptr;
        if (shared == nullptr) {
            shared = New<TForm>(Application);
            shared->SetCaption(L"forms test");
        }
        form = shared;
        form->SetBounds(100, 100, 400, 300);
    }
    ~ShownForm() {
        while (form->ComponentCount() > 0)
            form->Components(form->ComponentCount() - 1)->Free();
        form->SetKeyPreview(false);
        form->OnKeyDown = nullptr;
        form->SetColor(clBtnFace);
        form->SetBorderStyle(bsSizeable);
        settle(20);
    }
    ShownForm(const ShownForm &) = delete;
    ShownForm &operator=(const ShownForm &) = delete;

    // Shows the form and waits until it is the active window.
    bool show() {
        form->Show();
        bringToForeground(form->Handle());
        return pumpUntil([this] { return GetActiveWindow() == form->Handle() && IsWindowVisible(form->Handle()); });
    }

    TForm *form = nullptr;
};

} // namespace formstest

#endif
