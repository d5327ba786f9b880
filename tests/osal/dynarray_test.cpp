// The growable array: its growth steps, element moves, hand-over and refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "osal/dynarray.h"

namespace {

struct SpaceOwner {
    MSpace space = msCreateStdMSpace(0, "arrays");
    ~SpaceOwner() { msDestroyMSpace(space); }
};

int compareInts(const void *a, const void *b) {
    int x = *static_cast<const int *>(a);
    int y = *static_cast<const int *>(b);
    return (x > y) - (x < y);
}

} // namespace

TEST(DynArray, GrowsByDoublingOrByWhatTheIndexNeeds) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(0, 8, owner.space);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->capacity, 0u);
    EXPECT_EQ(array->data, nullptr);
    EXPECT_EQ(array->space, owner.space);
    double element = 1.5;
    ASSERT_EQ(dynArraySet(array, 0, &element), 0);
    EXPECT_EQ(array->capacity, 5u);
    ASSERT_EQ(dynArraySet(array, 5, &element), 0);
    EXPECT_EQ(array->capacity, 10u);
    ASSERT_EQ(dynArraySet(array, 30, &element), 0);
    EXPECT_EQ(array->capacity, 45u);
    EXPECT_EQ(dynArrayCount(array), 31u);
    EXPECT_EQ(msCheckOwnership(owner.space, array->data), 1);
    dynArrayFree(array);
}

TEST(DynArray, SetPastTheCountExtendsIt) {
    DynArray *array = dynArrayNew(0, sizeof(int));
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->space, globalMSpace());
    int value = 9;
    ASSERT_EQ(dynArraySet(array, 9, &value), 0);
    EXPECT_EQ(dynArrayCount(array), 10u);
    EXPECT_EQ(*static_cast<int *>(dynArrayGet(array, 9)), 9);
    EXPECT_EQ(dynArrayGet(array, 10), nullptr);
    int copy = 0;
    EXPECT_EQ(dynArrayGetCopy(array, 9, &copy), 0);
    EXPECT_EQ(copy, 9);
    EXPECT_EQ(dynArrayGetCopy(array, 10, &copy), -1);
    value = 3;
    ASSERT_EQ(dynArraySet(array, 2, &value), 0);
    EXPECT_EQ(dynArrayCount(array), 10u) << "a set below the count leaves it";
    dynArrayFree(array);
}

TEST(DynArray, InsertRemoveAndSortMoveElements) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(2, sizeof(int), owner.space);
    int a = 1, b = 2, x = 7;
    dynArrayAddLast(array, &a);
    dynArrayAddLast(array, &b);
    ASSERT_EQ(dynArrayInsert(array, 0, &x), 0);
    ASSERT_EQ(dynArrayCount(array), 3u);
    const int *items = static_cast<const int *>(array->data);
    EXPECT_EQ(items[0], 7);
    EXPECT_EQ(items[1], 1);
    EXPECT_EQ(items[2], 2);
    ASSERT_EQ(dynArrayInsert(array, 5, &x), 0) << "past the count it acts as a set";
    EXPECT_EQ(dynArrayCount(array), 6u);
    ASSERT_EQ(dynArrayRemove(array, 0), 0);
    EXPECT_EQ(dynArrayRemove(array, 5), -1);
    EXPECT_EQ(dynArrayCount(array), 5u);
    int middle = 0;
    dynArrayGetCopy(array, 1, &middle);
    EXPECT_EQ(middle, 2);
    for (int i = 0; i < 100; ++i) {
        int v = (i * 37) % 101;
        dynArrayAddLast(array, &v);
    }
    dynArraySort(array, compareInts);
    for (uint32_t i = 1; i < dynArrayCount(array); ++i)
        ASSERT_LE(*static_cast<int *>(dynArrayGet(array, i - 1)), *static_cast<int *>(dynArrayGet(array, i)));
    dynArrayFree(array);
}

TEST(DynArray, EmptyElementsAreZeroed) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(1, 16, owner.space);
    auto *first = static_cast<unsigned char *>(dynArrayAddEmptyElementsLast(array, 3));
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < 48; ++i)
        ASSERT_EQ(first[i], 0);
    EXPECT_EQ(dynArrayCount(array), 3u);
    EXPECT_EQ(first, array->data);
    EXPECT_EQ(dynArrayAddEmptyElementsLast(array, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(dynArrayCount(array), 3u);
    dynArrayFree(array);
}

TEST(DynArray, CommitHandsOverExactlyTheCount) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(10, sizeof(int), owner.space);
    for (int i = 0; i < 3; ++i)
        dynArrayAddLast(array, &i);
    void *storage = nullptr;
    EXPECT_EQ(dynArrayCommit(array, &storage), 3u);
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(msBlockSize(owner.space, storage), 12u) << "storage of exactly 3 elements";
    EXPECT_EQ(static_cast<int *>(storage)[2], 2);
    msFree(owner.space, storage);

    DynArray *empty = dynArrayNewMSpace(10, sizeof(int), owner.space);
    storage = &storage;
    EXPECT_EQ(dynArrayCommit(empty, &storage), 0u);
    EXPECT_EQ(storage, nullptr);
    storage = &storage;
    EXPECT_EQ(dynArrayCommit(nullptr, &storage), 0u);
    EXPECT_EQ(storage, nullptr);
    size_t bytes = 1, count = 1;
    msMSpaceStats(owner.space, &bytes, &count);
    EXPECT_EQ(count, 0u) << "nothing is left behind";
}

TEST(DynArray, ShrinkingNeverExposesUnsetElements) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(20, sizeof(int), owner.space);
    int v = 4;
    dynArrayAddLast(array, &v);
    dynArrayAddLast(array, &v);
    ASSERT_EQ(dynArrayShrink(array, 8), 0);
    EXPECT_EQ(array->capacity, 8u);
    EXPECT_EQ(dynArrayCount(array), 2u) << "the count does not rise over elements never set";
    ASSERT_EQ(dynArrayShrink(array, 1), 0);
    EXPECT_EQ(dynArrayCount(array), 1u);
    ASSERT_EQ(dynArrayShrink(array, 0), 0);
    EXPECT_EQ(array->data, nullptr) << "no storage is left to point at";
    EXPECT_EQ(array->capacity, 0u);
    EXPECT_EQ(dynArrayCount(array), 0u);
    ASSERT_EQ(dynArrayAddLast(array, &v), 0) << "and the array grows again";
    EXPECT_EQ(dynArrayResize(array, 100), 0);
    EXPECT_EQ(array->capacity, 100u);
    EXPECT_EQ(dynArrayResize(array, 50), 0);
    EXPECT_EQ(array->capacity, 100u) << "resizing never shrinks";
    dynArrayFree(array);
}

TEST(DynArray, GrowthThatWouldOverflowIsRefused) {
    SpaceOwner owner;
    DynArray *array = dynArrayNewMSpace(0, 0x10000, owner.space);
    ASSERT_NE(array, nullptr);
    static unsigned char element[0x10000];
    EXPECT_EQ(dynArraySet(array, 0x10000, element), -1) << "0x10005 elements of 64 KiB overflow 32 bits";
    EXPECT_EQ(dynArraySet(array, 0xFFFFFFFFu, element), -1);
    EXPECT_EQ(dynArrayResize(array, 0x20000), -1);
    EXPECT_EQ(array->capacity, 0u);
    EXPECT_EQ(array->data, nullptr);
    EXPECT_EQ(dynArrayCount(array), 0u);
    EXPECT_EQ(dynArraySet(array, 3, element), 0);
    EXPECT_EQ(dynArrayNewMSpace(0x10000, 0x10000, owner.space), nullptr);
    EXPECT_EQ(dynArrayNewMSpace(1, 0, owner.space), nullptr);
    dynArrayFree(array);
    EXPECT_EQ(dynArraySet(nullptr, 0, element), -1);
    EXPECT_EQ(dynArrayGet(nullptr, 0), nullptr);
    EXPECT_EQ(dynArrayCount(nullptr), 0u);
    dynArrayFree(nullptr);
}
