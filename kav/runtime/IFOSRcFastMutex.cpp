#include "kav/runtime/IFOSRcFastMutex.h"

#include "kav/runtime/KavTrace.h"

IFOSRcFastMutex::IFOSRcFastMutex(unsigned long* rc) : m_pMutex(nullptr) {
  const int scfRc = scf_os_fastmutex_create(&m_pMutex);
  if (scfRc != 0) {
    KAV_TRACE(KAVE, "IFOSRcFastMutex: creation failed rc=0x%X", scfRc);
    m_pMutex = nullptr;
  }
  if (rc != nullptr) *rc = ifosrc_convert_scf_rc(scfRc);
}

IFOSRcFastMutex::~IFOSRcFastMutex() {
  if (m_pMutex != nullptr) scf_os_fastmutex_destroy(m_pMutex);
}

unsigned long IFOSRcFastMutex::mutexRelease() {
  if (m_pMutex == nullptr) return IFOS_RC_NO_OBJECT;
  return ifosrc_convert_scf_rc(scf_os_fastmutex_unlock(m_pMutex));
}

unsigned long IFOSRcFastMutex::mutexRequest() {
  if (m_pMutex == nullptr) return IFOS_RC_NO_OBJECT;
  return ifosrc_convert_scf_rc(scf_os_fastmutex_lock(m_pMutex));
}
