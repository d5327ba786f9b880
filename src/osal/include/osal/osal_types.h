// Result codes and calling conventions shared by every family of the OS layer.
#ifndef OSAL_TYPES_H
#define OSAL_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define OSAL_EXTERN_C extern "C"
#define OSAL_BEGIN_DECLS extern "C" {
#define OSAL_END_DECLS }
#else
#define OSAL_EXTERN_C
#define OSAL_BEGIN_DECLS
#define OSAL_END_DECLS
#endif

// printf-like functions take the platform C runtime's dialect ("%I64d").
#define OSAL_PRINTF_LIKE(fmt, args) __attribute__((format(ms_printf, fmt, args)))

enum OsalResult {
    OSAL_OK = 0,
    OSAL_ERR = 1,          // failure, or not supported
    OSAL_ERR_RESOURCE = 2, // the platform refused a resource
    OSAL_ERR_ARGUMENT = 3  // bad argument
};

#endif
