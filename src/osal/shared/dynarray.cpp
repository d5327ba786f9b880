// Built into both the OS layer and the utility library: it uses only the exported memory-space
// interface.
#include "osal/dynarray.h"

#include <stdlib.h>
#include <string.h>

namespace {

char *elementAt(const DynArray *array, uint32_t index) {
    return static_cast<char *>(array->data) + static_cast<size_t>(index) * array->elementSize;
}

// Storage for exactly capacity elements; the array is unchanged when that fails.
bool reallocateTo(DynArray *array, uint32_t capacity) {
    uint64_t bytes = static_cast<uint64_t>(capacity) * array->elementSize;
    if (capacity == 0 || bytes > 0x7FFFFFFFu)
        return false;
    void *data = msRealloc(array->space, array->data, static_cast<size_t>(bytes));
    if (data == nullptr)
        return false;
    array->data = data;
    array->capacity = capacity;
    return true;
}

// Makes room for an element at index: twice the capacity, or more when that is still too small.
bool growFor(DynArray *array, uint32_t index) {
    if (index < array->capacity)
        return true;
    uint64_t capacity = static_cast<uint64_t>(array->capacity) * 2;
    if (index >= capacity)
        capacity = static_cast<uint64_t>(array->capacity) + index + 5;
    if (capacity > 0xFFFFFFFFu)
        return false;
    return reallocateTo(array, static_cast<uint32_t>(capacity));
}

} // namespace

DynArray *dynArrayNewMSpace(uint32_t initialCapacity, uint32_t elementSize, MSpace space) {
    if (elementSize == 0)
        return nullptr;
    auto *array = static_cast<DynArray *>(msMalloc(space, sizeof(DynArray)));
    if (array == nullptr)
        return nullptr;
    *array = {space, nullptr, 0, elementSize, 0};
    if (initialCapacity > 0 && !reallocateTo(array, initialCapacity)) {
        msFree(space, array);
        return nullptr;
    }
    return array;
}

DynArray *dynArrayNew(uint32_t initialCapacity, uint32_t elementSize) {
    return dynArrayNewMSpace(initialCapacity, elementSize, globalMSpace());
}

void dynArrayFree(DynArray *array) {
    if (array == nullptr)
        return;
    msFree(array->space, array->data);
    msFree(array->space, array);
}

int dynArrayResize(DynArray *array, uint32_t capacity) {
    if (array == nullptr)
        return -1;
    if (array->capacity < capacity && !reallocateTo(array, capacity))
        return -1;
    return 0;
}

int dynArrayShrink(DynArray *array, uint32_t n) {
    if (array == nullptr)
        return -1;
    if (array->capacity <= n)
        return 0;
    if (n == 0) {
        msFree(array->space, array->data);
        array->data = nullptr;
        array->capacity = 0;
    } else if (!reallocateTo(array, n))
        return -1;
    // Elements past the old count were never set: the count only ever comes down.
    if (array->count > n)
        array->count = n;
    return 0;
}

int dynArraySet(DynArray *array, uint32_t index, const void *element) {
    if (array == nullptr || element == nullptr || !growFor(array, index))
        return -1;
    memcpy(elementAt(array, index), element, array->elementSize);
    if (array->count <= index)
        array->count = index + 1;
    return 0;
}

int dynArrayAddLast(DynArray *array, const void *element) {
    if (array == nullptr)
        return -1;
    return dynArraySet(array, array->count, element);
}

int dynArrayInsert(DynArray *array, uint32_t index, const void *element) {
    if (array == nullptr || element == nullptr)
        return -1;
    if (index >= array->count)
        return dynArraySet(array, index, element);
    if (!growFor(array, array->count))
        return -1;
    memmove(elementAt(array, index + 1), elementAt(array, index),
            static_cast<size_t>(array->count - index) * array->elementSize);
    memcpy(elementAt(array, index), element, array->elementSize);
    ++array->count;
    return 0;
}

void *dynArrayAddEmptyElementsLast(DynArray *array, uint32_t n) {
    if (array == nullptr || n > 0xFFFFFFFFu - array->count)
        return nullptr;
    if (n == 0)
        return array->data != nullptr ? elementAt(array, array->count) : nullptr;
    if (!growFor(array, array->count + n - 1))
        return nullptr;
    char *first = elementAt(array, array->count);
    memset(first, 0, static_cast<size_t>(n) * array->elementSize);
    array->count += n;
    return first;
}

uint32_t dynArrayCommit(DynArray *array, void **storage) {
    if (array == nullptr) {
        if (storage != nullptr)
            *storage = nullptr;
        return 0;
    }
    uint32_t count = array->count;
    if (count == 0) {
        msFree(array->space, array->data);
        array->data = nullptr;
    } else if (array->capacity != count)
        reallocateTo(array, count); // kept as it is when that fails
    if (storage != nullptr)
        *storage = array->data;
    else
        msFree(array->space, array->data);
    msFree(array->space, array);
    return count;
}

void dynArraySort(DynArray *array, DynArrayCompare compare) {
    if (array == nullptr || compare == nullptr || array->count < 2)
        return;
    qsort(array->data, array->count, array->elementSize, compare);
}

void *dynArrayGet(DynArray *array, uint32_t index) {
    if (array == nullptr || index >= array->count)
        return nullptr;
    return elementAt(array, index);
}

int dynArrayGetCopy(DynArray *array, uint32_t index, void *destination) {
    if (array == nullptr || destination == nullptr || index >= array->count)
        return -1;
    memcpy(destination, elementAt(array, index), array->elementSize);
    return 0;
}

int dynArrayRemove(DynArray *array, uint32_t index) {
    if (array == nullptr || index >= array->count)
        return -1;
    memmove(elementAt(array, index), elementAt(array, index + 1),
            static_cast<size_t>(array->count - index - 1) * array->elementSize);
    --array->count;
    return 0;
}

uint32_t dynArrayCount(DynArray *array) { return array == nullptr ? 0 : array->count; }
