// Forms, the application and the screen.
//
// Stands in for the compiler library's form, application and screen classes. A form is a
// top-level window holding controls; it keeps the active control, moves the focus with Tab and
// the arrow keys, offers keys to itself first with KeyPreview, closes through OnClose and runs
// modally. The application runs the message loop, where every key message is first offered to
// the focused control as a CN_ notification and dialog keys go to the form; it tracks the
// control under the mouse for CM_MOUSEENTER and CM_MOUSELEAVE, and hands exceptions to the
// exception handler. The screen knows the cursors, the forms and the focus.
#ifndef CLASSLIB_FORMS_H
#define CLASSLIB_FORMS_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "controls.h"
#include "exception_handler.h"
#include "units.h"

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };
enum TPosition : std::uint8_t { poDesigned, poDefault, poScreenCenter, poMainFormCenter };
enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormState : std::uint8_t { fsCreating, fsVisible, fsShowing, fsModal, fsActivated };
using TFormStates = TSet<TFormState>;

using TCloseEvent = TEvent<void(TObject *sender, TCloseAction &action)>;
using TCloseQueryEvent = TEvent<void(TObject *sender, bool &canClose)>;

class TCustomForm : public TWinControl {
    CL_CLASS(TCustomForm, TWinControl)

public:
    void Create(TComponent *owner) override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    // As the root: its controls, then the components it owns that have no parent of their own.
    void GetChildren(const TGetChildProc &proc, TComponent *root) override;
    void GetPublishedProperties(TPropList &list) override;

    TWinControl *ActiveControl() const noexcept { return activeControl_; }
    void SetActiveControl(TWinControl *control);
    // Makes the control the active one and gives it the focus when the form has it.
    void FocusControl(TWinControl *control);
    // Called when a control of the form received the focus; sends CM_EXIT and CM_ENTER.
    bool SetFocusedControl(TWinControl *control);
    // Forgets a control that goes away.
    void DefocusControl(TWinControl *control, bool removing);
    bool Active() const noexcept { return active_; }
    bool KeyPreview() const noexcept { return keyPreview_; }
    void SetKeyPreview(bool value) noexcept { keyPreview_ = value; }
    TPosition Position() const noexcept { return position_; }
    void SetPosition(TPosition value) noexcept { position_ = value; }
    TBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TBorderIcons BorderIcons() const noexcept { return borderIcons_; }
    void SetBorderIcons(TBorderIcons value);
    TFormStates FormState() const noexcept { return formState_; }
    TModalResult ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(TModalResult value) noexcept { modalResult_ = value; }
    TCanvas *Canvas() const noexcept { return canvas_; }

    void Close();
    bool CloseQuery();
    // Frees the form once the messages now queued were handled.
    void Release();
    TModalResult ShowModal();
    void SetFocus() override;
    bool CanFocus() override;
    bool Showing() override;

    void Dispatch(TMessage &message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void Destroy() override;
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void DestroyWindowHandle() override;
    void PaintWindow(HDC dc) override;
    virtual void Paint();
    virtual void DoClose(TCloseAction &action);
    virtual void DoShow();
    virtual void DoHide();
    virtual void Activate();
    virtual void Deactivate();

    void WMClose(TMessage &m);
    void WMActivate(TMessage &m);
    void WMSysColorChange(TMessage &m);
    void WMShowWindow(TMessage &m);
    void CMDialogKey(TMessage &m);
    void CMRelease(TMessage &m);
    void CMVisibleChanged(TMessage &m);

private:
    void placeOnScreen();

    TWinControl *activeControl_ = nullptr;
    TWinControl *focusedControl_ = nullptr;
    bool active_ = false;
    bool keyPreview_ = false;
    TPosition position_ = poDesigned;
    TBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
    TFormStates formState_;
    TModalResult modalResult_ = mrNone;
    TControlCanvas *canvas_ = nullptr;
    bool released_ = false;
};

class TForm : public TCustomForm {
    CL_CLASS(TForm, TCustomForm)
};

using TFormClass = TClass;

class TScreen : public TComponent {
    CL_CLASS(TScreen, TComponent)

public:
    void Create(TComponent *owner) override;

    // The cursor of an id: stock cursors by their negative ids, registered ones by theirs; an
    // unknown id answers the arrow.
    HCURSOR Cursors(TCursor id);
    void SetCursors(TCursor id, HCURSOR cursor);
    TCursor Cursor() const noexcept { return cursor_; }
    void SetCursor(TCursor value);
    TCustomForm *ActiveForm() const noexcept { return activeForm_; }
    TWinControl *ActiveControl() const noexcept { return activeControl_; }
    TCustomForm *FocusedForm() const noexcept { return focusedForm_; }
    int Width() { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() { return GetSystemMetrics(SM_CYSCREEN); }
    int PixelsPerInch() const noexcept { return pixelsPerInch_; }
    TFont *MenuFont() const noexcept { return menuFont_; }
    TFont *IconFont() const noexcept { return iconFont_; }
    int FormCount() const noexcept { return forms_.Count(); }
    TCustomForm *Forms(int index) const { return forms_.Get(index); }
    TRect WorkAreaRect();

    TNotifyEvent OnActiveControlChange;
    TNotifyEvent OnActiveFormChange;

protected:
    void Destroy() override;

private:
    void addForm(TCustomForm *form) { forms_.Add(form); }
    void removeForm(TCustomForm *form);
    void setFocused(TCustomForm *form, TWinControl *control);
    void loadMetricsFonts();

    std::map<TCursor, HCURSOR> cursors_;
    // Cursors the screen made itself (the drag cursors), destroyed with it.
    std::vector<HCURSOR> ownCursors_;
    TCursor cursor_ = crDefault;
    TCustomForm *activeForm_ = nullptr;
    TCustomForm *focusedForm_ = nullptr;
    TWinControl *activeControl_ = nullptr;
    int pixelsPerInch_ = 96;
    TFont *menuFont_ = nullptr;
    TFont *iconFont_ = nullptr;
    TList<TCustomForm *> forms_;
    friend class TCustomForm;
    friend class TApplication;
};

using TMessageEvent = TEvent<void(MSG &msg, bool &handled)>;

class TApplication : public TComponent {
    CL_CLASS(TApplication, TComponent)

public:
    void Create(TComponent *owner) override;

    void Initialize() {}
    // Creates a form of the class, owned by the application; the first becomes the main form.
    template <class T> T *CreateForm() {
        T *form = New<T>(this);
        if (mainForm_ == nullptr)
            mainForm_ = form;
        return form;
    }
    TCustomForm *CreateFormOf(TClass formClass);
    // Shows the main form and handles messages until the program is told to end.
    void Run();
    void Terminate();
    bool Terminated() const noexcept { return terminated_; }
    // Handles the messages waiting now.
    void ProcessMessages();
    // Handles one message, or waits for one when none is queued.
    void HandleMessage();
    // Offers a queued key message to the focused control; true when it was consumed.
    bool IsKeyMsg(MSG &msg);
    // Inside a catch block: hands the exception being handled to the exception handler.
    void HandleException(TObject *sender) noexcept;
    void ShowException(const Exception &e);
    int MessageBox(const std::wstring &text, const std::wstring &caption, UINT flags);

    TCustomForm *MainForm() const noexcept { return mainForm_; }
    HWND Handle();
    std::wstring Title() { return ApplicationTitle(); }
    void SetTitle(const std::wstring &title) { SetApplicationTitle(title); }
    std::wstring ExeName();
    bool ShowMainForm = true;
    // Whether a changed locale is read again into the format settings when the platform says so.
    bool UpdateFormatSettings = true;

    // The control under the mouse, kept by the mouse messages of the library's windows.
    TControl *MouseControl() const noexcept { return mouseControl_; }
    void UpdateMouseControl(TControl *control);
    // Forgets a control that goes away.
    void ControlDestroying(TControl *control);

    TExceptionEvent OnException() const { return onException_; }
    void SetOnException(TExceptionEvent handler);
    TMessageEvent OnMessage;
    TNotifyEvent OnIdle;

protected:
    void Destroy() override;

private:
    bool processMessage(MSG &msg);
    void idle();

    TCustomForm *mainForm_ = nullptr;
    bool terminated_ = false;
    TControl *mouseControl_ = nullptr;
    TControl *captureControl_ = nullptr;
    TExceptionEvent onException_;
    TExceptionEvent previousHandler_;
    bool handlerInstalled_ = false;
    friend class TCustomForm;
    friend class TControl;
    friend class TWinControl;
};

extern TApplication *Application;
extern TScreen *Screen;

// The unit of Application, Screen and Mouse: its start creates them, its stop frees them.
extern TUnit FormsUnit;
// Starts FormsUnit unless it runs.
void InitForms();

#endif
