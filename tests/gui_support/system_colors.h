// Known system colours for tests whose drawing depends on them.
#ifndef GUI_SUPPORT_SYSTEM_COLORS_H
#define GUI_SUPPORT_SYSTEM_COLORS_H

#include <windows.h>

#include <utility>
#include <vector>

#include "gui_display.h"

// The colours FixedSysColorsTest sets: every COLOR_xxx index from COLOR_SCROLLBAR to
// COLOR_MENUBAR, each a distinct value close to the classic grey scheme, so that a wrong index
// shows in a capture. The pairs are (index, RGB).
const std::vector<std::pair<int, COLORREF>> &fixedSystemColors();

// Sets system colours for its lifetime and puts the previous ones back when it goes. SetSysColors
// changes them for the whole session (every process of the desktop) and broadcasts
// WM_SYSCOLORCHANGE; the restore does the same.
class ScopedSysColors {
public:
    explicit ScopedSysColors(const std::vector<std::pair<int, COLORREF>> &colors);
    ~ScopedSysColors();
    ScopedSysColors(const ScopedSysColors &) = delete;
    ScopedSysColors &operator=(const ScopedSysColors &) = delete;

    bool applied() const { return applied_; }

private:
    std::vector<int> indices_;
    std::vector<COLORREF> previous_;
    bool applied_ = false;
};

// Fixture: the colours of fixedSystemColors() hold for the test (the broadcast has been pumped),
// the previous ones come back after it.
class FixedSysColorsTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    ScopedSysColors *colors_ = nullptr;
};

#endif
