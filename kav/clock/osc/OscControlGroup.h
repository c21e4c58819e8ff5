// One power-good domain of an oscillator control: its power-good input, the
// clock outputs it gates and the units that watch its oscillator switches.
//
// Outputs are enabled in modes 1..3 (while power is good, or while any unit
// still has an oscillator switch on) and disabled in modes 0 and 4. The
// power-good input's interrupts follow the mode; a power-good change
// re-applies the output and interrupt set-up and is reported.
//
// The group shares the lock of its oscillator control.
#ifndef KAV_CLOCK_OSCCONTROLGROUP_H
#define KAV_CLOCK_OSCCONTROLGROUP_H

#include "kav/clock/osc/OscControlUnit.h"
#include "kav/clock/kavosc.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT OscControlGroup : public QueryBase {
  KAV_TREE_CLASS(OscControlGroup)

 public:
  OscControlGroup();
  ~OscControlGroup() override;

  // 3 links the power-good input (the single hidden DioHwrInterface,
  // 0x7002), the outputs and the units; 7 registers for the power-good
  // input's on and off interrupts.
  BaseErrorData init(initSequence::Id_t step) override;
  // 2 deregisters, 5 unlinks.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData readStatus(kavosc::OscControlGroupStatus_t& status);
  // The units' counts in unit order, while the outputs are enabled.
  ErrorData readSynchLostCounts(kavstl::vector<unsigned int>& counts);
  // Element i to unit i (a missing unit: 0x7000).
  ErrorData setPropagationMode(const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes);
  ErrorData disableAllPropagation();
  ErrorData manageOutputEnablement(unsigned int mode);
  ErrorData manageInterruptEnablement(unsigned int mode);
  ErrorData readGroupPowerGood(bool& good);
  // Whether every unit reads both of its oscillator-switch inputs off.
  ErrorData checkAllOscSwitchCtrlOff(bool& allOff);
  void handlePowerGoodEvent(const DioEvent& event);

  bool getOutputsEnabled() const;
  unsigned int getMode() const;
  unsigned int getUnitCount() const;

 private:
  ErrorData enableOutputsInternal();
  ErrorData disableOutputsInternal();
  BaseErrorData registerEvents();
  void deregisterEvents();

  bool m_outputsEnabled;
  bool m_groupPowerGood;
  unsigned int m_mode;
  KavPtr<DioHwrInterface> m_pGroupPowerGood;
  kavstl::map<unsigned int, KavPtr<OutputControlHwrInterface>> m_outputs;
  kavstl::map<unsigned int, KavPtr<OscControlUnit>> m_units;
  EventRouter<DioEvent> m_router;
  unsigned int m_regIdPowerGoodOn;
  unsigned int m_regIdPowerGoodOff;
};

extern "C" KAV_EXPORT BuildBase* createOscControlGroup(void* argument, BaseErrorData& error);

#endif
