#include "kav/events/EventBlock.h"

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

EventBlock::EventBlock() : m_pMutex(nullptr) {
  unsigned long rc = 0;
  m_pMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "EventBlock: no mutex %lu,%p", rc, this);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
}

EventBlock::~EventBlock() { delete m_pMutex; }

void EventBlock::block() {
  if (m_pMutex != nullptr) m_pMutex->mutexRequest(-1);
}

void EventBlock::unblock() {
  if (m_pMutex != nullptr) m_pMutex->mutexRelease();
}
