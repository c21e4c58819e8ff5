#include "kav/clock/domain/StartSteeringModeExecutor.h"

StartSteeringModeExecutor::StartSteeringModeExecutor() {}

StartSteeringModeExecutor::~StartSteeringModeExecutor() {}

ErrorData StartSteeringModeExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->startSteeringMode();
}
