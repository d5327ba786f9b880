// The heap-size editor of the form, until the spin edit stands: a plain edit that shows a number.
#ifndef CONFIG_HEAP_EDITOR_H
#define CONFIG_HEAP_EDITOR_H

#include <classlib/stdctrls.h>
#include <classlib/variant.h>

class THeapEditor : public TEdit {
    CL_CLASS(THeapEditor, TEdit)

public:
    void Create(TComponent *owner) override {
        inherited::Create(owner);
        SetText(L"0");
    }
    void SetEditValue(const Variant &value) { SetText(value.AsWideString()); }
    std::wstring Text() { return GetText(); }
};

#endif
