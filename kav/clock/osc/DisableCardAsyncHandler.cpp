#include "kav/clock/osc/DisableCardAsyncHandler.h"

#include "kav/runtime/KavTrace.h"

DisableCardAsyncHandler::DisableCardAsyncHandler(const KavPtr<OscillatorStatusHandler>& handler, unsigned int slotId)
    : m_pHandler(handler), m_slotId(slotId) {}

DisableCardAsyncHandler::~DisableCardAsyncHandler() {}

void DisableCardAsyncHandler::execute() {
  if (m_pHandler == nullptr) return;
  ErrorData rc = m_pHandler->disableCard(m_slotId);
  KAV_TRACE(KAVT, "DisableCardAsyncHandler slot=0x%08X rc=0x%08X", m_slotId, rc.getRc());
  if (rc != 0) rc.microcodeLog("kav/DisableCardAsyncHandler", __LINE__, "Error in DisableCardAsyncHandler::execute()", 2, false);
  m_pHandler->finishDisableCardAsync(m_slotId);
}
