// A hardware object that takes part in power sequencing: a power step
// switches one of its signals by name. Devices that need no switching only
// trace and succeed.
#ifndef KAV_CARDS_POWERCONTROLLABLE_H
#define KAV_CARDS_POWERCONTROLLABLE_H

#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PowerControllable : public AtomicBase {
  KAV_TREE_CLASS(PowerControllable)

 public:
  // Kind of a power sequence: 0 power on, 1 power off, 2 other.
  enum SequenceType_t : unsigned int { POWER_ON = 0, POWER_OFF = 1, OTHER = 2 };

  PowerControllable();
  ~PowerControllable() override;

  // Whether the object is ready for the sequence; succeeds by default.
  virtual ErrorData checkPrecondition(unsigned int sequenceId, SequenceType_t type);
  // Switches the signal signalName to the position switchId.
  virtual ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) = 0;
};

#endif
