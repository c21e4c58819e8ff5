// Running a power sequence over several cards at once: every card performs
// step n before any starts step n + 1, and each card keeps its own delays.
#ifndef KAV_CARDS_POWERSEQUENCEUTIL_H
#define KAV_CARDS_POWERSEQUENCEUTIL_H

#include "kav/cards/PowerControllable.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/start/ExecList.h"

class PowerControl;

class KAV_EXPORT PowerSequenceUtil {
 public:
  // Holds all cards for the run (a refused access is returned at once),
  // asks every power-controllable object of the tree whether it is ready
  // (a refusal is returned with nothing changed), then prepares the cards,
  // performs the steps in ascending order and sets the activation states.
  // The first error is returned.
  static ErrorData executePowerSequence(ExecList<PowerControl> cards, unsigned int sequenceId,
                                        PowerControllable::SequenceType_t type);
  // checkPrecondition of every element; the first error is kept.
  static ErrorData preconditionsCheck(const ExecList<PowerControllable>& list, unsigned int sequenceId,
                                      PowerControllable::SequenceType_t type);
};

#endif
