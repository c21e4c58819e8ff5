#include "kav/clock/speed/FrequencyRange.h"

#include <cstdio>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(FrequencyRange, QueryBase)

namespace {
const unsigned int kOutputOutOfRange = 0x7243;
}  // namespace

FrequencyRange::FrequencyRange()
    : m_value(0), m_divider(1), m_multiplier(1), m_outputFreqKhzMin(0), m_outputFreqKhzMax(0) {}

FrequencyRange::~FrequencyRange() {}

BaseErrorData FrequencyRange::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  // Every value is optional: a missing one keeps its default (0x7145 is not
  // an error here); a malformed one is.
  const struct {
    unsigned int* member;
    unsigned int id;
  } values[] = {{&m_value, kav::sid::SPEED_RANGE_VALUE},
                {&m_divider, kav::sid::SPEED_DIVIDER},
                {&m_multiplier, kav::sid::SPEED_MULTIPLIER},
                {&m_outputFreqKhzMin, kav::sid::SPEED_OUTPUT_FREQUENCY_MIN},
                {&m_outputFreqKhzMax, kav::sid::SPEED_OUTPUT_FREQUENCY_MAX}};
  for (const auto& v : values) {
    unsigned int value = *v.member;
    const BaseErrorData r = getAttributeUint32(&value, v.id, *node, true);
    if (r == 0)
      *v.member = value;
    else if (r != 0x7145)
      rc = r;
  }
  if (m_divider == 0) {
    KAV_TRACE(KAVE, "FrequencyRange: divider 0 taken as 1 value=0x%X", m_value);
    m_divider = 1;
  }
  return rc;
}

void FrequencyRange::dumpXml(std::ostream& os) const {
  if (!os) return;
  char value[16];
  std::snprintf(value, sizeof value, "0x%X", m_value);
  os << "<class className=\"FrequencyRange\">\n";
  os << "<parameter name=\"m_value\" value=\"" << value << "\"/>\n";
  os << "<parameter name=\"m_divider\" value=\"" << m_divider << "\"/>\n";
  os << "<parameter name=\"m_multiplier\" value=\"" << m_multiplier << "\"/>\n";
  os << "<parameter name=\"m_outputFreqKhzMin\" value=\"" << m_outputFreqKhzMin << "\"/>\n";
  os << "<parameter name=\"m_outputFreqKhzMax\" value=\"" << m_outputFreqKhzMax << "\"/>\n";
  os << "</class>\n";
  QueryBase::dumpXml(os);
}

bool FrequencyRange::isOutputFrequencyInRange(unsigned int frequencyKhz) const {
  return m_outputFreqKhzMin <= frequencyKhz && frequencyKhz <= m_outputFreqKhzMax;
}

ErrorData FrequencyRange::checkOutputFrequency(unsigned int frequencyKhz) const {
  if (isOutputFrequencyInRange(frequencyKhz)) return ErrorData();
  ErrorData rc(ErrorData::NO_OVERWRITE, kOutputOutOfRange);
  char text[128];
  std::snprintf(text, sizeof text, "output frequency %u kHz outside range 0x%X (%u..%u kHz)", frequencyKhz, m_value,
                m_outputFreqKhzMin, m_outputFreqKhzMax);
  rc << text;
  return rc;
}

bool FrequencyRange::isSameRange(KavPtr<const FrequencyRange> other) const {
  if (other == nullptr) return false;
  return m_value == other->m_value && m_divider == other->m_divider && m_multiplier == other->m_multiplier &&
         m_outputFreqKhzMin == other->m_outputFreqKhzMin && m_outputFreqKhzMax == other->m_outputFreqKhzMax;
}

BuildBase* createFrequencyRange(void*, BaseErrorData&) { return (new FrequencyRange())->getBuildInterface(); }
