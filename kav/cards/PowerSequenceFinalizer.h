// Last phase of a power sequence run: the activation state of every card that
// took part. A card whose power on failed and that is to be switched off
// then runs the power-off sequence of the same name in finalize().
#ifndef KAV_CARDS_POWERSEQUENCEFINALIZER_H
#define KAV_CARDS_POWERSEQUENCEFINALIZER_H

#include "kav/cards/PowerControl.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionExecutor.h"
#include "kav/tree/objects/kavstl.h"

class PowerSequenceFinalizer : public FunctionExecutor<PowerControl, ErrorData> {
 public:
  // stepsRc: the result of the steps, the run's error so far.
  PowerSequenceFinalizer(unsigned int sequenceId, PowerControl::SequenceType_t type, const ErrorData& stepsRc);

  ErrorData getReturnValue() override { return m_rc; }
  using FunctionExecutor<PowerControl, ErrorData>::execute;
  void execute(KavPtr<PowerControl> card) override;
  // Switches off the cards put aside by execute().
  void finalize();

 private:
  unsigned int m_sequenceId;
  PowerControl::SequenceType_t m_type;
  ErrorData m_rc;
  kavstl::list<KavPtr<PowerControl> > m_switchOff;
};

#endif
