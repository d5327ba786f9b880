// config: the one form that sets the launcher's maximum heap size.
#include <windows.h>

#include <classlib/forms.h>

#include <kvButtons.h>
#include <kvSpinEdit.h>

#include "unCofing.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int result = 0;
    try {
        InitForms();
        kvButtonsUnit.Start();
        kvSpinEditUnit.Start();
        Application->Initialize();
        frmConfig = Application->CreateForm<TfrmConfig>();
        Application->Run();
    } catch (...) {
        // The loop hands what its messages raise to the handler itself; this is what start-up raised.
        HandleException(nullptr);
        result = 1;
    }
    try {
        // The form goes first, while the units of its controls still run: those units hold the
        // forms' unit as well, so stopping it would not free the form yet.
        FreeAndNil(frmConfig);
        FormsUnit.Stop();
        kvSpinEditUnit.Stop();
        kvButtonsUnit.Stop();
    } catch (...) {
        HandleException(nullptr);
        result = 1;
    }
    return result;
}
