#include "kav/clock/osc/NotifyStatusChangePendingHandler.h"

NotifyStatusChangePendingHandler::NotifyStatusChangePendingHandler(const KavPtr<OscillatorStatusHandler>& handler)
    : m_pHandler(handler) {}

NotifyStatusChangePendingHandler::~NotifyStatusChangePendingHandler() {}

void NotifyStatusChangePendingHandler::execute() {
  if (m_pHandler != nullptr) m_pHandler->handleStateChangeEventPending();
}
