// A clock domain's speed port over a PLL pattern: the single
// SpeedPatternConverter child turns cycle times and patterns into each
// other (its input frequency is the crystal's, xtalFrequencyMHz [95] x
// 1000 kHz), the single PllPatternAccess child stores and programs the
// pattern. A speed change keeps the current output range whenever the
// target fits it, and otherwise takes the first fitting range in
// configuration order.
// Lock order: this object, then the pattern access, then the device.
#ifndef KAV_CLOCK_PLLSPEEDACCESSPATTERNBASED_H
#define KAV_CLOCK_PLLSPEEDACCESSPATTERNBASED_H

#include <ostream>

#include "kav/clock/speed/PllPatternAccess.h"
#include "kav/clock/speed/PllSpeedAccess.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "kav/clock/kavosc.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT PllSpeedAccessPatternBased : public PllSpeedAccess {
  KAV_TREE_CLASS(PllSpeedAccessPatternBased)

 public:
  PllSpeedAccessPatternBased();
  ~PllSpeedAccessPatternBased() override;

  // xtalFrequencyMHz [95].
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 resolves converter and pattern access (each missing or doubled one:
  // 0x7002, traced); terminate 5 lets them go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  void dumpXml(std::ostream& os) const override;

  // The cycle time of the stored pattern.
  ErrorData readSpeed(unsigned int& cycleTimePs) override;
  // The pattern for the cycle time (in the current range when it fits),
  // written through writeSpeed(PllSpeedPattern).
  ErrorData writeSpeed(unsigned int cycleTimePs) override;
  // The stored pattern as a PllSpeedPattern.
  virtual ErrorData readSpeed(PllSpeedPattern& pattern);
  virtual ErrorData readPattern(unsigned int& bits);
  // The spreading mode is read first (an inactive FRU is no error; another
  // read failure is returned and nothing written), then the pattern bits.
  virtual ErrorData writeSpeed(PllSpeedPattern pattern);
  virtual ErrorData writePattern(unsigned int bits);

  // The converter's candidates for the cycle time.
  ErrorData getPossibleRangesForCycleTime(unsigned int cycleTimePs, PllSpeedPatternList& list);
  ErrorData convertPllBitsToPllSpeedPattern(unsigned int bits, PllSpeedPattern& pattern);
  // newPattern: the candidate in current's range, else the first candidate.
  ErrorData convertCycleTimeToPllBits(unsigned int cycleTimePs, PllSpeedPattern& newPattern,
                                      const PllSpeedPattern& current);
  // Only a code: the spreading mode read through the pattern access; an
  // inactive FRU (0x7018) counts as success. enabled: a direction other
  // than off was read.
  ErrorData isSpreadingEnabled(bool& enabled);
  // The counter steps d of the amount around the stored pattern's N are
  // checked against the windows (down for DOWN and CENTER, then up for UP
  // and CENTER, on a working copy), then the pattern access's
  // writeSpreadingMode(direction, d). The pattern is not written.
  ErrorData writeSpreadingPercentage(kavosc::SpreadingDirection_t direction, unsigned int tenthsOfPercent);

  // m_fXtalMHz x 1000.
  unsigned int getInputFrequencyInKhz() const;
  unsigned int getXtalFrequencyMHz() const { return m_fXtalMHz; }
  KavPtr<SpeedPatternConverter> getSpeedPatternConverter() const;
  KavPtr<PllPatternAccess> getPatternAccess() const;

 private:
  unsigned int m_fXtalMHz;
  KavPtr<SpeedPatternConverter> m_pSpeedPatternConverter;
  KavPtr<PllPatternAccess> m_pPatternAccess;
};

extern "C" KAV_EXPORT BuildBase* createPllSpeedAccessPatternBased(void* argument, BaseErrorData& error);

#endif
