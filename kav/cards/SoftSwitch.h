// A power-controllable object that owns soft-switch control lines: digital
// outputs (its DioHwrInterface children) with an interrupt on the off level.
// Power sequences switch the lines on and off; while a line is on, a change
// of it raises its interrupt and is logged as an error.
#ifndef KAV_CARDS_SOFTSWITCH_H
#define KAV_CARDS_SOFTSWITCH_H

#include "kav/cards/PowerControllable.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT SoftSwitch : public PowerControllable {
  KAV_TREE_CLASS(SoftSwitch)

 public:
  SoftSwitch();
  ~SoftSwitch() override;

  // Step 7 registers for the lines' interrupts.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2 deregisters.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Switches the line whose instance name is lineNameId (the id of "all":
  // every line) off (id of "off") or on (id of "on"). An unknown or
  // ambiguous line name or another action is 0x7002 and switches nothing;
  // otherwise the first failure of a line is the result.
  ErrorData switchForPwrCtrl(unsigned int lineNameId, unsigned int actionId) override;

  // The off-level interrupt of the line registered under registrationId
  // (priority-0 dispatcher): logs 0x7235 and resets the interrupt condition.
  void handleEventSoftswitchCtrl(const DioEvent& event, long registrationId);

  // Registers once until deregistered (object guard); a line whose
  // registration fails is left out and the result is 0x7000.
  BaseErrorData registerEvents();
  void deregisterEvents();

  unsigned int getRegistrationCount() const;

 private:
  kavstl::vector<KavPtr<DioHwrInterface> > lines() const;

  unsigned char m_eventsRegistered;
  EventRouter<DioEvent> m_router;
  kavstl::vector<long> m_registrationIds;
  kavstl::map<long, KavPtr<DioHwrInterface> > m_lines;
};

extern "C" KAV_EXPORT BuildBase* createSoftSwitch(void* argument, BaseErrorData& error);

#endif
