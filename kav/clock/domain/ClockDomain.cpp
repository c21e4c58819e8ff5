#include "kav/clock/domain/ClockDomain.h"

#include <cstdio>

#include "kav/cards/IdProvider.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/KavWait.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(ClockDomain, PowerControllable)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kInvalidValue = 0x7013;
const unsigned int kNoPatternInRange = 0x7244;
const unsigned int kBadMode = 0x7254;
const unsigned int kOutsideCrcRange = 0x733C;
const unsigned int kUnreadableCycleTime = 0xFFFFFFFFu;

ErrorData failure(unsigned int rc) { return ErrorData(ErrorData::NO_OVERWRITE, rc); }

bool validMode(kavosc::OscSetMode_t mode) { return static_cast<unsigned int>(mode) <= 4; }

// The PLL's spreading is written only in the modes that drive the clocks
// from this card's oscillator.
bool writesPllSpreading(kavosc::OscSetMode_t mode) {
  return mode == kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY || mode == kavosc::OSC_SET_MODE_SINGLE;
}

// The single visible child of class T, or null.
template <class T>
KavPtr<T> singleChild(const QueryBase& owner, unsigned int& count) {
  KavPtr<T> found;
  count = 0;
  for (const KavPtr<QueryBase>& child : owner.getChildren()) {
    if (!child->isInstanceOf(T::staticGetClassId())) continue;
    found = KavPtr<T>(child);
    ++count;
  }
  return count == 1 ? found : KavPtr<T>();
}

// The IdProvider of that instance name nearest to `from`: the node itself,
// an ancestor, or a child of either.
KavPtr<const IdProvider> findNamedProvider(const QueryBase* from, unsigned int name) {
  const unsigned int providerClass = IdProvider::staticGetClassId();
  auto matches = [&](const QueryBase* node) {
    return node != nullptr && node->isInstanceOf(providerClass) && node->getInstanceId() == name;
  };
  for (KavPtr<const QueryBase> level(from); level != nullptr; level = level->getParent()) {
    if (matches(level.getRawPointer()))
      return KavPtr<const IdProvider>(static_cast<const IdProvider*>(level.getRawPointer()));
    QueryBase::ChildList_t children = level->getChildren();
    QueryBase::ChildList_t hidden = level->getHiddenChildren();
    children.insert(children.end(), hidden.begin(), hidden.end());
    for (const KavPtr<QueryBase>& child : children)
      if (matches(child.getRawPointer()))
        return KavPtr<const IdProvider>(static_cast<const IdProvider*>(child.getRawPointer()));
  }
  return KavPtr<const IdProvider>();
}

void putBigEndian(unsigned int value, unsigned char* bytes) {
  for (int i = 3; i >= 0; --i) {
    bytes[i] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

unsigned int getBigEndian(const unsigned char* bytes) {
  unsigned int value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

ClockDomain::ClockDomain()
    : m_clockDomainType(static_cast<kavosc::ClockDomain_t>(0)),
      m_spreadingInfo{0, 0},
      m_oscSetMode(kavosc::OSC_SET_MODE_NONE),
      m_defective(false) {}

ClockDomain::~ClockDomain() {}

BaseErrorData ClockDomain::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = PowerControllable::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeStringId(&m_spreadingInfo.directionTabFieldId, kav::sid::SPREADING_DIRECTION_FIELD, *node, false);
  rc = getAttributeStringId(&m_spreadingInfo.valueTabFieldId, kav::sid::SPREADING_VALUE_FIELD, *node, false);
  unsigned int providerName = 0;
  BaseErrorData read = getAttributeStringId(&providerName, kav::sid::CLOCK_DOMAIN_TYPE_PROVIDER, *node, false);
  if (read != 0) {
    rc = read;
    return rc;
  }
  // The domain is not in the tree yet: its provider is found from its parent.
  KavPtr<const IdProvider> provider = findNamedProvider(info.getParent(), providerName);
  if (provider == nullptr) {
    KAV_TRACE_STR(KAVE, "ClockDomain::setAttributes no id provider %s", get_string_by_id(providerName));
    rc = kMissing;
    return rc;
  }
  unsigned int textId = 0;
  BaseErrorData found = provider->getId(getInstanceId(), textId);
  if (found != 0) {
    KAV_TRACE_STR(KAVE, "ClockDomain::setAttributes no type for %s", get_string_by_id(getInstanceId()));
    rc = found;
    return rc;
  }
  unsigned int type = 0;
  unsigned int attribute = kav::sid::CLOCK_DOMAIN_TYPE_PROVIDER;
  if (getVal(get_string_by_id(textId), type, attribute) != 0 || type == 0) {
    KAV_TRACE_STR(KAVE, "ClockDomain::setAttributes type %s is no number", get_string_by_id(textId));
    rc = kInvalidValue;
    return rc;
  }
  m_clockDomainType = static_cast<kavosc::ClockDomain_t>(type);
  return rc;
}

BaseErrorData ClockDomain::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) rc = linkChildren();
  if (step == initSequence::INIT_ACTIVATED_HW) rc = endSteeringAfterRestart();
  return rc;
}

BaseErrorData ClockDomain::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) releaseChildren();
  return PowerControllable::terminate(step);
}

ErrorData ClockDomain::linkChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  unsigned int count = 0;
  auto missing = [&](const char* what) {
    KAV_TRACE_STR(KAVE, "ClockDomain::linkChildren no single %s slot=0x%08X count=%u", what, getSlotId(), count);
    rc = kNotLinked;
  };
  m_pFruStateTableLink = singleHiddenChild<FruStateTableLink>(*this, count);
  if (m_pFruStateTableLink == nullptr) missing("FruStateTableLink");
  m_pPllHwdInterfaceLink = singleHiddenChild<PllHwdInterfaceLink>(*this, count);
  if (m_pPllHwdInterfaceLink == nullptr) missing("PllHwdInterfaceLink");
  m_pPllSpeedAccess = singleChild<PllSpeedAccessPatternBased>(*this, count);
  if (m_pPllSpeedAccess == nullptr) missing("PllSpeedAccessPatternBased");
  m_pPllErrorMonitor = singleChild<PllErrorMonitor>(*this, count);
  if (m_pPllErrorMonitor == nullptr) missing("PllErrorMonitor");
  m_pCrc = singleChild<Crc>(*this, count);
  if (m_pCrc == nullptr) missing("Crc");
  m_pPllClkEnableControl = singleHiddenChild<PldHwrInterface>(*this, count, kav::sid::PLL_CLK_ENABLE);
  if (m_pPllClkEnableControl == nullptr) missing("PllClkEnable control");
  m_pPllClkEnableInput = singleHiddenChild<DioHwrInterface>(*this, count, kav::sid::PLL_CLK_ENABLE);
  if (m_pPllClkEnableInput == nullptr) missing("PllClkEnable input");
  m_pCrcClkEnableControl = singleHiddenChild<PldHwrInterface>(*this, count, kav::sid::CRC_CLK_ENABLE);
  if (m_pCrcClkEnableControl == nullptr) missing("CrcClkEnable control");
  m_pCrcClkEnableInput = singleHiddenChild<DioHwrInterface>(*this, count, kav::sid::CRC_CLK_ENABLE);
  if (m_pCrcClkEnableInput == nullptr) missing("CrcClkEnable input");
  return rc;
}

void ClockDomain::releaseChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  m_pFruStateTableLink = KavPtr<FruStateTableLink>();
  m_pPllHwdInterfaceLink = KavPtr<PllHwdInterfaceLink>();
  m_pPllSpeedAccess = KavPtr<PllSpeedAccessPatternBased>();
  m_pPllErrorMonitor = KavPtr<PllErrorMonitor>();
  m_pCrc = KavPtr<Crc>();
  m_pPllClkEnableControl = KavPtr<PldHwrInterface>();
  m_pPllClkEnableInput = KavPtr<DioHwrInterface>();
  m_pCrcClkEnableControl = KavPtr<PldHwrInterface>();
  m_pCrcClkEnableInput = KavPtr<DioHwrInterface>();
}

void ClockDomain::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    auto linked = [](bool present) { return present ? "linked" : "null"; };
    char mode[16];
    std::snprintf(mode, sizeof mode, "0x%X", static_cast<unsigned int>(m_oscSetMode));
    os << "<class className=\"ClockDomain\">\n";
    os << "<parameter name=\"m_clockDomainType\" value=\"" << static_cast<unsigned int>(m_clockDomainType)
       << "\"/>\n";
    os << "<parameter name=\"m_spreadingInfo.directionTabFieldId\" value=\""
       << get_string_by_id(m_spreadingInfo.directionTabFieldId) << "\"/>\n";
    os << "<parameter name=\"m_spreadingInfo.valueTabFieldId\" value=\""
       << get_string_by_id(m_spreadingInfo.valueTabFieldId) << "\"/>\n";
    os << "<parameter name=\"m_oscSetMode\" value=\"" << mode << "\"/>\n";
    os << "<parameter name=\"m_defective\" value=\"" << (m_defective ? "true" : "false") << "\"/>\n";
    os << "<parameter name=\"m_pFruStateTableLink\" value=\"" << linked(m_pFruStateTableLink != nullptr) << "\"/>\n";
    os << "<parameter name=\"m_pPllHwdInterfaceLink\" value=\"" << linked(m_pPllHwdInterfaceLink != nullptr)
       << "\"/>\n";
    os << "<parameter name=\"m_pPllSpeedAccess\" value=\"" << linked(m_pPllSpeedAccess != nullptr) << "\"/>\n";
    os << "<parameter name=\"m_pPllErrorMonitor\" value=\"" << linked(m_pPllErrorMonitor != nullptr) << "\"/>\n";
    os << "<parameter name=\"m_pCrc\" value=\"" << linked(m_pCrc != nullptr) << "\"/>\n";
    os << "<parameter name=\"m_pPllClkEnableControl\" value=\"" << linked(m_pPllClkEnableControl != nullptr)
       << "\"/>\n";
    os << "<parameter name=\"m_pPllClkEnableInput\" value=\"" << linked(m_pPllClkEnableInput != nullptr) << "\"/>\n";
    os << "<parameter name=\"m_pCrcClkEnableControl\" value=\"" << linked(m_pCrcClkEnableControl != nullptr)
       << "\"/>\n";
    os << "<parameter name=\"m_pCrcClkEnableInput\" value=\"" << linked(m_pCrcClkEnableInput != nullptr) << "\"/>\n";
    os << "</class>\n";
  }
  PowerControllable::dumpXml(os);
}

kavosc::ClockDomain_t ClockDomain::getClockDomainType() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_clockDomainType;
}

kavosc::OscSetMode_t ClockDomain::getMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_oscSetMode;
}

bool ClockDomain::isDefective() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_defective;
}

void ClockDomain::setDefective() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_defective || m_oscSetMode == kavosc::OSC_SET_MODE_SINGLE) return;
  m_defective = true;
  KAV_TRACE_STR(KAVE, "SlotId=0x%.8x - ClockDomain '%s' has been set as defective !\n",
                get_string_by_id(getInstanceId()), getSlotId());
}

KavPtr<FruStateTable> ClockDomain::getFruStateTable() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pFruStateTableLink == nullptr ? KavPtr<FruStateTable>() : m_pFruStateTableLink->getLinkTarget();
}

KavPtr<PllHwdInterface> ClockDomain::getPllDevice() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pPllHwdInterfaceLink == nullptr ? KavPtr<PllHwdInterface>() : m_pPllHwdInterfaceLink->getLinkTarget();
}

KavPtr<PllSpeedAccessPatternBased> ClockDomain::getPllSpeedAccess() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pPllSpeedAccess;
}

ErrorData ClockDomain::readActivationState(kav::FruActivationState_t& state) const {
  state = kav::FRU_NOT_ACTIVATED;
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return failure(kMissing);
  return table->getActivationState(&state);
}

ErrorData ClockDomain::readSteeringFlag(bool& active) const {
  active = false;
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return failure(kMissing);
  unsigned char flag = 0;
  ErrorData rc = table->readField(kav::sid::STEERING_MODE_FIELD, &flag, 1, 0);
  active = rc == 0 && flag == 1;
  return rc;
}

ErrorData ClockDomain::writeSteeringFlag(bool active) {
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return failure(kMissing);
  unsigned char flag = active ? 1 : 0;
  return table->writeField(kav::sid::STEERING_MODE_FIELD, &flag, 1, 0);
}

ErrorData ClockDomain::endSteeringAfterRestart() {
  IFOSGuard<const QueryBase> guard(*this);
  bool steering = false;
  ErrorData rc = readSteeringFlag(steering);
  if (rc == 0 && steering) {
    rc = resetPllDeviceErrors();
    rc = enableGlobalClkEnableOfPll();
    rc = writeSteeringFlag(false);
  }
  KAV_TRACE(KAVT, "ClockDomain::endSteeringAfterRestart slot=0x%08X steering=%u rc=0x%08X", getSlotId(),
            steering ? 1u : 0u, rc.getRc());
  return rc;
}

ErrorData ClockDomain::performInitialModeSetup(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (!validMode(mode))
    rc = kBadMode;
  else
    m_oscSetMode = mode;
  KAV_TRACE(KAVT, "ClockDomain::performInitialModeSetup slot=0x%08X mode=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(mode), rc.getRc());
  return rc;
}

ErrorData ClockDomain::writeMode(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (!validMode(mode)) {
    // Not recorded: a later power step would apply it.
    rc = kBadMode;
    KAV_TRACE(KAVE, "ClockDomain::writeMode slot=0x%08X mode=%u rc=0x%08X", getSlotId(),
              static_cast<unsigned int>(mode), rc.getRc());
    return rc;
  }
  m_oscSetMode = mode;
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  rc = readActivationState(state);
  if (rc == 0 && state == kav::FRU_ACTIVATED) {
    rc = writeModeToCrc(mode);
    KavWait(kModeSwitchWaitMs);
    rc = manageGlobalClkEnableOfPllAndCrc(mode);
  }
  KAV_TRACE(KAVT, "ClockDomain::writeMode slot=0x%08X mode=%u state=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(mode), static_cast<unsigned int>(state), rc.getRc());
  return rc;
}

ErrorData ClockDomain::writeModeToCrc(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pCrc == nullptr) return failure(kMissing);
  return m_pCrc->writeMode(mode);
}

ErrorData ClockDomain::writeClkEnable(const KavPtr<PldHwrInterface>& control, kavPld::LookupControl_t value,
                                      const char* which) {
  ErrorData rc;
  if (control == nullptr)
    rc = kMissing;
  else
    rc = control->writeLookupTableControl(value);
  KAV_TRACE_STR(KAVT, "ClockDomain clock enable %s slot=0x%08X control=%u rc=0x%08X", which, getSlotId(),
                static_cast<unsigned int>(value), rc.getRc());
  return rc;
}

ErrorData ClockDomain::enableGlobalClkEnableOfPll() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pPllClkEnableControl, kavPld::LOOKUP_CONTROL_1, "PLL");
}

ErrorData ClockDomain::disableGlobalClkEnableOfPll() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pPllClkEnableControl, kavPld::LOOKUP_CONTROL_2, "PLL");
}

ErrorData ClockDomain::forceGlobalClkEnableOfPll() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pPllClkEnableControl, kavPld::LOOKUP_CONTROL_3, "PLL");
}

ErrorData ClockDomain::enableGlobalClkEnableOfCrc() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pCrcClkEnableControl, kavPld::LOOKUP_CONTROL_1, "CRC");
}

ErrorData ClockDomain::disableGlobalClkEnableOfCrc() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pCrcClkEnableControl, kavPld::LOOKUP_CONTROL_2, "CRC");
}

ErrorData ClockDomain::forceGlobalClkEnableOfCrc() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeClkEnable(m_pCrcClkEnableControl, kavPld::LOOKUP_CONTROL_3, "CRC");
}

ErrorData ClockDomain::manageGlobalClkEnableOfPllAndCrc(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (!validMode(mode)) {
    rc = kBadMode;
  } else if (mode == kavosc::OSC_SET_MODE_NONE) {
    rc = disableGlobalClkEnableOfCrc();
    rc = disableGlobalClkEnableOfPll();
  } else {
    rc = enableGlobalClkEnableOfPll();
    rc = enableGlobalClkEnableOfCrc();
  }
  return rc;
}

bool ClockDomain::clocksOnInMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_oscSetMode != kavosc::OSC_SET_MODE_NONE;
}

ErrorData ClockDomain::resetPllDeviceErrors() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pPllErrorMonitor == nullptr) return failure(kMissing);
  return m_pPllErrorMonitor->resetAllErrors();
}

ErrorData ClockDomain::resetCrcDeviceErrors() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pCrc == nullptr) return failure(kMissing);
  return m_pCrc->resetAllErrors();
}

ErrorData ClockDomain::startSteeringMode() {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  ErrorData rc = readActivationState(state);
  rc = writeSteeringFlag(true);
  if (rc == 0 && state == kav::FRU_ACTIVATED) {
    if (clocksOnInMode()) rc = forceGlobalClkEnableOfPll();
    rc = disableInterrupts();
  }
  KAV_TRACE(KAVT, "ClockDomain::startSteeringMode slot=0x%08X state=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(state), rc.getRc());
  return rc;
}

ErrorData ClockDomain::stopSteeringMode() {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  ErrorData rc = readActivationState(state);
  if (rc == 0 && state == kav::FRU_ACTIVATED) {
    rc = resetPllDeviceErrors();
    if (clocksOnInMode()) rc = enableGlobalClkEnableOfPll();
    rc = enableInterrupts();
  }
  if (getFruStateTable() != nullptr) rc = writeSteeringFlag(false);
  KAV_TRACE(KAVT, "ClockDomain::stopSteeringMode slot=0x%08X state=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(state), rc.getRc());
  return rc;
}

ErrorData ClockDomain::isSteeringModeActive(bool& active) {
  IFOSGuard<const QueryBase> guard(*this);
  return readSteeringFlag(active);
}

ErrorData ClockDomain::getPossiblePllRangesForCycleTime(unsigned int cycleTime, PllSpeedPatternList& list) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pPllSpeedAccess == nullptr) return failure(kMissing);
  return m_pPllSpeedAccess->getPossibleRangesForCycleTime(cycleTime, list);
}

ErrorData ClockDomain::getPllSpeedPatternWithoutRangeChangeForCycleTime(const PllSpeedPattern& current,
                                                                       unsigned int cycleTime,
                                                                       PllSpeedPattern& result) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_pPllSpeedAccess == nullptr || m_pCrc == nullptr) {
    rc = kMissing;
  } else {
    PllSpeedPatternList candidates;
    const ErrorData search = m_pPllSpeedAccess->getPossibleRangesForCycleTime(cycleTime, candidates);
    PllSpeedPattern found = candidates.getForSameRange(current);
    if (!found.isInit()) {
      rc = candidates.elementCount() == 0 && search != 0 ? search : failure(kNoPatternInRange);
    } else {
      // Only the candidate in the current range counts: a candidate of
      // another range failing its checks does not refuse this one, but this
      // one must pass its own (the pattern its bits give).
      PllSpeedPattern check;
      rc = m_pPllSpeedAccess->convertPllBitsToPllSpeedPattern(found.getPllPattern(), check);
    }
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    if (rc == 0) rc = readActivationState(state);
    if (rc == 0 && state == kav::FRU_ACTIVATED) {
      unsigned int frequency = 0;
      rc = found.getOutputFrequencyInKhz(frequency);
      PllSpeedPattern crcRange;
      if (rc == 0) rc = m_pCrc->getCurrentFrequencyRange(frequency, crcRange);
      if (rc == 0 && (cycleTime < crcRange.getMinimalOutputCyletimeInPicoSeconds() ||
                      cycleTime > crcRange.getMaximalOutputCyletimeInPicoSeconds()))
        rc = kOutsideCrcRange;
    }
    // A pattern that may not be used is not handed out.
    result = rc == 0 ? found : PllSpeedPattern();
  }
  KAV_TRACE(KAVT, "ClockDomain::getPllSpeedPatternWithoutRangeChangeForCycleTime slot=0x%08X ct=%u rc=0x%08X",
            getSlotId(), cycleTime, rc.getRc());
  return rc;
}

ErrorData ClockDomain::readPllSpeedPattern(PllSpeedPattern& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pPllSpeedAccess == nullptr) return failure(kMissing);
  PllSpeedPattern read;
  ErrorData rc = m_pPllSpeedAccess->readSpeed(read);
  pattern = read;
  return rc;
}

ErrorData ClockDomain::writePllSpeedPattern(const PllSpeedPattern& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_pPllSpeedAccess == nullptr) {
    rc = kMissing;
  } else {
    rc = m_pPllSpeedAccess->writeSpeed(pattern);
    if (rc != 0) reconcilePatternRecord(pattern);
  }
  KAV_TRACE_STR(KAVT, "ClockDomain::writePllSpeedPattern %s slot=0x%08X rc=0x%08X", pattern.asString(), getSlotId(),
                rc.getRc());
  return rc;
}

void ClockDomain::reconcilePatternRecord(const PllSpeedPattern& intended) {
  // Only an activated card's device is written; otherwise the record is
  // all there is.
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  if (readActivationState(state) != 0 || state != kav::FRU_ACTIVATED) return;
  KavPtr<PllHwdInterface> device = getPllDevice();
  if (device == nullptr) return;
  unsigned int running = 0;
  unsigned int recorded = 0;
  if (device->readPattern(running) != 0) {
    // The device can not tell what it runs (a card that went, a bus that
    // fails): the record keeps the pattern asked for, which the next
    // activation or restart writes to the device.
    KAV_TRACE(KAVE, "ClockDomain: pattern 0x%08X kept, device not readable slot=0x%08X", intended.getPllPattern(),
              getSlotId());
    return;
  }
  if (m_pPllSpeedAccess->readPattern(recorded) == 0 && recorded == running) return;
  // The device still runs its former pattern: so says the record again.
  KavPtr<PllPatternAccess> access = m_pPllSpeedAccess->getPatternAccess();
  const ErrorData back =
      access == nullptr ? ErrorData(ErrorData::NO_OVERWRITE, kMissing) : access->writePatternToFruStateTable(running);
  KAV_TRACE(KAVE, "ClockDomain: record back to running pattern 0x%08X (asked 0x%08X) slot=0x%08X rc=0x%08X", running,
            intended.getPllPattern(), getSlotId(), back.getRc());
}

ErrorData ClockDomain::forcePllSpeedPattern(unsigned int lower, const PllSpeedPattern& pattern, unsigned int upper) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_pPllSpeedAccess == nullptr || m_pCrc == nullptr) {
    rc = kMissing;
  } else {
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    rc = readActivationState(state);
    if (state == kav::FRU_ACTIVATED) rc = m_pCrc->switchToBestMatchingRange(lower, pattern, upper);
    rc = writePllSpeedPattern(pattern);
  }
  KAV_TRACE(KAVT, "ClockDomain::forcePllSpeedPattern slot=0x%08X lower=%u upper=%u rc=0x%08X", getSlotId(), lower,
            upper, rc.getRc());
  return rc;
}

ErrorData ClockDomain::performPowerOnSetupOnCrc() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pCrc == nullptr || m_pPllSpeedAccess == nullptr) return failure(kMissing);
  ErrorData rc = m_pCrc->performPowerOnSetup();
  PllSpeedPattern current;
  rc = m_pPllSpeedAccess->readSpeed(current);
  rc = m_pCrc->switchToBestMatchingRange(0, current, 0);
  return rc;
}

ErrorData ClockDomain::readSpreadingValues(kavosc::SpreadingDirection_t& direction, unsigned int& value) {
  IFOSGuard<const QueryBase> guard(*this);
  direction = kavosc::SPREADING_OFF;
  value = 0;
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return failure(kMissing);
  unsigned char dir = 0;
  unsigned char amount[4] = {0, 0, 0, 0};
  ErrorData rc = table->readField(m_spreadingInfo.directionTabFieldId, &dir, 1, 0);
  if (rc == 0) direction = static_cast<kavosc::SpreadingDirection_t>(dir);
  ErrorData valueRc = table->readField(m_spreadingInfo.valueTabFieldId, amount, 4, 0);
  if (valueRc == 0) value = getBigEndian(amount);
  rc = valueRc;
  return rc;
}

ErrorData ClockDomain::writeSpreadingValues(kavosc::SpreadingDirection_t direction, unsigned int value) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) {
    rc = kMissing;
  } else {
    unsigned char dir = static_cast<unsigned char>(static_cast<unsigned int>(direction) & 0xF);
    unsigned char amount[4];
    putBigEndian(value, amount);
    rc = table->writeField(m_spreadingInfo.directionTabFieldId, &dir, 1, 0);
    rc = table->writeField(m_spreadingInfo.valueTabFieldId, amount, 4, 0);
  }
  KAV_TRACE(KAVT, "ClockDomain::writeSpreadingValues slot=0x%08X dir=%u value=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(direction), value, rc.getRc());
  return rc;
}

ErrorData ClockDomain::startSpreadingForGivenMode(kavosc::OscSetMode_t mode) { return switchSpreading(mode, true); }

ErrorData ClockDomain::stopSpreadingForGivenMode(kavosc::OscSetMode_t mode) { return switchSpreading(mode, false); }

ErrorData ClockDomain::switchSpreading(kavosc::OscSetMode_t mode, bool start) {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  ErrorData rc = readActivationState(state);
  bool steering = false;
  readSteeringFlag(steering);  // not readable: not steering
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int value = 0;
  rc = readSpreadingValues(direction, value);
  const bool applies = rc == 0 && !(start && steering) && state != kav::FRU_NOT_ACTIVATED && m_oscSetMode == mode &&
                       (direction != kavosc::SPREADING_OFF || value != 0);
  if (applies) {
    // A deselected domain keeps its clocks disabled: they are neither
    // forced nor enabled for the change.
    const bool clocksOn = clocksOnInMode();
    if (clocksOn) {
      rc = forceGlobalClkEnableOfPll();
      rc = forceGlobalClkEnableOfCrc();
    }
    if (m_pPllSpeedAccess == nullptr || m_pCrc == nullptr) {
      rc = kMissing;
    } else if (start) {
      rc = m_pCrc->enableSpreadingMode();
      if (writesPllSpreading(m_oscSetMode)) rc = m_pPllSpeedAccess->writeSpreadingPercentage(direction, value);
    } else {
      if (writesPllSpreading(m_oscSetMode))
        rc = m_pPllSpeedAccess->writeSpreadingPercentage(kavosc::SPREADING_OFF, 0);
      rc = m_pCrc->disableSpreadingMode();
    }
    rc = resetPllDeviceErrors();
    rc = resetCrcDeviceErrors();
    if (clocksOn) {
      // While steering the PLL's enable stays forced (its lock may go).
      if (!steering) rc = enableGlobalClkEnableOfPll();
      rc = enableGlobalClkEnableOfCrc();
    }
  }
  KAV_TRACE(KAVT, "ClockDomain::switchSpreading slot=0x%08X start=%u mode=%u applied=%u rc=0x%08X", getSlotId(),
            start ? 1u : 0u, static_cast<unsigned int>(mode), applies ? 1u : 0u, rc.getRc());
  return rc;
}

ErrorData ClockDomain::enableInterrupts() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_oscSetMode == kavosc::OSC_SET_MODE_NONE || m_oscSetMode == kavosc::OSC_SET_MODE_OTHER_SINGLE) return rc;
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  rc = readActivationState(state);
  if (rc == 0 && state != kav::FRU_NOT_ACTIVATED) {
    if (m_pPllErrorMonitor == nullptr)
      rc = kMissing;
    else
      rc = m_pPllErrorMonitor->enableErrorMonitoring();
    if (m_pCrc == nullptr)
      rc = kMissing;
    else
      rc = m_pCrc->enableInterrupt();
  }
  KAV_TRACE(KAVT, "ClockDomain::enableInterrupts slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData ClockDomain::disableInterrupts() {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
  ErrorData rc = readActivationState(state);
  if (rc == 0 && state != kav::FRU_NOT_ACTIVATED) {
    if (m_pPllErrorMonitor == nullptr)
      rc = kMissing;
    else
      rc = m_pPllErrorMonitor->disableErrorMonitoring();
    if (m_pCrc == nullptr)
      rc = kMissing;
    else
      rc = m_pCrc->disableInterrupt();
  }
  KAV_TRACE(KAVT, "ClockDomain::disableInterrupts slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData ClockDomain::initializeClockDomainInfo(ClockDomainInfo_t& info) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = readSteeringFlag(info.steeringModeActive);
  rc = readPllSpeedPattern(info.pllSpeedPattern);
  rc = readSpreadingValues(info.spreading.direction, info.spreading.value);
  return rc;
}

ErrorData ClockDomain::performPlugSetup(const ClockDomainInfo_t& info) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (info.steeringModeActive) rc = startSteeringMode();
  kavosc::SpreadingStatus_t stored{kavosc::SPREADING_OFF, 0};
  rc = readSpreadingValues(stored.direction, stored.value);
  if (stored != info.spreading) rc = writeSpreadingValues(info.spreading.direction, info.spreading.value);
  PllSpeedPattern current;
  rc = readPllSpeedPattern(current);
  if (current != info.pllSpeedPattern) rc = writePllSpeedPattern(info.pllSpeedPattern);
  KAV_TRACE(KAVT, "ClockDomain::performPlugSetup slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData ClockDomain::readStatus(kavosc::ClockDomainStatus_t& status) {
  IFOSGuard<const QueryBase> guard(*this);
  status = kavosc::ClockDomainStatus_t();
  status.clockDomainType = m_clockDomainType;
  ErrorData rc = readSteeringFlag(status.steeringModeActive);
  kavosc::PllStatus_t& pll = status.pllStatus;
  pll.cycleTime = kUnreadableCycleTime;
  dioState::DioState_t input = dioState::DIO_STATE_NONE;
  if (m_pPllClkEnableInput == nullptr) {
    rc = kMissing;
  } else {
    rc = m_pPllClkEnableInput->read(input);
    pll.clkEnableInputActive = input == dioState::DIO_STATE_ON;
  }
  KavPtr<PllHwdInterface> device = getPllDevice();
  if (m_pPllSpeedAccess == nullptr || device == nullptr) rc = kMissing;
  if (m_pPllSpeedAccess != nullptr) {
    unsigned int cycleTime = kUnreadableCycleTime;
    const ErrorData speedRc = m_pPllSpeedAccess->readSpeed(cycleTime);
    if (speedRc == 0) pll.cycleTime = cycleTime;
    rc = speedRc;
  }
  if (device != nullptr) {
    unsigned int length = sizeof pll.registers;
    rc = device->getRegister(pll.registers, length);
  }
  if (m_pPllErrorMonitor == nullptr) {
    rc = kMissing;
  } else {
    kavstl::set<PllHwdInterface::PllErrorType_t> flags;
    rc = m_pPllErrorMonitor->readErrorFlags(flags);
    pll.error1Present = flags.count(PllHwdInterface::PLL_ERROR_1) != 0;
    pll.error0Present = flags.count(PllHwdInterface::PLL_ERROR_0) != 0;
  }
  rc = readSpreadingValues(pll.spreading.direction, pll.spreading.value);
  bool crcEnabled = false;
  if (m_pCrcClkEnableInput == nullptr) {
    rc = kMissing;
  } else {
    input = dioState::DIO_STATE_NONE;
    rc = m_pCrcClkEnableInput->read(input);
    crcEnabled = input == dioState::DIO_STATE_ON;
  }
  if (m_pCrc == nullptr)
    rc = kMissing;
  else
    rc = m_pCrc->readStatus(status.crcStatus, crcEnabled);
  KAV_TRACE(KAVT, "ClockDomain::readStatus slot=0x%08X ct=%u rc=0x%08X", getSlotId(), pll.cycleTime, rc.getRc());
  return rc;
}

ErrorData ClockDomain::switchForPwrCtrl(unsigned int sequence, unsigned int step) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  const bool off = step == kav::sid::STATE_OFF;
  const bool on = step == kav::sid::STATE_ON;
  if (sequence == kav::sid::INTERRUPT_CONTROL_SEQUENCE && off) {
    rc = disableInterrupts();
  } else if (sequence == kav::sid::INTERRUPT_CONTROL_SEQUENCE && on) {
    rc = resetCrcDeviceErrors();
    rc = enableInterrupts();
    bool steering = false;
    readSteeringFlag(steering);
    if (steering) {
      if (clocksOnInMode()) rc = forceGlobalClkEnableOfPll();
      rc = disableInterrupts();
    }
  } else if (sequence == kav::sid::CLOCK_MODE_SEQUENCE && off) {
    rc = stopSpreadingForGivenMode(m_oscSetMode);
    rc = writeModeToCrc(kavosc::OSC_SET_MODE_NONE);
    rc = manageGlobalClkEnableOfPllAndCrc(kavosc::OSC_SET_MODE_NONE);
  } else if (sequence == kav::sid::CLOCK_MODE_SEQUENCE && on) {
    rc = manageGlobalClkEnableOfPllAndCrc(m_oscSetMode);
    rc = performPowerOnSetupOnCrc();
    rc = writeModeToCrc(m_oscSetMode);
    rc = startSpreadingForGivenMode(m_oscSetMode);
  } else {
    rc = kNotLinked;
    const kavstl::string names = get_string_by_id(sequence) + "," + get_string_by_id(step);
    KAV_TRACE_STR(KAVE, "ClockDomain::switchForPwrCtrl unknown %s slot=0x%08X", names, getSlotId());
  }
  const kavstl::string names = get_string_by_id(sequence) + "," + get_string_by_id(step);
  KAV_TRACE_STR(KAVT, "ClockDomain::switchForPwrCtrl %s slot=0x%08X rc=0x%08X", names, getSlotId(), rc.getRc());
  return rc;
}

BuildBase* createClockDomain(void*, BaseErrorData&) { return (new ClockDomain())->getBuildInterface(); }
