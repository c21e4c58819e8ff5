#include "kav/cards/SlotRedundancyController.h"

#include <algorithm>

#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(SlotRedundancyController, AtomicBase)

namespace {
const unsigned int kHandlerLimitMs = 1000;
}

SlotRedundancyController::SlotRedundancyController() {}

SlotRedundancyController::~SlotRedundancyController() {}

BaseErrorData SlotRedundancyController::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  if (info.getLocalAttributes() != nullptr) {
    rc = getAttributeVector32(m_slotIds, kav::sid::SLOT_ID, *info.getLocalAttributes(), false);
  }
  return rc;
}

BaseErrorData SlotRedundancyController::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step == initSequence::INIT_REGISTER_EVENTS) rc = registerEvents();
  return rc;
}

BaseErrorData SlotRedundancyController::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) deregisterEvents();
  return AtomicBase::terminate(step);
}

BaseErrorData SlotRedundancyController::registerEvents() {
  BaseErrorData rc;
  if (!m_registrationIds.empty()) return rc;
  EventSource<ConfigChangeEvent>* source = ConfigChangeEventSender::getInstance()->getEventSource();
  typedef void (SlotRedundancyController::*Handler_t)(const ConfigChangeEvent&);
  const Handler_t onConfig = &SlotRedundancyController::handleConfigEvent;
  const Handler_t onUnconfig = &SlotRedundancyController::handleUnconfigEvent;
  for (unsigned int slotId : m_slotIds) {
    ConfigChangeEvent::EventType_s configured{slotId, ConfigChangeEvent::CONFIGURED};
    ConfigChangeEvent::EventType_s unconfigured{slotId, ConfigChangeEvent::UNCONFIGURED};
    long a = registerForEvent<ConfigChangeEvent, SlotRedundancyController>(source, &m_router, configured, this,
                                                                           onConfig, false);
    long b = registerForEvent<ConfigChangeEvent, SlotRedundancyController>(source, &m_router, unconfigured, this,
                                                                           onUnconfig, false);
    if (a < 0 || b < 0) {
      KAV_TRACE(KAVE, "SlotRedundancyController: registration failed slot=0x%08X", slotId);
      rc = 0x7000u;
    }
    if (a >= 0) m_registrationIds.push_back(a);
    if (b >= 0) m_registrationIds.push_back(b);
  }
  return rc;
}

void SlotRedundancyController::deregisterEvents() {
  for (long id : m_registrationIds) m_router.deregisterFromEvent(id);
  m_registrationIds.clear();
}

void SlotRedundancyController::handleConfigEvent(const ConfigChangeEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleConfigEvent");
  handleConfigEvent(event.getSlotId());
}

void SlotRedundancyController::handleUnconfigEvent(const ConfigChangeEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleUnconfigEvent");
  handleUnconfigEvent(event.getSlotId());
  // A card went away: the oscillator status handler collects the debug data
  // of the moment and reports the change with the others of its round.
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr) {
    handler->collectDebugInfo();
    handler->notifyStatusChange({event.getSlotId(), kavstl::string(), OscillatorStatusHandler::REPORT_ONLY});
  }
}

bool SlotRedundancyController::containsSlotId(unsigned int slotId) const {
  return std::find(m_slotIds.begin(), m_slotIds.end(), slotId) != m_slotIds.end();
}
