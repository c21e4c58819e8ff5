// Digital I/O of the device access layer: open and close an engine, pin
// modes, levels, blinking, the register dump, the programmable-logic
// registers, the lookup-table controls and the pins' interrupt requests.
// Every function returns an edal status code (EdalStatus.h) and puts the
// failure text, with the library's first-failure data, in front of msg.
#ifndef KAV_HWACCESS_EDALDIO_H
#define KAV_HWACCESS_EDALDIO_H

#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/edal/EdalInfo.h"

namespace edalDio {

// Pin modes; they map one to one onto the library's modes.
enum dioMode_t {
  DIO_MODE_UNUSED = 0,
  DIO_MODE_INPUT = 1,
  DIO_MODE_OUTPUT_PUSHPULL = 2,
  DIO_MODE_OUTPUT_OPEN_DRAIN = 3,
  DIO_MODE_OUTPUT_OPEN_SOURCE = 4,
  DIO_MODE_OUTPUT_PUSHPULL_SLOW = 5,
  DIO_MODE_OUTPUT_BLINK = 6
};

}  // namespace edalDio

namespace edalPld {

enum LookupControl_t { LOOKUP_CONTROL_1 = 1, LOOKUP_CONTROL_2 = 2, LOOKUP_CONTROL_3 = 3 };

}  // namespace edalPld

// The engine's registers as the dump delivers them (layout version 1):
// pin levels, output latches, blink mask, blink rate, latched interrupt
// conditions, the pin masks of modes 1..6, the pins watched for high and for
// low level, and the eight programmable-logic configuration registers.
struct edalDioRegisters_t {
  static const unsigned int COUNT = 21;
  unsigned int reg[COUNT];
};

// The library mode of an edal mode; false for an unknown mode.
bool edalDioMode2ravoDioMode(edalDio::dioMode_t mode, int& ravoMode);

unsigned int edalDioOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg);
// Disables every interrupt of the engine first (a failure there keeps the
// handle); then closes the device. The handle is deleted and h set to null
// whenever the close was attempted, also when it failed.
unsigned int edalDioClose(EdalHandle*& h, std::string& msg);
unsigned int edalDioSetMode(EdalHandle* h, unsigned int mask, edalDio::dioMode_t mode, std::string& msg);
unsigned int edalDioGetMode(EdalHandle* h, unsigned int& mask, edalDio::dioMode_t mode, std::string& msg);
unsigned int edalDioSet(EdalHandle* h, unsigned int mask, unsigned int value, std::string& msg);
unsigned int edalDioGet(EdalHandle* h, unsigned int& value, std::string& msg);
unsigned int edalDioSetBlinkRate(EdalHandle* h, unsigned int time, std::string& msg);
unsigned int edalDioBlink(EdalHandle* h, unsigned int mask, std::string& msg);
// Layout version 1 fills regs; other layouts are only traced (regs zeroed).
unsigned int edalDioDumpRegisters(EdalHandle* h, edalDioRegisters_t* regs, std::string& msg);

// Programmable logic: two 16-bit configurations per 32-bit register, pldId
// in register 0x40000003 + pldId / 2, an even pldId in the upper half, an
// odd one in the lower half; pldId 0..15. Lookup tables 0..7 share register
// 0x4000000B.
unsigned int edalPldSetConfig(EdalHandle* h, unsigned int pldId, unsigned short config, std::string& msg);
unsigned int edalPldGetConfig(EdalHandle* h, unsigned int pldId, unsigned short& config, std::string& msg);
unsigned int edalWriteLookupTableControl(EdalHandle* h, unsigned int tableId, edalPld::LookupControl_t control,
                                         std::string& msg);
unsigned int edalReadLookupTableControl(EdalHandle* h, unsigned int tableId, edalPld::LookupControl_t& control,
                                        std::string& msg);

// Interrupts. polarity: bit set = the pin fires at high level, clear = at
// low level. A request is one-shot: once it fired the pin must be enabled
// again. Enabling a pin armed with the same id and level changes nothing.
unsigned int edalDioEnableInterrupt(EdalHandle* h, unsigned int mask, unsigned int polarity, unsigned int irqId,
                                    std::string& msg);
unsigned int edalDioDisableInterrupt(EdalHandle* h, unsigned int mask, std::string& msg);
unsigned int edalDioResetInterruptCondition(EdalHandle* h, unsigned int mask, std::string& msg);
// Blocks until an armed pin fires and returns its interrupt id. Returns 0
// with irqId 0 (no interrupt) when the wait was broken.
unsigned int edalDioWaitForInterrupt(unsigned int& irqId, std::string& msg);
// Makes a blocked (or the next) edalDioWaitForInterrupt return.
unsigned int edalDioBreakInterrupt(std::string& msg);

#endif
