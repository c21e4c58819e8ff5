#include "kav/cards/PowerSequenceInitializer.h"

#include "kav/tree/objects/Container.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringToId.h"

namespace {
// The bookkeeping of the FRU state table does not decide the run: a card
// without a table is still switched.
void traceFailure(const char* operation, const ErrorData& rc, unsigned int slotId) {
  if (rc != 0) KAV_TRACE_STR(KAVE, "PowerSequenceInitializer: %s rc=0x%08X slot=0x%08X", operation,
                             rc.getRcWithoutLogFlag(), slotId);
}
}  // namespace

PowerSequenceInitializer::PowerSequenceInitializer(unsigned int sequenceId, PowerControl::SequenceType_t type)
    : m_sequenceId(sequenceId), m_type(type) {}

void PowerSequenceInitializer::execute(KavPtr<PowerControl> card) {
  card->resetWaitTime();
  card->resetPowerSequenceFailed();
  card->resetStepPerformed();
  KavPtr<PowerSequence> sequence = card->getPowerSequence(m_sequenceId, m_type);
  if (sequence == nullptr) {
    KAV_TRACE_STR(KAVT, "PowerSequenceInitializer: no sequence %s type %u slot=0x%08X",
                  get_string_by_id(m_sequenceId), static_cast<unsigned int>(m_type), card->getSlotId());
    return;
  }
  sequence->addStepsToSet(m_steps);
  if (!sequence->hasSteps()) return;
  card->setStepPerformed();
  if (m_type == PowerControllable::POWER_ON) {
    traceFailure("setActivationState", card->setActivationState(PowerControl::ACTIVATION_RUNNING), card->getSlotId());
    traceFailure("resetPowerFailFlag", card->resetPowerFailFlag(), card->getSlotId());
    traceFailure("resetFencedFlag", card->resetFencedFlag(), card->getSlotId());
  } else if (m_type == PowerControllable::POWER_OFF) {
    traceFailure("setActivationState", card->setActivationState(PowerControl::DEACTIVATION_RUNNING),
                 card->getSlotId());
  }
}
