// libravo_gpio over the simulated machine.
#include <cerrno>
#include <cstring>

#include "SimMachine.h"

using namespace ravosim::detail;
using ravosim::Transaction;

namespace {

constexpr Family F = Family::Gpio;

// The lookup-table control register: bit 0x80 >> t of the two low bytes
// enables table t for the write, the two high bytes hold the states (bit
// 0x80000000 >> t and 0x00800000 >> t). A write sets both state bits of every
// enabled table from the written value and leaves the other tables as they
// are; the enables are not stored and read as 0.
uint32_t writeLookupControl(uint32_t states, uint32_t written) {
  const uint32_t tables = (written | written >> 8) & 0xFFu;
  const uint32_t stateBits = tables << 24 | tables << 16;
  return (states & ~stateBits) | (written & stateBits);
}

}  // namespace

extern "C" {

RAVO_API ravo_struct* ravo_gpio_open(const char* path, int flags) {
  Call c("ravo_gpio_open");
  return openHandle(c, F, path, flags, false);
}

RAVO_API int ravo_gpio_close(ravo_struct* h) {
  Call c("ravo_gpio_close");
  return closeHandle(c, h, F);
}

RAVO_API int ravo_gpio_set_mode(ravo_struct* h, uint32_t mask, int mode) {
  Call c("ravo_gpio_set_mode");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (mode < 0 || mode >= RAVO_GPIO_MODES) return c.fail(EINVAL, "mode " + std::to_string(mode) + " does not exist");
  for (unsigned pin = 0; pin < 32; ++pin)
    if (mask & (0x80000000u >> pin)) e->gpio.mode[pin] = static_cast<uint8_t>(mode);
  c.m.recheckRequests();
  return 0;
}

RAVO_API int ravo_gpio_get_mode(ravo_struct* h, uint32_t* mask, int mode) {
  Call c("ravo_gpio_get_mode");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!mask) return c.fail(EINVAL, "no mask");
  if (mode < 0 || mode >= RAVO_GPIO_MODES) return c.fail(EINVAL, "mode " + std::to_string(mode) + " does not exist");
  uint32_t m = 0;
  for (unsigned pin = 0; pin < 32; ++pin)
    if (e->gpio.mode[pin] == mode) m |= 0x80000000u >> pin;
  *mask = m;
  return 0;
}

RAVO_API int ravo_gpio_write_output_pins(ravo_struct* h, uint32_t mask, uint32_t value) {
  Call c("ravo_gpio_write_output_pins");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  e->gpio.latch = (e->gpio.latch & ~mask) | (value & mask);
  c.m.recheckRequests();
  return 0;
}

RAVO_API int ravo_gpio_read_input_pins(ravo_struct* h, uint32_t mask, uint32_t* value) {
  Call c("ravo_gpio_read_input_pins");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!value) return c.fail(EINVAL, "no value");
  *value = c.m.gpioLevels(*e) & mask;
  return 0;
}

RAVO_API int ravo_gpio_set_blink_rate(ravo_struct* h, uint32_t time) {
  Call c("ravo_gpio_set_blink_rate");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  e->gpio.blinkRate = time;
  return 0;
}

RAVO_API int ravo_gpio_blink(ravo_struct* h, uint32_t mask) {
  Call c("ravo_gpio_blink");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  e->gpio.blinkMask = mask;
  return 0;
}

RAVO_API int ravo_gpio_dump_register(ravo_struct* h, ravo_gpio_dump_t* dump) {
  Call c("ravo_gpio_dump_register");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!dump) return c.fail(EINVAL, "no dump record");
  if (dump->words[0] != RAVO_GPIO_DUMP_VERSION_1)
    return c.fail(EINVAL, "dump layout version " + std::to_string(dump->words[0]) + " is not supported");
  const GpioState& g = e->gpio;
  uint32_t* w = dump->words;
  std::memset(w, 0, sizeof dump->words);
  w[0] = RAVO_GPIO_DUMP_VERSION_1;
  w[1] = c.m.gpioLevels(*e);
  w[2] = g.latch;
  w[3] = g.blinkMask;
  w[4] = g.blinkRate;
  w[5] = g.condition;
  w[6] = 0x80000000u;
  for (int mode = 1; mode < RAVO_GPIO_MODES; ++mode)
    for (unsigned pin = 0; pin < 32; ++pin)
      if (g.mode[pin] == mode) w[6 + mode] |= 0x80000000u >> pin;
  for (ravo_aio_ctx* ctx : c.m.contexts) {
    for (ravo_aio_cb* cb : ctx->pending) {
      if (cb->dev && cb->dev->link == h->link && cb->dev->cascade == h->cascade && cb->dev->engine == h->engine) {
        w[13] |= cb->event.high_mask;
        w[14] |= cb->event.low_mask;
      }
    }
  }
  for (unsigned i = 0; i < GpioState::kConfigRegs; ++i) w[15 + i] = g.config[i];
  return 0;
}

RAVO_API int ravo_gpio_config(ravo_struct* h, int cmd, uint32_t id, void* value, size_t size) {
  Call c("ravo_gpio_config");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!value || size != 4 || (cmd != RAVO_CONFIG_READ && cmd != RAVO_CONFIG_WRITE))
    return c.fail(EINVAL, "bad arguments for register " + hex(id));
  uint32_t v;
  std::memcpy(&v, value, 4);
  if (id >= RAVO_GPIO_CFG_ENGINE_ID && id <= RAVO_GPIO_CFG_STATUS) {
    if (cmd == RAVO_CONFIG_WRITE) return c.fail(EPERM, "register " + hex(id) + " is read only");
    if (id == RAVO_GPIO_CFG_ENGINE_ID) v = (e->rawType << 8) | e->number;
    else if (id == RAVO_GPIO_CFG_REVISION) v = 1;
    else v = 0x80000000u;
  } else if (id >= RAVO_GPIO_CFG_PLD_FIRST && id <= RAVO_GPIO_CFG_LOOKUP_CONTROL) {
    uint32_t& reg = e->gpio.config[id - RAVO_GPIO_CFG_PLD_FIRST];
    if (cmd == RAVO_CONFIG_WRITE) reg = id == RAVO_GPIO_CFG_LOOKUP_CONTROL ? writeLookupControl(reg, v) : v;
    v = reg;
    // Pins that follow a lookup table change with its control.
    if (cmd == RAVO_CONFIG_WRITE && id == RAVO_GPIO_CFG_LOOKUP_CONTROL) c.m.recheckRequests();
  } else {
    return c.fail(EINVAL, "register " + hex(id) + " does not exist");
  }
  if (cmd == RAVO_CONFIG_READ) std::memcpy(value, &v, 4);
  return 0;
}

RAVO_API int ravo_gpio_event_init(ravo_gpio_event_t* event, uint32_t high_mask, uint32_t low_mask) {
  Call c("ravo_gpio_event_init");
  if (c.injectedFault()) return -1;
  if (!event || (high_mask & low_mask) || (high_mask | low_mask) == 0) return c.fail(EINVAL);
  event->type = RAVO_GPIO_EVENT_LEVEL;
  event->high_mask = high_mask;
  event->low_mask = low_mask;
  return 0;
}

RAVO_API int ravo_gpio_reset_interrupt_condition(ravo_struct* h, uint32_t mask) {
  Call c("ravo_gpio_reset_interrupt_condition");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (Transaction* t = c.m.logEntry(Transaction::ConditionReset, c.path)) {
    t->mask = mask;
    t->levels = e->gpio.condition;
  }
  e->gpio.condition &= ~mask;
  // A request held back by the condition fires now if its level is met.
  c.m.recheckRequests();
  return 0;
}

RAVO_API int ravo_gpio_ffdc_extract(ravo_struct* h, int flags, void** buf) {
  return extractFfdc("ravo_gpio_ffdc_extract", h, F, true, flags, buf);
}

RAVO_API int ravo_gpio_ffdc_unlock(ravo_struct* h, int flags) {
  return unlockFfdc("ravo_gpio_ffdc_unlock", h, F, flags);
}

}  // extern "C"
