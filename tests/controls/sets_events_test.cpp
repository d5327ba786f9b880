// Sets of enumeration values and events bound to methods.
#include <gtest/gtest.h>

#include <classlib/events.h>
#include <classlib/object.h>
#include <classlib/sets.h>

namespace {

enum TBorder { bLeft, bTop, bRight, bBottom };
using TBorders = TSet<TBorder>;

class TCounter : public TObject {
    CL_CLASS(TCounter, TObject)

public:
    int Count = 0;
    TObject *LastSender = nullptr;
    void Clicked(TObject *sender) {
        ++Count;
        LastSender = sender;
    }
};

} // namespace

TEST(Sets, HoldMembersAsBits) {
    TBorders all{bLeft, bTop, bRight, bBottom};
    TBorders horizontal{bLeft, bRight};
    EXPECT_EQ(all.Mask(), 0xFu);
    EXPECT_TRUE(horizontal.Contains(bRight));
    EXPECT_FALSE(horizontal.Contains(bTop));
    EXPECT_EQ(all - horizontal, (TBorders{bTop, bBottom}));
    EXPECT_EQ(horizontal * (TBorders{bRight, bTop}), TBorders{bRight});
    EXPECT_EQ(horizontal + TBorders{bTop}, (TBorders{bLeft, bTop, bRight}));
    EXPECT_TRUE(horizontal <= all);
    EXPECT_FALSE(all <= horizontal);
    TBorders none;
    EXPECT_TRUE(none.Empty());
    none.Include(bBottom).Include(bBottom);
    EXPECT_EQ(none, TBorders{bBottom});
    none.Exclude(bBottom);
    EXPECT_TRUE(none.Empty());
}

TEST(Events, AreEmptyUntilAssignedAndCallTheBoundMethod) {
    TNotifyEvent onClick;
    EXPECT_FALSE(onClick);
    TCounter *counter = New<TCounter>();
    onClick = Bind(counter, &TCounter::Clicked);
    ASSERT_TRUE(onClick);
    onClick(counter);
    onClick(nullptr);
    EXPECT_EQ(counter->Count, 2);
    EXPECT_EQ(counter->LastSender, nullptr);
    counter->Free();
}
