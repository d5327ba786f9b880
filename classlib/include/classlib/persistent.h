// Persistent objects: assignment between objects, and the owner a persistent answers.
//
// Stands in for the compiler library's persistent and interfaced persistent classes. What the
// component writer stores of an object are its published properties (typinfo.h) and the
// properties it defines itself. The interfaced persistent's reference counting is a no-op: its
// lifetime follows its owner.
#ifndef CLASSLIB_PERSISTENT_H
#define CLASSLIB_PERSISTENT_H

#include "object.h"

class TFiler;
class TPropList;

class TPersistent : public TObject {
    CL_CLASS(TPersistent, TObject)

public:
    // Copies what the source holds; a source that neither side knows raises EConvertError.
    virtual void Assign(TPersistent *source);
    // Adds the class's published properties to those of its parent (called first).
    virtual void GetPublishedProperties(TPropList &) {}

protected:
    // Properties the object reads and writes itself, beside its published ones.
    virtual void DefineProperties(TFiler *) {}
    friend class TReader;
    friend class TWriter;
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
