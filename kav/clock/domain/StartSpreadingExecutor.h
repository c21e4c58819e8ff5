// Starts the recorded spreading of every clock domain of a list that is in the mode given as the step.
#ifndef KAV_CLOCK_STARTSPREADINGEXECUTOR_H
#define KAV_CLOCK_STARTSPREADINGEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT StartSpreadingExecutor : public ClockDomainExecutor<kavosc::OscSetMode_t> {
 public:
  StartSpreadingExecutor();
  ~StartSpreadingExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, kavosc::OscSetMode_t step) override;
};

#endif
