#include "kav/clock/speed/PllSpeedPattern.h"

#include <cstdio>

namespace {

const unsigned int kUninitialised = 0x700B;
const unsigned int kAlreadyInitialised = 0x700C;
const unsigned int kVcoOutOfRange = 0x7242;
const unsigned int kOutputOutOfRange = 0x7243;
const uint64_t kMax32 = 0xFFFFFFFFu;

unsigned int saturate(uint64_t value) { return value > kMax32 ? 0xFFFFFFFFu : static_cast<unsigned int>(value); }

ErrorData failure(unsigned int code, const char* text) {
  ErrorData rc(ErrorData::NO_OVERWRITE, code);
  if (text != nullptr) rc << text;
  return rc;
}

// (value x multiplier + divider / 2) / divider without an overflow: value
// = a x divider + b gives a x multiplier + (b x multiplier + divider / 2) /
// divider, where b x multiplier fits 64 bits. Saturates at 2^64 - 1.
uint64_t scaleRounded(uint64_t value, unsigned int multiplier, unsigned int divider) {
  if (divider == 0) divider = 1;
  // A 32-bit value (every real VCO) times a 32-bit multiplier fits: one
  // division.
  if (value <= kMax32) return (value * multiplier + divider / 2) / divider;
  const uint64_t a = value / divider;
  const uint64_t b = value % divider;
  const uint64_t low = (b * multiplier + divider / 2) / divider;
  if (multiplier != 0 && a > (~uint64_t(0) - low) / multiplier) return ~uint64_t(0);
  return a * multiplier + low;
}

}  // namespace

PllSpeedPattern::PllSpeedPattern()
    : m_init(false),
      m_referenceKhz(0),
      m_vcoMinKhz(0),
      m_vcoMaxKhz(0),
      m_feedbackDividerMask(0),
      m_feedbackDivider(0),
      m_outputDividerMask(0) {}

PllSpeedPattern::PllSpeedPattern(const PllSpeedPattern& other)
    : m_init(other.m_init),
      m_referenceKhz(other.m_referenceKhz),
      m_vcoMinKhz(other.m_vcoMinKhz),
      m_vcoMaxKhz(other.m_vcoMaxKhz),
      m_feedbackDividerMask(other.m_feedbackDividerMask),
      m_feedbackDivider(other.m_feedbackDivider),
      m_outputDividerMask(other.m_outputDividerMask),
      m_range(other.m_range) {}

PllSpeedPattern& PllSpeedPattern::operator=(const PllSpeedPattern& other) {
  if (this == &other) return *this;
  m_init = other.m_init;
  m_referenceKhz = other.m_referenceKhz;
  m_vcoMinKhz = other.m_vcoMinKhz;
  m_vcoMaxKhz = other.m_vcoMaxKhz;
  m_feedbackDividerMask = other.m_feedbackDividerMask;
  m_feedbackDivider = other.m_feedbackDivider;
  m_outputDividerMask = other.m_outputDividerMask;
  m_range = other.m_range;
  return *this;
}

PllSpeedPattern::~PllSpeedPattern() {}

ErrorData PllSpeedPattern::initializeValues(unsigned int referenceKhz, unsigned int vcoMinKhz, unsigned int vcoMaxKhz,
                                            unsigned int feedbackDividerMask, unsigned int feedbackDivider,
                                            unsigned int outputDividerMask, KavPtr<FrequencyRange> range) {
  if (m_init) return failure(kAlreadyInitialised, "pattern already initialised");
  m_init = true;
  m_referenceKhz = referenceKhz;
  m_vcoMinKhz = vcoMinKhz;
  m_vcoMaxKhz = vcoMaxKhz;
  m_feedbackDividerMask = feedbackDividerMask;
  m_feedbackDivider = feedbackDivider;
  m_outputDividerMask = outputDividerMask;
  m_range = range;
  ErrorData rc;
  if (getPllPattern() == 0) return rc;
  const uint64_t vco = vcoFrequency64();
  const bool counterFits = m_feedbackDividerMask == 0 || (m_feedbackDivider & ~m_feedbackDividerMask) == 0;
  if (vco < m_vcoMinKhz || vco > m_vcoMaxKhz || !counterFits) {
    char text[128];
    std::snprintf(text, sizeof text, "VCO %llu kHz outside %u..%u kHz (N %u)", static_cast<unsigned long long>(vco),
                  m_vcoMinKhz, m_vcoMaxKhz, m_feedbackDivider);
    rc = failure(kVcoOutOfRange, text);
  }
  if (m_range != nullptr) {
    const uint64_t out = outputFrequency64();
    if (out > kMax32)
      rc = failure(kOutputOutOfRange, "output frequency beyond 32 bits");
    else
      rc = m_range->checkOutputFrequency(static_cast<unsigned int>(out));
  }
  return rc;
}

unsigned int PllSpeedPattern::getPllPattern() const {
  const unsigned int rangeBits = m_range != nullptr ? (m_range->getValue() & m_outputDividerMask) : 0;
  return rangeBits | (m_feedbackDivider & m_feedbackDividerMask);
}

uint64_t PllSpeedPattern::vcoFrequency64() const {
  return static_cast<uint64_t>(m_referenceKhz) * m_feedbackDivider;
}

uint64_t PllSpeedPattern::outputFrequency64() const {
  if (m_range == nullptr) return 0;
  return scaleRounded(vcoFrequency64(), m_range->getMultiplier(), m_range->getDivider());
}

unsigned int PllSpeedPattern::calculateVcoFrequencyInKhz() const { return saturate(vcoFrequency64()); }

unsigned int PllSpeedPattern::calculateOutputFrequencyInKhz() const { return saturate(outputFrequency64()); }

unsigned int PllSpeedPattern::calculateOutputCyletimeInPicoSeconds(unsigned int frequencyKhz) {
  if (frequencyKhz == 0) return 0xFFFFFFFFu;
  return static_cast<unsigned int>((static_cast<uint64_t>(frequencyKhz / 2) + 1000000000u) / frequencyKhz);
}

ErrorData PllSpeedPattern::getOutputFrequencyInKhz(unsigned int& frequencyKhz) const {
  if (!m_init) return failure(kUninitialised, "pattern not initialised");
  frequencyKhz = calculateOutputFrequencyInKhz();
  return ErrorData();
}

ErrorData PllSpeedPattern::getOutputCyletimeInPicoSeconds(unsigned int& cycleTimePs) const {
  if (!m_init) return failure(kUninitialised, "pattern not initialised");
  cycleTimePs = calculateOutputCyletimeInPicoSeconds(calculateOutputFrequencyInKhz());
  return ErrorData();
}

unsigned int PllSpeedPattern::getMinimalOutputFrequencyInKhz() const {
  return m_range != nullptr ? m_range->getMinOutputFrequency() : 0;
}

unsigned int PllSpeedPattern::getMaximalOutputFrequencyInKhz() const {
  return m_range != nullptr ? m_range->getMaxOutputFrequency() : 0;
}

unsigned int PllSpeedPattern::getMinimalOutputCyletimeInPicoSeconds() const {
  return calculateOutputCyletimeInPicoSeconds(getMaximalOutputFrequencyInKhz());
}

unsigned int PllSpeedPattern::getMaximalOutputCyletimeInPicoSeconds() const {
  return calculateOutputCyletimeInPicoSeconds(getMinimalOutputFrequencyInKhz());
}

unsigned int PllSpeedPattern::checkCounter(uint64_t counter) const {
  // No counter beyond 32 bits; VCO' = reference x N' then fits 64 bits,
  // and once inside the (32-bit) window, so does multiplier x VCO'.
  if (counter > kMax32) return kVcoOutOfRange;
  // A counter the feedback-divider bits cannot hold would give the chip
  // another N than the one checked.
  if (m_feedbackDividerMask != 0 && (counter & ~static_cast<uint64_t>(m_feedbackDividerMask)) != 0)
    return kVcoOutOfRange;
  const uint64_t vco = static_cast<uint64_t>(m_referenceKhz) * counter;
  if (vco < m_vcoMinKhz || vco > m_vcoMaxKhz) return kVcoOutOfRange;
  if (m_range == nullptr) return 0;
  // out = (multiplier x VCO' x 1000) / divider + 500 (Hz, rounded), judged
  // as out / 1000 kHz. The Part's 32-bit form wraps once multiplier x VCO'
  // passes 4294967 kHz; here multiplier x VCO' (< 2^64) is split by the
  // divider so that the factor 1000 cannot overflow either:
  //   P x 1000 / d = (P / d) x 1000 + (P % d) x 1000 / d.
  const unsigned int divider = m_range->getDivider() == 0 ? 1 : m_range->getDivider();
  const uint64_t product = static_cast<uint64_t>(m_range->getMultiplier()) * vco;
  const uint64_t quotient = product / divider;
  if (quotient > kMax32 + 1) return kOutputOutOfRange;  // beyond any 32-bit window
  const uint64_t outHz = quotient * 1000u + (product % divider) * 1000u / divider + 500u;
  const uint64_t outKhz = outHz / 1000u;
  if (outKhz > kMax32 || !m_range->isOutputFrequencyInRange(static_cast<unsigned int>(outKhz))) return kOutputOutOfRange;
  return 0;
}

ErrorData PllSpeedPattern::incSpeed(unsigned int steps) {
  if (!m_init) return failure(kUninitialised, "pattern not initialised");
  const uint64_t counter = static_cast<uint64_t>(m_feedbackDivider) + steps;
  const unsigned int code = checkCounter(counter);
  if (code != 0) return stepFailure(code, '+', steps);
  m_feedbackDivider = static_cast<unsigned int>(counter);
  return ErrorData();
}

ErrorData PllSpeedPattern::decSpeed(unsigned int steps) {
  if (!m_init) return failure(kUninitialised, "pattern not initialised");
  // Below N = 0 there is no VCO.
  const unsigned int code = steps > m_feedbackDivider ? kVcoOutOfRange : checkCounter(m_feedbackDivider - steps);
  if (code != 0) return stepFailure(code, '-', steps);
  m_feedbackDivider -= steps;
  return ErrorData();
}

ErrorData PllSpeedPattern::stepFailure(unsigned int code, char sign, unsigned int steps) const {
  char text[96];
  std::snprintf(text, sizeof text, "N %u %c %u outside the windows", m_feedbackDivider, sign, steps);
  return failure(code, text);
}

ErrorData PllSpeedPattern::convertVariationPercentageToCounter(unsigned int tenthsOfPercent,
                                                               unsigned int& counter) const {
  if (!m_init) return failure(kUninitialised, "pattern not initialised");
  counter = saturate((static_cast<uint64_t>(m_feedbackDivider) * tenthsOfPercent + 500u) / 1000u);
  return ErrorData();
}

bool PllSpeedPattern::isSameRange(const PllSpeedPattern& other) const {
  if (!m_init && !other.m_init) return true;
  if (!m_init || !other.m_init) return false;
  if (m_referenceKhz != other.m_referenceKhz || m_vcoMinKhz != other.m_vcoMinKhz || m_vcoMaxKhz != other.m_vcoMaxKhz)
    return false;
  if (m_range == nullptr || other.m_range == nullptr) return m_range == nullptr && other.m_range == nullptr;
  return m_range->isSameRange(other.m_range);
}

bool PllSpeedPattern::operator==(const PllSpeedPattern& other) const {
  return isSameRange(other) && m_feedbackDivider == other.m_feedbackDivider;
}

bool PllSpeedPattern::operator!=(const PllSpeedPattern& other) const { return !(*this == other); }

bool PllSpeedPattern::operator<(const PllSpeedPattern& other) const {
  return isSameRange(other) && m_feedbackDivider < other.m_feedbackDivider;
}

bool PllSpeedPattern::operator>(const PllSpeedPattern& other) const {
  return isSameRange(other) && m_feedbackDivider > other.m_feedbackDivider;
}

bool PllSpeedPattern::operator<=(const PllSpeedPattern& other) const { return *this < other || *this == other; }

bool PllSpeedPattern::operator>=(const PllSpeedPattern& other) const { return *this > other || *this == other; }

kavstl::string PllSpeedPattern::asString() const {
  if (!m_init) return kavstl::string("Pattern: not initialized");
  const unsigned int frequency = calculateOutputFrequencyInKhz();
  char text[128];
  std::snprintf(text, sizeof text, "Pattern: %08X; Frequency: %X kHz; CycleTime: %X pico seconds", getPllPattern(),
                frequency, calculateOutputCyletimeInPicoSeconds(frequency));
  return kavstl::string(text);
}

unsigned int PllSpeedPattern::getReferencedSlotId() const {
  return m_range != nullptr ? m_range->getSlotId() : 0;
}
