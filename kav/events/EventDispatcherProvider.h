// The two event dispatchers, one per priority.
#ifndef KAV_EVENTS_EVENTDISPATCHERPROVIDER_H
#define KAV_EVENTS_EVENTDISPATCHERPROVIDER_H

#include "kav/tree/objects/KavExport.h"

class EventDispatcher;

// Selects the dispatcher of a source: 0 delivers digital-I/O and
// oscillator events, 1 plug, configuration and component events.
enum Priority_t : int { PRIORITY_0 = 0, PRIORITY_1 = 1 };

class EventDispatcherProvider {
 public:
  static EventDispatcherProvider* getInstance();
  static void destroyInstance();

  // Creates both dispatchers, once.
  void init();
  // Destroys both, once.
  void terminate();
  // Null for a priority other than 0 and 1, and before init.
  EventDispatcher* getEventDispatcher(Priority_t priority);

 private:
  EventDispatcherProvider();
  ~EventDispatcherProvider();

  unsigned char m_initialised;
  EventDispatcher* m_pDispatcher[2];
};

extern "C" {
KAV_EXPORT void initEventDispatcherProvider();
KAV_EXPORT void terminateEventDispatcherProvider();
}

#endif
