// One output-divider setting of a clock device (a PLL's or a clock
// redundancy chip's): the bits that select it in a device pattern (value),
// the divider and multiplier between the device's VCO and its output
// (output = VCO x multiplier / divider) and the inclusive window of output
// frequencies (kHz) it may produce. A child of a SpeedPatternConverter.
// Its values are configuration: set once by setAttributes before the
// object is published, never changed afterwards, so they are read without
// the lock.
#ifndef KAV_CLOCK_FREQUENCYRANGE_H
#define KAV_CLOCK_FREQUENCYRANGE_H

#include <ostream>

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT FrequencyRange : public QueryBase {
  KAV_TREE_CLASS(FrequencyRange)

 public:
  FrequencyRange();
  ~FrequencyRange() override;

  // value [240] (default 0), divider [77] (1), multiplier [149] (1),
  // outputFrequencyMinKhz [171] (0), outputFrequencyMaxKhz [170] (0); each
  // optional. A divider of 0 is taken as 1 (traced): it would divide by
  // zero.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // The five values (the value in hexadecimal), then the base's rows.
  void dumpXml(std::ostream& os) const override;

  unsigned int getValue() const { return m_value; }
  unsigned int getDivider() const { return m_divider; }
  unsigned int getMultiplier() const { return m_multiplier; }
  unsigned int getMinOutputFrequency() const { return m_outputFreqKhzMin; }
  unsigned int getMaxOutputFrequency() const { return m_outputFreqKhzMax; }

  // min <= f <= max.
  bool isOutputFrequencyInRange(unsigned int frequencyKhz) const;
  // 0x7243 when not in range.
  ErrorData checkOutputFrequency(unsigned int frequencyKhz) const;
  // All five values equal; false for a null range.
  bool isSameRange(KavPtr<const FrequencyRange> other) const;

 private:
  unsigned int m_value;
  unsigned int m_divider;
  unsigned int m_multiplier;
  unsigned int m_outputFreqKhzMin;
  unsigned int m_outputFreqKhzMax;
};

extern "C" KAV_EXPORT BuildBase* createFrequencyRange(void* argument, BaseErrorData& error);

#endif
