// The periodic check of an oscillator control unit for a lost
// synchronisation (the unit's runSynchLostCheck on the job thread).
#ifndef KAV_CLOCK_CHECKSYNCHLOSTJOB_H
#define KAV_CLOCK_CHECKSYNCHLOSTJOB_H

#include "kav/clock/osc/OscControlUnit.h"
#include "kav/runtime/TimedJob.h"
#include "kav/tree/objects/KavPtr.h"

class CheckSynchLostJob : public TimedJob {
 public:
  explicit CheckSynchLostJob(const KavPtr<OscControlUnit>& unit);
  ~CheckSynchLostJob() override;
  // Nothing once the unit is deleted.
  void execute() override;

 private:
  KavPtr<OscControlUnit> m_pUnit;
};

#endif
