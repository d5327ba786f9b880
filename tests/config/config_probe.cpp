// The end-to-end test's eyes: reads the window tree of a running config.exe and answers one
// command a line on standard input with one line on standard output (UTF-8, after "@@ "), so the
// test script can drive the program with real input and check what it shows.
//   wait-form MS            "form X Y W H CX CY" (window and client origin on the screen), or "none"
//   wait-gone MS            "gone" once neither the form nor a message box is left, else "still"
//   wait-gone-box MS        "gone" once no message box is left, else "still"
//   box MS                  "box CAPTION<TAB>TEXT<TAB>OWNED" (OWNED 1 when the form owns it; the text's
//                           line breaks as \n), or "nobox"
//   box-or-form MS          waits for whichever shows first: the box's answer, "form", or "nobox"
//   focus [NAME MS]         the control holding the focus: edit, ok, cancel, or another class
//   text [TEXT MS]          "text TEXT", the text the spin edit shows
//                           (with the expected answer, waits up to MS for it)
//   selection [START END MS] "selection START END", the spin edit's selected characters (likewise)
//   point edit|ok|cancel|up|down|close   screen point to click: a control, a spin button, the close button
//   foreground              brings the form to the front with the keyboard focus
//   xwindow form|box        "xwindow ID", the X window the display shows it in (decimal), or "none"
//   keyboard form|box       "keyboard ID...", the X windows of the form and the box, once a key
//                           any of them receives goes to the named one; else "elsewhere" or "none"
//   shot form|box NAME      compares the window with fixtures/NAME.bmp: "match", or "differ ..."
//   hold read|none PATH     holds the file open, sharing it for reading or not at all: "held" or "error N"
//   release                 closes a held file
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "capture.h"
#include "image_compare.h"

namespace {

std::string utf8(const std::wstring &text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    // One answer is one line.
    for (char &c : out)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return out;
}

std::wstring wide(const std::string &text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                             &length))
        return L"";
    return std::wstring(buffer, length);
}

std::wstring className(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

HWND findForm() {
    HWND form = FindWindowW(L"TfrmConfig", nullptr);
    return form != nullptr && IsWindowVisible(form) ? form : nullptr;
}

HWND findBox() {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr)
        if (IsWindowVisible(box))
            return box;
    return nullptr;
}

template <class F> bool waitFor(int ms, F &&done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > static_cast<DWORD>(ms))
            return false;
        Sleep(50);
    }
}

// Where the form places its controls, in its client area.
struct ControlPlace {
    const char *name;
    int left, top;
};
constexpr ControlPlace places[] = {{"edit", 122, 20}, {"ok", 92, 70}, {"cancel", 198, 70}};

RECT clientRectOf(HWND form, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

HWND controlNamed(HWND form, const std::string &name) {
    for (const ControlPlace &place : places) {
        if (name != place.name)
            continue;
        for (HWND child = GetWindow(form, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r = clientRectOf(form, child);
            if (r.left == place.left && r.top == place.top)
                return child;
        }
    }
    return nullptr;
}

std::string nameOfChild(HWND form, HWND child) {
    RECT r = clientRectOf(form, child);
    for (const ControlPlace &place : places)
        if (r.left == place.left && r.top == place.top)
            return place.name;
    return utf8(className(child));
}

std::string focusAnswer() {
    HWND form = findForm();
    if (form == nullptr)
        return "none";
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info) || info.hwndFocus == nullptr)
        return "nothing";
    if (info.hwndFocus == form)
        return "form";
    HWND child = info.hwndFocus;
    while (child != nullptr && GetParent(child) != form)
        child = GetParent(child);
    return child != nullptr ? nameOfChild(form, child) : "elsewhere";
}

// The spin edit's text is that of the edit inside it (or its own, for an editor without one).
std::string textAnswer() {
    HWND form = findForm();
    HWND edit = form != nullptr ? controlNamed(form, "edit") : nullptr;
    if (edit == nullptr)
        return "none";
    HWND inner = GetWindow(edit, GW_CHILD);
    return "text " + utf8(windowText(inner != nullptr ? inner : edit));
}

std::string selectionAnswer() {
    HWND form = findForm();
    HWND edit = form != nullptr ? controlNamed(form, "edit") : nullptr;
    HWND inner = edit != nullptr ? GetWindow(edit, GW_CHILD) : nullptr;
    if (inner == nullptr)
        return "none";
    DWORD_PTR range = 0;
    if (!SendMessageTimeoutW(inner, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &range))
        return "none";
    return "selection " + std::to_string(LOWORD(range)) + ' ' + std::to_string(HIWORD(range));
}

std::string pointAnswer(const std::string &what) {
    HWND form = findForm();
    if (form == nullptr)
        return "none";
    RECT r;
    if (what == "close") {
        GetWindowRect(form, &r);
        int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
        int size = GetSystemMetrics(SM_CYSIZE);
        std::ostringstream out;
        out << "point " << r.right - frame - size / 2 - 1 << ' ' << r.top + frame + size / 2;
        return out.str();
    }
    // A control whose look changes makes its window anew: wait for it a moment.
    HWND control = nullptr;
    if (!waitFor(20000, [&] { return (control = controlNamed(form, what == "up" || what == "down" ? "edit" : what)) != nullptr; }))
        return "none";
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2;
    int y = (r.top + r.bottom) / 2;
    // The spin buttons share a column at the editor's right edge, up above down.
    if (what == "up" || what == "down") {
        x = r.right - 6;
        y = what == "up" ? r.top + (r.bottom - r.top) / 4 + 1 : r.bottom - (r.bottom - r.top) / 4 - 1;
    }
    std::ostringstream out;
    out << "point " << x << ' ' << y;
    return out.str();
}

std::string boxAnswer(int ms) {
    HWND box = nullptr;
    if (!waitFor(ms, [&] { return (box = findBox()) != nullptr; }))
        return "nobox";
    // A box may show before its text is set.
    waitFor(20000, [&] { return !windowText(GetDlgItem(box, 0xFFFF)).empty(); });
    HWND owner = GetWindow(box, GW_OWNER);
    HWND form = FindWindowW(L"TfrmConfig", nullptr);
    // One answer a line: the text's line breaks are written as \n.
    const std::wstring raw = windowText(GetDlgItem(box, 0xFFFF));
    std::wstring text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != L'\r' && raw[i] != L'\n') {
            text += raw[i];
            continue;
        }
        text += L"\\n";
        if (raw[i] == L'\r' && i + 1 < raw.size() && raw[i + 1] == L'\n')
            ++i;
    }
    return "box " + utf8(windowText(box)) + "\t" + utf8(text) + "\t" +
           (owner != nullptr && owner == form ? "1" : "0");
}

// Wine shows each top-level window in an X window of its own and names it in this property;
// 0 for no window.
std::uintptr_t xWindowOf(HWND window) {
    return window != nullptr ? reinterpret_cast<std::uintptr_t>(GetPropW(window, L"__wine_x11_whole_window")) : 0;
}

HWND formOrBox(const std::string &what) { return what == "box" ? findBox() : what == "form" ? findForm() : nullptr; }

std::string xWindowAnswer(const std::string &what) {
    const std::uintptr_t id = xWindowOf(formOrBox(what));
    return id != 0 ? "xwindow " + std::to_string(id) : "none";
}

// Wine hands a key that any of the program's X windows receives to the window holding the
// keyboard focus of the foreground thread, not to the X window it came through.
std::string keyboardAnswer(const std::string &what) {
    HWND target = formOrBox(what);
    if (target == nullptr)
        return "none";
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetForegroundWindow() != target || !GetGUIThreadInfo(GetWindowThreadProcessId(target, nullptr), &info) ||
        info.hwndActive != target || (info.hwndFocus != target && !IsChild(target, info.hwndFocus)))
        return "elsewhere";
    std::string answer = "keyboard";
    for (HWND window : {findForm(), findBox()})
        if (const std::uintptr_t id = xWindowOf(window); id != 0)
            answer += ' ' + std::to_string(id);
    return answer;
}

std::string shotAnswer(const std::string &what, const std::string &name) {
    HWND window = what == "box" ? findBox() : findForm();
    if (window == nullptr)
        return "differ no window";
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(window, &r);
    // A pointer left over a button by an earlier click would show it hot in the picture.
    SetCursorPos(r.right + 40, r.bottom + 40);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The caret blinks and the picture settles after the repaint: compare until it matches or
    // the bound is reached, and report the last comparison.
    CompareOptions options;
    options.channelTolerance = 8;
    options.allowedDifferentPixels = 24;
    std::string reference = referenceImagePath("config", name);
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    if (updatingReferenceImages()) {
        Sleep(500);
        return matchesReferenceFile(captureScreen(r), reference, name, options) ? "match" : "differ";
    }
    // A slow machine may take a while to paint: the bound is generous, and a match ends it early.
    waitFor(20000, [&] {
        result = matchesReferenceFile(captureScreen(r), reference, name, options);
        return static_cast<bool>(result);
    });
    return result ? "match" : "differ " + utf8(wide(result.message()));
}

} // namespace

int main() {
    HANDLE held = INVALID_HANDLE_VALUE;
    char line[4096];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
            command.pop_back();
        std::istringstream in(command);
        std::string verb;
        in >> verb;
        std::string answer;
        if (verb == "wait-form") {
            int ms = 10000;
            in >> ms;
            HWND form = nullptr;
            // Ready once its controls are there and one of them has the keyboard focus.
            auto ready = [&] {
                form = findForm();
                if (form == nullptr || controlNamed(form, "edit") == nullptr)
                    return false;
                std::string focus = focusAnswer();
                return focus != "nothing" && focus != "none";
            };
            if (waitFor(ms, ready)) {
                RECT r;
                GetWindowRect(form, &r);
                POINT origin{0, 0};
                ClientToScreen(form, &origin);
                std::ostringstream out;
                out << "form " << r.left << ' ' << r.top << ' ' << r.right - r.left << ' ' << r.bottom - r.top << ' '
                    << origin.x << ' ' << origin.y;
                answer = out.str();
            } else {
                answer = "none";
            }
        } else if (verb == "wait-gone") {
            int ms = 10000;
            in >> ms;
            answer = waitFor(ms, [] { return findForm() == nullptr && findBox() == nullptr; }) ? "gone" : "still";
        } else if (verb == "wait-gone-box") {
            int ms = 10000;
            in >> ms;
            answer = waitFor(ms, [] { return findBox() == nullptr; }) ? "gone" : "still";
        } else if (verb == "box") {
            int ms = 5000;
            in >> ms;
            answer = boxAnswer(ms);
        } else if (verb == "box-or-form") {
            int ms = 5000;
            in >> ms;
            HWND form = nullptr;
            waitFor(ms, [&] { return findBox() != nullptr || (form = findForm()) != nullptr; });
            answer = findBox() != nullptr ? boxAnswer(0) : form != nullptr ? "form" : "nobox";
        } else if (verb == "focus" || verb == "text") {
            // With an expected answer and a bound: waits until the answer is that one (input may
            // still be on its way), and gives the last one seen.
            std::string expected;
            int ms = 0;
            in >> expected >> ms;
            if (verb == "text")
                expected = "text " + expected;
            waitFor(ms, [&] {
                answer = verb == "focus" ? focusAnswer() : textAnswer();
                return expected.empty() || answer == expected;
            });
        } else if (verb == "selection") {
            std::string start, end;
            int ms = 0;
            in >> start >> end >> ms;
            const std::string expected = start.empty() ? "" : "selection " + start + ' ' + end;
            waitFor(ms, [&] {
                answer = selectionAnswer();
                return expected.empty() || answer == expected;
            });
        } else if (verb == "point") {
            std::string what;
            in >> what;
            answer = pointAnswer(what);
        } else if (verb == "foreground") {
            HWND form = findForm();
            answer = form != nullptr && SetForegroundWindow(form) ? "front" : "none";
        } else if (verb == "xwindow" || verb == "keyboard") {
            std::string what;
            in >> what;
            answer = verb == "xwindow" ? xWindowAnswer(what) : keyboardAnswer(what);
        } else if (verb == "shot") {
            std::string what, name;
            in >> what >> name;
            answer = shotAnswer(what, name);
        } else if (verb == "hold") {
            std::string mode, path;
            in >> mode;
            std::getline(in >> std::ws, path);
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
            held = CreateFileW(wide(path).c_str(), GENERIC_READ, mode == "read" ? FILE_SHARE_READ : 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
            answer = held != INVALID_HANDLE_VALUE ? "held" : "error " + std::to_string(GetLastError());
        } else if (verb == "release") {
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
            answer = "released";
        } else if (verb == "quit") {
            break;
        } else {
            answer = "unknown " + verb;
        }
        // Answers are marked: the comparison helpers print notes of their own.
        std::printf("@@ %s\n", answer.c_str());
        std::fflush(stdout);
    }
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    return 0;
}
