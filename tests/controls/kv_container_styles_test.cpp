// Container styles and the style controller without windows: lookups along the controller
// chain, the fallback rules by state, setters and change notices, the controller's fan-out and
// what happens when controllers or listeners go away.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/units.h>

#include <string>

#include "kvContainer.h"

namespace {

class KvContainerStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = new UnitScope{&kvLookAndFeelsUnit};
        defaultController = New<TkvStyleController>(nullptr);
        SetDefaultStyleController(defaultController);
    }
    void TearDown() override {
        FreeAndNil(defaultController);
        SetDefaultStyleController(nullptr);
        delete units_;
        units_ = nullptr;
    }
    TOwned<TkvContainerStyles> makeStyles() {
        return TOwned<TkvContainerStyles>(
            New<TkvContainerStyles>(static_cast<TPersistent *>(nullptr), TkvContainerStyle::ClassInfo()));
    }
    TOwned<TkvStyleController> makeController() { return TOwned<TkvStyleController>(New<TkvStyleController>(nullptr)); }

    TkvStyleController *defaultController = nullptr;

private:
    UnitScope *units_ = nullptr;
};

TEST_F(KvContainerStyleTest, UnassignedValuesComeFromTheDefaultControllerThenTheFallbacks) {
    auto styles = makeStyles();
    TkvContainerStyle *style = styles->Style();
    EXPECT_EQ(style->StyleController(), nullptr) << "the default controller is not reported";
    EXPECT_EQ(style->ControllerInEffect(), defaultController);
    EXPECT_TRUE(defaultController->IsListening(style));
    EXPECT_EQ(style->BorderColor(), clWindowFrame);
    EXPECT_EQ(style->Color(), clBtnFace) << "a style not owned by a container is plain";
    EXPECT_EQ(style->Edges(), kvAllBorders);
    EXPECT_TRUE(style->HotTrack());
    EXPECT_FALSE(style->Shadow());
    EXPECT_TRUE(style->TransparentBorder());
    EXPECT_EQ(style->BorderStyle(), cbsUltraFlat) << "the root look and feel's kind";
    style->LookAndFeel()->SetKind(lfStandard);
    EXPECT_EQ(style->BorderStyle(), cbs3D);

    defaultController->Style()->SetBorderColor(clRed);
    defaultController->Styles()->StyleDisabled()->SetTextColor(clLime);
    EXPECT_EQ(style->BorderColor(), clRed);
    EXPECT_TRUE(style->IsStyleValueAssigned(csvBorderColor));
    EXPECT_FALSE(style->AssignedValues().Contains(csvBorderColor));
    EXPECT_EQ(styles->StyleDisabled()->TextColor(), clLime) << "the controller's style of the same state";
    EXPECT_EQ(styles->StyleFocused()->BorderColor(), clRed) << "the focused style falls back to its parent";
    style->SetBorderColor(clBlue);
    EXPECT_EQ(style->BorderColor(), clBlue) << "an own value wins";
}

TEST_F(KvContainerStyleTest, StateStylesFollowTheirRules) {
    auto styles = makeStyles();
    TkvContainerStyle *normal = styles->Style();
    TkvContainerStyle *disabled = styles->StyleDisabled();
    TkvContainerStyle *focused = styles->StyleFocused();
    TkvContainerStyle *hot = styles->StyleHot();
    EXPECT_EQ(disabled->BorderColor(), clBtnShadow);
    EXPECT_EQ(disabled->TextColor(), clBtnShadow);
    normal->SetTextColor(clMaroon);
    EXPECT_EQ(focused->TextColor(), clMaroon);
    EXPECT_EQ(disabled->TextColor(), clBtnShadow);

    normal->SetBorderStyle(cbsSingle);
    EXPECT_EQ(focused->BorderStyle(), cbsThick) << "hot tracking: the focused row";
    EXPECT_EQ(hot->BorderStyle(), cbsThick);
    normal->SetHotTrack(false);
    EXPECT_EQ(focused->BorderStyle(), cbsSingle) << "no hot tracking: the normal row";
    EXPECT_EQ(disabled->BorderStyle(), cbsSingle);
    normal->SetBorderStyle(cbsNone);
    normal->SetHotTrack(true);
    EXPECT_EQ(hot->BorderStyle(), cbsFlat);
    EXPECT_EQ(disabled->BorderStyle(), cbsNone);

    // Root values: set on a state style, they land on the normal one.
    focused->SetEdges(TkvBorders{bLeft, bTop});
    EXPECT_EQ(normal->Edges(), (TkvBorders{bLeft, bTop}));
    EXPECT_TRUE(normal->AssignedValues().Contains(csvEdges));
    EXPECT_FALSE(focused->AssignedValues().Contains(csvEdges));
    hot->SetShadow(true);
    EXPECT_TRUE(normal->Shadow());
    EXPECT_TRUE(disabled->Shadow());
    EXPECT_EQ(focused->Font(), normal->Font());
    EXPECT_TRUE(normal->HasBorder());
    EXPECT_TRUE(focused->HasBorder());
}

TEST_F(KvContainerStyleTest, SettersFireOnlyOnChange) {
    auto styles = makeStyles();
    TkvContainerStyle *style = styles->Style();
    int changes = 0;
    style->OnChanged = [&](TObject *sender) {
        EXPECT_EQ(sender, style);
        ++changes;
    };
    style->SetTextColor(clRed);
    EXPECT_EQ(changes, 1);
    style->SetTextColor(clRed);
    EXPECT_EQ(changes, 1) << "already assigned and shown";
    style->SetColor(clYellow);
    style->SetColor(clYellow);
    EXPECT_EQ(changes, 2);
    style->BeginUpdate();
    style->SetBorderStyle(cbsFlat);
    style->SetBorderColor(clGreen);
    EXPECT_EQ(changes, 2);
    style->EndUpdate();
    EXPECT_EQ(changes, 3) << "one notice for the whole update";
    style->EndUpdate();
    EXPECT_EQ(changes, 3) << "an unbalanced end does nothing";

    style->Font()->SetSize(14);
    EXPECT_TRUE(style->AssignedValues().Contains(csvFont));
    EXPECT_EQ(changes, 4);
    TFont *effective = style->GetEffectiveFont();
    EXPECT_EQ(effective->GetColor(), clRed);
    EXPECT_EQ(effective->GetSize(), 14);

    style->SetAssignedValues(TkvContainerStyleValues{});
    EXPECT_EQ(style->Color(), clBtnFace);
    EXPECT_EQ(changes, 5);
}

TEST_F(KvContainerStyleTest, DirectAccessStyleReportsEverythingAssignedAndStaysSilent) {
    TFont *font = New<TFont>();
    font->SetStyle(TFontStyles{fsBold});
    TOwned<TkvContainerStyle> style(
        New<TkvContainerStyle>(static_cast<TPersistent *>(nullptr), true, nullptr, cssNormal));
    int changes = 0;
    style->OnChanged = [&](TObject *) { ++changes; };
    EXPECT_EQ(style->AssignedValues(), kvAllContainerStyleValues);
    style->SetFont(font);
    EXPECT_EQ(style->Font(), font) << "a reference, not a copy";
    EXPECT_EQ(style->TextStyle(), TFontStyles{fsBold});
    style->SetColor(clAqua);
    EXPECT_EQ(style->Color(), clAqua);
    EXPECT_EQ(style->BorderColor(), clDefault);
    EXPECT_FALSE(style->Shadow());
    EXPECT_TRUE(style->TransparentBorder());
    EXPECT_EQ(changes, 0);
    style.reset();
    Free(font);
}

TEST_F(KvContainerStyleTest, NamesOfTheValues) {
    auto styles = makeStyles();
    std::wstring name;
    EXPECT_TRUE(styles->Style()->NameOfStyleValue(0, name));
    EXPECT_EQ(name, L"BorderColor");
    EXPECT_TRUE(styles->Style()->NameOfStyleValue(9, name));
    EXPECT_EQ(name, L"TransparentBorder");
    EXPECT_FALSE(styles->Style()->NameOfStyleValue(10, name));
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(styles->Style()->StyleValueByName(L"textcolor"), csvTextColor);
    EXPECT_EQ(styles->Style()->StyleValueByName(L"Nothing"), -1);
    EXPECT_EQ(styles->Style()->StyleValueCount(), 10);
}

TEST_F(KvContainerStyleTest, AssignCopiesStoredValues) {
    auto a = makeStyles();
    auto b = makeStyles();
    a->Style()->SetBorderStyle(cbsThick);
    a->Style()->SetColor(clNavy);
    a->Style()->Font()->SetName(L"Tahoma");
    b->Style()->Assign(a->Style());
    EXPECT_EQ(b->Style()->BorderStyle(), cbsThick);
    EXPECT_EQ(b->Style()->Color(), clNavy);
    EXPECT_EQ(b->Style()->Font()->GetName(), L"Tahoma");
    EXPECT_EQ(b->Style()->AssignedValues(), a->Style()->AssignedValues());
    TOwned<TFont> notAStyle(New<TFont>());
    EXPECT_THROW(b->Style()->Assign(notAStyle.get()), Exception);
}

TEST_F(KvContainerStyleTest, ControllerCyclesAreRefused) {
    auto first = makeController();
    auto second = makeController();
    first->Style()->SetStyleController(second.get());
    EXPECT_EQ(first->Style()->StyleController(), second.get());
    second->Style()->SetStyleController(first.get());
    EXPECT_EQ(second->Style()->StyleController(), nullptr) << "the chain would lead back to this style";
    auto styles = makeStyles();
    styles->Style()->SetStyleController(first.get());
    second->Style()->SetColor(clOlive);
    EXPECT_EQ(styles->Style()->Color(), clOlive) << "through the chain of controllers";
}

TEST_F(KvContainerStyleTest, ControllerChangesReachEveryRegisteredStyle) {
    auto controller = makeController();
    auto a = makeStyles();
    auto b = makeStyles();
    auto c = makeStyles();
    for (auto *styles : {a.get(), b.get(), c.get()})
        styles->Style()->SetStyleController(controller.get());
    EXPECT_EQ(controller->ListenerCount(), 3);
    EXPECT_FALSE(defaultController->IsListening(a->Style()));
    int controllerNotices = 0;
    controller->OnStyleChanged = [&](TObject *sender) {
        EXPECT_EQ(sender, controller.get());
        ++controllerNotices;
    };
    auto other = makeController();
    int noticesA = 0;
    int noticesC = 0;
    // The first listener takes itself and the second away while being told.
    a->Style()->OnChanged = [&](TObject *) {
        if (++noticesA > 1)
            return;
        a->Style()->SetStyleController(other.get());
        b->Style()->SetStyleController(other.get());
        b->Style()->OnChanged = [&](TObject *) { ADD_FAILURE() << "b was told after it left"; };
    };
    c->Style()->OnChanged = [&](TObject *) { ++noticesC; };
    controller->Style()->SetColor(clTeal);
    EXPECT_EQ(controllerNotices, 1);
    EXPECT_GE(noticesA, 1);
    EXPECT_GE(noticesC, 1);
    EXPECT_EQ(controller->ListenerCount(), 1);
    EXPECT_EQ(c->Style()->Color(), clTeal);
    EXPECT_NE(a->Style()->Color(), clTeal);
    // Going away, the other controller tells its styles: that is not the fan-out looked at here.
    b->Style()->OnChanged = nullptr;
    a->Style()->OnChanged = nullptr;
}

// A controller going away leaves its styles with the default one; the default one going away
// leaves them with none.
TEST_F(KvContainerStyleTest, FreedControllersLeaveNoDanglingReference) {
    auto styles = makeStyles();
    TkvStyleController *controller = New<TkvStyleController>(nullptr);
    controller->Style()->SetColor(clFuchsia);
    styles->Style()->SetStyleController(controller);
    EXPECT_EQ(styles->Style()->Color(), clFuchsia);
    Free(controller);
    EXPECT_EQ(styles->Style()->StyleController(), nullptr);
    EXPECT_EQ(styles->Style()->ControllerInEffect(), defaultController);
    EXPECT_EQ(styles->Style()->Color(), clBtnFace);

    FreeAndNil(defaultController);
    EXPECT_EQ(GetDefaultStyleController(), nullptr);
    EXPECT_EQ(styles->Style()->ControllerInEffect(), nullptr);
    EXPECT_EQ(styles->Style()->Color(), clBtnFace) << "the fallback, no dangling controller";
    styles->Style()->SetBorderColor(clRed);
    EXPECT_EQ(styles->Style()->BorderColor(), clRed);
}

TEST_F(KvContainerStyleTest, ControllerFontIsTakenAndScaledOnce) {
    auto controller = makeController();
    controller->Style()->Font()->SetName(L"Courier New");
    controller->Style()->Font()->SetSize(10);
    auto styles = makeStyles();
    styles->Style()->SetStyleController(controller.get());
    EXPECT_EQ(styles->Style()->Font()->GetName(), L"Courier New") << "an unassigned font follows the controller";
    EXPECT_FALSE(styles->Style()->AssignedValues().Contains(csvFont));
    controller->ScaleFont(2, 1);
    EXPECT_EQ(controller->Style()->Font()->GetSize(), 20);
    controller->ScaleFont(2, 1);
    EXPECT_EQ(controller->Style()->Font()->GetSize(), 20) << "scaled once";
    EXPECT_EQ(styles->Style()->Font()->GetSize(), 20);
}

} // namespace
