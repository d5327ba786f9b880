// Memory spaces; the gs functions act on the global space.
#ifndef OSAL_MSPACE_H
#define OSAL_MSPACE_H

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

void *gsMalloc(size_t size);
void *gsCalloc(size_t count, size_t size);
void *gsRealloc(void *block, size_t size);
void gsFree(void *block);

OSAL_END_DECLS

#endif
