// Places a text so that it ends exactly where readable memory ends: reading one byte too far
// faults at once instead of passing unseen.
#ifndef TESTS_UTIL_GUARDED_TEXT_H
#define TESTS_UTIL_GUARDED_TEXT_H

#include <windows.h>

#include <stdexcept>
#include <string.h>
#include <string>

class GuardedText {
public:
    GuardedText() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char *>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ == nullptr || !VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old))
            throw std::runtime_error("guard page");
    }
    ~GuardedText() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedText(const GuardedText &) = delete;
    GuardedText &operator=(const GuardedText &) = delete;

    // The text's bytes, followed by a NUL only when terminated; the guard page comes right after.
    const char *place(const std::string &text, bool terminated) {
        size_t size = text.size() + (terminated ? 1 : 0);
        if (size > page_)
            throw std::runtime_error("text too long for the guarded page");
        char *at = base_ + page_ - size;
        memcpy(at, text.data(), text.size());
        if (terminated)
            at[text.size()] = '\0';
        return at;
    }

private:
    size_t page_ = 0;
    char *base_ = nullptr;
};

#endif
