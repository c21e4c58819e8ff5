// The part of a source's ring queue that does not depend on the event type.
// All queues of one dispatcher share the dispatcher's queue mutex, which
// guards the dispatcher's list, the rings, the element states and counters.
#ifndef KAV_EVENTS_EVENTSOURCEBASEQUEUE_H
#define KAV_EVENTS_EVENTSOURCEBASEQUEUE_H

#include <atomic>

class EventDispatcher;
class EventSourceQueueBaseElement;
class IFOSRcLocalMutex;
class SynchEventSynchObject;

class EventSourceBaseQueue {
 public:
  explicit EventSourceBaseQueue(EventDispatcher* dispatcher);
  virtual ~EventSourceBaseQueue();
  virtual void dispatchEvent(EventSourceQueueBaseElement* element) = 0;
  // Hands every stored element, oldest first, to the dispatcher again.
  virtual void reenqueueForDispatching() = 0;

  EventSourceBaseQueue(const EventSourceBaseQueue&) = delete;
  EventSourceBaseQueue& operator=(const EventSourceBaseQueue&) = delete;

  // Takes the queue's elements off the dispatcher (they stay stored) and
  // stores new events without handing them on, until unsuspend().
  void suspend();
  void unsuspend();
  bool isSuspended();

  void lockQueue();
  void unlockQueue();
  EventDispatcher* getDispatcher() const { return m_pDispatcher; }
  SynchEventSynchObject* getSynchObject() const { return m_pSynchObject; }

 protected:
  IFOSRcLocalMutex* m_pQueueMutex;
  EventDispatcher* m_pDispatcher;
  SynchEventSynchObject* m_pSynchObject;
  unsigned char m_suspended;               // under the queue mutex
  std::atomic<unsigned char> m_terminating;
};

#endif
