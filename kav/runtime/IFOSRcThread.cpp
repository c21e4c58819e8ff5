#include "kav/runtime/IFOSRcThread.h"

#include "kav/runtime/KavTrace.h"

IFOSRcThread::IFOSRcThread(IFOSAbstractExecutor* executor)
    : m_pThread(nullptr), m_pExecutor(executor), m_started(false), m_policy(IFOS_POLICY_RR),
      m_priority(IFOS_PRIORITY_MIDDLE) {}

IFOSRcThread::~IFOSRcThread() {
  if (m_pThread != nullptr) scf_os_thread_close(m_pThread);
}

int IFOSRcThread::toOsPolicy(ifosPolicy policy) {
  switch (policy) {
    case IFOS_POLICY_OTHER:
      return SCF_OS_SCHED_OTHER;
    case IFOS_POLICY_RR:
      return SCF_OS_SCHED_RR;
    case IFOS_POLICY_FIFO:
      return SCF_OS_SCHED_FIFO;
  }
  return SCF_OS_SCHED_OTHER;
}

void IFOSRcThread::threadFunction(scf_os_thread_t*, void* argument) {
  const IFOSAbstractExecutor* executor = static_cast<const IFOSAbstractExecutor*>(argument);
  executor->execute();
}

unsigned long IFOSRcThread::start() {
  if (m_pExecutor == nullptr) {
    KAV_TRACE(KAVE, "IFOSRcThread: start %p without executor", this);
    return IFOS_RC_FAILED;
  }
  if (m_pThread != nullptr) {
    scf_os_thread_join(m_pThread);
    scf_os_thread_close(m_pThread);
    m_pThread = nullptr;
    m_started = false;
  }
  const int scfRc = scf_os_thread_create_with_policy_and_priority(&m_pThread, threadFunction, m_pExecutor,
                                                                  toOsPolicy(m_policy), m_priority);
  if (scfRc != 0) {
    KAV_TRACE(KAVE, "IFOSRcThread: start %p failed rc=0x%X", this, scfRc);
    m_pThread = nullptr;
    return ifosrc_convert_scf_rc(scfRc);
  }
  m_started = true;
  KAV_TRACE(KAVT, "IFOSRcThread: started %p", this);
  return IFOS_RC_OK;
}

unsigned long IFOSRcThread::waitForCompletion() {
  if (m_pThread == nullptr) return IFOS_RC_NO_OBJECT;
  const unsigned long rc = ifosrc_convert_scf_rc(scf_os_thread_join(m_pThread));
  if (rc == IFOS_RC_OK) m_started = false;
  return rc;
}

unsigned long IFOSRcThread::setPolicy(ifosPolicy policy) {
  m_policy = policy;
  if (!m_started || m_pThread == nullptr) return IFOS_RC_OK;
  const int scfRc = scf_os_thread_set_sched_policy(m_pThread, toOsPolicy(policy));
  if (scfRc != 0) KAV_TRACE(KAVT, "IFOSRcThread: policy %u not applied rc=0x%X", policy, scfRc);
  return ifosrc_convert_scf_rc(scfRc);
}

unsigned long IFOSRcThread::setPriority(ifosPriority priority) {
  m_priority = priority;
  if (!m_started || m_pThread == nullptr) return IFOS_RC_OK;
  const int scfRc = scf_os_thread_set_sched_priority(m_pThread, priority);
  if (scfRc != 0) KAV_TRACE(KAVT, "IFOSRcThread: priority %u not applied rc=0x%X", priority, scfRc);
  return ifosrc_convert_scf_rc(scfRc);
}
