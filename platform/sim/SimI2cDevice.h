// Devices on the I2C buses of the simulated machine.
//
// A device sees whole transfers: a write of bytes at an offset, or a read of
// bytes from an offset. `hasOffset` is false when the transfer had no offset
// phase (offset width 0, or a special read); the device then works at its
// current position. A device that returns false did not acknowledge a data
// byte (the transfer fails with EIO); one that does not acknowledge its
// address (no supply) makes the transfer fail with ENXIO.
//
// The devices themselves are models built on DeviceModel (SimDeviceModel.h).
#ifndef RAVO_SIM_I2C_DEVICE_H
#define RAVO_SIM_I2C_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "ravo_sim_control.h"

namespace ravosim {
namespace detail {

class RAVO_SIM_API I2cDevice {
 public:
  virtual ~I2cDevice() = default;
  // Name of the model ("registers", ...), for messages.
  virtual std::string model() const = 0;
  // Back to the power-on state.
  virtual void reset() = 0;
  // Whether the device answers its address at all.
  virtual bool acknowledges() const { return true; }
  virtual bool write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) = 0;
  virtual bool read(bool hasOffset, uint32_t offset, bool specialRead, uint8_t* data, size_t len) = 0;
  // The master released the device's interrupt line with the write of
  // `len` bytes that came with it (already written); `hasOffset` and
  // `offset` as for that write.
  virtual void resetIrq(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) {
    (void)hasOffset;
    (void)offset;
    (void)data;
    (void)len;
  }
  // Direct register access for tests (no side effects of a bus transfer).
  virtual bool peek(unsigned reg, uint8_t& value) const = 0;
  virtual bool poke(unsigned reg, uint8_t value) = 0;
};

}  // namespace detail
}  // namespace ravosim

#endif
