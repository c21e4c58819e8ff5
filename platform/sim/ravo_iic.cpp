// libravo_iic over the simulated machine.
#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstring>
#include <thread>

#include "SimMachine.h"

using namespace ravosim::detail;
using ravosim::Transaction;

namespace {

constexpr Family F = Family::Iic;


// Modelled time of `bytes` bytes at the speed: 9 bit times each.
uint64_t busNs(uint64_t bytes, uint32_t speedKHz) { return bytes * 9u * 1000000u / speedKHz; }

struct Transfer {
  bool read = false;
  uint32_t address = 0;
  uint32_t offset = 0;
  uint32_t width = 1;
  bool special = false;
  bool resetIrq = false;
};

ssize_t transferOnBus(Call& c, ravo_struct* h, const Transfer& t, uint8_t* data, size_t len, uint64_t& bus);

// One transfer on the handle's port, recorded in the transaction log once
// the device answered (or the call failed). Returns the byte count or -1.
ssize_t transfer(Call& c, ravo_struct* h, const Transfer& t, uint8_t* data, size_t len) {
  uint64_t bus = 0;
  const ssize_t n = transferOnBus(c, h, t, data, len, bus);
  const Transaction::Kind kind =
      t.resetIrq ? Transaction::I2cResetIrq : (t.read ? Transaction::I2cRead : Transaction::I2cWrite);
  if (Transaction* r = c.m.logEntry(kind, c.path)) {
    r->address = t.address;
    r->hasOffset = t.width > 0 && !(t.read && t.special);
    r->offset = t.offset;
    r->offsetWidth = r->hasOffset ? t.width : 0;
    // A read that failed delivered nothing; a write shows what was offered.
    if (data && len && (!t.read || n >= 0)) r->data.assign(data, data + len);
    r->result = n < 0 ? c.error() : 0;
    r->busNs = bus;
  }
  return n;
}

// The transfer itself; `bus` receives its modelled bus time.
ssize_t transferOnBus(Call& c, ravo_struct* h, const Transfer& t, uint8_t* data, size_t len, uint64_t& bus) {
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (len > 0 && !data) return c.fail(EINVAL, "no buffer");
  const IicParams params = h->iic;
  const unsigned delay = c.m.delayFor(c.path);
  if (delay > 0) {
    const bool timesOut = params.timeoutMs != 0 && delay > params.timeoutMs;
    c.lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(timesOut ? params.timeoutMs : delay));
    c.lock.lock();
    c.m.processTimers();
    if (!c.m.handleValid(h, F)) {
      c.path.clear();
      return c.fail(EBADF);
    }
    if (timesOut)
      return c.fail(ETIMEDOUT, "the transfer did not end within " + std::to_string(params.timeoutMs) + " ms");
    e = c.engine(h);
    if (!e) return -1;
  }
  I2cPort& port = e->i2c.ports[h->port];
  auto dev = port.devices.find(t.address);
  const bool hasOffset = t.width > 0 && !(t.read && t.special);
  const uint32_t offsetBytes = hasOffset ? t.width : 0;
  ++port.transfers;
  auto onBus = [&](uint64_t ns) {
    port.busNs += ns;
    bus += ns;
  };
  if (dev == port.devices.end() || !dev->second.present || !dev->second.device->acknowledges()) {
    onBus(busNs(1, params.speedKHz));
    return c.fail(ENXIO, "no device answers at address " + hex(t.address));
  }
  I2cDevice& d = *dev->second.device;
  bool ok = true;
  if (t.read) {
    // A read with an offset phase addresses the device twice (repeated start).
    onBus(busNs((hasOffset ? 2u + offsetBytes : 1u) + len, params.speedKHz));
    ok = d.read(hasOffset, t.offset, t.special, data, len);
  } else {
    const size_t burst = params.writeSplit ? params.writeSplit : (len ? len : 1);
    size_t done = 0;
    do {
      const size_t n = std::min(burst, len - done);
      onBus(busNs(1u + offsetBytes + n, params.speedKHz));
      ok = d.write(hasOffset, t.offset + static_cast<uint32_t>(done), data + done, n);
      done += n;
      if (done < len) ++port.transfers;
    } while (ok && done < len);
    if (ok && t.resetIrq) {
      d.resetIrq(hasOffset, t.offset, data, len);
      ++dev->second.irqResets;
    }
  }
  if (!ok) return c.fail(EIO, "the device at address " + hex(t.address) + " did not acknowledge a data byte");
  return static_cast<ssize_t>(len);
}

}  // namespace

extern "C" {

RAVO_API ravo_struct* ravo_iic_open(const char* path, int flags) {
  Call c("ravo_iic_open");
  return openHandle(c, F, path, flags, true);
}

RAVO_API int ravo_iic_close(ravo_struct* h) {
  Call c("ravo_iic_close");
  return closeHandle(c, h, F);
}

RAVO_API int ravo_iic_reset(ravo_struct* h, int type) {
  Call c("ravo_iic_reset");
  if (!c.begin(h, F)) return -1;
  if (type != RAVO_IIC_RESET_PORT && type != RAVO_IIC_RESET_FULL) return c.fail(EINVAL, "bad reset type");
  h->iic = IicParams();
  return 0;
}

RAVO_API int ravo_iic_config(ravo_struct* h, int cmd, int id, void* value, size_t size) {
  Call c("ravo_iic_config");
  if (!c.begin(h, F)) return -1;
  if (!value || size != 4 || (cmd != RAVO_CONFIG_READ && cmd != RAVO_CONFIG_WRITE))
    return c.fail(EINVAL, "bad arguments for parameter " + std::to_string(id));
  uint32_t v;
  std::memcpy(&v, value, 4);
  IicParams& p = h->iic;
  uint32_t* field = nullptr;
  uint32_t max = 0xFFFFFFFFu;
  uint32_t min = 0;
  switch (id) {
    case RAVO_IIC_CFG_PORT:
      if (cmd == RAVO_CONFIG_WRITE) return c.fail(EPERM, "the port parameter is read only");
      v = h->port;
      std::memcpy(value, &v, 4);
      return 0;
    case RAVO_IIC_CFG_SPEED: field = &p.speedKHz; min = 1; max = 3400; break;
    case RAVO_IIC_CFG_DEV_ADDR: field = &p.address; max = 0x3FF; break;
    case RAVO_IIC_CFG_DEV_WIDTH: field = &p.width; max = 4; break;
    case RAVO_IIC_CFG_OFFSET: field = &p.offset; break;
    case RAVO_IIC_CFG_TIMEOUT: field = &p.timeoutMs; break;
    case RAVO_IIC_CFG_WDELAY: field = &p.writeDelayMs; break;
    case RAVO_IIC_CFG_WSPLIT: field = &p.writeSplit; break;
    case RAVO_IIC_CFG_FLAGS: field = &p.flags; break;
    default: return c.fail(EINVAL, "parameter " + std::to_string(id) + " does not exist");
  }
  if (cmd == RAVO_CONFIG_READ) {
    std::memcpy(value, field, 4);
    return 0;
  }
  if (v < min || v > max)
    return c.fail(EINVAL, "value " + std::to_string(v) + " of parameter " + std::to_string(id) + " is out of range");
  *field = v;
  return 0;
}

RAVO_API ssize_t ravo_iic_write(ravo_struct* h, const void* buf, size_t len) {
  Call c("ravo_iic_write");
  if (!c.handle(h, F)) return -1;
  Transfer t;
  t.address = h->iic.address;
  t.offset = h->iic.offset;
  t.width = h->iic.width;
  return transfer(c, h, t, static_cast<uint8_t*>(const_cast<void*>(buf)), len);
}

RAVO_API ssize_t ravo_iic_read(ravo_struct* h, void* buf, size_t len) {
  Call c("ravo_iic_read");
  if (!c.handle(h, F)) return -1;
  Transfer t;
  t.read = true;
  t.address = h->iic.address;
  t.offset = h->iic.offset;
  t.width = h->iic.width;
  t.special = (h->iic.flags & RAVO_IIC_FLAG_SPECIAL_READ) != 0;
  return transfer(c, h, t, static_cast<uint8_t*>(buf), len);
}

namespace {

int slaveTransfer(const char* op, ravo_struct* h, bool read, bool resetIrq, uint8_t addr, uint8_t offset, void* buf,
                  uint8_t len) {
  Call c(op);
  if (!c.handle(h, F)) return -1;
  Transfer t;
  t.read = read;
  t.resetIrq = resetIrq;
  t.address = addr;
  t.offset = offset;
  t.width = h->iic.width;
  t.special = read && (h->iic.flags & RAVO_IIC_FLAG_SPECIAL_READ) != 0;
  return static_cast<int>(transfer(c, h, t, static_cast<uint8_t*>(buf), len));
}

}  // namespace

RAVO_API int ravo_siic_write(ravo_struct* h, uint8_t addr, uint8_t offset, const void* buf, uint8_t len) {
  return slaveTransfer("ravo_siic_write", h, false, false, addr, offset, const_cast<void*>(buf), len);
}

RAVO_API int ravo_siic_read(ravo_struct* h, uint8_t addr, uint8_t offset, void* buf, uint8_t len) {
  return slaveTransfer("ravo_siic_read", h, true, false, addr, offset, buf, len);
}

RAVO_API int ravo_siic_reset_irq(ravo_struct* h, uint8_t addr, uint8_t offset, const void* buf, uint8_t len) {
  return slaveTransfer("ravo_siic_reset_irq", h, false, true, addr, offset, const_cast<void*>(buf), len);
}

RAVO_API int ravo_iic_ffdc_extract(ravo_struct* h, int flags, void** buf) {
  return extractFfdc("ravo_iic_ffdc_extract", h, F, false, flags, buf);
}

RAVO_API int ravo_iic_ffdc_unlock(ravo_struct* h, int flags) {
  return unlockFfdc("ravo_iic_ffdc_unlock", h, F, flags);
}

}  // extern "C"
