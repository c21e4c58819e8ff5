// A thread that delivers the queued events of every source bound to it,
// one at a time, strictly in the order in which they were appended.
#ifndef KAV_EVENTS_EVENTDISPATCHER_H
#define KAV_EVENTS_EVENTDISPATCHER_H

#include <atomic>

#include "kav/events/EventSourceQueueBaseElement.h"
#include "kav/events/SynchEventSynchObject.h"
#include "kav/runtime/IFOSAbstractExecutor.h"

class EventSourceBaseQueue;
class IFOSRcLocalEvent;
class IFOSRcLocalMutex;
class IFOSRcThread;

class EventDispatcher {
 public:
  class EventDeliverer : public IFOSAbstractExecutor {
   public:
    explicit EventDeliverer(EventDispatcher* d) : m_pDispatcher(d) {}
    void execute() const override;

   private:
    EventDispatcher* m_pDispatcher;
  };

  // Creates the queue mutex, the event and the thread and starts it; with
  // realtime the thread asks for scheduling policy 2 and priority 3.
  // Failure ends the process.
  explicit EventDispatcher(bool realtime);
  // Delivers every element still listed, then stops the thread.
  ~EventDispatcher();
  EventDispatcher(const EventDispatcher&) = delete;
  EventDispatcher& operator=(const EventDispatcher&) = delete;

  // Appends at the tail; -4 when terminating.
  long enqueueForDispatching(EventSourceQueueBaseElement* element);
  // Takes every element of the queue off the list; -4 when terminating.
  long removeAllEntries(EventSourceBaseQueue* queue);

  IFOSRcLocalMutex* getQueueMutex() const { return m_pQueueMutex; }
  SynchEventSynchObject* getSynchObject() { return &m_synchObject; }
  // True on the dispatcher's own thread.
  bool isDispatcherThread() const;
  bool isTerminating() const { return m_terminating.load() != 0; }

 private:
  void deliverEvents();

  EventSourceQueueBaseElement* m_pHead;  // sentinel
  EventSourceQueueBaseElement* m_pTail;
  IFOSRcLocalMutex* m_pQueueMutex;
  IFOSRcLocalEvent* m_pWakeUpEvent;
  std::atomic<unsigned char> m_terminating;
  SynchEventSynchObject m_synchObject;
  EventDeliverer m_deliverer;
  IFOSRcThread* m_pThread;
  std::atomic<unsigned int> m_threadId;
};

#endif
