#include "kav/events/EventSourceBaseQueue.h"

#include "kav/events/EventDispatcher.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"

EventSourceBaseQueue::EventSourceBaseQueue(EventDispatcher* dispatcher)
    : m_pQueueMutex(dispatcher->getQueueMutex()),
      m_pDispatcher(dispatcher),
      m_pSynchObject(dispatcher->getSynchObject()),
      m_suspended(0),
      m_terminating(0) {}

EventSourceBaseQueue::~EventSourceBaseQueue() = default;

void EventSourceBaseQueue::lockQueue() { m_pQueueMutex->mutexRequest(-1); }

void EventSourceBaseQueue::unlockQueue() { m_pQueueMutex->mutexRelease(); }

bool EventSourceBaseQueue::isSuspended() {
  lockQueue();
  bool s = m_suspended != 0;
  unlockQueue();
  return s;
}

void EventSourceBaseQueue::suspend() {
  lockQueue();
  if (m_terminating.load() != 0) {
    KAV_TRACE(KAVT, "EventSourceBaseQueue::suspend terminating %p", this);
  } else if (m_suspended == 0) {
    m_pDispatcher->removeAllEntries(this);
    m_suspended = 1;
  }
  unlockQueue();
}

void EventSourceBaseQueue::unsuspend() {
  lockQueue();
  if (m_terminating.load() != 0) {
    KAV_TRACE(KAVT, "EventSourceBaseQueue::unsuspend terminating %p", this);
  } else if (m_suspended != 0) {
    m_suspended = 0;
    reenqueueForDispatching();
  }
  unlockQueue();
}
