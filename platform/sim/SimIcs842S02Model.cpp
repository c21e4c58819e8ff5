// The "ics842s02" model: the PLL of an oscillator card's clock domain. It
// multiplies its reference clock by a 14-bit divider pattern, can spread
// its output, reports lock and keeps two error flags with an error line.
//
// Registers (8 bits, the register number is the offset; 16 offsets, those
// without a register read 0 and ignore writes):
//   1  pattern   bits 7..3 pattern bits 4..0, bits 2..0 pattern bits 13..11
//   2  pattern   bits 5..0 pattern bits 10..5; bits 7..6 reserved
//   3  spreading bits 6..5 direction (00 off, 01 down, 10 up, 11 center),
//                bits 4..0 amount in feedback-divider counts; bit 7 reserved
//   4  errors    bit 0 reference lost (type 0), bit 1 step too large
//                (type 1); bits 7..2 reserved; read only
// Pattern: bits 13..11 select the output divider 2^M, bits 10..0 are the
// feedback divider N:
//   f_out = f_ref x N / (8 x 2^M), in kHz rounded to the nearest (half up).
// At reset the pattern is 0x0A80 (M 1, N 640: 1 GHz from 25 MHz).
//
// Every change of the pattern drops the lock for kSettle of the machine's
// time; a change of the output divider or of N by more than kMaxStep counts
// at once also sets flag type 1. A reference that stops drops the lock and
// sets flag type 0; the lock returns kSettle after the reference does. The
// flags latch; a reset-irq transfer releases the bits it writes to register
// 4, and a reference that is still lost sets type 0 again at once.
#include <cstdlib>

#include "SimDeviceModel.h"

namespace ravosim {
namespace {

constexpr uint32_t kPattern1 = 1;
constexpr uint32_t kPattern2 = 2;
constexpr uint32_t kSpreading = 3;
constexpr uint32_t kErrors = 4;

constexpr uint32_t kReferenceLost = 0x01;  // type 0
constexpr uint32_t kStepTooLarge = 0x02;   // type 1

constexpr uint32_t kResetPattern = 0x0A80;
constexpr uint32_t kFeedbackMask = 0x07FF;
constexpr unsigned kDividerShift = 11;
// The largest change of N the loop follows without losing lock.
constexpr uint32_t kMaxStep = 16;
constexpr std::chrono::milliseconds kSettle(5);

// Spreading directions of register 3 bits 6..5.
constexpr uint32_t kDown = 1, kUp = 2, kCenter = 3;

constexpr uint32_t register1(uint32_t p) { return ((p >> kDividerShift) & 7) | ((p & 0x1F) << 3); }
constexpr uint32_t register2(uint32_t p) { return (p >> 5) & 0x3F; }

// Output frequency in kHz of the reference for feedback divider n and
// output divider select m.
uint32_t outputKHz(uint32_t refKHz, uint32_t n, uint32_t m) {
  const uint64_t div = uint64_t{8} << m;
  return static_cast<uint32_t>((uint64_t{refKHz} * n + div / 2) / div);
}

class Ics842S02 : public DeviceModel {
 public:
  Ics842S02() : DeviceModel("ics842s02", 16) {
    const Register map[] = {
        {"pattern-1", kPattern1, 1, register1(kResetPattern), 0, 0, 0, 0},
        {"pattern-2", kPattern2, 1, register2(kResetPattern), 0, 0, 0, 0xC0},
        {"spreading", kSpreading, 1, 0, 0, 0, 0, 0x80},
        {"errors", kErrors, 1, 0, 0xFF, 0, 0, 0xFC},
    };
    std::string error;
    for (const Register& r : map)
      if (!addRegister(r, error)) std::abort();
    m_ref = addClockInput("ref");
    // Both lines are open drain, pulled up: high while unpowered.
    addOutput("err", [this] { return reg(kErrors) == 0; }, true);
    addOutput("lock", [this] { return m_locked; }, true);
    addClockOutput("out", [this] { return output(); });
  }

 protected:
  // Locked from the start when the reference runs (the lock time after
  // power-on is not modelled).
  void onReset() override {
    m_pattern = pattern();
    m_lastRef = reference();
    m_locked = reference().running();
    if (!m_locked) setBits(kErrors, kReferenceLost);
  }
  void onWrite(uint32_t offset, uint32_t) override {
    if (offset != kPattern1 && offset != kPattern2) return;
    // A transfer of both registers is one change (the second call sees it done).
    const uint32_t p = pattern();
    if (p == m_pattern) return;
    if (tooLarge(m_pattern, p)) setBits(kErrors, kStepTooLarge);
    m_pattern = p;
    relock();
  }
  void onClock(unsigned) override {
    const ClockSignal& ref = reference();
    if (!ref.running()) {
      setBits(kErrors, kReferenceLost);
      m_locked = false;
      cancelWake();
    } else if (!m_lastRef.running() || ref.nominalKHz != m_lastRef.nominalKHz) {
      relock();
    }
    m_lastRef = ref;
  }
  void onTimer() override { m_locked = reference().running(); }
  void onResetIrq(uint32_t offset, const uint8_t* data, size_t len) override {
    clearBits(kErrors, byteFor(kErrors, offset, data, len));
    if (!reference().running()) setBits(kErrors, kReferenceLost);
  }

 private:
  const ClockSignal& reference() const { return clock(m_ref); }
  uint32_t pattern() const {
    const uint32_t r1 = reg(kPattern1);
    return (r1 & 7) << kDividerShift | r1 >> 3 | (reg(kPattern2) & 0x3F) << 5;
  }
  static bool tooLarge(uint32_t from, uint32_t to) {
    const uint32_t n0 = from & kFeedbackMask, n1 = to & kFeedbackMask;
    return (from >> kDividerShift) != (to >> kDividerShift) || (n0 > n1 ? n0 - n1 : n1 - n0) > kMaxStep;
  }
  // The loop settles again from now on (or once the reference returns).
  void relock() {
    m_locked = false;
    if (reference().running())
      wakeAt(now() + kSettle);
    else
      cancelWake();
  }
  // The reference multiplied by the pattern; drift passes through, and so
  // does a stopped reference. Spreading swings it by the amount in counts
  // of N below and/or above.
  ClockSignal output() const {
    ClockSignal s = reference();
    s.connected = true;
    s.spreadBelowKHz = s.spreadAboveKHz = 0;
    const uint32_t p = pattern();
    const uint32_t n = p & kFeedbackMask, m = p >> kDividerShift;
    s.nominalKHz = outputKHz(s.nominalKHz, n, m);
    if (s.nominalKHz == 0) s.state = OscillatorState::Failed;
    if (!s.running()) {
      s.driftPpm = 0;
      return s;
    }
    const uint32_t direction = (reg(kSpreading) >> 5) & 3, amount = reg(kSpreading) & 0x1F;
    const uint32_t refKHz = reference().nominalKHz;
    if (direction == kDown || direction == kCenter)
      s.spreadBelowKHz = s.nominalKHz - outputKHz(refKHz, n > amount ? n - amount : 0, m);
    if (direction == kUp || direction == kCenter)
      s.spreadAboveKHz = outputKHz(refKHz, n + amount, m) - s.nominalKHz;
    return s;
  }

  unsigned m_ref = 0;
  uint32_t m_pattern = kResetPattern;
  bool m_locked = false;
  ClockSignal m_lastRef;
};

const bool registered = registerDeviceModel("ics842s02", [](ModelArgs&) -> std::unique_ptr<DeviceModel> {
  return std::make_unique<Ics842S02>();
});

}  // namespace
}  // namespace ravosim
