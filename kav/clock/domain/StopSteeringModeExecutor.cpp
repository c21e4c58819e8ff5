#include "kav/clock/domain/StopSteeringModeExecutor.h"

StopSteeringModeExecutor::StopSteeringModeExecutor() {}

StopSteeringModeExecutor::~StopSteeringModeExecutor() {}

ErrorData StopSteeringModeExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->stopSteeringMode();
}
