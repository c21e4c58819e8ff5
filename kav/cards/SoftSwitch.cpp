#include "kav/cards/SoftSwitch.h"

#include <cstdio>

#include "kav/events/DioEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(SoftSwitch, PowerControllable)

namespace {
const unsigned int kHandlerLimitMs = 1000;
const unsigned int kInvalidParameter = 0x7002;
const unsigned int kRegistrationFailed = 0x7000;
const unsigned int kUnexpectedChange = 0x7235;

kavstl::string hex8(unsigned int value) {
  char text[9];
  std::snprintf(text, sizeof text, "%.8X", value);
  return kavstl::string(text);
}
}  // namespace

SoftSwitch::SoftSwitch() : m_eventsRegistered(0) {}

SoftSwitch::~SoftSwitch() {}

BaseErrorData SoftSwitch::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  if (step == initSequence::INIT_REGISTER_EVENTS) {
    BaseErrorData reg = registerEvents();
    if (reg != 0) rc = reg;
  }
  return rc;
}

BaseErrorData SoftSwitch::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) deregisterEvents();
  return PowerControllable::terminate(step);
}

kavstl::vector<KavPtr<DioHwrInterface> > SoftSwitch::lines() const {
  kavstl::vector<KavPtr<DioHwrInterface> > found;
  for (const KavPtr<QueryBase>& child : getChildren())
    if (child != nullptr && child->isInstanceOf(DioHwrInterface::staticGetClassId()))
      found.push_back(KavPtr<DioHwrInterface>(child));
  return found;
}

BaseErrorData SoftSwitch::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  BaseErrorData rc;
  if (m_eventsRegistered != 0) return rc;
  m_eventsRegistered = 1;
  EventSource<DioEvent>* source = DioEventSender::getInstance()->getEventSource();
  for (const KavPtr<DioHwrInterface>& line : lines()) {
    const unsigned int irqId = line->getOffIrqId();
    long id = registerForEvent<DioEvent, SoftSwitch>(source, &m_router, irqId, this,
                                                    &SoftSwitch::handleEventSoftswitchCtrl, false);
    KAV_TRACE(KAVT, " %.8X,%d", irqId, static_cast<int>(id));
    if (id < 0) {
      rc = kRegistrationFailed;
      continue;
    }
    m_registrationIds.push_back(id);
    m_lines[id] = line;
  }
  return rc;
}

void SoftSwitch::deregisterEvents() {
  kavstl::vector<long> ids;
  {
    IFOSGuard<const QueryBase> guard(*this);
    ids = m_registrationIds;
    m_registrationIds.clear();
    m_lines.clear();
    m_eventsRegistered = 0;
  }
  // Outside the guard: a handler running now waits for it, and the router
  // waits for running handlers. It finds no line any more and returns.
  for (long id : ids) m_router.deregisterFromEvent(id);
}

unsigned int SoftSwitch::getRegistrationCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_registrationIds.size());
}

ErrorData SoftSwitch::switchForPwrCtrl(unsigned int lineNameId, unsigned int actionId) {
  ErrorData result;
  kavstl::vector<KavPtr<DioHwrInterface> > selected = lines();
  if (lineNameId != kav::sid::SOFT_SWITCH_ALL_LINES) {
    kavstl::vector<KavPtr<DioHwrInterface> > named;
    for (const KavPtr<DioHwrInterface>& line : selected)
      if (line->getInstanceId() == lineNameId) named.push_back(line);
    if (named.size() != 1) {
      // Neither a missing nor an ambiguous name switches anything.
      result = kInvalidParameter;
      KAV_TRACE_STR(KAVE, " %s,%i,%.8X", get_string_by_id(lineNameId), static_cast<int>(named.size()),
                    result.getRc());
      named.clear();
    }
    selected = named;
  }
  if (actionId == kav::sid::STATE_OFF) {
    for (const KavPtr<DioHwrInterface>& line : selected) {
      ErrorData rc = line->disableIrq();
      if (rc == 0) rc = line->off();
      if (rc != 0) result = rc;
    }
  } else if (actionId == kav::sid::STATE_ON) {
    for (const KavPtr<DioHwrInterface>& line : selected) {
      ErrorData rc = line->on();
      if (rc == 0) rc = line->enableIrq(dioState::DIO_STATE_OFF);
      if (rc != 0) result = rc;
    }
  } else {
    result = kInvalidParameter;
    KAV_TRACE_STR(KAVE, " %s,%.8X", get_string_by_id(actionId), result.getRc());
  }
  // The trace record holds one string: line and action name go together.
  const kavstl::string names = get_string_by_id(lineNameId) + "," + get_string_by_id(actionId);
  KAV_TRACE_STR(KAVT, " %.8X,%s,%.8X", names, getSlotId(), result.getRc());
  return result;
}

void SoftSwitch::handleEventSoftswitchCtrl(const DioEvent&, long registrationId) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleEventSoftswitchCtrl");
  kavstl::map<long, KavPtr<DioHwrInterface> >::const_iterator it = m_lines.find(registrationId);
  if (it == m_lines.end()) return;
  KavPtr<DioHwrInterface> line = it->second;
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  const ErrorData readRc = line->read(state);
  const kavstl::string name = get_string_by_id(line->getInstanceId());
  kavstl::string text = "SlotId=0x" + hex8(line->getSlotId());
  ErrorData err;
  if (readRc == 0) {
    err = kUnexpectedChange;
    if (state == dioState::DIO_STATE_ON)
      text += " - A short unexpected change on Softswitch control line '" + name +
              "' has occured and is no more present when the firmware checks the state of the softswitch "
              "control line again.";
    else
      text += " - An unexpected change on Softswitch control line '" + name +
              "' has occured and is still present when the firmware checks the state of the softswitch "
              "control line again.";
  } else {
    err = readRc;
    text += " - A short unexpected change on Softswitch control line '" + name +
            "' has occured.  After the firmware wants to check the state of the softswitch control line again "
            "the function returns with rc=0x" +
            hex8(readRc.getRcWithoutLogFlag());
  }
  err.addDataToErrorBuffer(text);
  err.logAsynchron("SoftswitchControlLine", "change", KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
  line->resetIrqCondition();
}

BuildBase* createSoftSwitch(void*, BaseErrorData&) { return (new SoftSwitch())->getBuildInterface(); }
