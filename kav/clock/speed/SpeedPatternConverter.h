// The configured description of one clock device type: the window of its
// input frequency, its input pre-scaler (reference = (multiplier x input +
// divider / 2) / divider), its VCO window, the bits of a device pattern
// that select the output range (outputDividerMask) and those that hold the
// feedback divider (feedbackDividerMask; 0: the device has none), and its
// FrequencyRange children. Turns pattern bits into a PllSpeedPattern and a
// cycle time into candidate patterns. A PLL's speed access and a clock
// redundancy chip (for its divider) each have one.
#ifndef KAV_CLOCK_SPEEDPATTERNCONVERTER_H
#define KAV_CLOCK_SPEEDPATTERNCONVERTER_H

#include <cstdint>
#include <ostream>
#include <utility>

#include "kav/clock/speed/FrequencyRange.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT SpeedPatternConverter : public QueryBase {
  KAV_TREE_CLASS(SpeedPatternConverter)

 public:
  // The ranges keyed by their value, in the order of the children; a key
  // added again replaces the range in place.
  typedef kavstl::vector<std::pair<unsigned int, KavPtr<FrequencyRange> > > RangeMap_t;

  SpeedPatternConverter();
  ~SpeedPatternConverter() override;

  // type [233] (a string id), inputFrequencyMinKhz [113],
  // inputFrequencyMaxKhz [112], vcoFrequencyMinKhz [245],
  // vcoFrequencyMaxKhz [244], divider [77] (default 1), multiplier [149]
  // (default 1), outputDividerMask [146], feedbackDividerMask [144]; all
  // optional, others 0. A divider of 0 is taken as 1.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 fills the range map from the FrequencyRange children (none is not an
  // error: every pattern then selects no range).
  BaseErrorData init(initSequence::Id_t step) override;
  // 5 clears the map.
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // The values (masks in hexadecimal) and the map (hexadecimal keys).
  void dumpXml(std::ostream& os) const override;

  unsigned int getTypeId() const { return m_typeId; }
  unsigned int getInputFrequencyMinKhz() const { return m_inputFreqKhzMin; }
  unsigned int getInputFrequencyMaxKhz() const { return m_inputFreqKhzMax; }
  unsigned int getVcoFrequencyMinKhz() const { return m_vcoFreqKhzMin; }
  unsigned int getVcoFrequencyMaxKhz() const { return m_vcoFreqKhzMax; }
  unsigned int getDivider() const { return m_divider; }
  unsigned int getMultiplier() const { return m_multiplier; }
  unsigned int getOutputDividerMask() const { return m_outputDividerMask; }
  unsigned int getFeedbackDividerMask() const { return m_feedbackDividerMask; }

  // The pre-scaled reference frequency of an input frequency (kHz).
  unsigned int getReferenceValue(unsigned int inputKhz) const;
  bool isVcoFrequencyInRange(unsigned int vcoKhz) const;
  // 0x7242 outside the VCO window.
  ErrorData checkVcoFrequency(unsigned int vcoKhz) const;
  // 0x7241 outside the input window.
  ErrorData checkInputFrequency(unsigned int inputKhz) const;

  // The pattern of device bits: the range selected by the output-divider
  // bits (none: 0x7245, the pattern stays uninitialised) and N from the
  // feedback-divider bits (the range's divider without feedback bits).
  ErrorData initializePllSpeedPatternForPattern(unsigned int inputKhz, unsigned int bits,
                                                PllSpeedPattern& pattern) const;
  // The pattern nearest to a cycle time within the given range: N rounded
  // to the nearest counter.
  ErrorData initializePllSpeedPatternForFrequencyRange(unsigned int inputKhz, KavPtr<FrequencyRange> range,
                                                       unsigned int cycleTimePs, PllSpeedPattern& pattern) const;
  // Appends a pattern for each range (in map order) whose output window
  // holds the cycle time's frequency at a VCO inside the VCO window; none:
  // 0x7244. A candidate whose rounded N fails a check is appended all the
  // same and its code returned (first error wins).
  ErrorData getPossibleRangesForCycleTime(unsigned int inputKhz, unsigned int cycleTimePs,
                                          PllSpeedPatternList& list) const;

  // The range with that value (null when none).
  KavPtr<FrequencyRange> getFrequencyRange(unsigned int value) const;
  // A copy of the map.
  RangeMap_t getRangeMap() const;

  // The target output frequency (kHz) of a cycle time, rounded:
  // (ct / 2 + 1000000000) / ct; 0xFFFFFFFF for ct = 0.
  static unsigned int frequencyOfCycleTime(unsigned int cycleTimePs);

 private:
  void fillRangeMap();
  bool vcoInRange64(uint64_t vcoKhz) const;

  unsigned int m_typeId;
  unsigned int m_inputFreqKhzMin;
  unsigned int m_inputFreqKhzMax;
  unsigned int m_vcoFreqKhzMin;
  unsigned int m_vcoFreqKhzMax;
  unsigned int m_divider;
  unsigned int m_multiplier;
  unsigned int m_outputDividerMask;
  unsigned int m_feedbackDividerMask;
  RangeMap_t m_rangeMap;
};

extern "C" KAV_EXPORT BuildBase* createSpeedPatternConverter(void* argument, BaseErrorData& error);

#endif
