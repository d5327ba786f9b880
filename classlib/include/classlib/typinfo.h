// Published properties: what a class hands the component reader and writer by name.
//
// Stands in for the compiler's run-time type information of published properties. C++ has none,
// so a class lists its own in the virtual TPersistent::GetPublishedProperties, after those of its
// parent; a class may mark an inherited entry as not stored. Each entry reads and sets the
// property on the object that listed it. Events are not published here: a stream names no code.
#ifndef CLASSLIB_TYPINFO_H
#define CLASSLIB_TYPINFO_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TComponent;
class TPersistent;

enum TPropKind : std::uint8_t {
    pkInteger,   // a whole number
    pkBoolean,   // False or True
    pkEnum,      // an ordinal written by its identifier
    pkFloat,     // a double
    pkString,    // a wide string
    pkComponent, // a reference to a component, written by its name
    pkClass,     // a persistent object the owner keeps; its own properties are written "Name.Sub"
};

struct TPropInfo {
    std::wstring Name;
    TPropKind Kind = pkInteger;
    // pkInteger, pkBoolean, pkEnum.
    std::function<std::int64_t()> GetOrd;
    std::function<void(std::int64_t)> SetOrd;
    // The identifiers of pkEnum, by ordinal.
    std::vector<std::wstring> Names;
    std::function<double()> GetFloat;
    std::function<void(double)> SetFloat;
    std::function<std::wstring()> GetString;
    std::function<void(const std::wstring &)> SetString;
    std::function<TComponent *()> GetComponent;
    std::function<void(TComponent *)> SetComponent;
    std::function<TPersistent *()> GetObject;
    // Null: always stored.
    std::function<bool()> Stored;
    // A value equal to the default is not written.
    bool HasDefault = false;
    std::int64_t Default = 0;

    bool IsStored() const { return !Stored || Stored(); }
};

class TPropList {
public:
    void Integer(const std::wstring &name, std::function<std::int64_t()> get, std::function<void(std::int64_t)> set,
                 std::int64_t defaultValue);
    void Boolean(const std::wstring &name, std::function<bool()> get, std::function<void(bool)> set, bool defaultValue);
    void Enum(const std::wstring &name, std::vector<std::wstring> names, std::function<std::int64_t()> get,
              std::function<void(std::int64_t)> set, std::int64_t defaultValue);
    void Float(const std::wstring &name, std::function<double()> get, std::function<void(double)> set);
    void String(const std::wstring &name, std::function<std::wstring()> get,
                std::function<void(const std::wstring &)> set);
    void Component(const std::wstring &name, std::function<TComponent *()> get, std::function<void(TComponent *)> set);
    void Class(const std::wstring &name, std::function<TPersistent *()> get);

    // The entry of that name (ASCII case ignored), or null.
    TPropInfo *Find(const std::wstring &name);
    // Gives an entry a stored rule (a class re-publishing an inherited property).
    void SetStored(const std::wstring &name, std::function<bool()> stored);
    const std::vector<TPropInfo> &Items() const noexcept { return items_; }

private:
    TPropInfo &add(const std::wstring &name, TPropKind kind);
    std::vector<TPropInfo> items_;
};

// The published properties of an object.
TPropList GetPropList(TPersistent *instance);

#endif
