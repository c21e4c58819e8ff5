#include "kav/clock/osc/OscControl.h"

#include "kav/clock/osc/OscAdapterServices.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(OscControl, PowerControllable)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kBadMode = 0x7254;

}  // namespace

OscControl::OscControl() : m_oscSetMode(0) {}

OscControl::~OscControl() {}

BaseErrorData OscControl::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int count = 0;
  auto missing = [&](const char* what) {
    KAV_TRACE_STR(KAVE, "OscControl::init no %s slot=0x%08X count=%u", what, getSlotId(), count);
    rc = kNotLinked;
  };
  m_pFruStateTableLink = singleHiddenChild<FruStateTableLink>(*this, count);
  if (m_pFruStateTableLink == nullptr) missing("FruStateTableLink");
  m_pUseOsc0 = singleHiddenChild<PldHwrInterface>(*this, count, kav::sid::OSC_0);
  if (m_pUseOsc0 == nullptr) missing("use control Osc0");
  m_pOsc0Status = singleHiddenChild<DioHwrInterface>(*this, count, kav::sid::OSC_0);
  if (m_pOsc0Status == nullptr) missing("status input Osc0");
  m_pUseOsc1 = singleHiddenChild<PldHwrInterface>(*this, count, kav::sid::OSC_1);
  if (m_pUseOsc1 == nullptr) missing("use control Osc1");
  m_pOsc1Status = singleHiddenChild<DioHwrInterface>(*this, count, kav::sid::OSC_1);
  if (m_pOsc1Status == nullptr) missing("status input Osc1");
  m_groups.clear();
  for (const KavPtr<QueryBase>& child : getChildren())
    if (child->isInstanceOf(OscControlGroup::staticGetClassId()))
      m_groups[static_cast<unsigned int>(m_groups.size())] = KavPtr<OscControlGroup>(child);
  return rc;
}

BaseErrorData OscControl::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pFruStateTableLink = KavPtr<FruStateTableLink>();
    m_pUseOsc0 = m_pUseOsc1 = KavPtr<PldHwrInterface>();
    m_pOsc0Status = m_pOsc1Status = KavPtr<DioHwrInterface>();
    m_groups.clear();
  }
  return PowerControllable::terminate(step);
}

KavPtr<FruStateTable> OscControl::getFruStateTable() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pFruStateTableLink == nullptr ? KavPtr<FruStateTable>() : m_pFruStateTableLink->getLinkTarget();
}

ErrorData OscControl::readActivationState(kav::FruActivationState_t& state) const {
  state = kav::FRU_NOT_ACTIVATED;
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return table->getActivationState(&state);
}

ErrorData OscControl::performInitialSetup(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  m_oscSetMode = mode;
  ErrorData rc = manageOutputEnablement(mode);
  rc = manageInterruptEnablement(mode);
  return rc;
}

ErrorData OscControl::writeMode(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  m_oscSetMode = mode;
  kav::FruActivationState_t state;
  ErrorData rc = readActivationState(state);
  if (rc == 0 && state == kav::FRU_ACTIVATED) rc = writeModeToHw(mode);
  KAV_TRACE(KAVT, "OscControl::writeMode slot=0x%08X mode=%u state=%u rc=0x%08X", getSlotId(), mode,
            static_cast<unsigned int>(state), rc.getRc());
  return rc;
}

ErrorData OscControl::writeModeToHw(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  switch (mode) {
    case 0:
    case 4:
      rc = switchUseOsc0(kavPld::LOOKUP_CONTROL_3);
      rc = switchUseOsc1(kavPld::LOOKUP_CONTROL_3);
      rc = disableAllPropagation();
      break;
    case 1:
      rc = switchUseOsc0(kavPld::LOOKUP_CONTROL_1);
      rc = switchUseOsc1(kavPld::LOOKUP_CONTROL_3);
      break;
    case 2:
      rc = switchUseOsc0(kavPld::LOOKUP_CONTROL_3);
      rc = switchUseOsc1(kavPld::LOOKUP_CONTROL_1);
      break;
    case 3:
      rc = switchUseOsc0(kavPld::LOOKUP_CONTROL_2);
      rc = switchUseOsc1(kavPld::LOOKUP_CONTROL_2);
      rc = disableAllPropagation();
      break;
    default:
      rc = kBadMode;
      break;
  }
  return rc;
}

ErrorData OscControl::switchUseOsc(const KavPtr<PldHwrInterface>& use, kavPld::LookupControl_t control,
                                   const char* which) {
  if (use == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  // The processor chips must not follow the oscillator while it goes off.
  if (control == kavPld::LOOKUP_CONTROL_3) OscAdapterServices::clearClockBit();
  ErrorData rc = use->writeLookupTableControl(control);
  if (control == kavPld::LOOKUP_CONTROL_3) OscAdapterServices::setClockBit();
  KAV_TRACE_STR(KAVT, "OscControl::switchUseOsc %s slot=0x%08X control=%u rc=0x%08X", which, getSlotId(),
                static_cast<unsigned int>(control), rc.getRc());
  return rc;
}

ErrorData OscControl::switchUseOsc0(kavPld::LookupControl_t control) {
  IFOSGuard<const QueryBase> guard(*this);
  return switchUseOsc(m_pUseOsc0, control, "Osc0");
}

ErrorData OscControl::switchUseOsc1(kavPld::LookupControl_t control) {
  IFOSGuard<const QueryBase> guard(*this);
  return switchUseOsc(m_pUseOsc1, control, "Osc1");
}

ErrorData OscControl::manageOutputEnablement(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state;
  ErrorData rc = readActivationState(state);
  if (rc != 0 || state == kav::FRU_NOT_ACTIVATED) return rc;
  for (const auto& group : m_groups) rc = group.second->manageOutputEnablement(mode);
  return rc;
}

ErrorData OscControl::manageInterruptEnablement(unsigned int mode) {
  IFOSGuard<const QueryBase> guard(*this);
  kav::FruActivationState_t state;
  ErrorData rc = readActivationState(state);
  if (rc != 0 || state == kav::FRU_NOT_ACTIVATED) return rc;
  for (const auto& group : m_groups) rc = group.second->manageInterruptEnablement(mode);
  return rc;
}

KavPtr<OscControlGroup> OscControl::getGroup(unsigned int index) const {
  IFOSGuard<const QueryBase> guard(*this);
  auto found = m_groups.find(index);
  return found == m_groups.end() ? KavPtr<OscControlGroup>() : found->second;
}

ErrorData OscControl::setPropagationMode(unsigned int group,
                                         const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes) {
  KavPtr<OscControlGroup> target = getGroup(group);
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return target->setPropagationMode(modes);
}

ErrorData OscControl::disableAllPropagation() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (const auto& group : m_groups) rc = group.second->disableAllPropagation();
  return rc;
}

ErrorData OscControl::readSynchLostCounts(unsigned int group, kavstl::vector<unsigned int>& counts) {
  KavPtr<OscControlGroup> target = getGroup(group);
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return target->readSynchLostCounts(counts);
}

ErrorData OscControl::readStatus(kavosc::OscControlStatus_t& status) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  status.osc0StatusOn = status.osc1StatusOn = false;
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  if (m_pOsc0Status == nullptr || m_pOsc1Status == nullptr) {
    rc = kMissing;
  } else {
    rc = m_pOsc0Status->read(state);
    status.osc0StatusOn = state == dioState::DIO_STATE_ON;
    state = dioState::DIO_STATE_NONE;
    rc = m_pOsc1Status->read(state);
    status.osc1StatusOn = state == dioState::DIO_STATE_ON;
  }
  status.groups.clear();
  for (const auto& group : m_groups) {
    kavosc::OscControlGroupStatus_t groupStatus;
    rc = group.second->readStatus(groupStatus);
    status.groups.push_back(groupStatus);
  }
  return rc;
}

ErrorData OscControl::switchForPwrCtrl(unsigned int sequence, unsigned int step) {
  IFOSGuard<const QueryBase> guard(*this);
  if (sequence != kav::sid::CLOCK_MODE_SEQUENCE) return ErrorData(ErrorData::NO_OVERWRITE, kNotLinked);
  ErrorData rc;
  if (step == kav::sid::STATE_ON) {
    rc = writeModeToHw(m_oscSetMode);
    rc = manageOutputEnablement(m_oscSetMode);
    rc = manageInterruptEnablement(m_oscSetMode);
  } else if (step == kav::sid::STATE_OFF) {
    rc = manageInterruptEnablement(0);
  } else {
    rc = kNotLinked;
  }
  KAV_TRACE(KAVT, "OscControl::switchForPwrCtrl slot=0x%08X step=%u rc=0x%08X", getSlotId(), step, rc.getRc());
  return rc;
}

unsigned int OscControl::getMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_oscSetMode;
}

BuildBase* createOscControl(void*, BaseErrorData&) { return (new OscControl())->getBuildInterface(); }
