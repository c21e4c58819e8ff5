#include "kav/clock/domain/StopSpreadingExecutor.h"

StopSpreadingExecutor::StopSpreadingExecutor() {}

StopSpreadingExecutor::~StopSpreadingExecutor() {}

ErrorData StopSpreadingExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, kavosc::OscSetMode_t step) {
  return domain->stopSpreadingForGivenMode(step);
}
