// How a value of one data type lives in a raw storage slot: its size, its variant conversions,
// the order of two stored values, its stream forms and its release.
//
// A value type is used as a class reference: the classes hold no state, and each is reached
// through its one shared instance (ValueTypeClass<T>()). Fixed-size types hold the value in the
// slot; string, wide-string and variant types hold a pointer to a cell allocated on first store
// and freed by FinalizeValue. A display-text slot holds a pointer to a wide-string cell; its
// stream form is a 4-byte byte count and the text in UTF-8.
#ifndef KV_DATA_STORAGE_H
#define KV_DATA_STORAGE_H

#include <classlib/bcd.h>
#include <classlib/object.h>
#include <classlib/stream.h>
#include <classlib/units.h>
#include <classlib/variant.h>

#include <cstdint>
#include <string>
#include <vector>

class TkvValueType : public TObject {
    CL_CLASS(TkvValueType, TObject)
public:
    virtual int CompareStored(const void *a, const void *b) const;
    virtual void FinalizeValue(void *slot) const;
    virtual void DisposeDisplayText(void *displaySlot) const;
    virtual int ValueSize() const { return 0; }
    virtual void BufferToVariant(const void *slot, Variant &value) const;
    virtual std::wstring FormatDisplayText(const void *slot) const;
    virtual std::wstring DisplayTextFromBuffer(const void *displaySlot) const;
    virtual void LoadValueFromStream(void *slot, TStream &stream) const;
    virtual void LoadDisplayTextFromStream(void *displaySlot, TStream &stream) const;
    virtual void VariantToBuffer(void *slot, const Variant &value) const;
    virtual void StoreDisplayText(void *displaySlot, const std::wstring &text) const;
    virtual void SaveValueToStream(const void *slot, TStream &stream) const;
    virtual void SaveDisplayTextToStream(const void *displaySlot, TStream &stream) const;
    virtual std::wstring ShortTypeName() const;
    // Value pointers: the slot for fixed-size types, the cell (or null) for by-reference types.
    virtual int CompareTypedValues(const void *a, const void *b) const;
    virtual void ValueAsVariant(const void *value, Variant &result) const;
    virtual TVarType VariantTypeCode() const { return varVariant; }
    virtual bool IsVariantCompatible(const Variant &value) const;
    virtual bool IsStringType() const { return false; }
    virtual const void *ResolveValuePointer(const void *slot) const { return slot; }
};

using TkvValueTypeClass = const TkvValueType *;

// The class reference of a value type.
template <class T> TkvValueTypeClass ValueTypeClass() {
    static const T instance;
    return &instance;
}

// String cells hold 8-bit text in the system's code page.
class TkvStringValueType : public TkvValueType {
    CL_CLASS(TkvStringValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    void FinalizeValue(void *slot) const override;
    int ValueSize() const override { return sizeof(void *); }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    void ValueAsVariant(const void *value, Variant &result) const override;
    TVarType VariantTypeCode() const override { return varString; }
    bool IsStringType() const override { return true; }
    const void *ResolveValuePointer(const void *slot) const override;
};

class TkvWideStringValueType : public TkvStringValueType {
    CL_CLASS(TkvWideStringValueType, TkvStringValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    void FinalizeValue(void *slot) const override;
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    void ValueAsVariant(const void *value, Variant &result) const override;
    TVarType VariantTypeCode() const override { return varOleStr; }
};

class TkvSmallintValueType : public TkvValueType {
    CL_CLASS(TkvSmallintValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 2; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varSmallint; }
};

class TkvIntegerValueType : public TkvValueType {
    CL_CLASS(TkvIntegerValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 4; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varInteger; }
};

class TkvWordValueType : public TkvValueType {
    CL_CLASS(TkvWordValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 2; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varWord; }
};

class TkvBooleanValueType : public TkvValueType {
    CL_CLASS(TkvBooleanValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 1; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    std::wstring FormatDisplayText(const void *slot) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varBoolean; }
};

class TkvFloatValueType : public TkvValueType {
    CL_CLASS(TkvFloatValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 8; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varDouble; }
};

class TkvCurrencyValueType : public TkvValueType {
    CL_CLASS(TkvCurrencyValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 8; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varCurrency; }
};

class TkvDateTimeValueType : public TkvValueType {
    CL_CLASS(TkvDateTimeValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 8; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varDate; }
};

class TkvLargeIntValueType : public TkvValueType {
    CL_CLASS(TkvLargeIntValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return 8; }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
    TVarType VariantTypeCode() const override { return varInt64; }
};

// The run-time library's decimal number record; streamed as its text.
class TkvFMTBcdValueType : public TkvValueType {
    CL_CLASS(TkvFMTBcdValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return sizeof(TBcd); }
    // EVariantError for an invalid record.
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    // The general format; empty for an invalid record.
    std::wstring FormatDisplayText(const void *slot) const override;
    TVarType VariantTypeCode() const override { return varFMTBcd; }
};

// Held as the record; its variant form is a date-time, which is also what is streamed.
class TkvSQLTimeStampValueType : public TkvValueType {
    CL_CLASS(TkvSQLTimeStampValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    int ValueSize() const override { return sizeof(TSQLTimeStamp); }
    // EVariantError for a record that names no moment.
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    TVarType VariantTypeCode() const override { return varSQLTimeStamp; }
};

class TkvVariantValueType : public TkvValueType {
    CL_CLASS(TkvVariantValueType, TkvValueType)
public:
    int CompareTypedValues(const void *a, const void *b) const override;
    void FinalizeValue(void *slot) const override;
    int ValueSize() const override { return sizeof(void *); }
    void BufferToVariant(const void *slot, Variant &value) const override;
    void VariantToBuffer(void *slot, const Variant &value) const override;
    void ValueAsVariant(const void *value, Variant &result) const override;
    const void *ResolveValuePointer(const void *slot) const override;
};

// The slot holds an owned object, freed with the value; nothing of it is streamed.
class TkvObjectValueType : public TkvIntegerValueType {
    CL_CLASS(TkvObjectValueType, TkvIntegerValueType)
public:
    void FinalizeValue(void *slot) const override;
    void LoadValueFromStream(void *slot, TStream &stream) const override;
    void SaveValueToStream(const void *slot, TStream &stream) const override;
};

class TkvValueTypeClassList : public TObject {
    CL_CLASS(TkvValueTypeClassList, TObject)
public:
    void Register(TkvValueTypeClass type);
    void Unregister(TkvValueTypeClass type);
    int Count() const { return static_cast<int>(items_.size()); }
    TkvValueTypeClass Items(int index) const; // EListError out of range
    // The registered class of that name, or null.
    TkvValueTypeClass ItemByName(const std::wstring &className) const;

private:
    std::vector<TkvValueTypeClass> items_;
};

// The global list, made on first use and freed when the unit stops.
TkvValueTypeClassList *kvValueTypeClassList();

extern TUnit kvDataStorageUnit;

#endif
