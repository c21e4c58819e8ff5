// The clock redundancy chip model ("ics872sxx"): its register map, manual
// and automatic input selection, error flags and their release by reset-irq
// transfers, the err and irq lines wired to GPIO pins, the master reset
// input and the supply; and the two chips of the default machine.
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimChipFixture.h"

namespace {

// One chip with three oscillators of its own; its lines on GPIO engine 8
// (pin 5 err, pin 6 irq) and its master reset on pin 7 of the same engine.
const char* const kMachine = R"(<machine name="crc">
  <supply name="vdd"/>
  <cfam link="0" cascade="0">
    <gpio number="8">
      <pin n="5" wire="/dev/iic/L00C0E05P00:0xB0:err"/>
      <pin n="6" wire="/dev/iic/L00C0E05P00:0xB0:irq"/>
    </gpio>
    <oscillator name="a" khz="25000"/>
    <oscillator name="b" khz="25000"/>
    <oscillator name="c" khz="25000"/>
    <i2c number="5" ports="1">
      <device port="0" address="0xB0" model="ics872sxx" supply="vdd">
        <input name="in1" oscillator="a"/>
        <input name="in2" oscillator="b"/>
        <input name="in3" oscillator="c"/>
        <input name="reset" wire="/dev/gpio/L00C0E08:7"/>
      </device>
    </i2c>
  </cfam>
</machine>)";

using testsupport::pinBit;
constexpr uint32_t pin(unsigned n) { return pinBit(n); }
const char* const kPort = "/dev/iic/L00C0E05P00";
const char* const kPins = "/dev/gpio/L00C0E08";
constexpr uint8_t kChip = 0xB0;
constexpr unsigned kErrPin = 5, kIrqPin = 6, kResetPin = 7;

// Register 4 values: input select, automatic mode, input disables, check.
constexpr uint8_t kAutomatic = 0x04;
constexpr uint8_t kCheck = 0x40;
constexpr uint8_t kOutput8 = 0x80;
constexpr uint8_t disabled(unsigned input) { return static_cast<uint8_t>(0x04u << input); }
// Register 8 flags (types 0, 1..3, 4) and register 9 flags (types 5..7).
constexpr uint8_t kNoReference = 0x20, kSwitched = 0x10;
constexpr uint8_t lost(unsigned input) { return static_cast<uint8_t>(1u << (input - 1)); }
constexpr uint8_t offFrequency(unsigned input) { return static_cast<uint8_t>(1u << (input - 1)); }
// The release the driver sends with its reset-irq transfer at register 8.
const uint8_t kRelease[2] = {0xF7, 0x07};

// Reset values of registers 0..15.
const uint8_t kResetValues[16] = {0, 0x00, 0, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

class SimIcs872Sxx : public testsupport::SimChipFixture {
 protected:
  SimIcs872Sxx() : SimChipFixture("ravo-sim-crc", kPort, kChip, kPins) {}
  void SetUp() override { load(kMachine); }

  void releaseFlags(const uint8_t* data = kRelease, uint8_t len = 2) {
    ASSERT_EQ(ravo_siic_reset_irq(m_i2c, kChip, 8, data, len), len);
  }
  // Input in use (1..3) as register 10 shows it.
  unsigned inUse() { return ((chip(10) >> 3) & 3) + 1; }
  // Number of error flags set, as the driver counts them.
  unsigned flagCount() {
    const unsigned flags = chip(8) | chip(9) << 8;
    unsigned n = 0;
    for (unsigned bit = 0; bit < 16; ++bit) n += (flags >> bit) & 1;
    return n;
  }
  // The library's side of the master reset: a push-pull output, one pulse.
  void pulseReset(const char* path = kPins) {
    ravo_struct* g = gpio(path);
    ASSERT_EQ(ravo_gpio_set_mode(g, pin(kResetPin), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
    ASSERT_EQ(ravo_gpio_write_output_pins(g, pin(kResetPin), pin(kResetPin)), 0);
    ASSERT_EQ(ravo_gpio_write_output_pins(g, pin(kResetPin), 0), 0);
  }
};

// Reset values, what one write of one byte leaves in each register, and the
// space of 16 offsets.
TEST_F(SimIcs872Sxx, RegisterMap) {
  expectRegisters(kResetValues, 0, 16);
  EXPECT_TRUE(output("err"));
  EXPECT_TRUE(output("irq"));
  expectWritesReadBack({
      {"no register 0", 0, 0x5A, 0x00},
      {"control: bits 5..4 reserved", 1, 0xFF, 0xCF},
      {"control: divider and bandwidth", 1, 0x0D, 0x0D},
      {"no register 2", 2, 0xFF, 0x00},
      {"output enables", 3, 0x5A, 0x5A},
      {"inputs: all bits stored", 4, 0x79, 0x79},
      {"check value A high", 5, 0xA5, 0xA5},
      {"check value A low", 6, 0x3C, 0x3C},
      {"check value A bit 1 and B", 7, 0x81, 0x81},
      {"errors read only", 8, 0xFF, 0x00},
      {"errors 2 read only", 9, 0xFF, 0x00},
      {"selected input read only", 10, 0xFF, 0x00},
      {"nothing above register 10", 15, 0xFF, 0x00},
  });
  // Flags the model never sets itself (types 8 and 9) can be injected; the
  // unused bits of registers 8 and 9 stay 0.
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, kChip, 8, 0xFF));
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, kChip, 9, 0xFF));
  EXPECT_EQ(chip(8), 0xF7);
  EXPECT_EQ(chip(9), 0x07);
  // Beyond offset 15 the chip does not acknowledge.
  expectNackBeyond(15);
}

// The frequency check values as the driver writes its largest ones: one
// transfer of FF FF FF to registers 5..7 reads back as written, and decodes
// to the values the chip can hold.
TEST_F(SimIcs872Sxx, FrequencyCheckValuesReadBackAsStored) {
  const uint8_t ones[3] = {0xFF, 0xFF, 0xFF};
  ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 5, ones, 3), 3);
  uint8_t r[3] = {};
  ASSERT_EQ(ravo_siic_read(m_i2c, kChip, 5, r, 3), 3);
  EXPECT_EQ(r[0], 0xFF);
  EXPECT_EQ(r[1], 0xFF);
  EXPECT_EQ(r[2], 0xFF);
  const unsigned a = r[0] << 10 | r[1] << 2 | ((r[2] >> 6) & 2);
  const unsigned b = (r[2] << 2) & 0x1FC;
  EXPECT_EQ(a, 0x3FFFEu);
  EXPECT_EQ(b, 0x1FCu);
}

// Manual mode: register 10 shows the selection whatever the inputs do; a
// lost selected input is flagged (its own type and "no reference") but the
// chip does not switch.
TEST_F(SimIcs872Sxx, ManualModeFollowsTheSelection) {
  struct Case {
    uint8_t select;
    unsigned input;
  };
  const Case cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 3}, {0, 1}};
  for (const Case& c : cases) {
    writeChip(4, static_cast<uint8_t>(kOutput8 | c.select));
    EXPECT_EQ(inUse(), c.input) << int(c.select);
    EXPECT_EQ(chip(10) & ~0x18, 0);
  }
  // A disabled input can still be selected by hand.
  writeChip(4, disabled(2) | 1);
  EXPECT_EQ(inUse(), 2u);

  writeChip(4, 0);
  ASSERT_TRUE(ravosim::failOscillator("a"));
  EXPECT_EQ(inUse(), 1u);
  EXPECT_EQ(chip(8), lost(1) | kNoReference);
  EXPECT_FALSE(output("err"));
  EXPECT_TRUE(output("irq"));  // interrupts are disabled after reset
  writeChip(1, 0x80);
  EXPECT_FALSE(output("irq"));
  // Selecting a running input by hand ends the condition of "no reference",
  // not its flag.
  writeChip(4, 1);
  EXPECT_EQ(inUse(), 2u);
  releaseFlags();
  EXPECT_EQ(chip(8), lost(1));
  EXPECT_TRUE(output("err"));
  EXPECT_FALSE(output("irq"));
}

// Automatic mode: when the input in use fails, the chip takes the
// lowest-numbered enabled running input, flags the loss and the switch-over
// and pulls its lines low; with no such input it stays.
TEST_F(SimIcs872Sxx, AutomaticModeSwitchesOver) {
  struct Case {
    const char* what;
    uint8_t inputs;  // register 4
    std::vector<const char*> fail;
    unsigned inUse;
    uint8_t errors;  // register 8
  };
  const Case cases[] = {
      {"input 1 lost: to input 2", kAutomatic | 0, {"a"}, 2, lost(1) | kSwitched},
      {"input 2 lost: back to input 1", kAutomatic | 1, {"b"}, 1, lost(2) | kSwitched},
      {"input 2 disabled: to input 3", kAutomatic | disabled(2) | 0, {"a"}, 3, lost(1) | kSwitched},
      {"disabled input's loss is not flagged", kAutomatic | disabled(2) | 0, {"b", "a"}, 3, lost(1) | kSwitched},
      {"input 3 and input 1 lost: to input 2", kAutomatic | 2, {"a", "c"}, 2, lost(1) | lost(3) | kSwitched},
      {"all lost: stays", kAutomatic | 0, {"b", "c", "a"}, 1, lost(1) | lost(2) | lost(3) | kNoReference},
      {"another input than the one in use lost", kAutomatic | 0, {"c"}, 1, lost(3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetMachine();
    writeChip(1, 0x80);  // interrupts enabled
    writeChip(4, c.inputs);
    EXPECT_EQ(inUse(), (c.inputs & 3u) + 1);
    EXPECT_EQ(chip(8), 0);
    for (const char* osc : c.fail) ASSERT_TRUE(ravosim::failOscillator(osc));
    EXPECT_EQ(inUse(), c.inUse);
    EXPECT_EQ(chip(8), c.errors);
    EXPECT_EQ(chip(9), 0);
    EXPECT_EQ(chip(4), c.inputs);  // the selection itself stays
    EXPECT_EQ(output("err"), (c.errors & (kSwitched | kNoReference)) == 0);
    EXPECT_FALSE(output("irq"));
    EXPECT_EQ(pins() & (pin(kErrPin) | pin(kIrqPin)),
              (c.errors & (kSwitched | kNoReference)) ? 0u : pin(kErrPin));
  }
  // Selecting a lost input in automatic mode switches away at once.
  ravosim::resetMachine();
  ASSERT_TRUE(ravosim::failOscillator("b"));
  writeChip(4, kAutomatic | 1);
  EXPECT_EQ(inUse(), 1u);
  EXPECT_EQ(chip(8), lost(2) | kSwitched);
}

// A switch-over seen the way the library sees it: requests armed on the
// wired pins fire. The chip does not switch back when the input returns;
// the latched flags stay until released.
TEST_F(SimIcs872Sxx, SwitchOverFiresTheWiredInterruptsAndIsNotUndone) {
  writeChip(1, 0x80);
  writeChip(4, kAutomatic);
  EXPECT_EQ(pins() & (pin(kErrPin) | pin(kIrqPin)), pin(kErrPin) | pin(kIrqPin));
  ravo_aio_cb* irq = armLow(pin(kIrqPin));
  EXPECT_TRUE(nothingCompleted());
  ASSERT_TRUE(ravosim::failOscillator("a"));
  ASSERT_EQ(completed(), irq);
  EXPECT_EQ(ravo_aiocb_status(irq, nullptr), RAVO_AIO_STATUS_DONE);
  EXPECT_EQ(ravo_aiocb_delete(irq, RAVO_AIOCB_DELETE_FREE), 0);
  // The err pin went low with it; its condition latched nothing yet, so a
  // request armed now fires at once.
  ravo_aio_cb* err = armLow(pin(kErrPin));
  ASSERT_EQ(completed(), err);
  EXPECT_EQ(ravo_aiocb_delete(err, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(inUse(), 2u);

  ASSERT_TRUE(ravosim::restoreOscillator("a"));
  EXPECT_EQ(inUse(), 2u);
  EXPECT_EQ(chip(8), lost(1) | kSwitched);
  releaseFlags();
  EXPECT_EQ(chip(8), 0);
  EXPECT_EQ(pins() & (pin(kErrPin) | pin(kIrqPin)), pin(kErrPin) | pin(kIrqPin));
  unsigned resets = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort, kChip, resets));
  EXPECT_EQ(resets, 1u);
}

// The reset-irq transfer releases the flags whose bits it writes; a
// condition that still holds sets its flag again at once, so the driver's
// loop (release until the count does not drop) ends. Plain writes release
// nothing.
TEST_F(SimIcs872Sxx, ResetIrqReleasesOnlyFlagsWhoseConditionIsGone) {
  writeChip(1, 0x80);
  writeChip(4, kAutomatic);
  ASSERT_TRUE(ravosim::failOscillator("a"));
  ASSERT_EQ(chip(8), lost(1) | kSwitched);
  const uint8_t zero[2] = {0, 0};
  ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 8, kRelease, 2), 2);
  ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 8, zero, 2), 2);
  EXPECT_EQ(chip(8), lost(1) | kSwitched);

  // The driver's loop: the switch-over flag goes, input 1's loss stays.
  unsigned before = flagCount(), steps = 0;
  for (;;) {
    releaseFlags();
    ++steps;
    const unsigned now = flagCount();
    if (now == 0 || now >= before) break;
    before = now;
  }
  EXPECT_EQ(steps, 2u);
  EXPECT_EQ(chip(8), lost(1));
  EXPECT_TRUE(output("err"));
  EXPECT_FALSE(output("irq"));

  // Only the bits written are released, by their register.
  ASSERT_TRUE(ravosim::restoreOscillator("a"));
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, kChip, 9, offFrequency(2)));
  const uint8_t onlyRegister9 = 0x07;
  ASSERT_EQ(ravo_siic_reset_irq(m_i2c, kChip, 9, &onlyRegister9, 1), 1);
  EXPECT_EQ(chip(8), lost(1));
  EXPECT_EQ(chip(9), 0);
  const uint8_t otherBit = lost(2);
  releaseFlags(&otherBit, 1);
  EXPECT_EQ(chip(8), lost(1));
  releaseFlags();
  EXPECT_EQ(chip(8), 0);
  EXPECT_TRUE(output("irq"));
}

// The frequency check: with the check enabled, a running input more than
// value B ppm off its nominal frequency sets its second flag; in automatic
// mode it counts as bad for the input in use.
TEST_F(SimIcs872Sxx, FrequencyCheckFlagsDriftBeyondValueB) {
  struct Case {
    const char* what;
    uint8_t inputs;
    uint8_t checkB;  // register 7: tolerance = value << 2 ppm
    const char* osc;
    int32_t ppm;
    uint8_t errors;    // register 8
    uint8_t errors2;   // register 9
    unsigned inUse;
  };
  const Case cases[] = {
      {"within the tolerance", kCheck, 25, "a", 100, 0, 0, 1},
      {"beyond it", kCheck, 25, "a", 101, 0, offFrequency(1), 1},
      {"below nominal", kCheck, 25, "b", -150, 0, offFrequency(2), 1},
      {"check disabled", 0, 25, "a", 400, 0, 0, 1},
      {"tolerance 0: any drift", kCheck, 0, "c", 1, 0, offFrequency(3), 1},
      {"disabled input", kCheck | disabled(3), 0, "c", 1, 0, 0, 1},
      {"automatic mode leaves a drifting input", kCheck | kAutomatic, 25, "a", 200, kSwitched, offFrequency(1), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetMachine();
    writeChip(7, c.checkB);
    writeChip(4, c.inputs);
    ASSERT_TRUE(ravosim::setOscillatorDrifting(c.osc, c.ppm));
    EXPECT_EQ(chip(8), c.errors);
    EXPECT_EQ(chip(9), c.errors2);
    EXPECT_EQ(inUse(), c.inUse);
  }
  // Enabling the check on a drifting input flags it; disabling it ends the
  // condition, the flag stays until released.
  ravosim::resetMachine();
  ASSERT_TRUE(ravosim::setOscillatorDrifting("b", 50));
  EXPECT_EQ(chip(9), 0);
  writeChip(4, kCheck);
  EXPECT_EQ(chip(9), offFrequency(2));
  releaseFlags();
  EXPECT_EQ(chip(9), offFrequency(2));
  writeChip(4, 0);
  releaseFlags();
  EXPECT_EQ(chip(9), 0);
  // A failed oscillator is lost, not off frequency.
  writeChip(4, kCheck);
  ASSERT_TRUE(ravosim::failOscillator("b"));
  EXPECT_EQ(chip(8), lost(2));
  EXPECT_EQ(chip(9), offFrequency(2));  // latched from before the failure
  releaseFlags();
  EXPECT_EQ(chip(9), 0);
}

// A pulse on the master reset input (the library's GPIO output) brings every
// register back to its reset value; conditions that hold are flagged again.
TEST_F(SimIcs872Sxx, MasterResetPulseRestoresTheResetValues) {
  const uint8_t values[10] = {0xC7, 0, 0x0F, kAutomatic | kCheck | 2, 0x11, 0x22, 0x33, 0, 0, 0};
  ASSERT_EQ(ravo_siic_write(m_i2c, kChip, 1, values, 10), 10);
  ASSERT_TRUE(ravosim::failOscillator("c"));
  EXPECT_EQ(inUse(), 1u);
  EXPECT_EQ(chip(8), lost(3) | kSwitched);
  pulseReset();
  bool level = true;
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, kChip, "reset", level));
  EXPECT_FALSE(level);
  // Input 3's loss is flagged again: all inputs are enabled after reset.
  uint8_t expected[16];
  std::copy(kResetValues, kResetValues + 16, expected);
  expected[8] = lost(3);
  expectRegisters(expected, 0, 16);
  EXPECT_TRUE(output("err"));
  EXPECT_TRUE(output("irq"));

  // With input 1 lost the reset state has no reference clock.
  ASSERT_TRUE(ravosim::failOscillator("a"));
  writeChip(1, 0x80);
  pulseReset();
  EXPECT_EQ(chip(1), 0x00);
  EXPECT_EQ(chip(8), lost(1) | lost(3) | kNoReference);
  EXPECT_FALSE(output("err"));
  EXPECT_TRUE(output("irq"));
}

// Without supply the chip does not answer and both lines float high, flags
// or not; with the supply back it starts from its reset state.
TEST_F(SimIcs872Sxx, UnpoweredChipNacksAndReleasesItsLines) {
  writeChip(1, 0x80);
  writeChip(4, kAutomatic);
  ASSERT_TRUE(ravosim::failOscillator("a"));
  ASSERT_EQ(pins() & (pin(kErrPin) | pin(kIrqPin)), 0u);
  ASSERT_TRUE(ravosim::cutSupply("vdd"));
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_i2c, kChip, 1, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  errno = 0;
  EXPECT_EQ(ravo_siic_write(m_i2c, kChip, 1, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  errno = 0;
  EXPECT_EQ(ravo_siic_reset_irq(m_i2c, kChip, 8, kRelease, 2), -1);
  EXPECT_EQ(errno, ENXIO);
  EXPECT_TRUE(output("err"));
  EXPECT_TRUE(output("irq"));
  EXPECT_EQ(pins() & (pin(kErrPin) | pin(kIrqPin)), pin(kErrPin) | pin(kIrqPin));
  // A reset pulse while unpowered changes nothing.
  pulseReset();
  ASSERT_TRUE(ravosim::restoreSupply("vdd"));
  EXPECT_EQ(chip(1), 0x00);
  EXPECT_EQ(chip(4), 0x80);
  EXPECT_EQ(inUse(), 1u);
  EXPECT_EQ(chip(8), lost(1) | kNoReference);
  EXPECT_FALSE(output("err"));
  EXPECT_TRUE(output("irq"));
}

// The default machine: a chip at 0xB0 on each oscillator card, powered by
// the card's supply (engine 8 pin 4), inputs 1 and 2 from its own
// oscillators and input 3 from the other card's first one; its lines on
// pins 5 and 6 and its master reset on pin 7 of the card's engine 8.
TEST_F(SimIcs872Sxx, DefaultMachineWiring) {
  loadDefaultMachine();
  struct Card {
    const char* port;
    const char* gpio;
    const char* own;    // the card's oscillator on input 1
    const char* spare;  // the card's oscillator on input 2
  };
  const Card cards[] = {
      {"/dev/iic/L01C0E05P00", "/dev/gpio/L01C0E08", "osc0.a", "osc0.b"},
      {"/dev/iic/L02C0E05P00", "/dev/gpio/L02C0E08", "osc1.a", "osc1.b"},
  };
  for (const Card& c : cards) {
    SCOPED_TRACE(c.port);
    // Unpowered until the card's supply is switched on.
    bool powered = true;
    ASSERT_TRUE(ravosim::devicePowered(c.port, kChip, powered));
    EXPECT_FALSE(powered);
    EXPECT_EQ(pins(c.gpio) & (pin(kErrPin) | pin(kIrqPin)), pin(kErrPin) | pin(kIrqPin));
    switchSupplyOn(c.gpio);
    ASSERT_TRUE(ravosim::devicePowered(c.port, kChip, powered));
    EXPECT_TRUE(powered);
    open(c.port);
    expectRegisters(kResetValues + 1, 1, 10);
    // The placeholder register file at 0xD0 is still there.
    uint8_t v = 0xEE;
    EXPECT_EQ(ravo_siic_read(m_i2c, 0xD0, 0, &v, 1), 1);
    EXPECT_EQ(v, 0);
    // Inputs 1 and 2 are the card's own oscillators.
    writeChip(1, 0x80);
    writeChip(4, kAutomatic);
    ASSERT_TRUE(ravosim::failOscillator(c.own));
    EXPECT_EQ(inUse(), 2u);
    ASSERT_TRUE(ravosim::failOscillator(c.spare));
    EXPECT_EQ(inUse(), 3u);
    EXPECT_EQ(chip(8), lost(1) | lost(2) | kSwitched);
    EXPECT_EQ(pins(c.gpio) & (pin(kErrPin) | pin(kIrqPin)), 0u);
    ASSERT_TRUE(ravosim::restoreOscillator(c.own));
    ASSERT_TRUE(ravosim::restoreOscillator(c.spare));
    // The master reset on pin 7.
    pulseReset(c.gpio);
    expectRegisters(kResetValues + 1, 1, 10);
    EXPECT_EQ(pins(c.gpio) & (pin(kErrPin) | pin(kIrqPin)), pin(kErrPin) | pin(kIrqPin));
    close();
  }
  // Input 3 of each chip is the other card's first oscillator, lost as
  // well while that card is pulled.
  struct Cross {
    const char* port;
    const char* gpio;
    const char* fail;
    unsigned link;  // the card pulled
  };
  const Cross crosses[] = {
      {"/dev/iic/L01C0E05P00", "/dev/gpio/L01C0E08", "osc1.a", 2},
      {"/dev/iic/L02C0E05P00", "/dev/gpio/L02C0E08", "osc0.a", 1},
  };
  for (const Cross& x : crosses) {
    SCOPED_TRACE(x.port);
    switchSupplyOn(x.gpio);  // a pulled card comes back with its supply off
    open(x.port);
    writeChip(4, 2);
    releaseFlags();
    EXPECT_EQ(chip(8), 0);
    ASSERT_TRUE(ravosim::failOscillator(x.fail));
    EXPECT_EQ(chip(8), lost(3) | kNoReference);
    ASSERT_TRUE(ravosim::restoreOscillator(x.fail));
    releaseFlags();
    EXPECT_EQ(chip(8), 0);
    ASSERT_TRUE(ravosim::removeCfam(x.link, 0));
    EXPECT_EQ(chip(8), lost(3) | kNoReference);
    ASSERT_TRUE(ravosim::insertCfam(x.link, 0));
    releaseFlags();
    EXPECT_EQ(chip(8), 0);
    close();
  }
}

}  // namespace
