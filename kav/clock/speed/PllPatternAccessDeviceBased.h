// The pattern store of a PLL chip (PllHwdInterface, through its single
// PllHwdInterfaceLink hidden child): the FRU state table always holds the
// last pattern asked for; the chip is programmed from it while the FRU is
// active, at init step 11 (restore after start) and at power step 339 of
// the power sequence PllPatternSequence (328). An optional load signal (a
// DioHwrInterface hidden child) is switched off at step 339 and on at 340.
#ifndef KAV_CLOCK_PLLPATTERNACCESSDEVICEBASED_H
#define KAV_CLOCK_PLLPATTERNACCESSDEVICEBASED_H

#include <ostream>

#include "kav/clock/speed/PllPatternAccess.h"
#include "kav/clockchips/PllHwdInterface.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT PllPatternAccessDeviceBased : public PllPatternAccess {
  KAV_TREE_CLASS(PllPatternAccessDeviceBased)

 public:
  PllPatternAccessDeviceBased();
  ~PllPatternAccessDeviceBased() override;

  // defaultPattern [68] (default 0) besides the base's.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 links the state table, the chip (single PllHwdInterfaceLink, else
  // 0x7002) and the load signal (at most one DioHwrInterface hidden child;
  // several: 0x7002); 11 restores the chip from the state table.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // The default pattern (hexadecimal), and the chip's registers while the
  // FRU is active.
  void dumpXml(std::ostream& os) const override;

  // Sequence 328 only (else 0x7002): step 339 switches the load signal off
  // and programs the chip from the state table (an empty table gets the
  // default pattern instead, the chip is left alone); step 340 switches the
  // load signal on; other steps 0x7002.
  ErrorData switchForPwrCtrl(unsigned int sequence, unsigned int step) override;

  // The state table's pattern; 0 there reads as the default pattern.
  ErrorData readPattern(unsigned int& bits) override;
  // The state table first, then the chip while the FRU is active. The table
  // is the record of what was asked: after a failing chip write it holds
  // the new pattern and the chip's code is returned.
  ErrorData writePattern(unsigned int bits) override;
  // The chip's spreading while the FRU is active, else 0x7018; without chip
  // or table 0x7000.
  ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) override;
  // The chip's (no activation check); without chip 0x7000.
  ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t direction, unsigned int amount) override;

  ErrorData readDefaultHardwarePattern(unsigned int& bits) const;
  // The chip's pattern; without chip 0x7000.
  ErrorData readPatternFromHardware(unsigned int& bits);
  ErrorData writePatternToHardware(unsigned int bits);

  // The link's target, or null.
  KavPtr<PllHwdInterface> getHwdInterface() const;
  KavPtr<DioHwrInterface> getLoadSignal() const;
  unsigned int getDefaultPattern() const { return m_defaultPattern; }

 private:
  ErrorData linkDevice();
  ErrorData restoreFromFruStateTable();

  unsigned int m_defaultPattern;
  KavPtr<PllHwdInterfaceLink> m_pPllHwdInterfaceLink;
  KavPtr<DioHwrInterface> m_pLoadDioHwrInterface;
};

extern "C" KAV_EXPORT BuildBase* createPllPatternAccessDeviceBased(void* argument, BaseErrorData& error);

#endif
