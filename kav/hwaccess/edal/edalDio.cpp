#include "kav/hwaccess/edal/edalDio.h"

#include <cerrno>
#include <fcntl.h>
#include <new>

#include "kav/hwaccess/edal/EdalDioHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalDioCommon.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_gpio.h"

using edalDioCommon::failure;
using edalDioCommon::toDio;
using edalFfdc::hex;
using edalFfdc::join;
using edalFfdc::lastErrno;
using edalFfdc::pointer;

bool edalDioMode2ravoDioMode(edalDio::dioMode_t mode, int& ravoMode) {
  switch (mode) {
    case edalDio::DIO_MODE_UNUSED: ravoMode = RAVO_GPIO_MODE_UNUSED; return true;
    case edalDio::DIO_MODE_INPUT: ravoMode = RAVO_GPIO_MODE_INPUT; return true;
    case edalDio::DIO_MODE_OUTPUT_PUSHPULL: ravoMode = RAVO_GPIO_MODE_OUTPUT_PUSHPULL; return true;
    case edalDio::DIO_MODE_OUTPUT_OPEN_DRAIN: ravoMode = RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN; return true;
    case edalDio::DIO_MODE_OUTPUT_OPEN_SOURCE: ravoMode = RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE; return true;
    case edalDio::DIO_MODE_OUTPUT_PUSHPULL_SLOW: ravoMode = RAVO_GPIO_MODE_OUTPUT_PUSHPULL_SLOW; return true;
    case edalDio::DIO_MODE_OUTPUT_BLINK: ravoMode = RAVO_GPIO_MODE_OUTPUT_BLINK; return true;
  }
  return false;
}

unsigned int edalDioOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg) {
  h = nullptr;
  EdalDioHandle* dio = new (std::nothrow) EdalDioHandle();
  if (dio == nullptr || !dio->isValid()) {
    delete dio;
    KAV_TRACE(KAVE, "edalDioOpen: new edal handle failed");
    msg = join("edalDioOpen: new edal handle failed", msg);
    return edal::EDAL_DIO_NOMEM;
  }
  dio->buildDeviceName(FSIDEV_GPIO, info, EdalInfo::ABSENT);
  ravo_struct* ravo = ravo_gpio_open(dio->getDeviceName(), O_RDWR);
  if (ravo == nullptr) {
    unsigned int err = lastErrno();
    KAV_TRACE_STR(KAVE, "edalDioOpen %s errno=%u", dio->getDeviceNm(), err);
    msg = join("edalDioOpen for device " + dio->getDeviceNm() + " failed with errno = " + std::to_string(err), msg);
    delete dio;
    return edal::EDAL_DIO_BASE + err;
  }
  dio->setRavo(ravo);
  h = dio;
  KAV_TRACE_STR(KAVT, "edalDioOpen %s ravo=%p", dio->getDeviceNm(), ravo);
  return edal::EDAL_OK;
}

unsigned int edalDioClose(EdalHandle*& h, std::string& msg) {
  EdalDioHandle* dio = dynamic_cast<EdalDioHandle*>(h);
  if (dio == nullptr) {
    KAV_TRACE(KAVE, "edalDioClose: no digital-I/O handle %p", h);
    msg = join("edalDioClose: no digital-I/O handle", msg);
    return edal::EDAL_DIO_BASE + EBADF;
  }
  // Without an interrupt context no request can be pending on the engine.
  if (edalDioCommon::interruptContextExists()) {
    unsigned int rc = edalDioDisableInterrupt(h, 0xFFFFFFFFu, msg);
    if (rc != edal::EDAL_OK) {
      KAV_TRACE_STR(KAVE, "edalDioClose %s: disabling the interrupts failed rc=0x%08X", dio->getDeviceNm(), rc);
      return rc;
    }
  }
  unsigned int result = edal::EDAL_OK;
  ravo_struct* ravo = dio->getRavo();
  if (ravo == nullptr || ravo_gpio_close(ravo) == -1) {
    unsigned int err = ravo == nullptr ? static_cast<unsigned int>(EBADF) : lastErrno();
    result = edal::EDAL_DIO_BASE + err;
    std::string text;
    // A close releases the library's device even when it fails, so the old
    // handle must not be used again: reopen the device only to collect what
    // the library recorded.
    ravo_struct* again = ravo_gpio_open(dio->getDeviceName(), O_RDWR | O_EXCL | O_NONBLOCK);
    if (again == nullptr) {
      text = join(text, "edalDioClose: could not reopen");
    } else {
      edalFfdc::collectDio(again, text);
      ravo_gpio_close(again);
    }
    text = join(text, "edalDioClose for device " + dio->getDeviceNm() + " (m_ravo=" + pointer(ravo) +
                          ") failed with errno =" + std::to_string(err));
    msg = join(text, msg);
    KAV_TRACE_STR(KAVE, "edalDioClose %s errno=%u", dio->getDeviceNm(), err);
  } else {
    KAV_TRACE_STR(KAVT, "edalDioClose %s", dio->getDeviceNm());
  }
  delete dio;
  h = nullptr;
  return result;
}

unsigned int edalDioSetMode(EdalHandle* h, unsigned int mask, edalDio::dioMode_t mode, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioSetMode", code, msg);
  if (dio == nullptr) return code;
  int ravoMode = 0;
  if (!edalDioMode2ravoDioMode(mode, ravoMode)) {
    KAV_TRACE(KAVE, "edalDioSetMode: unknown mode %u", static_cast<unsigned int>(mode));
    msg = join("edalDioSetMode: error calling edalDioMode2ravoDioMode rc = " + hex(edal::EDAL_LOGICAL) +
                   " mode = " + std::to_string(static_cast<int>(mode)),
               msg);
    return edal::EDAL_LOGICAL;
  }
  KAV_TRACE_STR(KAVT, "edalDioSetMode %s mask=0x%08X mode=%u", dio->getDeviceNm(), mask, ravoMode);
  if (ravo_gpio_set_mode(dio->getRavo(), mask, ravoMode) == -1)
    return failure("edalDioSetMode(mask=" + hex(mask) + ", mode=" + std::to_string(ravoMode), dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalDioGetMode(EdalHandle* h, unsigned int& mask, edalDio::dioMode_t mode, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioGetMode", code, msg);
  if (dio == nullptr) return code;
  int ravoMode = 0;
  if (!edalDioMode2ravoDioMode(mode, ravoMode)) {
    KAV_TRACE(KAVE, "edalDioGetMode: unknown mode %u", static_cast<unsigned int>(mode));
    msg = join("edalDioGetMode: error calling edalDioMode2ravoDioMode rc = " + hex(edal::EDAL_LOGICAL) +
                   " mode = " + std::to_string(static_cast<int>(mode)),
               msg);
    return edal::EDAL_LOGICAL;
  }
  uint32_t value = 0;
  if (ravo_gpio_get_mode(dio->getRavo(), &value, ravoMode) == -1)
    return failure("edalDioGetMode(mask=" + hex(mask) + ", mode=" + std::to_string(ravoMode), dio, lastErrno(), msg);
  mask = value;
  KAV_TRACE_STR(KAVT, "edalDioGetMode %s mode=%u mask=0x%08X", dio->getDeviceNm(), ravoMode, mask);
  return edal::EDAL_OK;
}

unsigned int edalDioSet(EdalHandle* h, unsigned int mask, unsigned int value, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioSet", code, msg);
  if (dio == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalDioSet %s mask=0x%08X value=0x%08X", dio->getDeviceNm(), mask, value);
  if (ravo_gpio_write_output_pins(dio->getRavo(), mask, value) == -1)
    return failure("edalDioSet(mask=" + hex(mask) + ", value = " + hex(value), dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalDioGet(EdalHandle* h, unsigned int& value, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioGet", code, msg);
  if (dio == nullptr) return code;
  uint32_t levels = 0;
  if (ravo_gpio_read_input_pins(dio->getRavo(), 0xFFFFFFFFu, &levels) == -1)
    return failure("edalDioGet(mask=" + hex(0xFFFFFFFFu), dio, lastErrno(), msg);
  value = levels;
  KAV_TRACE_STR(KAVT, "edalDioGet %s value=0x%08X", dio->getDeviceNm(), value);
  return edal::EDAL_OK;
}

unsigned int edalDioSetBlinkRate(EdalHandle* h, unsigned int time, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioSetBlinkRate", code, msg);
  if (dio == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalDioSetBlinkRate %s time=%u", dio->getDeviceNm(), time);
  if (ravo_gpio_set_blink_rate(dio->getRavo(), time) == -1)
    return failure("edalDioSetBlinkRate(time=" + std::to_string(time), dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalDioBlink(EdalHandle* h, unsigned int mask, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioBlink", code, msg);
  if (dio == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalDioBlink %s mask=0x%08X", dio->getDeviceNm(), mask);
  if (ravo_gpio_blink(dio->getRavo(), mask) == -1)
    return failure("edalDioBlink(mask=" + hex(mask), dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalDioDumpRegisters(EdalHandle* h, edalDioRegisters_t* regs, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioDumpRegisters", code, msg);
  if (dio == nullptr) return code;
  if (regs == nullptr) {
    msg = join("edalDioDumpRegisters: no register record", msg);
    return edal::EDAL_DIO_INVAL;
  }
  for (unsigned int i = 0; i < edalDioRegisters_t::COUNT; ++i) regs->reg[i] = 0;
  ravo_gpio_dump_t dump = {};
  dump.words[0] = RAVO_GPIO_DUMP_VERSION_1;
  if (ravo_gpio_dump_register(dio->getRavo(), &dump) == -1)
    return failure("edalDioDumpRegisters(", dio, lastErrno(), msg);
  const unsigned int version = dump.words[0];
  if (version == 1) {
    // Words 1..5 and 7..22; word 6 (engine status) is not part of the record.
    unsigned int out = 0;
    for (unsigned int word = 1; word <= 22; ++word) {
      if (word == 6) continue;
      regs->reg[out] = dump.words[word];
      KAV_TRACE(KAVT, "edalDioDumpRegisters reg[%u] = 0x%08X", out, regs->reg[out]);
      ++out;
    }
  } else if (version == 2) {
    for (unsigned int word = 1; word < RAVO_GPIO_DUMP_WORDS; ++word)
      KAV_TRACE(KAVT, "edalDioDumpRegisters v2 word[%u] = 0x%08X", word, dump.words[word]);
  } else {
    KAV_TRACE_STR(KAVE, "edalDioDumpRegisters %s: unknown layout version %u", dio->getDeviceNm(), version);
  }
  return edal::EDAL_OK;
}
