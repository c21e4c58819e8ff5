#include "kav/clock/osc/OscControlGroup.h"

#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/DioEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(OscControlGroup, QueryBase)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kBadMode = 0x7254;
const unsigned int kNotRegistered = 0xFFFFFFFF;
const unsigned int kHandlerLimitMs = 1000;

}  // namespace

OscControlGroup::OscControlGroup()
    : m_outputsEnabled(false),
      m_groupPowerGood(false),
      m_mode(0),
      m_regIdPowerGoodOn(kNotRegistered),
      m_regIdPowerGoodOff(kNotRegistered) {}

OscControlGroup::~OscControlGroup() {}

BaseErrorData OscControlGroup::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    unsigned int count = 0;
    m_pGroupPowerGood = singleHiddenChild<DioHwrInterface>(*this, count);
    if (m_pGroupPowerGood == nullptr) {
      KAV_TRACE(KAVE, "OscControlGroup::init no single power-good input slot=0x%08X count=%u", getSlotId(), count);
      rc = kNotLinked;
    }
    m_outputs.clear();
    m_units.clear();
    for (const KavPtr<QueryBase>& child : getHiddenChildren())
      if (child->isInstanceOf(OutputControlHwrInterface::staticGetClassId()))
        m_outputs[static_cast<unsigned int>(m_outputs.size())] = KavPtr<OutputControlHwrInterface>(child);
    for (const KavPtr<QueryBase>& child : getChildren()) {
      if (child->isInstanceOf(OutputControlHwrInterface::staticGetClassId()))
        m_outputs[static_cast<unsigned int>(m_outputs.size())] = KavPtr<OutputControlHwrInterface>(child);
      if (child->isInstanceOf(OscControlUnit::staticGetClassId()))
        m_units[static_cast<unsigned int>(m_units.size())] = KavPtr<OscControlUnit>(child);
    }
  }
  if (step == initSequence::INIT_REGISTER_EVENTS) rc = registerEvents();
  return rc;
}

BaseErrorData OscControlGroup::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) deregisterEvents();
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pGroupPowerGood = KavPtr<DioHwrInterface>();
    m_outputs.clear();
    m_units.clear();
  }
  return QueryBase::terminate(step);
}

BaseErrorData OscControlGroup::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  BaseErrorData rc;
  if (m_pGroupPowerGood == nullptr) return BaseErrorData(BaseErrorData::NO_OVERWRITE, kMissing);
  EventSource<DioEvent>* source = DioEventSender::getInstance()->getEventSource();
  if (m_regIdPowerGoodOn == kNotRegistered) {
    const long id = registerForEvent<DioEvent, OscControlGroup>(source, &m_router, m_pGroupPowerGood->getOnIrqId(),
                                                                this, &OscControlGroup::handlePowerGoodEvent, false);
    if (id >= 0) m_regIdPowerGoodOn = static_cast<unsigned int>(id);
  }
  if (m_regIdPowerGoodOff == kNotRegistered) {
    const long id = registerForEvent<DioEvent, OscControlGroup>(source, &m_router, m_pGroupPowerGood->getOffIrqId(),
                                                                this, &OscControlGroup::handlePowerGoodEvent, false);
    if (id >= 0) m_regIdPowerGoodOff = static_cast<unsigned int>(id);
  }
  if (m_regIdPowerGoodOn == kNotRegistered || m_regIdPowerGoodOff == kNotRegistered) rc = kMissing;
  return rc;
}

void OscControlGroup::deregisterEvents() {
  unsigned int on, off;
  {
    IFOSGuard<const QueryBase> guard(*this);
    on = m_regIdPowerGoodOn;
    off = m_regIdPowerGoodOff;
    m_regIdPowerGoodOn = m_regIdPowerGoodOff = kNotRegistered;
  }
  if (on != kNotRegistered) m_router.deregisterFromEvent(static_cast<long>(on));
  if (off != kNotRegistered) m_router.deregisterFromEvent(static_cast<long>(off));
}

ErrorData OscControlGroup::readGroupPowerGood(bool& good) {
  IFOSGuard<const QueryBase> guard(*this);
  good = false;
  if (m_pGroupPowerGood == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  ErrorData rc = m_pGroupPowerGood->read(state);
  good = rc == 0 && state == dioState::DIO_STATE_ON;
  m_groupPowerGood = good;
  return rc;
}

ErrorData OscControlGroup::checkAllOscSwitchCtrlOff(bool& allOff) {
  IFOSGuard<const QueryBase> guard(*this);
  allOff = true;
  ErrorData rc;
  for (const auto& unit : m_units) {
    kavosc::OscControlUnitStatus_t status;
    rc = unit.second->readStatus(status);
    if (status.input0On || status.input1On) allOff = false;
  }
  return rc;
}

ErrorData OscControlGroup::enableOutputsInternal() {
  bool good = false;
  ErrorData rc = readGroupPowerGood(good);
  if (!good) {
    bool allOff = false;
    rc = checkAllOscSwitchCtrlOff(allOff);
    if (allOff) {
      // A power-good input that could not be read stays the result.
      rc = disableOutputsInternal();
      return rc;
    }
  }
  for (const auto& output : m_outputs) rc = output.second->enableOutput();
  m_outputsEnabled = true;
  return rc;
}

ErrorData OscControlGroup::disableOutputsInternal() {
  ErrorData rc;
  for (const auto& output : m_outputs) rc = output.second->disableOutput();
  m_outputsEnabled = false;
  m_groupPowerGood = false;
  return rc;
}

ErrorData OscControlGroup::manageOutputEnablement(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (mode >= 1 && mode <= 3)
    rc = enableOutputsInternal();
  else if (mode == 0 || mode == 4)
    rc = disableOutputsInternal();
  else
    rc = kBadMode;
  KAV_TRACE(KAVT, "OscControlGroup::manageOutputEnablement slot=0x%08X mode=%u enabled=%d rc=0x%08X", getSlotId(), mode,
            m_outputsEnabled, rc.getRc());
  return rc;
}

ErrorData OscControlGroup::manageInterruptEnablement(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (mode >= 1 && mode <= 3) {
    m_mode = mode;
    if (m_pGroupPowerGood == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
    rc = m_pGroupPowerGood->enableIrq(m_groupPowerGood ? dioState::DIO_STATE_OFF : dioState::DIO_STATE_ON);
    if (m_outputsEnabled)
      for (const auto& unit : m_units) rc = unit.second->enableInterrupts(mode);
  } else if (mode == 0 || mode == 4) {
    for (const auto& unit : m_units) rc = unit.second->disableInterrupts();
    if (m_pGroupPowerGood != nullptr) rc = m_pGroupPowerGood->disableIrq();
    m_mode = 0;
  } else {
    rc = kBadMode;
  }
  return rc;
}

void OscControlGroup::handlePowerGoodEvent(const DioEvent&) {
  SoftDogInt dog(kHandlerLimitMs, "handlePowerGoodEvent");
  ErrorData rc;
  unsigned int mode = getMode();
  rc = manageOutputEnablement(mode);
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr)
    handler->notifyStatusChange({getSlotId(), kavstl::string(), OscillatorStatusHandler::REPORT_ONLY});
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_pGroupPowerGood != nullptr) rc = m_pGroupPowerGood->resetIrqCondition();
  }
  rc = manageInterruptEnablement(mode);
  if (rc != 0)
    rc.microcodeLog("kav/OscControlGroup", __LINE__, "Error in OscControlGroup::handlePowerGoodOnEvent()", 1, false);
}

ErrorData OscControlGroup::readStatus(kavosc::OscControlGroupStatus_t& status) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  bool good = false;
  rc = readGroupPowerGood(good);
  status.groupPowerGood = good;
  status.outputsEnabled = m_outputsEnabled;
  status.units.clear();
  for (const auto& unit : m_units) {
    kavosc::OscControlUnitStatus_t unitStatus;
    rc = unit.second->readStatus(unitStatus);
    status.units.push_back(unitStatus);
  }
  return rc;
}

ErrorData OscControlGroup::readSynchLostCounts(kavstl::vector<unsigned int>& counts) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (!m_outputsEnabled) return rc;
  for (const auto& unit : m_units) {
    unsigned int count = 0;
    rc = unit.second->readSynchLostCounts(count);
    counts.push_back(count);
  }
  return rc;
}

ErrorData OscControlGroup::setPropagationMode(const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (unsigned int i = 0; i < modes.size(); ++i) {
    auto unit = m_units.find(i);
    if (unit == m_units.end()) {
      rc = kMissing;
      continue;
    }
    rc = unit->second->setPropagationMode(modes[i]);
  }
  return rc;
}

ErrorData OscControlGroup::disableAllPropagation() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (const auto& unit : m_units) rc = unit.second->setPropagationMode(kavosc::PROPAGATION_OFF);
  return rc;
}

bool OscControlGroup::getOutputsEnabled() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_outputsEnabled;
}

unsigned int OscControlGroup::getMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_mode;
}

unsigned int OscControlGroup::getUnitCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_units.size());
}

BuildBase* createOscControlGroup(void*, BaseErrorData&) { return (new OscControlGroup())->getBuildInterface(); }
