// Programmable-logic configuration and lookup-table controls, kept in the
// configuration registers of the digital-I/O engine.
#include <cerrno>

#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "kav/hwaccess/edal/edalDioCommon.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_gpio.h"

using edalDioCommon::failure;
using edalDioCommon::toDio;
using edalFfdc::hex;
using edalFfdc::join;
using edalFfdc::lastErrno;

namespace {

const unsigned int kPldCount = 16;
const unsigned int kTableCount = 8;
const uint32_t kPldFirstRegister = 0x40000003u;
const uint32_t kLookupControlRegister = 0x4000000Bu;

uint32_t pldRegister(unsigned int pldId) { return kPldFirstRegister + pldId / 2; }

bool pldUpperHalf(unsigned int pldId) { return (pldId % 2) == 0; }

unsigned int invalid(const std::string& text, std::string& msg) {
  KAV_TRACE_STR(KAVE, "%s", text);
  msg = join(text, msg);
  return edal::EDAL_DIO_INVAL;
}

}  // namespace

unsigned int edalPldSetConfig(EdalHandle* h, unsigned int pldId, unsigned short config, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalPldSetConfig", code, msg);
  if (dio == nullptr) return code;
  if (pldId >= kPldCount) return invalid("edalPldSetConfig: unknown pldId = " + std::to_string(pldId), msg);
  const std::string call = "edalPldSetConfig(pldId=" + std::to_string(pldId) + ", configData=" + hex(config);
  const uint32_t reg = pldRegister(pldId);
  uint32_t value = 0;
  if (ravo_gpio_config(dio->getRavo(), RAVO_CONFIG_READ, reg, &value, sizeof value) == -1) {
    unsigned int rc = failure(call, dio, lastErrno(), msg);
    msg += " while reading current content.";
    return rc;
  }
  if (pldUpperHalf(pldId))
    value = (value & 0x0000FFFFu) | (static_cast<uint32_t>(config) << 16);
  else
    value = (value & 0xFFFF0000u) | config;
  KAV_TRACE_STR(KAVT, "edalPldSetConfig %s reg=0x%08X value=0x%08X", dio->getDeviceNm(), reg, value);
  if (ravo_gpio_config(dio->getRavo(), RAVO_CONFIG_WRITE, reg, &value, sizeof value) == -1)
    return failure(call, dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalPldGetConfig(EdalHandle* h, unsigned int pldId, unsigned short& config, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalPldGetConfig", code, msg);
  if (dio == nullptr) return code;
  if (pldId >= kPldCount) return invalid("edalPldGetConfig: unknown pldId = " + std::to_string(pldId), msg);
  const uint32_t reg = pldRegister(pldId);
  uint32_t value = 0;
  if (ravo_gpio_config(dio->getRavo(), RAVO_CONFIG_READ, reg, &value, sizeof value) == -1)
    return failure("edalPldGetConfig(pldId=" + std::to_string(pldId), dio, lastErrno(), msg);
  config = static_cast<unsigned short>(pldUpperHalf(pldId) ? value >> 16 : value & 0xFFFFu);
  KAV_TRACE_STR(KAVT, "edalPldGetConfig %s reg=0x%08X value=0x%08X", dio->getDeviceNm(), reg, value);
  return edal::EDAL_OK;
}

unsigned int edalWriteLookupTableControl(EdalHandle* h, unsigned int tableId, edalPld::LookupControl_t control,
                                         std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalWriteLookupTableControl", code, msg);
  if (dio == nullptr) return code;
  if (tableId >= kTableCount)
    return invalid("edalWriteLookupTableControl: unknown tableId = " + std::to_string(tableId), msg);
  const uint32_t b = 0x80u >> tableId;
  uint32_t value = 0;
  switch (control) {
    case edalPld::LOOKUP_CONTROL_1: value = (b << 8) | b; break;
    case edalPld::LOOKUP_CONTROL_2: value = (b << 8) | (b << 16); break;
    case edalPld::LOOKUP_CONTROL_3: value = (b << 24) | b; break;
    default:
      return invalid("unknown lookupControl = " + std::to_string(static_cast<int>(control)), msg);
  }
  KAV_TRACE_STR(KAVT, "edalWriteLookupTableControl %s table=%u value=0x%08X", dio->getDeviceNm(), tableId, value);
  if (ravo_gpio_config(dio->getRavo(), RAVO_CONFIG_WRITE, kLookupControlRegister, &value, sizeof value) == -1)
    return failure("edalWriteLookupTableControl(tableId=" + std::to_string(tableId) +
                       ", lookupControl=" + std::to_string(static_cast<int>(control)),
                   dio, lastErrno(), msg);
  return edal::EDAL_OK;
}

unsigned int edalReadLookupTableControl(EdalHandle* h, unsigned int tableId, edalPld::LookupControl_t& control,
                                        std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalReadLookupTableControl", code, msg);
  if (dio == nullptr) return code;
  if (tableId >= kTableCount)
    return invalid("edalReadLookupTableControl: unknown tableId = " + std::to_string(tableId), msg);
  uint32_t value = 0;
  if (ravo_gpio_config(dio->getRavo(), RAVO_CONFIG_READ, kLookupControlRegister, &value, sizeof value) == -1)
    return failure("edalReadLookupTableControl(tableId=" + std::to_string(tableId), dio, lastErrno(), msg);
  const unsigned int codeBits = ((value & (0x80000000u >> tableId)) != 0 ? 2u : 0u) +
                                ((value & (0x80000000u >> (tableId + 8))) != 0 ? 1u : 0u);
  switch (codeBits) {
    case 0: control = edalPld::LOOKUP_CONTROL_1; break;
    case 1: control = edalPld::LOOKUP_CONTROL_2; break;
    case 2: control = edalPld::LOOKUP_CONTROL_3; break;
    default:
      KAV_TRACE_STR(KAVE, "edalReadLookupTableControl %s table=%u unreadable register 0x%08X", dio->getDeviceNm(),
                    tableId, value);
      msg = join("edalReadLookupTableControl: unreadable lookupControl register = " + hex(value) +
                     " tableId = " + std::to_string(tableId),
                 msg);
      return edal::EDAL_LOGICAL;
  }
  KAV_TRACE_STR(KAVT, "edalReadLookupTableControl %s table=%u control=%u", dio->getDeviceNm(), tableId,
                static_cast<unsigned int>(control));
  return edal::EDAL_OK;
}
