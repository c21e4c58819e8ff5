#include "kav/clock/osc/OscCardSet.h"

#include "kav/clock/osc/OscAdapterServices.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/KavWait.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/search/SlotIdCriteria.h"

KAV_TREE_CLASS_IMPL(OscCardSet, SlotRedundancyController)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kBadMode = 0x7254;

template <class T>
ExecList<T> collectInSlot(const KavPtr<Container>& container, unsigned int slotId) {
  ExecList<T> list = collectClasstypeInSubTree<T>(KavPtr<const QueryBase>(container), true);
  list.keepAllForCriteria(SlotIdCriteria(slotId, 0xFFFFFFFFu));
  return list;
}

}  // namespace

OscCardSet::OscCardSet()
    : m_initialized(false),
      m_oscCardSet(kavosc::OSC_CARD_SET_NONE),
      m_oscSetMode(kavosc::OSC_SET_MODE_NONE),
      m_oscCtrlSlot(0) {}

OscCardSet::~OscCardSet() {}

// The set shares the lock of its nearest AtomicBase ancestor.
unsigned long OscCardSet::mutexRequest(int timeout) const { return QueryBase::mutexRequest(timeout); }
unsigned long OscCardSet::mutexRelease() const { return QueryBase::mutexRelease(); }

BaseErrorData OscCardSet::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = SlotRedundancyController::setAttributes(info);
  if (info.getLocalAttributes() == nullptr) return rc;
  unsigned int set = 0;
  rc = getAttributeUint32(&set, kav::sid::OSC_CARD_SET_ATTRIBUTE, *info.getLocalAttributes(), false);
  m_oscCardSet = static_cast<kavosc::OscCardSet_t>(set);
  rc = getAttributeUint32(&m_oscCtrlSlot, kav::sid::OSC_CTRL_SLOT_ATTRIBUTE, *info.getLocalAttributes(), false);
  return rc;
}

BaseErrorData OscCardSet::init(initSequence::Id_t step) {
  BaseErrorData rc = SlotRedundancyController::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    unsigned int count = 0;
    for (const KavPtr<QueryBase>& child : getChildren())
      if (child->isInstanceOf(ClockDomainRedundancyController::staticGetClassId())) {
        m_clockDomainRedundancyController = KavPtr<ClockDomainRedundancyController>(child);
        ++count;
      }
    if (count != 1) {
      KAV_TRACE(KAVE, "OscCardSet::init set 0x%02X: %u redundancy controllers", m_oscCardSet, count);
      m_clockDomainRedundancyController = KavPtr<ClockDomainRedundancyController>();
      rc = kNotLinked;
    }
  }
  return rc;
}

BaseErrorData OscCardSet::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_STOP) {
    rc = SlotRedundancyController::terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    IFOSGuard<const QueryBase> guard(*this);
    m_initialized = false;
  }
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pOscCtrl = KavPtr<OscControl>();
    m_clockDomainRedundancyController = KavPtr<ClockDomainRedundancyController>();
    m_cards.clear();
  }
  rc = SlotRedundancyController::terminate(step);
  return rc;
}

KavPtr<OscControl> OscCardSet::getOscControl() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pOscCtrl;
}

KavPtr<ClockDomainRedundancyController> OscCardSet::getClockDomainRedundancyController() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_clockDomainRedundancyController;
}

bool OscCardSet::isInitialized() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_initialized;
}

unsigned int OscCardSet::getCardCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_cards.size());
}

ErrorData OscCardSet::addAvailableClockDomainToExecList(ExecList<ClockDomain>& list) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (const auto& card : m_cards)
    for (const KavPtr<ClockDomain>& domain : card.second.clockDomains) rc = list.addElement(domain);
  return rc;
}

ErrorData OscCardSet::readMode(kavosc::OscSetMode_t& mode) const {
  IFOSGuard<const QueryBase> guard(*this);
  mode = m_oscSetMode;
  return ErrorData();
}

ErrorData OscCardSet::performInitialSetup(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  m_oscSetMode = mode;
  ErrorData rc;
  if (m_pOscCtrl != nullptr) rc = m_pOscCtrl->performInitialSetup(mode);
  ExecList<ClockDomain> domains;
  rc = addAvailableClockDomainToExecList(domains);
  for (const KavPtr<ClockDomain>& domain : domains) rc = domain->performInitialModeSetup(mode);
  m_initialized = true;
  KAV_TRACE(KAVT, "OscCardSet::performInitialSetup set 0x%02X mode=%u rc=0x%08X", m_oscCardSet, mode, rc.getRc());
  return rc;
}

ErrorData OscCardSet::writeMode(kavosc::OscSetMode_t mode) {
  IFOSGuard<const QueryBase> guard(*this);
  KAV_TRACE(KAVT, "OscCardSet::writeMode set 0x%02X mode=%u", m_oscCardSet, mode);
  if (mode > kavosc::OSC_SET_MODE_OTHER_SINGLE) return ErrorData(ErrorData::NO_OVERWRITE, kBadMode);
  m_oscSetMode = mode;
  ExecList<ClockDomain> domains;
  ErrorData rc = addAvailableClockDomainToExecList(domains);
  KavPtr<OscControl> control = m_pOscCtrl;
  // Without a control its steps are skipped in modes 0 and 4; the others
  // need it.
  const bool controlOptional = mode == kavosc::OSC_SET_MODE_NONE || mode == kavosc::OSC_SET_MODE_OTHER_SINGLE;
  auto controlWriteMode = [&]() {
    if (control != nullptr)
      rc = control->writeMode(mode);
    else if (!controlOptional)
      rc = kMissing;
  };
  auto controlOutputs = [&]() {
    if (control != nullptr)
      rc = control->manageOutputEnablement(mode);
    else if (!controlOptional)
      rc = kMissing;
  };
  auto domainsWriteMode = [&]() {
    for (const KavPtr<ClockDomain>& domain : domains) rc = domain->writeMode(mode);
  };
  switch (mode) {
    case kavosc::OSC_SET_MODE_NONE:
      controlWriteMode();
      controlOutputs();
      domainsWriteMode();
      break;
    case kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY:
      controlWriteMode();
      domainsWriteMode();
      controlOutputs();
      break;
    case kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY:
      domainsWriteMode();
      controlOutputs();
      if (control != nullptr) {
        OscAdapterServices::toggleClockBit();
        KavWait(kSecondaryControlWaitMs);
      }
      controlWriteMode();
      break;
    case kavosc::OSC_SET_MODE_SINGLE:
      controlWriteMode();
      domainsWriteMode();
      controlOutputs();
      KavWait(kSingleSettleWaitMs);
      break;
    case kavosc::OSC_SET_MODE_OTHER_SINGLE:
      controlWriteMode();
      domainsWriteMode();
      controlOutputs();
      break;
  }
  // The mode change enabled interrupts and clocks again: domains that are
  // being steered go back to steering mode.
  for (const KavPtr<ClockDomain>& domain : domains) {
    bool steering = false;
    if (domain->isSteeringModeActive(steering) == 0 && steering) rc = domain->startSteeringMode();
  }
  m_initialized = true;
  KAV_TRACE(KAVT, "OscCardSet::writeMode set 0x%02X mode=%u rc=0x%08X", m_oscCardSet, mode, rc.getRc());
  return rc;
}

ErrorData OscCardSet::getInfo(OscCardSetInfo_t& info) {
  IFOSGuard<const QueryBase> guard(*this);
  info = OscCardSetInfo_t();
  ErrorData rc;
  if (m_pOscCtrl != nullptr) {
    info.oscCtrlPresent = true;
    KavPtr<FruStateTable> table = m_pOscCtrl->getFruStateTable();
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    if (table == nullptr)
      rc = kMissing;
    else
      rc = table->getActivationState(&state);
    info.oscCtrlActive = state == kav::FRU_ACTIVATED;
  }
  for (const auto& card : m_cards) {
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    if (card.second.fruStateTable != nullptr) rc = card.second.fruStateTable->getActivationState(&state);
    for (const KavPtr<ClockDomain>& domain : card.second.clockDomains) {
      bool& available = info.clockDomainAvailability[domain->getClockDomainType()];
      available = available || state == kav::FRU_ACTIVATED;
    }
  }
  return rc;
}

bool OscCardSet::isValidModeForOscCardSet(kavosc::OscSetMode_t mode, const OscCardSetInfo_t& info) {
  return info.oscCtrlPresent || mode == kavosc::OSC_SET_MODE_NONE || mode == kavosc::OSC_SET_MODE_OTHER_SINGLE;
}

ErrorData OscCardSet::enableInterrupts() {
  IFOSGuard<const QueryBase> guard(*this);
  ExecList<ClockDomain> domains;
  ErrorData rc = addAvailableClockDomainToExecList(domains);
  for (const KavPtr<ClockDomain>& domain : domains) rc = domain->enableInterrupts();
  if (m_pOscCtrl != nullptr) rc = m_pOscCtrl->manageInterruptEnablement(m_oscSetMode);
  return rc;
}

ErrorData OscCardSet::disableInterrupts() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_pOscCtrl != nullptr) rc = m_pOscCtrl->manageInterruptEnablement(0);
  ExecList<ClockDomain> domains;
  rc = addAvailableClockDomainToExecList(domains);
  for (const KavPtr<ClockDomain>& domain : domains) rc = domain->disableInterrupts();
  return rc;
}

ErrorData OscCardSet::setPropagationMode(unsigned int group,
                                         const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes) {
  KavPtr<OscControl> control = getOscControl();
  if (control == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return control->setPropagationMode(group, modes);
}

ErrorData OscCardSet::disableAllPropagation() {
  KavPtr<OscControl> control = getOscControl();
  if (control == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return control->disableAllPropagation();
}

ErrorData OscCardSet::readSynchLostCounts(unsigned int group, kavstl::vector<unsigned int>& counts) {
  KavPtr<OscControl> control;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_oscSetMode != kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
    control = m_pOscCtrl;
  }
  if (control == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  return control->readSynchLostCounts(group, counts);
}

ErrorData OscCardSet::readOscControlStatus(kavosc::OscControlStatus_t& status) {
  KavPtr<OscControl> control;
  {
    IFOSGuard<const QueryBase> guard(*this);
    status.controlSlotId = m_oscCtrlSlot;
    status.oscSetMode = m_oscSetMode;
    control = m_pOscCtrl;
  }
  status.osc0StatusOn = status.osc1StatusOn = false;
  status.groups.clear();
  if (control == nullptr) return ErrorData();
  return control->readStatus(status);
}

ErrorData OscCardSet::readOscCardStates(kavstl::vector<kavosc::OscCardStatus_t>& states) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (unsigned int slotId : getSlotIds()) {
    kavosc::OscCardStatus_t status{slotId, m_oscCardSet, 0, false, 0, {}};
    auto card = m_cards.find(slotId);
    if (card != m_cards.end() && card->second.fruStateTable != nullptr) {
      kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
      bool powerFail = false;
      ErrorData read = card->second.fruStateTable->getActivationState(&state);
      if (read == 0) read = card->second.fruStateTable->getPowerFailFlag(&powerFail);
      if (read == 0) {
        if (state == kav::FRU_ACTIVATED) {
          status.cardState = powerFail ? 3 : 1;
          for (const KavPtr<ClockDomain>& domain : card->second.clockDomains) {
            kavosc::ClockDomainStatus_t domainStatus;
            rc = domain->readStatus(domainStatus);
            status.clockDomains.push_back(domainStatus);
            status.clockDomainDefective = status.clockDomainDefective || domain->isDefective();
          }
        } else {
          status.cardState = powerFail ? 3 : 2;
        }
      }
      // A table that went while it was read counts as no card.
    }
    states.push_back(status);
  }
  return rc;
}

ErrorData OscCardSet::configureCard(unsigned int slotId) {
  ErrorData rc;
  // The container list hears of the configuration after the typed
  // registrations such as this one: the slot's container is looked up in
  // the tree when the list does not have it yet.
  KavPtr<Container> container = ContainerList::getContainer(slotId);
  if (container == nullptr && ContainerList::getInstance() != nullptr)
    container = ContainerList::getInstance()->lookup(slotId);
  if (container == nullptr || container->getInstanceId() == kav::sid::UNKNOWN_FRU_CONTAINER) {
    KAV_TRACE(KAVT, "OscCardSet::handleConfigEvent slot=0x%08X: no card container (%d)", slotId, container != nullptr);
    return rc;
  }
  if (slotId == m_oscCtrlSlot) {
    m_pOscCtrl = collectInSlot<OscControl>(container, slotId).getSingleton(false);
    if (m_pOscCtrl == nullptr) {
      // A control card without a control: nothing to select with.
      KAV_TRACE(KAVE, "OscCardSet::handleConfigEvent no oscillator control slot=0x%08X", slotId);
    } else if (m_initialized) {
      rc = m_pOscCtrl->performInitialSetup(m_oscSetMode);
    }
  }
  KavPtr<FruStateTable> table = collectInSlot<FruStateTable>(container, slotId).getSingleton(true);
  ExecList<ClockDomain> domains = collectInSlot<ClockDomain>(container, slotId);
  if (m_initialized)
    for (const KavPtr<ClockDomain>& domain : domains) rc = domain->performInitialModeSetup(m_oscSetMode);
  if (table != nullptr && m_clockDomainRedundancyController != nullptr) {
    OscCardInfo_t& card = m_cards[slotId];
    card.fruStateTable = table;
    card.clockDomains = domains;
    rc = m_clockDomainRedundancyController->addClockDomainList(domains);
  } else {
    KAV_TRACE(KAVE, "OscCardSet::handleConfigEvent slot=0x%08X table=%d controller=%d", slotId, table != nullptr,
              m_clockDomainRedundancyController != nullptr);
  }
  return rc;
}

void OscCardSet::handleConfigEvent(unsigned int slotId) {
  ErrorData rc;
  {
    IFOSGuard<const QueryBase> guard(*this);
    rc = configureCard(slotId);
  }
  KAV_TRACE(KAVT, "OscCardSet::handleConfigEvent set 0x%02X slot=0x%08X rc=0x%08X", m_oscCardSet, slotId, rc.getRc());
  if (rc != 0) rc.microcodeLog("kav/OscCardSet", __LINE__, "Error in OscCardSet::handleConfigEvent()", 2, true);
}

void OscCardSet::handleUnconfigEvent(unsigned int slotId) {
  ErrorData rc;
  bool running = false;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (slotId == m_oscCtrlSlot) m_pOscCtrl = KavPtr<OscControl>();
    m_cards.erase(slotId);
    if (m_clockDomainRedundancyController == nullptr)
      rc = kMissing;
    else
      rc = m_clockDomainRedundancyController->removeClockDomainsForSlotId(slotId);
    running = m_oscSetMode != kavosc::OSC_SET_MODE_NONE && m_oscSetMode != kavosc::OSC_SET_MODE_OTHER_SINGLE;
  }
  if (running) {
    // The disabling selects the other set, with its waits: it runs on the
    // job thread, not in this event handler. The card's set is found from
    // the slot, so the control card's removal disables the whole set.
    KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
    if (handler == nullptr)
      rc = kMissing;
    else
      handler->disableCardAsync(slotId);
  }
  KAV_TRACE(KAVT, "OscCardSet::handleUnconfigEvent set 0x%02X slot=0x%08X running=%d rc=0x%08X", m_oscCardSet, slotId,
            running, rc.getRc());
  if (rc != 0) rc.microcodeLog("kav/OscCardSet", __LINE__, "Error in OscCardSet::handleUnconfigEvent()", 2, false);
}

BuildBase* createOscCardSet(void*, BaseErrorData&) { return (new OscCardSet())->getBuildInterface(); }
