// One complete PLL setting as a value: reference frequency, VCO window,
// feedback-divider mask and counter N, output-divider mask and the selected
// output range. Holds the frequency and cycle-time arithmetic and the
// counter steps of steering and spreading. Not a tree object; copies are
// unshared.
//
// Derived values:
//   pattern bits  = (range value & output mask) | (N & feedback mask)
//   VCO (kHz)     = reference x N
//   output (kHz)  = (VCO x range multiplier + range divider / 2) / range divider
//                   (0 without a range)
//   cycle time(f) = (f / 2 + 1000000000) / f ps, 0xFFFFFFFF for f = 0
//
// Arithmetic: every product is formed in 64 bits, so that no intermediate
// value wraps (the counter step check multiplies the VCO by the range
// multiplier and by 1000, which passes 2^32 from a VCO of 4.29 GHz on: in
// 32 bits a speed above that would be judged by a wrapped number). Where 32
// bits do not overflow the results are those of 32-bit arithmetic. A result
// that does not fit the 32-bit interface (only with configurations far
// outside any real device) is returned as 0xFFFFFFFF.
#ifndef KAV_CLOCK_PLLSPEEDPATTERN_H
#define KAV_CLOCK_PLLSPEEDPATTERN_H

#include <cstdint>

#include "kav/clock/speed/FrequencyRange.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT PllSpeedPattern {
 public:
  // Uninitialised: all numbers 0, no range.
  PllSpeedPattern();
  PllSpeedPattern(const PllSpeedPattern& other);
  PllSpeedPattern& operator=(const PllSpeedPattern& other);
  ~PllSpeedPattern();

  // Stores the seven values and marks the pattern initialised; an
  // initialised pattern is left as it is (0x700C). When the resulting
  // pattern bits are non-zero the VCO frequency is checked against the VCO
  // window (0x7242) and the output frequency against the range (0x7243);
  // the values stay stored when a check fails. An N that the feedback bits
  // cannot hold (a bit outside a non-zero feedback mask) fails the VCO
  // check too: the chip would run at another N.
  ErrorData initializeValues(unsigned int referenceKhz, unsigned int vcoMinKhz, unsigned int vcoMaxKhz,
                             unsigned int feedbackDividerMask, unsigned int feedbackDivider,
                             unsigned int outputDividerMask, KavPtr<FrequencyRange> range);

  bool isInit() const { return m_init; }
  unsigned int getPllPattern() const;
  unsigned int getReferenceFrequencyInKhz() const { return m_referenceKhz; }
  unsigned int getVcoMinInKhz() const { return m_vcoMinKhz; }
  unsigned int getVcoMaxInKhz() const { return m_vcoMaxKhz; }
  unsigned int getFeedbackDividerMask() const { return m_feedbackDividerMask; }
  unsigned int getFeedbackDivider() const { return m_feedbackDivider; }
  unsigned int getOutputDividerMask() const { return m_outputDividerMask; }
  KavPtr<FrequencyRange> getFrequencyRange() const { return m_range; }

  // reference x N.
  unsigned int calculateVcoFrequencyInKhz() const;
  // 0 without a range.
  unsigned int calculateOutputFrequencyInKhz() const;
  // The cycle time of a frequency (rounded); 0xFFFFFFFF for 0.
  static unsigned int calculateOutputCyletimeInPicoSeconds(unsigned int frequencyKhz);

  // 0x700B when uninitialised (the argument is then left alone).
  ErrorData getOutputFrequencyInKhz(unsigned int& frequencyKhz) const;
  ErrorData getOutputCyletimeInPicoSeconds(unsigned int& cycleTimePs) const;

  // The range's window (0 without a range), and the cycle times of its
  // ends: the minimal cycle time is that of the maximal frequency.
  unsigned int getMinimalOutputFrequencyInKhz() const;
  unsigned int getMaximalOutputFrequencyInKhz() const;
  unsigned int getMinimalOutputCyletimeInPicoSeconds() const;
  unsigned int getMaximalOutputCyletimeInPicoSeconds() const;

  // N + steps / N - steps, only when the VCO at the new N lies in the VCO
  // window (0x7242) and the output frequency in the range (0x7243); N stays
  // otherwise. A step below N = 0, or to an N the feedback bits cannot
  // hold, is outside the VCO window (0x7242).
  // Uninitialised: 0x700B.
  ErrorData incSpeed(unsigned int steps);
  ErrorData decSpeed(unsigned int steps);
  // counter = (N x tenthsOfPercent + 500) / 1000. Uninitialised: 0x700B.
  ErrorData convertVariationPercentageToCounter(unsigned int tenthsOfPercent, unsigned int& counter) const;

  // Both uninitialised, or both initialised with equal reference, VCO
  // window and ranges of equal values.
  bool isSameRange(const PllSpeedPattern& other) const;
  // Same range and equal / greater / smaller N; patterns of different
  // ranges are neither equal nor ordered.
  bool operator==(const PllSpeedPattern& other) const;
  bool operator!=(const PllSpeedPattern& other) const;
  bool operator<(const PllSpeedPattern& other) const;
  bool operator<=(const PllSpeedPattern& other) const;
  bool operator>(const PllSpeedPattern& other) const;
  bool operator>=(const PllSpeedPattern& other) const;

  // "Pattern: 00000A80; Frequency: F4240 kHz; CycleTime: 3E8 pico seconds"
  // or "Pattern: not initialized".
  kavstl::string asString() const;
  // The slot id of the range object (0 without a range).
  unsigned int getReferencedSlotId() const;

  // The 64-bit forms behind the 32-bit results.
  uint64_t vcoFrequency64() const;
  uint64_t outputFrequency64() const;

 private:
  // The counter-step check at N': 0, 0x7242 or 0x7243.
  unsigned int checkCounter(uint64_t counter) const;
  ErrorData stepFailure(unsigned int code, char sign, unsigned int steps) const;

  bool m_init;
  unsigned int m_referenceKhz;
  unsigned int m_vcoMinKhz;
  unsigned int m_vcoMaxKhz;
  unsigned int m_feedbackDividerMask;
  unsigned int m_feedbackDivider;
  unsigned int m_outputDividerMask;
  KavPtr<FrequencyRange> m_range;
};

#endif
