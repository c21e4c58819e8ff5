#include "kav/clock/domain/ClockDomainRedundancyController.h"

#include <cstdio>

#include "kav/cards/PowerControl.h"
#include "kav/cards/PowerSequenceUtil.h"
#include "kav/clock/domain/ForceSpeedExecutor.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/clock/domain/StartSpreadingExecutor.h"
#include "kav/clock/domain/StartSteeringModeExecutor.h"
#include "kav/clock/domain/StopSpreadingExecutor.h"
#include "kav/clock/domain/StopSteeringModeExecutor.h"
#include "kav/clock/domain/WriteSpeedExecutor.h"
#include "kav/clock/domain/WriteSpreadingValuesExecutor.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/KavWait.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/search/SlotIdCriteria.h"

KAV_TREE_CLASS_IMPL(ClockDomainRedundancyController, QueryBase)

namespace {

const unsigned int kNoSuchType = 0x7009;
const unsigned int kNotInitialised = 0x700B;
const unsigned int kNoSequence = 0x7011;
const unsigned int kInconsistentCycleTimes = 0x7013;
const unsigned int kNoPatternInRange = 0x7244;
const unsigned int kOutsideCrcRange = 0x733C;
const unsigned int kUnknownCycleTime = 0xFFFFFFFFu;
const int kListAccessTimeout = 200;

ErrorData failure(unsigned int code, const char* text) {
  ErrorData rc(ErrorData::NO_OVERWRITE, code);
  rc << text;
  return rc;
}

// The requested cycle time can not be had without changing a range: the
// request is refused, the domain is not at fault.
bool isRefusal(const ErrorData& rc) {
  const unsigned int code = rc.getRcWithoutLogFlag();
  return code == kNoPatternInRange || code == kOutsideCrcRange;
}

bool contains(const ExecList<ClockDomain>& list, const KavPtr<ClockDomain>& domain) {
  for (const KavPtr<ClockDomain>& d : list)
    if (d == domain) return true;
  return false;
}

// The power controls of the cards that carry one of the domains and are
// activated.
ExecList<PowerControl> activatedCardsOf(const ExecList<ClockDomain>& domains) {
  ExecList<PowerControl> cards;
  for (const KavPtr<PowerControl>& card : collectClasstypeInTree<PowerControl>(true)) {
    bool carries = false;
    for (const KavPtr<ClockDomain>& d : domains)
      if (d->getSlotId() == card->getSlotId()) carries = true;
    PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
    if (carries && card->getActivationState(state) == 0 && state == PowerControl::ACTIVATED) cards.addElement(card);
  }
  return cards;
}

}  // namespace

ClockDomainRedundancyController::ClockDomainRedundancyController() : m_initialized(false) {}

ClockDomainRedundancyController::~ClockDomainRedundancyController() {}

void ClockDomainRedundancyController::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    char text[64];
    os << "<class className=\"ClockDomainRedundancyController\">\n";
    os << "<parameter name=\"m_initialized\" value=\"" << (m_initialized ? "true" : "false") << "\"/>\n";
    for (const auto& entry : m_clockDomainInfoMap) {
      std::snprintf(text, sizeof text, "m_clockDomainInfoMap[0x%X]", static_cast<unsigned int>(entry.first));
      os << "<parameter name=\"" << text << "\" value=\"SteeringMode="
         << (entry.second.info.steeringModeActive ? "'On'" : "'Off'");
      std::snprintf(text, sizeof text, " PllPattern='0x%X'", entry.second.info.pllSpeedPattern.getPllPattern());
      os << text << " SlotIds='";
      const char* separator = "";
      for (const KavPtr<ClockDomain>& d : entry.second.domains) {
        std::snprintf(text, sizeof text, "%s0x%X", separator, d->getSlotId());
        os << text;
        separator = " ";
      }
      os << "'\"/>\n";
    }
    os << "</class>\n";
  }
  QueryBase::dumpXml(os);
}

ClockDomainRedundancyController::ClockDomainEntry_t* ClockDomainRedundancyController::findEntry(
    kavosc::ClockDomain_t type) {
  auto it = m_clockDomainInfoMap.find(type);
  return it == m_clockDomainInfoMap.end() ? nullptr : &it->second;
}

const ClockDomainRedundancyController::ClockDomainEntry_t* ClockDomainRedundancyController::findEntry(
    kavosc::ClockDomain_t type) const {
  auto it = m_clockDomainInfoMap.find(type);
  return it == m_clockDomainInfoMap.end() ? nullptr : &it->second;
}

void ClockDomainRedundancyController::setActual(const ClockDomainEntry_t* entry, unsigned int& actual) {
  actual = kUnknownCycleTime;
  if (entry != nullptr) entry->info.pllSpeedPattern.getOutputCyletimeInPicoSeconds(actual);
}

bool ClockDomainRedundancyController::isInitialized() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_initialized;
}

ErrorData ClockDomainRedundancyController::initializeClockDomainRedundancyController() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (auto& item : m_clockDomainInfoMap) {
    ClockDomainEntry_t& entry = item.second;
    KavPtr<ClockDomain> source;
    for (const KavPtr<ClockDomain>& d : entry.domains) {
      const kavosc::OscSetMode_t mode = d->getMode();
      if (mode != kavosc::OSC_SET_MODE_NONE && mode != kavosc::OSC_SET_MODE_OTHER_SINGLE) {
        source = d;
        break;
      }
    }
    if (source == nullptr && entry.domains.elementCount() != 0) source = *entry.domains.begin();
    if (source == nullptr) continue;
    ClockDomain::ClockDomainInfo_t info;
    const ErrorData read = source->initializeClockDomainInfo(info);
    entry.info = info;
    if (read != 0) {
      // A state that could not be read completely is not handed on: an
      // unreadable pattern would reach every PLL of the type as bits 0.
      rc = read;
      KAV_TRACE(KAVE, "ClockDomainRedundancyController::initialize type=0x%X slot=0x%08X state unreadable rc=0x%08X",
                static_cast<unsigned int>(item.first), source->getSlotId(), read.getRc());
      continue;
    }
    for (const KavPtr<ClockDomain>& d : entry.domains) rc = d->performPlugSetup(entry.info);
  }
  m_initialized = true;
  KAV_TRACE(KAVT, "ClockDomainRedundancyController::initialize types=%u rc=0x%08X",
            static_cast<unsigned int>(m_clockDomainInfoMap.size()), rc.getRc());
  return rc;
}

ErrorData ClockDomainRedundancyController::addClockDomainList(ExecList<ClockDomain>& list) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  for (const KavPtr<ClockDomain>& domain : list) {
    if (domain == nullptr) continue;
    const kavosc::ClockDomain_t type = domain->getClockDomainType();
    ClockDomainEntry_t* entry = findEntry(type);
    if (entry != nullptr && contains(entry->domains, domain)) {
      KAV_TRACE(KAVT, "ClockDomainRedundancyController::addClockDomainList type=0x%X slot=0x%08X listed already",
                static_cast<unsigned int>(type), domain->getSlotId());
      continue;
    }
    if (entry != nullptr) {
      if (m_initialized) {
        if (entry->info.pllSpeedPattern.isInit()) {
          rc = domain->performPlugSetup(entry->info);
        } else {
          // Nothing readable was recorded for the type: the domain keeps
          // what it has.
          rc = failure(kNotInitialised, "no recorded PLL pattern for the clock domain type");
        }
      }
      rc = entry->domains.addElement(domain);
    } else {
      ClockDomainEntry_t& created = m_clockDomainInfoMap[type];
      if (m_initialized) rc = domain->initializeClockDomainInfo(created.info);
      rc = created.domains.addElement(domain);
    }
    KAV_TRACE(KAVT, "ClockDomainRedundancyController::addClockDomainList type=0x%X slot=0x%08X rc=0x%08X",
              static_cast<unsigned int>(type), domain->getSlotId(), rc.getRc());
  }
  return rc;
}

ErrorData ClockDomainRedundancyController::removeClockDomainsForSlotId(unsigned int slotId) {
  IFOSGuard<const QueryBase> guard(*this);
  for (auto it = m_clockDomainInfoMap.begin(); it != m_clockDomainInfoMap.end();) {
    it->second.domains.removeAllForCriteria(SlotIdCriteria(slotId, 0xFFFFFFFFu));
    if (it->second.domains.elementCount() == 0)
      it = m_clockDomainInfoMap.erase(it);
    else
      ++it;
  }
  KAV_TRACE(KAVT, "ClockDomainRedundancyController::removeClockDomainsForSlotId slot=0x%08X types=%u", slotId,
            static_cast<unsigned int>(m_clockDomainInfoMap.size()));
  return ErrorData();
}

ErrorData ClockDomainRedundancyController::getClockDomainInfo(kavosc::ClockDomain_t type,
                                                              ClockDomain::ClockDomainInfo_t& info) const {
  IFOSGuard<const QueryBase> guard(*this);
  const ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) return failure(kNoSuchType, "no clock domain of the type");
  info = entry->info;
  return ErrorData();
}

unsigned int ClockDomainRedundancyController::getClockDomainCount(kavosc::ClockDomain_t type) const {
  IFOSGuard<const QueryBase> guard(*this);
  const ClockDomainEntry_t* entry = findEntry(type);
  return entry == nullptr ? 0u : entry->domains.elementCount();
}

ErrorData ClockDomainRedundancyController::readCycleTime(kavosc::ClockDomain_t type, unsigned int& cycleTime) {
  IFOSGuard<const QueryBase> guard(*this);
  cycleTime = kUnknownCycleTime;
  const ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) return failure(kNoSuchType, "no clock domain of the type");
  return entry->info.pllSpeedPattern.getOutputCyletimeInPicoSeconds(cycleTime);
}

ErrorData ClockDomainRedundancyController::readSpreadingValues(kavosc::ClockDomain_t type,
                                                               kavosc::SpreadingDirection_t& direction,
                                                               unsigned int& value) {
  IFOSGuard<const QueryBase> guard(*this);
  const ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) return failure(kNoSuchType, "no clock domain of the type");
  direction = entry->info.spreading.direction;
  value = entry->info.spreading.value;
  return ErrorData();
}

ErrorData ClockDomainRedundancyController::writeSpreadingValues(kavosc::ClockDomain_t type,
                                                                kavosc::SpreadingDirection_t direction,
                                                                unsigned int value) {
  IFOSGuard<const QueryBase> guard(*this);
  ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) return failure(kNoSuchType, "no clock domain of the type");
  entry->info.spreading.direction = direction;
  entry->info.spreading.value = value;
  const bool off = direction == kavosc::SPREADING_OFF && value == 0;
  ErrorData rc;
  // A domain stops only a spreading it has recorded: before the zeros.
  if (off) rc = stopSpreading(entry->domains);
  WriteSpreadingValuesExecutor writer(direction, value);
  rc = entry->domains.forEachElementDo(writer);
  if (!off) rc = startSpreading(entry->domains);
  KAV_TRACE(KAVT, "ClockDomainRedundancyController::writeSpreadingValues type=0x%X dir=%u value=%u rc=0x%08X",
            static_cast<unsigned int>(type), static_cast<unsigned int>(direction), value, rc.getRc());
  return rc;
}

ErrorData ClockDomainRedundancyController::startSpreading(ExecList<ClockDomain>& domains) {
  IFOSGuard<const QueryBase> guard(*this);
  kavstl::vector<kavosc::OscSetMode_t> modes;
  modes.push_back(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  modes.push_back(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY);
  modes.push_back(kavosc::OSC_SET_MODE_SINGLE);
  modes.push_back(kavosc::OSC_SET_MODE_OTHER_SINGLE);
  StartSpreadingExecutor starter;
  return domains.forEachElementLoop(starter, modes);
}

ErrorData ClockDomainRedundancyController::stopSpreading(ExecList<ClockDomain>& domains) {
  IFOSGuard<const QueryBase> guard(*this);
  kavstl::vector<kavosc::OscSetMode_t> modes;
  modes.push_back(kavosc::OSC_SET_MODE_OTHER_SINGLE);
  modes.push_back(kavosc::OSC_SET_MODE_SINGLE);
  modes.push_back(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY);
  modes.push_back(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  StopSpreadingExecutor stopper;
  return domains.forEachElementLoop(stopper, modes);
}

ErrorData ClockDomainRedundancyController::stepSpeed(ClockDomainEntry_t& entry, const PllSpeedPattern& from,
                                                     const PllSpeedPattern& to) {
  // Patterns of different ranges are not ordered: nothing is stepped.
  const bool down = from > to;
  PllSpeedPattern current = from;
  ErrorData rc;
  unsigned int steps = 0;
  while (down ? to < current : to > current) {
    PllSpeedPattern next = current;
    const ErrorData counted = down ? next.decSpeed(1) : next.incSpeed(1);
    if (counted != 0) {
      rc = counted;
      break;
    }
    WriteSpeedExecutor writer(next);
    const ErrorData written = entry.domains.forEachElementDo(writer);
    if (written != 0) {
      // No domain took the step: it is not made again.
      rc = written;
      break;
    }
    current = next;
    ++steps;
  }
  entry.info.pllSpeedPattern = current;
  KAV_TRACE_STR(KAVT, "ClockDomainRedundancyController::stepSpeed %s steps=%u down=%u rc=0x%08X", current.asString(),
                steps, down ? 1u : 0u, rc.getRc());
  return rc;
}

ErrorData ClockDomainRedundancyController::steerCycleTime(kavosc::ClockDomain_t type, unsigned int cycleTime,
                                                          unsigned int& actual) {
  IFOSGuard<const QueryBase> guard(*this);
  actual = kUnknownCycleTime;
  ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) {
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::steerCycleTime unknown type=0x%X",
              static_cast<unsigned int>(type));
    return failure(kNoSuchType, "no clock domain of the type");
  }
  // 1. The target, asked of every domain from the recorded pattern.
  PllSpeedPattern target;
  bool found = false;
  ErrorData refused;
  ErrorData lastFailure(ErrorData::OVERWRITE);
  for (const KavPtr<ClockDomain>& d : entry->domains) {
    PllSpeedPattern result;
    const ErrorData asked =
        d->getPllSpeedPatternWithoutRangeChangeForCycleTime(entry->info.pllSpeedPattern, cycleTime, result);
    if (asked == 0) {
      target = result;
      found = true;
    } else if (isRefusal(asked)) {
      refused = asked;
    } else {
      d->setDefective();
      lastFailure = asked;
    }
  }
  if (refused != 0 || !found) {
    // A cycle time one domain refuses is not steered on any: it would take
    // that domain out of its ranges.
    const ErrorData rc = refused != 0 ? refused : lastFailure;
    setActual(entry, actual);
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::steerCycleTime type=0x%X ct=%u not steered rc=0x%08X",
              static_cast<unsigned int>(type), cycleTime, rc.getRc());
    return rc;
  }
  // 2. Spreading off, steering mode on, the steps.
  ErrorData rc = stopSpreading(entry->domains);
  StartSteeringModeExecutor starter;
  rc = entry->domains.forEachElementDo(starter);
  if (rc == 0) rc = stepSpeed(*entry, entry->info.pllSpeedPattern, target);
  // 3. to 5., also after a failure: the domains leave steering mode.
  KavWait(kSteeringSettleMs);
  StopSteeringModeExecutor stopper;
  rc = entry->domains.forEachElementDo(stopper);
  rc = startSpreading(entry->domains);
  setActual(entry, actual);
  KAV_TRACE(KAVT, "ClockDomainRedundancyController::steerCycleTime type=0x%X ct=%u actual=%u rc=0x%08X",
            static_cast<unsigned int>(type), cycleTime, actual, rc.getRc());
  return rc;
}

namespace {
// The power sequences that prepare and end a forced speed change, per type.
struct ClockChangeSequences {
  kavosc::ClockDomain_t type;
  unsigned int prepare;
  unsigned int done;
};
const ClockChangeSequences kClockChangeSequences[] = {
    {kavosc::CLOCK_DOMAIN_1, kav::sid::PREPARE_CLOCK_CHANGE_1, kav::sid::CLOCK_CHANGE_DONE_1},
    {kavosc::CLOCK_DOMAIN_2, kav::sid::PREPARE_CLOCK_CHANGE_2, kav::sid::CLOCK_CHANGE_DONE_2},
    {kavosc::CLOCK_DOMAIN_4, kav::sid::PREPARE_CLOCK_CHANGE_4, kav::sid::CLOCK_CHANGE_DONE_4},
    {kavosc::CLOCK_DOMAIN_8, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
    {kavosc::CLOCK_DOMAIN_16, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
    {kavosc::CLOCK_DOMAIN_32, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
    {kavosc::CLOCK_DOMAIN_64, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
    {kavosc::CLOCK_DOMAIN_128, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
    {kavosc::CLOCK_DOMAIN_GROUP, kav::sid::PREPARE_CLOCK_CHANGE_8, kav::sid::CLOCK_CHANGE_DONE_8},
};

const ClockChangeSequences* clockChangeSequences(kavosc::ClockDomain_t type) {
  for (const ClockChangeSequences& row : kClockChangeSequences)
    if (row.type == type) return &row;
  return nullptr;
}
}  // namespace

ErrorData ClockDomainRedundancyController::getForceSpeedPrepareSequenceId(kavosc::ClockDomain_t type,
                                                                          unsigned int& sequenceId) {
  const ClockChangeSequences* row = clockChangeSequences(type);
  if (row == nullptr) return failure(kNoSequence, "no clock change sequence for the clock domain type");
  sequenceId = row->prepare;
  return ErrorData();
}

ErrorData ClockDomainRedundancyController::getForceSpeedDoneSequenceId(kavosc::ClockDomain_t type,
                                                                       unsigned int& sequenceId) {
  const ClockChangeSequences* row = clockChangeSequences(type);
  if (row == nullptr) return failure(kNoSequence, "no clock change sequence for the clock domain type");
  sequenceId = row->done;
  return ErrorData();
}

ErrorData ClockDomainRedundancyController::forceSpeed(ClockDomainEntry_t& entry, kavosc::ClockDomain_t type,
                                                      unsigned int lower, const PllSpeedPattern& pattern,
                                                      unsigned int upper) {
  unsigned int prepare = 0;
  unsigned int done = 0;
  ErrorData rc = getForceSpeedPrepareSequenceId(type, prepare);
  rc = getForceSpeedDoneSequenceId(type, done);
  if (rc != 0) {
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::forceSpeed type=0x%X no sequences",
              static_cast<unsigned int>(type));
    return rc;
  }
  ExecList<PowerControl> cards = activatedCardsOf(entry.domains);
  rc = cards.requestListAccess(kListAccessTimeout);
  if (rc != 0) {
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::forceSpeed list access rc=0x%08X", rc.getRc());
    return rc;
  }
  const ErrorData prepared = PowerSequenceUtil::executePowerSequence(cards, prepare, PowerControllable::OTHER);
  rc = prepared;
  if (prepared == 0) {
    ForceSpeedExecutor forcer(lower, pattern, upper);
    const ErrorData forced = entry.domains.forEachElementDo(forcer);
    if (forced == 0) entry.info.pllSpeedPattern = pattern;
    rc = forced;
  } else {
    // Not forced. The cards the preparation got through are still brought
    // back by the done sequence.
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::forceSpeed type=0x%X prepare failed rc=0x%08X",
              static_cast<unsigned int>(type), prepared.getRc());
  }
  rc = PowerSequenceUtil::executePowerSequence(cards, done, PowerControllable::OTHER);
  cards.releaseListAccess();
  KAV_TRACE_STR(KAVT, "ClockDomainRedundancyController::forceSpeed %s cards=%u lower=%u upper=%u rc=0x%08X",
                pattern.asString(), cards.elementCount(), lower, upper, rc.getRc());
  return rc;
}

ErrorData ClockDomainRedundancyController::getCandidates(ClockDomainEntry_t& entry, unsigned int cycleTime,
                                                         PllSpeedPatternList& candidates) {
  if (entry.domains.elementCount() == 0) return failure(kNoSuchType, "no clock domain of the type");
  return (*entry.domains.begin())->getPossiblePllRangesForCycleTime(cycleTime, candidates);
}

ErrorData ClockDomainRedundancyController::forceTarget(ClockDomainEntry_t& entry, kavosc::ClockDomain_t type,
                                                       const ErrorData& candidatesRc, unsigned int lower,
                                                       const PllSpeedPattern& target, unsigned int upper) {
  if (!target.isInit()) {
    // No range fits: there is no pattern to write.
    ErrorData rc = candidatesRc;
    rc = failure(kNoPatternInRange, "no PLL range for the cycle times");
    KAV_TRACE(KAVE, "ClockDomainRedundancyController::forceTarget type=0x%X lower=%u upper=%u no range rc=0x%08X",
              static_cast<unsigned int>(type), lower, upper, rc.getRc());
    return rc;
  }
  return forceSpeed(entry, type, lower, target, upper);
}

ErrorData ClockDomainRedundancyController::forceNominalCycleTime(kavosc::ClockDomain_t type, unsigned int minimum,
                                                                 unsigned int nominal, unsigned int maximum,
                                                                 unsigned int& actual) {
  IFOSGuard<const QueryBase> guard(*this);
  actual = kUnknownCycleTime;
  ClockDomainEntry_t* entry = findEntry(type);
  ErrorData rc;
  if (minimum > nominal || nominal > maximum) {
    rc = failure(kInconsistentCycleTimes, "minimum, nominal and maximum cycle time out of order");
  } else if (entry == nullptr) {
    rc = failure(kNoSuchType, "no clock domain of the type");
  } else {
    PllSpeedPatternList candidates;
    const ErrorData candidatesRc = getCandidates(*entry, nominal, candidates);
    if (minimum == nominal) minimum -= minimum / 10;
    const PllSpeedPattern target = candidates.getPllSpeedPatternListContainingCycleTime(minimum)
                                       .getPllSpeedPatternListContainingCycleTime(maximum)
                                       .getFirstMatchingRange();
    rc = forceTarget(*entry, type, candidatesRc, minimum, target, maximum);
  }
  setActual(entry, actual);
  KAV_TRACE(KAVT, "ClockDomainRedundancyController::forceNominalCycleTime type=0x%X ct=%u..%u..%u rc=0x%08X",
            static_cast<unsigned int>(type), minimum, nominal, maximum, rc.getRc());
  return rc;
}

ErrorData ClockDomainRedundancyController::forceCycleTimeToSlowestRange(kavosc::ClockDomain_t type,
                                                                        unsigned int cycleTime,
                                                                        unsigned int& actual) {
  return forceCycleTimeToRangeEnd(type, cycleTime, actual, true);
}

ErrorData ClockDomainRedundancyController::forceCycleTimeToFastestRange(kavosc::ClockDomain_t type,
                                                                        unsigned int cycleTime,
                                                                        unsigned int& actual) {
  return forceCycleTimeToRangeEnd(type, cycleTime, actual, false);
}

ErrorData ClockDomainRedundancyController::forceCycleTimeToRangeEnd(kavosc::ClockDomain_t type, unsigned int cycleTime,
                                                                    unsigned int& actual, bool slowest) {
  IFOSGuard<const QueryBase> guard(*this);
  actual = kUnknownCycleTime;
  ClockDomainEntry_t* entry = findEntry(type);
  if (entry == nullptr) return failure(kNoSuchType, "no clock domain of the type");
  PllSpeedPatternList candidates;
  const ErrorData candidatesRc = getCandidates(*entry, cycleTime, candidates);
  // The slowest range is forced with no lower bound, the fastest with no
  // upper one.
  const PllSpeedPattern target = slowest ? candidates.getForLowestRange() : candidates.getForHighestRange();
  const unsigned int lower = slowest ? 0 : target.getMinimalOutputCyletimeInPicoSeconds();
  const unsigned int upper = slowest ? target.getMaximalOutputCyletimeInPicoSeconds() : 0;
  const ErrorData rc = forceTarget(*entry, type, candidatesRc, lower, target, upper);
  setActual(entry, actual);
  KAV_TRACE_STR(KAVT, "ClockDomainRedundancyController::forceCycleTimeTo%sRange type=0x%X ct=%u rc=0x%08X",
                slowest ? "Slowest" : "Fastest", static_cast<unsigned int>(type), cycleTime, rc.getRc());
  return rc;
}

BuildBase* createClockDomainRedundancyController(void*, BaseErrorData&) {
  return (new ClockDomainRedundancyController())->getBuildInterface();
}
