// Controls of the form tests that write down the messages and calls they receive.
#ifndef FORMS_PROBE_H
#define FORMS_PROBE_H

#include <classlib/controls.h>
#include <classlib/forms.h>

#include <string>
#include <vector>

namespace formstest {

using Log = std::vector<std::string>;

inline std::string buttonName(TMouseButton b) { return b == mbLeft ? "left" : b == mbRight ? "right" : "middle"; }

// A painted window: fills itself with FillColor, notes mouse, key and notification traffic.
class TProbe : public TCustomControl {
    CL_CLASS(TProbe, TCustomControl)

public:
    Log *log = nullptr;
    std::string name;
    TColor FillColor = clRed;
    bool consumeNotification = false; // answers CN_KEYDOWN with 1
    bool consumeKeyDown = false;      // sets the key to 0 in KeyDown
    DWORD extraStyle = 0;
    DWORD extraExStyle = 0;
    int sysColorChanges = 0;
    bool throwInPaint = false;
    LRESULT dialogCode = 0;  // the answer to WM_GETDLGCODE
    bool wantsSpecialKeys = false;

    void Create(TComponent *owner) override {
        inherited::Create(owner);
        SetTabStop(true);
    }

    void Dispatch(TMessage &m) override {
        switch (m.Msg) {
        case CN_KEYDOWN:
            note("CN_KEYDOWN " + std::to_string(m.WParam));
            if (consumeNotification) {
                m.Result = 1;
                return;
            }
            break;
        case CM_SYSCOLORCHANGE:
            ++sysColorChanges;
            break;
        case WM_GETDLGCODE:
            m.Result = dialogCode;
            return;
        case CM_WANTSPECIALKEY:
            m.Result = wantsSpecialKeys ? 1 : 0;
            return;
        case CM_MOUSEENTER:
            if (m.LParam == reinterpret_cast<LPARAM>(this))
                note("enter");
            break;
        case CM_MOUSELEAVE:
            if (m.LParam == reinterpret_cast<LPARAM>(this))
                note("leave");
            break;
        case CM_ENTER:
            note("CM_ENTER");
            break;
        case CM_EXIT:
            note("CM_EXIT");
            break;
        default:
            break;
        }
        inherited::Dispatch(m);
    }

protected:
    void CreateParams(TCreateParams &params) override {
        inherited::CreateParams(params);
        params.Style |= extraStyle;
        params.ExStyle |= extraExStyle;
    }
    void Paint() override {
        if (throwInPaint)
            throw Exception(L"paint failed");
        Canvas()->GetBrush()->SetColor(FillColor);
        Canvas()->GetBrush()->SetStyle(bsSolid);
        Canvas()->FillRect(ClientRect());
    }
    void KeyDown(WORD &key, TShiftState shift) override {
        note("KeyDown " + std::to_string(key));
        if (consumeKeyDown)
            key = 0;
        inherited::KeyDown(key, shift);
    }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
        note("down " + buttonName(button) + " " + std::to_string(x) + "," + std::to_string(y) +
             (shift.Contains(ssDouble) ? " double" : ""));
        inherited::MouseDown(button, shift, x, y);
    }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
        note("up " + buttonName(button) + " " + std::to_string(x) + "," + std::to_string(y));
        inherited::MouseUp(button, shift, x, y);
    }
    void Click() override {
        note("click");
        inherited::Click();
    }
    void DblClick() override {
        note("dblclick");
        inherited::DblClick();
    }

private:
    void note(const std::string &what) {
        if (log != nullptr)
            log->push_back(name.empty() ? what : name + " " + what);
    }
};

// A control without a window: paints a solid colour, notes mouse enter and leave and clicks.
class TGraphicProbe : public TGraphicControl {
    CL_CLASS(TGraphicProbe, TGraphicControl)

public:
    Log *log = nullptr;
    std::string name;
    TColor FillColor = clLime;
    int sysColorChanges = 0;

    void Dispatch(TMessage &m) override {
        if (m.Msg == CM_SYSCOLORCHANGE)
            ++sysColorChanges;
        else if (m.Msg == CM_MOUSEENTER && m.LParam == reinterpret_cast<LPARAM>(this))
            note("enter");
        else if (m.Msg == CM_MOUSELEAVE && m.LParam == reinterpret_cast<LPARAM>(this))
            note("leave");
        inherited::Dispatch(m);
    }

protected:
    void Paint() override {
        Canvas()->GetBrush()->SetColor(FillColor);
        Canvas()->FillRect(TRect{0, 0, Width(), Height()});
    }
    void Click() override {
        note("click");
        inherited::Click();
    }

private:
    void note(const std::string &what) {
        if (log != nullptr)
            log->push_back(name.empty() ? what : name + " " + what);
    }
};

template <class T> T *addProbe(TWinControl *parent, Log *log, const std::string &name, TRect bounds) {
    T *probe = New<T>(parent);
    probe->log = log;
    probe->name = name;
    probe->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    probe->SetParent(parent);
    return probe;
}

inline bool contains(const Log &log, const std::string &entry) {
    for (const auto &e : log)
        if (e == entry)
            return true;
    return false;
}

inline int indexOf(const Log &log, const std::string &entry) {
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i] == entry)
            return static_cast<int>(i);
    return -1;
}

inline std::string joined(const Log &log) {
    std::string text;
    for (const auto &e : log)
        text += e + "; ";
    return text;
}

} // namespace formstest

#endif
