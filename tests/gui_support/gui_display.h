// Whether this process can create real windows, and the fixture every GUI test derives from.
#ifndef GUI_SUPPORT_GUI_DISPLAY_H
#define GUI_SUPPORT_GUI_DISPLAY_H

#include <gtest/gtest.h>

#include <string>

// True when a top-level window can be created and shown on a screen of usable size. Otherwise
// false, with the reason and what to do in *why (checked once per process, then remembered).
// Under Wine a window needs an X display: scripts/windows-env.sh starts a virtual one when
// DISPLAY is unset; run directly, DISPLAY must name a running X server (Wine then starts its own
// desktop process on it).
bool guiDisplayAvailable(std::string *why = nullptr);

// Base fixture of GUI tests: fails the test with a clear message when no display is available,
// and drains the message queue before and after each test so that no message of one test
// reaches the next.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
