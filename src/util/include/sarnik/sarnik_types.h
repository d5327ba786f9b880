// Declaration helpers shared by sarnik's public headers.
#ifndef SARNIK_TYPES_H
#define SARNIK_TYPES_H

#ifdef __cplusplus
#define SARNIK_BEGIN_DECLS extern "C" {
#define SARNIK_END_DECLS }
#else
#define SARNIK_BEGIN_DECLS
#define SARNIK_END_DECLS
#endif

// Formats follow the platform C runtime's dialect ("%I64d", "%Iu").
#define SARNIK_PRINTF_LIKE(fmt, args) __attribute__((format(ms_printf, fmt, args)))

#endif
