#include "kav/cards/PowerSequenceFinalizer.h"

#include <cstdio>

#include "kav/cards/PowerSequenceUtil.h"
#include "kav/tree/objects/Container.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/Logger.h"

namespace {
void traceFailure(const ErrorData& rc, unsigned int slotId) {
  if (rc != 0)
    KAV_TRACE(KAVE, "PowerSequenceFinalizer: setActivationState rc=0x%08X slot=0x%08X", rc.getRcWithoutLogFlag(),
              slotId);
}
}  // namespace

PowerSequenceFinalizer::PowerSequenceFinalizer(unsigned int sequenceId, PowerControl::SequenceType_t type,
                                               const ErrorData& stepsRc)
    : m_sequenceId(sequenceId), m_type(type), m_rc(stepsRc) {}

void PowerSequenceFinalizer::execute(KavPtr<PowerControl> card) {
  if (!card->getStepPerformed()) return;
  KavPtr<PowerSequence> sequence = card->getPowerSequence(m_sequenceId, m_type);
  PowerControl::SequenceType_t type = sequence == nullptr ? PowerControllable::OTHER : sequence->getSequenceType();
  const unsigned int slotId = card->getSlotId();
  if (type == PowerControllable::POWER_ON) {
    if (card->getPowerSequenceFailed()) {
      char text[96];
      std::snprintf(text, sizeof(text), "SlotId 0x%08X: ActivationFailed with error rc=0x%08X", slotId,
                    m_rc.getRcWithoutLogFlag());
      Logger().logEvent("FruActvtErr", text);
      if (card->getActionOnFail() == PowerControl::ACTION_POWER_OFF)
        m_switchOff.push_back(card);
      else
        traceFailure(card->setActivationState(PowerControl::DEACTIVATED), slotId);
    } else {
      traceFailure(card->setActivationState(PowerControl::ACTIVATED), slotId);
    }
  } else if (type == PowerControllable::POWER_OFF) {
    traceFailure(card->setActivationState(PowerControl::DEACTIVATED), slotId);
  }
}

void PowerSequenceFinalizer::finalize() {
  for (const KavPtr<PowerControl>& card : m_switchOff) {
    ExecList<PowerControl> one;
    one.addElement(card);
    m_rc = PowerSequenceUtil::executePowerSequence(one, m_sequenceId, PowerControllable::POWER_OFF);
    // A card without a power-off sequence (or whose run could not start)
    // still stands at "activation running": it is not powered, so it is
    // deactivated.
    PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
    if (card->getActivationState(state) == 0 && state != PowerControl::DEACTIVATED &&
        state != PowerControl::ACTIVATED)
      traceFailure(card->setActivationState(PowerControl::DEACTIVATED), card->getSlotId());
    char text[32];
    std::snprintf(text, sizeof(text), "SlotId 0x%08X\n", card->getSlotId());
    Logger().logEvent("FruDeactvt", text);
  }
  m_switchOff.clear();
}
