#include "kav/clock/domain/StartSpreadingExecutor.h"

StartSpreadingExecutor::StartSpreadingExecutor() {}

StartSpreadingExecutor::~StartSpreadingExecutor() {}

ErrorData StartSpreadingExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, kavosc::OscSetMode_t step) {
  return domain->startSpreadingForGivenMode(step);
}
