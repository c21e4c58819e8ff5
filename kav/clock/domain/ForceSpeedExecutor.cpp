#include "kav/clock/domain/ForceSpeedExecutor.h"

ForceSpeedExecutor::ForceSpeedExecutor(unsigned int lower, const PllSpeedPattern& pattern, unsigned int upper)
    : m_lower(lower), m_pattern(pattern), m_upper(upper) {}

ForceSpeedExecutor::~ForceSpeedExecutor() {}

ErrorData ForceSpeedExecutor::callClockDomainFunction(KavPtr<ClockDomain> domain, void*) {
  return domain->forcePllSpeedPattern(m_lower, m_pattern, m_upper);
}
