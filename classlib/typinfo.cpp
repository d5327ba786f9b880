#include "classlib/typinfo.h"

#include "classlib/persistent.h"
#include "classlib/string_utils.h"


TPropInfo &TPropList::add(const std::wstring &name, TPropKind kind) {
    // A class that publishes a name again replaces its parent's entry.
    if (TPropInfo *existing = Find(name)) {
        *existing = TPropInfo{};
        existing->Name = name;
        existing->Kind = kind;
        return *existing;
    }
    items_.push_back(TPropInfo{});
    items_.back().Name = name;
    items_.back().Kind = kind;
    return items_.back();
}

void TPropList::Integer(const std::wstring &name, std::function<std::int64_t()> get,
                        std::function<void(std::int64_t)> set, std::int64_t defaultValue) {
    TPropInfo &info = add(name, pkInteger);
    info.GetOrd = std::move(get);
    info.SetOrd = std::move(set);
    info.HasDefault = true;
    info.Default = defaultValue;
}

void TPropList::Boolean(const std::wstring &name, std::function<bool()> get, std::function<void(bool)> set,
                        bool defaultValue) {
    TPropInfo &info = add(name, pkBoolean);
    info.GetOrd = [get = std::move(get)] { return static_cast<std::int64_t>(get() ? 1 : 0); };
    info.SetOrd = [set = std::move(set)](std::int64_t value) { set(value != 0); };
    info.HasDefault = true;
    info.Default = defaultValue ? 1 : 0;
}

void TPropList::Enum(const std::wstring &name, std::vector<std::wstring> names, std::function<std::int64_t()> get,
                     std::function<void(std::int64_t)> set, std::int64_t defaultValue) {
    TPropInfo &info = add(name, pkEnum);
    info.Names = std::move(names);
    info.GetOrd = std::move(get);
    info.SetOrd = std::move(set);
    info.HasDefault = true;
    info.Default = defaultValue;
}

void TPropList::Float(const std::wstring &name, std::function<double()> get, std::function<void(double)> set) {
    TPropInfo &info = add(name, pkFloat);
    info.GetFloat = std::move(get);
    info.SetFloat = std::move(set);
}

void TPropList::String(const std::wstring &name, std::function<std::wstring()> get,
                       std::function<void(const std::wstring &)> set) {
    TPropInfo &info = add(name, pkString);
    info.GetString = std::move(get);
    info.SetString = std::move(set);
}

void TPropList::Component(const std::wstring &name, std::function<TComponent *()> get,
                          std::function<void(TComponent *)> set) {
    TPropInfo &info = add(name, pkComponent);
    info.GetComponent = std::move(get);
    info.SetComponent = std::move(set);
}

void TPropList::Class(const std::wstring &name, std::function<TPersistent *()> get) {
    add(name, pkClass).GetObject = std::move(get);
}

TPropInfo *TPropList::Find(const std::wstring &name) {
    for (TPropInfo &info : items_)
        if (SameText(info.Name, name))
            return &info;
    return nullptr;
}

void TPropList::SetStored(const std::wstring &name, std::function<bool()> stored) {
    if (TPropInfo *info = Find(name))
        info->Stored = std::move(stored);
}

TPropList GetPropList(TPersistent *instance) {
    TPropList list;
    if (instance != nullptr)
        instance->GetPublishedProperties(list);
    return list;
}
