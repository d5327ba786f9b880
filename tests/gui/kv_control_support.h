// Fixture and probes of the base-control tests: the units run, exceptions of handlers are
// collected, one shown form holds the controls of a test, and a control that scrolls a painted
// pattern bigger than itself.
#ifndef KV_CONTROL_SUPPORT_H
#define KV_CONTROL_SUPPORT_H

#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/forms.h>

#include <kvControls.h>

#include <atomic>
#include <string>
#include <vector>

#include "gui_display.h"
#include "input.h"
#include "message_pump.h"

namespace kvcontroltest {

class KvControlTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        InitForms();
        kvControlsUnit.Start();
        previousHandler = SetExceptionHandler([this](TObject *, const Exception &e) { errors.push_back(e.Message()); });
        static TForm *shared = nullptr;
        if (shared == nullptr) {
            shared = New<TForm>(Application);
            shared->SetCaption(L"kv controls test");
        }
        form = shared;
        form->SetBorderStyle(bsNone);
        form->SetColor(clBtnFace);
        form->SetBounds(40, 40, 520, 360);
    }
    void TearDown() override {
        while (form->ComponentCount() > 0)
            form->Components(form->ComponentCount() - 1)->Free();
        pumpFor(20);
        SetExceptionHandler(previousHandler);
        if (kvControlsUnit.IsStarted())
            kvControlsUnit.Stop();
        GuiTest::TearDown();
    }

    bool showForm() {
        form->Show();
        bringToForeground(form->Handle());
        return pumpUntil([this] { return GetActiveWindow() == form->Handle() && IsWindowVisible(form->Handle()); });
    }

    template <class T> T *add(TRect bounds) {
        T *control = New<T>(form);
        control->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
        control->SetParent(form);
        control->HandleNeeded();
        return control;
    }

    std::vector<std::wstring> errors;
    TExceptionEvent previousHandler;
    TForm *form = nullptr;
};

struct ScrollCall {
    TScrollBarKind kind;
    TScrollCode code;
};

// Shows a content of ContentWidth x ContentHeight pixels, scrolled by the bars; paints
// coloured squares (no text) that move with the scroll offsets.
class TScrollingProbe : public TkvControl {
    CL_CLASS(TScrollingProbe, TkvControl)

public:
    int ContentWidth = 400;
    int ContentHeight = 400;
    int LeftOffset = 0;
    int TopOffset = 0;
    int AfterMouseDowns = 0;
    std::vector<ScrollCall> Scrolls;
    // Read by the input thread of the automatic-scrolling test.
    std::atomic<int> ScrollCount{0};

    void SetContent(int width, int height) {
        ContentWidth = width;
        ContentHeight = height;
        UpdateScrollBars();
    }

    void SetupScrollBarParams() override {
        TRect client;
        GetClientBounds(client);
        int w = client.right - client.left;
        int h = client.bottom - client.top;
        SetScrollBarInfo(sbHorizontal, 0, ContentWidth - 1, 8, w, LeftOffset, true, true);
        SetScrollBarInfo(sbVertical, 0, ContentHeight - 1, 8, h, TopOffset, true, true);
    }

    void Scroll(TScrollBarKind kind, TScrollCode code, int &pos) override {
        Scrolls.push_back(ScrollCall{kind, code});
        ++ScrollCount;
        int &offset = kind == sbHorizontal ? LeftOffset : TopOffset;
        switch (code) {
        case scLineUp:
            offset -= 8;
            break;
        case scLineDown:
            offset += 8;
            break;
        case scPageUp:
            offset -= 40;
            break;
        case scPageDown:
            offset += 40;
            break;
        case scTrack:
        case scPosition:
            offset = pos;
            break;
        default:
            return;
        }
        if (offset < 0)
            offset = 0;
        UpdateScrollBars();
        Invalidate();
    }

    void AfterMouseDown(TMouseButton button, int x, int y) override {
        ++AfterMouseDowns;
        inherited::AfterMouseDown(button, x, y);
    }

    int count(TScrollBarKind kind, TScrollCode code) const {
        int n = 0;
        for (const ScrollCall &call : Scrolls)
            if (call.kind == kind && call.code == code)
                ++n;
        return n;
    }

protected:
    void Paint() override {
        inherited::Paint();
        TRect client;
        GetClientBounds(client);
        TCanvas *canvas = Canvas();
        canvas->GetBrush()->SetColor(clWindow);
        canvas->FillRect(client);
        static const TColor colours[] = {clRed, clGreen, clBlue, clTeal, clPurple, clOlive};
        for (int y = 0; y < ContentHeight; y += 40)
            for (int x = 0; x < ContentWidth; x += 40) {
                if (((x + y) / 40) % 2 != 0)
                    continue;
                canvas->GetBrush()->SetColor(colours[((x / 40) + (y / 40)) % 6]);
                TRect square{client.left + x - LeftOffset + 4, client.top + y - TopOffset + 4,
                             client.left + x - LeftOffset + 36, client.top + y - TopOffset + 36};
                canvas->FillRect(square);
            }
    }
};

} // namespace kvcontroltest

#endif
