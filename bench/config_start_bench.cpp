// Time from starting config.exe to the first paint of its form, against a bare Win32 dialog of
// the same contents started the same way, in one run: both programs are started in turn from a
// scratch folder beside a "PelkV3.ini", and each start is timed until its window is visible with
// nothing left to paint.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int starts = 8;

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
    DWORD process;
    HWND window;
};

BOOL CALLBACK findVisible(HWND window, LPARAM data) {
    auto *search = reinterpret_cast<Search *>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window)) {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findUnpainted(HWND window, LPARAM data) {
    if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) {
        *reinterpret_cast<bool *>(data) = true;
        return FALSE;
    }
    return TRUE;
}

bool painted(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool unpainted = false;
    EnumChildWindows(window, findUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return !unpainted;
}

// Seconds from the start to the painted window, or a negative number when it did not come.
double timeToFirstPaint(const std::wstring &program, const std::wstring &folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + program + L"\"";
    double start = seconds();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return -1;
    double result = -1;
    WaitForInputIdle(info.hProcess, 30000);
    for (int i = 0; i < 30000; ++i) {
        Search search{info.dwProcessId, nullptr};
        EnumWindows(findVisible, reinterpret_cast<LPARAM>(&search));
        if (search.window != nullptr) {
            DWORD_PTR ignored;
            // Once the program answers, what it has not painted yet shows as an update region.
            SendMessageTimeoutW(search.window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
            if (painted(search.window)) {
                result = seconds() - start;
                PostMessageW(search.window, WM_CLOSE, 0, 0);
                break;
            }
        }
        if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (WaitForSingleObject(info.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::wstring beside(const wchar_t *name) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L"\\/") + 1) + name;
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"config_start_bench_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring config = folder + L"\\config.exe";
    std::wstring dialog = folder + L"\\bare_dialog.exe";
    std::wstring settings = folder + L"\\PelkV3.ini";
    if (!CopyFileW(beside(L"config.exe").c_str(), config.c_str(), FALSE) ||
        !CopyFileW(beside(L"bare_dialog.exe").c_str(), dialog.c_str(), FALSE)) {
        fprintf(stderr, "config_start_bench: config.exe and bare_dialog.exe must lie beside it\n");
        return 2;
    }
    HANDLE file = CreateFileW(settings.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "-Xms128m\r\n-Xmx512m\r\n";
    DWORD wrote = 0;
    WriteFile(file, text, sizeof text - 1, &wrote, nullptr);
    CloseHandle(file);

    // One start of each first, so that neither pays for a cold disk cache alone.
    timeToFirstPaint(config, folder);
    timeToFirstPaint(dialog, folder);
    std::vector<double> ours, peer;
    for (int i = 0; i < starts; ++i) {
        double a = timeToFirstPaint(config, folder);
        double b = timeToFirstPaint(dialog, folder);
        if (a < 0 || b < 0) {
            fprintf(stderr, "config_start_bench: a window did not show\n");
            return 2;
        }
        ours.push_back(a);
        peer.push_back(b);
    }
    DeleteFileW(config.c_str());
    DeleteFileW(dialog.c_str());
    DeleteFileW(settings.c_str());
    RemoveDirectoryW(folder.c_str());
    double o = median(ours), p = median(peer);
    printf("start to first paint, median of %d starts: config.exe %.1f ms, bare Win32 dialog %.1f ms, "
           "ratio ours / peer %.2f\n",
           starts, o * 1000, p * 1000, o / p);
    return 0;
}
