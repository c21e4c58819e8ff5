#include "kav/clock/speed/PllSpeedAccessPatternBased.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(PllSpeedAccessPatternBased, PllSpeedAccess)

namespace {

const unsigned int kNotLinked = 0x7002;
const unsigned int kUninitialised = 0x700B;
const unsigned int kFruNotActive = 0x7018;

ErrorData failure(unsigned int code, const char* text) {
  ErrorData rc(ErrorData::NO_OVERWRITE, code);
  if (text != nullptr) rc << text;
  return rc;
}

// The single visible child of class T; count: how many there were.
template <class T>
KavPtr<T> singleChild(const QueryBase& owner, unsigned int& count) {
  KavPtr<T> found;
  count = 0;
  for (const KavPtr<QueryBase>& child : owner.getChildren()) {
    if (child == nullptr || !child->isInstanceOf(T::staticGetClassId())) continue;
    found = KavPtr<T>(child);
    ++count;
  }
  return count == 1 ? found : KavPtr<T>();
}

}  // namespace

PllSpeedAccessPatternBased::PllSpeedAccessPatternBased() : m_fXtalMHz(0) {}

PllSpeedAccessPatternBased::~PllSpeedAccessPatternBased() {}

BaseErrorData PllSpeedAccessPatternBased::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = PllSpeedAccess::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) rc = getAttributeUint32(&m_fXtalMHz, kav::sid::SPEED_XTAL_FREQUENCY_MHZ, *node, false);
  return rc;
}

BaseErrorData PllSpeedAccessPatternBased::init(initSequence::Id_t step) {
  BaseErrorData rc = PllSpeedAccess::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int converters = 0;
  unsigned int accesses = 0;
  KavPtr<SpeedPatternConverter> converter = singleChild<SpeedPatternConverter>(*this, converters);
  KavPtr<PllPatternAccess> access = singleChild<PllPatternAccess>(*this, accesses);
  IFOSGuard<const QueryBase> guard(*this);
  m_pSpeedPatternConverter = converter;
  m_pPatternAccess = access;
  if (converter == nullptr) {
    KAV_TRACE(KAVE, "PllSpeedAccessPatternBased: no single converter slot=0x%08X count=%u", getSlotId(), converters);
    rc = kNotLinked;
  }
  if (access == nullptr) {
    KAV_TRACE(KAVE, "PllSpeedAccessPatternBased: no single pattern access slot=0x%08X count=%u", getSlotId(),
              accesses);
    rc = kNotLinked;
  }
  return rc;
}

BaseErrorData PllSpeedAccessPatternBased::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pSpeedPatternConverter = KavPtr<SpeedPatternConverter>();
    m_pPatternAccess = KavPtr<PllPatternAccess>();
  }
  return PllSpeedAccess::terminate(step);
}

void PllSpeedAccessPatternBased::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    os << "<class className=\"PllSpeedAccessPatternBased\">\n";
    os << "<parameter name=\"m_fXtalMHz\" value=\"" << m_fXtalMHz << "\"/>\n";
    os << "<parameter name=\"m_pSpeedPatternConverter\" value=\"" << m_pSpeedPatternConverter.asString() << "\"/>\n";
    os << "<parameter name=\"m_pPatternAccess\" value=\"" << m_pPatternAccess.asString() << "\"/>\n";
    os << "</class>\n";
  }
  PllSpeedAccess::dumpXml(os);
}

unsigned int PllSpeedAccessPatternBased::getInputFrequencyInKhz() const {
  const uint64_t khz = static_cast<uint64_t>(m_fXtalMHz) * 1000u;
  return khz > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(khz);
}

KavPtr<SpeedPatternConverter> PllSpeedAccessPatternBased::getSpeedPatternConverter() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pSpeedPatternConverter;
}

KavPtr<PllPatternAccess> PllSpeedAccessPatternBased::getPatternAccess() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pPatternAccess;
}

ErrorData PllSpeedAccessPatternBased::readPattern(unsigned int& bits) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pPatternAccess == nullptr) return failure(kNotLinked, "no pattern access");
  return m_pPatternAccess->readPattern(bits);
}

ErrorData PllSpeedAccessPatternBased::writePattern(unsigned int bits) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pPatternAccess == nullptr) return failure(kNotLinked, "no pattern access");
  return m_pPatternAccess->writePattern(bits);
}

ErrorData PllSpeedAccessPatternBased::convertPllBitsToPllSpeedPattern(unsigned int bits, PllSpeedPattern& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pSpeedPatternConverter == nullptr) return failure(kNotLinked, "no speed-pattern converter");
  return m_pSpeedPatternConverter->initializePllSpeedPatternForPattern(getInputFrequencyInKhz(), bits, pattern);
}

ErrorData PllSpeedAccessPatternBased::getPossibleRangesForCycleTime(unsigned int cycleTimePs,
                                                                    PllSpeedPatternList& list) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pSpeedPatternConverter == nullptr) return failure(kNotLinked, "no speed-pattern converter");
  return m_pSpeedPatternConverter->getPossibleRangesForCycleTime(getInputFrequencyInKhz(), cycleTimePs, list);
}

ErrorData PllSpeedAccessPatternBased::readSpeed(PllSpeedPattern& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int bits = 0;
  ErrorData rc = readPattern(bits);
  if (rc == 0) rc = convertPllBitsToPllSpeedPattern(bits, pattern);
  return rc;
}

ErrorData PllSpeedAccessPatternBased::readSpeed(unsigned int& cycleTimePs) {
  IFOSGuard<const QueryBase> guard(*this);
  PllSpeedPattern pattern;
  ErrorData rc = readSpeed(pattern);
  if (rc == 0) rc = pattern.getOutputCyletimeInPicoSeconds(cycleTimePs);
  return rc;
}

ErrorData PllSpeedAccessPatternBased::convertCycleTimeToPllBits(unsigned int cycleTimePs, PllSpeedPattern& newPattern,
                                                                const PllSpeedPattern& current) {
  IFOSGuard<const QueryBase> guard(*this);
  PllSpeedPatternList candidates;
  const ErrorData rc = getPossibleRangesForCycleTime(cycleTimePs, candidates);
  PllSpeedPattern chosen = candidates.getForSameRange(current);
  if (!chosen.isInit()) chosen = candidates.getFirstMatchingRange();
  newPattern = chosen;
  return rc;
}

ErrorData PllSpeedAccessPatternBased::writeSpeed(unsigned int cycleTimePs) {
  IFOSGuard<const QueryBase> guard(*this);
  PllSpeedPattern current;
  PllSpeedPattern target;
  ErrorData rc = readSpeed(current);
  if (rc == 0) rc = convertCycleTimeToPllBits(cycleTimePs, target, current);
  if (rc == 0) rc = writeSpeed(target);
  KAV_TRACE_STR(KAVT, "PllSpeedAccessPatternBased::writeSpeed %s slot=0x%08X ct=%u rc=0x%08X", target.asString(),
                getSlotId(), cycleTimePs, rc.getRc());
  return rc;
}

ErrorData PllSpeedAccessPatternBased::isSpreadingEnabled(bool& enabled) {
  IFOSGuard<const QueryBase> guard(*this);
  enabled = false;
  if (m_pPatternAccess == nullptr) return failure(kNotLinked, "no pattern access");
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int amount = 0;
  ErrorData rc = m_pPatternAccess->readSpreadingMode(direction, amount);
  if (rc == kFruNotActive) return ErrorData();
  if (rc == 0) enabled = direction != kavosc::SPREADING_OFF;
  return rc;
}

ErrorData PllSpeedAccessPatternBased::writeSpeed(PllSpeedPattern pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  // An uninitialised pattern has no bits (0 would read back as the
  // default pattern): nothing to write.
  if (!pattern.isInit()) return failure(kUninitialised, "pattern not initialised");
  bool enabled = false;
  ErrorData rc = isSpreadingEnabled(enabled);
  if (rc == 0) rc = writePattern(pattern.getPllPattern());
  return rc;
}

ErrorData PllSpeedAccessPatternBased::writeSpreadingPercentage(kavosc::SpreadingDirection_t direction,
                                                               unsigned int tenthsOfPercent) {
  IFOSGuard<const QueryBase> guard(*this);
  PllSpeedPattern pattern;
  ErrorData rc = readSpeed(pattern);
  if (rc != 0) return rc;
  unsigned int counter = 0;
  rc = pattern.convertVariationPercentageToCounter(tenthsOfPercent, counter);
  if (rc == 0 && (direction == kavosc::SPREADING_CENTER || direction == kavosc::SPREADING_DOWN))
    rc = pattern.decSpeed(counter);
  if (rc == 0 && (direction == kavosc::SPREADING_CENTER || direction == kavosc::SPREADING_UP))
    rc = pattern.incSpeed(counter);
  if (rc == 0) rc = m_pPatternAccess == nullptr ? failure(kNotLinked, "no pattern access")
                                                : m_pPatternAccess->writeSpreadingMode(direction, counter);
  KAV_TRACE(KAVT, "PllSpeedAccessPatternBased::writeSpreadingPercentage dir=%u amount=%u counter=%u slot=0x%08X rc=0x%08X",
            static_cast<unsigned int>(direction), tenthsOfPercent, counter, getSlotId(), rc.getRc());
  return rc;
}

BuildBase* createPllSpeedAccessPatternBased(void*, BaseErrorData&) {
  return (new PllSpeedAccessPatternBased())->getBuildInterface();
}
