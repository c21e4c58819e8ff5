// The fanout buffer model ("ics852sxx"): its register map, the nine output
// enables, what the outputs pass on, the supply; and the buffers of the
// default machine, which distribute their card's PLL output.
#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimChipFixture.h"

namespace {

const char* const kMachine = R"(<machine name="fanout">
  <supply name="vdd"/>
  <cfam link="0" cascade="0">
    <gpio number="8"/>
    <oscillator name="clk" khz="100000"/>
    <i2c number="5" ports="1">
      <device port="0" address="0xD8" model="ics852sxx" supply="vdd">
        <input name="in" oscillator="clk"/>
      </device>
    </i2c>
  </cfam>
</machine>)";

const char* const kPort = "/dev/iic/L00C0E05P00";
constexpr uint8_t kChip = 0xD8;
constexpr unsigned kOutputs = 9;

// Reset values of registers 0..15: every output enabled.
const uint8_t kResetValues[16] = {0, 0, 0, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

class SimIcs852Sxx : public testsupport::SimChipFixture {
 protected:
  SimIcs852Sxx() : SimChipFixture("ravo-sim-fanout", kPort, kChip, "/dev/gpio/L00C0E08") {}
  void SetUp() override { load(kMachine); }

  ravosim::ClockSignal out(unsigned i, const char* port = kPort) {
    ravosim::ClockSignal s;
    EXPECT_TRUE(ravosim::readDeviceClock(port, kChip, "out" + std::to_string(i), s)) << i;
    return s;
  }
  // The outputs that run, output i as bit i.
  unsigned running(const char* port = kPort) {
    unsigned mask = 0;
    for (unsigned i = 0; i < kOutputs; ++i)
      if (out(i, port).running()) mask |= 1u << i;
    return mask;
  }
};

TEST_F(SimIcs852Sxx, RegisterMap) {
  expectRegisters(kResetValues, 0, 16);
  expectWritesReadBack({
      {"no register 0", 0, 0x5A, 0x00},
      {"no register 1", 1, 0xFF, 0x00},
      {"no register 2", 2, 0xFF, 0x00},
      {"output enables 7..0", 3, 0x5A, 0x5A},
      {"output enable 8, bits 6..0 reserved", 4, 0xFF, 0x80},
      {"output 8 disabled", 4, 0x7F, 0x00},
      {"nothing above register 4", 15, 0xFF, 0x00},
  });
  expectNackBeyond(15);
}

// Register 3 bit i enables output i, register 4 bit 7 output 8; the driver
// writes both in one transfer. An enabled output passes the input on,
// drift included; a disabled one is stopped.
TEST_F(SimIcs852Sxx, EnablesSwitchTheOutputs) {
  struct Case {
    const char* what;
    uint8_t reg3;
    uint8_t reg4;
    unsigned running;
  };
  const Case cases[] = {
      {"all off", 0x00, 0x00, 0x000},
      {"0..3 and 8", 0x0F, 0x80, 0x10F},
      {"4..7", 0xF0, 0x00, 0x0F0},
      {"only 8", 0x00, 0x80, 0x100},
      {"all on", 0xFF, 0x80, 0x1FF},
  };
  EXPECT_EQ(running(), 0x1FFu);
  ASSERT_TRUE(ravosim::setOscillatorDrifting("clk", 12));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint8_t r[2] = {c.reg3, c.reg4};
    ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 3, r, 2), 2);
    EXPECT_EQ(running(), c.running);
    for (unsigned i = 0; i < kOutputs; ++i) {
      const ravosim::ClockSignal s = out(i);
      const bool on = (c.running >> i) & 1;
      EXPECT_EQ(s.nominalKHz, on ? 100000u : 0u) << i;
      EXPECT_EQ(s.driftPpm, on ? 12 : 0) << i;
    }
  }
  // A stopped input stops the enabled outputs as well.
  ASSERT_TRUE(ravosim::failOscillator("clk"));
  EXPECT_EQ(running(), 0u);
  ASSERT_TRUE(ravosim::restoreOscillator("clk"));
  EXPECT_EQ(running(), 0x1FFu);
}

// Without supply the buffer does not answer and every output is stopped;
// with the supply back all outputs are enabled again.
TEST_F(SimIcs852Sxx, UnpoweredBufferNacksAndStopsItsOutputs) {
  const uint8_t off[2] = {0x00, 0x00};
  ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 3, off, 2), 2);
  ASSERT_TRUE(ravosim::cutSupply("vdd"));
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_i2c, kChip, 3, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  EXPECT_EQ(running(), 0u);
  ASSERT_TRUE(ravosim::restoreSupply("vdd"));
  expectRegisters(kResetValues, 0, 16);
  EXPECT_EQ(running(), 0x1FFu);
}

// The default machine: a buffer at 0xD8 on each oscillator card, on the
// card's supply, distributing the output of the card's PLL (0xD4).
TEST_F(SimIcs852Sxx, DefaultMachineWiring) {
  loadDefaultMachine();
  const char* const cards[][2] = {{"/dev/iic/L01C0E05P00", "/dev/gpio/L01C0E08"},
                                  {"/dev/iic/L02C0E05P00", "/dev/gpio/L02C0E08"}};
  for (const auto& card : cards) {
    const char* port = card[0];
    SCOPED_TRACE(port);
    EXPECT_EQ(running(port), 0u);
    switchSupplyOn(card[1]);
    open(port);
    expectRegisters(kResetValues, 0, 16);
    EXPECT_EQ(running(port), 0x1FFu);
    EXPECT_EQ(out(0, port).nominalKHz, 1000000u);
    // The PLL at 0xD4 at N 640 and output divider 1: 2 GHz on every output.
    const uint8_t pattern[2] = {0x00, 0x14};
    ASSERT_EQ(ravo_siic_write(m_i2c, 0xD4, 1, pattern, 2), 2);
    for (unsigned i = 0; i < kOutputs; ++i) EXPECT_EQ(out(i, port).nominalKHz, 2000000u) << i;
    close();
  }
}

}  // namespace
