// Files, directories, path texts, file mappings and files created with explicit access lists.
// Every call leaves the platform's error for osGetLastError when it fails.
#ifndef OSAL_FIO_H
#define OSAL_FIO_H

#include <wchar.h>

#include "osal/osal_types.h"

OSAL_BEGIN_DECLS

// A platform file handle; -1 is invalid.
typedef intptr_t FioHandle;
#define FIO_INVALID_HANDLE ((FioHandle)-1)

// The flag word of fio_open. One creation bit is required; the first of 4, 8, 0x10, 0x20 wins.
enum FioOpenFlags {
    FIO_READ_ONLY = 0x1,
    FIO_WRITE_ONLY = 0x2, // neither: read and write
    FIO_OPEN_ALWAYS = 0x4,
    FIO_OPEN_EXISTING = 0x8,
    FIO_CREATE_ALWAYS = 0x10,
    FIO_CREATE_NEW = 0x20,
    FIO_WRITE_THROUGH = 0x80,
    FIO_DELETE_ON_CLOSE = 0x100,
    FIO_SHARE_READ = 0x200, // no share bit: shared for reading and writing
    FIO_SHARE_WRITE = 0x400,
    FIO_SHARE_DELETE = 0x800
};

enum FioSeekOrigin { FIO_SEEK_SET = 0, FIO_SEEK_CUR = 1, FIO_SEEK_END = 2 };

enum FioMapType {
    FIO_MAP_READ_WRITE = 1,
    FIO_MAP_COPY_ON_WRITE = 2,
    FIO_MAP_READ_ONLY = 3 // any other value maps read-only too
};

typedef struct FioDirIter FioDirIter;
typedef struct FioDirEntry FioDirEntry;

FioHandle fio_open(const char *name, int flags);
FioHandle fio_open_w(const wchar_t *name, int flags);

// Byte counts are -1 on failure; a count above INTPTR_MAX is refused as a bad argument.
intptr_t fio_read(FioHandle handle, void *buffer, size_t count);
intptr_t fio_read_fully(FioHandle handle, void *buffer, size_t count);
intptr_t fio_pread(FioHandle handle, void *buffer, size_t count, int64_t offset);
intptr_t fio_write(FioHandle handle, const void *data, size_t count);
intptr_t fio_write_fully(FioHandle handle, const void *data, size_t count);
intptr_t fio_pwrite(FioHandle handle, const void *data, size_t count, int64_t offset);
int64_t fio_seek(FioHandle handle, int64_t offset, int whence);
int fio_truncate(FioHandle handle, int64_t length);
int fio_force(FioHandle handle);
int fio_close(FioHandle handle);
int64_t fio_fdsize(FioHandle handle);

int fio_delete(const char *name);
int64_t fio_fsize(const char *name);
int fio_isdir(const char *name);
int fio_mkdir(const char *name);
int fio_mkdir_w(const wchar_t *name);
int fio_verify_dir(const char *directory);
// In place; the text never grows, so a bare drive ("C:") keeps its form rather than gaining a dot.
void fio_normalize_path(char *path);
int fio_canonicalize_path(const char *path, char *buffer, int size);
int fio_filename_strcmp(const char *first, const char *second);
int fio_is_same_files(FioHandle first, FioHandle second);
int fio_is_same_files_by_path(const char *name, FioHandle handle);

int fio_diter_create(const char *directory, FioDirIter **iterator);
FioDirEntry *fio_diter_next(FioDirIter *iterator);
const char *fio_diter_getname(const FioDirEntry *entry);
unsigned int fio_diter_getflags(const FioDirEntry *entry);
const char *fio_diter_getdirname(const FioDirIter *iterator);
void fio_diter_destroy(FioDirIter *iterator);

int fio_mapgranularity(void);
// handle -1 opens the existing mapping called name.
void *fio_map(FioHandle handle, const char *name, int type, int64_t offset, int64_t size);
int fio_unmap(void *view, int64_t size);

// Access lists: one allow entry for each non-zero mask, for the process user, its primary group,
// everyone and the administrators, in that order. Permission bits are owner/group/other triads.
FioHandle fio_open_acl(const char *name, int flags, unsigned int ownerMask, unsigned int groupMask,
                       unsigned int everyoneMask, unsigned int adminMask);
FioHandle fio_open_acl_w(const wchar_t *name, int flags, unsigned int ownerMask, unsigned int groupMask,
                         unsigned int everyoneMask, unsigned int adminMask);
FioHandle fio_open_perm(const char *name, int flags, int permissions);
FioHandle fio_open_perm_w(const wchar_t *name, int flags, int permissions);
int fio_mkdir_acl(const char *name, unsigned int ownerMask, unsigned int groupMask, unsigned int everyoneMask,
                  unsigned int adminMask);
int fio_mkdir_acl_w(const wchar_t *name, unsigned int ownerMask, unsigned int groupMask,
                    unsigned int everyoneMask, unsigned int adminMask);
int fio_mkdir2(const char *name, int permissions);
int fio_mkdir_w2(const wchar_t *name, int permissions);
int fio_set_file_security(const char *name, unsigned int ownerMask, unsigned int groupMask,
                          unsigned int everyoneMask, unsigned int adminMask);
// As fio_map; when mapping is given it receives the mapping object, which the caller then closes.
void *fio_create_mapping_acl(FioHandle handle, const char *name, int type, int64_t offset, int64_t size,
                             unsigned int ownerMask, unsigned int groupMask, unsigned int everyoneMask,
                             unsigned int adminMask, void **mapping);

OSAL_END_DECLS

#endif
