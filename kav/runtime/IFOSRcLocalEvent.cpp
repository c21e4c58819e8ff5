#include "kav/runtime/IFOSRcLocalEvent.h"

#include <errno.h>
#include <time.h>

#include "kav/runtime/KavTrace.h"

IFOSRcLocalEvent::IFOSRcLocalEvent(IFOSEventState state, unsigned long* rc)
    : m_state(state == IFOS_EVENT_POSTED ? 0 : 1), m_valid(false) {
  pthread_condattr_t attr;
  int r = pthread_condattr_init(&attr);
  if (r == 0) r = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  if (r == 0) r = pthread_cond_init(&m_cond, &attr);
  pthread_condattr_destroy(&attr);
  if (r == 0) {
    r = pthread_mutex_init(&m_mutex, nullptr);
    if (r != 0) pthread_cond_destroy(&m_cond);
  }
  m_valid = r == 0;
  if (!m_valid) KAV_TRACE(KAVE, "IFOSRcLocalEvent: creation failed r=%d", r);
  if (rc != nullptr) *rc = m_valid ? IFOS_RC_OK : IFOS_RC_FAILED;
}

IFOSRcLocalEvent::~IFOSRcLocalEvent() {
  if (!m_valid) return;
  pthread_cond_destroy(&m_cond);
  pthread_mutex_destroy(&m_mutex);
}

unsigned long IFOSRcLocalEvent::postEvent() {
  if (!m_valid) return IFOS_RC_NO_OBJECT;
  pthread_mutex_lock(&m_mutex);
  m_state = 0;
  pthread_cond_broadcast(&m_cond);
  pthread_mutex_unlock(&m_mutex);
  return IFOS_RC_OK;
}

unsigned long IFOSRcLocalEvent::resetEvent() {
  if (!m_valid) return IFOS_RC_NO_OBJECT;
  pthread_mutex_lock(&m_mutex);
  m_state = 1;
  pthread_mutex_unlock(&m_mutex);
  return IFOS_RC_OK;
}

unsigned long IFOSRcLocalEvent::waitEvent(long timeoutMs) {
  if (!m_valid) return IFOS_RC_NO_OBJECT;
  unsigned long rc = IFOS_RC_OK;
  pthread_mutex_lock(&m_mutex);
  if (timeoutMs < 0) {
    while (m_state != 0) {
      const int r = pthread_cond_wait(&m_cond, &m_mutex);
      if (r != 0) {
        rc = IFOS_RC_FAILED;
        break;
      }
    }
  } else {
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += (timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    while (m_state != 0) {
      const int r = pthread_cond_timedwait(&m_cond, &m_mutex, &deadline);
      if (r == ETIMEDOUT) {
        if (m_state != 0) rc = IFOS_RC_EVENT_TIMEOUT;
        break;
      }
      if (r != 0) {
        rc = IFOS_RC_FAILED;
        break;
      }
    }
  }
  pthread_mutex_unlock(&m_mutex);
  if (rc == IFOS_RC_FAILED) KAV_TRACE(KAVE, "IFOSRcLocalEvent: wait %p failed", this);
  return rc;
}
