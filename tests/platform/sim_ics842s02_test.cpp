// The PLL model ("ics842s02"): its register map, the output frequency of a
// divider pattern, spreading, the lock detect that drops after a divider
// change and returns after the settling time, the error flags and their
// line, reset-irq transfers, the supply; and the PLLs of the default
// machine, whose reference is the input their card's redundancy chip uses.
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimChipFixture.h"

namespace {

using ravosim::Transaction;
using testsupport::pinBit;

// One PLL on an oscillator of its own; its error line on GPIO engine 8 pin
// 10, its lock detect on pin 11.
const char* const kMachine = R"(<machine name="pll">
  <supply name="vdd"/>
  <cfam link="0" cascade="0">
    <gpio number="8">
      <pin n="10" wire="/dev/iic/L00C0E05P00:0xD4:err"/>
      <pin n="11" wire="/dev/iic/L00C0E05P00:0xD4:lock"/>
    </gpio>
    <oscillator name="ref" khz="25000"/>
    <i2c number="5" ports="1">
      <device port="0" address="0xD4" model="ics842s02" supply="vdd">
        <input name="ref" oscillator="ref"/>
      </device>
    </i2c>
  </cfam>
</machine>)";

const char* const kPort = "/dev/iic/L00C0E05P00";
const char* const kPins = "/dev/gpio/L00C0E08";
constexpr uint8_t kChip = 0xD4;
constexpr unsigned kErrPin = 10, kLockPin = 11;
const uint32_t kLines = pinBit(kErrPin) | pinBit(kLockPin);

// Register 4 flags.
constexpr uint8_t kReferenceLost = 0x01, kStepTooLarge = 0x02;
// The settling time after a divider change, and the reset pattern (output
// divider 2, feedback divider 640) with its frequency from 25 MHz.
constexpr std::chrono::milliseconds kSettle(5);
constexpr unsigned kResetPattern = 0x0A80;
constexpr uint32_t kResetKHz = 1000000;

// Reset values of registers 0..15.
const uint8_t kResetValues[16] = {0, 0x01, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

class SimIcs842S02 : public testsupport::SimChipFixture {
 protected:
  SimIcs842S02() : SimChipFixture("ravo-sim-pll", kPort, kChip, kPins) {}
  void SetUp() override { load(kMachine); }

  // The driver's pattern write: registers 1..2 in one transfer.
  void writePattern(unsigned p, uint8_t chipAddress = kChip) {
    const uint8_t r[2] = {static_cast<uint8_t>(((p & 0x3800) >> 11) | ((p & 0xFF) << 3)),
                          static_cast<uint8_t>((p & 0x7E0) >> 5)};
    ASSERT_EQ(ravo_siic_write(m_i2c, chipAddress, 1, r, 2), 2) << p;
  }
  // The driver's pattern read.
  unsigned readPattern() {
    uint8_t r[2] = {};
    EXPECT_EQ(ravo_siic_read(m_i2c, kChip, 1, r, 2), 2);
    return (r[0] & 7u) << 11 | r[0] >> 3 | (r[1] & 0x3Fu) << 5;
  }
  void resetIrq(uint8_t release) { ASSERT_EQ(ravo_siic_reset_irq(m_i2c, kChip, 4, &release, 1), 1); }
  ravosim::ClockSignal clockOf(const char* name, const char* port = kPort, unsigned address = kChip) {
    ravosim::ClockSignal s;
    EXPECT_TRUE(ravosim::readDeviceClock(port, address, name, s)) << name;
    return s;
  }
  // Waits until the lock detect is back (a request for pin 11 high).
  void waitForLock(const char* gpioPath = nullptr) {
    ravo_aio_cb* cb = arm(pinBit(kLockPin), 0, gpioPath);
    ASSERT_EQ(completed(), cb);
    EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
  }
};

// What the log saw of the chip's pattern writes and of the lock pin. The
// log stamps a transfer when it has ended, after the pin changes it caused;
// the read logged just before a write (`before`) bounds from below the time
// the write changed the pattern.
struct LockHistory {
  std::vector<Transaction> before;
  std::vector<Transaction> writes;
  std::vector<Transaction> lockChanges;
};

LockHistory lockHistory(const char* gpioPath = kPins, const char* port = kPort) {
  LockHistory h;
  const Transaction* last = nullptr;
  const std::vector<Transaction> chip = ravosim::readTransactionLog(port, kChip);
  for (const Transaction& t : chip) {
    if (t.kind == Transaction::I2cWrite && t.offset <= 2 && last && last->kind == Transaction::I2cRead) {
      h.before.push_back(*last);
      h.writes.push_back(t);
    }
    last = &t;
  }
  for (const Transaction& t : ravosim::readTransactionLog(gpioPath))
    if (t.kind == Transaction::PinChange && (t.mask & pinBit(kLockPin))) h.lockChanges.push_back(t);
  return h;
}

// Reset values, what one write of one byte leaves in each register, and the
// space of 16 offsets.
TEST_F(SimIcs842S02, RegisterMap) {
  expectRegisters(kResetValues, 0, 16);
  EXPECT_EQ(readPattern(), kResetPattern);
  EXPECT_TRUE(output("err"));
  EXPECT_TRUE(output("lock"));
  expectWritesReadBack({
      {"no register 0", 0, 0x5A, 0x00},
      {"pattern bits 4..0 and 13..11", 1, 0xFF, 0xFF},
      {"pattern bits 10..5, bits 7..6 reserved", 2, 0xFF, 0x3F},
      {"spreading, bit 7 reserved", 3, 0xFF, 0x7F},
      {"errors read only", 4, 0xFF, 0x00},
      {"nothing above register 4", 15, 0xFF, 0x00},
  });
  // The flags can be injected; the unused bits of register 4 stay 0.
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, kChip, 4, 0xFF));
  EXPECT_EQ(chip(4), kReferenceLost | kStepTooLarge);
  EXPECT_FALSE(output("err"));
  // Beyond offset 15 the chip does not acknowledge.
  expectNackBeyond(15);
}

// f_out = f_ref x N / (8 x 2^M) with N = pattern bits 10..0 and M = bits
// 13..11, rounded to the nearest kHz; the reference's drift passes through.
TEST_F(SimIcs842S02, PatternGivesTheOutputFrequency) {
  struct Case {
    const char* what;
    unsigned pattern;
    uint32_t khz;
  };
  const Case cases[] = {
      {"reset pattern: N 640, divider 2", kResetPattern, kResetKHz},
      {"N 640, divider 1", 0x0280, 2000000},
      {"N 512, divider 4", 0x1200, 400000},
      {"N 2047, divider 128: 49975.59 kHz", 0x3FFF, 49976},
      {"N 1, divider 2: 1562.5 kHz rounds up", 0x0801, 1563},
      {"N 1, divider 1", 0x0001, 3125},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writePattern(c.pattern);
    EXPECT_EQ(readPattern(), c.pattern);
    const ravosim::ClockSignal out = clockOf("out");
    EXPECT_EQ(out.state, ravosim::OscillatorState::Running);
    EXPECT_EQ(out.nominalKHz, c.khz);
    EXPECT_EQ(out.driftPpm, 0);
  }
  // A feedback divider of 0 gives no clock.
  writePattern(0x0800);
  EXPECT_FALSE(clockOf("out").running());
  writePattern(kResetPattern);
  ASSERT_TRUE(ravosim::setOscillatorDrifting("ref", -40));
  const ravosim::ClockSignal out = clockOf("out");
  EXPECT_EQ(out.state, ravosim::OscillatorState::Drifting);
  EXPECT_EQ(out.driftPpm, -40);
  EXPECT_EQ(out.nominalKHz, kResetKHz);
  // The reference as the chip sees it.
  const ravosim::ClockSignal ref = clockOf("ref");
  EXPECT_EQ(ref.nominalKHz, 25000u);
  EXPECT_EQ(ref.driftPpm, -40);
}

// Spreading swings the output by the amount in counts of N: below it (down),
// above it (up) or both (center). At the reset pattern one count is
// 1562.5 kHz. Spreading writes leave the lock and the flags alone.
TEST_F(SimIcs842S02, SpreadingSwingsTheOutputByCountsOfTheFeedbackDivider) {
  struct Case {
    const char* what;
    uint8_t reg3;
    uint32_t below;
    uint32_t above;
  };
  const Case cases[] = {
      {"off", 0x00, 0, 0},
      {"off with an amount stored", 0x05, 0, 0},
      {"down 4", 0x24, 6250, 0},
      {"up 4", 0x44, 0, 6250},
      {"center 31", 0x7F, 1000000 - 951563, 1048438 - 1000000},
      {"down 0", 0x20, 0, 0},
  };
  ravosim::clearTransactionLog();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeChip(3, c.reg3);
    EXPECT_EQ(chip(3), c.reg3);
    const ravosim::ClockSignal out = clockOf("out");
    EXPECT_EQ(out.nominalKHz, kResetKHz);
    EXPECT_EQ(out.spreadBelowKHz, c.below);
    EXPECT_EQ(out.spreadAboveKHz, c.above);
    EXPECT_EQ(chip(4), 0);
  }
  EXPECT_TRUE(lockHistory().lockChanges.empty());
}

// Every change of the pattern drops the lock; it returns no earlier than
// the settling time after the last change. Writes that leave the pattern
// as it is do not touch it. Checked on the log's time stamps: no rising
// edge of the lock pin within the settling time after a pattern write.
TEST_F(SimIcs842S02, LockDropsAfterADividerChangeForTheSettlingTime) {
  struct Case {
    const char* what;
    std::vector<unsigned> patterns;  // written one after the other
    bool drops;
  };
  const Case cases[] = {
      {"one count up", {kResetPattern + 1}, true},
      {"one count down, then back", {kResetPattern - 1, kResetPattern}, true},
      {"a too large step drops it as well", {kResetPattern + 100}, true},
      {"three steps in a row", {kResetPattern + 1, kResetPattern + 2, kResetPattern + 3}, true},
      {"the same pattern again", {kResetPattern}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetMachine();
    ravosim::clearTransactionLog();
    for (unsigned p : c.patterns) {
      chip(1);  // marks the time before the write in the log
      writePattern(p);
    }
    if (c.drops) waitForLock();
    EXPECT_TRUE(output("lock"));
    const LockHistory h = lockHistory();
    ASSERT_EQ(h.writes.size(), c.patterns.size());
    if (!c.drops) {
      EXPECT_TRUE(h.lockChanges.empty()) << ravosim::formatTransactionLog(h.lockChanges);
      continue;
    }
    // Low with the first write, high at the end; no rising edge after a
    // write that comes less than the settling time after it began.
    const std::string log = ravosim::formatTransactionLog(ravosim::readTransactionLog());
    ASSERT_GE(h.lockChanges.size(), 2u) << log;
    EXPECT_EQ(h.lockChanges.front().levels & pinBit(kLockPin), 0u);
    EXPECT_GT(h.lockChanges.front().seq, h.before.front().seq);
    EXPECT_LT(h.lockChanges.front().seq, h.writes.front().seq);
    EXPECT_NE(h.lockChanges.back().levels & pinBit(kLockPin), 0u);
    for (const Transaction& edge : h.lockChanges) {
      if ((edge.levels & pinBit(kLockPin)) == 0) continue;
      for (size_t i = 0; i < h.writes.size(); ++i)
        if (edge.seq > h.writes[i].seq) {
          EXPECT_GE(edge.time - h.before[i].time, kSettle) << log;
        }
    }
  }
}

// A change of the output divider or of N by more than 16 counts at once
// sets flag type 1; a stopped reference sets type 0 and drops the lock
// until it runs again. Either pulls the error line low: a request armed
// on its pin fires.
TEST_F(SimIcs842S02, TooLargeStepsAndALostReferenceRaiseTheFlagsAndTheLine) {
  struct Case {
    const char* what;
    unsigned pattern;
    uint8_t flags;
  };
  const Case cases[] = {
      {"N up by 16", kResetPattern + 16, 0},
      {"N down by 16", kResetPattern - 16, 0},
      {"N up by 17", kResetPattern + 17, kStepTooLarge},
      {"N down by 17", kResetPattern - 17, kStepTooLarge},
      {"output divider 2 to 4, same N", kResetPattern + 0x0800, kStepTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetMachine();
    ravo_aio_cb* err = armLow(pinBit(kErrPin));
    writePattern(c.pattern);
    EXPECT_EQ(chip(4), c.flags);
    EXPECT_EQ(output("err"), c.flags == 0);
    EXPECT_EQ(pins() & pinBit(kErrPin), c.flags ? 0u : pinBit(kErrPin));
    if (c.flags) {
      ASSERT_EQ(completed(), err);
    } else {
      EXPECT_TRUE(nothingCompleted());
      EXPECT_EQ(ravo_aiocb_cancel(err), 0);
    }
    EXPECT_EQ(ravo_aiocb_delete(err, RAVO_AIOCB_DELETE_FREE), 0);
  }
  // Register 2 alone moves N by a multiple of 32 counts.
  ravosim::resetMachine();
  writeChip(2, 0x15);
  EXPECT_EQ(chip(4), kStepTooLarge);

  ravosim::resetMachine();
  ravo_aio_cb* err = armLow(pinBit(kErrPin));
  ASSERT_TRUE(ravosim::failOscillator("ref"));
  ASSERT_EQ(completed(), err);
  EXPECT_EQ(ravo_aiocb_delete(err, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(chip(4), kReferenceLost);
  EXPECT_EQ(pins() & kLines, 0u);
  EXPECT_FALSE(clockOf("out").running());
  // No lock while the reference is lost, whatever is written.
  writePattern(kResetPattern + 1);
  EXPECT_FALSE(output("lock"));
  ASSERT_TRUE(ravosim::restoreOscillator("ref"));
  EXPECT_TRUE(clockOf("out").running());
  waitForLock();
  EXPECT_EQ(chip(4), kReferenceLost);  // latched
}

// The reset-irq transfer ({0x03} at register 4) releases the flags whose
// bits it writes; a reference that is still lost sets type 0 again at once.
// Plain writes release nothing.
TEST_F(SimIcs842S02, ResetIrqReleasesOnlyFlagsWhoseConditionIsGone) {
  ASSERT_TRUE(ravosim::failOscillator("ref"));
  writePattern(kResetPattern + 100);
  ASSERT_EQ(chip(4), kReferenceLost | kStepTooLarge);
  writeChip(4, 0x00);
  writeChip(4, 0x03);
  EXPECT_EQ(chip(4), kReferenceLost | kStepTooLarge);

  resetIrq(0x03);
  EXPECT_EQ(chip(4), kReferenceLost);
  EXPECT_FALSE(output("err"));

  ASSERT_TRUE(ravosim::restoreOscillator("ref"));
  writePattern(kResetPattern);
  EXPECT_EQ(chip(4), kReferenceLost | kStepTooLarge);
  // Only the bits written are released.
  resetIrq(kStepTooLarge);
  EXPECT_EQ(chip(4), kReferenceLost);
  resetIrq(0x03);
  EXPECT_EQ(chip(4), 0);
  EXPECT_TRUE(output("err"));
  unsigned resets = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort, kChip, resets));
  EXPECT_EQ(resets, 3u);
}

// Without supply the chip does not answer, both lines float high and the
// output clock stops; with the supply back it starts from its reset state,
// locked when its reference runs.
TEST_F(SimIcs842S02, UnpoweredChipNacksReleasesItsLinesAndStopsItsClock) {
  writeChip(3, 0x45);
  writePattern(kResetPattern + 100);
  ASSERT_TRUE(ravosim::failOscillator("ref"));
  ASSERT_EQ(pins() & kLines, 0u);
  ASSERT_TRUE(ravosim::cutSupply("vdd"));
  uint8_t b = 0;
  struct Op {
    const char* what;
    int result;
  };
  const Op ops[] = {
      {"read", ravo_siic_read(m_i2c, kChip, 1, &b, 1)},
      {"write", ravo_siic_write(m_i2c, kChip, 1, &b, 1)},
      {"reset-irq", ravo_siic_reset_irq(m_i2c, kChip, 4, &b, 1)},
  };
  for (const Op& op : ops) EXPECT_EQ(op.result, -1) << op.what;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_i2c, kChip, 4, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  EXPECT_TRUE(output("err"));
  EXPECT_TRUE(output("lock"));
  EXPECT_EQ(pins() & kLines, kLines);
  const ravosim::ClockSignal out = clockOf("out");
  EXPECT_FALSE(out.running());
  EXPECT_EQ(out.nominalKHz, 0u);

  // Back with the reference still lost: reset values, flag type 0, no lock.
  ASSERT_TRUE(ravosim::restoreSupply("vdd"));
  uint8_t expected[16];
  std::copy(kResetValues, kResetValues + 16, expected);
  expected[4] = kReferenceLost;
  expectRegisters(expected, 0, 16);
  EXPECT_EQ(pins() & kLines, 0u);
  // And with it running: locked at once.
  ASSERT_TRUE(ravosim::cutSupply("vdd"));
  ASSERT_TRUE(ravosim::restoreOscillator("ref"));
  ASSERT_TRUE(ravosim::restoreSupply("vdd"));
  expectRegisters(kResetValues, 0, 16);
  EXPECT_EQ(pins() & kLines, kLines);
  EXPECT_EQ(clockOf("out").nominalKHz, kResetKHz);
}

// The default machine: a PLL at 0xD4 on each oscillator card, on the card's
// supply; its reference is the input the card's redundancy chip (0xB0) has
// in use; its error line on pin 10 and its lock detect on pin 11 of the
// card's engine 8.
TEST_F(SimIcs842S02, DefaultMachineWiring) {
  loadDefaultMachine();
  struct Card {
    const char* port;
    const char* gpio;
    const char* own;    // the card's oscillator on the redundancy chip's input 1
    const char* spare;  // on its input 2
  };
  const Card cards[] = {
      {"/dev/iic/L01C0E05P00", "/dev/gpio/L01C0E08", "osc0.a", "osc0.b"},
      {"/dev/iic/L02C0E05P00", "/dev/gpio/L02C0E08", "osc1.a", "osc1.b"},
  };
  constexpr uint8_t kCrc = 0xB0;
  for (const Card& c : cards) {
    SCOPED_TRACE(c.port);
    bool powered = true;
    ASSERT_TRUE(ravosim::devicePowered(c.port, kChip, powered));
    EXPECT_FALSE(powered);
    EXPECT_EQ(pins(c.gpio) & kLines, kLines);
    EXPECT_FALSE(clockOf("out", c.port).running());
    // Switching the supply on moves neither line.
    ravosim::clearTransactionLog();
    switchSupplyOn(c.gpio);
    EXPECT_TRUE(lockHistory(c.gpio, c.port).lockChanges.empty());
    EXPECT_EQ(pins(c.gpio) & kLines, kLines);
    open(c.port);
    expectRegisters(kResetValues, 0, 16);
    EXPECT_EQ(clockOf("out", c.port).nominalKHz, kResetKHz);

    // The redundancy chip's input 2, drifting, becomes the reference.
    ASSERT_TRUE(ravosim::setOscillatorDrifting(c.spare, 30));
    EXPECT_EQ(clockOf("ref", c.port).driftPpm, 0);
    const uint8_t input2 = 0x81;  // output 8 enabled, input 2 selected
    ASSERT_EQ(ravo_siic_write(m_i2c, kCrc, 4, &input2, 1), 1);
    EXPECT_EQ(clockOf("ref", c.port).driftPpm, 30);
    EXPECT_EQ(clockOf("out", c.port).driftPpm, 30);
    EXPECT_EQ(chip(4), 0);
    // Another input of the same nominal frequency keeps the lock.
    EXPECT_TRUE(lockHistory(c.gpio, c.port).lockChanges.empty());
    // The reference in use lost: flag type 0 on pin 10, no lock on pin 11.
    ravo_aio_cb* err = armLow(pinBit(kErrPin), c.gpio);
    ASSERT_TRUE(ravosim::failOscillator(c.spare));
    ASSERT_EQ(completed(), err);
    EXPECT_EQ(ravo_aiocb_delete(err, RAVO_AIOCB_DELETE_FREE), 0);
    EXPECT_EQ(chip(4), kReferenceLost);
    EXPECT_EQ(pins(c.gpio) & kLines, 0u);
    // Back to input 1, which runs: locked after the settling time.
    const uint8_t input1 = 0x80;
    ASSERT_EQ(ravo_siic_write(m_i2c, kCrc, 4, &input1, 1), 1);
    waitForLock(c.gpio);
    resetIrq(0x03);
    EXPECT_EQ(pins(c.gpio) & kLines, kLines);
    ASSERT_TRUE(ravosim::restoreOscillator(c.spare));
    // The placeholder register file at 0xD0 is still there.
    uint8_t v = 0xEE;
    EXPECT_EQ(ravo_siic_read(m_i2c, 0xD0, 0, &v, 1), 1);
    EXPECT_EQ(v, 0);
    close();
  }
}

}  // namespace
