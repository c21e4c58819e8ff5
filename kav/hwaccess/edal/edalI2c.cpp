#include "kav/hwaccess/edal/edalI2c.h"

#include <cerrno>
#include <new>
#include <unistd.h>

#include "kav/hwaccess/edal/EdalI2cHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_iic.h"

using edalFfdc::join;
using edalFfdc::lastErrno;

namespace {

const int kOpenFlags = 0x101002;  // O_RDWR | O_SYNC
const unsigned int kMinTimeout = 100;
const unsigned int kSpecialReadBit = 0x4;
const unsigned int kMaxSlaveLength = 0xFF;


unsigned int speedKhz(const i2c::i2cInfo_s& info) {
  unsigned int khz = info.speed / 1000;
  return khz == 0 ? 1 : khz;  // a speed below 1 kHz is refused by the library; only avoid dividing by 0
}

// Library failure on a port: 0x70000 + errno, the text and the port's FFDC.
unsigned int failed(ravo_struct* port, const std::string& text, std::string& msg) {
  unsigned int err = lastErrno();
  KAV_TRACE_STR(KAVE, "edalI2c: %s errno=%u", text, err);
  // Texts that bring their own leading blank are appended as they are.
  if (!text.empty() && text[0] == ' ')
    msg += text;
  else
    msg = join(msg, text);
  edalFfdc::collectI2c(port, msg);
  return edal::EDAL_I2C_BASE + err;
}

EdalI2cHandle* toI2c(EdalHandle* h, const char* function, std::string& msg) {
  EdalI2cHandle* i2c = dynamic_cast<EdalI2cHandle*>(h);
  if (i2c == nullptr) {
    KAV_TRACE_STR(KAVE, "%s: no I2C handle %p", function, h);
    msg = join(msg, std::string(function) + ": no I2C handle");
  }
  return i2c;
}

unsigned int openPort(EdalI2cHandle* h, unsigned int port, ravo_struct*& out, std::string& msg) {
  out = nullptr;
  if (!EdalI2cHandle::portValid(port)) {
    KAV_TRACE(KAVE, "edalI2c: port %u beyond %u", port, EdalI2cHandle::PORT_COUNT - 1);
    msg = join(msg, "error invalid port " + std::to_string(port));
    return edal::EDAL_I2C_BASE + EINVAL;
  }
  out = h->getRavoHandle(port);
  if (out != nullptr) return edal::EDAL_OK;
  const std::string path = h->getDeviceNameWithPort(port);
  ravo_struct* ravo = ravo_iic_open(path.c_str(), kOpenFlags);
  if (ravo == nullptr) {
    unsigned int err = lastErrno();
    KAV_TRACE_STR(KAVE, "ravo_iic_open %s errno=%u", path, err);
    msg += " error iic ravo open " + path;
    return edal::EDAL_I2C_BASE + err;
  }
  h->setRavoHandle(ravo, port);
  out = ravo;
  if (ravo_iic_reset(ravo, RAVO_IIC_RESET_FULL) != 0) {
    KAV_TRACE_STR(KAVE, "ravo_iic_reset %s errno=%u", path, lastErrno());
    msg = join(msg, "error resetting iic port " + path);
    edalFfdc::collectI2c(ravo, msg);
    return edal::EDAL_LOGICAL;
  }
  KAV_TRACE_STR(KAVT, "edalI2c: port %s opened ravo=%p", path, ravo);
  return edal::EDAL_OK;
}

unsigned int setParam(ravo_struct* port, int id, unsigned int value, const char* text, std::string& msg) {
  uint32_t v = value;
  if (ravo_iic_config(port, RAVO_CONFIG_WRITE, id, &v, sizeof v) < 0) return failed(port, text, msg);
  return edal::EDAL_OK;
}

unsigned int setMasterParams(ravo_struct* port, const i2c::i2cInfo_s& info, unsigned int offset, std::string& msg) {
  unsigned int rc = edal::EDAL_OK;
  if (info.timeout != 0)
    rc = setParam(port, RAVO_IIC_CFG_TIMEOUT, info.timeout, "setI2cMasterParam error writing RAVO_IIC_CFG_TIMEOUT",
                  msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_SPEED, info.speed / 1000, "setI2cMasterParam error writing RAVO_IIC_CFG_SPEED",
                  msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_DEV_WIDTH, info.offsetWidth, "setI2cMasterParam error RAVO_IIC_CFG_DEV_WIDTH",
                  msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_DEV_ADDR, info.deviceAddress, "setI2cMasterParam error RAVO_IIC_CFG_DEV_ADDR",
                  msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_OFFSET, offset, "setI2cMasterParam error RAVO_IIC_CFG_OFFSET", msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_WDELAY, info.writeDelay + info.writeRetryDelay * info.writeRetryCount,
                  "setI2cMasterParam error RAVO_IIC_CFG_WDELAY", msg);
  if (rc == edal::EDAL_OK)
    rc = setParam(port, RAVO_IIC_CFG_WSPLIT, info.writeSplit, "setI2cMasterParam error RAVO_IIC_CFG_WSPLIT", msg);
  return rc;
}

// Sets or clears the special-read bit of the port's flags.
unsigned int setSpecialRead(ravo_struct* port, bool on, std::string& msg) {
  uint32_t v = 0;
  if (ravo_iic_config(port, RAVO_CONFIG_READ, RAVO_IIC_CFG_FLAGS, &v, sizeof v) < 0)
    return failed(port, " error reading conifg value", msg);
  v = on ? (v | kSpecialReadBit) : (v & ~kSpecialReadBit);
  if (ravo_iic_config(port, RAVO_CONFIG_WRITE, RAVO_IIC_CFG_FLAGS, &v, sizeof v) < 0)
    return failed(port, " error writing config value", msg);
  return edal::EDAL_OK;
}

unsigned int slaveTransfer(i2c::TransferKind_t kind, ravo_struct* port, const i2c::i2cInfo_s& info, unsigned int offset,
                           unsigned char* data, unsigned int& len, std::string& msg) {
  if (len > kMaxSlaveLength) {
    KAV_TRACE(KAVE, "edalI2c: slave-address transfer of %u bytes", len);
    msg = join(msg, "error transfer length " + std::to_string(len) + " > 255");
    return edal::EDAL_I2C_BASE + EINVAL;
  }
  const uint8_t addr = static_cast<uint8_t>(info.deviceAddress);
  const uint8_t off = static_cast<uint8_t>(offset);
  const uint8_t n = static_cast<uint8_t>(len);
  int rc = 0;
  switch (kind) {
    case i2c::TRANSFER_WRITE: rc = ravo_siic_write(port, addr, off, data, n); break;
    case i2c::TRANSFER_READ: rc = ravo_siic_read(port, addr, off, data, n); break;
    case i2c::TRANSFER_RESET_IRQ: rc = ravo_siic_reset_irq(port, addr, off, data, n); break;
  }
  if (rc == -1) {
    const char* text = kind == i2c::TRANSFER_RESET_IRQ ? "error resetting irq"
                       : kind == i2c::TRANSFER_READ  ? "error ravo_siic_read"
                                                     : "error ravo_siic_write";
    return failed(port, text, msg);
  }
  if (kind == i2c::TRANSFER_READ && rc > 0 && static_cast<unsigned int>(rc) <= len) len = static_cast<unsigned int>(rc);
  return edal::EDAL_OK;
}

unsigned int transfer(i2c::TransferKind_t kind, EdalHandle* h, const i2c::i2cInfo_s& infoIn, unsigned int offset,
                      unsigned char* data, unsigned int& len, std::string& msg) {
  static const char* const kNames[] = {"edalI2cWrite", "edalI2cRead", "edalSi2cResetIrq"};
  EdalI2cHandle* i2c = toI2c(h, kNames[kind], msg);
  if (i2c == nullptr) return edal::EDAL_I2C_BASE + EBADF;
  i2c::i2cInfo_s info = infoIn;
  KAV_TRACE_STR(KAVT, "edalI2c %s kind=%u port=%u addr=0x%02X offset=0x%X len=%u mode=%d", i2c->getDeviceNm(),
                static_cast<unsigned int>(kind), info.port, info.deviceAddress, offset, len, info.transferMode);
  ravo_struct* port = nullptr;
  unsigned int rc = openPort(i2c, info.port, port, msg);
  if (rc != edal::EDAL_OK) return rc;

  if (info.timeout == 0)
    info.timeout =
        kind == i2c::TRANSFER_READ ? edalI2cComputeReadTimeout(info, len) : edalI2cComputeWriteTimeout(info, len);
  rc = setMasterParams(port, info, offset, msg);
  if (rc != edal::EDAL_OK) return rc;

  if (kind == i2c::TRANSFER_RESET_IRQ || info.transferMode == 1 || info.transferMode == 2) {
    const bool special = info.transferMode == 2;
    if (special) {
      rc = setSpecialRead(port, true, msg);
      if (rc != edal::EDAL_OK) return rc;
    }
    rc = slaveTransfer(kind, port, info, offset, data, len, msg);
    if (special) {
      std::string resetMsg;
      unsigned int resetRc = setSpecialRead(port, false, resetMsg);
      if (resetRc != edal::EDAL_OK) {
        msg += resetMsg + " resetI2cConfigSpecialRead error";
        if (rc == edal::EDAL_OK) rc = resetRc;
      }
    }
  } else if (info.transferMode == 0) {
    ssize_t n = kind == i2c::TRANSFER_READ ? ravo_iic_read(port, data, len) : ravo_iic_write(port, data, len);
    if (n == -1) {
      rc = failed(port, kind == i2c::TRANSFER_READ ? "error ravo_iic_read" : "error ravo_iic_write", msg);
    } else if (kind == i2c::TRANSFER_READ && n >= 0 && static_cast<size_t>(n) <= len) {
      len = static_cast<unsigned int>(n);
    }
  } else {
    KAV_TRACE_STR(KAVE, "%s: transfer mode %d undefined", kNames[kind], info.transferMode);
    msg = join(msg, kind == i2c::TRANSFER_READ ? "error transfer mode is undefined" : "error transfer mode undefined");
    return edal::EDAL_I2C_MODE_UNDEFINED;
  }
  if (rc != edal::EDAL_OK) return rc;
  if (kind == i2c::TRANSFER_WRITE && info.writeDelay != 0) ::usleep(static_cast<useconds_t>(info.writeDelay) * 1000u);
  return edal::EDAL_OK;
}

}  // namespace

unsigned int edalI2cComputeWriteTimeout(const i2c::i2cInfo_s& info, unsigned int len) {
  if (info.transferMode != 0) return 0;
  unsigned int t = ((len + 1) * 9 / speedKhz(info) + (len / (info.writeSplit + 1)) * info.writeDelay) * 2;
  return t < kMinTimeout ? kMinTimeout : t;
}

unsigned int edalI2cComputeReadTimeout(const i2c::i2cInfo_s& info, unsigned int len) {
  unsigned int t = ((len + 1) * 9 / speedKhz(info)) * 2;
  return t < kMinTimeout ? kMinTimeout : t;
}

unsigned int edalI2cOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg) {
  h = nullptr;
  EdalI2cHandle* i2c = new (std::nothrow) EdalI2cHandle();
  if (i2c == nullptr) {
    KAV_TRACE(KAVE, "edalI2cOpen: new edal handle failed");
    msg = join(msg, "edalI2cOpen: new edal handle failed");
    return edal::EDAL_DIO_NOMEM;
  }
  i2c->buildDeviceName(FSIDEV_IIC, info, EdalInfo::ABSENT);
  h = i2c;
  KAV_TRACE_STR(KAVT, "edalI2cOpen %s", i2c->getDeviceNm());
  return edal::EDAL_OK;
}

unsigned int edalI2cClose(EdalHandle*& h, std::string& msg) {
  EdalI2cHandle* i2c = toI2c(h, "edalI2cClose", msg);
  if (i2c == nullptr) return edal::EDAL_I2C_BASE + EBADF;
  unsigned int result = edal::EDAL_OK;
  for (unsigned int port = 0; port < EdalI2cHandle::PORT_COUNT; ++port) {
    ravo_struct* ravo = i2c->getRavoHandle(port);
    if (ravo == nullptr) continue;
    if (ravo_iic_close(ravo) < 0) {
      unsigned int err = lastErrno();
      const std::string path = i2c->getDeviceNameWithPort(port);
      KAV_TRACE_STR(KAVE, "edalI2cClose %s errno=%u", path, err);
      msg += " error closing device " + path;
      result = edal::EDAL_I2C_BASE + err;
    }
    i2c->setRavoHandle(nullptr, port);
  }
  KAV_TRACE_STR(KAVT, "edalI2cClose %s rc=0x%08X", i2c->getDeviceNm(), result);
  delete i2c;
  h = nullptr;
  return result;
}

unsigned int edalI2cWrite(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                          unsigned int len, std::string& msg) {
  return transfer(i2c::TRANSFER_WRITE, h, info, offset, const_cast<unsigned char*>(data), len, msg);
}

unsigned int edalI2cRead(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                         unsigned int& len, std::string& msg) {
  return transfer(i2c::TRANSFER_READ, h, info, offset, data, len, msg);
}

unsigned int edalSi2cResetIrq(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset,
                              const unsigned char* data, unsigned int len, std::string& msg) {
  return transfer(i2c::TRANSFER_RESET_IRQ, h, info, offset, const_cast<unsigned char*>(data), len, msg);
}

const char* i2c::transferKindName(TransferKind_t kind) {
  static const char* const kNames[] = {"write", "read", "resetIrq"};
  return kind <= TRANSFER_RESET_IRQ ? kNames[kind] : "?";
}
