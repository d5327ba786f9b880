// The shared services of the control library: cursors, the message window, the settings
// controller, the unit's end and the small routines.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/string_utils.h>

#include <climits>

#include "forms_test_support.h"
#include "input.h"
#include "kv_services_support.h"
#include "message_pump.h"

using namespace kvservicestest;

namespace {

using KvControlServices = KvServicesTest;

// --- cursors ---

TEST_F(KvControlServices, LibraryCursorsAreLoadedUnderTheirIds) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    std::vector<HCURSOR> seen;
    for (TCursor id = crkvDragCopy; id <= crkvDrag; ++id) {
        HCURSOR cursor = Screen->Cursors(id);
        EXPECT_NE(cursor, nullptr) << id;
        EXPECT_NE(cursor, arrow) << id;
        for (HCURSOR other : seen)
            EXPECT_NE(cursor, other) << id;
        seen.push_back(cursor);
    }
    EXPECT_EQ(Screen->Cursors(crkvHandPoint), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(Screen->Cursors(crkvDragCopy), LoadCursorW(GetModuleHandleW(nullptr), L"KV_DRAGCOPYCURSOR"));
    EXPECT_EQ(Screen->Cursors(crkvNoDrop), LoadCursorW(GetModuleHandleW(nullptr), L"KV_NODROPCURSOR"));
}

TEST_F(KvControlServices, CursorHotSpotsLieWhereTheyPoint) {
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(Screen->Cursors(crkvDrag), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 0u);
    EXPECT_EQ(info.yHotspot, 0u);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    ASSERT_TRUE(GetIconInfo(Screen->Cursors(crkvFullScroll), &info));
    EXPECT_EQ(info.xHotspot, 15u);
    EXPECT_EQ(info.yHotspot, 15u);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

// --- message window ---

TEST_F(KvControlServices, MessageWindowIsOneHiddenTopLevelWindow) {
    TkvMessageWindow *window = GetMessageWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetMessageWindow(), window);
    HWND handle = window->Handle();
    ASSERT_TRUE(IsWindow(handle));
    EXPECT_FALSE(IsWindowVisible(handle));
    EXPECT_FALSE(IsChildWindowStyle(handle));
    EXPECT_EQ(SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0), 0);

    kvControlsUnit.Stop();
    EXPECT_FALSE(IsWindow(handle)) << "the unit's end frees the window";
    kvControlsUnit.Start();
    EXPECT_TRUE(IsWindow(GetMessageWindow()->Handle()));
}

// --- settings controller ---

class KvSettingsController : public KvServicesTest {
protected:
    void TearDown() override {
        if (TkvSettingsController *controller = GetSettingsController())
            for (TServiceProbe *probe : probes)
                controller->RemoveListener(probe);
        KvServicesTest::TearDown();
    }

    TServiceProbe *probe(int left) {
        TServiceProbe *p = addServiceProbe(shown.form, TRect{left, 10, left + 40, 40});
        probes.push_back(p);
        return p;
    }

    formstest::ShownForm shown;
    std::vector<TServiceProbe *> probes;
};

TEST_F(KvSettingsController, WindowExistsWhileAControlListens) {
    TkvSettingsController *controller = GetSettingsController();
    EXPECT_EQ(GetSettingsController(), controller);
    EXPECT_EQ(controller->Handle(), nullptr);
    TServiceProbe *a = probe(10);
    TServiceProbe *b = probe(60);

    controller->AddListener(a);
    HWND window = controller->Handle();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    controller->AddListener(a);
    EXPECT_EQ(controller->ListenerCount(), 1) << "a control is registered once";
    controller->AddListener(b);
    EXPECT_EQ(controller->Handle(), window);

    controller->RemoveListener(a);
    EXPECT_EQ(controller->Handle(), window);
    controller->RemoveListener(b);
    EXPECT_EQ(controller->Handle(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    controller->RemoveListener(b);
    EXPECT_EQ(controller->ListenerCount(), 0);
}

TEST_F(KvSettingsController, OnlyNonClientMetricsChangesAreForwarded) {
    TkvSettingsController *controller = GetSettingsController();
    TServiceProbe *a = probe(10);
    TServiceProbe *b = probe(60);
    controller->AddListener(a);
    controller->AddListener(b);
    HWND window = controller->Handle();

    for (WPARAM other : {WPARAM(0), WPARAM(41), WPARAM(43), WPARAM(SPI_SETWORKAREA)})
        SendMessageW(window, WM_SETTINGCHANGE, other, 0);
    pumpMessages();
    EXPECT_EQ(a->settingsChanges, 0);
    EXPECT_EQ(b->settingsChanges, 0);

    EXPECT_EQ(SendMessageW(window, WM_SETTINGCHANGE, 42, 0), 0);
    pumpMessages();
    EXPECT_EQ(a->settingsChanges, 1);
    EXPECT_EQ(b->settingsChanges, 1);
}

TEST_F(KvSettingsController, ControlsWithoutAWindowAreSkipped) {
    TkvSettingsController *controller = GetSettingsController();
    TServiceProbe *windowless = New<TServiceProbe>(shown.form);
    probes.push_back(windowless);
    TServiceProbe *a = probe(10);
    controller->AddListener(windowless);
    controller->AddListener(a);
    SendMessageW(controller->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    EXPECT_FALSE(windowless->HandleAllocated());
    EXPECT_EQ(a->settingsChanges, 1);
}

TEST_F(KvSettingsController, AControlMayUnregisterOthersWhileItIsTold) {
    TkvSettingsController *controller = GetSettingsController();
    TServiceProbe *a = probe(10);
    TServiceProbe *b = probe(60);
    TServiceProbe *c = probe(110);
    controller->AddListener(a);
    controller->AddListener(b);
    controller->AddListener(c);
    a->onSettingsChange = [&] {
        controller->RemoveListener(a);
        controller->RemoveListener(b);
    };
    SendMessageW(controller->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    EXPECT_EQ(a->settingsChanges, 1);
    EXPECT_EQ(b->settingsChanges, 0) << "unregistered before its turn";
    EXPECT_EQ(c->settingsChanges, 1);

    // The last one leaving from inside the window's own message takes the window with it.
    c->onSettingsChange = [&] { controller->RemoveListener(c); };
    SendMessageW(controller->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    EXPECT_EQ(controller->Handle(), nullptr);
    pumpMessages();
}

TEST_F(KvSettingsController, ABroadcastReachesTheControls) {
    TkvSettingsController *controller = GetSettingsController();
    TServiceProbe *a = probe(10);
    controller->AddListener(a);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0, SMTO_ABORTIFHUNG, 2000, &result);
    ASSERT_TRUE(pumpUntil([&] { return a->settingsChanges >= 1; }));
}

// --- the unit's end ---

class EmptyCaller : public IkvMouseTrackingCaller {
public:
    void MouseTrackingCallerMouseLeave() override {}
};

TEST_F(KvControlServices, EndingTheUnitWhileTrackingIsRefused) {
    ASSERT_EQ(kvControlsUnit.StartCount(), 1);
    EmptyCaller caller;
    TPoint cursor{};
    GetCursorPos(&cursor);
    BeginMouseTracking(nullptr, TRect{cursor.x - 1000, cursor.y - 1000, cursor.x + 1000, cursor.y + 1000}, &caller);
    HWND messageWindow = GetMessageWindow()->Handle();
    try {
        kvControlsUnit.Stop();
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), L"MouseTrackingTimerList.Count <> 0");
    }
    EXPECT_FALSE(kvControlsUnit.IsStarted());
    EXPECT_TRUE(IsWindow(messageWindow)) << "the end stopped before the singletons";
    EXPECT_TRUE(IsMouseTracking(&caller));

    EndMouseTracking(&caller);
    kvControlsUnit.Start();
    kvControlsUnit.Stop();
    EXPECT_FALSE(IsWindow(messageWindow));
    EXPECT_EQ(Screen->Cursors(crkvDragCopy), LoadCursorW(GetModuleHandleW(nullptr), L"KV_DRAGCOPYCURSOR"));
    kvControlsUnit.Start();
}

// --- routines ---

TEST_F(KvControlServices, AncestorHandle) {
    TForm *form = New<TForm>(nullptr);
    TServiceProbe *inner = New<TServiceProbe>(form);
    inner->SetParent(form);
    TServiceProbe *innermost = New<TServiceProbe>(form);
    innermost->SetParent(inner);
    ASSERT_FALSE(form->HandleAllocated());
    EXPECT_FALSE(IsAncestorHandleAllocated(innermost)) << "no window anywhere up the chain";
    EXPECT_FALSE(IsAncestorHandleAllocated(inner));
    EXPECT_FALSE(IsAncestorHandleAllocated(form));
    EXPECT_FALSE(IsAncestorHandleAllocated(nullptr));

    form->HandleNeeded();
    EXPECT_TRUE(IsAncestorHandleAllocated(innermost));
    EXPECT_TRUE(IsAncestorHandleAllocated(inner));
    EXPECT_FALSE(IsAncestorHandleAllocated(form)) << "its own window does not count";
    form->Free();
}

TEST_F(KvControlServices, WindowRoutines) {
    formstest::ShownForm shown;
    TServiceProbe *probe = addServiceProbe(shown.form, TRect{20, 30, 120, 110});
    HWND form = shown.form->Handle();
    EXPECT_TRUE(IsChildWindowStyle(probe->Handle()));
    EXPECT_FALSE(IsChildWindowStyle(form));

    TPoint p = MapWindowPoint(probe->Handle(), form, TPoint{1, 2});
    EXPECT_EQ(p.x, 21);
    EXPECT_EQ(p.y, 32);
    p = MapWindowPoint(form, probe->Handle(), TPoint{21, 32});
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    POINT screen{5, 6};
    ClientToScreen(probe->Handle(), &screen);
    p = MapWindowPoint(probe->Handle(), nullptr, TPoint{5, 6});
    EXPECT_EQ(p.x, screen.x);
    EXPECT_EQ(p.y, screen.y);

    TRect r = MapRectBetweenWindows(probe->Handle(), form, TRect{0, 0, 100, 80});
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 120);
    EXPECT_EQ(r.bottom, 110);
}

TEST_F(KvControlServices, MonitorWorkArea) {
    RECT expected{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &expected, 0);
    for (TPoint p : {TPoint{10, 10}, TPoint{-5000, -5000}, TPoint{INT_MAX, INT_MAX}}) {
        TRect area = GetMonitorWorkArea(p);
        EXPECT_EQ(area.left, expected.left);
        EXPECT_EQ(area.top, expected.top);
        EXPECT_EQ(area.right, expected.right);
        EXPECT_EQ(area.bottom, expected.bottom);
    }
    // Without the unit the system's work area answers.
    kvControlsUnit.Stop();
    TRect area = GetMonitorWorkArea(TPoint{10, 10});
    EXPECT_EQ(area.right, expected.right);
    EXPECT_EQ(area.bottom, expected.bottom);
    kvControlsUnit.Start();
}

TEST_F(KvControlServices, KeyAndMouseRoutines) {
    EXPECT_EQ(GetDoubleClickInterval(), GetDoubleClickTime());
    EXPECT_EQ(TranslateKey(VK_RETURN), VK_RETURN);
    EXPECT_EQ(TranslateKey(0), 0);

    keyDown(VK_CONTROL);
    EXPECT_TRUE(IsCtrlPressed());
    keyUp(VK_CONTROL);
    EXPECT_FALSE(IsCtrlPressed());

    int saved = Mouse->DragThreshold();
    Mouse->SetDragThreshold(5);
    TPoint origin{10, 10};
    EXPECT_TRUE(IsPointInDragDetectArea(origin, 10, 10));
    EXPECT_TRUE(IsPointInDragDetectArea(origin, 14, 6));
    EXPECT_FALSE(IsPointInDragDetectArea(origin, 15, 10)) << "the threshold itself is outside";
    EXPECT_FALSE(IsPointInDragDetectArea(origin, 10, 5));
    EXPECT_TRUE(IsPointInDragDetectArea(origin, 6, 14));
    EXPECT_FALSE(IsPointInDragDetectArea(TPoint{INT_MIN, INT_MIN}, INT_MAX, INT_MAX)) << "no overflow";
    EXPECT_FALSE(IsPointInDragDetectArea(TPoint{INT_MAX, 0}, INT_MIN, 0));
    Mouse->SetDragThreshold(saved);
}

TEST_F(KvControlServices, NumericAndTextCharacters) {
    wchar_t saved = FormatSettings().DecimalSeparator;
    FormatSettings().DecimalSeparator = L'.';
    for (int kind : {0, 1, 2, 3, -1})
        for (wchar_t c : std::wstring(L"+-0123456789"))
            EXPECT_TRUE(IsNumericChar(c, kind)) << kind << " " << char(c);
    EXPECT_FALSE(IsNumericChar(L'.', 0));
    EXPECT_TRUE(IsNumericChar(L'.', 1));
    EXPECT_TRUE(IsNumericChar(L'.', 2));
    EXPECT_FALSE(IsNumericChar(L'.', 3));
    EXPECT_TRUE(IsNumericChar(L'E', 2));
    EXPECT_TRUE(IsNumericChar(L'e', 2));
    for (int kind : {0, 1, 3})
        EXPECT_FALSE(IsNumericChar(L'E', kind)) << kind;
    for (wchar_t c : std::wstring(L" a,/:\x0660\xFF10"))
        for (int kind : {0, 1, 2})
            EXPECT_FALSE(IsNumericChar(c, kind)) << kind << " " << int(c);

    FormatSettings().DecimalSeparator = L',';
    EXPECT_FALSE(IsNumericChar(L'.', 1));
    EXPECT_TRUE(IsNumericChar(L',', 1));
    EXPECT_TRUE(IsNumericChar(L',', 2));
    EXPECT_FALSE(IsNumericChar(L',', 0));
    FormatSettings().DecimalSeparator = saved;

    EXPECT_FALSE(IsTextChar(L'\0'));
    EXPECT_FALSE(IsTextChar(L'\t'));
    EXPECT_FALSE(IsTextChar(wchar_t(31)));
    EXPECT_TRUE(IsTextChar(L' '));
    EXPECT_TRUE(IsTextChar(L'\x4E2D'));
}

} // namespace
