// The registry of classes known by name.
//
// Stands in for the compiler library's streaming class registration: a class registered here
// can be found by its name. Registering a class again does nothing; another class of a name
// already taken is refused (EInvalidOperation).
#ifndef CLASSLIB_CLASS_REGISTRY_H
#define CLASSLIB_CLASS_REGISTRY_H

#include <string_view>

#include "object.h"

void RegisterNamedClass(TClass cls);
void UnregisterNamedClass(TClass cls);
// The registered class of that name (compared ignoring ASCII case), or null.
TClass FindNamedClass(std::wstring_view name);

#endif
