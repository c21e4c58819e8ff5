// One watched oscillator switch of an oscillator control: two digital inputs
// (logical id 0: the oscillator-0 switch control is on; 1: that of
// oscillator 1), a propagation fence (a programmable-logic control: 1 lets
// a switch-over through, 2 fences it) and the periodic check for a lost
// synchronisation.
//
// In mode 1 (the set runs redundantly as the primary) with the fence open
// the unit waits for input 0 to go off, and checks every 60 s whether input
// 1 ever reads on; in mode 2 (secondary) it waits for input 1 to go off. An
// input going off is checked for a hardware switch-over from oscillator 0
// to oscillator 1, which means the primary card lost its oscillator: the
// card is disabled on the job thread and an error reported.
//
// The unit shares the lock of its oscillator control.
#ifndef KAV_CLOCK_OSCCONTROLUNIT_H
#define KAV_CLOCK_OSCCONTROLUNIT_H

#include "kav/clock/kavosc.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/pld/PldHwrInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT OscControlUnit : public QueryBase {
  KAV_TREE_CLASS(OscControlUnit)

 public:
  // The synch-lost check's period and abend time.
  static constexpr unsigned int kSynchLostPeriodMs = 60000;
  static constexpr unsigned int kSynchLostAbendMs = 40000;
  // The readings of input 1 in a synch-lost count.
  static constexpr unsigned int kSynchLostReadings = 10;

  OscControlUnit();
  ~OscControlUnit() override;

  // 3 links the inputs (0 and 1 required) and the fence (0x7002 each), 7
  // registers for the inputs' off interrupts.
  BaseErrorData init(initSequence::Id_t step) override;
  // 2 drops a pending synch-lost job and deregisters, 5 unlinks.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData readStatus(kavosc::OscControlUnitStatus_t& status);
  // In mode 1: 10 less one per "on" reading of input 1 in ten; in other
  // modes the count is left as it is.
  ErrorData readSynchLostCounts(unsigned int& count);
  ErrorData setPropagationMode(const kavosc::SwitchoverPropagationMode_t& mode);
  ErrorData enableInterrupts(unsigned int mode);
  ErrorData disableInterrupts();
  ErrorData enableInterrupt(unsigned int input, dioState::DioState_t state);
  ErrorData resetHandledInterrupt(unsigned int input);
  // The off interrupt of an input.
  void handleOscCntlOffEvent(const DioEvent& event, unsigned int input);
  // Reports a switch-over from oscillator 0 to 1 in mode 1.
  ErrorData checkForClockSwitch();

  // The job's run: only the job whose id is stored acts; it re-arms itself,
  // reads the count and reports a lost synchronisation.
  void runSynchLostCheck(unsigned int jobId);

  unsigned int getMode() const;
  unsigned int getSynchLostJobId() const;
  bool eventsRegistered() const;

 private:
  ErrorData linkChildren();
  void releaseChildren();
  BaseErrorData registerEvents();
  void deregisterEvents();
  ErrorData enableInterruptsInternal();
  ErrorData disableInterruptsInternal();
  void deleteSynchLostJob();
  KavPtr<DioHwrInterface> input(unsigned int logicalId) const;

  unsigned int m_oscSetMode;
  unsigned int m_synchLostJobId;  // 0: none
  kavstl::map<unsigned int, KavPtr<DioHwrInterface>> m_inputs;
  KavPtr<PldHwrInterface> m_pNodePropagationFencePldHwr;
  EventRouter<DioEvent> m_router;
  kavstl::vector<long> m_oscCntlEventsRegIdVec;
};

extern "C" KAV_EXPORT BuildBase* createOscControlUnit(void* argument, BaseErrorData& error);

#endif
