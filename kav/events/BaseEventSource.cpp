#include "kav/events/BaseEventSource.h"

#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeoutService.h"

BaseEventSource::BaseEventSource(unsigned int logTime, unsigned int abendTime)
    : m_pTimeoutToken(new TimeoutServiceRegistrationToken("EventSource: timeout during event delivery!")),
      m_registrationId(0),
      m_logTime(logTime),
      m_abendTime(abendTime) {}

BaseEventSource::~BaseEventSource() {
  if (m_registrationId != 0) TimeoutService::getInstance()->deleteRegistration(m_registrationId);
  delete m_pTimeoutToken;
}

void BaseEventSource::startTimeout() {
  if (m_registrationId != 0) {
    KAV_TRACE(KAVT, "EventSource: watch already running %u", m_registrationId);
    return;
  }
  m_registrationId = TimeoutService::getInstance()->registerTimeout(m_pTimeoutToken, m_logTime, m_abendTime);
}

void BaseEventSource::resetTimeout() {
  TimeoutService* service = TimeoutService::getInstance();
  if (m_registrationId != 0 && service->changeRegistration(m_registrationId, m_logTime, m_abendTime)) return;
  // The registration ended (logged) meanwhile: watch anew.
  m_registrationId = service->registerTimeout(m_pTimeoutToken, m_logTime, m_abendTime);
}

void BaseEventSource::stopTimeout() {
  if (m_registrationId != 0) TimeoutService::getInstance()->deleteRegistration(m_registrationId);
  m_registrationId = 0;
}
