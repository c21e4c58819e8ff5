#include "kav/clock/osc/OscillatorStatusHandler.h"

#include <cstdio>
#include <mutex>

#include "kav/clock/osc/DisableCardAsyncHandler.h"
#include "kav/clock/osc/DynamicOscillatorHandler.h"
#include "kav/clock/osc/NotifyStatusChangePendingHandler.h"
#include "kav/clock/osc/OscAdapterServices.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeScale.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/tree/objects/TreeSearch.h"

KAV_TREE_CLASS_IMPL(OscillatorStatusHandler, AtomicBase)

namespace {

const unsigned int kMissingHandler = 0x7002;

std::mutex g_instanceLock;  // guards g_instance
KavPtr<OscillatorStatusHandler>* g_instance = nullptr;

}  // namespace

OscillatorStatusHandler::OscillatorStatusHandler()
    : m_statusChangePending(false),
      m_disableInProgress(false),
      m_noStatusChangePendingEvent(IFOS_EVENT_POSTED),
      m_debugMode(false) {}

OscillatorStatusHandler::~OscillatorStatusHandler() {}

KavPtr<OscillatorStatusHandler> OscillatorStatusHandler::getInstance() {
  std::lock_guard<std::mutex> guard(g_instanceLock);
  if (g_instance != nullptr) return *g_instance;
  KavPtr<OscillatorStatusHandler> found = collectClasstypeInTree<OscillatorStatusHandler>(true).getSingleton(true);
  if (found != nullptr) g_instance = new KavPtr<OscillatorStatusHandler>(found);
  return found;
}

void OscillatorStatusHandler::destroyInstance() {
  KavPtr<OscillatorStatusHandler>* dropped = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    dropped = g_instance;
    g_instance = nullptr;
  }
  delete dropped;
}

void OscillatorStatusHandler::notifyStatusChange(const StatusChangeDesc_t& desc) {
  IFOSGuard<const QueryBase> guard(*this);
  KAV_TRACE(KAVT, "OscillatorStatusHandler::notifyStatusChange slot=0x%08X kind=%u pending=%d", desc.slotId,
            desc.changeKind, m_statusChangePending);
  if (!m_statusChangePending) {
    m_statusChangePending = true;
    m_noStatusChangePendingEvent.resetEvent();
    TimedExecutor::getInstance()->insertJob(
        new NotifyStatusChangePendingHandler(KavPtr<OscillatorStatusHandler>(this)),
        TimeScale::delayMs(kReportDelayMs), 0, kJobAbendMs);
  }
  m_statusChangeQueue.push_back(desc);
}

void OscillatorStatusHandler::buildReport(const kavstl::list<StatusChangeDesc_t>& changes, kavstl::string& text,
                                          kavstl::string& secondaryKey, unsigned int& slotId) {
  text.clear();
  secondaryKey.clear();
  slotId = 0;
  kavstl::set<unsigned int> errorSlots;
  kavstl::set<unsigned int> warningSlots;
  for (const StatusChangeDesc_t& change : changes) {
    char head[32];
    std::snprintf(head, sizeof head, "SlotId=0x%.8X   ", change.slotId);
    text += head;
    text += change.text;
    if (change.changeKind == ERROR) errorSlots.insert(change.slotId);
    if (change.changeKind == WARNING) warningSlots.insert(change.slotId);
  }
  const bool errors = !errorSlots.empty();
  const kavstl::set<unsigned int>& slots = errors ? errorSlots : warningSlots;
  if (slots.empty()) return;
  if (slots.size() > 1) {
    secondaryKey = errors ? "ErrorAmbiguous" : "InfoAmbiguous";
    text += errors ? "Errors in more than one slot!!" : "Warnings in more than one slot!!";
  } else if (*slots.begin() == 0) {
    secondaryKey = errors ? "ErrorNoSlot" : "InfoNoSlot";
    text += errors ? "No slot ids provided for errors!!" : "No slot ids provided for warnings!!";
  } else {
    secondaryKey = errors ? "Error" : "Info";
    slotId = *slots.begin();
  }
}

void OscillatorStatusHandler::handleStateChangeEventPending() {
  kavstl::list<StatusChangeDesc_t> changes;
  {
    IFOSGuard<const QueryBase> guard(*this);
    changes.swap(m_statusChangeQueue);
    m_statusChangePending = false;
    if (!m_disableInProgress) m_noStatusChangePendingEvent.postEvent();
  }
  kavstl::string text;
  kavstl::string secondaryKey;
  unsigned int slotId = 0;
  buildReport(changes, text, secondaryKey, slotId);
  KAV_TRACE(KAVT, "OscillatorStatusHandler::handleStateChangeEventPending changes=%u slot=0x%08X",
            static_cast<unsigned int>(changes.size()), slotId);
  // A round of changes that were only reported (kind 0: power good, a lost
  // synchronisation count, an unconfigure) has no severity to log under and
  // makes no entry: every power-on would otherwise leave one in the error
  // log. Their text goes with the next warning or error of the same round.
  if (secondaryKey.empty()) return;
  ErrorData report(ErrorData::NO_OVERWRITE, kStatusReport);
  report.addDataToErrorBuffer(text);
  if (slotId != 0) report.addSlotId(slotId);
  // Logged outside the lock: preparing the entry walks the tree.
  report.logSynchron("OscStatusH", secondaryKey, KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
}

ErrorData OscillatorStatusHandler::disableCardSet(unsigned int oscCardSet) {
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_debugMode) {
      KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCardSet 0x%02X skipped: debug mode", oscCardSet);
      return ErrorData();
    }
    m_disableInProgress = true;
    // Waiters for the status wait for the disabling too.
    m_noStatusChangePendingEvent.resetEvent();
  }
  ErrorData rc = callDisableCardSet(oscCardSet);
  IFOSGuard<const QueryBase> guard(*this);
  m_disableInProgress = false;
  if (!m_statusChangePending) m_noStatusChangePendingEvent.postEvent();
  KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCardSet 0x%02X rc=0x%08X", oscCardSet, rc.getRc());
  return rc;
}

ErrorData OscillatorStatusHandler::disableCard(unsigned int slotId) {
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_debugMode) {
      KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCard 0x%08X skipped: debug mode", slotId);
      return ErrorData();
    }
  }
  const ErrorData rc = callDisableCard(slotId);
  KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCard 0x%08X rc=0x%08X", slotId, rc.getRc());
  return rc;
}

void OscillatorStatusHandler::disableCardAsync(unsigned int slotId) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_debugMode || m_disablePending[slotId]) {
    KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCardAsync 0x%08X skipped debug=%d", slotId, m_debugMode);
    return;
  }
  m_disablePending[slotId] = true;
  std::shared_ptr<IFOSRcLocalEvent>& event = m_slotEvents[slotId];
  if (event == nullptr) event = std::make_shared<IFOSRcLocalEvent>(IFOS_EVENT_RESET);
  event->resetEvent();
  const unsigned int jobId = TimedExecutor::getInstance()->insertJob(
      new DisableCardAsyncHandler(KavPtr<OscillatorStatusHandler>(this), slotId), 0, 0, kJobAbendMs);
  KAV_TRACE(KAVT, "OscillatorStatusHandler::disableCardAsync 0x%08X job=%u", slotId, jobId);
}

void OscillatorStatusHandler::finishDisableCardAsync(unsigned int slotId) {
  IFOSGuard<const QueryBase> guard(*this);
  m_disablePending[slotId] = false;
  auto event = m_slotEvents.find(slotId);
  if (event != m_slotEvents.end() && event->second != nullptr) event->second->postEvent();
}

void OscillatorStatusHandler::blockOnDisableCardAsyncPending(unsigned int slotId) {
  std::shared_ptr<IFOSRcLocalEvent> event;
  {
    IFOSGuard<const QueryBase> guard(*this);
    auto found = m_slotEvents.find(slotId);
    if (found == m_slotEvents.end()) return;
    event = found->second;  // kept alive while waiting
  }
  if (event != nullptr) event->waitEvent(-1);
}

void OscillatorStatusHandler::blockOnStatusChangePending() { m_noStatusChangePendingEvent.waitEvent(-1); }

void OscillatorStatusHandler::collectDebugInfo() {
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_statusChangePending || m_debugMode) {
      KAV_TRACE(KAVT, "OscillatorStatusHandler::collectDebugInfo skipped pending=%d debug=%d", m_statusChangePending,
                m_debugMode);
      return;
    }
  }
  OscAdapterServices::collectDebugInfo(0);
}

void OscillatorStatusHandler::setDebugMode(bool debugMode) {
  IFOSGuard<const QueryBase> guard(*this);
  m_debugMode = debugMode;
}

bool OscillatorStatusHandler::isDebugMode() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_debugMode;
}

bool OscillatorStatusHandler::isStatusChangePending() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_statusChangePending;
}

bool OscillatorStatusHandler::isDisableCardAsyncPending(unsigned int slotId) const {
  IFOSGuard<const QueryBase> guard(*this);
  auto found = m_disablePending.find(slotId);
  return found != m_disablePending.end() && found->second;
}

namespace {

KavPtr<DynamicOscillatorHandler> findOscillatorHandler() {
  return collectClasstypeInTree<DynamicOscillatorHandler>(true).getSingleton(true);
}

}  // namespace

ErrorData OscillatorStatusHandler::callDisableCard(unsigned int slotId) {
  KavPtr<DynamicOscillatorHandler> handler = findOscillatorHandler();
  if (handler == nullptr) {
    KAV_TRACE(KAVE, "OscillatorStatusHandler::disableCard 0x%08X: no oscillator handler", slotId);
    return ErrorData(ErrorData::NO_OVERWRITE, kMissingHandler);
  }
  return handler->disableCard(slotId);
}

ErrorData OscillatorStatusHandler::callDisableCardSet(unsigned int oscCardSet) {
  KavPtr<DynamicOscillatorHandler> handler = findOscillatorHandler();
  if (handler == nullptr) {
    KAV_TRACE(KAVE, "OscillatorStatusHandler::disableCardSet 0x%02X: no oscillator handler", oscCardSet);
    return ErrorData(ErrorData::NO_OVERWRITE, kMissingHandler);
  }
  return handler->disableCardSet(static_cast<kavosc::OscCardSet_t>(oscCardSet));
}

BuildBase* createOscillatorStatusHandler(void*, BaseErrorData&) {
  return (new OscillatorStatusHandler())->getBuildInterface();
}
