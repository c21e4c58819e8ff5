// The "ics872sxx" model: the clock redundancy chip of an oscillator card.
// It takes one of three reference clock inputs, checks their frequencies,
// switches between them on its own in automatic mode and keeps error flags
// with an interrupt and an error line.
//
// Registers (8 bits, the register number is the offset; 16 offsets, those
// without a register read 0 and ignore writes):
//   1  control   bits 2..0 divider, 3 bandwidth, 6 spreading support,
//                7 interrupt enable; bits 5..4 reserved
//   3  outputs   output enables 7..0
//   4  inputs    bits 1..0 input select (00 input 1, 01 input 2, 10 and 11
//                input 3), 2 automatic mode, 5..3 input 1..3 disabled,
//                6 frequency check enable, 7 output enable 8
//   5..7         frequency check values: 5 = A 17..10, 6 = A 9..2,
//                7 = A 1 (bit 7) and B 8..2 (bits 6..0)
//   8  errors    bit 5 no reference (type 0), bits 0..2 input 1..3 lost
//                (types 1..3), bit 4 switched over (type 4), bits 6, 7
//                types 8, 9; bit 3 reserved; read only
//   9  errors    bits 0..2 input 1..3 off frequency (types 5..7); read only
//   10 selected  bits 4..3 the input in use (0, 1, 2); read only
// The flags latch; a reset-irq transfer releases the bits it writes to
// registers 8 and 9, and a condition that still holds sets its flag again.
// The clock output "out" passes the input in use on (a PLL's reference).
#include <cstdlib>

#include "SimDeviceModel.h"

namespace ravosim {
namespace {

constexpr uint32_t kControl = 1;
constexpr uint32_t kOutputs = 3;
constexpr uint32_t kInputs = 4;
constexpr uint32_t kCheckB = 7;
constexpr uint32_t kErrors = 8;
constexpr uint32_t kErrors2 = 9;
constexpr uint32_t kSelected = 10;

constexpr uint32_t kInterruptEnable = 0x80;  // register 1
constexpr uint32_t kSelect = 0x03;           // register 4
constexpr uint32_t kAutomatic = 0x04;
constexpr unsigned kDisableShift = 3;
constexpr uint32_t kFrequencyCheck = 0x40;
constexpr unsigned kSelectedShift = 3;  // register 10

// Error flags as one word: register 8 in the low byte, register 9 above it.
constexpr uint32_t kNoReference = 0x20;   // type 0
constexpr uint32_t kSwitchedOver = 0x10;  // type 4
constexpr uint32_t kLost[3] = {0x01, 0x02, 0x04};             // types 1..3
constexpr uint32_t kOffFrequency[3] = {0x100, 0x200, 0x400};  // types 5..7
constexpr uint32_t kChipErrors = kNoReference | kSwitchedOver;

constexpr unsigned kInputCount = 3;

class Ics872Sxx : public DeviceModel {
 public:
  Ics872Sxx() : DeviceModel("ics872sxx", 16) {
    const Register map[] = {
        {"control", kControl, 1, 0x00, 0, 0, 0, 0x30},
        {"outputs", kOutputs, 1, 0xFF, 0, 0, 0, 0},
        {"inputs", kInputs, 1, 0x80, 0, 0, 0, 0},
        {"check-a-high", 5, 1, 0, 0, 0, 0, 0},
        {"check-a-low", 6, 1, 0, 0, 0, 0, 0},
        {"check-a-b", kCheckB, 1, 0, 0, 0, 0, 0},
        {"errors", kErrors, 1, 0, 0xFF, 0, 0, 0x08},
        {"errors-2", kErrors2, 1, 0, 0xFF, 0, 0, 0xF8},
        {"selected", kSelected, 1, 0, 0xFF, 0, 0, 0xE7},
    };
    std::string error;
    for (const Register& r : map)
      if (!addRegister(r, error)) std::abort();
    for (unsigned i = 0; i < kInputCount; ++i) m_in[i] = addClockInput("in" + std::to_string(i + 1));
    m_reset = addInput("reset");
    // Both lines are open drain, pulled up: high while inactive or unpowered.
    addOutput("irq", [this] { return !((reg(kControl) & kInterruptEnable) && flags() != 0); }, true);
    addOutput("err", [this] { return (flags() & kChipErrors) == 0; }, true);
    // The card's oscillators as an oscillator control watches them:
    // "primary" is high while the clock of input 1 runs, "alternate" while
    // that of input 2 runs; both low while the chip is unpowered.
    addOutput("primary", [this] { return running(0); }, false);
    addOutput("alternate", [this] { return running(1); }, false);
    // The divider and the output enables are not applied to it.
    addClockOutput("out", [this] {
      ClockSignal s = clock(m_in[(reg(kSelected) >> kSelectedShift) & 3]);
      s.connected = true;
      return s;
    });
  }

 protected:
  void onReset() override { update(true); }
  void onWrite(uint32_t offset, uint32_t before) override {
    // A new selection or mode takes effect at once; other writes (input
    // enables, frequency check) only re-check the inputs.
    update(offset == kInputs && ((reg(kInputs) ^ before) & (kSelect | kAutomatic)) != 0);
  }
  void onClock(unsigned) override { update(false); }
  void onInput(unsigned index, bool level) override {
    if (index == m_reset && level) reset();
  }
  void onResetIrq(uint32_t offset, const uint8_t* data, size_t len) override {
    const uint32_t release = byteFor(kErrors, offset, data, len) | byteFor(kErrors2, offset, data, len) << 8;
    setFlags(flags() & ~release);
    update(false);
  }

 private:
  uint32_t flags() const { return reg(kErrors) | reg(kErrors2) << 8; }
  void setFlags(uint32_t f) {
    setReg(kErrors, f & 0xFF);
    setReg(kErrors2, f >> 8);
  }
  bool enabled(unsigned i) const { return ((reg(kInputs) >> (kDisableShift + i)) & 1) == 0; }
  bool running(unsigned i) const { return clock(m_in[i]).running(); }
  // Frequency check tolerance in ppm: value B as stored (0..508).
  uint32_t tolerancePpm() const { return (reg(kCheckB) << 2) & 0x1FC; }
  bool offFrequency(unsigned i) const {
    return (reg(kInputs) & kFrequencyCheck) && running(i) &&
           static_cast<uint32_t>(std::abs(clock(m_in[i]).driftPpm)) > tolerancePpm();
  }
  bool good(unsigned i) const { return enabled(i) && running(i) && !offFrequency(i); }
  unsigned selection() const {
    const uint32_t s = reg(kInputs) & kSelect;
    return s > 2 ? 2 : s;
  }

  // Brings the input in use and the flags up to date. `takeSelection`: the
  // input in use becomes the selected one (always so in manual mode).
  void update(bool takeSelection) {
    const bool automatic = (reg(kInputs) & kAutomatic) != 0;
    unsigned inUse = takeSelection || !automatic ? selection() : (reg(kSelected) >> kSelectedShift) & 3;
    uint32_t f = flags();
    if (automatic && !good(inUse)) {
      // Switch-over to the lowest-numbered good input; none: stay.
      for (unsigned i = 0; i < kInputCount; ++i) {
        if (!good(i)) continue;
        inUse = i;
        f |= kSwitchedOver;
        break;
      }
    }
    setReg(kSelected, inUse << kSelectedShift);
    // Disabled inputs are not monitored.
    for (unsigned i = 0; i < kInputCount; ++i) {
      if (!enabled(i)) continue;
      if (!running(i)) f |= kLost[i];
      if (offFrequency(i)) f |= kOffFrequency[i];
    }
    if (!running(inUse)) f |= kNoReference;
    setFlags(f);
  }

  unsigned m_in[kInputCount] = {};
  unsigned m_reset = 0;
};

const bool registered = registerDeviceModel("ics872sxx", [](ModelArgs&) -> std::unique_ptr<DeviceModel> {
  return std::make_unique<Ics872Sxx>();
});

}  // namespace
}  // namespace ravosim
