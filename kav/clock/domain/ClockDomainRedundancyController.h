// Keeps the clock domains of one oscillator card set that share a type
// (kavosc::ClockDomain_t) at the same speed and spreading. Per type it
// records the state the domains should have (steering flag, PLL pattern,
// spreading) and lists the domains of the cards configured so far; every
// speed or spreading change is carried to all domains of the type at once
// through the clock-domain executors, which succeed when one domain carried
// the change out and mark every domain it failed on defective. A card
// configured later is brought to the recorded state.
//
// Until initializeClockDomainRedundancyController (once the oscillator mode
// is known) domains are only listed; the initialisation reads the recorded
// state from the domains and pushes it to all of them.
//
// Speed changes:
// - steering moves the PLL's feedback divider one count at a time on all
//   domains of the type, without changing the PLL's output range or the
//   redundancy chip's input range; spreading is stopped around it and the
//   domains are in steering mode meanwhile (10 ms pause before they leave
//   it);
// - forcing writes a pattern of any range, the cards running their power
//   sequences PrepareClockChange before and ClockChangeDone after it (the
//   sequence ids per type: getForceSpeedPrepareSequenceId /
//   getForceSpeedDoneSequenceId).
// A requested cycle time that no domain may take is refused (0x7244 no
// PLL pattern in the current output range or none at all, 0x733C outside
// the chip's current input range): nothing is written and no domain is
// marked defective, since a refused request is no fault of the hardware.
//
// Every public operation holds the controller's lock (that of its nearest
// AtomicBase ancestor) for its whole duration, so that a steering run and a
// card configuration never interleave. Cycle times are in picoseconds.
#ifndef KAV_CLOCK_CLOCKDOMAINREDUNDANCYCONTROLLER_H
#define KAV_CLOCK_CLOCKDOMAINREDUNDANCYCONTROLLER_H

#include <ostream>

#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/kavosc.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"
#include "kav/tree/start/ExecList.h"

class KAV_EXPORT ClockDomainRedundancyController : public QueryBase {
  KAV_TREE_CLASS(ClockDomainRedundancyController)

 public:
  // One type: its recorded state and its configured domains.
  struct ClockDomainEntry_t {
    ClockDomain::ClockDomainInfo_t info;
    ExecList<ClockDomain> domains;
  };
  typedef kavstl::map<kavosc::ClockDomain_t, ClockDomainEntry_t> ClockDomainInfoMap_t;

  ClockDomainRedundancyController();
  ~ClockDomainRedundancyController() override;

  // Per type: "m_clockDomainInfoMap[0x<type>]" with the steering flag, the
  // recorded pattern and the slot ids of the domains.
  void dumpXml(std::ostream& os) const override;

  // Per type the recorded state is read from the first domain whose mode
  // is neither 0 nor 4 (else from the first domain) and every domain of the
  // type is brought to it. From then on added domains are set up at once.
  ErrorData initializeClockDomainRedundancyController();
  bool isInitialized() const;

  // Each domain of the list joins the list of its type (a domain listed
  // already is not added again). Once initialised, a domain of a known type
  // is brought to the recorded state; a domain of a new type gives it its
  // state.
  ErrorData addClockDomainList(ExecList<ClockDomain>& list);
  // Every domain of the slot leaves its type's list; a type left without
  // domains is forgotten with its recorded state.
  ErrorData removeClockDomainsForSlotId(unsigned int slotId);

  // The recorded pattern's cycle time (no hardware access); 0x700B while
  // nothing is recorded. 0x7009: the type has no domains.
  ErrorData readCycleTime(kavosc::ClockDomain_t type, unsigned int& cycleTime);

  // `actual` is 0xFFFFFFFF until the end, then the recorded pattern's cycle
  // time. 0x7009 for a type without domains.
  ErrorData steerCycleTime(kavosc::ClockDomain_t type, unsigned int cycleTime, unsigned int& actual);
  // The nominal cycle time in a range whose window holds the minimum (a
  // tenth below it when it equals the nominal) and the maximum; minimum >
  // nominal or nominal > maximum: 0x7013.
  ErrorData forceNominalCycleTime(kavosc::ClockDomain_t type, unsigned int minimum, unsigned int nominal,
                                  unsigned int maximum, unsigned int& actual);
  // The cycle time in the slowest (fastest) range that can produce it.
  ErrorData forceCycleTimeToSlowestRange(kavosc::ClockDomain_t type, unsigned int cycleTime, unsigned int& actual);
  ErrorData forceCycleTimeToFastestRange(kavosc::ClockDomain_t type, unsigned int cycleTime, unsigned int& actual);

  // The recorded spreading.
  ErrorData readSpreadingValues(kavosc::ClockDomain_t type, kavosc::SpreadingDirection_t& direction,
                                unsigned int& value);
  // Records the spreading and hands it to every domain of the type: (0, 0)
  // stops the spreading before, anything else starts it after.
  ErrorData writeSpreadingValues(kavosc::ClockDomain_t type, kavosc::SpreadingDirection_t direction,
                                 unsigned int value);

  // Start in the mode order 2, 1, 3, 4; stop in 4, 3, 1, 2. A domain acts
  // only for its own mode, so each is switched once.
  ErrorData startSpreading(ExecList<ClockDomain>& domains);
  ErrorData stopSpreading(ExecList<ClockDomain>& domains);

  // The recorded state and the number of domains of a type (0x7009 when
  // the type has none).
  ErrorData getClockDomainInfo(kavosc::ClockDomain_t type, ClockDomain::ClockDomainInfo_t& info) const;
  unsigned int getClockDomainCount(kavosc::ClockDomain_t type) const;

  // The power sequences around a forced speed change; 0x7011 for a type
  // that has none.
  static ErrorData getForceSpeedPrepareSequenceId(kavosc::ClockDomain_t type, unsigned int& sequenceId);
  static ErrorData getForceSpeedDoneSequenceId(kavosc::ClockDomain_t type, unsigned int& sequenceId);

  // The pause in steering mode after the last step.
  static const unsigned int kSteeringSettleMs = 10;

 private:
  ClockDomainEntry_t* findEntry(kavosc::ClockDomain_t type);
  const ClockDomainEntry_t* findEntry(kavosc::ClockDomain_t type) const;

  // From `from` towards `to` one count at a time, each step written to all
  // domains of the entry; the recorded pattern becomes the last step
  // written. Stops at the first step that can not be made or written.
  ErrorData stepSpeed(ClockDomainEntry_t& entry, const PllSpeedPattern& from, const PllSpeedPattern& to);
  // The pattern forced on all domains of the entry between the prepare and
  // done sequences of the type's activated cards.
  ErrorData forceSpeed(ClockDomainEntry_t& entry, kavosc::ClockDomain_t type, unsigned int lower,
                       const PllSpeedPattern& pattern, unsigned int upper);
  // The force for `target`, chosen from the candidates with `candidatesRc`:
  // without a target nothing is written (the candidates' code, else 0x7244).
  ErrorData forceTarget(ClockDomainEntry_t& entry, kavosc::ClockDomain_t type, const ErrorData& candidatesRc,
                        unsigned int lower, const PllSpeedPattern& target, unsigned int upper);
  // The candidates of the type's first domain for the cycle time.
  ErrorData getCandidates(ClockDomainEntry_t& entry, unsigned int cycleTime, PllSpeedPatternList& candidates);
  // The two range forces: the slowest range (lower bound 0) or the fastest
  // (upper bound 0) among the candidates for the cycle time.
  ErrorData forceCycleTimeToRangeEnd(kavosc::ClockDomain_t type, unsigned int cycleTime, unsigned int& actual,
                                     bool slowest);
  static void setActual(const ClockDomainEntry_t* entry, unsigned int& actual);

  bool m_initialized;
  ClockDomainInfoMap_t m_clockDomainInfoMap;
};

extern "C" KAV_EXPORT BuildBase* createClockDomainRedundancyController(void* argument, BaseErrorData& error);

#endif
