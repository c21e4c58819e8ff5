#include "kav/clock/domain/WriteSpreadingValuesExecutor.h"

WriteSpreadingValuesExecutor::WriteSpreadingValuesExecutor(kavosc::SpreadingDirection_t direction, unsigned int value)
    : m_direction(direction), m_value(value) {}

WriteSpreadingValuesExecutor::~WriteSpreadingValuesExecutor() {}

ErrorData WriteSpreadingValuesExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->writeSpreadingValues(m_direction, m_value);
}
