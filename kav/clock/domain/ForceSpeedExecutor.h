// Forces one PLL speed pattern (with the cycle-time bounds of the range it is for) on every clock domain of a list.
#ifndef KAV_CLOCK_FORCESPEEDEXECUTOR_H
#define KAV_CLOCK_FORCESPEEDEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT ForceSpeedExecutor : public ClockDomainExecutor<void*> {
 public:
  ForceSpeedExecutor(unsigned int lower, const PllSpeedPattern& pattern, unsigned int upper);
  ~ForceSpeedExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void* step) override;

 private:
  unsigned int m_lower;
  // Kept by reference: the pattern must outlive the executor.
  const PllSpeedPattern& m_pattern;
  unsigned int m_upper;
};

#endif
