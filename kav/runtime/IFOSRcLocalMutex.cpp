#include "kav/runtime/IFOSRcLocalMutex.h"

#include "kav/runtime/KavTrace.h"

IFOSRcLocalMutex::IFOSRcLocalMutex(IFOSMutexState state, unsigned long* rc) : m_pMutex(nullptr) {
  int scfRc = scf_os_mutex_request(&m_pMutex, nullptr);
  if (scfRc != 0) {
    KAV_TRACE(KAVE, "IFOSRcLocalMutex: creation failed rc=0x%X", scfRc);
    m_pMutex = nullptr;
  } else if (state == IFOS_MUTEX_LOCKED) {
    scfRc = scf_os_mutex_lock(m_pMutex, SCF_OS_WAIT_FOREVER);
  }
  if (rc != nullptr) *rc = ifosrc_convert_scf_rc(scfRc);
}

IFOSRcLocalMutex::~IFOSRcLocalMutex() {
  if (m_pMutex != nullptr) scf_os_mutex_close(m_pMutex);
}

unsigned long IFOSRcLocalMutex::mutexRelease() {
  if (m_pMutex == nullptr) return IFOS_RC_NO_OBJECT;
  return ifosrc_convert_scf_rc(scf_os_mutex_unlock(m_pMutex));
}

unsigned long IFOSRcLocalMutex::mutexRequest(long timeoutMs) {
  if (m_pMutex == nullptr) return IFOS_RC_NO_OBJECT;
  return ifosrc_convert_scf_rc(scf_os_mutex_lock(m_pMutex, timeoutMs));
}

unsigned long IFOSRcLocalMutex::query(int* owner, int* count) {
  if (m_pMutex == nullptr) return IFOS_RC_NO_OBJECT;
  return ifosrc_convert_scf_rc(scf_os_mutex_query(m_pMutex, owner, count));
}

void IFOSRcLocalMutex::dump() { scf_os_mutex_dump(); }
