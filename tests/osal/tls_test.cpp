// Thread-local storage keys seen from many threads at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "osal/thread.h"

namespace {

// Keys come from a table of a little over a thousand; a test takes what it needs and gives it back.
class Key {
public:
    Key() { EXPECT_EQ(tlsAlloc(&key_), 0); }
    ~Key() { EXPECT_NE(tlsFree(key_), 0); }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    TlsKey get() const { return key_; }

private:
    TlsKey key_ = 0;
};

void *valueFor(int thread, int round) { return reinterpret_cast<void *>(static_cast<uintptr_t>(thread * 100000 + round + 1)); }

} // namespace

TEST(Tls, AFreshKeyIsNullInEveryThread) {
    Key key;
    EXPECT_EQ(tlsGet(key.get()), nullptr);
    EXPECT_NE(tlsSet(key.get(), &key), 0);
    std::atomic<int> nulls{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            if (tlsGet(key.get()) == nullptr)
                ++nulls;
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(nulls.load(), 8);
    EXPECT_EQ(tlsGet(key.get()), &key);
}

TEST(Tls, ManyThreadsKeepTheirOwnValues) {
    constexpr int threadCount = 16;
    constexpr int rounds = 2000;
    Key first, second;
    std::atomic<int> wrong{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < threadCount)
                threadYield();
            for (int round = 0; round < rounds; ++round) {
                if (!tlsSet(first.get(), valueFor(t, round)) || !tlsSet(second.get(), valueFor(t + 50, round)))
                    ++wrong;
                if (round % 64 == 0)
                    threadYield();
                if (tlsGet(first.get()) != valueFor(t, round) || tlsGet(second.get()) != valueFor(t + 50, round))
                    ++wrong;
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(tlsGet(first.get()), nullptr);
}

namespace {

struct SlotCheck {
    TlsKey key;
    std::atomic<int> good{0};
    HANDLE done = CreateSemaphoreA(nullptr, 0, 100, nullptr);
};

unsigned long __stdcall checkOwnSlot(void *argument) {
    auto *check = static_cast<SlotCheck *>(argument);
    bool fresh = tlsGet(check->key) == nullptr;
    tlsSet(check->key, &fresh);
    if (fresh && tlsGet(check->key) == &fresh)
        ++check->good;
    ReleaseSemaphore(check->done, 1, nullptr);
    return 0;
}

} // namespace

TEST(Tls, ThreadsStartedThroughTheLayerSeeTheirOwnSlots) {
    Key key;
    SlotCheck check;
    check.key = key.get();
    tlsSet(key.get(), &check);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(threadStart(checkOwnSlot, &check, 0, nullptr, 0), 0);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(WaitForSingleObject(check.done, 10000), WAIT_OBJECT_0);
    CloseHandle(check.done);
    EXPECT_EQ(check.good.load(), 10);
    EXPECT_EQ(tlsGet(key.get()), &check);
}

TEST(Tls, RunningOutOfKeysGivesResultTwo) {
    std::vector<TlsKey> keys;
    TlsKey key;
    int result;
    while ((result = tlsAlloc(&key)) == 0 && keys.size() < 100000)
        keys.push_back(key);
    EXPECT_EQ(result, 2);
    EXPECT_GT(keys.size(), 60u);
    for (TlsKey taken : keys)
        EXPECT_NE(tlsFree(taken), 0);
    ASSERT_EQ(tlsAlloc(&key), 0);
    EXPECT_NE(tlsFree(key), 0);
}

TEST(Tls, BadArguments) {
    EXPECT_EQ(tlsAlloc(nullptr), 3);
    TlsKey key;
    ASSERT_EQ(tlsAlloc(&key), 0);
    EXPECT_NE(tlsFree(key), 0);
    const TlsKey outOfRange = 100000;
    EXPECT_EQ(tlsSet(outOfRange, &key), 0);
    EXPECT_EQ(tlsGet(outOfRange), nullptr);
    EXPECT_EQ(tlsFree(outOfRange), 0);
}
