// Memory spaces against the C runtime's heap: alloc/free throughput, one thread and eight,
// small and mixed sizes, and the memory each allocation costs.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "osal/mspace.h"
#include "osal/vmm.h"

namespace {

constexpr int window = 2000; // live blocks each thread keeps
constexpr int rounds = 3;    // the best of these counts: others share this machine

int operationsFor(int threads) { return threads == 1 ? 300000 : 60000; }

// Both heaps are called the same way, through one indirect call each.
struct Heap {
    void *(*allocate)(void *context, size_t size);
    void (*release)(void *context, void *block);
    void *context;
};

double seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Replaces a random live block by a new one, over and over.
void churn(const Heap &heap, unsigned seed, bool mixed, int operations) {
    std::minstd_rand random(seed);
    std::vector<void *> live(window, nullptr);
    for (int i = 0; i < operations; ++i) {
        size_t slot = random() % window;
        heap.release(heap.context, live[slot]);
        size_t r = random();
        size_t size = !mixed ? 16 + r % 113 : (r % 100 < 90 ? 16 + r % 500 : (r % 100 < 99 ? 512 + r % 8192 : 65536));
        live[slot] = heap.allocate(heap.context, size);
        static_cast<char *>(live[slot])[0] = 1;
    }
    for (void *block : live)
        heap.release(heap.context, block);
}

double run(int threads, const std::function<Heap(int)> &heapFor, bool mixed) {
    std::vector<Heap> heaps;
    for (int i = 0; i < threads; ++i)
        heaps.push_back(heapFor(i));
    double start = seconds();
    if (threads == 1) {
        churn(heaps[0], 1000, mixed, operationsFor(1));
        return seconds() - start;
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i)
        workers.emplace_back([&, i] { churn(heaps[i], 1000 + i, mixed, operationsFor(threads)); });
    for (std::thread &worker : workers)
        worker.join();
    return seconds() - start;
}

Heap runtimeHeap() {
    return {[](void *, size_t n) { return malloc(n); }, [](void *, void *p) { free(p); }, nullptr};
}

Heap spaceHeap(MSpace space) {
    return {[](void *context, size_t n) { return msMalloc(static_cast<MSpace>(context), n); },
            [](void *context, void *p) { msFree(static_cast<MSpace>(context), p); }, space};
}

// Committed private memory of the process, from its address map.
size_t committedBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    char *at = nullptr;
    while (VirtualQuery(at, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        char *next = static_cast<char *>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}

// The blocks stay allocated, so that every measurement takes fresh memory.
double bytesPerBlock(const Heap &heap, size_t size, int count, std::vector<void *> &kept) {
    size_t before = committedBytes();
    for (int i = 0; i < count; ++i)
        kept.push_back(heap.allocate(heap.context, size));
    return static_cast<double>(committedBytes() - before) / count;
}

void compare(const char *what, int threads, bool mixed, bool sharedSpace, bool locked = true) {
    double crt = 1e30;
    double ms = 1e30;
    std::vector<MSpace> spaces;
    MSpace shared = sharedSpace ? msCreateStdMSpace(0, "bench shared") : nullptr;
    for (int round = 0; round < rounds; ++round) {
        double t = run(threads, [](int) { return runtimeHeap(); }, mixed);
        crt = t < crt ? t : crt;
        t = run(
            threads,
            [&](int) {
                if (sharedSpace)
                    return spaceHeap(shared);
                spaces.push_back(locked ? msCreateStdMSpace(0, "bench") : msCreateStdMSpaceThreadUnsafe(0, "bench"));
                return spaceHeap(spaces.back());
            },
            mixed);
        ms = t < ms ? t : ms;
    }
    double pairs = static_cast<double>(operationsFor(threads)) * threads;
    printf("%-44s runtime heap %7.1f ns  memory space %7.1f ns  ratio %.2f\n", what, crt / pairs * 1e9, ms / pairs * 1e9,
           crt / ms);
    for (MSpace space : spaces)
        msDestroyMSpace(space);
    if (shared != nullptr)
        msDestroyMSpace(shared);
}

} // namespace

int main() {
    printf("alloc+free pairs; ratio = runtime heap time / memory space time (above 1: spaces faster)\n");
    compare("1 thread, small (16-128 B)", 1, false, false);
    compare("1 thread, mixed (16 B-64 KiB)", 1, true, false);
    compare("1 thread, small, a space without its lock", 1, false, false, false);
    compare("8 threads, small, a space each", 8, false, false);
    compare("8 threads, mixed, a space each", 8, true, false);
    compare("8 threads, small, one shared space", 8, false, true);
    compare("8 threads, mixed, one shared space", 8, true, true);

    MSpace space = msCreateStdMSpace(0, "overhead");
    std::vector<void *> crtBlocks;
    std::vector<void *> spaceBlocks;
    crtBlocks.reserve(300000); // the bookkeeping must not grow while memory is counted
    spaceBlocks.reserve(300000);
    for (size_t size : {8u, 24u, 100u}) {
        double crt = bytesPerBlock(runtimeHeap(), size, 100000, crtBlocks);
        double ms = bytesPerBlock(spaceHeap(space), size, 100000, spaceBlocks);
        printf("memory per %3u-byte block: runtime heap %.1f B, memory space %.1f B (overhead %.1f vs %.1f B)\n",
               static_cast<unsigned>(size), crt, ms, crt - size, ms - size);
    }
    for (void *block : crtBlocks)
        free(block);
    msDestroyMSpace(space);
    return 0;
}
