/* libravo_scratchpad: the scratchpad memory of a CFAM.
 *
 * Device path: /dev/scp/L<link>C<cascade>E<engine>. A byte-addressed memory
 * whose contents survive a restart of the service processor. The cold-start
 * state is 1 after the memory lost its contents (power-on) and stays 1 until
 * it is reset; it survives a restart as well.
 *
 * Reads and writes work at the position that seek sets and advance it; a
 * transfer that would pass the end fails with EINVAL and transfers nothing.
 * Writes are stored before the call returns. */
#ifndef RAVO_SCRATCHPAD_H
#define RAVO_SCRATCHPAD_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* flags: O_RDWR or O_RDONLY, optionally O_SYNC. */
RAVO_API ravo_struct* ravo_scp_open(const char* path, int flags);
RAVO_API int ravo_scp_close(ravo_struct* h);
/* whence SEEK_SET, SEEK_CUR or SEEK_END; returns the new position. */
RAVO_API int64_t ravo_scp_seek(ravo_struct* h, int64_t offset, int whence);
RAVO_API ssize_t ravo_scp_read(ravo_struct* h, void* buf, size_t len);
/* A handle opened O_RDONLY fails with EBADF. */
RAVO_API ssize_t ravo_scp_write(ravo_struct* h, const void* buf, size_t len);
/* Stores the size in bytes. */
RAVO_API int ravo_scp_get_size(ravo_struct* h, uint32_t* size);
/* Stores 1 for a cold start, 0 otherwise. */
RAVO_API int ravo_scp_read_coldstart_state(ravo_struct* h, int* state);
RAVO_API int ravo_scp_reset_coldstart_state(ravo_struct* h);

/* First-failure data, as for I2C (ravo_iic.h). */
RAVO_API int ravo_scp_ffdc_extract(ravo_struct* h, int flags, void** buf);
RAVO_API int ravo_scp_ffdc_unlock(ravo_struct* h, int flags);

#ifdef __cplusplus
}
#endif

#endif
