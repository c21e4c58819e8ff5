// Puts every clock domain of a list into steering mode.
#ifndef KAV_CLOCK_STARTSTEERINGMODEEXECUTOR_H
#define KAV_CLOCK_STARTSTEERINGMODEEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT StartSteeringModeExecutor : public ClockDomainExecutor<void*> {
 public:
  StartSteeringModeExecutor();
  ~StartSteeringModeExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void* step) override;
};

#endif
