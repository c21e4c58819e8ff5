// The power control of a card: its power sequences, the bookkeeping of the
// running sequence (when the card may take its next step, whether it takes
// part, whether its sequence failed) and its activation state.
//
// The activation state, fenced and power-fail flags live in the card's FRU
// state table (the single FruStateTable of the card's container); until the
// card has one, every operation on them answers 0x7000.
#ifndef KAV_CARDS_POWERCONTROL_H
#define KAV_CARDS_POWERCONTROL_H

#include <cstdint>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/PowerControllable.h"
#include "kav/cards/PowerSequence.h"
#include "kav/cards/PowerStep.h"
#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class Container;

class KAV_EXPORT PowerControl : public AtomicBase {
  KAV_TREE_CLASS(PowerControl)

 public:
  typedef PowerControllable::SequenceType_t SequenceType_t;
  // Activation states of a card.
  enum FruActivationState_t : unsigned int {
    DEACTIVATED = 0,
    ACTIVATION_RUNNING = 1,
    ACTIVATED = 2,
    DEACTIVATION_RUNNING = 3
  };
  // m_actionOnFail values.
  enum ActionOnFail_t : unsigned int { ACTION_NONE = 0, ACTION_REPORT = 1, ACTION_POWER_OFF = 2 };

  PowerControl();
  ~PowerControl() override;

  // Action on fail (40: "report" 1, "powerOff" 2, any other 0x7013; default
  // 0), activation sequence name (41; default ENGINE_NONE's id).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3: the enclosing container and its single FRU state table (0x7002
  // when either is missing) and the PowerSequence hidden children by
  // sequence id. Step 9: a state left at 1 or 3 by an interrupted run
  // becomes 0, then the activated-only or deactivated-only init steps run
  // over the container's subtree. Terminate step 1: a card gone from its
  // slot while not deactivated gives 0x701E, logged. Step 5 lets the links
  // go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Runs the sequence for this card alone.
  virtual ErrorData run(unsigned int sequenceId, SequenceType_t type);
  // Runs the activation sequence as power on (activate) or power off
  // (deactivate) over the cards of the container that share this card's
  // slot id, or over all of them; success is logged as an event.
  virtual ErrorData activate(bool all);
  virtual ErrorData deactivate(bool all);

  virtual bool hasPowerSequence(unsigned int sequenceId, SequenceType_t type) const;
  virtual KavPtr<PowerSequence> getPowerSequence(unsigned int sequenceId, SequenceType_t type) const;
  virtual KavPtr<PowerStep> getPowerStep(unsigned int sequenceId, SequenceType_t type, unsigned int stepNr) const;

  // Activation bookkeeping (FRU state table).
  virtual ErrorData setActivationState(FruActivationState_t state);
  virtual ErrorData getActivationState(FruActivationState_t& state);
  virtual ErrorData getFencedFlag(bool& flag);
  virtual ErrorData setFencedFlag();
  virtual ErrorData resetFencedFlag();
  virtual ErrorData getPowerFailFlag(bool& flag);
  virtual ErrorData setPowerFailFlag();
  virtual ErrorData resetPowerFailFlag();

  // Step bookkeeping of the running sequence, in milliseconds of s_clock.
  void resetWaitTime();
  void setDelayToNextStep(unsigned int ms);
  uint64_t getTimeForNextStep() const { return m_timeForNextStep; }
  void setStepPerformed() { m_stepPerformed = true; }
  void resetStepPerformed() { m_stepPerformed = false; }
  bool getStepPerformed() const { return m_stepPerformed; }
  void setPowerSequenceFailed() { m_powerSequenceFailed = true; }
  void resetPowerSequenceFailed() { m_powerSequenceFailed = false; }
  bool getPowerSequenceFailed() const { return m_powerSequenceFailed; }
  unsigned int getActionOnFail() const { return m_actionOnFail; }
  unsigned int getActivateDeactivateSequence() const { return m_activateDeactivateSequence; }
  KavPtr<Container> getContainer() const;

  // The process-wide clock of the step times.
  static IFOSRcHighResolutionClock s_clock;
  static uint64_t nowMs() { return s_clock.getElapsedMilliSeconds(); }

 private:
  ErrorData activateDeactivate(bool all, SequenceType_t type);
  BaseErrorData initPowerState();
  BaseErrorData checkForUnexpectedFruRemove();
  KavPtr<FruStateTable> stateTable() const;

  uint64_t m_timeForNextStep;
  bool m_stepPerformed;
  bool m_powerSequenceFailed;
  unsigned int m_activateDeactivateSequence;
  unsigned int m_actionOnFail;
  KavPtr<Container> m_pContainer;
  KavPtr<FruStateTable> m_pFruStateTable;
  // Terminate step 1 runs when the card's content is marked deleted and
  // again when it is torn down: the removal is checked (and logged) once.
  bool m_removalChecked;
  kavstl::map<unsigned int, KavPtr<PowerSequence> > m_elementMap;
};

extern "C" KAV_EXPORT BuildBase* createPowerControl(void* argument, BaseErrorData& error);

#endif
