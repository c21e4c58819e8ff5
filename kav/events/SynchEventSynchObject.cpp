#include "kav/events/SynchEventSynchObject.h"

#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

namespace {

void checkCreated(unsigned long rc, const void* self) {
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "SynchEventSynchObject: creation failed %lu,%p", rc, self);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
}

}  // namespace

SynchEventSynchObject::SynchEventSynchObject()
    : m_pDispatchMutex(nullptr),
      m_pCounterMutex(nullptr),
      m_pDispatchedEvent(nullptr),
      m_pAllAcknowledgedEvent(nullptr),
      m_waiters(0),
      m_arrived(0),
      m_acknowledged(0),
      m_roundOne(0),
      m_roundTwo(0),
      m_terminating(0) {
  unsigned long rc = 0;
  m_pDispatchMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  checkCreated(rc, this);
  m_pCounterMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  checkCreated(rc, this);
  m_pDispatchedEvent = new IFOSRcLocalEvent(IFOS_EVENT_RESET, &rc);
  checkCreated(rc, this);
  m_pAllAcknowledgedEvent = new IFOSRcLocalEvent(IFOS_EVENT_RESET, &rc);
  checkCreated(rc, this);
}

SynchEventSynchObject::~SynchEventSynchObject() {
  delete m_pAllAcknowledgedEvent;
  delete m_pDispatchedEvent;
  delete m_pCounterMutex;
  delete m_pDispatchMutex;
}

bool SynchEventSynchObject::isTerminating() {
  m_pCounterMutex->mutexRequest(-1);
  bool t = m_terminating != 0;
  m_pCounterMutex->mutexRelease();
  return t;
}

unsigned int SynchEventSynchObject::getNumberOfWaiters() {
  m_pCounterMutex->mutexRequest(-1);
  unsigned int n = m_waiters;
  m_pCounterMutex->mutexRelease();
  return n;
}

void SynchEventSynchObject::completePhaseOneLocked() {
  m_arrived = 0;
  ++m_roundOne;
  m_pAllAcknowledgedEvent->resetEvent();
  m_pDispatchedEvent->postEvent();
}

void SynchEventSynchObject::completePhaseTwoLocked() {
  m_acknowledged = 0;
  ++m_roundTwo;
  m_pDispatchedEvent->resetEvent();
  m_pAllAcknowledgedEvent->postEvent();
}

void SynchEventSynchObject::arriveLocked(Waiter* w) {
  ++m_arrived;
  if (w != nullptr) {
    w->pending = 1;
    w->round = m_roundOne;
  }
  if (m_arrived == m_waiters + 1) completePhaseOneLocked();
}

void SynchEventSynchObject::acknowledgeLocked(Waiter* w) {
  ++m_acknowledged;
  if (w != nullptr) {
    w->pending = 2;
    w->round = m_roundTwo;
  }
  if (m_acknowledged == m_waiters + 1) completePhaseTwoLocked();
}

bool SynchEventSynchObject::newSynchEvent(Waiter& w) {
  w = Waiter();
  // A round in progress holds the dispatch mutex: join between rounds only.
  m_pDispatchMutex->mutexRequest(-1);
  m_pCounterMutex->mutexRequest(-1);
  bool joined = m_terminating == 0;
  if (joined) ++m_waiters;
  m_pCounterMutex->mutexRelease();
  m_pDispatchMutex->mutexRelease();
  return joined;
}

void SynchEventSynchObject::cancelSynchEvent(Waiter& w) {
  m_pCounterMutex->mutexRequest(-1);
  // Take back a contribution to a phase that has not completed yet.
  if (w.pending == 1 && w.round == m_roundOne && m_arrived > 0)
    --m_arrived;
  else if (w.pending == 2 && w.round == m_roundTwo && m_acknowledged > 0)
    --m_acknowledged;
  w.pending = 0;
  if (m_waiters > 0) --m_waiters;
  // Complete the phase for the others when this waiter was the last missing.
  if (m_arrived > 0 && m_arrived == m_waiters + 1)
    completePhaseOneLocked();
  else if (m_acknowledged > 0 && m_acknowledged == m_waiters + 1)
    completePhaseTwoLocked();
  m_pCounterMutex->mutexRelease();
}

bool SynchEventSynchObject::waitDispatched(Waiter& w, long timeoutMs) {
  m_pCounterMutex->mutexRequest(-1);
  if (m_terminating != 0) {
    m_pCounterMutex->mutexRelease();
    return false;
  }
  arriveLocked(&w);
  m_pCounterMutex->mutexRelease();
  unsigned long rc = m_pDispatchedEvent->waitEvent(timeoutMs < 0 ? -1 : timeoutMs);
  m_pCounterMutex->mutexRequest(-1);
  // The phase may have completed just as the wait timed out.
  bool passed = (w.round != m_roundOne) && m_terminating == 0;
  m_pCounterMutex->mutexRelease();
  if (!passed && rc != IFOS_RC_OK && rc != IFOS_RC_EVENT_TIMEOUT)
    KAV_TRACE(KAVE, "SynchEventSynchObject: wait %.8X", rc);
  return passed;
}

bool SynchEventSynchObject::eventNotYetDelivered(Waiter& w, long timeoutMs) {
  m_pCounterMutex->mutexRequest(-1);
  if (m_terminating != 0) {
    m_pCounterMutex->mutexRelease();
    return false;
  }
  acknowledgeLocked(&w);
  m_pCounterMutex->mutexRelease();
  m_pAllAcknowledgedEvent->waitEvent(timeoutMs < 0 ? -1 : timeoutMs);
  m_pCounterMutex->mutexRequest(-1);
  bool passed = (w.round != m_roundTwo) && m_terminating == 0;
  m_pCounterMutex->mutexRelease();
  if (passed) w.pending = 0;
  return passed;
}

void SynchEventSynchObject::eventDispatched() {
  m_pDispatchMutex->mutexRequest(-1);
  m_pCounterMutex->mutexRequest(-1);
  if (m_waiters == 0 || m_terminating != 0) {
    m_pCounterMutex->mutexRelease();
    m_pDispatchMutex->mutexRelease();
    return;
  }
  uint32_t round = m_roundOne;
  arriveLocked(nullptr);
  m_pCounterMutex->mutexRelease();
  for (;;) {
    m_pDispatchedEvent->waitEvent(-1);
    m_pCounterMutex->mutexRequest(-1);
    bool done = m_roundOne != round || m_terminating != 0;
    if (done) break;
    m_pCounterMutex->mutexRelease();
  }
  if (m_terminating == 0) {
    round = m_roundTwo;
    acknowledgeLocked(nullptr);
    m_pCounterMutex->mutexRelease();
    for (;;) {
      m_pAllAcknowledgedEvent->waitEvent(-1);
      m_pCounterMutex->mutexRequest(-1);
      bool done = m_roundTwo != round || m_terminating != 0;
      m_pCounterMutex->mutexRelease();
      if (done) break;
    }
  } else {
    m_pCounterMutex->mutexRelease();
  }
  m_pDispatchMutex->mutexRelease();
}

void SynchEventSynchObject::terminate() {
  m_pCounterMutex->mutexRequest(-1);
  m_terminating = 1;
  m_pDispatchedEvent->postEvent();
  m_pAllAcknowledgedEvent->postEvent();
  m_pCounterMutex->mutexRelease();
}
