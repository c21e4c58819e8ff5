#include "kav/cards/Slot.h"

#include "kav/cards/FruBuilder.h"
#include "kav/cards/SlotIdProviderInterface.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(Slot, AtomicBase)

Slot::Slot() : m_slotId(0), m_configurationState(NOT_CONFIGURED) {}

Slot::~Slot() {}

BaseErrorData Slot::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step != initSequence::INIT_VARIABLES) return rc;

  KavPtr<SlotIdProviderInterface> provider;
  unsigned int count = 0;
  QueryBase::ChildList_t children = getChildren();
  QueryBase::ChildList_t hidden = getHiddenChildren();
  children.insert(children.end(), hidden.begin(), hidden.end());
  for (const KavPtr<QueryBase>& child : children) {
    if (child->isInstanceOf(SlotIdProviderInterface::staticGetClassId())) {
      provider = KavPtr<SlotIdProviderInterface>(child);
      ++count;
    }
  }
  if (count != 1) {
    // A slot whose provider already left keeps the id it read.
    if (m_slotId == 0) {
      KAV_TRACE(KAVE, "Slot::init no single slot-id provider count=%u", count);
      rc = 0x7000u;
    }
    return rc;
  }
  rc = provider->initSlotId();
  m_slotId = provider->getSlotId();
  KAV_TRACE(KAVT, "Slot::init slot id 0x%08X", m_slotId.load());
  return rc;
}

unsigned int Slot::getSlotId() const { return m_slotId; }

BaseErrorData Slot::getConfigurationState(ConfigurationState_t* state) {
  BaseErrorData rc;
  if (state == nullptr) {
    KAV_TRACE(KAVE, "Slot::getConfigurationState null pointer slot=0x%08X", getSlotId());
    rc = 0x7000u;
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  *state = m_configurationState;
  return rc;
}

BaseErrorData Slot::setConfigComplete(bool complete) {
  IFOSGuard<const QueryBase> guard(*this);
  m_configurationState = complete ? CONFIGURED : NOT_CONFIGURED;
  ConfigChangeEvent event(getSlotId(), complete ? ConfigChangeEvent::CONFIGURED : ConfigChangeEvent::UNCONFIGURED);
  KAV_TRACE(KAVT, "Slot::setConfigComplete slot=0x%08X complete=%u", getSlotId(), complete ? 1u : 0u);
  ConfigChangeEventSender::getInstance()->sendEvent(event);
  return BaseErrorData();
}

bool Slot::readIsPlugged(bool quiet) {
  KavPtr<FruBuilder> builder;
  unsigned int count = 0;
  for (const KavPtr<QueryBase>& child : getChildren()) {
    if (child->isInstanceOf(FruBuilder::staticGetClassId())) {
      builder = KavPtr<FruBuilder>(child);
      ++count;
    }
  }
  if (count != 1) return true;
  return builder->readIsPlugged(quiet);
}

BuildBase* createSlot(void*, BaseErrorData&) { return (new Slot())->getBuildInterface(); }
