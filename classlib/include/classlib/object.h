// The root object, class references and the one rule of creating and freeing objects.
//
// Stands in for the compiler library's root class, class references and virtual constructors.
// A C++ constructor cannot reach an override, a constructor of the compiler library can; so
// every class of this layer and of the control library is built in two phases:
//   - the C++ constructor only gives fields their first values (no virtual calls, no resources);
//   - `New<T>(args...)` then calls the initialiser `Create(args...)`, whose overrides call
//     `inherited::Create(...)` first, and `AfterConstruction`; every virtual call reaches the
//     most derived override, as in the compiler library.
// Teardown mirrors it: `Free` calls `BeforeDestruction`, then the virtual `Destroy` chain (each
// override does its own work, then `inherited::Destroy()`) while the object is still whole, and
// only then deletes it; C++ destructors release memory only. `Destroy` must cope with an object
// whose `Create` failed half-way: `New` runs it, deletes the object and rethrows.
#ifndef CLASSLIB_OBJECT_H
#define CLASSLIB_OBJECT_H

#include <memory>
#include <type_traits>
#include <utility>

class TObject;

// What a class reference knows of its class.
struct TClassInfo {
    const wchar_t *name;
    const TClassInfo *parent;
    TObject *(*newRaw)(); // a default-constructed instance, or null for an abstract class

    const wchar_t *ClassName() const noexcept { return name; }
    const TClassInfo *ClassParent() const noexcept { return parent; }
    bool InheritsFrom(const TClassInfo *ancestor) const noexcept;
    // A new, not yet initialised instance; raises EInvalidOperation for an abstract class.
    TObject *NewInstance() const;
};

// A class reference.
using TClass = const TClassInfo *;

namespace classlib_detail {
template <class T, class... A> T *initialise(T *obj, A &&...args);
template <class T> TObject *newRaw() {
    if constexpr (std::is_abstract_v<T>)
        return nullptr;
    else
        return new T;
}
} // namespace classlib_detail

#define CL_WIDE_NAME_(text) L##text
#define CL_WIDE_NAME(name) CL_WIDE_NAME_(#name)

// Gives a class its class information; the first line of every class derived from TObject.
#define CL_CLASS(Self, Parent) CL_CLASS_NAMED(Self, Parent, CL_WIDE_NAME(Self))

// The same under a chosen name, for a class template whose instances share one name.
#define CL_CLASS_NAMED(Self, Parent, displayName)                                                  \
public:                                                                                            \
    using inherited = Parent;                                                                      \
    using ThisClass = Self;                                                                        \
    static constexpr TClassInfo classInfo{displayName, &Parent::classInfo,                         \
                                          &::classlib_detail::newRaw<Self>};                       \
    static TClass ClassInfo() noexcept { return &classInfo; }                                      \
    TClass ClassType() const noexcept override { return &classInfo; }                              \
                                                                                                   \
private:

class TObject {
public:
    using ThisClass = TObject;
    static constexpr TClassInfo classInfo{L"TObject", nullptr, &classlib_detail::newRaw<TObject>};
    static TClass ClassInfo() noexcept { return &classInfo; }
    virtual TClass ClassType() const noexcept { return &classInfo; }

    TObject() = default;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;

    void Create() {}
    virtual void AfterConstruction() {}
    virtual void BeforeDestruction() {}

    const wchar_t *ClassName() const noexcept { return ClassType()->ClassName(); }
    bool InheritsFrom(TClass ancestor) const noexcept { return ClassType()->InheritsFrom(ancestor); }

    // Runs the teardown and deletes the object.
    void Free();

protected:
    virtual ~TObject() = default;
    // The teardown chain; overrides end with inherited::Destroy().
    virtual void Destroy() {}

private:
    template <class T, class... A> friend T *classlib_detail::initialise(T *obj, A &&...args);
    void destroyAfterFailedCreate() noexcept;
};

// Frees an object or nothing.
inline void Free(TObject *obj) {
    if (obj != nullptr)
        obj->Free();
}

// Clears the reference before freeing, so that nothing reached during teardown sees it.
template <class T> void FreeAndNil(T *&obj) {
    T *old = obj;
    obj = nullptr;
    Free(old);
}

// Frees an object when a scope ends; for objects whose teardown does not raise.
struct TFreeDeleter {
    void operator()(TObject *obj) const noexcept;
};
template <class T> using TOwned = std::unique_ptr<T, TFreeDeleter>;

namespace classlib_detail {
// Runs the initialiser of a new object; a failure tears it down, deletes it and travels on.
template <class T, class... A> T *initialise(T *obj, A &&...args) {
    try {
        obj->Create(std::forward<A>(args)...);
        obj->AfterConstruction();
    } catch (...) {
        static_cast<TObject *>(obj)->destroyAfterFailedCreate();
        throw;
    }
    return obj;
}
} // namespace classlib_detail

// Creates a T and runs its initialiser with the arguments.
template <class T, class... A> T *New(A &&...args) {
    static_assert(std::is_same_v<typename T::ThisClass, T>, "the class lacks CL_CLASS");
    return classlib_detail::initialise(new T, std::forward<A>(args)...);
}

// Raises EInvalidCast for a class that does not derive from the base.
[[noreturn]] void RaiseInvalidCast();

// Creates an instance of the class a reference names and runs the base's virtual initialiser
// (the virtual constructor of the compiler library).
template <class B, class... A> B *NewOf(TClass cls, A &&...args) {
    if (cls == nullptr || !cls->InheritsFrom(B::ClassInfo()))
        RaiseInvalidCast();
    return classlib_detail::initialise(static_cast<B *>(cls->NewInstance()), std::forward<A>(args)...);
}

// `obj is T`.
template <class T, class U> bool Is(const U *obj) noexcept { return dynamic_cast<const T *>(obj) != nullptr; }

// `obj as T`: null stays null, anything else must be a T.
template <class T, class U> T *As(U *obj) {
    if (obj == nullptr)
        return nullptr;
    T *result = dynamic_cast<T *>(obj);
    if (result == nullptr)
        RaiseInvalidCast();
    return result;
}

// Interfaces are abstract classes deriving from IInterface. Their reference counting is a no-op:
// the lifetime of what implements them follows its owner, as the control library expects.
struct IInterface {
protected:
    virtual ~IInterface() = default;
};

// The interface an object offers, or null.
template <class I, class U> I *Supports(U *obj) noexcept { return dynamic_cast<I *>(obj); }

#endif
