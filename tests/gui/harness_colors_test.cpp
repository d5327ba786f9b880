#include <gtest/gtest.h>

#include "system_colors.h"
#include "message_pump.h"
#include "test_window.h"

namespace {

class HarnessColors : public FixedSysColorsTest {};

TEST_F(HarnessColors, FixedColoursHoldDuringTheTest) {
    for (const auto &[index, value] : fixedSystemColors())
        EXPECT_EQ(GetSysColor(index), value) << "colour index " << index;
    // The brushes follow the colours.
    LOGBRUSH brush{};
    GetObjectW(GetSysColorBrush(COLOR_BTNFACE), sizeof(brush), &brush);
    EXPECT_EQ(brush.lbColor, RGB(192, 192, 192));
}

TEST(HarnessSysColors, ScopedColoursAreRestoredAndAnnounced) {
    std::string why;
    if (!guiDisplayAvailable(&why))
        GTEST_FAIL() << why;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF info = GetSysColor(COLOR_INFOBK);
    COLORREF wanted = face == RGB(1, 2, 3) ? RGB(3, 2, 1) : RGB(1, 2, 3);
    TestWindow window({60, 60}, {50, 50});
    {
        ScopedSysColors colors({{COLOR_BTNFACE, wanted}});
        ASSERT_TRUE(colors.applied());
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), wanted);
        EXPECT_EQ(GetSysColor(COLOR_INFOBK), info) << "only the colours given change";
        EXPECT_TRUE(window.waitFor(WM_SYSCOLORCHANGE)) << "top-level windows hear of the change";
    }
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), face);
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), info);
}

// The fixture driven by hand, to see what it leaves behind.
class FixedColorsProbe : public FixedSysColorsTest {
public:
    void TestBody() override {}
    void begin() { SetUp(); }
    void end() { TearDown(); }
};

TEST(HarnessSysColors, FixtureRestoresThePreviousColours) {
    ScopedSysColors outer({{COLOR_INFOBK, RGB(9, 8, 7)}, {COLOR_HIGHLIGHT, RGB(7, 8, 9)}});
    ASSERT_TRUE(outer.applied());
    {
        FixedColorsProbe probe;
        probe.begin();
        EXPECT_EQ(GetSysColor(COLOR_INFOBK), RGB(255, 255, 225));
        EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(0, 0, 160));
        probe.end();
    }
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), RGB(9, 8, 7));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(7, 8, 9));
}

} // namespace
