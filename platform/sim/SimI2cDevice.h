// Devices on the I2C buses of the simulated machine.
//
// A device sees whole transfers: a write of bytes at an offset, or a read of
// bytes from an offset. `hasOffset` is false when the transfer had no offset
// phase (offset width 0, or a special read); the device then works at its
// current position. A device that returns false did not acknowledge a data
// byte (the transfer fails with EIO).
#ifndef RAVO_SIM_I2C_DEVICE_H
#define RAVO_SIM_I2C_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ravosim {
namespace detail {

class I2cDevice {
 public:
  virtual ~I2cDevice() = default;
  // Name of the model ("registers", ...), for messages.
  virtual std::string model() const = 0;
  // Back to the power-on state.
  virtual void reset() = 0;
  virtual bool write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) = 0;
  virtual bool read(bool hasOffset, uint32_t offset, bool specialRead, uint8_t* data, size_t len) = 0;
  // The master released the device's interrupt line.
  virtual void resetIrq() {}
  // Direct register access for tests (no side effects of a bus transfer).
  virtual bool peek(unsigned reg, uint8_t& value) const = 0;
  virtual bool poke(unsigned reg, uint8_t value) = 0;
};

// A plain register file: `size` 8-bit registers with reset values, bits
// that ignore writes (read-only) and bits that a written 1 clears
// (write-one-to-clear). The position advances with every byte; a transfer
// past the last register is not acknowledged.
class RegisterFileDevice : public I2cDevice {
 public:
  explicit RegisterFileDevice(unsigned size);
  void setRegister(unsigned reg, uint8_t reset, uint8_t readOnly, uint8_t writeOneToClear);
  unsigned size() const { return static_cast<unsigned>(m_value.size()); }

  std::string model() const override { return "registers"; }
  void reset() override;
  bool write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) override;
  bool read(bool hasOffset, uint32_t offset, bool specialRead, uint8_t* data, size_t len) override;
  bool peek(unsigned reg, uint8_t& value) const override;
  bool poke(unsigned reg, uint8_t value) override;

 private:
  std::vector<uint8_t> m_value;
  std::vector<uint8_t> m_reset;
  std::vector<uint8_t> m_readOnly;
  std::vector<uint8_t> m_w1c;
  uint32_t m_position = 0;
};

}  // namespace detail
}  // namespace ravosim

#endif
