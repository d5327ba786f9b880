#include "classlib/forms.h"

TApplication *Application = nullptr;

namespace {

void startForms() {
    Mouse = New<TMouse>();
    Screen = New<TScreen>(nullptr);
    Application = New<TApplication>(nullptr);
}

void stopForms() {
    // The forms the application owns go first; they still reach Screen while they go.
    FreeAndNil(Application);
    FreeAndNil(Screen);
    FreeAndNil(Mouse);
}

} // namespace

constinit TUnit FormsUnit{L"Forms", &startForms, &stopForms};

void InitForms() {
    if (!FormsUnit.IsStarted())
        FormsUnit.Start();
}

void TApplication::Create(TComponent *owner) { inherited::Create(owner); }

void TApplication::Destroy() {
    if (handlerInstalled_) {
        SetExceptionHandler(std::move(previousHandler_));
        handlerInstalled_ = false;
    }
    inherited::Destroy();
    mouseControl_ = nullptr;
    captureControl_ = nullptr;
}

TCustomForm *TApplication::CreateFormOf(TClass formClass) {
    auto *form = NewOf<TCustomForm>(formClass, static_cast<TComponent *>(this));
    if (mainForm_ == nullptr)
        mainForm_ = form;
    return form;
}

void TApplication::Run() {
    if (mainForm_ != nullptr && ShowMainForm)
        mainForm_->Show();
    while (!terminated_)
        HandleMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::ProcessMessages() {
    MSG msg;
    while (processMessage(msg)) {
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!processMessage(msg))
        idle();
}

void TApplication::idle() {
    if (OnIdle)
        GuardedCall(this, [this] { OnIdle(this); });
    WaitMessage();
}

bool TApplication::processMessage(MSG &msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    try {
        if (OnMessage)
            OnMessage(msg, handled);
        if (!handled && !IsKeyMsg(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    } catch (...) {
        HandleException(this);
    }
    FreeDeviceContexts();
    return true;
}

bool TApplication::IsKeyMsg(MSG &msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    // A window that is not ours (the edit inside a combined control) speaks through the
    // nearest window of ours above it.
    HWND window = msg.hwnd;
    TWinControl *control = nullptr;
    while (window != nullptr && (control = TWinControl::FindControl(window)) == nullptr)
        window = GetParent(window);
    if (control == nullptr)
        return false;
    return SendMessageW(window, msg.message + CN_BASE, msg.wParam, msg.lParam) != 0;
}

void TApplication::HandleException(TObject *sender) noexcept { ::HandleException(sender); }

void TApplication::ShowException(const Exception &e) { ::ShowException(e); }

void TApplication::SetOnException(TExceptionEvent handler) {
    onException_ = std::move(handler);
    if (onException_ && !handlerInstalled_) {
        previousHandler_ = SetExceptionHandler([this](TObject *sender, const Exception &e) {
            if (onException_)
                onException_(sender, e);
            else
                ::ShowException(e);
        });
        handlerInstalled_ = true;
    } else if (!onException_ && handlerInstalled_) {
        SetExceptionHandler(std::move(previousHandler_));
        previousHandler_ = nullptr;
        handlerInstalled_ = false;
    }
}

int TApplication::MessageBox(const std::wstring &text, const std::wstring &caption, UINT flags) {
    HWND owner = GetActiveWindow();
    if (owner == nullptr && mainForm_ != nullptr && mainForm_->HandleAllocated())
        owner = mainForm_->Handle();
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

HWND TApplication::Handle() {
    return mainForm_ != nullptr && mainForm_->HandleAllocated() ? mainForm_->Handle() : nullptr;
}

std::wstring TApplication::ExeName() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

void TApplication::UpdateMouseControl(TControl *control) {
    if (control == mouseControl_)
        return;
    TControl *old = mouseControl_;
    mouseControl_ = control;
    if (old != nullptr)
        old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
    if (control != nullptr && mouseControl_ == control)
        control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
}

void TApplication::ControlDestroying(TControl *control) {
    if (mouseControl_ == control)
        mouseControl_ = nullptr;
    if (captureControl_ == control)
        captureControl_ = nullptr;
    if (mainForm_ == control)
        mainForm_ = nullptr;
    if (Screen != nullptr && Screen->activeControl_ == control)
        Screen->activeControl_ = nullptr;
}
