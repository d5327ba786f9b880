// Edit styles and the edit style controller without windows: the editor's four values along the
// controller chain and their fallbacks, state styles writing to the normal one, assigned bits,
// storing, copying, and the default controller going away.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/units.h>

#include <string>

#include "kvEditStyles.h"

namespace {

class KvEditStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = new UnitScope{&kvLookAndFeelsUnit};
        defaultController = New<TkvEditStyleController>(nullptr);
        SetDefaultEditStyleController(defaultController);
    }
    void TearDown() override {
        FreeAndNil(defaultController);
        SetDefaultEditStyleController(nullptr);
        delete units_;
        units_ = nullptr;
    }
    static TOwned<TkvContainerStyles> makeStyles() {
        return TOwned<TkvContainerStyles>(
            New<TkvContainerStyles>(static_cast<TPersistent *>(nullptr), TkvEditStyle::ClassInfo()));
    }
    static TkvEditStyle *edit(TkvContainerStyles *styles, TkvContainerStateType state) {
        return static_cast<TkvEditStyle *>(styles->Values(state));
    }

    TkvEditStyleController *defaultController = nullptr;

private:
    UnitScope *units_ = nullptr;
};

TEST_F(KvEditStyleTest, ValuesComeFromTheStyleThenTheControllerThenTheParent) {
    auto styles = makeStyles();
    TkvEditStyle *normal = edit(styles.get(), cssNormal);
    TkvEditStyle *focused = edit(styles.get(), cssFocused);
    EXPECT_EQ(normal->ControllerInEffect(), defaultController);
    EXPECT_EQ(normal->StyleController(), nullptr) << "the default controller is not reported";
    EXPECT_EQ(normal->ButtonStyle(), btsDefault);
    EXPECT_EQ(normal->ButtonTransparency(), ebtNone);
    EXPECT_EQ(normal->PopupBorderStyle(), epbsDefault);
    EXPECT_EQ(normal->ExtraValue(), 0);
    EXPECT_TRUE(normal->ExtraFlag());

    defaultController->Style()->SetButtonStyle(btsHotFlat);
    EXPECT_EQ(normal->ButtonStyle(), btsHotFlat) << "the default controller's normal style";
    EXPECT_FALSE(normal->AssignedValues().Contains(esvButtonStyle));
    EXPECT_TRUE(normal->IsStyleValueAssigned(esvButtonStyle));
    EXPECT_EQ(focused->ButtonStyle(), btsHotFlat) << "through the parent";

    normal->SetButtonStyle(btsFlat);
    EXPECT_EQ(normal->ButtonStyle(), btsFlat) << "an own value wins";
    EXPECT_EQ(focused->ButtonStyle(), btsFlat);
    defaultController->StyleFocused()->SetButtonStyle(bts3D);
    EXPECT_EQ(focused->ButtonStyle(), bts3D) << "the controller's style of the same state before the parent";
    focused->SetButtonStyle(btsSimple);
    EXPECT_EQ(focused->ButtonStyle(), btsSimple);
    EXPECT_EQ(normal->ButtonStyle(), btsFlat) << "a state style keeps its own button style";

    // A chain of two controllers.
    TOwned<TkvEditStyleController> second(New<TkvEditStyleController>(nullptr));
    EXPECT_EQ(second->Style()->ControllerInEffect(), defaultController);
    defaultController->Style()->SetPopupBorderStyle(epbsFrame3D);
    auto other = makeStyles();
    edit(other.get(), cssNormal)->SetStyleController(second.get());
    EXPECT_EQ(edit(other.get(), cssNormal)->StyleController(), second.get());
    EXPECT_EQ(edit(other.get(), cssHot)->PopupBorderStyle(), epbsFrame3D);
    second->Style()->SetPopupBorderStyle(epbsFlat);
    EXPECT_EQ(edit(other.get(), cssHot)->PopupBorderStyle(), epbsFlat);
}

TEST_F(KvEditStyleTest, StateStylesWriteTheNormalStylesValues) {
    auto styles = makeStyles();
    TkvEditStyle *normal = edit(styles.get(), cssNormal);
    TkvEditStyle *hot = edit(styles.get(), cssHot);
    int changes = 0;
    normal->OnChanged = [&](TObject *) { ++changes; };

    hot->SetButtonTransparency(ebtHideInactive);
    EXPECT_EQ(normal->ButtonTransparency(), ebtHideInactive);
    EXPECT_TRUE(normal->AssignedValues().Contains(esvButtonTransparency));
    EXPECT_FALSE(hot->AssignedValues().Contains(esvButtonTransparency));
    EXPECT_EQ(edit(styles.get(), cssDisabled)->ButtonTransparency(), ebtHideInactive);
    edit(styles.get(), cssFocused)->SetPopupBorderStyle(epbsSingle);
    hot->SetExtraValue(7);
    EXPECT_EQ(normal->PopupBorderStyle(), epbsSingle);
    EXPECT_EQ(normal->ExtraValue(), 7);
    EXPECT_EQ(changes, 3);
    normal->SetButtonTransparency(ebtHideInactive);
    EXPECT_EQ(changes, 3) << "an equal assigned value changes nothing";

    EXPECT_TRUE(normal->IsEditValueStored(esvButtonTransparency));
    hot->SetButtonStyle(btsOffice11);
    EXPECT_TRUE(hot->IsEditValueStored(esvButtonStyle)) << "a state style stores its own button style";
    EXPECT_FALSE(normal->IsEditValueStored(esvButtonStyle));
    EXPECT_FALSE(hot->IsStyleControllerStored());
    TOwned<TkvEditStyleController> own(New<TkvEditStyleController>(nullptr));
    normal->SetStyleController(own.get());
    EXPECT_TRUE(normal->IsStyleControllerStored());
    EXPECT_FALSE(hot->IsStyleControllerStored()) << "only the normal style stores the controller";
}

TEST_F(KvEditStyleTest, AssignedBitsNamesAndHiddenValues) {
    auto styles = makeStyles();
    TkvEditStyle *normal = edit(styles.get(), cssNormal);
    EXPECT_EQ(normal->StyleValueCount(), 14);
    EXPECT_EQ(normal->GetHiddenStyleValues().Mask(), 14968u);
    std::wstring name;
    ASSERT_TRUE(normal->NameOfStyleValue(10, name));
    EXPECT_EQ(name, L"ButtonStyle");
    ASSERT_TRUE(normal->NameOfStyleValue(12, name));
    EXPECT_EQ(name, L"PopupBorderStyle");
    ASSERT_TRUE(normal->NameOfStyleValue(1, name));
    EXPECT_EQ(name, L"BorderStyle");
    EXPECT_EQ(normal->StyleValueByName(L"buttontransparency"), 11);
    EXPECT_FALSE(normal->NameOfStyleValue(14, name));

    normal->SetButtonStyle(bts3D);
    normal->SetBorderColor(clRed);
    EXPECT_EQ(normal->AssignedValues().Mask(), (1u << 10) | (1u << csvBorderColor));
    // Setting the bits: a cleared bit gives the fallback back, a set bit the stored value.
    normal->SetAssignedValues(TkvContainerStyleValues::FromMask((1u << 13) | (1u << csvBorderColor)));
    EXPECT_EQ(normal->ButtonStyle(), btsDefault);
    EXPECT_EQ(normal->ExtraValue(), 0);
    normal->SetAssignedValues(TkvContainerStyleValues::FromMask(1u << 10));
    EXPECT_EQ(normal->ButtonStyle(), bts3D);
    EXPECT_EQ(normal->BorderColor(), clWindowFrame);
    normal->ResetToDefaults();
    EXPECT_TRUE(normal->AssignedValues().Empty());

    normal->SetBorderStyle(ebsOffice11);
    EXPECT_EQ(normal->BorderStyle(), ebsOffice11);
    EXPECT_EQ(static_cast<TkvContainerStyle *>(normal)->BorderStyle(), cbsOffice11);
}

TEST_F(KvEditStyleTest, AssignCopiesTheEditorsValuesWithOneNotice) {
    auto from = makeStyles();
    auto to = makeStyles();
    TkvEditStyle *source = edit(from.get(), cssNormal);
    source->SetButtonStyle(btsUltraFlat);
    source->SetButtonTransparency(ebtAlways);
    source->SetPopupBorderStyle(epbsFlat);
    source->SetExtraValue(3);
    source->SetExtraFlag(false);
    source->SetColor(clYellow);
    TkvEditStyle *target = edit(to.get(), cssNormal);
    int changes = 0;
    target->OnChanged = [&](TObject *) { ++changes; };
    target->Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(target->ButtonStyle(), btsUltraFlat);
    EXPECT_EQ(target->ButtonTransparency(), ebtAlways);
    EXPECT_EQ(target->PopupBorderStyle(), epbsFlat);
    EXPECT_EQ(target->ExtraValue(), 3);
    EXPECT_FALSE(target->ExtraFlag());
    EXPECT_EQ(target->Color(), clYellow);
    EXPECT_EQ(target->AssignedValues(), source->AssignedValues());

    // From a plain container style only the container's values come.
    TOwned<TkvContainerStyles> plain(
        New<TkvContainerStyles>(static_cast<TPersistent *>(nullptr), TkvContainerStyle::ClassInfo()));
    plain->Style()->SetColor(clAqua);
    target->Assign(plain->Style());
    EXPECT_EQ(target->Color(), clAqua);
}

TEST_F(KvEditStyleTest, TheControllersStylesAndTheirStates) {
    EXPECT_EQ(defaultController->StyleClass(), TkvEditStyle::ClassInfo());
    const TkvContainerStateType states[] = {cssNormal, cssFocused, cssDisabled, cssHot};
    TkvEditStyle *styles[] = {defaultController->Style(), defaultController->StyleFocused(),
                              defaultController->StyleDisabled(), defaultController->StyleHot()};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(styles[i], nullptr);
        EXPECT_EQ(styles[i]->State(), states[i]);
        EXPECT_EQ(styles[i]->ClassType(), TkvEditStyle::ClassInfo());
    }
    EXPECT_EQ(defaultController->Style()->ControllerInEffect(), nullptr)
        << "the default controller takes from no controller";
    int fired = 0;
    defaultController->OnStyleChanged = [&](TObject *) { ++fired; };
    defaultController->StyleHot()->SetButtonStyle(btsFlat);
    EXPECT_EQ(fired, 1);

    // A controller of plain container styles supplies none of the editor's values.
    auto styles2 = makeStyles();
    TOwned<TkvStyleController> plain(New<TkvStyleController>(nullptr));
    defaultController->Style()->SetButtonStyle(bts3D);
    edit(styles2.get(), cssNormal)->SetStyleController(plain.get());
    EXPECT_EQ(edit(styles2.get(), cssHot)->ButtonStyle(), btsDefault);
}

TEST_F(KvEditStyleTest, DestroyingTheDefaultControllerLeavesNoStylePointingAtIt) {
    auto styles = makeStyles();
    TkvEditStyle *normal = edit(styles.get(), cssNormal);
    defaultController->Style()->SetButtonStyle(btsOffice11);
    ASSERT_EQ(normal->ButtonStyle(), btsOffice11);
    FreeAndNil(defaultController);
    EXPECT_EQ(GetDefaultEditStyleController(), nullptr);
    EXPECT_EQ(normal->ControllerInEffect(), nullptr);
    EXPECT_EQ(normal->ButtonStyle(), btsDefault);
    EXPECT_EQ(edit(styles.get(), cssFocused)->ButtonStyle(), btsDefault);
    // New styles made now have no controller either.
    auto later = makeStyles();
    EXPECT_EQ(edit(later.get(), cssNormal)->ControllerInEffect(), nullptr);
}

} // namespace
