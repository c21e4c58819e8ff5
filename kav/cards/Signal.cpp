#include "kav/cards/Signal.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeSearch.h"

KAV_TREE_CLASS_IMPL(Signal, QueryBase)

namespace {
constexpr unsigned int kTargetNotFound = 0x7002;
}

Signal::Signal() : m_switchId(0), m_targetInstanceId(0), m_ignoreError(false) {}

Signal::~Signal() {}

BaseErrorData Signal::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeStringId(&m_switchId, kav::sid::SWITCH_ID, *node, false);
  rc = getAttributeStringId(&m_targetInstanceId, kav::sid::TARGET_INSTANCE_NAME, *node, false);
  bool ignore = false;
  if (getAttributeBool(&ignore, kav::sid::IGNORE_ERROR, *node, true) == 0) m_ignoreError = ignore;
  return rc;
}

BaseErrorData Signal::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc = QueryBase::terminate(step);
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_targetObject = KavPtr<PowerControllable>();
  }
  return rc;
}

ErrorData Signal::switchSignal(KavPtr<Container> container) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_targetObject == nullptr) {
    ExecList<PowerControllable> all =
        collectClasstypeInSubTree<PowerControllable>(KavPtr<const QueryBase>(container), true);
    KavPtr<PowerControllable> found;
    unsigned int count = 0;
    for (const KavPtr<PowerControllable>& c : all) {
      if (c->getInstanceId() != m_targetInstanceId) continue;
      found = c;
      ++count;
    }
    if (count != 1) {
      KAV_TRACE_STR(KAVE, "Signal target %s: %u found", get_string_by_id(m_targetInstanceId), count);
      return ErrorData(ErrorData::NO_OVERWRITE, kTargetNotFound);
    }
    m_targetObject = found;
  }
  ErrorData rc = m_targetObject->switchForPwrCtrl(getInstanceId(), m_switchId);
  if (rc != 0 && m_ignoreError) {
    KAV_TRACE_STR(KAVT, "Signal %s: switch failed rc=0x%08X, ignored", get_string_by_id(getInstanceId()),
                  rc.getRcWithoutLogFlag());
    return ErrorData();
  }
  return rc;
}

BuildBase* createSignal(void*, BaseErrorData&) { return (new Signal())->getBuildInterface(); }
