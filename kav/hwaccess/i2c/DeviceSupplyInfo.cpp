#include "kav/hwaccess/i2c/DeviceSupplyInfo.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/QueryBase.h"

namespace {

const unsigned int kAlwaysSupplied = 0x7005u;
const unsigned int kUnknownStep = 0x7002u;

}  // namespace

DeviceSupplyInfo::DeviceSupplyInfo(QueryBase* owner) : m_pOwner(owner), m_supplyVoltage(0), m_power(false) {}

DeviceSupplyInfo::~DeviceSupplyInfo() {}

unsigned int DeviceSupplyInfo::getSlotId() const { return m_pOwner == nullptr ? 0u : m_pOwner->getSlotId(); }

BaseErrorData DeviceSupplyInfo::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc;
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) return rc;
  rc = getAttributeStringId(&m_supplyVoltage, kav::sid::DEVICE_SUPPLY, *local, false);
  return rc;
}

BaseErrorData DeviceSupplyInfo::init(initSequence::Id_t step) {
  if (step == initSequence::INIT_ACTIVATED_HW) m_power = true;
  return BaseErrorData();
}

BaseErrorData DeviceSupplyInfo::terminate(terminateSequence::Id_t) { return BaseErrorData(); }

ErrorData DeviceSupplyInfo::switchForPwrCtrl(unsigned int step) {
  ErrorData err;
  if (m_supplyVoltage == kav::sid::SUPPLY_ALWAYS_ON) {
    KAV_TRACE(KAVE, "DeviceSupplyInfo::switchForPwrCtrl always supplied slot=0x%08X step=%u", getSlotId(), step);
    err = kAlwaysSupplied;
    return err;
  }
  if (step == kav::sid::STATE_OFF) {
    m_power = false;
  } else if (step == kav::sid::STATE_ON) {
    m_power = true;
  } else {
    // The step's text, unless the number names no text (asking for one would
    // log an internal error).
    const bool named = step < StringToId::getInstance()->getContainedStringCount();
    KAV_TRACE_STR(KAVE, "DeviceSupplyInfo::switchForPwrCtrl unknown step %s (%u) slot=0x%08X",
                  named ? get_string_by_id(step) : kavstl::string("?"), step, getSlotId());
    err = kUnknownStep;
  }
  return err;
}

bool DeviceSupplyInfo::hasDevicePower() const {
  return m_supplyVoltage == kav::sid::SUPPLY_ALWAYS_ON ? true : m_power;
}

void DeviceSupplyInfo::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"DeviceSupplyInfo\">\n";
  os << "<parameter name=\"m_supplyVoltage\" value=\"" << get_string_by_id(m_supplyVoltage) << "\"/>\n";
  os << "<parameter name=\"hasDevicePower()\" value=\"" << (hasDevicePower() ? "true" : "false") << "\"/>\n";
  os << "</class>\n";
}
