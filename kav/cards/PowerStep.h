// One numbered step of a power sequence: its signals, switched in order, and
// the delay the card waits before its next step.
#ifndef KAV_CARDS_POWERSTEP_H
#define KAV_CARDS_POWERSTEP_H

#include "kav/cards/Signal.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class Container;

class KAV_EXPORT PowerStep : public QueryBase {
  KAV_TREE_CLASS(PowerStep)

 public:
  PowerStep();
  ~PowerStep() override;

  // Step number (224), delay in milliseconds (69).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3: the Signal hidden children, keyed 0, 1, 2 ... in child order.
  // Step 5 lets them go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  virtual unsigned int getStepNr() const;
  // Milliseconds, as configured (the caller scales it).
  virtual unsigned int getDelay() const;
  // Switches every signal in key order; the first error is returned.
  virtual ErrorData switchSignals(KavPtr<Container> container);

 private:
  unsigned int m_stepNr;
  unsigned int m_delayMSecs;
  kavstl::map<unsigned int, KavPtr<Signal> > m_signals;
};

extern "C" KAV_EXPORT BuildBase* createPowerStep(void* argument, BaseErrorData& error);

#endif
