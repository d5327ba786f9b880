#include "classlib/class_registry.h"

#include <vector>

#include "classlib/exceptions.h"
#include "classlib/string_utils.h"
#include "classlib_strings.h"

namespace {
std::vector<TClass> &registered() {
    static std::vector<TClass> classes;
    return classes;
}
} // namespace

void RegisterNamedClass(TClass cls) {
    if (cls == nullptr)
        return;
    TClass known = FindNamedClass(cls->ClassName());
    if (known == cls)
        return;
    if (known != nullptr)
        throw EInvalidOperation(FormatResString(SDuplicateClass, {cls->ClassName()}));
    registered().push_back(cls);
}

void UnregisterNamedClass(TClass cls) {
    auto &classes = registered();
    for (auto it = classes.begin(); it != classes.end(); ++it)
        if (*it == cls) {
            classes.erase(it);
            return;
        }
}

TClass FindNamedClass(std::wstring_view name) {
    for (TClass cls : registered())
        if (SameText(cls->ClassName(), name))
            return cls;
    return nullptr;
}
