#include "kav/cards/PowerSequence.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(PowerSequence, QueryBase)

PowerSequence::PowerSequence() : m_sequenceType(PowerControllable::OTHER), m_sequenceId(0) {}

PowerSequence::~PowerSequence() {}

unsigned int PowerSequence::typeNameId(SequenceType_t type) {
  switch (type) {
    case PowerControllable::POWER_ON:
      return kav::sid::STATE_ON;
    case PowerControllable::POWER_OFF:
      return kav::sid::STATE_OFF;
    default:
      return kav::sid::SEQUENCE_TYPE_OTHER;
  }
}

unsigned int PowerSequence::sequenceIdFor(unsigned int nameId, SequenceType_t type) {
  return get_concatenation_string_id(kavstl::vector<unsigned int>{nameId, typeNameId(type)});
}

BaseErrorData PowerSequence::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  unsigned int typeId = 0;
  rc = getAttributeStringId(&typeId, kav::sid::SEQUENCE_TYPE, *node, false);
  if (typeId == kav::sid::STATE_ON)
    m_sequenceType = PowerControllable::POWER_ON;
  else if (typeId == kav::sid::STATE_OFF)
    m_sequenceType = PowerControllable::POWER_OFF;
  else
    m_sequenceType = PowerControllable::OTHER;
  m_sequenceId = get_concatenation_string_id(kavstl::vector<unsigned int>{getInstanceId(), typeId});
  return rc;
}

BaseErrorData PowerSequence::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  m_steps.clear();
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(PowerStep::staticGetClassId())) continue;
    KavPtr<PowerStep> s(child);
    if (!m_steps.emplace(s->getStepNr(), s).second)
      KAV_TRACE_STR(KAVE, "PowerSequence %s: step %u twice, the first stays", get_string_by_id(m_sequenceId),
                    s->getStepNr());
  }
  return rc;
}

BaseErrorData PowerSequence::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc = QueryBase::terminate(step);
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_steps.clear();
  }
  return rc;
}

unsigned int PowerSequence::getSequenceId() const { return m_sequenceId; }

PowerSequence::SequenceType_t PowerSequence::getSequenceType() const { return m_sequenceType; }

bool PowerSequence::hasSteps() const {
  IFOSGuard<const QueryBase> guard(*this);
  return !m_steps.empty();
}

void PowerSequence::addStepsToSet(kavstl::set<unsigned int>& steps) const {
  IFOSGuard<const QueryBase> guard(*this);
  for (const auto& entry : m_steps) steps.insert(entry.first);
}

KavPtr<PowerStep> PowerSequence::getPowerStep(unsigned int stepNr) const {
  IFOSGuard<const QueryBase> guard(*this);
  auto it = m_steps.find(stepNr);
  return it == m_steps.end() ? KavPtr<PowerStep>() : it->second;
}

BuildBase* createPowerSequence(void*, BaseErrorData&) { return (new PowerSequence())->getBuildInterface(); }
