// Randomised allocation against a shadow of the live blocks, whose contents are checked on every
// free and move, with a walk of the space's invariants after every batch; alone and in threads.
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mspace_support.h"
#include "osal/mspace.h"

namespace {

struct LiveBlock {
    unsigned char *data;
    size_t size;
    unsigned seed;
    uintptr_t site;
};

unsigned char patternByte(unsigned seed, size_t i) { return static_cast<unsigned char>(seed + i * 31 + (i >> 8)); }

void fill(const LiveBlock &block) {
    for (size_t i = 0; i < block.size; ++i)
        block.data[i] = patternByte(block.seed, i);
}

// The first byte that differs from the block's pattern, or -1.
long firstDamage(const LiveBlock &block, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (block.data[i] != patternByte(block.seed, i))
            return static_cast<long>(i);
    return -1;
}

class Workload {
public:
    Workload(MSpace space, unsigned seed, bool checkAsItGoes)
        : space_(space), random_(seed), check_(checkAsItGoes) {}

    // Runs operations in batches; false (with failure_ set) at the first fault.
    bool run(int operations, int batch) {
        for (int i = 1; i <= operations; ++i) {
            if (!step())
                return false;
            if (check_ && i % batch == 0 && !checkSpace())
                return false;
        }
        return true;
    }

    bool releaseAll() {
        while (!live_.empty())
            if (!freeAt(live_.size() - 1))
                return false;
        return !check_ || checkSpace();
    }

    const std::string &failure() const { return failure_; }
    const std::vector<LiveBlock> &live() const { return live_; }

private:
    size_t pick(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random_); }

    size_t randomSize() {
        size_t r = pick(100);
        if (r < 60)
            return 1 + pick(128);
        if (r < 90)
            return 129 + pick(4000);
        if (r < 99)
            return 4097 + pick(60000);
        return 65537 + pick(330000);
    }

    bool fail(const std::string &what) {
        failure_ = what;
        return false;
    }

    bool checkSpace() {
        if (const char *fault = mspace::checkConsistency(space_))
            return fail(std::string("inconsistent space: ") + fault);
        size_t bytes = 0;
        size_t count = 0;
        msMSpaceStats(space_, &bytes, &count);
        if (count != live_.size())
            return fail("allocation count " + std::to_string(count) + " for " + std::to_string(live_.size()));
        return true;
    }

    bool add(void *data, size_t size, uintptr_t site) {
        if (data == nullptr)
            return fail("allocation of " + std::to_string(size) + " failed");
        if (msBlockSize(space_, data) < size)
            return fail("block smaller than asked");
        LiveBlock block{static_cast<unsigned char *>(data), size, static_cast<unsigned>(random_()), site};
        fill(block);
        live_.push_back(block);
        return true;
    }

    bool freeAt(size_t index) {
        LiveBlock block = live_[index];
        long damage = firstDamage(block, block.size);
        if (damage >= 0)
            return fail("block of " + std::to_string(block.size) + " damaged at " + std::to_string(damage));
        msFree(space_, block.data);
        live_[index] = live_.back();
        live_.pop_back();
        return true;
    }

    bool step() {
        size_t r = pick(100);
        uintptr_t site = 1 + pick(7);
        if (live_.size() < 8 || r < 45) {
            size_t size = randomSize();
            return add(msMallocAt(space_, size, site), size, site);
        }
        if (r < 75)
            return freeAt(pick(live_.size()));
        if (r < 90) {
            LiveBlock &block = live_[pick(live_.size())];
            size_t size = randomSize();
            long damage = firstDamage(block, block.size);
            if (damage >= 0)
                return fail("block damaged before a move at " + std::to_string(damage));
            auto *moved = static_cast<unsigned char *>(msReallocAt(space_, block.data, size, site));
            if (moved == nullptr)
                return fail("reallocation failed");
            block.data = moved;
            damage = firstDamage(block, block.size < size ? block.size : size);
            if (damage >= 0)
                return fail("contents lost in a move at " + std::to_string(damage));
            block.size = size;
            block.site = site;
            fill(block);
            return true;
        }
        if (r < 95) {
            size_t count = 1 + pick(64);
            size_t size = 1 + pick(64);
            auto *data = static_cast<unsigned char *>(msCallocAt(space_, count, size, site));
            if (data != nullptr)
                for (size_t i = 0; i < count * size; ++i)
                    if (data[i] != 0)
                        return fail("calloc block not zeroed");
            return add(data, count * size, site);
        }
        size_t alignment = size_t{16} << pick(9);
        size_t size = randomSize();
        void *data = msMemalignAt(space_, alignment, size, site);
        if (data != nullptr && reinterpret_cast<uintptr_t>(data) % alignment != 0)
            return fail("misaligned block");
        return add(data, size, site);
    }

    MSpace space_;
    std::mt19937 random_;
    bool check_;
    std::vector<LiveBlock> live_;
    std::string failure_;
};

} // namespace

TEST(MSpaceStress, RandomOperationsKeepEveryBlockAndTheSpaceSound) {
    MSpace space = msCreateStdMSpace(0, "stress");
    ASSERT_NE(space, nullptr);
    Workload work(space, 1, true);
    ASSERT_TRUE(work.run(40000, 500)) << work.failure();
    ASSERT_TRUE(work.releaseAll()) << work.failure();
    msDestroyMSpace(space);
}

TEST(MSpaceStress, AThreadUnsafeSpaceAloneOnItsThread) {
    MSpace space = msCreateStdMSpaceThreadUnsafe(100000, "unsafe");
    ASSERT_NE(space, nullptr);
    Workload work(space, 2, true);
    ASSERT_TRUE(work.run(15000, 500)) << work.failure();
    ASSERT_TRUE(work.releaseAll()) << work.failure();
    msDestroyMSpace(space);
}

TEST(MSpaceStress, TracedSpaceAttributesEveryLiveBlockToItsSite) {
    MSpace space = msCreateMSpaceTraced(pagesAllocate, pagesFree, 0, 0, "traced stress");
    ASSERT_NE(space, nullptr);
    Workload work(space, 3, true);
    for (int round = 0; round < 6; ++round) {
        ASSERT_TRUE(work.run(1000, 250)) << work.failure();
        std::map<uintptr_t, size_t> expected;
        for (const LiveBlock &block : work.live())
            ++expected[block.site];
        MSpaceUsage entry;
        msGetMSpaceDatabase(space, space, &entry);
        std::map<uintptr_t, size_t> found;
        for (size_t i = 0; i < entry.siteCount; ++i)
            found[entry.sites[i].site] = entry.sites[i].blocks;
        // The database's own tables carry sites of their own: count only the workload's sites.
        for (uintptr_t site = 1; site <= 7; ++site)
            EXPECT_EQ(found[site], expected[site]) << "site " << site << " round " << round;
        EXPECT_EQ(entry.segmentBytes, entry.tracedBytes + entry.freeBytes + entry.otherBytes);
        msFreeMSpaceDatabase(space, &entry);
    }
    ASSERT_TRUE(work.releaseAll()) << work.failure();
    msDestroyMSpace(space);
}

TEST(MSpaceStress, ThreadsInSeveralSpacesAtOnce) {
    constexpr int privateThreads = 4;
    constexpr int sharingThreads = 4;
    MSpace shared = msCreateStdMSpace(0, "shared");
    ASSERT_NE(shared, nullptr);
    std::vector<MSpace> own;
    for (int i = 0; i < privateThreads; ++i)
        own.push_back(msCreateStdMSpace(0, ("own " + std::to_string(i)).c_str()));
    std::vector<std::string> failures(privateThreads + sharingThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < privateThreads + sharingThreads; ++i) {
        threads.emplace_back([&, i] {
            bool mine = i < privateThreads;
            Workload work(mine ? own[i] : shared, 100 + i, mine);
            if (!work.run(10000, 500) || !work.releaseAll())
                failures[i] = work.failure();
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int i = 0; i < privateThreads + sharingThreads; ++i)
        EXPECT_EQ(failures[i], "") << "thread " << i;
    EXPECT_SPACE_SOUND(shared);
    size_t bytes = 1;
    size_t count = 1;
    msMSpaceStats(shared, &bytes, &count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(bytes, 0u);
    for (MSpace space : own) {
        EXPECT_SPACE_SOUND(space);
        msDestroyMSpace(space);
    }
    msDestroyMSpace(shared);
}
