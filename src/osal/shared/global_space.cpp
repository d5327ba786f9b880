#include <stdlib.h>

#include "osal/mspace.h"

// Until memory spaces exist the global space is the runtime heap.
void *gsMalloc(size_t size) { return malloc(size); }
void *gsCalloc(size_t count, size_t size) { return calloc(count, size); }
void *gsRealloc(void *block, size_t size) { return realloc(block, size); }
void gsFree(void *block) { free(block); }
