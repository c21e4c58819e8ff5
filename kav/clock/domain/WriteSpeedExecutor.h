// Writes one PLL speed pattern to every clock domain of a list.
#ifndef KAV_CLOCK_WRITESPEEDEXECUTOR_H
#define KAV_CLOCK_WRITESPEEDEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT WriteSpeedExecutor : public ClockDomainExecutor<void*> {
 public:
  explicit WriteSpeedExecutor(const PllSpeedPattern& pattern);
  ~WriteSpeedExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void* step) override;

 private:
  // Kept by reference: the pattern must outlive the executor.
  const PllSpeedPattern& m_pattern;
};

#endif
