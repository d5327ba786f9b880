// A window that shows the drawing of the control library's canvas (see canvas_showcase.h): a form
// of the class library with one painted control filling it. It stays open until closed; the GUI
// tests run it and compare what it shows with a stored capture.
#include <windows.h>

#include <classlib/controls.h>
#include <classlib/forms.h>
#include <kvGraphics.h>

#include "canvas_showcase.h"

namespace {

class TCanvasShowcase : public TCustomControl {
    CL_CLASS(TCanvasShowcase, TCustomControl)

protected:
    void Paint() override { PaintCanvasShowcase(Canvas()); }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    InitForms();
    kvGraphicsUnit.Start();
    Application->Initialize();
    TForm *form = Application->CreateForm<TForm>();
    form->SetCaption(L"Canvas demo");
    form->SetBorderStyle(bsSingle);
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    form->SetPosition(poScreenCenter);
    form->SetClientSize(showcaseWidth, showcaseHeight);
    TCanvasShowcase *showcase = New<TCanvasShowcase>(form);
    showcase->SetParent(form);
    showcase->SetAlign(alClient);
    Application->Run();
    kvGraphicsUnit.Stop();
    FormsUnit.Stop();
    return 0;
}
