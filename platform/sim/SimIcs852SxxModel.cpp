// The "ics852sxx" model: the fanout buffer of an oscillator card. It
// distributes its clock input to nine outputs, each with an enable.
//
// Registers (8 bits, the register number is the offset; 16 offsets, those
// without a register read 0 and ignore writes):
//   3  outputs   output enables 7..0 (1 = enabled), reset 0xFF
//   4  output 8  bit 7 output enable 8, reset 1; bits 6..0 reserved
// Clock outputs out0..out8 pass the input "in" on while enabled and are
// stopped while disabled.
#include <cstdlib>

#include "SimDeviceModel.h"

namespace ravosim {
namespace {

constexpr uint32_t kOutputs = 3;
constexpr uint32_t kOutput8 = 4;
constexpr uint32_t kOutput8Enable = 0x80;
constexpr unsigned kOutputCount = 9;

class Ics852Sxx : public DeviceModel {
 public:
  Ics852Sxx() : DeviceModel("ics852sxx", 16) {
    std::string error;
    if (!addRegister({"outputs", kOutputs, 1, 0xFF, 0, 0, 0, 0}, error) ||
        !addRegister({"output-8", kOutput8, 1, kOutput8Enable, 0, 0, 0, 0x7F}, error))
      std::abort();
    m_in = addClockInput("in");
    for (unsigned i = 0; i < kOutputCount; ++i)
      addClockOutput("out" + std::to_string(i), [this, i] {
        if (!enabled(i)) return stoppedClock();
        ClockSignal s = clock(m_in);
        s.connected = true;
        return s;
      });
  }

 private:
  bool enabled(unsigned i) const {
    return i < 8 ? ((reg(kOutputs) >> i) & 1) != 0 : (reg(kOutput8) & kOutput8Enable) != 0;
  }

  unsigned m_in = 0;
};

const bool registered = registerDeviceModel("ics852sxx", [](ModelArgs&) -> std::unique_ptr<DeviceModel> {
  return std::make_unique<Ics852Sxx>();
});

}  // namespace
}  // namespace ravosim
