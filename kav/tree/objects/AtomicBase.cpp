#include "kav/tree/objects/AtomicBase.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringToId.h"
#include "perc_abend.h"

KAV_TREE_CLASS_IMPL(AtomicBase, QueryBase)

AtomicBase::AtomicBase() : m_mutex(IFOS_MUTEX_UNLOCKED) {}

AtomicBase::~AtomicBase() {}

unsigned long AtomicBase::mutexRequest(int timeout) const {
  const long wait = (timeout == 0 || timeout == -1) ? -1L : static_cast<long>(timeout);
  unsigned long rc = m_mutex.mutexRequest(wait);
  if (rc == 0) return 0;
  if (rc == IFOS_RC_MUTEX_TIMEOUT) {
    KAV_TRACE_STR(KAVE, "%s::mutexRequest timed out after %d ms", get_string_by_id(getClassId()), timeout);
    IFOSRcLocalMutex::dump();
    return rc;
  }
  KAV_TRACE_STR(KAVE, "%s::mutexRequest failed rc=%u", get_string_by_id(getClassId()), rc);
  percAbend(0xF0D1, nullptr, 0, 0, 0, 0, "AtomicBase::mutexRequest", 11, 0);
}

unsigned long AtomicBase::mutexRelease() const { return m_mutex.mutexRelease(); }
