/* Common types of the ravo device-access libraries (libravo_fsi,
 * libravo_gpio, libravo_iic, libravo_iomux, libravo_scratchpad, libravo_aio,
 * libravo_ffdc).
 *
 * Every device is reached through an opaque ravo_struct handle returned by
 * the family's open call and released by its close call. A handle belongs to
 * the family that opened it; handing it to another family's call fails with
 * EBADF, as does a handle that was already closed.
 *
 * Conventions of all calls: a call that fails returns -1 (or a null pointer,
 * or the documented failure value) and sets errno. A device whose CFAM went
 * away fails with ENODEV, and a handle opened before that keeps failing after
 * the CFAM came back (open the device again); an I2C address without a
 * device fails with ENXIO.
 * Every failure leaves first-failure data (FFDC) with the device, see
 * ravo_ffdc.h. All calls are safe to use from several threads. A close call
 * always releases the handle, also when it reports a failure. */
#ifndef RAVO_TYPES_H
#define RAVO_TYPES_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_API __attribute__((visibility("default")))

/* Opaque device handle. */
typedef struct ravo_struct ravo_struct;

/* Command of the ..._config calls. */
#define RAVO_CONFIG_READ 1
#define RAVO_CONFIG_WRITE 2

#ifdef __cplusplus
}
#endif

#endif
