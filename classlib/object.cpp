#include "classlib/object.h"

#include "classlib/exception_handler.h"
#include "classlib/exceptions.h"
#include "classlib_strings.h"

bool TClassInfo::InheritsFrom(const TClassInfo *ancestor) const noexcept {
    for (const TClassInfo *cls = this; cls != nullptr; cls = cls->parent)
        if (cls == ancestor)
            return true;
    return false;
}

TObject *TClassInfo::NewInstance() const {
    TObject *obj = newRaw != nullptr ? newRaw() : nullptr;
    if (obj == nullptr)
        throw EInvalidOperation(FormatResString(SAbstractClass, {name}));
    return obj;
}

void TObject::Free() {
    // Deleted even when the teardown raises: a half-torn object is of no use to anyone.
    struct Deleter {
        TObject *obj;
        ~Deleter() { delete obj; }
    } deleter{this};
    BeforeDestruction();
    Destroy();
}

void TObject::destroyAfterFailedCreate() noexcept {
    try {
        Destroy();
    } catch (...) {
        // The exception of the failed initialiser is the one that travels on.
    }
    delete this;
}

void TFreeDeleter::operator()(TObject *obj) const noexcept {
    try {
        Free(obj);
    } catch (...) {
        HandleException(nullptr);
    }
}

void RaiseInvalidCast() { throw EInvalidCast(LoadResString(SInvalidCast)); }
