// Spin-edit properties without an editor: the value type by assignment and by provider, the
// fast buttons' collection, the wrap mode, bounds in the value type, display values outside the
// bounds, validation without an editor, and assign.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include <cstdint>
#include <limits>

#include "kvSpinEdit.h"

namespace {

struct Counted {
    Counted() : properties(New<TkvSpinEditProperties>(static_cast<TPersistent *>(nullptr))) {
        properties->OnPropertiesChanged = [this](TObject *) { ++changes; };
    }
    TOwned<TkvSpinEditProperties> properties;
    int changes = 0;
};

TEST(KvSpinEditProperties, ValueTypeByAssignmentAndProvider) {
    Counted c;
    TkvSpinEditProperties *p = c.properties.get();
    EXPECT_EQ(p->ValueType(), vtFloat) << "without a provider";
    TOwned<TkvCustomEditDefaultValuesProvider> provider(New<TkvCustomEditDefaultValuesProvider>(static_cast<TPersistent *>(nullptr)));
    p->SetDefaultValuesProvider(provider.get());
    EXPECT_EQ(p->ValueType(), vtInt) << "the base provider's data kind 0";
    EXPECT_FALSE(p->IsValueTypeStored());
    p->SetValueType(vtFloat);
    EXPECT_TRUE(p->AssignedValues()->ValueType());
    EXPECT_TRUE(p->IsValueTypeStored());
    EXPECT_EQ(p->ValueType(), vtFloat);
    const int changes = c.changes;
    p->SetValueType(vtFloat);
    EXPECT_EQ(c.changes, changes) << "an equal assigned value does nothing";
    p->AssignedValues()->RestoreDefaults();
    EXPECT_EQ(p->ValueType(), vtInt);
    p->SetDefaultValuesProvider(nullptr);
}

TEST(KvSpinEditProperties, FastButtonsAndWrapMode) {
    Counted c;
    TkvSpinEditProperties *p = c.properties.get();
    EXPECT_EQ(p->Buttons()->Count(), 2);
    EXPECT_EQ(p->SpinButtons()->Position(), sbpVert);
    p->SpinButtons()->SetShowFastButtons(true);
    EXPECT_EQ(p->Buttons()->Count(), 4);
    p->SpinButtons()->SetShowFastButtons(false);
    EXPECT_EQ(p->Buttons()->Count(), 2);
    EXPECT_EQ(p->GetWrapMode(), kvSpinWrapClamp);
    p->SetWrapAround(true);
    EXPECT_EQ(p->GetWrapMode(), kvSpinWrapAround);
    EXPECT_TRUE(p->IsEditValueNumeric());
    EXPECT_FALSE(p->IsIncrementStored());
    p->SetIncrement(2);
    EXPECT_TRUE(p->IsIncrementStored());

    // Assign copies every setting, inside one update.
    p->SetValueType(vtInt);
    p->SetLargeIncrement(50);
    p->SetCanEdit(false);
    p->SetExceptionOnInvalidInput(true);
    p->SetUseCtrlIncrement(true);
    p->SpinButtons()->SetPosition(sbpHorzRight);
    p->SpinButtons()->SetShowFastButtons(true);
    p->SetMaxValue(9);
    Counted d;
    TkvSpinEditProperties *q = d.properties.get();
    q->Assign(p);
    EXPECT_EQ(d.changes, 1);
    EXPECT_EQ(q->ValueType(), vtInt);
    EXPECT_TRUE(q->AssignedValues()->ValueType());
    EXPECT_EQ(q->Increment(), 2);
    EXPECT_EQ(q->LargeIncrement(), 50);
    EXPECT_FALSE(q->CanEdit());
    EXPECT_TRUE(q->WrapAround());
    EXPECT_TRUE(q->ExceptionOnInvalidInput());
    EXPECT_TRUE(q->UseCtrlIncrement());
    EXPECT_EQ(q->SpinButtons()->Position(), sbpHorzRight);
    EXPECT_EQ(q->Buttons()->Count(), 4);
    EXPECT_EQ(q->MaxValue(), 9);
}

TEST(KvSpinEditProperties, BoundsDisplayValuesAndValidation) {
    Counted c;
    TkvSpinEditProperties *p = c.properties.get();
    p->SetValueType(vtInt);
    Variant bound;
    p->GetMaxValueBound(bound);
    EXPECT_EQ(bound.AsInt64(), std::numeric_limits<std::int64_t>::max());
    p->SetMinValue(-1e19);
    p->SetMaxValue(1e19);
    p->GetMinValueBound(bound);
    EXPECT_EQ(bound.AsInt64(), std::numeric_limits<std::int64_t>::min());
    p->GetMaxValueBound(bound);
    EXPECT_EQ(bound.AsInt64(), std::numeric_limits<std::int64_t>::max()) << "saturated by its sign";

    p->SetMinValue(0);
    p->SetMaxValue(10);
    Variant display(L"15");
    EXPECT_TRUE(p->IsDisplayValueValid(display, false)) << "outside the bounds is still valid text";
    EXPECT_EQ(display.AsWideString(), L"15");
    display = Variant(L"1e3");
    EXPECT_FALSE(p->IsDisplayValueValid(display, false));
    display = Variant(L"");
    EXPECT_TRUE(p->IsDisplayValueValid(display, false));

    Variant value(L"7");
    EXPECT_TRUE(p->IsEditValueValid(value));
    EXPECT_EQ(value.VarType(), varOleStr) << "number text stays text";
    value = Variant(7.0);
    EXPECT_TRUE(p->IsEditValueValid(value));
    EXPECT_EQ(value.VarType(), varInt64) << "a number comes in the value type";
    value = Variant(2.5);
    EXPECT_FALSE(p->IsEditValueValid(value)) << "no integer text";
    value = Variant::Null();
    EXPECT_TRUE(p->IsEditValueValid(value));
    EXPECT_EQ(value.AsInt64(), 0);

    // Without an editor the value checked is 0 clamped to the bounds.
    p->SetMinValue(3);
    display = Variant(L"whatever");
    std::wstring errorText;
    bool error = false;
    p->ValidateDisplayValue(display, errorText, error, nullptr);
    EXPECT_FALSE(error);
    EXPECT_EQ(display.AsWideString(), L"3");
    EXPECT_EQ(p->GetDefaultDisplayValue().AsWideString(), L"3");
}

} // namespace
