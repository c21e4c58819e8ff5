// A mutex of the OS layer.
#ifndef KAV_RUNTIME_IFOSRCMUTEX_H
#define KAV_RUNTIME_IFOSRCMUTEX_H

#include "kav/runtime/IFOSReturnCodes.h"

// State of a new mutex: IFOS_MUTEX_LOCKED makes the creator its owner.
enum IFOSMutexState { IFOS_MUTEX_LOCKED = 0, IFOS_MUTEX_UNLOCKED = 1 };

class IFOSRcMutex {
 public:
  IFOSRcMutex() {}
  IFOSRcMutex(const IFOSRcMutex&) = delete;
  IFOSRcMutex& operator=(const IFOSRcMutex&) = delete;
  virtual ~IFOSRcMutex() {}

  virtual unsigned long mutexRelease() = 0;
  // timeoutMs -1 waits without limit; 1000 on time-out.
  virtual unsigned long mutexRequest(long timeoutMs) = 0;
};

#endif
