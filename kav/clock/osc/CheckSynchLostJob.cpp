#include "kav/clock/osc/CheckSynchLostJob.h"

CheckSynchLostJob::CheckSynchLostJob(const KavPtr<OscControlUnit>& unit) : m_pUnit(unit) {}

CheckSynchLostJob::~CheckSynchLostJob() {}

void CheckSynchLostJob::execute() {
  if (m_pUnit == nullptr || m_pUnit->isDeleted()) return;
  m_pUnit->runSynchLostCheck(getJobId());
}
