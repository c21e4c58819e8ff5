#include "kav/tree/start/KavStart.h"

#include <map>
#include <mutex>

#include "kav/cards/IdProvider.h"
#include "kav/cards/PlugDetectHwrIp.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/diag/LogSlotIdConverterEntry.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/DioIrDispatcher.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/PlugEventSender.h"
#include "kav/runtime/GarbageCollector.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeScale.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/start/ConfigCompleteIp.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/Facade.h"
#include "kav/tree/start/InitSequenceExecutor.h"
#include "kav/tree/config/ParameterSet.h"
#include "kav/tree/search/SlotIdCriteria.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/start/TerminateSequenceExecutor.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/objects/TreeSearch.h"

namespace {

const unsigned int kBaseDomainSlotId = 0x10000;
const unsigned int kInitialConfigWaitMs = 60000;
const unsigned int kPauseAfterCompleteMs = 2000;
const unsigned int kPauseAfterForcedMs = 10000;
const char* const kRootMainType = "IpDomainRoot";
const char* const kSlotIdConverterTable = "LogSlotIdConverterEntry_IpDomain";

// Serialises start and stop.
std::mutex g_startStopLock;
// The services are created once, by the first start.
bool g_servicesStarted = false;

std::mutex g_slotStatusLock;
std::map<unsigned int, kav::SlotStatus_t> g_slotStatus;

void startServices(bool suppressAbend, BaseErrorData& rc) {
  if (g_servicesStarted) return;
  QueryBase::initMemoryPool();
  ParameterSet parameters;
  parameters.addValue(get_string_by_id(kav::sid::SLOT_ID_CONVERTER_TABLE), kSlotIdConverterTable);
  BaseErrorData converterRc;
  initLogSlotIdConverter(parameters, converterRc);
  rc = converterRc;
  TimeoutService::getInstance()->init(suppressAbend);
  TimedExecutor::getInstance()->init(1);
  initEventDispatcherProvider();
  initPlugEventSender();
  initConfigChangeEventSender();
  initConfigCompleteEventSender();
  initDioEventSender();
  initComponentReadyEventSender();
  initDioIrDispatcher();
  initGarbageCollector();
  initContainerList();
  g_servicesStarted = true;
  KAV_TRACE(KAVT, "kav::start services rc=0x%08X", rc.getRc());
}

template <class T>
KavPtr<T> findBaseDomainObject(bool withHidden, bool quiet) {
  ExecList<T> list = collectClasstypeInTree<T>(withHidden);
  list.keepAllForCriteria(SlotIdCriteria(kBaseDomainSlotId, 0xFFFFFFFFu));
  return list.getSingleton(quiet);
}

KavPtr<ConfigCompleteIp> findConfigComplete() {
  return collectClasstypeInTree<ConfigCompleteIp>(true).getSingleton(false);
}

// A wait on a fresh event that nobody posts, at the process's time scale.
void pause(unsigned int nominalMs) {
  const unsigned int ms = TimeScale::delayMs(nominalMs);
  KAV_TRACE(KAVT, "kav::finish_initial_config pause %u ms", ms);
  IFOSRcLocalEvent event(IFOS_EVENT_RESET);
  event.waitEvent(static_cast<long>(ms));
}

void collectSlots(kav::SlotStatus_t wanted, std::set<unsigned int>& slots) {
  slots.clear();
  std::lock_guard<std::mutex> guard(g_slotStatusLock);
  for (const auto& entry : g_slotStatus)
    if (entry.second == wanted) slots.insert(entry.first);
}

}  // namespace

namespace kav {

kavstl::string asString(DomainType_t domain) {
  static const char* const kTexts[] = {"PHE_Domain",          "PMR_D1_Domain",   "PMR_D2_Domain",
                                       "PIH_A_Domain",        "PIH_B_Domain",    "PMR_MORVEN_Domain",
                                       "Z7PMR_MORVEN_Domain", "Z7PMR_D1_Domain", "Z7PMR_D2_Domain"};
  if (static_cast<unsigned int>(domain) >= sizeof(kTexts) / sizeof(kTexts[0])) return kavstl::string();
  return kavstl::string(kTexts[domain]);
}

int start(DomainType_t domain, bool suppressAbend) {
  std::lock_guard<std::mutex> startStop(g_startStopLock);
  KAV_TRACE(KAVT, "kav::start domain=%u suppressAbend=%u", static_cast<unsigned int>(domain), suppressAbend ? 1u : 0u);
  BaseErrorData rc;
  InitSequenceExecutor<QueryBase> executor;
  kavstl::vector<initSequence::Id_t> steps;

  const bool first = get_tree_root() == nullptr;
  if (first) {
    startServices(suppressAbend, rc);
    Facade* facade = new Facade();
    BuildBase* top = nullptr;
    BaseErrorData buildRc = facade->buildTree(kRootMainType, "0", &top, nullptr);
    delete facade;
    if (top == nullptr || top->getQueryBase() == nullptr) {
      KAV_TRACE(KAVE, "kav::start tree build failed rc=0x%08X", buildRc.getRc());
      // Nothing to initialise and nothing that could become ready.
      if (buildRc == 0) buildRc = 0x7140u;
      rc = buildRc;
      return static_cast<int>(rc.getRc());
    }
    set_tree_root(KavPtr<QueryBase>(top->getQueryBase()));
    steps = get_fru_init_steps();
  }

  KavPtr<QueryBase> root = get_tree_root();
  ExecList<QueryBase> list;
  root->addToExecListInPrefixOrder(list, true);
  steps.push_back(initSequence::INIT_ENABLE_PLUG_EVENTS);
  KAV_TRACE(KAVT, "kav::start first=%u steps=%u objects=%u", first ? 1u : 0u, static_cast<unsigned int>(steps.size()),
            list.elementCount());
  rc = list.forEachElementLoop(executor, steps);
  if (first) {
    kavstl::vector<initSequence::Id_t> removeProviders(1, initSequence::INIT_REMOVE_ID_PROVIDERS);
    rc = list.forEachElementLoop(executor, removeProviders);
  }
  if (rc != 0) KAV_TRACE(KAVE, "kav::start initialisation rc=0x%08X", rc.getRc());

  KavPtr<IdProvider> ids = findBaseDomainObject<IdProvider>(false, false);
  if (ids != nullptr) {
    rc = ids->addId(kav::sid::ID_KEY_CARD_TYPE, get_id_by_string(asString(domain)));
    rc = ids->addId(kav::sid::ID_KEY_HARDWARE_LEVEL, get_id_by_string("0"));
  } else {
    KAV_TRACE(KAVE, "kav::start no id provider for the base domain");
    rc = 0x7000u;
  }

  KavPtr<PlugDetectHwrIp> detector = findBaseDomainObject<PlugDetectHwrIp>(true, false);
  if (detector != nullptr) {
    rc = detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
    KAV_TRACE(KAVT, "kav::start waiting for configuration complete ready");
    ConfigCompleteBase::waitConfigCompleteReady(-1);
    KAV_TRACE(KAVT, "kav::start configuration complete ready");
  } else {
    // Nothing could make the base domain ready.
    KAV_TRACE(KAVE, "kav::start no plug detector for the base domain");
    rc = 0x7000u;
  }
  KAV_TRACE(KAVT, "kav::start rc=0x%08X", rc.getRc());
  return static_cast<int>(rc.getRc());
}

int stop() {
  std::lock_guard<std::mutex> startStop(g_startStopLock);
  KAV_TRACE(KAVT, "kav::stop");
  BaseErrorData rc;
  KavPtr<QueryBase> root = get_tree_root();
  if (root != nullptr) {
    ExecList<QueryBase> list;
    root->addToExecListInPostfixOrder(list, true);
    TerminateSequenceExecutor terminator;
    kavstl::vector<terminateSequence::Id_t> steps(1, terminateSequence::TERM_STOP);
    rc = list.forEachElementLoop(terminator, steps);
  }
  KavPtr<PlugDetectHwrIp> detector = findBaseDomainObject<PlugDetectHwrIp>(true, true);
  if (detector != nullptr) {
    rc = detector->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
    KAV_TRACE(KAVT, "kav::stop waiting for configuration complete not ready");
  }
  // The status handler is looked up again at the next start.
  OscillatorStatusHandler::destroyInstance();
  if (detector != nullptr) {
    ConfigCompleteBase::waitConfigCompleteNotReady(-1);
  }
  // An event handled while the content went away may have looked the
  // outgoing handler up again: the next start must not find it cached.
  OscillatorStatusHandler::destroyInstance();
  clearBinaryReaderCache();
  {
    std::lock_guard<std::mutex> guard(g_slotStatusLock);
    g_slotStatus.clear();
  }
  KAV_TRACE(KAVT, "kav::stop rc=0x%08X", rc.getRc());
  return static_cast<int>(rc.getRc());
}

int send_card_plug(unsigned int slotId, SlotStatus_t status) {
  KAV_TRACE(KAVT, "kav::send_card_plug slot=0x%08X status=%u", slotId, static_cast<unsigned int>(status));
  BaseErrorData rc;
  KavPtr<ConfigCompleteIp> complete = findConfigComplete();
  if (complete == nullptr) {
    rc = 0x7012u;
    KAV_TRACE(KAVE, "kav::send_card_plug no configuration-complete object slot=0x%08X", slotId);
    return static_cast<int>(rc.getRc());
  }
  if (status != e_NotPlugged) complete->cardPlugged(slotId);
  ExecList<PlugDetectHwrIp> detectors = collectClasstypeInTree<PlugDetectHwrIp>(true);
  detectors.keepAllForCriteria(SlotIdCriteria(slotId, 0xFFFFFFFFu));
  const PlugDetectHwrInterface::plugState_t state =
      status != e_NotPlugged ? PlugDetectHwrInterface::PLUGGED : PlugDetectHwrInterface::UNPLUGGED;
  for (ExecList<PlugDetectHwrIp>::const_iterator it = detectors.begin(); it != detectors.end(); ++it)
    rc = (*it)->setPlugState(state);
  {
    std::lock_guard<std::mutex> guard(g_slotStatusLock);
    g_slotStatus[slotId] = status;
  }
  KAV_TRACE(KAVT, "kav::send_card_plug slot=0x%08X status=%u detectors=%u rc=0x%08X", slotId,
            static_cast<unsigned int>(status), detectors.elementCount(), rc.getRc());
  return static_cast<int>(rc.getRc());
}

int finish_initial_config() {
  KAV_TRACE(KAVT, "kav::finish_initial_config");
  BaseErrorData rc;
  KavPtr<ConfigCompleteIp> complete = findConfigComplete();
  if (complete == nullptr) {
    rc = 0x7012u;
    KAV_TRACE(KAVE, "kav::finish_initial_config no configuration-complete object");
    return static_cast<int>(rc.getRc());
  }
  complete->initialCardPlugDone();
  const unsigned int waitMs = TimeScale::delayMs(kInitialConfigWaitMs);
  KAV_TRACE(KAVT, "kav::finish_initial_config wait %u ms", waitMs);
  rc = ConfigCompleteBase::waitConfigComplete(static_cast<int>(waitMs));
  if (!ConfigCompleteBase::isConfigComplete()) {
    KAV_TRACE(KAVE, "kav::finish_initial_config configuration not complete, forcing rc=0x%08X", rc.getRc());
    complete->dump();
    complete->ipConfigIsComplete();
    pause(kPauseAfterForcedMs);
  } else {
    pause(kPauseAfterCompleteMs);
  }
  KAV_TRACE(KAVT, "kav::finish_initial_config rc=0x%08X", rc.getRc());
  return static_cast<int>(rc.getRc());
}

void getFunctionalCardSlots(std::set<unsigned int>& slots) { collectSlots(e_Plugged_Functional, slots); }

void getDoNotUseCardSlots(std::set<unsigned int>& slots) { collectSlots(e_Plugged_DoNotUse, slots); }

}  // namespace kav

bool is_config_complete() { return ConfigCompleteBase::isConfigComplete(); }

bool is_minimum_config_complete() { return ConfigCompleteBase::isMinimumConfigComplete(); }

BaseErrorData wait_config_complete(int timeout) { return ConfigCompleteBase::waitConfigComplete(timeout); }

BaseErrorData wait_minimum_config_complete(int timeout) { return ConfigCompleteBase::waitMinimumConfigComplete(timeout); }
