// Elapsed time on the monotonic clock since startClock() (or construction).
#ifndef KAV_RUNTIME_IFOSRCHIGHRESOLUTIONCLOCK_H
#define KAV_RUNTIME_IFOSRCHIGHRESOLUTIONCLOCK_H

#include <cstdint>

class IFOSRcHighResolutionClock {
 public:
  IFOSRcHighResolutionClock();
  virtual ~IFOSRcHighResolutionClock() {}

  void startClock();
  uint64_t getElapsedMilliSeconds() const;
  uint64_t getElapsedMicroSeconds() const;

 private:
  static uint64_t nowMicroSeconds();

  uint64_t m_startMicroSeconds;
};

#endif
