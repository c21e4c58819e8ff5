// The watch over a PLL chip's error indicator: a digital input, active while
// the chip holds one of its error flags. When the indicator fires, the
// chip's flags are reported and the indicator is armed again. The card's
// power sequences switch the monitoring (sequence InterruptControlSequence:
// step off before the chips lose their supply, step on once they have it),
// and so does the clock domain around mode changes, steering and its power
// steps; it also reads the flags for its status.
//
// Reaches the chip through its PllHwdInterfaceLink and the indicator as its
// DioHwrInterface, both hidden children.
#ifndef KAV_CLOCK_PLLERRORMONITOR_H
#define KAV_CLOCK_PLLERRORMONITOR_H

#include "kav/cards/PowerControllable.h"
#include "kav/clockchips/AlarmLineRearm.h"
#include "kav/clockchips/PllHwdInterface.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT PllErrorMonitor : public PowerControllable {
  KAV_TREE_CLASS(PllErrorMonitor)

 public:
  // The chip's two error flags: 0 its reference was lost, 1 it lost its lock
  // (a step of the divider pattern too large to follow).
  typedef PllHwdInterface::PllErrorType_t PllErrorType_t;

  // The delay of the re-arm job of an indicator still active after its
  // event.
  static const unsigned int kRearmDelayMs = AlarmLineRearm::kRearmDelayMs;

  PllErrorMonitor();
  ~PllErrorMonitor() override;

  // 3 links the chip and the indicator (a missing one: 0x7002), 7 registers
  // for the indicator's interrupt, 12 enables and 13 disables the
  // monitoring.
  BaseErrorData init(initSequence::Id_t step) override;
  // 2 deregisters, 5 releases the children.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Sequence InterruptControlSequence only: step off disables the
  // monitoring; step on resets the chip's error flags, then enables it. Any
  // other sequence or step: 0x7002.
  ErrorData switchForPwrCtrl(unsigned int sequence, unsigned int step) override;
  // The chip's flags: the set holds exactly those set. No chip: 0x7000.
  virtual ErrorData readErrorFlags(kavstl::set<PllErrorType_t>& flags);
  // Arms the indicator for its active level, after clearing a condition
  // left latched; disarms it. No indicator: 0x7000.
  virtual ErrorData enableErrorMonitoring();
  virtual ErrorData disableErrorMonitoring();
  // The chip's resetAllErrorFlags. No chip: 0x7000.
  virtual ErrorData resetAllErrors();

  KavPtr<PllHwdInterface> getHwdInterface() const;

  // The indicator's interrupt (priority-0 dispatcher): the chip's flags are
  // reported and the indicator's condition reset; an indicator that has gone
  // inactive is armed again, one still active is held (it would interrupt
  // again at once) until the re-arm job finds it inactive. Nothing is armed
  // while the monitoring is off.
  void handlePllError(const DioEvent& event);
  // The re-arm job (job thread): resets the chip's error flags and arms the
  // held indicator once it is inactive; while it stays active the job runs
  // again after the re-arm delay.
  void rearmHeldIndicator();

  bool eventsRegistered() const;
  bool isMonitoring() const;
  bool isIndicatorHeld() const;

 private:
  ErrorData linkChildren();
  void releaseChildren();
  BaseErrorData registerEvents();
  void deregisterEvents();
  // The report text of an event with the flags the chip holds now.
  ErrorData describeEvent(kavstl::string& text);
  void report(const kavstl::string& text);
  void logFailure(const ErrorData& rc, unsigned int line);
  static void runRearm(QueryBase& self);

  KavPtr<PllHwdInterfaceLink> m_pPllHwdLink;
  KavPtr<DioHwrInterface> m_pPllErrorIndicator;
  unsigned int m_regIdPllErr;  // 0xFFFFFFFF: not registered
  EventRouter<DioEvent> m_router;
  bool m_monitoring;
  AlarmLineRearm m_rearm;
};

// The name of a PLL error flag: the text of string id 350 (ReferenceLost)
// for 0, of 349 (LockLost) for 1 and of string id 0 for any other value.
KAV_EXPORT const kavstl::string& asString(PllHwdInterface::PllErrorType_t type);

extern "C" KAV_EXPORT BuildBase* createPllErrorMonitor(void* argument, BaseErrorData& error);

#endif
