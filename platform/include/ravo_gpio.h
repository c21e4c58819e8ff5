/* libravo_gpio: GPIO engines behind a CFAM, 32 pins each.
 *
 * Device path: /dev/gpio/L<link>C<cascade>E<engine>, e.g. /dev/gpio/L00C0E08.
 * Pin n is bit 0x80000000 >> n of every mask (pin 0 = most significant bit).
 *
 * Pin levels: a pin in an output mode drives its output latch (push-pull),
 * only a low latch (open drain) or only a high latch (open source); where
 * it does not drive, the pin shows the level of what it is wired to. Input
 * and unused pins always show the wired level. Reading the input pins gives
 * the levels of all pins in the mask.
 *
 * Several handles may be open on one engine at a time; O_EXCL fails with
 * EBUSY while another handle is open. */
#ifndef RAVO_GPIO_H
#define RAVO_GPIO_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_GPIO_PINS 32
#define RAVO_GPIO_PIN(n) (0x80000000u >> (n))

/* Pin modes. */
typedef enum ravo_gpio_mode {
  RAVO_GPIO_MODE_UNUSED = 0,
  RAVO_GPIO_MODE_INPUT = 1,
  RAVO_GPIO_MODE_OUTPUT_PUSHPULL = 2,
  RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN = 3,
  RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE = 4,
  RAVO_GPIO_MODE_OUTPUT_PUSHPULL_SLOW = 5, /* push-pull, reduced slew rate */
  RAVO_GPIO_MODE_OUTPUT_BLINK = 6         /* push-pull, blinking when in the blink mask */
} ravo_gpio_mode_t;
#define RAVO_GPIO_MODES 7

/* Register dump. Set version to RAVO_GPIO_DUMP_VERSION_1 before the call.
 * Layout of version 1 (word index into words[]):
 *   0  layout version (1)
 *   1  pin levels            2  output latches
 *   3  blink mask            4  blink rate
 *   5  latched interrupt conditions
 *   6  engine status (bit 31: engine present)
 *   7..12  pin masks of modes 1..6 (mode 0 is every other pin)
 *   13 pins watched for high level   14 pins watched for low level
 *   15..22 configuration registers 0x40000003..0x4000000A
 *   23 configuration register 0x4000000B (lookup-table control)
 *   24..31 0 */
#define RAVO_GPIO_DUMP_VERSION_1 1
#define RAVO_GPIO_DUMP_WORDS 32
typedef struct ravo_gpio_dump {
  uint32_t words[RAVO_GPIO_DUMP_WORDS];
} ravo_gpio_dump_t;

/* Configuration registers (ravo_gpio_config, 32-bit values, size 4).
 * 0x40000000 engine id (read only), 0x40000001 engine revision (read only),
 * 0x40000002 status (read only, bit 31 = present), 0x40000003..0x4000000A
 * programmable-logic configuration words, 0x4000000B lookup-table control.
 * Lookup-table control, table t = 0..7 with b = 0x80 >> t: bits b and b << 8
 * (the two low bytes) enable table t for a write, bits b << 24 and b << 16
 * hold its state. A write sets both state bits of every table it enables
 * from the value written and leaves the states of the other tables; the
 * enable bits are not stored and read as 0. */
#define RAVO_GPIO_CFG_ENGINE_ID 0x40000000u
#define RAVO_GPIO_CFG_REVISION 0x40000001u
#define RAVO_GPIO_CFG_STATUS 0x40000002u
#define RAVO_GPIO_CFG_PLD_FIRST 0x40000003u
#define RAVO_GPIO_CFG_PLD_LAST 0x4000000Au
#define RAVO_GPIO_CFG_LOOKUP_CONTROL 0x4000000Bu

/* Event record of an interrupt request (12 bytes), see ravo_aio.h. */
typedef struct ravo_gpio_event {
  uint32_t type;      /* RAVO_GPIO_EVENT_LEVEL once initialised */
  uint32_t high_mask; /* pins to watch for high level */
  uint32_t low_mask;  /* pins to watch for low level */
} ravo_gpio_event_t;
#define RAVO_GPIO_EVENT_LEVEL 0x47504C56u

RAVO_API ravo_struct* ravo_gpio_open(const char* path, int flags);
RAVO_API int ravo_gpio_close(ravo_struct* h);

/* Puts the pins of the mask into the mode. */
RAVO_API int ravo_gpio_set_mode(ravo_struct* h, uint32_t mask, int mode);
/* Stores the mask of the pins that are in the mode. */
RAVO_API int ravo_gpio_get_mode(ravo_struct* h, uint32_t* mask, int mode);

/* Sets the output latches of the pins in the mask to the bits of value. */
RAVO_API int ravo_gpio_write_output_pins(ravo_struct* h, uint32_t mask, uint32_t value);
/* Stores the levels of the pins in the mask (other bits 0). */
RAVO_API int ravo_gpio_read_input_pins(ravo_struct* h, uint32_t mask, uint32_t* value);

/* Blink period in milliseconds (0 stops blinking) and the pins that blink. */
RAVO_API int ravo_gpio_set_blink_rate(ravo_struct* h, uint32_t time);
RAVO_API int ravo_gpio_blink(ravo_struct* h, uint32_t mask);

RAVO_API int ravo_gpio_dump_register(ravo_struct* h, ravo_gpio_dump_t* dump);

/* cmd RAVO_CONFIG_READ or RAVO_CONFIG_WRITE; value points to a uint32_t and
 * size is 4. Unknown register: EINVAL; read-only register written: EPERM. */
RAVO_API int ravo_gpio_config(ravo_struct* h, int cmd, uint32_t id, void* value, size_t size);

/* Initialises an event record. The masks must not overlap and not both be
 * empty (EINVAL). */
RAVO_API int ravo_gpio_event_init(ravo_gpio_event_t* event, uint32_t high_mask, uint32_t low_mask);

/* Clears the latched interrupt conditions of the pins in the mask. A pin's
 * condition is latched when a request watching it completes (ravo_aio.h);
 * it does not hold back later requests. */
RAVO_API int ravo_gpio_reset_interrupt_condition(ravo_struct* h, uint32_t mask);

/* First-failure data of the engine, see ravo_ffdc.h. Each extract returns
 * the next record as a chain buffer of one element (to be freed with free),
 * 0 when none is left, -1 on failure. Unlock discards the records. */
RAVO_API int ravo_gpio_ffdc_extract(ravo_struct* h, int flags, void** buf);
RAVO_API int ravo_gpio_ffdc_unlock(ravo_struct* h, int flags);

#ifdef __cplusplus
}
#endif

#endif
