// A growable array of fixed-size elements kept in a memory space. The utility library carries
// the same module and exports it under the same names.
#ifndef OSAL_DYNARRAY_H
#define OSAL_DYNARRAY_H

#include "osal/mspace.h"

OSAL_BEGIN_DECLS

typedef struct DynArray {
    MSpace space;      // null: the runtime heap
    void *data;        // null while the capacity is 0
    uint32_t capacity; // elements the storage holds
    uint32_t elementSize;
    uint32_t count;    // elements in use
} DynArray;

typedef int (*DynArrayCompare)(const void *a, const void *b);

DynArray *dynArrayNewMSpace(uint32_t initialCapacity, uint32_t elementSize, MSpace space);
DynArray *dynArrayNew(uint32_t initialCapacity, uint32_t elementSize);
void dynArrayFree(DynArray *array);
int dynArrayResize(DynArray *array, uint32_t capacity);
int dynArrayShrink(DynArray *array, uint32_t n);
int dynArraySet(DynArray *array, uint32_t index, const void *element);
int dynArrayAddLast(DynArray *array, const void *element);
int dynArrayInsert(DynArray *array, uint32_t index, const void *element);
void *dynArrayAddEmptyElementsLast(DynArray *array, uint32_t n);
// Hands the storage, cut to the count, to the caller and frees the header; returns the count.
uint32_t dynArrayCommit(DynArray *array, void **storage);
void dynArraySort(DynArray *array, DynArrayCompare compare);
void *dynArrayGet(DynArray *array, uint32_t index);
int dynArrayGetCopy(DynArray *array, uint32_t index, void *destination);
int dynArrayRemove(DynArray *array, uint32_t index);
uint32_t dynArrayCount(DynArray *array);

OSAL_END_DECLS

#endif
