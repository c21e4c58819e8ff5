#include "kav/cards/PowerControl.h"

#include <cstdio>

#include "kav/cards/PowerSequenceUtil.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/errors/Logger.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/search/SlotIdCriteria.h"
#include "kav/tree/start/BsIdentity.h"

KAV_TREE_CLASS_IMPL(PowerControl, AtomicBase)

IFOSRcHighResolutionClock PowerControl::s_clock;

namespace {
constexpr unsigned int kNoStateTable = 0x7000;
constexpr unsigned int kNotLinked = 0x7002;
constexpr unsigned int kInvalidAttribute = 0x7013;

ErrorData noStateTable(const char* operation) {
  KAV_TRACE_STR(KAVE, "PowerControl::%s: no FRU state table", operation);
  return ErrorData(ErrorData::NO_OVERWRITE, kNoStateTable);
}
}  // namespace

PowerControl::PowerControl()
    : m_timeForNextStep(0),
      m_stepPerformed(false),
      m_powerSequenceFailed(false),
      m_activateDeactivateSequence(kav::sid::ENGINE_TYPE_NONE),
      m_actionOnFail(ACTION_NONE) {}

PowerControl::~PowerControl() {}

BaseErrorData PowerControl::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  unsigned int id = 0;
  if (getAttributeStringId(&id, kav::sid::ACTION_ON_FAIL, *node, true) == 0) {
    if (id == kav::sid::ACTION_ON_FAIL_REPORT) {
      m_actionOnFail = ACTION_REPORT;
    } else if (id == kav::sid::ACTION_ON_FAIL_POWER_OFF) {
      m_actionOnFail = ACTION_POWER_OFF;
    } else {
      KAV_TRACE_STR(KAVE, "PowerControl: invalid action on fail %s", get_string_by_id(id));
      rc = kInvalidAttribute;
    }
  }
  if (getAttributeStringId(&id, kav::sid::ACTIVATION_SEQUENCE, *node, true) == 0) m_activateDeactivateSequence = id;
  return rc;
}

BaseErrorData PowerControl::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  m_pContainer = seekUp<Container>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Container::staticGetClassId()));
  if (m_pContainer == nullptr) {
    KAV_TRACE(KAVE, "PowerControl::init no container slot=0x%08X", getSlotId());
    rc = kNotLinked;
  }
  m_elementMap.clear();
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(PowerSequence::staticGetClassId())) continue;
    KavPtr<PowerSequence> s(child);
    m_elementMap[s->getSequenceId()] = s;
  }
  return rc;
}

BaseErrorData PowerControl::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::terminate(step);
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pContainer = KavPtr<Container>();
    m_elementMap.clear();
  }
  return rc;
}

ErrorData PowerControl::run(unsigned int sequenceId, SequenceType_t type) {
  ExecList<PowerControl> cards;
  cards.addElement(KavPtr<PowerControl>(this));
  return PowerSequenceUtil::executePowerSequence(cards, sequenceId, type);
}

ErrorData PowerControl::activate(bool all) { return activateDeactivate(all, PowerControllable::POWER_ON); }

ErrorData PowerControl::deactivate(bool all) { return activateDeactivate(all, PowerControllable::POWER_OFF); }

ErrorData PowerControl::activateDeactivate(bool all, SequenceType_t type) {
  KavPtr<Container> container = getContainer();
  if (container == nullptr) {
    KAV_TRACE(KAVE, "PowerControl::activateDeactivate not linked slot=0x%08X", getSlotId());
    return ErrorData(ErrorData::NO_OVERWRITE, kNotLinked);
  }
  const unsigned int slotId = getSlotId();
  ExecList<PowerControl> cards = collectClasstypeInSubTree<PowerControl>(KavPtr<const QueryBase>(container), true);
  if (!all) cards.keepAllForCriteria(SlotIdCriteria(slotId, 0xFFFFFFFF));
  ErrorData rc = PowerSequenceUtil::executePowerSequence(cards, m_activateDeactivateSequence, type);
  if (rc != 0) return rc;
  const bool on = type == PowerControllable::POWER_ON;
  char name[32];
  std::snprintf(name, sizeof(name), "%s%X", on ? "FruActi" : "FruDeac", slotId);
  char text[128];
  std::snprintf(text, sizeof(text), "Fru got %s in SlotId 0x%X in Cage %u Node %u\n", on ? "activated" : "deactivated",
                slotId, bs_get_local_cageid(), bs_get_local_nodeid());
  Logger().logEvent(name, text);
  return rc;
}

KavPtr<PowerSequence> PowerControl::getPowerSequence(unsigned int sequenceId, SequenceType_t type) const {
  unsigned int key = PowerSequence::sequenceIdFor(sequenceId, type);
  IFOSGuard<const QueryBase> guard(*this);
  auto it = m_elementMap.find(key);
  return it == m_elementMap.end() ? KavPtr<PowerSequence>() : it->second;
}

bool PowerControl::hasPowerSequence(unsigned int sequenceId, SequenceType_t type) const {
  return getPowerSequence(sequenceId, type) != nullptr;
}

KavPtr<PowerStep> PowerControl::getPowerStep(unsigned int sequenceId, SequenceType_t type,
                                             unsigned int stepNr) const {
  KavPtr<PowerSequence> sequence = getPowerSequence(sequenceId, type);
  return sequence == nullptr ? KavPtr<PowerStep>() : sequence->getPowerStep(stepNr);
}

ErrorData PowerControl::setActivationState(FruActivationState_t) { return noStateTable("setActivationState"); }
ErrorData PowerControl::getActivationState(FruActivationState_t&) { return noStateTable("getActivationState"); }
ErrorData PowerControl::getFencedFlag(bool&) { return noStateTable("getFencedFlag"); }
ErrorData PowerControl::setFencedFlag() { return noStateTable("setFencedFlag"); }
ErrorData PowerControl::resetFencedFlag() { return noStateTable("resetFencedFlag"); }
ErrorData PowerControl::getPowerFailFlag(bool&) { return noStateTable("getPowerFailFlag"); }
ErrorData PowerControl::setPowerFailFlag() { return noStateTable("setPowerFailFlag"); }
ErrorData PowerControl::resetPowerFailFlag() { return noStateTable("resetPowerFailFlag"); }

void PowerControl::resetWaitTime() { m_timeForNextStep = nowMs(); }

void PowerControl::setDelayToNextStep(unsigned int ms) { m_timeForNextStep = nowMs() + ms; }

KavPtr<Container> PowerControl::getContainer() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pContainer;
}

BuildBase* createPowerControl(void*, BaseErrorData&) { return (new PowerControl())->getBuildInterface(); }
