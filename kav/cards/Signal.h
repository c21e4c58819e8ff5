// One switch of a power step: puts the signal named by this object's instance
// id of a power-controllable target to a position (the switch id). The target
// is the object of the card's container whose instance name is the target
// instance name; it is looked up at the first switch and kept.
#ifndef KAV_CARDS_SIGNAL_H
#define KAV_CARDS_SIGNAL_H

#include "kav/cards/PowerControllable.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class Container;

class KAV_EXPORT Signal : public QueryBase {
  KAV_TREE_CLASS(Signal)

 public:
  Signal();
  ~Signal() override;

  // Switch id (226), target instance name (228), ignore-error flag (109, optional).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 5 lets the target go.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Under the signal's lock: finds the target when none is held (0x7002 when
  // the container's subtree has no single one), then switches it. A failure
  // of the target is returned unless errors are ignored, then only traced.
  virtual ErrorData switchSignal(KavPtr<Container> container);

  unsigned int getSwitchId() const { return m_switchId; }
  unsigned int getTargetInstanceId() const { return m_targetInstanceId; }
  bool getIgnoreError() const { return m_ignoreError; }

 private:
  unsigned int m_switchId;
  unsigned int m_targetInstanceId;
  bool m_ignoreError;
  KavPtr<PowerControllable> m_targetObject;
};

extern "C" KAV_EXPORT BuildBase* createSignal(void* argument, BaseErrorData& error);

#endif
