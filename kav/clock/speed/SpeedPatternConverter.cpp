#include "kav/clock/speed/SpeedPatternConverter.h"

#include <cstdio>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(SpeedPatternConverter, QueryBase)

namespace {

const unsigned int kMissingAttribute = 0x7145;
const unsigned int kInputOutOfRange = 0x7241;
const unsigned int kVcoOutOfRange = 0x7242;
const unsigned int kNoRangeForCycleTime = 0x7244;
const unsigned int kNoRangeForBits = 0x7245;

ErrorData failure(unsigned int code, const char* text) {
  ErrorData rc(ErrorData::NO_OVERWRITE, code);
  rc << text;
  return rc;
}

}  // namespace

SpeedPatternConverter::SpeedPatternConverter()
    : m_typeId(0),
      m_inputFreqKhzMin(0),
      m_inputFreqKhzMax(0),
      m_vcoFreqKhzMin(0),
      m_vcoFreqKhzMax(0),
      m_divider(1),
      m_multiplier(1),
      m_outputDividerMask(0),
      m_feedbackDividerMask(0) {}

SpeedPatternConverter::~SpeedPatternConverter() {}

BaseErrorData SpeedPatternConverter::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  unsigned int type = 0;
  const BaseErrorData typeRc = getAttributeStringId(&type, kav::sid::SPEED_CONVERTER_TYPE, *node, true);
  if (typeRc == 0) m_typeId = type;
  const struct {
    unsigned int* member;
    unsigned int id;
  } values[] = {{&m_inputFreqKhzMin, kav::sid::SPEED_INPUT_FREQUENCY_MIN},
                {&m_inputFreqKhzMax, kav::sid::SPEED_INPUT_FREQUENCY_MAX},
                {&m_vcoFreqKhzMin, kav::sid::SPEED_VCO_FREQUENCY_MIN},
                {&m_vcoFreqKhzMax, kav::sid::SPEED_VCO_FREQUENCY_MAX},
                {&m_divider, kav::sid::SPEED_DIVIDER},
                {&m_multiplier, kav::sid::SPEED_MULTIPLIER},
                {&m_outputDividerMask, kav::sid::SPEED_OUTPUT_DIVIDER_MASK},
                {&m_feedbackDividerMask, kav::sid::SPEED_FEEDBACK_DIVIDER_MASK}};
  for (const auto& v : values) {
    unsigned int value = *v.member;
    const BaseErrorData r = getAttributeUint32(&value, v.id, *node, true);
    if (r == 0)
      *v.member = value;
    else if (r != kMissingAttribute)
      rc = r;
  }
  if (m_divider == 0) {
    KAV_TRACE(KAVE, "SpeedPatternConverter: divider 0 taken as 1 slot=0x%08X", getSlotId());
    m_divider = 1;
  }
  return rc;
}

BaseErrorData SpeedPatternConverter::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) fillRangeMap();
  return rc;
}

BaseErrorData SpeedPatternConverter::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_rangeMap.clear();
  }
  return QueryBase::terminate(step);
}

void SpeedPatternConverter::fillRangeMap() {
  RangeMap_t map;
  for (const KavPtr<QueryBase>& child : getChildren()) {
    if (child == nullptr || !child->isInstanceOf(FrequencyRange::staticGetClassId())) continue;
    KavPtr<FrequencyRange> range(child);
    bool replaced = false;
    for (auto& entry : map)
      if (entry.first == range->getValue()) {
        entry.second = range;
        replaced = true;
      }
    if (!replaced) map.push_back(std::make_pair(range->getValue(), range));
  }
  IFOSGuard<const QueryBase> guard(*this);
  m_rangeMap.swap(map);
  KAV_TRACE(KAVT, "SpeedPatternConverter: %u ranges slot=0x%08X", static_cast<unsigned int>(m_rangeMap.size()),
            getSlotId());
}

void SpeedPatternConverter::dumpXml(std::ostream& os) const {
  if (!os) return;
  RangeMap_t map = getRangeMap();
  char text[64];
  os << "<class className=\"SpeedPatternConverter\">\n";
  os << "<parameter name=\"m_typeId\" value=\"" << get_string_by_id(m_typeId) << "\"/>\n";
  os << "<parameter name=\"m_inputFreqKhzMin\" value=\"" << m_inputFreqKhzMin << "\"/>\n";
  os << "<parameter name=\"m_inputFreqKhzMax\" value=\"" << m_inputFreqKhzMax << "\"/>\n";
  os << "<parameter name=\"m_vcoFreqKhzMin\" value=\"" << m_vcoFreqKhzMin << "\"/>\n";
  os << "<parameter name=\"m_vcoFreqKhzMax\" value=\"" << m_vcoFreqKhzMax << "\"/>\n";
  os << "<parameter name=\"m_divider\" value=\"" << m_divider << "\"/>\n";
  os << "<parameter name=\"m_multiplier\" value=\"" << m_multiplier << "\"/>\n";
  std::snprintf(text, sizeof text, "0x%X", m_outputDividerMask);
  os << "<parameter name=\"m_outputDividerMask\" value=\"" << text << "\"/>\n";
  std::snprintf(text, sizeof text, "0x%X", m_feedbackDividerMask);
  os << "<parameter name=\"m_feedbackDividerMask\" value=\"" << text << "\"/>\n";
  os << "<map name=\"m_rangeMap\">\n";
  for (const auto& entry : map) {
    std::snprintf(text, sizeof text, "0x%X", entry.first);
    os << "<entry key=\"" << text << "\" value=\"" << get_string_by_id(entry.second->getInstanceId()) << "\"/>\n";
  }
  os << "</map>\n";
  os << "</class>\n";
  QueryBase::dumpXml(os);
}

unsigned int SpeedPatternConverter::getReferenceValue(unsigned int inputKhz) const {
  // In 64 bits: multiplier x input passes 2^32 for a multiplier above 171
  // at 25 MHz.
  const uint64_t reference = (static_cast<uint64_t>(m_multiplier) * inputKhz + m_divider / 2) / m_divider;
  return reference > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(reference);
}

bool SpeedPatternConverter::vcoInRange64(uint64_t vcoKhz) const {
  return m_vcoFreqKhzMin <= vcoKhz && vcoKhz <= m_vcoFreqKhzMax;
}

bool SpeedPatternConverter::isVcoFrequencyInRange(unsigned int vcoKhz) const { return vcoInRange64(vcoKhz); }

ErrorData SpeedPatternConverter::checkVcoFrequency(unsigned int vcoKhz) const {
  if (isVcoFrequencyInRange(vcoKhz)) return ErrorData();
  char text[96];
  std::snprintf(text, sizeof text, "VCO %u kHz outside %u..%u kHz", vcoKhz, m_vcoFreqKhzMin, m_vcoFreqKhzMax);
  return failure(kVcoOutOfRange, text);
}

ErrorData SpeedPatternConverter::checkInputFrequency(unsigned int inputKhz) const {
  if (m_inputFreqKhzMin <= inputKhz && inputKhz <= m_inputFreqKhzMax) return ErrorData();
  char text[96];
  std::snprintf(text, sizeof text, "input %u kHz outside %u..%u kHz", inputKhz, m_inputFreqKhzMin, m_inputFreqKhzMax);
  KAV_TRACE(KAVE, "SpeedPatternConverter: input %u kHz outside the window slot=0x%08X", inputKhz, getSlotId());
  return failure(kInputOutOfRange, text);
}

unsigned int SpeedPatternConverter::frequencyOfCycleTime(unsigned int cycleTimePs) {
  return PllSpeedPattern::calculateOutputCyletimeInPicoSeconds(cycleTimePs);
}

KavPtr<FrequencyRange> SpeedPatternConverter::getFrequencyRange(unsigned int value) const {
  IFOSGuard<const QueryBase> guard(*this);
  for (const auto& entry : m_rangeMap)
    if (entry.first == value) return entry.second;
  return KavPtr<FrequencyRange>();
}

SpeedPatternConverter::RangeMap_t SpeedPatternConverter::getRangeMap() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_rangeMap;
}

ErrorData SpeedPatternConverter::initializePllSpeedPatternForPattern(unsigned int inputKhz, unsigned int bits,
                                                                     PllSpeedPattern& pattern) const {
  ErrorData rc = checkInputFrequency(inputKhz);
  if (rc != 0) return rc;
  const unsigned int key = m_outputDividerMask & bits;
  KavPtr<FrequencyRange> range = getFrequencyRange(key);
  if (range == nullptr) {
    char text[96];
    std::snprintf(text, sizeof text, "pattern 0x%X: output divider bits 0x%X select no range", bits, key);
    KAV_TRACE(KAVE, "SpeedPatternConverter: bits 0x%X select no range slot=0x%08X", bits, getSlotId());
    return failure(kNoRangeForBits, text);
  }
  const unsigned int counter = m_feedbackDividerMask != 0 ? (m_feedbackDividerMask & bits) : range->getDivider();
  return pattern.initializeValues(getReferenceValue(inputKhz), m_vcoFreqKhzMin, m_vcoFreqKhzMax,
                                  m_feedbackDividerMask, counter, m_outputDividerMask, range);
}

ErrorData SpeedPatternConverter::initializePllSpeedPatternForFrequencyRange(unsigned int inputKhz,
                                                                            KavPtr<FrequencyRange> range,
                                                                            unsigned int cycleTimePs,
                                                                            PllSpeedPattern& pattern) const {
  ErrorData rc = checkInputFrequency(inputKhz);
  if (rc != 0) return rc;
  const unsigned int reference = getReferenceValue(inputKhz);
  const uint64_t target = frequencyOfCycleTime(cycleTimePs);
  // N = (divider x f + X / 2) / X with X = reference x multiplier, in 64
  // bits (divider x f passes 2^32 at divider 128 and 33.6 GHz, X at a
  // reference of 4.29 GHz / multiplier).
  uint64_t counter = 0;
  if (range != nullptr) {
    const uint64_t x = static_cast<uint64_t>(reference) * range->getMultiplier();
    if (x != 0) counter = (static_cast<uint64_t>(range->getDivider()) * target + x / 2) / x;
  }
  if (counter > 0xFFFFFFFFu) counter = 0xFFFFFFFFu;
  return pattern.initializeValues(reference, m_vcoFreqKhzMin, m_vcoFreqKhzMax, m_feedbackDividerMask,
                                  static_cast<unsigned int>(counter), m_outputDividerMask, range);
}

ErrorData SpeedPatternConverter::getPossibleRangesForCycleTime(unsigned int inputKhz, unsigned int cycleTimePs,
                                                               PllSpeedPatternList& list) const {
  ErrorData rc = checkInputFrequency(inputKhz);
  if (rc != 0) return rc;
  const unsigned int target = frequencyOfCycleTime(cycleTimePs);
  // The whole walk under the lock: the map is not copied.
  IFOSGuard<const QueryBase> guard(*this);
  for (const auto& entry : m_rangeMap) {
    const KavPtr<FrequencyRange>& range = entry.second;
    const unsigned int multiplier = range->getMultiplier() == 0 ? 1 : range->getMultiplier();
    const uint64_t vco = (static_cast<uint64_t>(range->getDivider()) * target + multiplier / 2) / multiplier;
    if (!range->isOutputFrequencyInRange(target) || !vcoInRange64(vco)) continue;
    PllSpeedPattern pattern;
    rc = initializePllSpeedPatternForFrequencyRange(inputKhz, range, cycleTimePs, pattern);
    list.addPllSpeedPattern(pattern);
  }
  if (list.elementCount() == 0) {
    char text[96];
    std::snprintf(text, sizeof text, "no range gives the cycle time %u ps (%u kHz)", cycleTimePs, target);
    KAV_TRACE(KAVE, "SpeedPatternConverter: no range for %u ps slot=0x%08X", cycleTimePs, getSlotId());
    rc = failure(kNoRangeForCycleTime, text);
  }
  return rc;
}

BuildBase* createSpeedPatternConverter(void*, BaseErrorData&) {
  return (new SpeedPatternConverter())->getBuildInterface();
}
