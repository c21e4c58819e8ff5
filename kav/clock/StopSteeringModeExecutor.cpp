#include "kav/clock/StopSteeringModeExecutor.h"

StopSteeringModeExecutor::StopSteeringModeExecutor() {}

StopSteeringModeExecutor::~StopSteeringModeExecutor() {}

ErrorData StopSteeringModeExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->stopSteeringMode();
}
