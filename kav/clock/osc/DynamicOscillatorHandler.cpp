#include "kav/clock/osc/DynamicOscillatorHandler.h"

#include <sys/time.h>

#include "kav/cards/RedundantStateTable.h"
#include "kav/clock/osc/DynamicOscillatorStartupJob.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/search/InstanceOfCriteria.h"

KAV_TREE_CLASS_IMPL(DynamicOscillatorHandler, PowerControllable)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kNotReady = 0x700B;
const unsigned int kImpossibleState = 0x7012;
const unsigned int kUnknownSet = 0x7013;
const unsigned int kDomainsDiffer = 0x7251;
const unsigned int kNoSelection = 0x7253;
const unsigned int kNoStatusHandler = 0x7254;
const unsigned int kTransitionRefused = 0x7255;
const unsigned int kModeRefused = 0x7258;
const unsigned int kHandlerLimitMs = 1000;
const unsigned int kStartupAbendMs = 40000;
const long kNotRegistered = -1;

// The power steps of the selection's power-down (ClockModeSequence).
const unsigned int kPowerDownStart = 357;
const unsigned int kPowerDownDone = 356;

ErrorData failure(unsigned int rc) { return ErrorData(ErrorData::NO_OVERWRITE, rc); }

// The modes of set A and set B for a settled selection byte; false for
// another byte.
bool modesFor(unsigned char byte, kavosc::OscSetMode_t& a, kavosc::OscSetMode_t& b) {
  switch (byte) {
    case 0x11: a = kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY; b = kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY; return true;
    case 0x21: a = kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY; b = kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY; return true;
    case 0x12: a = kavosc::OSC_SET_MODE_SINGLE; b = kavosc::OSC_SET_MODE_OTHER_SINGLE; return true;
    case 0x22: a = kavosc::OSC_SET_MODE_OTHER_SINGLE; b = kavosc::OSC_SET_MODE_SINGLE; return true;
    default: return false;
  }
}

// The container the object is in: the card sets and the state table are
// its neighbours there (the content is linked into the tree only after its
// initialisation steps).
KavPtr<const QueryBase> enclosingContainer(const QueryBase& object) {
  KavPtr<Container> container =
      seekUp<Container>(KavPtr<const QueryBase>(&object), InstanceOfCriteria(Container::staticGetClassId()));
  return container == nullptr ? KavPtr<const QueryBase>(&object) : KavPtr<const QueryBase>(container);
}

}  // namespace

DynamicOscillatorHandler::DynamicOscillatorHandler()
    : m_startupDone(false),
      m_componentReady(false),
      m_configComplete(false),
      m_startupScheduled(false),
      m_startupRunning(false),
      m_powerTransition(false),
      m_debugMode(false),
      m_previousOscCardSet(0),
      m_lastSelectionSeconds(0),
      m_lastSelectionMicroseconds(0),
      m_componentReadyRegId(kNotRegistered),
      m_configCompleteRegId(kNotRegistered) {}

DynamicOscillatorHandler::~DynamicOscillatorHandler() {}

unsigned char DynamicOscillatorHandler::convertToOscSelectionByte(unsigned int set, unsigned int mode,
                                                                  bool inProgress) {
  return static_cast<unsigned char>((inProgress ? kInProgress : 0) | (set & 0x30) | (mode & 0x0F));
}

BaseErrorData DynamicOscillatorHandler::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    const KavPtr<const QueryBase> top = enclosingContainer(*this);
    for (const KavPtr<OscCardSet>& set : collectClasstypeInSubTree<OscCardSet>(top, true)) {
      if (set->getOscCardSet() == kavosc::OSC_CARD_SET_A) m_pOscCardSetA = set;
      if (set->getOscCardSet() == kavosc::OSC_CARD_SET_B) m_pOscCardSetB = set;
    }
    m_pRedundantStateTable = collectClasstypeInSubTree<RedundantStateTable>(top, true).getSingleton(false);
    if (m_pOscCardSetA == nullptr || m_pOscCardSetB == nullptr || m_pRedundantStateTable == nullptr) {
      KAV_TRACE(KAVE, "DynamicOscillatorHandler::init A=%d B=%d table=%d", m_pOscCardSetA != nullptr,
                m_pOscCardSetB != nullptr, m_pRedundantStateTable != nullptr);
      rc = kNotLinked;
    }
  }
  if (step == initSequence::INIT_REGISTER_EVENTS) rc = registerEvents();
  return rc;
}

BaseErrorData DynamicOscillatorHandler::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) deregisterEvents();
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pOscCardSetA = m_pOscCardSetB = KavPtr<OscCardSet>();
    m_pRedundantStateTable = KavPtr<StateTableInterface>();
  }
  return PowerControllable::terminate(step);
}

BaseErrorData DynamicOscillatorHandler::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  BaseErrorData rc;
  if (m_componentReadyRegId == kNotRegistered && m_pRedundantStateTable != nullptr) {
    const ComponentReadyEvent::EventType table = m_pRedundantStateTable->getInstanceId();
    m_componentReadyRegId = registerForEvent<ComponentReadyEvent, DynamicOscillatorHandler>(
        ComponentReadyEventSender::getInstance()->getEventSource(), &m_componentReadyRouter, table, this,
        &DynamicOscillatorHandler::handleComponentReadyEvent, true);
  }
  if (m_configCompleteRegId == kNotRegistered) {
    const ConfigCompleteEvent::EventType complete = ConfigCompleteEvent::CONFIG_COMPLETE;
    m_configCompleteRegId = registerForEvent<ConfigCompleteEvent, DynamicOscillatorHandler>(
        ConfigCompleteEventSender::getInstance()->getEventSource(), &m_configCompleteRouter, complete, this,
        &DynamicOscillatorHandler::handleConfigCompleteEvent, true);
  }
  if (m_componentReadyRegId < 0 || m_configCompleteRegId < 0) rc = kMissing;
  return rc;
}

void DynamicOscillatorHandler::deregisterEvents() {
  long ready, complete;
  {
    IFOSGuard<const QueryBase> guard(*this);
    ready = m_componentReadyRegId;
    complete = m_configCompleteRegId;
    m_componentReadyRegId = m_configCompleteRegId = kNotRegistered;
  }
  if (ready >= 0) m_componentReadyRouter.deregisterFromEvent(ready);
  if (complete >= 0) m_configCompleteRouter.deregisterFromEvent(complete);
}

KavPtr<OscCardSet> DynamicOscillatorHandler::getOscCardSet(kavosc::OscCardSet_t set) const {
  IFOSGuard<const QueryBase> guard(*this);
  if (set == kavosc::OSC_CARD_SET_A) return m_pOscCardSetA;
  if (set == kavosc::OSC_CARD_SET_B) return m_pOscCardSetB;
  return KavPtr<OscCardSet>();
}

// --- the state table -----------------------------------------------------

ErrorData DynamicOscillatorHandler::readOscSelectionByteFromRedundantStateTable(unsigned int field,
                                                                                unsigned char& value) const {
  KavPtr<StateTableInterface> table;
  {
    IFOSGuard<const QueryBase> guard(*this);
    table = m_pRedundantStateTable;
  }
  value = 0;
  if (table == nullptr) return failure(kMissing);
  return table->readField(field, &value, 1, 0);
}

ErrorData DynamicOscillatorHandler::writeOscSelectionByteToRedundantStateTable(unsigned int field,
                                                                               unsigned char value) {
  KavPtr<StateTableInterface> table;
  {
    IFOSGuard<const QueryBase> guard(*this);
    table = m_pRedundantStateTable;
  }
  if (table == nullptr) return failure(kMissing);
  const ErrorData rc = table->writeField(field, &value, 1, 0);
  KAV_TRACE(KAVT, "DynamicOscillatorHandler: field %u = 0x%02X rc=0x%08X", field, value, rc.getRc());
  return rc;
}

ErrorData DynamicOscillatorHandler::readDebugModeFromRedundantStateTable(bool& debugMode) const {
  unsigned char value = 0;
  const ErrorData rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_DEBUG_MODE_FIELD, value);
  debugMode = value != 0;
  return rc;
}

ErrorData DynamicOscillatorHandler::writeDebugModeToRedundantStateTable(bool debugMode) {
  return writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_DEBUG_MODE_FIELD, debugMode ? 1 : 0);
}

ErrorData DynamicOscillatorHandler::setDebugMode(bool debugMode) {
  ErrorData rc = writeDebugModeToRedundantStateTable(debugMode);
  {
    IFOSGuard<const QueryBase> guard(*this);
    m_debugMode = debugMode;
  }
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler == nullptr) return failure(kNoStatusHandler);
  handler->setDebugMode(debugMode);
  return rc;
}

// --- checks --------------------------------------------------------------

ErrorData DynamicOscillatorHandler::checkReady() const {
  IFOSGuard<const QueryBase> guard(*this);
  // A start-up queued but not yet running would otherwise find a caller's
  // selection in place of the one it is to complete.
  if (m_startupScheduled && !m_startupRunning) return failure(kNotReady);
  if (m_startupDone || (m_componentReady && m_configComplete)) return ErrorData();
  return failure(kNotReady);
}

ErrorData DynamicOscillatorHandler::checkForValidSelection(unsigned char current, unsigned char next) {
  bool allowed = false;
  switch (current) {
    case 0x00:
      allowed = next == 0x11 || next == 0x12 || next == 0x21 || next == 0x22;
      break;
    case 0x11:
    case 0x21:
      allowed = next == 0x12 || next == 0x22;
      break;
    case 0x12:
      allowed = next == 0x11;
      break;
    case 0x22:
      allowed = next == 0x21;
      break;
    default: {
      ErrorData rc = failure(kImpossibleState);
      rc.microcodeLog("kav/DynamicOscillatorHandler", __LINE__, "This state should not be reached!", 2, false);
      return rc;
    }
  }
  return allowed ? ErrorData() : failure(kTransitionRefused);
}

ErrorData DynamicOscillatorHandler::checkForValidMode(unsigned char next) {
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kMissing);
  OscCardSet::OscCardSetInfo_t infoA, infoB;
  const ErrorData readA = a->getInfo(infoA);
  const ErrorData readB = b->getInfo(infoB);
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::checkForValidMode 0x%02X A: control %d/%d rc=0x%08X B: control %d/%d rc=0x%08X",
            next, infoA.oscCtrlPresent, infoA.oscCtrlActive, readA.getRc(), infoB.oscCtrlPresent, infoB.oscCtrlActive,
            readB.getRc());
  if (readA != 0 || readB != 0) return failure(kModeRefused);
  kavosc::OscSetMode_t modeA, modeB;
  if (!modesFor(next, modeA, modeB)) return failure(kModeRefused);
  if (!OscCardSet::isValidModeForOscCardSet(modeA, infoA) || !OscCardSet::isValidModeForOscCardSet(modeB, infoB))
    return failure(kModeRefused);
  if ((next == 0x11 || next == 0x21) && infoA != infoB) return failure(kDomainsDiffer);
  return ErrorData();
}

ErrorData DynamicOscillatorHandler::checkSelectOscillator(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode) {
  ErrorData rc = checkReady();
  if (rc != 0) return rc;
  if (getOscCardSet(kavosc::OSC_CARD_SET_A) == nullptr || getOscCardSet(kavosc::OSC_CARD_SET_B) == nullptr)
    return failure(kMissing);
  unsigned char current = 0;
  rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  if (rc != 0) return rc;
  const unsigned char next = convertToOscSelectionByte(set, mode, false);
  if (next == current) return ErrorData();
  if ((current & kInProgress) == 0) {
    rc = checkForValidSelection(current, next);
    if (rc != 0) return rc;
  }
  return checkForValidMode(next);
}

// --- selection -----------------------------------------------------------

ErrorData DynamicOscillatorHandler::selectOscillator(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode,
                                                     bool preferred) {
  std::lock_guard<std::recursive_mutex> selection(m_selectionLock);
  return selectOscillatorLocked(set, mode, preferred);
}

ErrorData DynamicOscillatorHandler::prepareSelectOscillator(ExecList<ClockDomain>&, unsigned char) {
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kMissing);
  ErrorData rc;
  rc = a->disableInterrupts();
  rc = b->disableInterrupts();
  return rc;
}

ErrorData DynamicOscillatorHandler::finalizeSelectOscillator(ExecList<ClockDomain>&, unsigned char) {
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kMissing);
  ErrorData rc;
  rc = a->enableInterrupts();
  rc = b->enableInterrupts();
  return rc;
}

ErrorData DynamicOscillatorHandler::writeModes(unsigned char next, unsigned char previous) {
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kMissing);
  ErrorData rc;
  switch (next) {
    case 0x11:
      rc = a->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY);
      rc = b->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
      break;
    case 0x21:
      rc = b->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY);
      rc = a->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
      break;
    case 0x12:
      if ((previous & 0x30) == kavosc::OSC_CARD_SET_A) {
        rc = a->writeMode(kavosc::OSC_SET_MODE_SINGLE);
        rc = b->writeMode(kavosc::OSC_SET_MODE_OTHER_SINGLE);
      } else {
        rc = b->writeMode(kavosc::OSC_SET_MODE_OTHER_SINGLE);
        rc = a->writeMode(kavosc::OSC_SET_MODE_SINGLE);
      }
      break;
    case 0x22:
      if ((previous & 0x30) == kavosc::OSC_CARD_SET_B) {
        rc = b->writeMode(kavosc::OSC_SET_MODE_SINGLE);
        rc = a->writeMode(kavosc::OSC_SET_MODE_OTHER_SINGLE);
      } else {
        rc = a->writeMode(kavosc::OSC_SET_MODE_OTHER_SINGLE);
        rc = b->writeMode(kavosc::OSC_SET_MODE_SINGLE);
      }
      break;
    default:
      rc = kModeRefused;
      break;
  }
  return rc;
}

ErrorData DynamicOscillatorHandler::selectOscillatorLocked(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode,
                                                           bool preferred) {
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::selectOscillator set=0x%02X mode=%u preferred=%d", set, mode, preferred);
  ErrorData rc = checkSelectOscillator(set, mode);
  if (rc != 0) return rc;
  const unsigned char next = convertToOscSelectionByte(set, mode, false);
  unsigned char current = 0;
  rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  if (rc != 0) return rc;
  if (next == current) {
    if (preferred) rc = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, next);
    return rc;
  }
  const unsigned int marked = preferred ? kav::sid::OSC_PREFERRED_SELECTION_FIELD : kav::sid::OSC_CURRENT_SELECTION_FIELD;
  unsigned char markedBefore = current;
  // The byte to restore on failure must be known before it is marked.
  if (preferred) rc = readOscSelectionByteFromRedundantStateTable(marked, markedBefore);
  if (rc != 0) return rc;
  rc = writeOscSelectionByteToRedundantStateTable(marked, convertToOscSelectionByte(set, mode, true));
  if (rc != 0) return rc;

  ExecList<ClockDomain> domains;
  bool modesTouched = false;
  ErrorData prepared = prepareSelectOscillator(domains, next);
  if (prepared != 0) {
    prepared.microcodeLog("kav/DynamicOscillatorHandler", __LINE__, "Failed to prepare Oscillator select operation!",
                          2, false);
    rc = prepared;
  } else {
    modesTouched = true;
    rc = writeModes(next, current);
  }
  const bool modesWritten = modesTouched && rc == 0;
  ErrorData finalized = finalizeSelectOscillator(domains, next);
  if (finalized != 0) {
    finalized.microcodeLog("kav/DynamicOscillatorHandler", __LINE__,
                           "Failed to finalize Oscillator select operation!", 2, false);
    rc = finalized;
  }

  if (modesWritten) {
    // Every set runs in its new mode: the selection has happened, also when
    // its interrupts could not all be enabled again (that failure is
    // returned and was logged above).
    ErrorData stored = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, next);
    struct timeval now = {0, 0};
    const bool timed = gettimeofday(&now, nullptr) == 0;
    {
      IFOSGuard<const QueryBase> guard(*this);
      m_previousOscCardSet = current & 0x30;
      m_lastSelectionSeconds = timed ? static_cast<unsigned int>(now.tv_sec) : 0;
      m_lastSelectionMicroseconds = timed ? static_cast<unsigned int>(now.tv_usec) : 0;
    }
    if (preferred) stored = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, next);
    if (rc == 0) rc = stored;
  } else {
    // Before any mode was written the hardware still runs the previous
    // selection: the mark is taken back. Once a mode write failed the sets
    // run partly in the new selection and partly in the old one: the mark
    // stays, so that the field never names a selection the hardware does
    // not run, and the next start completes the selection.
    if (!modesTouched) {
      ErrorData restored = writeOscSelectionByteToRedundantStateTable(marked, markedBefore);
      if (restored != 0)
        KAV_TRACE(KAVE, "DynamicOscillatorHandler::selectOscillator field %u not restored rc=0x%08X", marked,
                  restored.getRc());
    }
    ErrorData aborted = rc;
    aborted.microcodeLog("kav/DynamicOscillatorHandler", __LINE__, "Oscillator select operation aborted!", 2, false);
  }
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::selectOscillator 0x%02X -> 0x%02X rc=0x%08X", current, next, rc.getRc());
  return rc;
}

ErrorData DynamicOscillatorHandler::disableCardSet(kavosc::OscCardSet_t failed) {
  if (failed != kavosc::OSC_CARD_SET_A && failed != kavosc::OSC_CARD_SET_B) return failure(kUnknownSet);
  // The mode read and the selection are one step: no other selection in
  // between.
  std::lock_guard<std::recursive_mutex> selection(m_selectionLock);
  unsigned char current = 0;
  ErrorData rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  if (rc != 0) return rc;
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::disableCardSet 0x%02X current=0x%02X", failed, current);
  if ((current & 0x0F) != kavosc::OSC_SELECTION_REDUNDANT) return rc;
  const kavosc::OscCardSet_t other =
      failed == kavosc::OSC_CARD_SET_A ? kavosc::OSC_CARD_SET_B : kavosc::OSC_CARD_SET_A;
  return selectOscillatorLocked(other, kavosc::OSC_SELECTION_SINGLE, false);
}

ErrorData DynamicOscillatorHandler::disableCard(unsigned int slotId) {
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_powerTransition) {
      KAV_TRACE(KAVT, "DynamicOscillatorHandler::disableCard 0x%08X: power transition", slotId);
      return ErrorData();
    }
  }
  KavPtr<OscCardSet> set = getOscCardSetForSlotId(slotId);
  if (set == nullptr) return failure(kUnknownSet);
  return disableCardSet(set->getOscCardSet());
}

KavPtr<OscCardSet> DynamicOscillatorHandler::getOscCardSetForSlotId(unsigned int slotId) const {
  IFOSGuard<const QueryBase> guard(*this);
  for (const KavPtr<OscCardSet>& set : {m_pOscCardSetA, m_pOscCardSetB})
    if (set != nullptr && set->containsSlotId(slotId)) return set;
  return KavPtr<OscCardSet>();
}

KavPtr<OscCardSet> DynamicOscillatorHandler::getOscCardSetWithMode(kavosc::OscSetMode_t mode) const {
  IFOSGuard<const QueryBase> guard(*this);
  for (const KavPtr<OscCardSet>& set : {m_pOscCardSetA, m_pOscCardSetB}) {
    kavosc::OscSetMode_t setMode = kavosc::OSC_SET_MODE_NONE;
    if (set != nullptr && set->readMode(setMode) == 0 && setMode == mode) return set;
  }
  return KavPtr<OscCardSet>();
}

bool DynamicOscillatorHandler::hasOscCardSetMode(kavosc::OscSetMode_t mode) const {
  return getOscCardSetWithMode(mode) != nullptr;
}

// --- start-up --------------------------------------------------------------

ErrorData DynamicOscillatorHandler::handleDebugModeState() {
  bool debugMode = false;
  ErrorData rc = readDebugModeFromRedundantStateTable(debugMode);
  {
    IFOSGuard<const QueryBase> guard(*this);
    m_debugMode = debugMode;
  }
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr) handler->setDebugMode(debugMode);
  if (debugMode) KAV_TRACE(KAVT, "DynamicOscillatorHandler::handleStartup(): oscillator feature is in debug mode");
  return rc;
}

ErrorData DynamicOscillatorHandler::handleUncompletedModeChanges() {
  std::lock_guard<std::recursive_mutex> selection(m_selectionLock);
  unsigned char preferred = 0, current = 0;
  ErrorData rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, preferred);
  if (rc == 0) rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  if (rc != 0) return rc;
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kMissing);
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::handleUncompletedModeChanges preferred=0x%02X current=0x%02X", preferred,
            current);
  if (preferred == kInProgress) {
    rc = a->writeMode(kavosc::OSC_SET_MODE_NONE);
    rc = b->writeMode(kavosc::OSC_SET_MODE_NONE);
    rc = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, 0);
    rc = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, 0);
  } else if ((preferred & kInProgress) != 0) {
    rc = selectOscillatorLocked(static_cast<kavosc::OscCardSet_t>(preferred & 0x30),
                                static_cast<kavosc::OscSelectionMode_t>(preferred & 0x0F), true);
  } else if ((current & kInProgress) == 0) {
    kavosc::OscSetMode_t modeA, modeB;
    if (modesFor(current, modeA, modeB) && checkForValidMode(current) == 0) {
      rc = a->performInitialSetup(modeA);
      rc = b->performInitialSetup(modeB);
    }
    for (const KavPtr<OscCardSet>& set : {a, b}) {
      ExecList<ClockDomain> domains;
      rc = set->addAvailableClockDomainToExecList(domains);
      KavPtr<ClockDomainRedundancyController> controller = set->getClockDomainRedundancyController();
      if (controller != nullptr) rc = controller->startSpreading(domains);
    }
  } else {
    rc = selectOscillatorLocked(static_cast<kavosc::OscCardSet_t>(current & 0x30),
                                static_cast<kavosc::OscSelectionMode_t>(current & 0x0F), false);
  }
  return rc;
}

ErrorData DynamicOscillatorHandler::handleStartup() {
  std::lock_guard<std::recursive_mutex> selection(m_selectionLock);
  {
    IFOSGuard<const QueryBase> guard(*this);
    m_startupRunning = true;
  }
  ErrorData rc = handleDebugModeState();
  rc = handleUncompletedModeChanges();
  for (kavosc::OscCardSet_t which : {kavosc::OSC_CARD_SET_A, kavosc::OSC_CARD_SET_B}) {
    KavPtr<OscCardSet> set = getOscCardSet(which);
    KavPtr<ClockDomainRedundancyController> controller =
        set == nullptr ? KavPtr<ClockDomainRedundancyController>() : set->getClockDomainRedundancyController();
    if (controller == nullptr)
      rc = kMissing;
    else
      rc = controller->initializeClockDomainRedundancyController();
  }
  IFOSGuard<const QueryBase> guard(*this);
  if (rc == 0) m_startupDone = true;
  m_startupScheduled = false;
  m_startupRunning = false;
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::handleStartup rc=0x%08X", rc.getRc());
  return rc;
}

void DynamicOscillatorHandler::runStartup() {
  ErrorData rc = handleStartup();
  if (rc != 0) rc.microcodeLog("kav/DynamicOscillatorHandler", __LINE__, "Error in DynamicOscillatorHandler::handleStartup()", 2, false);
}

void DynamicOscillatorHandler::startupIfReady() {
  IFOSGuard<const QueryBase> guard(*this);
  if (!m_componentReady || !m_configComplete || m_startupScheduled) return;
  // The start-up may complete a selection with its waits: it runs on the
  // job thread, not in the event callback.
  m_startupScheduled = true;
  const unsigned int id = TimedExecutor::getInstance()->insertJob(
      new DynamicOscillatorStartupJob(KavPtr<DynamicOscillatorHandler>(this)), 0, 0, kStartupAbendMs);
  // Refused (the services are going down): a later event schedules it.
  if (id == 0) m_startupScheduled = false;
}

void DynamicOscillatorHandler::handleComponentReadyEvent(const ComponentReadyEvent&) {
  SoftDogInt dog(kHandlerLimitMs, "handleComponentReadyEvent");
  {
    IFOSGuard<const QueryBase> guard(*this);
    m_componentReady = true;
  }
  startupIfReady();
}

void DynamicOscillatorHandler::handleConfigCompleteEvent(const ConfigCompleteEvent&) {
  SoftDogInt dog(kHandlerLimitMs, "handleConfigCompleteEvent");
  {
    IFOSGuard<const QueryBase> guard(*this);
    m_configComplete = true;
  }
  startupIfReady();
}

bool DynamicOscillatorHandler::isStartupDone() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_startupDone;
}

unsigned int DynamicOscillatorHandler::getPreviousOscCardSet() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_previousOscCardSet;
}

// --- power control -----------------------------------------------------------

ErrorData DynamicOscillatorHandler::checkPrecondition(unsigned int sequenceId, SequenceType_t type) {
  if (sequenceId != kav::sid::CLOCK_POWER_SEQUENCE || type != POWER_ON) return ErrorData();
  unsigned char current = 0;
  ErrorData rc = readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  if (rc != 0) return rc;
  return current == 0 ? failure(kNoSelection) : ErrorData();
}

ErrorData DynamicOscillatorHandler::switchForPwrCtrl(unsigned int sequence, unsigned int step) {
  if (sequence != kav::sid::CLOCK_MODE_SEQUENCE) return failure(kNotLinked);
  // A selection under way finishes first: its last write of the current
  // byte would otherwise cover the power-down's mark.
  std::lock_guard<std::recursive_mutex> selection(m_selectionLock);
  ErrorData written;
  if (step == kPowerDownStart) {
    written = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, kInProgress);
    written = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, kInProgress);
    IFOSGuard<const QueryBase> guard(*this);
    m_powerTransition = true;
  } else if (step == kPowerDownDone) {
    written = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, 0);
    written = writeOscSelectionByteToRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, 0);
    IFOSGuard<const QueryBase> guard(*this);
    m_powerTransition = false;
  } else if (step == kav::sid::STATE_ON) {
    IFOSGuard<const QueryBase> guard(*this);
    m_powerTransition = false;
  } else {
    return failure(kNotLinked);
  }
  // A failed write is only traced.
  KAV_TRACE(KAVT, "DynamicOscillatorHandler::switchForPwrCtrl step=%u rc=0x%08X", step, written.getRc());
  return ErrorData();
}

// --- pass-through ------------------------------------------------------------

ErrorData DynamicOscillatorHandler::readRedundantOscStatus(kavosc::RedundantOscillatorStatus_t& status) {
  KavPtr<OscCardSet> a = getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> b = getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (a == nullptr || b == nullptr) return failure(kNotReady);
  unsigned char current = 0, preferred = 0;
  const ErrorData readCurrent =
      readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_CURRENT_SELECTION_FIELD, current);
  const ErrorData readPreferred =
      readOscSelectionByteFromRedundantStateTable(kav::sid::OSC_PREFERRED_SELECTION_FIELD, preferred);
  if (readCurrent != 0) current = 0;
  if (readPreferred != 0) preferred = 0;
  {
    IFOSGuard<const QueryBase> guard(*this);
    status.currentOscCardSet = current & 0x30;
    status.currentSelectionMode = current & 0x0F;
    status.preferredOscCardSet = preferred & 0x30;
    status.preferredSelectionMode = preferred & 0x0F;
    status.previousOscCardSet = m_previousOscCardSet;
    status.lastSelectionSeconds = m_lastSelectionSeconds;
    status.lastSelectionMicroseconds = m_lastSelectionMicroseconds;
    status.debugMode = m_debugMode;
  }
  if (readCurrent != 0 || readPreferred != 0) return failure(kImpossibleState);
  ErrorData rc;
  status.cards.clear();
  rc = a->readOscCardStates(status.cards);
  rc = b->readOscCardStates(status.cards);
  rc = a->readOscControlStatus(status.controlA);
  rc = b->readOscControlStatus(status.controlB);
  return rc;
}

ErrorData DynamicOscillatorHandler::readSynchLostCounts(kavosc::OscCardSet_t set, unsigned int group,
                                                        kavstl::vector<unsigned int>& counts) {
  KavPtr<OscCardSet> target = getOscCardSet(set);
  if (target == nullptr) return failure(kUnknownSet);
  return target->readSynchLostCounts(group, counts);
}

ErrorData DynamicOscillatorHandler::setPropagationMode(kavosc::OscCardSet_t set, unsigned int group,
                                                       const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes) {
  KavPtr<OscCardSet> target = getOscCardSet(set);
  if (target == nullptr) return failure(kUnknownSet);
  return target->setPropagationMode(group, modes);
}

ErrorData DynamicOscillatorHandler::disableAllPropagation() {
  ErrorData rc;
  for (kavosc::OscCardSet_t which : {kavosc::OSC_CARD_SET_A, kavosc::OSC_CARD_SET_B}) {
    KavPtr<OscCardSet> set = getOscCardSet(which);
    rc = set == nullptr ? failure(kMissing) : set->disableAllPropagation();
  }
  return rc;
}

BuildBase* createDynamicOscillatorHandler(void*, BaseErrorData&) {
  return (new DynamicOscillatorHandler())->getBuildInterface();
}
