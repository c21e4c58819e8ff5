// One of the two oscillator card sets (attribute oscCardSet: 0x10 set A,
// 0x20 set B): the cards in its slots (the slot list of the slot redundancy
// controller), among them the oscillator control card (attribute
// oscCtrlSlotId), and the clock domains they carry, kept at one speed and
// spreading per type by the set's ClockDomainRedundancyController child.
//
// Writing a mode (kavosc::OscSetMode_t) sets control, groups and clock
// domains in the order the mode needs:
//   0  control mode, control outputs; every domain
//   1  control mode; every domain; control outputs
//   2  every domain; control outputs; clock-select pulse; 100 ms; control
//      mode (the domains follow the other set before the control lets go
//      of its own oscillator)
//   3  control mode; every domain; control outputs; 1000 ms
//   4  control mode; every domain; control outputs
// Without an oscillator control only modes 0 and 4 can be written (the
// other modes give 0x7000).
//
// A card configured later is set up with the set's mode; a card that goes
// away while the set runs (modes 1..3) is disabled through the oscillator
// status handler on the job thread.
//
// The set has no lock of its own: it uses that of its nearest AtomicBase
// ancestor.
#ifndef KAV_CLOCK_OSCCARDSET_H
#define KAV_CLOCK_OSCCARDSET_H

#include "kav/cards/FruStateTable.h"
#include "kav/cards/SlotRedundancyController.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/domain/ClockDomainRedundancyController.h"
#include "kav/clock/osc/OscControl.h"
#include "kav/clock/kavosc.h"
#include "kav/tree/start/ExecList.h"

class KAV_EXPORT OscCardSet : public SlotRedundancyController {
  KAV_TREE_CLASS(OscCardSet)

 public:
  // A configured card of the set.
  struct OscCardInfo_t {
    KavPtr<FruStateTable> fruStateTable;
    ExecList<ClockDomain> clockDomains;
  };

  // What the set can do: whether it has an (active) oscillator control and,
  // per clock domain type, whether a card carrying one is active.
  struct OscCardSetInfo_t {
    bool oscCtrlPresent;
    bool oscCtrlActive;
    kavstl::map<kavosc::ClockDomain_t, bool> clockDomainAvailability;

    OscCardSetInfo_t() : oscCtrlPresent(false), oscCtrlActive(false) {}
    bool operator==(const OscCardSetInfo_t& o) const {
      return (oscCtrlPresent && oscCtrlActive) == (o.oscCtrlPresent && o.oscCtrlActive) &&
             clockDomainAvailability == o.clockDomainAvailability;
    }
    bool operator!=(const OscCardSetInfo_t& o) const { return !(*this == o); }
  };

  // The pauses of modes 2 (before the control switches) and 3 (after).
  static constexpr unsigned int kSecondaryControlWaitMs = 100;
  static constexpr unsigned int kSingleSettleWaitMs = 1000;

  OscCardSet();
  ~OscCardSet() override;

  unsigned long mutexRequest(int timeout) const override;
  unsigned long mutexRelease() const override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 finds the redundancy controller (0x7002 without exactly one).
  BaseErrorData init(initSequence::Id_t step) override;
  // 0 deregisters the slot events and forgets the mode was set; 5 unlinks.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData performInitialSetup(kavosc::OscSetMode_t mode);
  ErrorData readMode(kavosc::OscSetMode_t& mode) const;
  ErrorData writeMode(kavosc::OscSetMode_t mode);
  ErrorData getInfo(OscCardSetInfo_t& info);
  static bool isValidModeForOscCardSet(kavosc::OscSetMode_t mode, const OscCardSetInfo_t& info);
  ErrorData enableInterrupts();
  ErrorData disableInterrupts();
  ErrorData setPropagationMode(unsigned int group, const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes);
  ErrorData disableAllPropagation();
  // Only in mode 1 (else 0x7000).
  ErrorData readSynchLostCounts(unsigned int group, kavstl::vector<unsigned int>& counts);
  ErrorData readOscControlStatus(kavosc::OscControlStatus_t& status);
  ErrorData readOscCardStates(kavstl::vector<kavosc::OscCardStatus_t>& states);
  // The clock domains of every configured card, in card order.
  ErrorData addAvailableClockDomainToExecList(ExecList<ClockDomain>& list);

  void handleConfigEvent(unsigned int slotId) override;
  void handleUnconfigEvent(unsigned int slotId) override;
  using SlotRedundancyController::handleConfigEvent;
  using SlotRedundancyController::handleUnconfigEvent;

  kavosc::OscCardSet_t getOscCardSet() const { return m_oscCardSet; }
  unsigned int getOscCtrlSlot() const { return m_oscCtrlSlot; }
  KavPtr<OscControl> getOscControl() const;
  KavPtr<ClockDomainRedundancyController> getClockDomainRedundancyController() const;
  bool isInitialized() const;
  unsigned int getCardCount() const;

 private:
  ErrorData configureCard(unsigned int slotId);

  bool m_initialized;
  kavosc::OscCardSet_t m_oscCardSet;
  kavosc::OscSetMode_t m_oscSetMode;
  kavstl::map<unsigned int, OscCardInfo_t> m_cards;
  unsigned int m_oscCtrlSlot;
  KavPtr<OscControl> m_pOscCtrl;
  KavPtr<ClockDomainRedundancyController> m_clockDomainRedundancyController;
};

extern "C" KAV_EXPORT BuildBase* createOscCardSet(void* argument, BaseErrorData& error);

#endif
