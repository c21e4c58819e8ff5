// Raw transfers on an I2C engine for callers outside the library. The
// engine is named by the slot of its container and the hardware-access id
// of its CFAM (the first I2C engine behind it); the device by its port and
// address. The transfers use the fixed description of to_i2cInfo_t and
// neither retry nor log. Each function returns the code of the result, 0 on
// success; 0x7013 when there is no such engine.
#ifndef KAV_HWACCESS_I2C_ACCESS_H
#define KAV_HWACCESS_I2C_ACCESS_H

#include "kav/hwaccess/edal/edalI2c.h"
#include "kav/tree/objects/KavExport.h"

// Slave-address transfers (mode 1) at 100 kHz with a one-byte offset and a
// time-out of 100 ms; page select, write delay and split and the write-retry
// factors 0.
KAV_EXPORT i2c::i2cInfo_s to_i2cInfo_t(unsigned int port, unsigned int address);

namespace kav {

KAV_EXPORT unsigned int i2c_write(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                                  unsigned int offset, const unsigned char* data, unsigned int len);
// len: the bytes wanted; becomes the count read.
KAV_EXPORT unsigned int i2c_read(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                                 unsigned int offset, unsigned char* data, unsigned int& len);
// A write that also clears the device's interrupt request.
KAV_EXPORT unsigned int i2c_resetIrq(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                                     unsigned int offset, const unsigned char* data, unsigned int len);

}  // namespace kav

#endif
