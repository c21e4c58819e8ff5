/* The platform's abnormal process end. */
#ifndef PERC_ABEND_H
#define PERC_ABEND_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Prints the reason code, its arguments and the last records of every trace
 * buffer to stderr, then aborts. Never returns. */
__attribute__((visibility("default"), noreturn)) void percAbend(uint32_t reason, const void* data, uint32_t dataLen,
                                                                 uint32_t arg3, uint32_t arg4, uint32_t arg5,
                                                                 const char* text, uint32_t arg7, uint32_t arg8);

#ifdef __cplusplus
}
#endif

#endif
