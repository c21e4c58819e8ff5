// A digital I/O engine: 32 pins, numbered as the engine does (pin n is bit
// 0x80000000 >> n). Also the programmable-logic registers and lookup-table
// controls behind the same engine.
#ifndef KAV_HWACCESS_DIOHWAINTERFACE_H
#define KAV_HWACCESS_DIOHWAINTERFACE_H

#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

namespace dioMode {
// 0 none; 1 input; 2..6 output modes (they need an initial state).
enum DioMode_t : unsigned int {
  DIO_MODE_NONE = 0,
  DIO_MODE_1 = 1,
  DIO_MODE_2 = 2,
  DIO_MODE_3 = 3,
  DIO_MODE_4 = 4,
  DIO_MODE_5 = 5,
  DIO_MODE_6 = 6
};
inline bool isOutputMode(unsigned int mode) { return mode >= DIO_MODE_2 && mode <= DIO_MODE_6; }
// The mode a configuration names by string id; false for any other id.
bool fromStringId(unsigned int stringId, DioMode_t& mode);
}  // namespace dioMode

namespace kavPld {
// Which input a lookup table follows; 0 stands for no control set.
enum LookupControl_t : unsigned int {
  LOOKUP_CONTROL_NONE = 0,
  LOOKUP_CONTROL_1 = 1,
  LOOKUP_CONTROL_2 = 2,
  LOOKUP_CONTROL_3 = 3
};
// The control's name (string-id table); the not-found text for a value
// other than 0..3.
KAV_EXPORT const kavstl::string& asString(unsigned int control);
// The control a configuration names by string id; false for any other id.
bool fromStringId(unsigned int stringId, LookupControl_t& control);
}  // namespace kavPld

class KAV_EXPORT DioHwaInterface : public AtomicBase {
  KAV_TREE_CLASS(DioHwaInterface)

 public:
  DioHwaInterface();
  ~DioHwaInterface() override;

  virtual ErrorData configureMode(unsigned int mask, dioMode::DioMode_t mode) const = 0;
  // Sets the pins unused first, then to the mode.
  virtual ErrorData reconfigureMode(unsigned int mask, dioMode::DioMode_t mode) const = 0;
  virtual ErrorData getMode(unsigned int& mask, dioMode::DioMode_t mode) const = 0;
  virtual ErrorData writeLevel(unsigned int mask, unsigned int value) const = 0;
  virtual ErrorData readLevel(unsigned int& value) const = 0;
  virtual ErrorData setBlinkRate(unsigned int rate) const = 0;
  virtual ErrorData blink(unsigned int mask) const = 0;
  // Arms a one-shot interrupt request on the pins of mask; a set bit of
  // polarity waits for the high level, a clear bit for the low level.
  virtual ErrorData enableInterrupt(unsigned int mask, unsigned int polarity, unsigned int irqId) const = 0;
  virtual ErrorData disableInterrupt(unsigned int mask) const = 0;
  virtual ErrorData resetInterruptCondition(unsigned int mask) const = 0;
  virtual unsigned int getIrqIdHighLevel(unsigned int mask) const = 0;
  virtual unsigned int getIrqIdLowLevel(unsigned int mask) const = 0;
  virtual ErrorData pldSetConfig(unsigned int pldId, unsigned int config) const = 0;
  virtual ErrorData pldGetConfig(unsigned int pldId, unsigned int& config) const = 0;
  virtual ErrorData pldWriteLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const = 0;
  virtual ErrorData pldReadLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const = 0;
};

#endif
