#include "classlib/persistent.h"

#include "classlib/exceptions.h"
#include "classlib_strings.h"

void TPersistent::Assign(TPersistent *source) {
    if (source != nullptr)
        source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent *dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent *source) {
    const wchar_t *sourceName = source != nullptr ? source->ClassName() : L"nil";
    throw EConvertError(FormatResString(SAssignError, {sourceName, ClassName()}));
}

TPersistent *GetPersistentOwnerOf(TPersistent *persistent) {
    return persistent != nullptr ? persistent->GetOwner() : nullptr;
}
