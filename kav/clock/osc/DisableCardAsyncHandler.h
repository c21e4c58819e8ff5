// The job that disables a failed card on the job thread for the oscillator
// status handler.
#ifndef KAV_CLOCK_DISABLECARDASYNCHANDLER_H
#define KAV_CLOCK_DISABLECARDASYNCHANDLER_H

#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/runtime/TimedJob.h"
#include "kav/tree/objects/KavPtr.h"

class DisableCardAsyncHandler : public TimedJob {
 public:
  DisableCardAsyncHandler(const KavPtr<OscillatorStatusHandler>& handler, unsigned int slotId);
  ~DisableCardAsyncHandler() override;
  // disableCard(slot), a failure logged; then the slot's disable is no
  // longer pending.
  void execute() override;

 private:
  KavPtr<OscillatorStatusHandler> m_pHandler;
  unsigned int m_slotId;
};

#endif
