#include "kav/cards/PowerStep.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/Container.h"

KAV_TREE_CLASS_IMPL(PowerStep, QueryBase)

PowerStep::PowerStep() : m_stepNr(0), m_delayMSecs(0) {}

PowerStep::~PowerStep() {}

BaseErrorData PowerStep::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeUint32(&m_stepNr, kav::sid::STEP_NUMBER, *node, false);
  rc = getAttributeUint32(&m_delayMSecs, kav::sid::DELAY_MS, *node, false);
  return rc;
}

BaseErrorData PowerStep::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  m_signals.clear();
  unsigned int key = 0;
  for (const KavPtr<QueryBase>& child : getHiddenChildren())
    if (child->isInstanceOf(Signal::staticGetClassId())) m_signals[key++] = KavPtr<Signal>(child);
  return rc;
}

BaseErrorData PowerStep::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc = QueryBase::terminate(step);
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_signals.clear();
  }
  return rc;
}

unsigned int PowerStep::getStepNr() const { return m_stepNr; }

unsigned int PowerStep::getDelay() const { return m_delayMSecs; }

ErrorData PowerStep::switchSignals(KavPtr<Container> container) {
  kavstl::map<unsigned int, KavPtr<Signal> > signals;
  {
    IFOSGuard<const QueryBase> guard(*this);
    signals = m_signals;
  }
  ErrorData rc;
  for (const auto& entry : signals) rc = entry.second->switchSignal(container);
  KAV_TRACE(KAVT, "PowerStep %u: %u signals rc=0x%08X", m_stepNr, static_cast<unsigned int>(signals.size()),
            rc.getRcWithoutLogFlag());
  return rc;
}

BuildBase* createPowerStep(void*, BaseErrorData&) { return (new PowerStep())->getBuildInterface(); }
