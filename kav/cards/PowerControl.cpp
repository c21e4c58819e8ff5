#include "kav/cards/PowerControl.h"

#include <cstdio>

#include "kav/cards/PowerSequenceUtil.h"
#include "kav/cards/Slot.h"
#include "kav/tree/start/InitSequenceExecutor.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
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
constexpr unsigned int kUnexpectedRemove = 0x701E;

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
      m_actionOnFail(ACTION_NONE),
      m_removalChecked(false) {}

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
  if (step == initSequence::INIT_POWER_STATE) {
    BaseErrorData stateRc = initPowerState();
    if (rc == 0) rc = stateRc;
    return rc;
  }
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  m_removalChecked = false;
  m_pContainer = seekUp<Container>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Container::staticGetClassId()));
  m_pFruStateTable = KavPtr<FruStateTable>();
  if (m_pContainer == nullptr) {
    KAV_TRACE(KAVE, "PowerControl::init no container slot=0x%08X", getSlotId());
    rc = kNotLinked;
  } else {
    ExecList<FruStateTable> tables =
        collectClasstypeInSubTree<FruStateTable>(KavPtr<const QueryBase>(m_pContainer), true);
    m_pFruStateTable = tables.getSingleton(false);
    if (m_pFruStateTable == nullptr) {
      KAV_TRACE(KAVE, "PowerControl::init no single FRU state table slot=0x%08X tables=%u", getSlotId(),
                tables.elementCount());
      rc = kNotLinked;
    }
  }
  m_elementMap.clear();
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(PowerSequence::staticGetClassId())) continue;
    KavPtr<PowerSequence> s(child);
    m_elementMap[s->getSequenceId()] = s;
  }
  return rc;
}

// A state of 1 or 3 means the library stopped in the middle of a run: the
// card's power is unknown, so it counts as deactivated and its hardware is
// brought to the deactivated state.
BaseErrorData PowerControl::initPowerState() {
  FruActivationState_t state = DEACTIVATED;
  ErrorData rc = getActivationState(state);
  if (rc != 0) {
    KAV_TRACE(KAVE, "PowerControl::initPowerState slot=0x%08X read rc=0x%08X", getSlotId(), rc.getRc());
    state = DEACTIVATED;
  } else if (state == ACTIVATION_RUNNING || state == DEACTIVATION_RUNNING) {
    KAV_TRACE(KAVI, "PowerControl::initPowerState slot=0x%08X state %u reset to 0", getSlotId(), state);
    state = DEACTIVATED;
    rc = setActivationState(DEACTIVATED);
  }
  KavPtr<Container> container = getContainer();
  if (container == nullptr) return rc;
  ExecList<QueryBase> all;
  container->addToExecListInPrefixOrder(all, true);
  InitSequenceExecutor<QueryBase> executor;
  ErrorData stepsRc = all.forEachElementLoop(
      executor, state == ACTIVATED ? get_fru_activated_only_init_steps() : get_fru_deactivated_only_init_steps());
  rc = stepsRc;
  return rc;
}

BaseErrorData PowerControl::checkForUnexpectedFruRemove() {
  KavPtr<Slot> slot = seekUp<Slot>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Slot::staticGetClassId()));
  if (slot == nullptr) {
    // Cards live in slots; without one there is nothing to check.
    KAV_TRACE(KAVE, "PowerControl::checkForUnexpectedFruRemove no slot slot=0x%08X", getSlotId());
    return BaseErrorData();
  }
  if (slot->readIsPlugged(true)) return BaseErrorData();
  FruActivationState_t state = DEACTIVATED;
  if (getActivationState(state) != 0 || state == DEACTIVATED) return BaseErrorData();
  ErrorData rc(ErrorData::NO_OVERWRITE, kUnexpectedRemove);
  KAV_TRACE(KAVE, "PowerControl: card removed in slot 0x%08X while in activation state %u", getSlotId(), state);
  rc.setKeys(get_id_by_string("FruRemoveUnexpected"), 0);
  rc.logSynchron("FruRemoveUnexpected", "", KavPtr<const QueryBase>(slot), KavPtr<const QueryBase>(this));
  return rc;
}

BaseErrorData PowerControl::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::terminate(step);
  if (step == terminateSequence::TERM_MARK_DELETED) {
    bool first = false;
    {
      IFOSGuard<const QueryBase> guard(*this);
      first = !m_removalChecked;
      m_removalChecked = true;
    }
    if (first) {
      BaseErrorData removeRc = checkForUnexpectedFruRemove();
      if (rc == 0) rc = removeRc;
    }
  } else if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pContainer = KavPtr<Container>();
    m_pFruStateTable = KavPtr<FruStateTable>();
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

KavPtr<FruStateTable> PowerControl::stateTable() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pFruStateTable;
}

ErrorData PowerControl::setActivationState(FruActivationState_t state) {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("setActivationState");
  return table->setActivationState(static_cast<kav::FruActivationState_t>(state));
}

ErrorData PowerControl::getActivationState(FruActivationState_t& state) {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("getActivationState");
  kav::FruActivationState_t value = kav::FRU_NOT_ACTIVATED;
  ErrorData rc = table->getActivationState(&value);
  state = static_cast<FruActivationState_t>(value);
  return rc;
}

ErrorData PowerControl::getFencedFlag(bool& flag) {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("getFencedFlag");
  return table->getFencedFlag(&flag);
}

ErrorData PowerControl::setFencedFlag() {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("setFencedFlag");
  return table->setFencedFlag();
}

ErrorData PowerControl::resetFencedFlag() {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("resetFencedFlag");
  return table->resetFencedFlag();
}

ErrorData PowerControl::getPowerFailFlag(bool& flag) {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("getPowerFailFlag");
  return table->getPowerFailFlag(&flag);
}

ErrorData PowerControl::setPowerFailFlag() {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("setPowerFailFlag");
  return table->setPowerFailFlag();
}

ErrorData PowerControl::resetPowerFailFlag() {
  KavPtr<FruStateTable> table = stateTable();
  if (table == nullptr) return noStateTable("resetPowerFailFlag");
  return table->resetPowerFailFlag();
}

void PowerControl::resetWaitTime() { m_timeForNextStep = nowMs(); }

void PowerControl::setDelayToNextStep(unsigned int ms) { m_timeForNextStep = nowMs() + ms; }

KavPtr<Container> PowerControl::getContainer() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pContainer;
}

BuildBase* createPowerControl(void*, BaseErrorData&) { return (new PowerControl())->getBuildInterface(); }
