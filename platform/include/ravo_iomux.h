/* libravo_iomux: the I/O multiplexer of a CFAM.
 *
 * Device path: /dev/iomux/L<link>C<cascade>E<engine>. The multiplexer holds
 * one 32-bit entry per pin group: bit 31 enable, bits 30..28 level, bits
 * 27..24 control gates, bits 23..20 receiver threshold, bits 19..0 reserved
 * (must be 0). Entries are addressed by index through a position that seek
 * sets and read and write advance.
 *
 * States: RAVO_IOMUX_STATE_WRITABLE after power-on and after invalidate;
 * RAVO_IOMUX_STATE_VALIDATED after validate, when writes fail with EPERM.
 * Entries and state are kept by the hardware across a restart of the
 * service processor. */
#ifndef RAVO_IOMUX_H
#define RAVO_IOMUX_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_IOMUX_STATE_WRITABLE 0
#define RAVO_IOMUX_STATE_VALIDATED 1
#define RAVO_IOMUX_RESERVED_BITS 0x000FFFFFu

typedef uint32_t ravo_iomux_entry_t;

RAVO_API ravo_struct* ravo_iomux_open(const char* path, int flags);
RAVO_API int ravo_iomux_close(ravo_struct* h);
/* Number of entries; 0xFFFFFFFF on failure. */
RAVO_API uint32_t ravo_iomux_query_size(ravo_struct* h);
/* RAVO_IOMUX_STATE_...; -1 on failure. */
RAVO_API int ravo_iomux_query_state(ravo_struct* h);
/* whence SEEK_SET, SEEK_CUR or SEEK_END; returns the new position. A
 * position beyond the size fails with EINVAL. */
RAVO_API int64_t ravo_iomux_seek(ravo_struct* h, int64_t index, int whence);
/* Writes count entries at the position. An entry with reserved bits set is
 * not written and counted in *errors. Returns the number of entries handled;
 * more entries than fit: EINVAL, nothing written. flags must be 0. */
RAVO_API int ravo_iomux_write(ravo_struct* h, const ravo_iomux_entry_t* entries, uint32_t count, int flags,
                              int* errors);
/* Reads count entries at the position; more than there are: EINVAL. */
RAVO_API int ravo_iomux_read(ravo_struct* h, ravo_iomux_entry_t* entries, uint32_t count);
RAVO_API int ravo_iomux_validate(ravo_struct* h);
RAVO_API int ravo_iomux_invalidate(ravo_struct* h);

/* First-failure data, as for GPIO (ravo_gpio.h). */
RAVO_API int ravo_iomux_ffdc_extract(ravo_struct* h, int flags, void** buf);
RAVO_API int ravo_iomux_ffdc_unlock(ravo_struct* h, int flags);

#ifdef __cplusplus
}
#endif

#endif
