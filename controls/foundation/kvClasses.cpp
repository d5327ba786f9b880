// kvClasses: the unit's start and end, its small routines and the resource-string translation.
#include "kvClasses.h"

#include <classlib/resource_strings.h>

namespace {

constinit TStringList *translationSource = nullptr;
constinit TStringList *translationTarget = nullptr;

void startClasses() { SetResourceStringHook(TranslateResourceString); }

void stopClasses() {
    TResourceStringHook current = SetResourceStringHook(nullptr);
    if (current != TranslateResourceString)
        SetResourceStringHook(current);
    FreeAndNil(translationSource);
    FreeAndNil(translationTarget);
}

} // namespace

constinit TUnit kvClassesUnit{L"kvClasses", startClasses, stopClasses};

std::wstring GetTextBeforeBar(std::wstring_view text) {
    std::size_t bar = text.find(L'|');
    return std::wstring(bar == std::wstring_view::npos ? text : text.substr(0, bar));
}

TPersistent *GetPersistentOwner(TPersistent *persistent) { return GetPersistentOwnerOf(persistent); }

TSize MakeSize(std::int32_t width, std::int32_t height) { return TSize{width, height}; }

std::int32_t GetMiddle(std::int32_t a, std::int32_t b) {
    // The sum of two 32-bit values needs 33 bits; the floor of half of it fits in 32 again.
    std::int64_t sum = static_cast<std::int64_t>(a) + b;
    return static_cast<std::int32_t>(sum >= 0 ? sum / 2 : (sum - 1) / 2);
}

std::wstring TranslateResourceString(const std::wstring &loaded) {
    if (translationSource == nullptr)
        return loaded;
    int index = translationSource->IndexOf(loaded);
    // A target list shorter than the source list leaves the rest untranslated.
    if (index < 0 || translationTarget == nullptr || index >= translationTarget->Count())
        return loaded;
    return translationTarget->Strings(index);
}

void SetResourceStringTranslations(TStringList *source, TStringList *target) {
    if (source != translationSource)
        FreeAndNil(translationSource);
    if (target != translationTarget)
        FreeAndNil(translationTarget);
    translationSource = source;
    translationTarget = target;
}
