/* libravo_iic: I2C master engines behind a CFAM, up to 16 ports each.
 *
 * Device path of a port: /dev/iic/L<link>C<cascade>E<engine>P<port>, e.g.
 * /dev/iic/L01C0E05P03. Each port handle carries its transfer parameters
 * (ravo_iic_config); ravo_iic_reset restores the defaults: speed 100 kHz,
 * device address 0, offset width 1, offset 0, time-out 100 ms, no write
 * delay, no write split, no flags.
 *
 * Addresses are compared as given (the caller's numbering, usually the
 * 8-bit form with the read/write bit clear). A transfer to an address where
 * no device answers fails with ENXIO; a port whose CFAM went away fails with
 * ENODEV; a transfer that does not end within the time-out fails with
 * ETIMEDOUT.
 *
 * Master transfers (ravo_iic_write / ravo_iic_read) use the configured device
 * address, offset width and offset. The slave-address transfers
 * (ravo_siic_...) name address and offset in the call and use the configured
 * offset width. With RAVO_IIC_FLAG_SPECIAL_READ set a read leaves out the
 * offset phase and the device answers from its current position.
 * Each transfer sends one address byte, the offset bytes and the data (a read
 * with an offset phase sends the address once more after the offset); with a
 * write split every burst of that many bytes is a transfer of its own. The
 * write delay is the caller's to wait. */
#ifndef RAVO_IIC_H
#define RAVO_IIC_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_IIC_PORTS 16

/* Transfer parameters (ravo_iic_config, 32-bit values, size 4). */
#define RAVO_IIC_CFG_PORT 1      /* read only: the port number */
#define RAVO_IIC_CFG_SPEED 2     /* bus speed in kHz, 1..3400 */
#define RAVO_IIC_CFG_DEV_ADDR 3  /* device address, 0..0x3FF */
#define RAVO_IIC_CFG_DEV_WIDTH 4 /* offset width in bytes, 0..4 */
#define RAVO_IIC_CFG_OFFSET 5    /* offset of master transfers */
#define RAVO_IIC_CFG_TIMEOUT 7   /* transfer time-out in ms, 0 = none */
#define RAVO_IIC_CFG_WDELAY 9    /* delay in ms between write bursts */
#define RAVO_IIC_CFG_WSPLIT 11   /* bytes per write burst, 0 = no split */
#define RAVO_IIC_CFG_FLAGS 16    /* RAVO_IIC_FLAG_... */

#define RAVO_IIC_FLAG_SPECIAL_READ 0x4u

/* ravo_iic_reset types. */
#define RAVO_IIC_RESET_PORT 1   /* parameters back to the defaults */
#define RAVO_IIC_RESET_FULL 2   /* parameters and bus (stuck devices released) */

/* flags: O_RDWR, optionally O_SYNC. */
RAVO_API ravo_struct* ravo_iic_open(const char* path, int flags);
RAVO_API int ravo_iic_close(ravo_struct* h);
RAVO_API int ravo_iic_reset(ravo_struct* h, int type);
/* cmd RAVO_CONFIG_READ or RAVO_CONFIG_WRITE; value points to a uint32_t and
 * size is 4. Unknown id or value out of range: EINVAL. */
RAVO_API int ravo_iic_config(ravo_struct* h, int cmd, int id, void* value, size_t size);

/* Return the number of bytes transferred. */
RAVO_API ssize_t ravo_iic_write(ravo_struct* h, const void* buf, size_t len);
RAVO_API ssize_t ravo_iic_read(ravo_struct* h, void* buf, size_t len);

RAVO_API int ravo_siic_write(ravo_struct* h, uint8_t addr, uint8_t offset, const void* buf, uint8_t len);
RAVO_API int ravo_siic_read(ravo_struct* h, uint8_t addr, uint8_t offset, void* buf, uint8_t len);
/* Writes the bytes like ravo_siic_write and then releases the device's
 * interrupt line. */
RAVO_API int ravo_siic_reset_irq(ravo_struct* h, uint8_t addr, uint8_t offset, const void* buf, uint8_t len);

/* First-failure data of the port, see ravo_ffdc.h: one extract returns all
 * records as one chain buffer (to be freed with free); 0 when there are none.
 * Unlock discards them. */
RAVO_API int ravo_iic_ffdc_extract(ravo_struct* h, int flags, void** buf);
RAVO_API int ravo_iic_ffdc_unlock(ravo_struct* h, int flags);

#ifdef __cplusplus
}
#endif

#endif
