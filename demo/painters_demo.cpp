// A window that shows the drawing of the control library's painters (see painters_showcase.h): a
// form of the class library with one painted control filling it. It stays open until closed;
// the GUI tests run it and compare what it shows with a stored capture.
#include <windows.h>

#include <classlib/controls.h>
#include <classlib/forms.h>
#include <kvGraphics.h>
#include <kvLookAndFeelPainters.h>

#include "painters_showcase.h"

namespace {

class TPaintersShowcase : public TCustomControl {
    CL_CLASS(TPaintersShowcase, TCustomControl)

protected:
    void Paint() override { PaintPainterShowcase(Canvas()); }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    InitForms();
    kvLookAndFeelPaintersUnit.Start();
    Application->Initialize();
    TForm *form = Application->CreateForm<TForm>();
    form->SetCaption(L"Painters demo");
    form->SetBorderStyle(bsSingle);
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    form->SetPosition(poScreenCenter);
    form->SetClientSize(PainterShowcaseWidth(), painterShowcaseHeight);
    TPaintersShowcase *showcase = New<TPaintersShowcase>(form);
    showcase->SetParent(form);
    showcase->SetAlign(alClient);
    Application->Run();
    kvLookAndFeelPaintersUnit.Stop();
    FormsUnit.Stop();
    return 0;
}
