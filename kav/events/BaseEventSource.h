// The part of an event source that does not depend on the event type: the
// time-out watch of its deliveries.
#ifndef KAV_EVENTS_BASEEVENTSOURCE_H
#define KAV_EVENTS_BASEEVENTSOURCE_H

#include "kav/runtime/TimeoutServiceRegistrationToken.h"

class BaseEventSource {
 public:
  BaseEventSource(unsigned int logTime, unsigned int abendTime);
  virtual ~BaseEventSource();
  BaseEventSource(const BaseEventSource&) = delete;
  BaseEventSource& operator=(const BaseEventSource&) = delete;

  unsigned int getLogTime() const { return m_logTime; }
  unsigned int getAbendTime() const { return m_abendTime; }

 protected:
  // The caller holds the source's delivery lock.
  // Registers the watch for one delivery unless one is running.
  void startTimeout();
  // Restarts the running watch before a callback; registers anew when the
  // registration has ended meanwhile.
  void resetTimeout();
  // Deletes the watch.
  void stopTimeout();

  TimeoutServiceRegistrationToken* m_pTimeoutToken;
  unsigned int m_registrationId;
  unsigned int m_logTime;
  unsigned int m_abendTime;
};

#endif
