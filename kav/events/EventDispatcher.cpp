#include "kav/events/EventDispatcher.h"

#include "kav/events/EventSourceBaseQueue.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/scf_os.h"
#include "perc_abend.h"

namespace {

void checkCreated(unsigned long rc, const void* object) {
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "EventDispatcher: creation failed %lu,%p", rc, object);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
}

}  // namespace

void EventDispatcher::EventDeliverer::execute() const { m_pDispatcher->deliverEvents(); }

EventDispatcher::EventDispatcher(bool realtime)
    : m_pHead(nullptr),
      m_pTail(nullptr),
      m_pQueueMutex(nullptr),
      m_pWakeUpEvent(nullptr),
      m_terminating(0),
      m_deliverer(this),
      m_pThread(nullptr),
      m_threadId(0) {
  unsigned long rc = 0;
  m_pQueueMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  checkCreated(rc, m_pQueueMutex);
  m_pWakeUpEvent = new IFOSRcLocalEvent(IFOS_EVENT_RESET, &rc);
  checkCreated(rc, m_pWakeUpEvent);
  m_pThread = new IFOSRcThread(&m_deliverer);
  m_pHead = new EventSourceQueueBaseElement();
  m_pTail = m_pHead;
  rc = m_pThread->start();
  checkCreated(rc, m_pThread);
  if (realtime) {
    m_pThread->setPolicy(IFOSRcThread::IFOS_POLICY_FIFO);
    m_pThread->setPriority(IFOSRcThread::IFOS_PRIORITY_75);
  }
}

EventDispatcher::~EventDispatcher() {
  m_pQueueMutex->mutexRequest(-1);
  m_terminating.store(1);
  m_pWakeUpEvent->postEvent();
  m_pQueueMutex->mutexRelease();
  m_pThread->waitForCompletion();
  // Senders still waiting for a rendezvous give up.
  m_synchObject.terminate();
  delete m_pThread;
  delete m_pWakeUpEvent;
  delete m_pHead;
  delete m_pQueueMutex;
}

bool EventDispatcher::isDispatcherThread() const { return m_threadId.load() == scf_os_get_tid(); }

long EventDispatcher::enqueueForDispatching(EventSourceQueueBaseElement* element) {
  if (m_terminating.load() != 0) return -4;
  m_pQueueMutex->mutexRequest(-1);
  if (m_terminating.load() != 0) {
    m_pQueueMutex->mutexRelease();
    return -4;
  }
  element->m_pNext = nullptr;
  m_pTail->m_pNext = element;
  m_pTail = element;
  if (m_pHead->m_pNext == element) m_pWakeUpEvent->postEvent();
  m_pQueueMutex->mutexRelease();
  return 0;
}

long EventDispatcher::removeAllEntries(EventSourceBaseQueue* queue) {
  if (m_terminating.load() != 0) return -4;
  m_pQueueMutex->mutexRequest(-1);
  if (m_terminating.load() != 0) {
    m_pQueueMutex->mutexRelease();
    return -4;
  }
  EventSourceQueueBaseElement* prev = m_pHead;
  while (prev->m_pNext != nullptr) {
    EventSourceQueueBaseElement* e = prev->m_pNext;
    if (e->m_pQueue == queue) {
      prev->m_pNext = e->m_pNext;
      e->m_pNext = nullptr;
    } else {
      prev = e;
    }
  }
  m_pTail = prev;
  m_pQueueMutex->mutexRelease();
  return 0;
}

void EventDispatcher::deliverEvents() {
  m_threadId.store(scf_os_get_tid());
  bool found = true;
  for (;;) {
    if (!found) m_pWakeUpEvent->waitEvent(-1);
    m_pQueueMutex->mutexRequest(-1);
    EventSourceQueueBaseElement* e = m_pHead->m_pNext;
    if (e != nullptr) {
      m_pHead->m_pNext = e->m_pNext;
      if (m_pTail == e) m_pTail = m_pHead;
      e->m_pNext = nullptr;
      found = true;
    } else {
      found = false;
      m_pWakeUpEvent->resetEvent();
      if (m_terminating.load() != 0) {
        m_pQueueMutex->mutexRelease();
        break;
      }
    }
    // The queue is read under the mutex: a source may be taking its
    // elements off the list at the same time.
    EventSourceBaseQueue* queue = e != nullptr ? e->m_pQueue : nullptr;
    m_pQueueMutex->mutexRelease();
    if (queue != nullptr) queue->dispatchEvent(e);
  }
  m_threadId.store(0);
}
