#include "kav/tree/start/ConfigCompleteBase.h"

#include <atomic>

#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/EventRouter.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSReturnCodes.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(ConfigCompleteBase, AtomicBase)

namespace {

// The process-wide state. Created on first use and kept for the life of the
// process (threads may still wait on the events at exit).
struct ConfigCompleteState {
  std::atomic<bool> configComplete{false};
  std::atomic<bool> minimumConfigComplete{false};
  IFOSRcLocalEvent complete{IFOS_EVENT_RESET};
  IFOSRcLocalEvent minimumComplete{IFOS_EVENT_RESET};
  IFOSRcLocalEvent ready{IFOS_EVENT_RESET};
  IFOSRcLocalEvent notReady{IFOS_EVENT_RESET};
  ConfigCompleteState() { notReady.postEvent(); }
};

ConfigCompleteState& state() {
  static ConfigCompleteState* s_state = new ConfigCompleteState();
  return *s_state;
}

BaseErrorData waitOn(IFOSRcLocalEvent& event, int timeout, const char* what) {
  BaseErrorData rc;
  unsigned long osRc = event.waitEvent(timeout);
  if (osRc == 0) return rc;
  if (osRc == IFOS_RC_EVENT_TIMEOUT) {
    rc = 0x7007u;
  } else {
    KAV_TRACE_STR(KAVE, "ConfigCompleteBase wait %s failed os rc=%u", what, static_cast<unsigned int>(osRc));
    rc = 0x700Eu;
  }
  return rc;
}

}  // namespace

ConfigCompleteBase::ConfigCompleteBase() : m_registrationId(-1) { state(); }

ConfigCompleteBase::~ConfigCompleteBase() {}

BaseErrorData ConfigCompleteBase::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step == initSequence::INIT_REGISTER_EVENTS && m_registrationId == -1) {
    m_registrationId = registerForEvent<ConfigChangeEvent, ConfigCompleteBase>(
        ConfigChangeEventSender::getInstance()->getEventSource(), &m_router, this,
        &ConfigCompleteBase::handleConfigChangeEvent, false);
    KAV_TRACE(KAVT, "ConfigCompleteBase registered id=%d", static_cast<int>(m_registrationId));
    if (m_registrationId < 0) {
      m_registrationId = -1;
      rc = 0x7000u;
    }
  }
  return rc;
}

BaseErrorData ConfigCompleteBase::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS && m_registrationId != -1) {
    m_router.deregisterFromEvent(m_registrationId);
    m_registrationId = -1;
  }
  return AtomicBase::terminate(step);
}

void ConfigCompleteBase::dump() const {
  KAV_TRACE(KAVT, "ConfigCompleteBase complete=%u minimum=%u registration=%d", isConfigComplete() ? 1u : 0u,
            isMinimumConfigComplete() ? 1u : 0u, static_cast<int>(m_registrationId));
}

void ConfigCompleteBase::setConfigComplete(bool forced) {
  if (state().configComplete.exchange(true)) return;
  KAV_TRACE(KAVT, "configuration complete forced=%u", forced ? 1u : 0u);
  logConfigComplete(forced);
  dump();
  ConfigCompleteEvent event(ConfigCompleteEvent::CONFIG_COMPLETE);
  ConfigCompleteEventSender::getInstance()->sendEvent(event);
  state().complete.postEvent();
}

void ConfigCompleteBase::logConfigComplete(bool) {}

void ConfigCompleteBase::setMinimumConfigComplete(bool forced) {
  if (state().minimumConfigComplete.exchange(true)) return;
  KAV_TRACE(KAVT, "minimum configuration complete forced=%u", forced ? 1u : 0u);
  logMinimumConfigComplete(forced);
  dump();
  ConfigCompleteEvent event(ConfigCompleteEvent::MINIMUM_CONFIG_COMPLETE);
  ConfigCompleteEventSender::getInstance()->sendEvent(event);
  state().minimumComplete.postEvent();
}

void ConfigCompleteBase::logMinimumConfigComplete(bool) {}

void ConfigCompleteBase::handleConfigChangeEvent(const ConfigChangeEvent&) {}

void ConfigCompleteBase::setConfigCompleteReady() {
  KAV_TRACE(KAVT, "configuration complete ready");
  state().notReady.resetEvent();
  state().ready.postEvent();
}

void ConfigCompleteBase::resetConfigCompleteReady() {
  KAV_TRACE(KAVT, "configuration complete not ready");
  state().configComplete = false;
  state().minimumConfigComplete = false;
  state().ready.resetEvent();
  state().minimumComplete.resetEvent();
  state().complete.resetEvent();
  state().notReady.postEvent();
}

bool ConfigCompleteBase::isConfigComplete() { return state().configComplete; }

bool ConfigCompleteBase::isMinimumConfigComplete() { return state().minimumConfigComplete; }

BaseErrorData ConfigCompleteBase::waitConfigComplete(int timeout) {
  if (isConfigComplete()) return BaseErrorData();
  return waitOn(state().complete, timeout, "complete");
}

BaseErrorData ConfigCompleteBase::waitMinimumConfigComplete(int timeout) {
  if (isMinimumConfigComplete()) return BaseErrorData();
  return waitOn(state().minimumComplete, timeout, "minimum complete");
}

BaseErrorData ConfigCompleteBase::waitConfigCompleteReady(int timeout) {
  return waitOn(state().ready, timeout, "ready");
}

BaseErrorData ConfigCompleteBase::waitConfigCompleteNotReady(int timeout) {
  return waitOn(state().notReady, timeout, "not ready");
}
