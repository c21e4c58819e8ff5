// An event of this process over a condition variable on the monotonic
// clock. A posted event stays posted until resetEvent().
#ifndef KAV_RUNTIME_IFOSRCLOCALEVENT_H
#define KAV_RUNTIME_IFOSRCLOCALEVENT_H

#include <pthread.h>

#include "kav/runtime/IFOSRcEvent.h"

class IFOSRcLocalEvent : public IFOSRcEvent {
 public:
  explicit IFOSRcLocalEvent(IFOSEventState state = IFOS_EVENT_RESET, unsigned long* rc = nullptr);
  ~IFOSRcLocalEvent() override;

  unsigned long postEvent() override;
  unsigned long resetEvent() override;
  // 0 when posted, 2000 on time-out, 9999 on other failures.
  unsigned long waitEvent(long timeoutMs = -1) override;

 private:
  pthread_cond_t m_cond;
  pthread_mutex_t m_mutex;
  int m_state;  // 1 reset, 0 posted
  bool m_valid;
};

#endif
