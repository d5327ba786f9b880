#include "classlib/resource_strings.h"

namespace {
constinit TResourceStringHook currentHook = nullptr;
}

std::wstring LoadResString(const TResourceString &resource) {
    std::wstring text = resource.text != nullptr ? resource.text : L"";
    return currentHook != nullptr ? currentHook(text) : text;
}

std::wstring FormatResString(const TResourceString &resource, std::initializer_list<std::wstring_view> arguments) {
    std::wstring pattern = LoadResString(resource);
    std::wstring result;
    result.reserve(pattern.size());
    auto next = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] == L's' && next != arguments.end()) {
            result += *next++;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

TResourceStringHook SetResourceStringHook(TResourceStringHook hook) noexcept {
    TResourceStringHook previous = currentHook;
    currentHook = hook;
    return previous;
}
