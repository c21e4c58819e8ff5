// One clock domain as it exists on one oscillator card: the PLL that makes
// the domain's clock (its speed reached through the speed access child),
// the clock redundancy chip behind it (the Crc child), the error monitor of
// the PLL (the PllErrorMonitor child) and the programmable-logic controls
// that gate the global clock enable of both chips (hidden PldHwrInterface
// children PllClkEnable and CrcClkEnable, with digital inputs of the same
// names that read the enables back).
//
// The domain's persistent state lives in its card's state table: the
// steering flag (field SteeringMode), the spreading set-up (the fields named
// by spreadingDirectionField and spreadingValueField) and, through the
// speed access, the PLL pattern. It is applied to the hardware only while
// the card is activated; power steps re-apply it.
//
// Oscillator modes (OscSetMode_t) and what they do here:
//   mode  clock enables  CRC mode  PLL spreading  interrupts  may be defective
//   0     disabled       0         no             no          yes
//   1     enabled        1         yes            yes         yes
//   2     enabled        2         no             yes         yes
//   3     enabled        3         yes            yes         no
//   4     enabled        4         no             no          yes
// Any other mode is refused with 0x7254.
//
// Every operation holds the domain's lock (re-entrant) for its duration.
#ifndef KAV_CLOCK_CLOCKDOMAIN_H
#define KAV_CLOCK_CLOCKDOMAIN_H

#include <ostream>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/FruStateTableLink.h"
#include "kav/cards/PowerControllable.h"
#include "kav/clock/domain/PllErrorMonitor.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/clock/kavosc.h"
#include "kav/clockchips/Crc.h"
#include "kav/clockchips/PllHwdInterface.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/hwaccess/pld/PldHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT ClockDomain : public PowerControllable {
  KAV_TREE_CLASS(ClockDomain)

 public:
  // The state all domains of one type should have (kept by the redundancy
  // controller of the card set).
  struct ClockDomainInfo_t {
    bool steeringModeActive;
    PllSpeedPattern pllSpeedPattern;
    kavosc::SpreadingStatus_t spreading;

    ClockDomainInfo_t() : steeringModeActive(false), pllSpeedPattern(), spreading{kavosc::SPREADING_OFF, 0} {}
  };

  ClockDomain();
  ~ClockDomain() override;

  // The type from the id provider named by clockDomainTypeProvider (the
  // domain's instance name is the key, the value the type as a number);
  // the names of the spreading fields (spreadingDirectionField,
  // spreadingValueField). A missing or unusable one is an error: the domain
  // is not built.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 links the children (each missing one 0x7002; all are looked for);
  // 11 ends a steering mode the service processor went down in.
  BaseErrorData init(initSequence::Id_t step) override;
  // 5 releases the children.
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  void dumpXml(std::ostream& os) const override;

  kavosc::ClockDomain_t getClockDomainType() const;
  kavosc::OscSetMode_t getMode() const;
  bool isDefective() const;
  // Marks the domain defective (for good) unless it runs alone (mode 3).
  void setDefective();

  // Records the mode without touching the hardware.
  ErrorData performInitialModeSetup(kavosc::OscSetMode_t mode);
  // Records the mode; on an activated card writes it to the CRC, waits
  // 10 ms and sets the clock enables as the mode wants them.
  ErrorData writeMode(kavosc::OscSetMode_t mode);

  // Steering: the speed may change continuously and the PLL lose its lock
  // meanwhile. The flag is recorded; on an activated card the PLL's clock
  // enable is forced (not in mode 0) and the interrupts are off until the
  // end, which resets the PLL's errors and enables the clock again.
  ErrorData startSteeringMode();
  ErrorData stopSteeringMode();
  ErrorData isSteeringModeActive(bool& active);

  ErrorData getPossiblePllRangesForCycleTime(unsigned int cycleTime, PllSpeedPatternList& list);
  // The pattern for the cycle time in the output range of `current`, when
  // neither the PLL's output range (else 0x7244) nor, on an activated card,
  // the CRC's input range (else 0x733C) would have to change.
  ErrorData getPllSpeedPatternWithoutRangeChangeForCycleTime(const PllSpeedPattern& current, unsigned int cycleTime,
                                                             PllSpeedPattern& result);
  ErrorData readPllSpeedPattern(PllSpeedPattern& pattern);
  // The state table is written first, the device while the card is
  // activated. When the device write fails, the state table is set back to
  // the pattern the device still runs (when it can be read), so that the
  // record does not claim a speed the hardware does not have; the error is
  // returned either way.
  ErrorData writePllSpeedPattern(const PllSpeedPattern& pattern);
  // On an activated card the CRC first moves to the input range that best
  // fits the pattern; then the pattern is written.
  ErrorData forcePllSpeedPattern(unsigned int lower, const PllSpeedPattern& pattern, unsigned int upper);

  // The recorded spreading set-up; writing only records it.
  ErrorData readSpreadingValues(kavosc::SpreadingDirection_t& direction, unsigned int& value);
  ErrorData writeSpreadingValues(kavosc::SpreadingDirection_t direction, unsigned int value);
  // Applies (or takes back) the recorded spreading when `mode` is the
  // domain's mode, the card is not deactivated and something is recorded;
  // starting is also skipped while steering. The PLL's spreading is written
  // only in modes 1 and 3. The clock enables are forced for the change and
  // enabled afterwards (the PLL's stays forced while steering); in mode 0
  // they are left disabled.
  ErrorData startSpreadingForGivenMode(kavosc::OscSetMode_t mode);
  ErrorData stopSpreadingForGivenMode(kavosc::OscSetMode_t mode);

  ErrorData enableInterrupts();
  ErrorData disableInterrupts();

  ErrorData initializeClockDomainInfo(ClockDomainInfo_t& info);
  // Brings a newly available domain to the state of its type.
  ErrorData performPlugSetup(const ClockDomainInfo_t& info);

  ErrorData readStatus(kavosc::ClockDomainStatus_t& status);

  // Signals InterruptControlSequence and ClockModeSequence, switched off
  // (id of "off") or on (id of "on"); anything else 0x7002.
  ErrorData switchForPwrCtrl(unsigned int sequence, unsigned int step) override;

  KavPtr<FruStateTable> getFruStateTable() const;
  KavPtr<PllHwdInterface> getPllDevice() const;
  KavPtr<PllSpeedAccessPatternBased> getPllSpeedAccess() const;

  // The pause between the CRC's mode and the clock enables.
  static const unsigned int kModeSwitchWaitMs = 10;

 private:
  ErrorData linkChildren();
  void releaseChildren();
  ErrorData endSteeringAfterRestart();

  ErrorData performPowerOnSetupOnCrc();
  ErrorData writeModeToCrc(kavosc::OscSetMode_t mode);
  ErrorData manageGlobalClkEnableOfPllAndCrc(kavosc::OscSetMode_t mode);
  // Whether the mode has the clock enables on: in mode 0 (deselected) they
  // stay disabled, and steering and spreading changes neither force nor
  // enable them.
  bool clocksOnInMode() const;
  ErrorData enableGlobalClkEnableOfPll();
  ErrorData forceGlobalClkEnableOfPll();
  ErrorData disableGlobalClkEnableOfPll();
  ErrorData enableGlobalClkEnableOfCrc();
  ErrorData forceGlobalClkEnableOfCrc();
  ErrorData disableGlobalClkEnableOfCrc();
  ErrorData writeClkEnable(const KavPtr<PldHwrInterface>& control, kavPld::LookupControl_t value, const char* which);
  ErrorData resetPllDeviceErrors();
  ErrorData resetCrcDeviceErrors();

  // The card's activation state; 0x7000 without state table.
  ErrorData readActivationState(kav::FruActivationState_t& state) const;
  ErrorData readSteeringFlag(bool& active) const;
  ErrorData writeSteeringFlag(bool active);
  // After a failed device write: the record back to the device's pattern.
  void reconcilePatternRecord(const PllSpeedPattern& intended);
  ErrorData switchSpreading(kavosc::OscSetMode_t mode, bool start);

  kavosc::ClockDomain_t m_clockDomainType;
  struct SpreadingInfo_t {
    unsigned int directionTabFieldId;
    unsigned int valueTabFieldId;
  } m_spreadingInfo;
  kavosc::OscSetMode_t m_oscSetMode;
  bool m_defective;
  KavPtr<FruStateTableLink> m_pFruStateTableLink;
  KavPtr<PllHwdInterfaceLink> m_pPllHwdInterfaceLink;
  KavPtr<PllSpeedAccessPatternBased> m_pPllSpeedAccess;
  KavPtr<PllErrorMonitor> m_pPllErrorMonitor;
  KavPtr<Crc> m_pCrc;
  KavPtr<PldHwrInterface> m_pPllClkEnableControl;
  KavPtr<DioHwrInterface> m_pPllClkEnableInput;
  KavPtr<PldHwrInterface> m_pCrcClkEnableControl;
  KavPtr<DioHwrInterface> m_pCrcClkEnableInput;
};

extern "C" KAV_EXPORT BuildBase* createClockDomain(void* argument, BaseErrorData& error);

#endif
