// Resource strings and the one hook every loaded resource string passes through.
//
// Stands in for the compiler's resource strings: the texts are compiled into the program, and
// loading one hands it to the override hook (the control library installs its translation there)
// before anyone uses it. Code that loads through LoadResString must not translate again.
#ifndef CLASSLIB_RESOURCE_STRINGS_H
#define CLASSLIB_RESOURCE_STRINGS_H

#include <initializer_list>
#include <string>
#include <string_view>

struct TResourceString {
    const wchar_t *text;
};

using TResourceStringHook = std::wstring (*)(const std::wstring &loaded);

// The text, after the hook when one is installed.
std::wstring LoadResString(const TResourceString &resource);
// The loaded text with each "%s" replaced by the next argument, in order.
std::wstring FormatResString(const TResourceString &resource, std::initializer_list<std::wstring_view> arguments);
// Installs the hook (null removes it) and returns the one it replaces.
TResourceStringHook SetResourceStringHook(TResourceStringHook hook) noexcept;

#endif
