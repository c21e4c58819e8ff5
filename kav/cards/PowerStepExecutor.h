// Second phase of a power sequence run: one step number at a time over all
// cards. A card whose delay since its previous step has not run out waits;
// the step ends only when every card has performed it.
#ifndef KAV_CARDS_POWERSTEPEXECUTOR_H
#define KAV_CARDS_POWERSTEPEXECUTOR_H

#include <cstdint>

#include "kav/cards/PowerControl.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionLooper.h"
#include "kav/tree/objects/kavstl.h"

class PowerStepExecutor : public FunctionLooper<PowerControl, ErrorData, unsigned int> {
 public:
  PowerStepExecutor(unsigned int sequenceId, PowerControl::SequenceType_t type);

  ErrorData getReturnValue() override { return m_rc; }
  void notifyStepBegin(unsigned int) override {}
  // Performs the card's step now, or puts the card on the waiting list.
  void execute(KavPtr<PowerControl> card, unsigned int stepNr) override;
  // Waits for the waiting cards and performs their step.
  void notifyStepEnd(unsigned int stepNr) override;

 private:
  unsigned int m_sequenceId;
  PowerControl::SequenceType_t m_type;
  ErrorData m_rc;
  uint64_t m_latestWaitingTime;
  kavstl::list<KavPtr<PowerControl> > m_waiting;
};

#endif
