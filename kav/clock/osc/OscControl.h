// The oscillator control card of a card set: it chooses which of the two
// oscillators drives the clocks through two use controls (programmable-logic
// controls: 1 use, 2 both, 3 off), reads the oscillators' status inputs and
// holds the groups that gate the clock outputs.
//
// Mode (kavosc::OscSetMode_t) and the use controls:
//   mode  oscillator 0  oscillator 1
//   0     3             3             propagation off everywhere
//   1     1             3
//   2     3             1
//   3     2             2             propagation off everywhere
//   4     3             3             propagation off everywhere
// Switching a use control off (3) clears the processor chips' clock-select
// bits before and restores them after.
//
// The hardware is written only while the card is activated; the power step
// on of ClockModeSequence applies the recorded mode.
#ifndef KAV_CLOCK_OSCCONTROL_H
#define KAV_CLOCK_OSCCONTROL_H

#include "kav/cards/FruStateTable.h"
#include "kav/cards/FruStateTableLink.h"
#include "kav/cards/PowerControllable.h"
#include "kav/clock/osc/OscControlGroup.h"
#include "kav/clock/kavosc.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/pld/PldHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT OscControl : public PowerControllable {
  KAV_TREE_CLASS(OscControl)

 public:
  OscControl();
  ~OscControl() override;

  // 3 links the state table, the use controls and status inputs (hidden
  // children named Osc0 and Osc1) and the groups; each missing one 0x7002.
  BaseErrorData init(initSequence::Id_t step) override;
  // 5 unlinks.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Records the mode and sets up outputs and interrupts with it (the use
  // controls are not written).
  ErrorData performInitialSetup(unsigned int mode);
  // Records the mode; on an activated card writes it to the use controls.
  ErrorData writeMode(unsigned int mode);
  ErrorData writeModeToHw(unsigned int mode);
  ErrorData switchUseOsc0(kavPld::LookupControl_t control);
  ErrorData switchUseOsc1(kavPld::LookupControl_t control);
  // On a card whose activation state is not 0: the same on every group.
  ErrorData manageOutputEnablement(unsigned int mode);
  ErrorData manageInterruptEnablement(unsigned int mode);
  ErrorData setPropagationMode(unsigned int group, const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes);
  ErrorData disableAllPropagation();
  ErrorData readSynchLostCounts(unsigned int group, kavstl::vector<unsigned int>& counts);
  ErrorData readStatus(kavosc::OscControlStatus_t& status);
  // ClockModeSequence: on applies the recorded mode to the use controls,
  // outputs and interrupts; off disables the interrupts. Others 0x7002.
  ErrorData switchForPwrCtrl(unsigned int sequence, unsigned int step) override;

  unsigned int getMode() const;
  KavPtr<FruStateTable> getFruStateTable() const;
  KavPtr<OscControlGroup> getGroup(unsigned int index) const;

 private:
  ErrorData readActivationState(kav::FruActivationState_t& state) const;
  ErrorData switchUseOsc(const KavPtr<PldHwrInterface>& use, kavPld::LookupControl_t control, const char* which);

  unsigned int m_oscSetMode;
  KavPtr<FruStateTableLink> m_pFruStateTableLink;
  KavPtr<PldHwrInterface> m_pUseOsc0;
  KavPtr<DioHwrInterface> m_pOsc0Status;
  KavPtr<PldHwrInterface> m_pUseOsc1;
  KavPtr<DioHwrInterface> m_pOsc1Status;
  kavstl::map<unsigned int, KavPtr<OscControlGroup>> m_groups;
};

extern "C" KAV_EXPORT BuildBase* createOscControl(void* argument, BaseErrorData& error);

#endif
