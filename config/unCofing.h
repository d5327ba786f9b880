// The heap-setting form: shows the megabytes of the launcher's "-Xmx" line, checks a new value
// and writes the line back.
#ifndef CONFIG_UNCOFING_H
#define CONFIG_UNCOFING_H

#include <classlib/forms.h>
#include <classlib/stdctrls.h>
#include <classlib/string_list.h>

#include <kvButtons.h>
#include <kvSpinEdit.h>

#include <string>

class TfrmConfig : public TForm {
    CL_CLASS(TfrmConfig, TForm)

public:
    void Create(TComponent *owner) override;

    TLabel *Label1 = nullptr;
    TLabel *Label2 = nullptr;
    TkvSpinEdit *kvspndtXMX = nullptr;
    TkvButton *btnBtnOK = nullptr;
    TkvButton *btnBtnCancel = nullptr;

    void FormCreate(TObject *sender);
    void FormDestroy(TObject *sender);
    void btnBtnOKClick(TObject *sender);
    void btnBtnCancelClick(TObject *sender);

    const std::wstring &SettingsPath() const noexcept { return settingsPath_; }
    int HeapLineIndex() const noexcept { return heapLineIndex_; }

private:
    TLabel *makeLabel(int left, int top, const wchar_t *caption);
    TkvButton *makeButton(int left, int top, const wchar_t *caption, void (TfrmConfig::*click)(TObject *));
    // Message boxes belong to the form, so they are modal to it.
    void tell(const wchar_t *text);
    void showFileError(const std::wstring &text);
    // Ends the program from form creation without showing the form.
    void endProgram();

    std::wstring settingsPath_;
    TStringList *lines_ = nullptr;
    int heapLineIndex_ = -1;
};

extern TfrmConfig *frmConfig;

#endif
