// The peer of config_start_bench: a bare Win32 dialog of the settings form's size and contents
// (two texts, an edit, two buttons), made from a template in memory, that ends when closed.
#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

// A dialog template: the header, then each item aligned to four bytes.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t *caption, short width, short height, int items) {
        DLGTEMPLATE header{};
        header.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        header.cdit = static_cast<WORD>(items);
        header.cx = width;
        header.cy = height;
        add(&header, sizeof header);
        word(0); // no menu
        word(0); // the dialog class
        text(caption);
        word(9);
        text(L"SimSun");
    }
    void item(const wchar_t *text_, WORD atom, DWORD style, short x, short y, short cx, short cy, WORD id) {
        align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        add(&item, sizeof item);
        word(0xFFFF);
        word(atom);
        text(text_);
        word(0);
    }
    const DLGTEMPLATE *get() const { return reinterpret_cast<const DLGTEMPLATE *>(bytes_.data()); }

private:
    void add(const void *data, std::size_t size) {
        const auto *p = static_cast<const unsigned char *>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void word(WORD value) { add(&value, sizeof value); }
    void text(const wchar_t *value) { add(value, (std::wcslen(value) + 1) * sizeof(wchar_t)); }
    void align() {
        while (bytes_.size() % 4 != 0)
            bytes_.push_back(0);
    }
    std::vector<unsigned char> bytes_;
};

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    DialogTemplate dialog(L"程序设置", 240, 78, 5);
    dialog.item(L"设置最大可用内存", 0x0082, SS_LEFT, 10, 14, 70, 10, 100);
    dialog.item(L"可设置范围384-1024", 0x0082, SS_LEFT, 144, 14, 80, 10, 101);
    dialog.item(L"512", 0x0081, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 81, 12, 52, 12, 102);
    dialog.item(L"确定", 0x0080, BS_PUSHBUTTON | WS_TABSTOP, 61, 42, 46, 15, IDOK);
    dialog.item(L"取消", 0x0080, BS_PUSHBUTTON | WS_TABSTOP, 132, 42, 46, 15, IDCANCEL);
    return static_cast<int>(DialogBoxIndirectParamW(instance, dialog.get(), nullptr, dialogProc, 0));
}
