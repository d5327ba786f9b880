// TkvContainer and what it hands to its inner control or keeps for itself: the focus when it is
// moved while holding it, the drag mode and kind, font scaling of an assigned font (its own or
// its controller's), and the clip to its shape when a copy of it is painted.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/stdctrls.h>

#include <kvContainer.h>

#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

class TPlainContainer : public TkvContainer {
    CL_CLASS(TPlainContainer, TkvContainer)
};

// A descendant's view info that paints its whole bounds, as an editor's background does.
class TFillingViewInfo : public TkvContainerViewInfo {
    CL_CLASS(TFillingViewInfo, TkvContainerViewInfo)

public:
    void Draw(TkvCanvas *canvas) override {
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        ::FillRect(canvas->GetHandle(), &Bounds, red);
        DeleteObject(red);
    }
};

class TFillingContainer : public TkvContainer {
    CL_CLASS(TFillingContainer, TkvContainer)

public:
    TkvContainerViewInfoClass ViewInfoClass() override { return TFillingViewInfo::ClassInfo(); }
};

class KvContainerInnerTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        controller_ = New<TkvStyleController>(nullptr);
        SetDefaultStyleController(controller_);
    }
    void TearDown() override {
        KvControlTest::TearDown();
        SetDefaultStyleController(nullptr);
        FreeAndNil(controller_);
    }

    template <class T> T *withInnerEdit(TRect bounds, TEdit *&edit) {
        T *c = add<T>(bounds);
        edit = New<TEdit>(form);
        edit->SetParent(c);
        c->SetInnerControl(edit);
        edit->HandleNeeded();
        return c;
    }

private:
    TkvStyleController *controller_ = nullptr;
};

TEST_F(KvContainerInnerTest, MovedWhileHoldingTheFocusItHandsItToTheInnerControl) {
    ASSERT_TRUE(showForm());
    TEdit *edit = nullptr;
    TPlainContainer *c = withInnerEdit<TPlainContainer>(TRect{10, 10, 110, 40}, edit);
    // The container's own window takes the focus while the inner control cannot.
    edit->SetEnabled(false);
    ::SetFocus(c->Handle());
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == c->Handle(); }));
    edit->SetEnabled(true);
    pumpFor(20);
    ASSERT_EQ(GetFocus(), c->Handle()) << "enabling alone moves nothing";
    c->SetBounds(20, 10, 100, 30);
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == edit->Handle(); })) << "moved";

    ::SetFocus(nullptr);
    edit->SetEnabled(false);
    ::SetFocus(c->Handle());
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == c->Handle(); }));
    edit->SetEnabled(true);
    c->SetBounds(20, 10, 120, 30);
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == edit->Handle(); })) << "resized";
    EXPECT_TRUE(errors.empty());
}

// SetFocus hands the focus on only to an inner control that can take it; one that cannot
// leaves it with the container, and nothing is raised.
TEST_F(KvContainerInnerTest, SetFocusKeepsTheFocusWhenTheInnerControlCannotTakeIt) {
    ASSERT_TRUE(showForm());
    TEdit *edit = nullptr;
    TPlainContainer *c = withInnerEdit<TPlainContainer>(TRect{10, 10, 110, 40}, edit);
    edit->SetEnabled(false);
    EXPECT_NO_THROW(c->SetFocus());
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == c->Handle(); }));
    ::SetFocus(nullptr);
    edit->SetEnabled(true);
    c->SetFocus();
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == edit->Handle(); }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(KvContainerInnerTest, DragModeAndKindReachTheInnerControl) {
    TEdit *edit = nullptr;
    TPlainContainer *c = withInnerEdit<TPlainContainer>(TRect{10, 10, 110, 40}, edit);
    c->SetDragMode(dmAutomatic);
    c->SetDragKind(dkDock);
    EXPECT_EQ(edit->DragMode(), dmAutomatic);
    EXPECT_EQ(edit->DragKind(), dkDock);
    c->SetDragMode(dmManual);
    c->SetDragKind(dkDrag);
    EXPECT_EQ(edit->DragMode(), dmManual);
    EXPECT_EQ(edit->DragKind(), dkDrag);
}

TEST_F(KvContainerInnerTest, ScalingScalesOnlyAnAssignedFont) {
    TPlainContainer *own = add<TPlainContainer>(TRect{10, 10, 110, 40});
    TOwned<TFont> font(New<TFont>());
    font->SetSize(10);
    own->Style()->SetFont(font.get());
    own->SetParentFont(false);
    ASSERT_TRUE(own->Style()->AssignedValues().Contains(csvFont));
    own->ScaleBy(3, 2);
    EXPECT_EQ(own->Style()->Font()->GetSize(), 15);
    EXPECT_EQ(own->Width(), 150);

    TPlainContainer *plain = add<TPlainContainer>(TRect{10, 50, 110, 80});
    plain->SetParentFont(false);
    int before = plain->Style()->Font()->GetSize();
    ASSERT_FALSE(plain->Style()->IsStyleValueAssigned(csvFont));
    plain->ScaleBy(3, 2);
    EXPECT_EQ(plain->Style()->Font()->GetSize(), before) << "a font the style does not set is not scaled";
    EXPECT_FALSE(plain->Style()->AssignedValues().Contains(csvFont));
    EXPECT_EQ(plain->Width(), 150);
}

// While a form is being read its containers scale the controller's font, once for them all,
// when the scaling takes the font.
TEST_F(KvContainerInnerTest, LoadingContainersScaleTheirControllersFontOnce) {
    TOwned<TkvStyleController> controller(New<TkvStyleController>(nullptr));
    TOwned<TFont> font(New<TFont>());
    font->SetSize(10);
    controller->Style()->SetFont(font.get());
    TPlainContainer *first = add<TPlainContainer>(TRect{10, 10, 110, 40});
    TPlainContainer *second = add<TPlainContainer>(TRect{10, 50, 110, 80});
    TPlainContainer *positionOnly = add<TPlainContainer>(TRect{10, 90, 110, 120});
    for (TPlainContainer *c : {first, second, positionOnly}) {
        c->Style()->SetStyleController(controller.get());
        ASSERT_TRUE(c->Style()->IsStyleValueAssigned(csvFont));
        c->Loading();
    }
    positionOnly->SetScalingFlags(TScalingFlags{sfLeft, sfTop});
    positionOnly->ScaleBy(2, 1);
    EXPECT_EQ(controller->Style()->Font()->GetSize(), 10) << "the scaling does not take the font";
    for (TPlainContainer *c : {first, second}) {
        c->SetScalingFlags(TScalingFlags{sfLeft, sfTop, sfWidth, sfHeight, sfFont});
        c->ScaleBy(2, 1);
    }
    EXPECT_EQ(controller->Style()->Font()->GetSize(), 20);
    for (TPlainContainer *c : {first, second, positionOnly}) {
        c->Loaded();
        c->Style()->SetStyleController(nullptr);
    }
}

// A copy painted through PaintTo has no window region: the container clips it to its border
// and shadow itself.
TEST_F(KvContainerInnerTest, ACopyIsClippedToTheShape) {
    ASSERT_TRUE(showForm());
    TFillingContainer *c = add<TFillingContainer>(TRect{10, 10, 110, 50});
    c->Style()->SetTransparentBorder(false);
    c->Style()->SetBorderStyle(cbsSingle);
    c->Style()->SetShadow(true);
    pumpFor(20);
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(100, 40);
    HDC dc = bitmap->GetCanvas()->GetHandle();
    RECT all{0, 0, 100, 40};
    ::FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    c->PaintTo(dc, 0, 0);
    // The shape: (0, 0, 97, 37) joined with it moved by (3, 3).
    EXPECT_EQ(GetPixel(dc, 50, 20), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 99, 39), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 99, 1), RGB(255, 255, 255)) << "right of the shape, above the shadow";
    EXPECT_EQ(GetPixel(dc, 1, 39), RGB(255, 255, 255)) << "below the shape, left of the shadow";
    EXPECT_FALSE(c->ControlState().Contains(csPaintCopy)) << "only while the copy is painted";
}

} // namespace
