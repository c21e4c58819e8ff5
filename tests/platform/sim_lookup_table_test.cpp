// Pins of a simulated GPIO engine that follow a lookup table of its
// programmable logic: the table's control (register 0x4000000B) selects the
// input the pin shows.
#include <fcntl.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

// Pin 12: a clock enable of table 0 (on, off, forced on). Pin 13: table 1
// chooses between pin 3 of engine 9, fixed high and nothing, inverted.
// Pin 14: table 7, whose reset state has both bits set (no valid control).
const char* const kMachine = R"(<machine name="lookup-tables">
  <cfam link="0" cascade="0">
    <gpio number="8">
      <pin n="12" table="0" in1="1" in2="0" in3="1"/>
      <pin n="13" table="1" in1="/dev/gpio/L00C0E09:3" in2="1" invert="yes"/>
      <pin n="14" table="7" in1="1" in2="1" in3="1"/>
      <config register="0x4000000B" value="0x01010000"/>
    </gpio>
    <gpio number="9"/>
  </cfam>
</machine>)";

constexpr uint32_t pin(unsigned n) { return 0x80000000u >> n; }

// The register value the device access layer writes for control c of table t.
uint32_t controlWord(unsigned t, unsigned c) {
  const uint32_t b = 0x80u >> t;
  return c == 1 ? (b << 8 | b) : c == 2 ? (b << 8 | b << 16) : (b << 24 | b);
}

class SimLookupTable : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-lut-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "lookup-tables.xml"));
    m_h = ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR);
    ASSERT_NE(m_h, nullptr);
  }
  void TearDown() override {
    if (m_h) {
      EXPECT_EQ(ravo_gpio_close(m_h), 0);
    }
    std::filesystem::remove_all(m_dir);
  }
  void control(unsigned t, unsigned c) {
    uint32_t v = controlWord(t, c);
    ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_WRITE, RAVO_GPIO_CFG_LOOKUP_CONTROL, &v, 4), 0);
  }
  uint32_t levels() {
    uint32_t v = 0;
    EXPECT_EQ(ravo_gpio_read_input_pins(m_h, 0xFFFFFFFFu, &v), 0);
    return v;
  }
  std::string m_dir;
  ravo_struct* m_h = nullptr;
};

}  // namespace

TEST_F(SimLookupTable, ClockEnableFollowsItsControl) {
  EXPECT_EQ(pin(12), levels() & pin(12));  // reset state: control 1
  const struct {
    unsigned control;
    bool high;
  } cases[] = {{2, false}, {3, true}, {1, true}, {2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    ravosim::clearTransactionLog();
    const bool before = (levels() & pin(12)) != 0;
    control(0, c.control);
    EXPECT_EQ(c.high, (levels() & pin(12)) != 0);
    // A change is logged as a pin change.
    const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog("/dev/gpio/L00C0E08");
    EXPECT_EQ(before != c.high ? 1u : 0u, log.size());
    if (!log.empty()) {
      EXPECT_EQ(pin(12), log[0].mask);
    }
  }
  // Another table's control leaves the pin alone.
  control(1, 3);
  EXPECT_EQ(0u, levels() & pin(12));
}

TEST_F(SimLookupTable, InputsWiresAndInversion) {
  ravo_struct* src = ravo_gpio_open("/dev/gpio/L00C0E09", O_RDWR);
  ASSERT_NE(src, nullptr);
  ASSERT_EQ(ravo_gpio_set_mode(src, pin(3), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  const struct {
    unsigned control;
    bool source;
    bool high;  // pin 13, inverted
  } cases[] = {{1, false, true}, {1, true, false}, {2, false, false}, {3, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.control << " " << c.source);
    ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(3), c.source ? pin(3) : 0), 0);
    control(1, c.control);
    EXPECT_EQ(c.high, (levels() & pin(13)) != 0);
  }
  EXPECT_EQ(ravo_gpio_close(src), 0);
}

TEST_F(SimLookupTable, NoValidControlIsLowAndOutsideDrivesWin) {
  EXPECT_EQ(0u, levels() & pin(14));
  control(7, 2);
  EXPECT_EQ(pin(14), levels() & pin(14));
  // The engine's own output, a drive and a fixed level win over the table.
  ASSERT_TRUE(ravosim::drivePin("/dev/gpio/L00C0E08", 12, false));
  EXPECT_EQ(0u, levels() & pin(12));
  ASSERT_TRUE(ravosim::releasePin("/dev/gpio/L00C0E08", 12));
  EXPECT_EQ(pin(12), levels() & pin(12));
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(12), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  EXPECT_EQ(0u, levels() & pin(12));
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(12), RAVO_GPIO_MODE_UNUSED), 0);
  ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 12, false));
  control(0, 3);
  EXPECT_EQ(0u, levels() & pin(12));
}
