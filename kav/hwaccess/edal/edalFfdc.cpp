#include "kav/hwaccess/edal/edalFfdc.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "kav/runtime/KavTrace.h"
#include "ravo_ffdc.h"
#include "ravo_gpio.h"
#include "ravo_iic.h"
#include "ravo_iomux.h"
#include "ravo_scratchpad.h"

namespace {

typedef int (*extract_fn)(ravo_struct*, int, void**);
typedef int (*unlock_fn)(ravo_struct*, int);

// Digital I/O and I/O multiplexer: one record per extract, each printed whole.
void collectRecords(ravo_struct* handle, extract_fn extract, unlock_fn unlock, std::string& msg) {
  if (handle == nullptr) return;
  int saved = errno;
  bool extracted = false;
  // The library keeps a bounded number of records; the bound here only
  // protects against a library that never reports the end.
  for (int round = 0; round < 4 * RAVO_FFDC_MAX_RECORDS; ++round) {
    void* buf = nullptr;
    int count = extract(handle, 1, &buf);
    if (count < 0) {
      KAV_TRACE(KAVE, "ffdc extract failed errno=%u", static_cast<unsigned int>(errno));
      std::free(buf);
      break;
    }
    if (count == 0 || buf == nullptr) {
      std::free(buf);
      break;
    }
    extracted = true;
    char* text = nullptr;
    int printed = dd_ffdc_print(buf, count, &text);
    if (printed > 0 && text != nullptr) msg = edalFfdc::join(msg, text);
    std::free(text);
    std::free(buf);
    if (printed < 0) break;
  }
  if (extracted && unlock(handle, 1) < 0) KAV_TRACE(KAVE, "ffdc unlock failed errno=%u", static_cast<unsigned int>(errno));
  errno = saved;
}

// I2C and scratchpad: one extract gives a chain of records.
void collectChain(ravo_struct* handle, extract_fn extract, unlock_fn unlock, int flags, bool printNone,
                  std::string& msg) {
  if (handle == nullptr) return;
  int saved = errno;
  void* buf = nullptr;
  int count = extract(handle, flags, &buf);
  if (count <= 0 || buf == nullptr) {
    if (count < 0) KAV_TRACE(KAVE, "ffdc extract failed errno=%u", static_cast<unsigned int>(errno));
    if (printNone)
      msg = edalFfdc::join(msg, "no ffdc data available");
    else
      KAV_TRACE(KAVT, "no ffdc data available");
    std::free(buf);
    errno = saved;
    return;
  }
  void* element = nullptr;
  while (dd_ffdc_get_chain(buf, &element) == 0 && element != nullptr) {
    int size = dd_ffdc_chain_size(element);
    if (size < 1) break;
    char* text = nullptr;
    int printed = dd_ffdc_print(element, size, &text);
    if (printed < 0) {
      std::free(text);
      break;
    }
    if (printed > 0 && text != nullptr) msg = edalFfdc::join(msg, text);
    std::free(text);
  }
  std::free(buf);
  if (unlock(handle, 0) < 0) KAV_TRACE(KAVE, "ffdc unlock failed errno=%u", static_cast<unsigned int>(errno));
  errno = saved;
}

}  // namespace

namespace edalFfdc {

void collectDio(ravo_struct* handle, std::string& msg) {
  collectRecords(handle, ravo_gpio_ffdc_extract, ravo_gpio_ffdc_unlock, msg);
}

void collectIomux(ravo_struct* handle, std::string& msg) {
  collectRecords(handle, ravo_iomux_ffdc_extract, ravo_iomux_ffdc_unlock, msg);
}

void collectI2c(ravo_struct* handle, std::string& msg) {
  collectChain(handle, ravo_iic_ffdc_extract, ravo_iic_ffdc_unlock, 1, true, msg);
}

void collectScratchpad(ravo_struct* handle, std::string& msg) {
  collectChain(handle, ravo_scp_ffdc_extract, ravo_scp_ffdc_unlock, 0, false, msg);
}

std::string join(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + " " + second;
}

std::string hex(unsigned int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", value);
  return buf;
}

std::string pointer(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  return buf;
}

unsigned int lastErrno() {
  int e = errno;
  return e > 0 ? static_cast<unsigned int>(e) : static_cast<unsigned int>(EIO);
}

}  // namespace edalFfdc
