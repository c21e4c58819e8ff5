#include "kav/runtime/IFOSRcHighResolutionClock.h"

#include <time.h>

IFOSRcHighResolutionClock::IFOSRcHighResolutionClock() : m_startMicroSeconds(nowMicroSeconds()) {}

uint64_t IFOSRcHighResolutionClock::nowMicroSeconds() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void IFOSRcHighResolutionClock::startClock() { m_startMicroSeconds = nowMicroSeconds(); }

uint64_t IFOSRcHighResolutionClock::getElapsedMilliSeconds() const {
  return (nowMicroSeconds() - m_startMicroSeconds) / 1000u;
}

uint64_t IFOSRcHighResolutionClock::getElapsedMicroSeconds() const { return nowMicroSeconds() - m_startMicroSeconds; }
