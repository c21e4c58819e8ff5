// The clock-redundancy chip as a clock domain uses it: power-on set-up,
// the input set-up of each oscillator mode, the status, and the chip's two
// alarm lines (error and interrupt) with its master reset. Reaches the chip
// through its CrcHwdInterfaceLink and its output groups through its
// OutputControlHwrInterface hidden children. Its divider setting is chosen
// through its single visible SpeedPatternConverter child, whose ranges are
// the bands of the PLL output frequency each divider pattern accepts.
#ifndef KAV_CLOCKCHIPS_CRC_H
#define KAV_CLOCKCHIPS_CRC_H

#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "kav/clock/kavosc.h"
#include "kav/clockchips/AlarmLineRearm.h"
#include "kav/clockchips/CrcHwdInterface.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT Crc : public QueryBase {
  KAV_TREE_CLASS(Crc)

 public:
  Crc();
  ~Crc() override;

  // The bandwidth of each mode: bandwidthMode1..3 and bandwidthOther (modes
  // 0 and 4), each 1 or 2.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 links the children, the converter among them (a missing one:
  // 0x7002), 7 registers for the alarm lines' interrupts, 12 enables and 13
  // disables them.
  BaseErrorData init(initSequence::Id_t step) override;
  // 2 deregisters, 5 releases the children.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // A reset pulse, interrupt and spreading support on, frequency check off
  // with zero values, input 1 selected, and the output groups set as their
  // names say (OutputsOnAtPowerOn / OutputsOffAtPowerOn). Every step is
  // tried; the first error is the result.
  ErrorData performPowerOnSetup();
  // The inputs, bandwidth and selection of an oscillator mode (0..4; 0x7254
  // above), then in modes 1..3 the error flags reset.
  ErrorData writeMode(kavosc::OscSetMode_t mode);
  ErrorData readStatus(kavosc::CrcStatus_t& status, bool flag);
  // Arms (on level) or disarms the two alarm lines; their own failures are
  // only traced.
  ErrorData enableInterrupt();
  ErrorData disableInterrupt();
  ErrorData resetAllErrors();
  // The chip's spreading follows the clock domain's; nothing to switch here.
  ErrorData enableSpreadingMode();
  ErrorData disableSpreadingMode();

  // The alarm lines' interrupts (priority-0 dispatcher): the event is
  // reported with the chip's error flags; a line that has gone inactive is
  // armed again, one still active is held (it would interrupt again at
  // once) until the re-arm job finds it inactive.
  void handleCrcError(const DioEvent& event);
  void handleCrcInterrupt(const DioEvent& event);
  // The re-arm job (job thread): resets the chip's error flags and arms the
  // held lines that have gone inactive; while one stays active it runs again
  // after the re-arm delay.
  void rearmHeldLines();

  // The chip's divider pattern as a pattern of the converter, for the
  // input frequency (kHz) the chip gets (the PLL's output). Without chip
  // or converter 0x7000.
  ErrorData getCurrentFrequencyRange(unsigned int input, PllSpeedPattern& pattern);
  // The divider pattern for a PLL pattern: among the converter's candidates
  // for the PLL's cycle time (at the PLL's frequency as input), the one
  // whose band covers the PLL pattern's range best, written as the chip's
  // divider pattern. The two unsigned arguments do not change the result.
  // No candidate (0x7244, or none covering any of the range): the error is
  // returned and nothing is written. Without chip or converter 0x7000; an
  // uninitialised pattern 0x700B.
  ErrorData switchToBestMatchingRange(unsigned int, const PllSpeedPattern& pattern, unsigned int);

  KavPtr<CrcHwdInterface> getCrcHwd() const;
  KavPtr<SpeedPatternConverter> getSpeedPatternConverter() const;
  bool eventsRegistered() const;
  // Alarm lines held after an event: bit 0 the error line, bit 1 the
  // interrupt line.
  unsigned int getHeldLines() const;

  // The delay of the re-arm job.
  static const unsigned int kRearmDelayMs = AlarmLineRearm::kRearmDelayMs;

 private:
  enum Line_t : unsigned int { LINE_ERROR = 0, LINE_INTERRUPT = 1 };

  ErrorData linkChildren();
  void releaseChildren();
  BaseErrorData registerEvents();
  void deregisterEvents();
  void handleAlarm(Line_t which, const char* kind, const char* watchdogName, const char* failureText);
  ErrorData reportEvent(const char* kind);
  // Arms (enable) or disarms both alarm lines; ends the holding of lines.
  ErrorData switchInterrupts(bool enable);
  KavPtr<DioHwrInterface> line(Line_t which) const;
  static void runRearm(QueryBase& self);
  unsigned int bandwidthOf(kavosc::OscSetMode_t mode) const;

  KavPtr<CrcHwdInterfaceLink> m_pCrcHwdLink;
  KavPtr<DioHwrInterface> m_pMasterReset;
  KavPtr<DioHwrInterface> m_pCrcErr;
  KavPtr<DioHwrInterface> m_pCrcIrq;
  KavPtr<SpeedPatternConverter> m_pSpeedPatternConverter;
  kavstl::map<unsigned int, KavPtr<OutputControlHwrInterface> > m_elementMap;
  unsigned int m_bandwidth[4];  // modes 1, 2, 3; modes 0 and 4
  long m_regIdCrcErr;
  long m_regIdCrcIrq;
  EventRouter<DioEvent> m_router;
  AlarmLineRearm m_rearm;
};

extern "C" KAV_EXPORT BuildBase* createCrc(void* argument, BaseErrorData& error);

#endif
