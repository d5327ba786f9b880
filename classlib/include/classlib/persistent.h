// Persistent objects: assignment between objects, and the owner a persistent answers.
//
// Stands in for the compiler library's persistent and interfaced persistent classes (without
// streaming, which nothing of this program reads). The interfaced persistent's reference
// counting is a no-op: its lifetime follows its owner.
#ifndef CLASSLIB_PERSISTENT_H
#define CLASSLIB_PERSISTENT_H

#include "object.h"

class TPersistent : public TObject {
    CL_CLASS(TPersistent, TObject)

public:
    // Copies what the source holds; a source that neither side knows raises EConvertError.
    virtual void Assign(TPersistent *source);

protected:
    virtual void AssignTo(TPersistent *dest);
    virtual TPersistent *GetOwner() { return nullptr; }
    [[noreturn]] void AssignError(TPersistent *source);
    friend TPersistent *GetPersistentOwnerOf(TPersistent *persistent);
};

// The owner a persistent answers (its protected GetOwner).
TPersistent *GetPersistentOwnerOf(TPersistent *persistent);

class TInterfacedPersistent : public TPersistent, public IInterface {
    CL_CLASS(TInterfacedPersistent, TPersistent)
};

#endif
