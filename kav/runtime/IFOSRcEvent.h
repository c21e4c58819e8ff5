// An event of the OS layer: posted or reset; waiting returns once posted.
#ifndef KAV_RUNTIME_IFOSRCEVENT_H
#define KAV_RUNTIME_IFOSRCEVENT_H

#include "kav/runtime/IFOSReturnCodes.h"

// State of a new event.
enum IFOSEventState { IFOS_EVENT_POSTED = 0, IFOS_EVENT_RESET = 1 };

class IFOSRcEvent {
 public:
  IFOSRcEvent() {}
  IFOSRcEvent(const IFOSRcEvent&) = delete;
  IFOSRcEvent& operator=(const IFOSRcEvent&) = delete;
  virtual ~IFOSRcEvent() {}

  virtual unsigned long postEvent() = 0;
  virtual unsigned long resetEvent() = 0;
  // timeoutMs -1 waits without limit; 2000 on time-out.
  virtual unsigned long waitEvent(long timeoutMs) = 0;
};

#endif
