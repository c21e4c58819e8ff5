#include "kav/clock/osc/OscControlUnit.h"

#include <cstdio>

#include "kav/clock/osc/CheckSynchLostJob.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/EventMemberParameterCallback.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/runtime/TimeScale.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(OscControlUnit, QueryBase)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kBadPropagation = 0x7256;
const unsigned int kEngineDeleted = 0x7017;
const unsigned int kEngineNotOpen = 0x7019;
const unsigned int kHandlerLimitMs = 1000;

bool isOn(dioState::DioState_t state) { return state == dioState::DIO_STATE_ON; }

}  // namespace

OscControlUnit::OscControlUnit() : m_oscSetMode(0), m_synchLostJobId(0) {}

OscControlUnit::~OscControlUnit() {}

BaseErrorData OscControlUnit::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) rc = linkChildren();
  if (step == initSequence::INIT_REGISTER_EVENTS) rc = registerEvents();
  return rc;
}

BaseErrorData OscControlUnit::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) {
    {
      IFOSGuard<const QueryBase> guard(*this);
      deleteSynchLostJob();
    }
    deregisterEvents();
  }
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) releaseChildren();
  return QueryBase::terminate(step);
}

ErrorData OscControlUnit::linkChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  m_inputs.clear();
  for (const KavPtr<QueryBase>& child : getHiddenChildren())
    if (child->isInstanceOf(DioHwrInterface::staticGetClassId())) {
      KavPtr<DioHwrInterface> line(child);
      m_inputs[line->getLogicalId()] = line;
    }
  for (unsigned int id : {0u, 1u})
    if (m_inputs.find(id) == m_inputs.end()) {
      KAV_TRACE(KAVE, "OscControlUnit::linkChildren no input %u slot=0x%08X", id, getSlotId());
      rc = kNotLinked;
    }
  unsigned int count = 0;
  m_pNodePropagationFencePldHwr = singleHiddenChild<PldHwrInterface>(*this, count);
  if (m_pNodePropagationFencePldHwr == nullptr) {
    KAV_TRACE(KAVE, "OscControlUnit::linkChildren no single fence slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  return rc;
}

void OscControlUnit::releaseChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  m_inputs.clear();
  m_pNodePropagationFencePldHwr = KavPtr<PldHwrInterface>();
}

BaseErrorData OscControlUnit::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  BaseErrorData rc;
  if (!m_oscCntlEventsRegIdVec.empty()) return rc;
  EventSource<DioEvent>* source = DioEventSender::getInstance()->getEventSource();
  for (const auto& entry : m_inputs) {
    EventMemberParameterCallback<OscControlUnit, DioEvent, unsigned int> callback(
        this, &OscControlUnit::handleOscCntlOffEvent, entry.first);
    const DioEvent::EventType filter = entry.second->getOffIrqId();
    const long id = m_router.registerForEvent(source, filter, callback);
    if (id < 0) {
      rc = kMissing;
      continue;
    }
    m_oscCntlEventsRegIdVec.push_back(id);
  }
  KAV_TRACE(KAVT, "OscControlUnit::registerEvents slot=0x%08X count=%u", getSlotId(),
            static_cast<unsigned int>(m_oscCntlEventsRegIdVec.size()));
  return rc;
}

void OscControlUnit::deregisterEvents() {
  kavstl::vector<long> ids;
  {
    IFOSGuard<const QueryBase> guard(*this);
    ids.swap(m_oscCntlEventsRegIdVec);
  }
  // Outside the lock: the router waits for a running handler, which takes it.
  for (long id : ids) m_router.deregisterFromEvent(id);
}

bool OscControlUnit::eventsRegistered() const {
  IFOSGuard<const QueryBase> guard(*this);
  return !m_oscCntlEventsRegIdVec.empty();
}

KavPtr<DioHwrInterface> OscControlUnit::input(unsigned int logicalId) const {
  auto found = m_inputs.find(logicalId);
  return found == m_inputs.end() ? KavPtr<DioHwrInterface>() : found->second;
}

ErrorData OscControlUnit::readStatus(kavosc::OscControlUnitStatus_t& status) {
  IFOSGuard<const QueryBase> guard(*this);
  status = kavosc::OscControlUnitStatus_t{false, false, 0};
  KavPtr<DioHwrInterface> in0 = input(0);
  KavPtr<DioHwrInterface> in1 = input(1);
  if (in0 == nullptr || in1 == nullptr || m_pNodePropagationFencePldHwr == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  ErrorData rc;
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  rc = in0->read(state);
  status.input0On = isOn(state);
  state = dioState::DIO_STATE_NONE;
  rc = in1->read(state);
  status.input1On = isOn(state);
  kavPld::LookupControl_t fence = kavPld::LOOKUP_CONTROL_NONE;
  rc = m_pNodePropagationFencePldHwr->readLookupTableControl(fence);
  status.propagationFenceEnabled = fence == kavPld::LOOKUP_CONTROL_1 ? 1u : 0u;
  return rc;
}

ErrorData OscControlUnit::readSynchLostCounts(unsigned int& count) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_oscSetMode != kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY) return ErrorData();
  KavPtr<DioHwrInterface> in1 = input(1);
  if (in1 == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  ErrorData rc;
  count = kSynchLostReadings;
  for (unsigned int i = 0; i < kSynchLostReadings; ++i) {
    dioState::DioState_t state = dioState::DIO_STATE_NONE;
    ErrorData read = in1->read(state);
    rc = read;
    if (read == 0 && isOn(state)) --count;
  }
  return rc;
}

ErrorData OscControlUnit::setPropagationMode(const kavosc::SwitchoverPropagationMode_t& mode) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pNodePropagationFencePldHwr == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kNotLinked);
  ErrorData rc;
  switch (mode) {
    case kavosc::PROPAGATION_OFF:
      rc = disableInterruptsInternal();
      rc = m_pNodePropagationFencePldHwr->writeLookupTableControl(kavPld::LOOKUP_CONTROL_2);
      break;
    case kavosc::PROPAGATION_ON:
      rc = m_pNodePropagationFencePldHwr->writeLookupTableControl(kavPld::LOOKUP_CONTROL_1);
      rc = enableInterruptsInternal();
      break;
    default:
      rc = kBadPropagation;
      break;
  }
  KAV_TRACE(KAVT, "OscControlUnit::setPropagationMode slot=0x%08X mode=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(mode), rc.getRc());
  return rc;
}

ErrorData OscControlUnit::enableInterrupts(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  m_oscSetMode = mode;
  return enableInterruptsInternal();
}

ErrorData OscControlUnit::enableInterruptsInternal() {
  kavosc::OscControlUnitStatus_t status;
  ErrorData rc = readStatus(status);
  if (status.propagationFenceEnabled != 0 && m_oscSetMode == kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY) {
    rc = enableInterrupt(0, dioState::DIO_STATE_OFF);
    if (m_synchLostJobId == 0) {
      CheckSynchLostJob* job = new CheckSynchLostJob(KavPtr<OscControlUnit>(this));
      m_synchLostJobId = TimedExecutor::getInstance()->insertJob(job, TimeScale::delayMs(kSynchLostPeriodMs), 0,
                                                                 kSynchLostAbendMs);
    }
  } else if (m_oscSetMode == kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY) {
    rc = enableInterrupt(1, dioState::DIO_STATE_OFF);
  }
  KAV_TRACE(KAVT, "OscControlUnit::enableInterrupts slot=0x%08X mode=%u job=%u rc=0x%08X", getSlotId(), m_oscSetMode,
            m_synchLostJobId, rc.getRc());
  return rc;
}

ErrorData OscControlUnit::disableInterrupts() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = disableInterruptsInternal();
  m_oscSetMode = 0;
  return rc;
}

ErrorData OscControlUnit::disableInterruptsInternal() {
  deleteSynchLostJob();
  ErrorData rc;
  KavPtr<DioHwrInterface> line;
  if (m_oscSetMode == kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY) line = input(0);
  if (m_oscSetMode == kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY) line = input(1);
  if (line != nullptr) rc = line->disableIrq();
  return rc;
}

void OscControlUnit::deleteSynchLostJob() {
  if (m_synchLostJobId != 0) TimedExecutor::getInstance()->deleteJob(m_synchLostJobId);
  m_synchLostJobId = 0;
}

ErrorData OscControlUnit::enableInterrupt(unsigned int inputId, dioState::DioState_t state) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<DioHwrInterface> line = input(inputId);
  if (line == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return line->enableIrq(state);
}

ErrorData OscControlUnit::resetHandledInterrupt(unsigned int inputId) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<DioHwrInterface> line = input(inputId);
  if (line == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return line->resetIrqCondition();
}

ErrorData OscControlUnit::checkForClockSwitch() {
  kavosc::OscControlUnitStatus_t status;
  unsigned int mode = 0;
  ErrorData rc;
  {
    IFOSGuard<const QueryBase> guard(*this);
    rc = readStatus(status);
    mode = m_oscSetMode;
  }
  if (rc != 0) return rc;
  if (mode != kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY || status.input0On || !status.input1On ||
      status.propagationFenceEnabled == 0)
    return rc;
  // A trace record keeps a string of up to 48 characters: the report goes
  // out in three records, each with its own short string.
  KAV_TRACE(KAVT, "SlotId=0x%.8x", getSlotId());
  KAV_TRACE_STR(KAVT, " - On OscControlUnit '%s' a HW-Event was detected! ", get_string_by_id(getInstanceId()));
  KAV_TRACE_STR(KAVT, "%sSwitchOver on ClockChip detected! Primary card Lost! ",
                mode == kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY ? "(Primary-Card) " : "(Secondary-Card) ");
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  handler->disableCardAsync(getSlotId());
  handler->notifyStatusChange({getSlotId(), kavstl::string(), OscillatorStatusHandler::ERROR});
  return rc;
}

void OscControlUnit::handleOscCntlOffEvent(const DioEvent&, unsigned int inputId) {
  SoftDogInt dog(kHandlerLimitMs, "handleOscCntlOffEvent");
  ErrorData rc = checkForClockSwitch();
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr)
    handler->notifyStatusChange({getSlotId(), kavstl::string(), OscillatorStatusHandler::REPORT_ONLY});
  else
    rc = kMissing;
  rc = resetHandledInterrupt(inputId);
  const unsigned int code = rc.getRcWithoutLogFlag();
  KAV_TRACE(KAVT, "OscControlUnit::handleOscCntlOffEvent slot=0x%08X input=%u rc=0x%08X", getSlotId(), inputId,
            rc.getRc());
  if (code != 0 && code != kEngineDeleted && code != kEngineNotOpen)
    rc.microcodeLog("kav/OscControlUnit", __LINE__, "Error in OscControlUnit::handleOscCntlOffEvent()", 2, true);
}

void OscControlUnit::runSynchLostCheck(unsigned int jobId) {
  ErrorData rc;
  bool lost = false;
  {
    IFOSGuard<const QueryBase> guard(*this);
    // A job that was replaced or deleted meanwhile does nothing.
    if (isDeleted() || jobId == 0 || m_synchLostJobId != jobId) return;
    CheckSynchLostJob* job = new CheckSynchLostJob(KavPtr<OscControlUnit>(this));
    m_synchLostJobId = TimedExecutor::getInstance()->insertJob(job, TimeScale::delayMs(kSynchLostPeriodMs), 0,
                                                               kSynchLostAbendMs);
    unsigned int count = 0;
    rc = readSynchLostCounts(count);
    lost = rc == 0 && m_oscSetMode == kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY && count == kSynchLostReadings;
  }
  KAV_TRACE(KAVT, "OscControlUnit::runSynchLostCheck slot=0x%08X lost=%d rc=0x%08X", getSlotId(), lost, rc.getRc());
  if (lost) {
    // Reported outside the lock: the handler takes its own.
    KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
    if (handler != nullptr) {
      handler->collectDebugInfo();
      handler->notifyStatusChange({getSlotId(), kavstl::string(), OscillatorStatusHandler::REPORT_ONLY});
    } else {
      rc = kMissing;
    }
  }
  if (rc != 0)
    rc.microcodeLog("kav/OscControlUnit", __LINE__, "Error in OscControlUnit::CheckSynchLostJob::execute()", 2, true);
}

unsigned int OscControlUnit::getMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_oscSetMode;
}

unsigned int OscControlUnit::getSynchLostJobId() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_synchLostJobId;
}

BuildBase* createOscControlUnit(void*, BaseErrorData&) { return (new OscControlUnit())->getBuildInterface(); }
