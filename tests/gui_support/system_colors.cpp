#include "system_colors.h"

#include "message_pump.h"

const std::vector<std::pair<int, COLORREF>> &fixedSystemColors() {
    static const std::vector<std::pair<int, COLORREF>> colors = {
        {COLOR_SCROLLBAR, RGB(200, 200, 200)},
        {COLOR_BACKGROUND, RGB(0, 128, 128)},
        {COLOR_ACTIVECAPTION, RGB(0, 0, 128)},
        {COLOR_INACTIVECAPTION, RGB(128, 128, 128)},
        {COLOR_MENU, RGB(192, 192, 193)},
        {COLOR_WINDOW, RGB(255, 255, 255)},
        {COLOR_WINDOWFRAME, RGB(0, 0, 1)},
        {COLOR_MENUTEXT, RGB(0, 0, 2)},
        {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
        {COLOR_CAPTIONTEXT, RGB(255, 255, 254)},
        {COLOR_ACTIVEBORDER, RGB(192, 192, 194)},
        {COLOR_INACTIVEBORDER, RGB(192, 192, 195)},
        {COLOR_APPWORKSPACE, RGB(128, 128, 129)},
        {COLOR_HIGHLIGHT, RGB(0, 0, 160)},
        {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 253)},
        {COLOR_BTNFACE, RGB(192, 192, 192)},
        {COLOR_BTNSHADOW, RGB(128, 128, 130)},
        {COLOR_GRAYTEXT, RGB(128, 128, 131)},
        {COLOR_BTNTEXT, RGB(0, 0, 3)},
        {COLOR_INACTIVECAPTIONTEXT, RGB(192, 192, 196)},
        {COLOR_BTNHIGHLIGHT, RGB(255, 255, 252)},
        {COLOR_3DDKSHADOW, RGB(64, 64, 64)},
        {COLOR_3DLIGHT, RGB(224, 224, 224)},
        {COLOR_INFOTEXT, RGB(0, 0, 4)},
        {COLOR_INFOBK, RGB(255, 255, 225)},
        {COLOR_HOTLIGHT, RGB(0, 0, 255)},
        {COLOR_GRADIENTACTIVECAPTION, RGB(16, 132, 208)},
        {COLOR_GRADIENTINACTIVECAPTION, RGB(181, 181, 181)},
        {COLOR_MENUHILIGHT, RGB(49, 106, 197)},
        {COLOR_MENUBAR, RGB(236, 233, 216)},
    };
    return colors;
}

ScopedSysColors::ScopedSysColors(const std::vector<std::pair<int, COLORREF>> &colors) {
    std::vector<COLORREF> values;
    for (const auto &[index, value] : colors) {
        indices_.push_back(index);
        previous_.push_back(GetSysColor(index));
        values.push_back(value);
    }
    applied_ = indices_.empty() ||
               SetSysColors(static_cast<int>(indices_.size()), indices_.data(), values.data()) != FALSE;
    pumpMessages();
}

ScopedSysColors::~ScopedSysColors() {
    if (applied_ && !indices_.empty())
        SetSysColors(static_cast<int>(indices_.size()), indices_.data(), previous_.data());
    pumpMessages();
}

void FixedSysColorsTest::SetUp() {
    GuiTest::SetUp();
    if (HasFatalFailure())
        return;
    colors_ = new ScopedSysColors(fixedSystemColors());
    ASSERT_TRUE(colors_->applied()) << "SetSysColors failed, error " << GetLastError();
}

void FixedSysColorsTest::TearDown() {
    delete colors_;
    colors_ = nullptr;
    GuiTest::TearDown();
}
