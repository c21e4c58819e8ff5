#include "kav/cards/PowerStepExecutor.h"

#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/tree/objects/Container.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeScale.h"

PowerStepExecutor::PowerStepExecutor(unsigned int sequenceId, PowerControl::SequenceType_t type)
    : m_sequenceId(sequenceId), m_type(type), m_latestWaitingTime(0) {}

void PowerStepExecutor::execute(KavPtr<PowerControl> card, unsigned int stepNr) {
  if (!card->getStepPerformed()) return;
  KavPtr<PowerStep> step = card->getPowerStep(m_sequenceId, m_type, stepNr);
  if (step == nullptr) return;
  if (card->getPowerSequenceFailed()) {
    KAV_TRACE(KAVT, "PowerStepExecutor: step %u skipped, sequence failed slot=0x%08X", stepNr, card->getSlotId());
    return;
  }
  uint64_t due = card->getTimeForNextStep();
  if (PowerControl::nowMs() < due) {
    m_waiting.push_back(card);
    if (due > m_latestWaitingTime) m_latestWaitingTime = due;
    return;
  }
  ErrorData rc = step->switchSignals(card->getContainer());
  if (rc != 0) {
    KAV_TRACE(KAVE, "PowerStepExecutor: step %u failed rc=0x%08X slot=0x%08X", stepNr, rc.getRcWithoutLogFlag(),
              card->getSlotId());
    m_rc = rc;
    card->setPowerSequenceFailed();
  }
  card->setDelayToNextStep(TimeScale::delayMs(step->getDelay()));
}

void PowerStepExecutor::notifyStepEnd(unsigned int stepNr) {
  IFOSRcLocalEvent wake;
  while (!m_waiting.empty()) {
    uint64_t now = PowerControl::nowMs();
    if (m_latestWaitingTime > now) wake.waitEvent(static_cast<long>(m_latestWaitingTime - now));
    kavstl::list<KavPtr<PowerControl> > cards;
    cards.swap(m_waiting);
    for (const KavPtr<PowerControl>& card : cards) execute(card, stepNr);
  }
}
