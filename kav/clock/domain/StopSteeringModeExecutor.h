// Ends the steering mode of every clock domain of a list.
#ifndef KAV_CLOCK_STOPSTEERINGMODEEXECUTOR_H
#define KAV_CLOCK_STOPSTEERINGMODEEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT StopSteeringModeExecutor : public ClockDomainExecutor<void*> {
 public:
  StopSteeringModeExecutor();
  ~StopSteeringModeExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void* step) override;
};

#endif
