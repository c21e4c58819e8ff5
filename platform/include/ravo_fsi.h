/* libravo_fsi: the FSI master and the CFAM configuration space.
 *
 * ravo_fsi_open("/dev/fsi", O_RDONLY) opens the FSI master. The engine list
 * of one CFAM is read with
 *   ravo_fsi_config(h, RAVO_FSI_CFG_GET, RAVO_FSI_CFG_ENGINE_LIST, buf, RAVO_FSI_ENGINE_LIST_SIZE)
 * Request, written by the caller into the (zeroed) buffer, host byte order:
 *   offset 0,  32 bit: capacity, the number of entries the buffer has room for
 *   offset 8,  16 bit: link number
 *   offset 10, 16 bit: cascade id
 * Reply, filled by the call:
 *   offset 4,  16 bit: number of entries
 *   offset 8 + 20 * i: entry i, a ravo_fsi_engine_entry_t
 * The engine word of an entry: bits 31..26 link, bits 25..24 cascade,
 * bits 23..19 engine number, bits 18..11 raw engine type, bits 10..0 0.
 * A CFAM that is not present, or a link or cascade that does not exist,
 * fails with ENODEV; a capacity too small for the CFAM's engines, or a
 * buffer shorter than the capacity needs, fails with ENOSPC / EINVAL. */
#ifndef RAVO_FSI_H
#define RAVO_FSI_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_FSI_CFG_GET 1
#define RAVO_FSI_CFG_ENGINE_LIST 14
#define RAVO_FSI_ENGINE_LIST_SIZE 672
#define RAVO_FSI_ENGINE_LIST_HEADER 8
#define RAVO_FSI_ENGINE_ENTRY_SIZE 20

#define RAVO_FSI_ENGINE_WORD(link, cascade, engine, type)                                       \
  ((((uint32_t)(link)&0x3Fu) << 26) | (((uint32_t)(cascade)&0x3u) << 24) |                      \
   (((uint32_t)(engine)&0x1Fu) << 19) | (((uint32_t)(type)&0xFFu) << 11))
#define RAVO_FSI_ENGINE_LINK(w) (((uint32_t)(w) >> 26) & 0x3Fu)
#define RAVO_FSI_ENGINE_CASCADE(w) (((uint32_t)(w) >> 24) & 0x3u)
#define RAVO_FSI_ENGINE_NUMBER(w) (((uint32_t)(w) >> 19) & 0x1Fu)
#define RAVO_FSI_ENGINE_TYPE(w) (((uint32_t)(w) >> 11) & 0xFFu)

/* One entry of the engine list (20 bytes). */
typedef struct ravo_fsi_engine_entry {
  uint32_t engine;   /* engine word, see above */
  uint32_t version;  /* engine revision */
  uint32_t address;  /* base address of the engine in the CFAM */
  uint32_t size;     /* size of its address space in bytes */
  uint32_t flags;    /* RAVO_FSI_ENGINE_... */
} ravo_fsi_engine_entry_t;

#define RAVO_FSI_ENGINE_PRESENT 0x1u

RAVO_API ravo_struct* ravo_fsi_open(const char* path, int flags);
RAVO_API int ravo_fsi_config(ravo_struct* h, int type, int cfg, void* buf, size_t len);
RAVO_API int ravo_fsi_close(ravo_struct* h);

#ifdef __cplusplus
}
#endif

#endif
