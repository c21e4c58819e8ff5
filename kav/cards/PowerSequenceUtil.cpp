#include "kav/cards/PowerSequenceUtil.h"

#include "kav/cards/PowerControl.h"
#include "kav/cards/PowerSequenceFinalizer.h"
#include "kav/cards/PowerSequenceInitializer.h"
#include "kav/cards/PowerStepExecutor.h"
#include "kav/tree/objects/Container.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/TreeSearch.h"

namespace {
constexpr int kListAccessTimeout = 200;
}

ErrorData PowerSequenceUtil::preconditionsCheck(const ExecList<PowerControllable>& list, unsigned int sequenceId,
                                                PowerControllable::SequenceType_t type) {
  ErrorData rc;
  for (const KavPtr<PowerControllable>& e : list) rc = e->checkPrecondition(sequenceId, type);
  return rc;
}

ErrorData PowerSequenceUtil::executePowerSequence(ExecList<PowerControl> cards, unsigned int sequenceId,
                                                  PowerControllable::SequenceType_t type) {
  ErrorData rc = cards.requestListAccess(kListAccessTimeout);
  if (rc != 0) {
    KAV_TRACE(KAVE, "executePowerSequence: list access rc=0x%08X", rc.getRcWithoutLogFlag());
    return rc;
  }
  rc = preconditionsCheck(collectClasstypeInTree<PowerControllable>(true), sequenceId, type);
  if (rc != 0) {
    KAV_TRACE_STR(KAVE, "executePowerSequence %s: precondition rc=0x%08X", get_string_by_id(sequenceId),
                  rc.getRcWithoutLogFlag());
    cards.releaseListAccess();
    return rc;
  }
  KAV_TRACE_STR(KAVT, "executePowerSequence %s type %u cards %u", get_string_by_id(sequenceId),
                static_cast<unsigned int>(type), cards.elementCount());

  PowerSequenceInitializer initializer(sequenceId, type);
  rc = cards.forEachElementDo(initializer);

  const kavstl::set<unsigned int>& stepSet = initializer.getPowerSteps();
  kavstl::vector<unsigned int> steps(stepSet.begin(), stepSet.end());
  PowerStepExecutor stepExecutor(sequenceId, type);
  rc = cards.forEachElementLoop(stepExecutor, steps);

  PowerSequenceFinalizer finalizer(sequenceId, type, rc);
  rc = cards.forEachElementDo(finalizer);
  finalizer.finalize();
  rc = finalizer.getReturnValue();

  cards.releaseListAccess();
  KAV_TRACE(KAVT, "executePowerSequence done rc=0x%08X", rc.getRcWithoutLogFlag());
  return rc;
}
