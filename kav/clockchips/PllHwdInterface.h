// A PLL chip: generates a clock domain's clock from a 14-bit divider pattern
// and can spread it. The interface of its drivers.
#ifndef KAV_CLOCKCHIPS_PLLHWDINTERFACE_H
#define KAV_CLOCKCHIPS_PLLHWDINTERFACE_H

#include <ostream>
#include <string>

#include "kav/cards/PowerControllable.h"
#include "kav/clock/kavosc.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT PllHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(PllHwdInterface)

 public:
  // The chip's two error flags: 0 its reference was lost, 1 it lost its
  // lock (a divider step too large to follow). The PLL error monitor names
  // them (ReferenceLost, LockLost).
  enum PllErrorType_t : unsigned int { PLL_ERROR_0 = 0, PLL_ERROR_1 = 1 };

  ~PllHwdInterface() override;

  // The divider pattern, 0 .. 0x3FFF.
  virtual ErrorData readPattern(unsigned int& pattern) = 0;
  virtual ErrorData writePattern(unsigned int pattern) = 0;
  // The registers as XML (the tree dump of the objects that use the chip).
  virtual void dumpXmlHwRegisters(std::ostream& os) = 0;
  virtual std::string registerDumpAsString() = 0;
  // The chip's registers from the first one; length: the buffer's size in,
  // the bytes read out.
  virtual ErrorData getRegister(unsigned char* buffer, unsigned int& length) = 0;
  // Spreading: its direction and amount (0 .. 31; 0 when off).
  virtual ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) = 0;
  // Moves the chip to the spreading in single steps, so that the clock
  // never jumps.
  virtual ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t direction, unsigned int amount) = 0;
  virtual ErrorData readErrorFlags(kavstl::set<PllErrorType_t>& flags) = 0;
  virtual ErrorData resetAllErrorFlags() = 0;

 protected:
  PllHwdInterface();
};

#endif
