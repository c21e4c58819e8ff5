#include "kav/clock/domain/WriteSpeedExecutor.h"

WriteSpeedExecutor::WriteSpeedExecutor(const PllSpeedPattern& pattern) : m_pattern(pattern) {}

WriteSpeedExecutor::~WriteSpeedExecutor() {}

ErrorData WriteSpeedExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->writePllSpeedPattern(m_pattern);
}
