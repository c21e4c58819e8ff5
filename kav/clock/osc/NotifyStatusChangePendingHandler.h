// The job that reports the status changes of a round: it runs the oscillator
// status handler's report on the job thread.
#ifndef KAV_CLOCK_NOTIFYSTATUSCHANGEPENDINGHANDLER_H
#define KAV_CLOCK_NOTIFYSTATUSCHANGEPENDINGHANDLER_H

#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/runtime/TimedJob.h"
#include "kav/tree/objects/KavPtr.h"

class NotifyStatusChangePendingHandler : public TimedJob {
 public:
  explicit NotifyStatusChangePendingHandler(const KavPtr<OscillatorStatusHandler>& handler);
  ~NotifyStatusChangePendingHandler() override;
  void execute() override;

 private:
  KavPtr<OscillatorStatusHandler> m_pHandler;
};

#endif
