#include "classlib/list.h"

#include "classlib/exceptions.h"
#include "classlib/string_utils.h"
#include "classlib_strings.h"

void RaiseListIndexError(int index) {
    throw EListError(LoadResString(SListIndexError) + L" (" + IntToStr(index) + L")");
}
