// I2C access of the device access layer: one handle per engine, one library
// handle per port, opened on first use of the port.
#ifndef KAV_HWACCESS_EDALI2C_H
#define KAV_HWACCESS_EDALI2C_H

#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/edal/EdalInfo.h"

namespace i2c {

// The description of one transfer (eleven 32-bit fields).
struct i2cInfo_s {
  int transferMode = -1;              // 0 master, 1 slave address, 2 slave address with special read, -1 undefined
  unsigned int port = 0;
  unsigned int deviceAddress = 0;
  unsigned int speed = 0;             // Hz
  unsigned int offsetWidth = 0xFFFFFFFFu;
  unsigned int pageSelect = 0xFFFFFFFFu;  // carried, not used by the transfers
  unsigned int writeDelay = 0;        // ms
  unsigned int writeSplit = 0;        // bytes per write burst
  unsigned int timeout = 0;           // ms, 0 = computed from the transfer
  unsigned int writeRetryDelay = 0;   // ms; writeRetryDelay * writeRetryCount adds to the write delay
  unsigned int writeRetryCount = 0;
};

// What a transfer does; the same numbers at every layer.
enum TransferKind_t : unsigned int { TRANSFER_WRITE = 0, TRANSFER_READ = 1, TRANSFER_RESET_IRQ = 2 };

// "write", "read" or "resetIrq".
const char* transferKindName(TransferKind_t kind);

}  // namespace i2c

// The time-out (ms) handed to the library when the description has none.
// Write: ((len + 1) * 9 / (speed / 1000) + (len / (split + 1)) * delay) * 2,
// the delay part only in transfer mode 0. Read: ((len + 1) * 9 / (speed / 1000)) * 2.
// At least 100.
unsigned int edalI2cComputeWriteTimeout(const i2c::i2cInfo_s& info, unsigned int len);
unsigned int edalI2cComputeReadTimeout(const i2c::i2cInfo_s& info, unsigned int len);

unsigned int edalI2cOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg);
unsigned int edalI2cClose(EdalHandle*& h, std::string& msg);
unsigned int edalI2cWrite(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                          unsigned int len, std::string& msg);
unsigned int edalI2cRead(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                         unsigned int& len, std::string& msg);
unsigned int edalSi2cResetIrq(EdalHandle* h, const i2c::i2cInfo_s& info, unsigned int offset,
                              const unsigned char* data, unsigned int len, std::string& msg);

#endif
