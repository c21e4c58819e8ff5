#include "kav/clock/speed/PllPatternAccessDeviceBased.h"

#include <cstdio>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(PllPatternAccessDeviceBased, PllPatternAccess)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kFruNotActive = 0x7018;
const unsigned int kMissingAttribute = 0x7145;

ErrorData failure(unsigned int code, const char* text) {
  ErrorData rc(ErrorData::NO_OVERWRITE, code);
  if (text != nullptr) rc << text;
  return rc;
}

}  // namespace

PllPatternAccessDeviceBased::PllPatternAccessDeviceBased() : m_defaultPattern(0) {}

PllPatternAccessDeviceBased::~PllPatternAccessDeviceBased() {}

BaseErrorData PllPatternAccessDeviceBased::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = PllPatternAccess::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) {
    unsigned int value = 0;
    const BaseErrorData r = getAttributeUint32(&value, kav::sid::SPEED_DEFAULT_PATTERN, *node, true);
    if (r == 0)
      m_defaultPattern = value;
    else if (r != kMissingAttribute)
      rc = r;
  }
  return rc;
}

BaseErrorData PllPatternAccessDeviceBased::init(initSequence::Id_t step) {
  BaseErrorData rc = PllPatternAccess::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) rc = linkDevice();
  if (step == initSequence::INIT_ACTIVATED_HW) rc = restoreFromFruStateTable();
  return rc;
}

BaseErrorData PllPatternAccessDeviceBased::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pPllHwdInterfaceLink = KavPtr<PllHwdInterfaceLink>();
    m_pLoadDioHwrInterface = KavPtr<DioHwrInterface>();
  }
  return PllPatternAccess::terminate(step);
}

ErrorData PllPatternAccessDeviceBased::linkDevice() {
  ErrorData rc;
  unsigned int count = 0;
  KavPtr<PllHwdInterfaceLink> link = singleHiddenChild<PllHwdInterfaceLink>(*this, count);
  if (link == nullptr) {
    KAV_TRACE(KAVE, "PllPatternAccessDeviceBased: no single PLL link slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  unsigned int loads = 0;
  KavPtr<DioHwrInterface> load = singleHiddenChild<DioHwrInterface>(*this, loads);
  if (loads > 1) {
    KAV_TRACE(KAVE, "PllPatternAccessDeviceBased: %u load signals slot=0x%08X", loads, getSlotId());
    rc = kNotLinked;
  }
  IFOSGuard<const QueryBase> guard(*this);
  m_pPllHwdInterfaceLink = link;
  m_pLoadDioHwrInterface = load;
  return rc;
}

KavPtr<PllHwdInterface> PllPatternAccessDeviceBased::getHwdInterface() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pPllHwdInterfaceLink == nullptr ? KavPtr<PllHwdInterface>() : m_pPllHwdInterfaceLink->getLinkTarget();
}

KavPtr<DioHwrInterface> PllPatternAccessDeviceBased::getLoadSignal() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pLoadDioHwrInterface;
}

void PllPatternAccessDeviceBased::dumpXml(std::ostream& os) const {
  if (!os) return;
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", m_defaultPattern);
  os << "<class className=\"PllPatternAccessDeviceBased\">\n";
  os << "<parameter name=\"m_defaultPattern\" value=\"" << text << "\"/>\n";
  KavPtr<PllHwdInterface> device = getHwdInterface();
  if (device != nullptr && isFruActivated())
    os << "<parameter name=\"registers\" value=\"" << device->registerDumpAsString() << "\"/>\n";
  os << "</class>\n";
  PllPatternAccess::dumpXml(os);
}

ErrorData PllPatternAccessDeviceBased::readDefaultHardwarePattern(unsigned int& bits) const {
  bits = m_defaultPattern;
  return ErrorData();
}

ErrorData PllPatternAccessDeviceBased::readPatternFromHardware(unsigned int& bits) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> device = getHwdInterface();
  if (device == nullptr) return failure(kMissing, "no PLL device");
  return device->readPattern(bits);
}

ErrorData PllPatternAccessDeviceBased::writePatternToHardware(unsigned int bits) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> device = getHwdInterface();
  if (device == nullptr) return failure(kMissing, "no PLL device");
  const ErrorData rc = device->writePattern(bits);
  KAV_TRACE(KAVT, "PllPatternAccessDeviceBased::writePatternToHardware 0x%X slot=0x%08X rc=0x%08X", bits, getSlotId(),
            rc.getRc());
  return rc;
}

ErrorData PllPatternAccessDeviceBased::readPattern(unsigned int& bits) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int value = 0;
  ErrorData rc = readPatternFromFruStateTable(value);
  bits = value != 0 ? value : m_defaultPattern;
  return rc;
}

ErrorData PllPatternAccessDeviceBased::writePattern(unsigned int bits) {
  IFOSGuard<const QueryBase> guard(*this);
  // The table first: it is the record of what was asked, also when the
  // chip then refuses the pattern.
  ErrorData rc = writePatternToFruStateTable(bits);
  if (getFruStateTable() == nullptr) return rc;  // 0x7000 from the table write
  if (isFruActivated()) rc = writePatternToHardware(bits);
  KAV_TRACE(KAVT, "PllPatternAccessDeviceBased::writePattern 0x%X slot=0x%08X rc=0x%08X", bits, getSlotId(),
            rc.getRc());
  return rc;
}

ErrorData PllPatternAccessDeviceBased::readSpreadingMode(kavosc::SpreadingDirection_t& direction,
                                                         unsigned int& amount) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> device = getHwdInterface();
  if (device == nullptr || getFruStateTable() == nullptr) return failure(kMissing, "no PLL device or state table");
  if (!isFruActivated()) return failure(kFruNotActive, "FRU not active: spreading mode not read");
  return device->readSpreadingMode(direction, amount);
}

ErrorData PllPatternAccessDeviceBased::writeSpreadingMode(kavosc::SpreadingDirection_t direction,
                                                          unsigned int amount) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> device = getHwdInterface();
  if (device == nullptr) return failure(kMissing, "no PLL device");
  return device->writeSpreadingMode(direction, amount);
}

ErrorData PllPatternAccessDeviceBased::restoreFromFruStateTable() {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int stored = 0;
  ErrorData rc = readPatternFromFruStateTable(stored);
  unsigned int programmed = 0;
  if (stored != 0) {
    const ErrorData readRc = readPatternFromHardware(programmed);
    if (readRc != 0) programmed = 0;
    rc = readRc;
    if (stored != programmed) rc = writePatternToHardware(stored);
  }
  KAV_TRACE(KAVT, "PllPatternAccessDeviceBased: restore 0x%X (chip 0x%X) slot=0x%08X rc=0x%08X", stored, programmed,
            getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllPatternAccessDeviceBased::switchForPwrCtrl(unsigned int sequence, unsigned int step) {
  IFOSGuard<const QueryBase> guard(*this);
  KAV_TRACE_STR(KAVT, "PllPatternAccessDeviceBased::switchForPwrCtrl %s slot=0x%08X", get_string_by_id(sequence) + "/" + get_string_by_id(step),
                getSlotId());
  ErrorData rc;
  if (sequence != kav::sid::PLL_PATTERN_SEQUENCE) {
    rc = failure(kNotLinked, "unknown power sequence of a PLL pattern access");
  } else if (step == kav::sid::STATE_OFF) {
    KavPtr<DioHwrInterface> load = getLoadSignal();
    if (load != nullptr) rc = load->off();
    unsigned int stored = 0;
    rc = readPatternFromFruStateTable(stored);
    if (stored != 0)
      rc = writePatternToHardware(stored);
    else
      rc = writePatternToFruStateTable(m_defaultPattern);
  } else if (step == kav::sid::STATE_ON) {
    KavPtr<DioHwrInterface> load = getLoadSignal();
    if (load != nullptr) rc = load->on();
  } else {
    rc = failure(kNotLinked, "unknown power step of a PLL pattern access");
  }
  KAV_TRACE_STR(KAVT, "PllPatternAccessDeviceBased::switchForPwrCtrl %s slot=0x%08X rc=0x%08X",
                get_string_by_id(sequence) + "/" + get_string_by_id(step), getSlotId(), rc.getRc());
  return rc;
}

BuildBase* createPllPatternAccessDeviceBased(void*, BaseErrorData&) {
  return (new PllPatternAccessDeviceBased())->getBuildInterface();
}
