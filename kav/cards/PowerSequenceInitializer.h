// First phase of a power sequence run: prepares every card and collects the
// step numbers of all of them.
#ifndef KAV_CARDS_POWERSEQUENCEINITIALIZER_H
#define KAV_CARDS_POWERSEQUENCEINITIALIZER_H

#include "kav/cards/PowerControl.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionExecutor.h"
#include "kav/tree/objects/kavstl.h"

class PowerSequenceInitializer : public FunctionExecutor<PowerControl, ErrorData> {
 public:
  PowerSequenceInitializer(unsigned int sequenceId, PowerControl::SequenceType_t type);

  ErrorData getReturnValue() override { return m_rc; }
  using FunctionExecutor<PowerControl, ErrorData>::execute;
  // Clears the card's step bookkeeping; a card with the sequence adds its
  // steps and, when it has any, takes part: its activation state becomes
  // "activation running" (power on, fenced and power-fail flags cleared) or
  // "deactivation running" (power off).
  void execute(KavPtr<PowerControl> card) override;

  const kavstl::set<unsigned int>& getPowerSteps() const { return m_steps; }

 private:
  unsigned int m_sequenceId;
  PowerControl::SequenceType_t m_type;
  ErrorData m_rc;
  kavstl::set<unsigned int> m_steps;
};

#endif
