// Sequential write and read throughput through the fio_ functions against the platform's own
// WriteFile and ReadFile, with the same buffer sizes on the same file, in one run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "osal/fio.h"

#include "bench_timer.h"

namespace {

constexpr size_t totalBytes = size_t{128} << 20;
constexpr int rounds = 5;

bool fioWrite(const std::string &path, std::vector<char> &buffer) {
    FioHandle file = fio_open(path.c_str(), FIO_WRITE_ONLY | FIO_CREATE_ALWAYS);
    if (file == FIO_INVALID_HANDLE)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < totalBytes; done += buffer.size())
        ok = fio_write_fully(file, buffer.data(), buffer.size()) == static_cast<intptr_t>(buffer.size());
    return fio_close(file) && ok;
}

bool fioRead(const std::string &path, std::vector<char> &buffer) {
    FioHandle file = fio_open(path.c_str(), FIO_READ_ONLY | FIO_OPEN_EXISTING);
    if (file == FIO_INVALID_HANDLE)
        return false;
    size_t total = 0;
    for (intptr_t got; (got = fio_read(file, buffer.data(), buffer.size())) > 0;)
        total += static_cast<size_t>(got);
    return fio_close(file) && total == totalBytes;
}

bool plainWrite(const std::string &path, std::vector<char> &buffer) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < totalBytes; done += buffer.size()) {
        DWORD wrote = 0;
        ok = WriteFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &wrote, nullptr) &&
             wrote == buffer.size();
    }
    return CloseHandle(file) && ok;
}

bool plainRead(const std::string &path, std::vector<char> &buffer) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t total = 0;
    DWORD got = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
        total += got;
    return CloseHandle(file) && total == totalBytes;
}

double mibPerSecond(double secondsTaken) { return static_cast<double>(totalBytes) / (1 << 20) / secondsTaken; }

} // namespace

int main() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    // Each side has a file of its own, so neither pays for dropping what the other wrote.
    std::string base = std::string(folder) + "fio-bench-" + std::to_string(GetCurrentProcessId());
    std::string fioPath = base + "-fio.bin", plainPath = base + "-plain.bin";
    printf("fio sequential throughput, %u MiB a pass, best of %d; ratio = fio / WriteFile or ReadFile\n",
           static_cast<unsigned>(totalBytes >> 20), rounds);
    for (size_t size : {size_t{4} << 10, size_t{64} << 10, size_t{1} << 20}) {
        std::vector<char> buffer(size);
        for (size_t i = 0; i < size; ++i)
            buffer[i] = static_cast<char>(i * 31);
        double fioW = 1e30, plainW = 1e30, fioR = 1e30, plainR = 1e30;
        // Alternating which side goes first spreads the machine's drift over both.
        for (int round = 0; round < rounds; ++round) {
            auto plain = [&] {
                plainW = std::min(plainW, timedStep([&] { return plainWrite(plainPath, buffer); }));
                plainR = std::min(plainR, timedStep([&] { return plainRead(plainPath, buffer); }));
            };
            auto viaFio = [&] {
                fioW = std::min(fioW, timedStep([&] { return fioWrite(fioPath, buffer); }));
                fioR = std::min(fioR, timedStep([&] { return fioRead(fioPath, buffer); }));
            };
            if (round % 2 == 0) {
                plain();
                viaFio();
            } else {
                viaFio();
                plain();
            }
        }
        printf("buffer %7u B  write: fio %8.1f MiB/s  WriteFile %8.1f MiB/s  ratio %.2f\n",
               static_cast<unsigned>(size), mibPerSecond(fioW), mibPerSecond(plainW), plainW / fioW);
        printf("buffer %7u B  read:  fio %8.1f MiB/s  ReadFile  %8.1f MiB/s  ratio %.2f\n",
               static_cast<unsigned>(size), mibPerSecond(fioR), mibPerSecond(plainR), plainR / fioR);
    }
    DeleteFileA(fioPath.c_str());
    DeleteFileA(plainPath.c_str());
    return 0;
}
