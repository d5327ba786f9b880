// Fixture of the control-service tests: the forms and control-services units run, exceptions of
// callbacks are collected, and a control that writes down what the services tell it.
#ifndef KV_SERVICES_SUPPORT_H
#define KV_SERVICES_SUPPORT_H

#include <classlib/controls.h>
#include <classlib/exception_handler.h>
#include <classlib/forms.h>
#include <classlib/messages.h>

#include <kvControls.h>

#include <functional>
#include <string>
#include <vector>

#include "gui_display.h"

namespace kvservicestest {

class KvServicesTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        InitForms();
        kvControlsUnit.Start();
        previousHandler = SetExceptionHandler([this](TObject *, const Exception &e) { errors.push_back(e.Message()); });
    }
    void TearDown() override {
        SetExceptionHandler(previousHandler);
        if (kvControlsUnit.IsStarted())
            kvControlsUnit.Stop();
        GuiTest::TearDown();
    }

    std::vector<std::wstring> errors;
    TExceptionEvent previousHandler;
};

// A windowed control that counts the services' messages. It takes no part in the application's
// own mouse enter and leave (its mouse moves go nowhere), so every CM_MOUSELEAVE it counts came
// from mouse tracking.
class TServiceProbe : public TCustomControl {
    CL_CLASS(TServiceProbe, TCustomControl)

public:
    int settingsChanges = 0;
    int mouseLeaves = 0;
    std::function<void()> onSettingsChange;

    void WndProc(TMessage &m) override {
        if (m.Msg == WM_MOUSEMOVE || m.Msg == WM_MOUSELEAVE) {
            m.Result = 0;
            return;
        }
        inherited::WndProc(m);
    }

    void Dispatch(TMessage &m) override {
        switch (m.Msg) {
        case KV_SYSTEMSETTINGSCHANGED:
            ++settingsChanges;
            if (onSettingsChange)
                onSettingsChange();
            return;
        case CM_MOUSELEAVE:
            if (m.LParam == reinterpret_cast<LPARAM>(this))
                ++mouseLeaves;
            return;
        default:
            inherited::Dispatch(m);
        }
    }

protected:
    void Paint() override {
        Canvas()->GetBrush()->SetColor(clTeal);
        Canvas()->FillRect(ClientRect());
    }
};

// A probe on the parent at the bounds, its window made.
inline TServiceProbe *addServiceProbe(TWinControl *parent, TRect bounds) {
    TServiceProbe *probe = New<TServiceProbe>(parent);
    probe->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    probe->SetParent(parent);
    probe->HandleNeeded();
    return probe;
}

} // namespace kvservicestest

#endif
