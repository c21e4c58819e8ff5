// Device models of the simulated machine: register semantics of the
// framework, a small chip model registered by the test (two oscillator
// inputs, a reset input, an alert and a lock output), its signals wired to
// GPIO pins and interrupt requests, supplies, oscillators and the control
// calls that drive them, and all of it from several threads at once.
#include <fcntl.h>
#include <stdlib.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/SimDeviceModel.h"
#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

// A clock switch with two inputs. Registers:
//   0 control  bit 0 selected input (0 = in1, 1 = in2), bit 7 alert enable,
//              bits 5..4 reserved
//   1 status   read only: bit 0 in1 lost, bit 1 in2 lost, bit 4 active input
//   2 flags    write-one-to-clear: bit 0 in1 was lost, bit 1 in2 was lost,
//              bit 2 switched over
//   3 command  bit 0 self-clearing: clear all flags
//   4..5       switch-over count (16 bits, read only, cleared by reading it)
// An input drifting more than `tolerance-ppm` counts as lost. When the
// active input is lost and the other runs, the chip switches over. `alert`
// is low while a flag is set and enabled (open drain, high without supply);
// `lock` is high while the active input runs; `reset` high resets the chip.
class TestSwitch : public ravosim::DeviceModel {
 public:
  explicit TestSwitch(uint32_t tolerancePpm) : DeviceModel("test-switch", 8), m_tolerance(tolerancePpm) {
    const ravosim::Register map[] = {
        {"control", 0, 1, 0x80, 0, 0, 0, 0x30},
        {"status", 1, 1, 0, 0xFF, 0, 0, 0},
        {"flags", 2, 1, 0, 0xF8, 0x07, 0, 0},
        {"command", 3, 1, 0, 0, 0, 0x01, 0},
        {"count", 4, 2, 0, 0xFFFF, 0, 0, 0},
    };
    std::string error;
    for (const ravosim::Register& r : map)
      if (!addRegister(r, error)) std::abort();
    m_in[0] = addClockInput("in1");
    m_in[1] = addClockInput("in2");
    m_reset = addInput("reset");
    addOutput("alert", [this] { return !((reg(2) & 0x07) && (reg(0) & 0x80)); }, true);
    addOutput("lock", [this] { return !lost(active()); });
  }

 protected:
  void onReset() override { update(); }
  void onWrite(uint32_t offset, uint32_t) override {
    if (offset == 3 && (reg(3) & 1)) setReg(2, 0);
    update();
  }
  void onRead(uint32_t offset) override {
    if (offset == 4) setReg(4, 0);
  }
  void onClock(unsigned) override { update(); }
  void onInput(unsigned index, bool level) override {
    if (index == m_reset && level) reset();
  }

 private:
  unsigned active() const { return reg(0) & 1; }
  bool lost(unsigned i) const {
    const ravosim::ClockSignal& c = clock(m_in[i]);
    return !c.running() || static_cast<uint32_t>(std::abs(c.driftPpm)) > m_tolerance;
  }
  void update() {
    uint32_t status = 0, flags = reg(2);
    for (unsigned i = 0; i < 2; ++i) {
      if (!lost(i)) continue;
      status |= 1u << i;
      flags |= 1u << i;
    }
    if (lost(active()) && !lost(1 - active())) {
      setReg(0, reg(0) ^ 1);
      flags |= 4;
      setReg(4, reg(4) + 1);
    }
    setReg(1, status | (active() << 4));
    setReg(2, flags);
  }

  uint32_t m_tolerance;
  unsigned m_in[2] = {};
  unsigned m_reset = 0;
};

const bool registered =
    ravosim::registerDeviceModel("test-switch", [](ravosim::ModelArgs& args) -> std::unique_ptr<ravosim::DeviceModel> {
      uint32_t tolerance = 0;
      if (!args.number("tolerance-ppm", tolerance, 100000, 100)) return nullptr;
      return std::make_unique<TestSwitch>(tolerance);
    });

const char* const kMachine = R"(<machine name="model-test">
  <supply name="vdd" wire="/dev/gpio/L00C0E09:6"/>
  <cfam link="0" cascade="0">
    <gpio number="8">
      <pin n="3" wire="/dev/iic/L00C0E05P01:0x40:alert"/>
      <pin n="4" wire="/dev/iic/L00C0E05P01:0x40:lock"/>
    </gpio>
    <gpio number="9">
      <pin n="6" level="1"/>
    </gpio>
    <i2c number="5" ports="2">
      <device port="1" address="0x40" model="test-switch" supply="vdd" tolerance-ppm="50">
        <input name="in1" oscillator="osc-a"/>
        <input name="in2" oscillator="osc-b"/>
        <input name="reset" wire="/dev/gpio/L00C0E09:5"/>
      </device>
      <!-- Held in reset while the first chip's alert is low. -->
      <device port="1" address="0x41" model="test-switch">
        <input name="reset" wire="/dev/iic/L00C0E05P01:0x40:alert" invert="yes"/>
      </device>
      <device port="0" address="0x50" size="16">
        <register name="id" offset="0" reset="0xA5" readonly="0xFF"/>
        <register name="mode" offset="1" reset="0x80" reserved="0x0C"/>
        <register name="irq" offset="2" reset="0xFF" w1c="0x0F" readonly="0x30"/>
        <register name="go" offset="3" sc="0x01"/>
        <register name="wide" offset="4" width="2" reset="0x1234" readonly="0xF000"/>
        <register offset="8" width="4" count="2" reset="0xCAFE0000"/>
      </device>
    </i2c>
  </cfam>
  <cfam link="1" cascade="0">
    <oscillator name="osc-a" khz="25000"/>
  </cfam>
  <cfam link="2" cascade="0">
    <oscillator name="osc-b" khz="25000"/>
    <oscillator name="osc-spare" khz="50000" state="drifting" drift-ppm="-20"/>
  </cfam>
</machine>)";

constexpr uint32_t pin(unsigned n) { return 0x80000000u >> n; }
const char* const kPort = "/dev/iic/L00C0E05P01";
const char* const kFilePort = "/dev/iic/L00C0E05P00";
const char* const kPins = "/dev/gpio/L00C0E08";
const char* const kControl = "/dev/gpio/L00C0E09";

class SimModel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registered);
    char tmpl[] = "/tmp/ravo-sim-model-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "model-test.xml"));
    m_i2c = ravo_iic_open(kPort, O_RDWR | O_SYNC);
    ASSERT_NE(m_i2c, nullptr);
    m_file = ravo_iic_open(kFilePort, O_RDWR | O_SYNC);
    ASSERT_NE(m_file, nullptr);
  }
  void TearDown() override {
    for (ravo_struct* h : {m_i2c, m_file}) {
      if (h) {
        EXPECT_EQ(ravo_iic_close(h), 0);
      }
    }
    for (ravo_struct* h : {m_gpio, m_control}) {
      if (h) {
        EXPECT_EQ(ravo_gpio_close(h), 0);
      }
    }
    if (m_ctx) {
      EXPECT_EQ(ravo_aio_ctx_destroy(m_ctx), 0);
    }
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }

  uint8_t chip(unsigned r) {
    uint8_t v = 0xEE;
    EXPECT_EQ(ravo_siic_read(m_i2c, 0x40, static_cast<uint8_t>(r), &v, 1), 1) << r;
    return v;
  }
  void writeChip(unsigned r, uint8_t v) { ASSERT_EQ(ravo_siic_write(m_i2c, 0x40, static_cast<uint8_t>(r), &v, 1), 1); }
  uint32_t pins() {
    uint32_t v = 0;
    EXPECT_TRUE(ravosim::readPinLevels(kPins, v));
    return v;
  }
  bool output(const char* name) {
    bool level = false;
    EXPECT_TRUE(ravosim::readDeviceOutput(kPort, 0x40, name, level)) << name;
    return level;
  }
  // Arms an interrupt request on the pins engine: fires when `pinMask` is
  // low (low = true) or high.
  ravo_aio_cb* arm(uint32_t pinMask, bool low) {
    if (!m_ctx) m_ctx = ravo_aio_ctx_create(8);
    if (!m_gpio) m_gpio = ravo_gpio_open(kPins, O_RDWR);
    EXPECT_NE(m_gpio, nullptr);
    return testsupport::submitGpioRequest(m_ctx, m_gpio, low ? 0 : pinMask, low ? pinMask : 0);
  }
  // The next completed request, waiting at most a few seconds.
  ravo_aio_cb* completed() { return testsupport::nextCompletedRequest(m_ctx, 5); }
  bool nothingCompleted() { return testsupport::nextCompletedRequest(m_ctx, 0) == nullptr; }
  void driveControlPin(unsigned n, bool high) {
    if (!m_control) m_control = ravo_gpio_open(kControl, O_RDWR);
    ASSERT_NE(m_control, nullptr);
    ASSERT_EQ(ravo_gpio_set_mode(m_control, pin(n), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
    ASSERT_EQ(ravo_gpio_write_output_pins(m_control, pin(n), high ? pin(n) : 0), 0);
  }

  std::string m_dir;
  ravo_struct* m_i2c = nullptr;
  ravo_struct* m_file = nullptr;
  ravo_struct* m_gpio = nullptr;
  ravo_struct* m_control = nullptr;
  ravo_aio_ctx* m_ctx = nullptr;
};

// Register semantics of the framework, through bus transfers on a register
// file described in XML: one write of one byte and what reads back.
TEST_F(SimModel, RegisterBitsBehaveAsDescribed) {
  struct Case {
    const char* what;
    uint8_t offset;
    uint8_t before;  // poked first
    uint8_t write;
    uint8_t after;
  };
  const Case cases[] = {
      {"read-only register ignores writes", 0, 0xA5, 0x00, 0xA5},
      {"reserved bits read 0 and ignore writes", 1, 0x80, 0xFF, 0xF3},
      {"written ones clear w1c bits, read-only bits stay", 2, 0xFF, 0x05, 0x3A},
      {"written zeros leave w1c bits", 2, 0x3F, 0x00, 0x3F},
      {"self-clearing bit reads 0 after the write", 3, 0x00, 0x03, 0x02},
      {"high byte of a 2-byte register: read-only nibble", 4, 0x12, 0xAB, 0x1B},
      {"low byte of a 2-byte register", 5, 0x34, 0x56, 0x56},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetMachine();
    ASSERT_TRUE(ravosim::pokeI2cRegister(kFilePort, 0x50, c.offset, c.before));
    ASSERT_EQ(ravo_siic_write(m_file, 0x50, c.offset, &c.write, 1), 1);
    uint8_t back = 0;
    ASSERT_EQ(ravo_siic_read(m_file, 0x50, c.offset, &back, 1), 1);
    EXPECT_EQ(back, c.after);
  }
  // Reset values of wide registers go most significant byte first; a range
  // of wide registers repeats the reset value.
  ravosim::resetMachine();
  uint8_t bytes[10] = {};
  ASSERT_EQ(ravo_siic_read(m_file, 0x50, 4, bytes, 10), 10);
  const uint8_t expected[10] = {0x12, 0x34, 0, 0, 0xCA, 0xFE, 0, 0, 0xCA, 0xFE};
  for (unsigned i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
  // The chip's offsets 6..7 have no register: they read 0 and take writes
  // silently.
  const uint8_t junk[2] = {0xFF, 0xFF};
  ASSERT_EQ(ravo_siic_write(m_i2c, 0x40, 6, junk, 2), 2);
  EXPECT_EQ(chip(6), 0);
  uint8_t v = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(kPort, 0x40, 7, v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(ravosim::pokeI2cRegister(kPort, 0x40, 6, 1));
}

TEST_F(SimModel, BehavioursReactToWritesAndReads) {
  EXPECT_EQ(chip(0), 0x80);  // in1 selected, alert enabled
  EXPECT_EQ(chip(1), 0x00);
  // Selecting in2 by hand: the status follows. Reserved bits stay 0.
  writeChip(0, 0xB1);
  EXPECT_EQ(chip(0), 0x81);
  EXPECT_EQ(chip(1), 0x10);
  // A flag set from outside; the command's self-clearing bit clears it.
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, 0x40, 2, 0x04));
  writeChip(3, 0x01);
  EXPECT_EQ(chip(3), 0x00);
  EXPECT_EQ(chip(2), 0x00);
  // Reading the counter clears it: a read with a side effect.
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, 0x40, 5, 0x07));
  uint8_t count[2] = {};
  ASSERT_EQ(ravo_siic_read(m_i2c, 0x40, 4, count, 2), 2);
  EXPECT_EQ(count[1], 0x07);
  ASSERT_EQ(ravo_siic_read(m_i2c, 0x40, 4, count, 2), 2);
  EXPECT_EQ(count[1], 0x00);
  // Beyond the 8-byte space the chip does not acknowledge.
  errno = 0;
  uint8_t b = 0;
  EXPECT_EQ(ravo_siic_read(m_i2c, 0x40, 8, &b, 1), -1);
  EXPECT_EQ(errno, EIO);
}

// Failing the active oscillator: the chip switches over, sets its flags,
// pulls its alert line low and the pin wired to it raises the interrupt.
// Releasing the flags the way a driver does (reset-irq write of ones)
// releases the line.
TEST_F(SimModel, FailedOscillatorSwitchesOverAndRaisesTheAlertInterrupt) {
  EXPECT_EQ(pins() & (pin(3) | pin(4)), pin(3) | pin(4));  // alert inactive (high), locked
  ravo_aio_cb* cb = arm(pin(3), true);
  EXPECT_TRUE(nothingCompleted());
  std::thread failer([] { EXPECT_TRUE(ravosim::failOscillator("osc-a")); });
  ravo_aio_cb* done = completed();
  failer.join();
  ASSERT_EQ(done, cb);
  EXPECT_EQ(ravo_aiocb_status(done, nullptr), RAVO_AIO_STATUS_DONE);
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(chip(0), 0x81);  // switched to in2
  EXPECT_EQ(chip(1), 0x11);  // in1 lost, in2 active
  EXPECT_EQ(chip(2), 0x05);  // in1 was lost, switched over
  EXPECT_EQ(pins() & (pin(3) | pin(4)), pin(4));
  EXPECT_FALSE(output("alert"));
  bool in1 = true;
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, 0x40, "in1", in1));
  EXPECT_FALSE(in1);

  // Restored, in1 runs again but the chip stays on in2; the flags stay
  // until cleared.
  ASSERT_TRUE(ravosim::restoreOscillator("osc-a"));
  EXPECT_EQ(chip(1), 0x10);
  EXPECT_EQ(chip(2), 0x05);
  const uint8_t clear = 0x07;
  ASSERT_EQ(ravo_siic_reset_irq(m_i2c, 0x40, 2, &clear, 1), 1);
  EXPECT_EQ(chip(2), 0x00);
  EXPECT_TRUE(output("alert"));
  EXPECT_EQ(pins() & pin(3), pin(3));

  // Both inputs lost: nothing to switch to, the lock output drops.
  ravo_aio_cb* unlocked = arm(pin(4), true);
  ASSERT_TRUE(ravosim::failOscillator("osc-a"));
  EXPECT_TRUE(nothingCompleted());
  ASSERT_TRUE(ravosim::failOscillator("osc-b"));
  ASSERT_EQ(completed(), unlocked);
  EXPECT_EQ(ravo_aiocb_delete(unlocked, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(chip(1), 0x13);
  EXPECT_EQ(chip(0) & 1, 1);
}

TEST_F(SimModel, DriftBeyondTheToleranceCountsAsLoss) {
  struct Case {
    int32_t ppm;
    bool switched;
  };
  const Case cases[] = {{30, false}, {-50, false}, {51, true}, {-400, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ppm);
    ravosim::resetMachine();
    ASSERT_TRUE(ravosim::setOscillatorDrifting("osc-a", c.ppm));
    ravosim::OscillatorState s = ravosim::OscillatorState::Running;
    int32_t ppm = 0;
    ASSERT_TRUE(ravosim::oscillatorState("osc-a", s, ppm));
    EXPECT_EQ(s, ravosim::OscillatorState::Drifting);
    EXPECT_EQ(ppm, c.ppm);
    EXPECT_EQ(chip(0) & 1, c.switched ? 1 : 0);
    EXPECT_EQ(output("alert"), !c.switched);
  }
  // The description's own state and drift.
  ravosim::OscillatorState s = ravosim::OscillatorState::Running;
  int32_t ppm = 0;
  ASSERT_TRUE(ravosim::oscillatorState("osc-spare", s, ppm));
  EXPECT_EQ(s, ravosim::OscillatorState::Drifting);
  EXPECT_EQ(ppm, -20);
  EXPECT_FALSE(ravosim::failOscillator("osc-none"));
}

// The oscillator of an absent card looks failed; the chip acts on it.
TEST_F(SimModel, OscillatorOfARemovedCardIsLost) {
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  EXPECT_EQ(chip(0) & 1, 1);
  EXPECT_EQ(chip(2) & 0x05, 0x05);
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  EXPECT_EQ(chip(1), 0x10);
}

// Without supply the chip does not answer and its open-drain alert floats
// high; with the supply back it starts from its reset state. The supply
// follows its enable pin, driven by a GPIO output.
TEST_F(SimModel, SupplyCutNacksAndRestoresTheResetState) {
  ASSERT_TRUE(ravosim::failOscillator("osc-a"));
  EXPECT_EQ(chip(0), 0x81);
  EXPECT_FALSE(output("alert"));
  struct Cut {
    const char* what;
    std::function<void()> cut;
    std::function<void()> restore;
  };
  const Cut cuts[] = {
      {"control interface", [] { ASSERT_TRUE(ravosim::cutSupply("vdd")); },
       [] { ASSERT_TRUE(ravosim::restoreSupply("vdd")); }},
      {"enable pin", [this] { driveControlPin(6, false); }, [this] { driveControlPin(6, true); }},
  };
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.what);
    writeChip(0, 0x81);
    c.cut();
    bool on = true, powered = true;
    ASSERT_TRUE(ravosim::supplyOn("vdd", on));
    EXPECT_FALSE(on);
    ASSERT_TRUE(ravosim::devicePowered(kPort, 0x40, powered));
    EXPECT_FALSE(powered);
    uint8_t b = 0;
    errno = 0;
    EXPECT_EQ(ravo_siic_read(m_i2c, 0x40, 0, &b, 1), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(ravo_siic_write(m_i2c, 0x40, 0, &b, 1), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_TRUE(output("alert"));   // unpowered: pulled up
    EXPECT_FALSE(output("lock"));
    c.restore();
    // osc-a is still failed: after the reset the chip selects in1, sees it
    // lost and switches over again.
    EXPECT_EQ(chip(0), 0x81);
    EXPECT_EQ(chip(2), 0x05);
    uint8_t count[2] = {0xEE, 0xEE};
    ASSERT_EQ(ravo_siic_read(m_i2c, 0x40, 4, count, 2), 2);
    EXPECT_EQ(count[0], 0x00);
    EXPECT_EQ(count[1], 0x01);  // one switch-over since the reset
  }
  EXPECT_FALSE(ravosim::cutSupply("none"));
}

// A GPIO output drives the chip's reset input; a test can drive it too, and
// force an output the way a stuck line would be.
TEST_F(SimModel, InputsFollowTheirWiresAndTheControlInterface) {
  writeChip(0, 0x01);
  driveControlPin(5, true);
  bool level = false;
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, 0x40, "reset", level));
  EXPECT_TRUE(level);
  EXPECT_EQ(chip(0), 0x80);
  driveControlPin(5, false);

  // Driven from the control interface, the wire is ignored until released.
  writeChip(0, 0x01);
  ASSERT_TRUE(ravosim::driveDeviceInput(kPort, 0x40, "reset", true));
  EXPECT_EQ(chip(0), 0x80);
  writeChip(0, 0x01);
  driveControlPin(5, true);  // already high as far as the chip is concerned
  driveControlPin(5, false);
  EXPECT_EQ(chip(0), 0x01);
  ASSERT_TRUE(ravosim::releaseDeviceInput(kPort, 0x40, "reset"));
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, 0x40, "reset", level));
  EXPECT_FALSE(level);

  // A forced output reaches the pin and pending requests.
  ravo_aio_cb* cb = arm(pin(3), true);
  ASSERT_TRUE(ravosim::forceDeviceOutput(kPort, 0x40, "alert", false));
  ASSERT_EQ(completed(), cb);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(pins() & pin(3), 0u);
  ASSERT_TRUE(ravosim::releaseDeviceOutput(kPort, 0x40, "alert"));
  EXPECT_EQ(pins() & pin(3), pin(3));

  // Names the model does not have, and clock inputs, cannot be driven.
  EXPECT_FALSE(ravosim::driveDeviceInput(kPort, 0x40, "in1", true));
  EXPECT_FALSE(ravosim::driveDeviceInput(kPort, 0x40, "strobe", true));
  EXPECT_FALSE(ravosim::readDeviceOutput(kPort, 0x40, "alarm", level));
  EXPECT_FALSE(ravosim::forceDeviceOutput(kPort, 0x42, "alert", true));
}

// One chip's output drives another chip's input.
TEST_F(SimModel, DeviceOutputDrivesAnotherDevicesInput) {
  const uint8_t select2 = 0x01;
  ASSERT_EQ(ravo_siic_write(m_i2c, 0x41, 0, &select2, 1), 1);
  bool reset = true;
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, 0x41, "reset", reset));
  EXPECT_FALSE(reset);
  ASSERT_TRUE(ravosim::failOscillator("osc-a"));  // first chip's alert goes low
  ASSERT_TRUE(ravosim::readDeviceInput(kPort, 0x41, "reset", reset));
  EXPECT_TRUE(reset);
  uint8_t control = 0;
  ASSERT_EQ(ravo_siic_read(m_i2c, 0x41, 0, &control, 1), 1);
  EXPECT_EQ(control, 0x80);
}

// A removed device leaves its lines at their unpowered levels.
TEST_F(SimModel, RemovedDeviceReleasesItsLines) {
  ASSERT_TRUE(ravosim::failOscillator("osc-a"));
  EXPECT_EQ(pins() & pin(3), 0u);
  ravo_aio_cb* cb = arm(pin(3), false);
  ASSERT_TRUE(ravosim::removeI2cDevice(kPort, 0x40));
  ASSERT_EQ(completed(), cb);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(pins() & (pin(3) | pin(4)), pin(3));
  ASSERT_TRUE(ravosim::insertI2cDevice(kPort, 0x40));
  EXPECT_EQ(pins() & pin(3), 0u);  // reset, sees osc-a lost, switches again
}

TEST_F(SimModel, DescriptionErrorsOfModelsNameFileAndLine) {
  const std::string head =
      "<machine>\n<cfam link=\"1\" cascade=\"0\">\n<oscillator name=\"o\" khz=\"100\"/>\n<i2c number=\"5\">\n";
  const std::string tail = "</i2c>\n</cfam>\n</machine>";
  struct Case {
    const char* what;
    const char* device;  // from line 5
    unsigned line;
    const char* text;
  };
  const Case cases[] = {
      {"model attribute not a number", "<device port=\"0\" address=\"1\" model=\"test-switch\" tolerance-ppm=\"x\"/>\n",
       5, "attribute 'tolerance-ppm' of <device> is not a number"},
      {"model attribute out of range",
       "<device port=\"0\" address=\"1\" model=\"test-switch\" tolerance-ppm=\"100001\"/>\n", 5, "out of range"},
      {"attribute of another model", "<device port=\"0\" address=\"1\" model=\"test-switch\" size=\"16\"/>\n", 5,
       "unknown attribute 'size' of <device> (model 'test-switch')"},
      {"register map of a built-in model",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<register offset=\"0\"/></device>\n", 6,
       "takes no <register>"},
      {"unknown input", "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in3\" oscillator=\"o\"/>"
                        "</device>\n",
       6, "model 'test-switch' has no input 'in3'"},
      {"clock input with a wire",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" wire=\"cfam:L01C0\"/></device>\n", 6,
       "takes an oscillator, not a wire"},
      {"digital input with an oscillator",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"reset\" oscillator=\"o\"/></device>\n", 6,
       "takes a wire, not an oscillator"},
      {"input wired twice",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" oscillator=\"o\"/>\n"
       "<input name=\"in1\" oscillator=\"o\"/></device>\n",
       7, "wired twice"},
      {"missing oscillator",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" oscillator=\"p\"/></device>\n", 6,
       "names oscillator 'p', which the machine does not have"},
      {"clock input with an oscillator and a device's clock",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" oscillator=\"o\" "
       "clock=\"/dev/iic/L01C0E05P00:0x1:out\"/></device>\n",
       6, "takes an oscillator or a device's clock, not both"},
      {"clock input following a pin",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" clock=\"/dev/gpio/L01C0E08:1\"/>"
       "</device>\n",
       6, "does not name a device's clock output"},
      {"clock input following a clock output the device does not have",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"in1\" "
       "clock=\"/dev/iic/L01C0E05P00:0x1:out\"/></device>\n",
       6, "follows /dev/iic/L01C0E05P00:0x1:out, a clock output the machine does not have"},
      {"digital input following a clock",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"reset\" "
       "clock=\"/dev/iic/L01C0E05P00:0x1:out\"/></device>\n",
       6, "takes a wire, not an oscillator"},
      {"input wired to a missing pin",
       "<device port=\"0\" address=\"1\" model=\"test-switch\">\n<input name=\"reset\" wire=\"/dev/gpio/L01C0E09:1\"/>"
       "</device>\n",
       6, "which the machine does not have"},
      {"missing supply", "<device port=\"0\" address=\"1\" model=\"test-switch\" supply=\"vcc\"/>\n", 5,
       "supply 'vcc' is not described"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::LoadResult r = ravosim::loadMachineText(head + c.device + tail, "models.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, c.line);
    EXPECT_NE(r.message.find(c.text), std::string::npos) << r.message;
    EXPECT_EQ(r.message.rfind("models.xml:" + std::to_string(c.line) + ": ", 0), 0u) << r.message;
  }
  // A name is registered once.
  EXPECT_FALSE(ravosim::registerDeviceModel("test-switch", [](ravosim::ModelArgs&) {
    return std::unique_ptr<ravosim::DeviceModel>();
  }));
  EXPECT_FALSE(ravosim::registerDeviceModel("registers", [](ravosim::ModelArgs&) {
    return std::unique_ptr<ravosim::DeviceModel>();
  }));
}

// Register transfers, oscillator failures, supply cuts, pin drives and
// interrupt requests from several threads at once; the machine lock keeps
// the models consistent (run under the tsan preset).
TEST_F(SimModel, ConcurrentTransfersSignalsAndRequests) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    ravo_struct* h = ravo_iic_open(kPort, O_RDWR);
    for (unsigned i = 0; i < 400; ++i) {
      uint8_t v = static_cast<uint8_t>(i & 1 ? 0x81 : 0x80);
      ravo_siic_write(h, 0x40, 0, &v, 1);  // NACKs while the supply is cut
      const uint8_t clear = 0x07;
      ravo_siic_reset_irq(h, 0x40, 2, &clear, 1);
    }
    ravo_iic_close(h);
  });
  threads.emplace_back([&] {
    for (unsigned i = 0; i < 200; ++i) {
      ravosim::failOscillator(i & 1 ? "osc-a" : "osc-b");
      ravosim::restoreOscillator(i & 1 ? "osc-b" : "osc-a");
      ravosim::setOscillatorDrifting("osc-b", static_cast<int32_t>(i));
    }
  });
  threads.emplace_back([&] {
    ravo_struct* h = ravo_gpio_open(kControl, O_RDWR);
    ravo_gpio_set_mode(h, pin(5) | pin(6), RAVO_GPIO_MODE_OUTPUT_PUSHPULL);
    for (unsigned i = 0; i < 200; ++i) {
      ravo_gpio_write_output_pins(h, pin(5) | pin(6), (i & 1 ? pin(5) : 0) | (i % 3 ? pin(6) : 0));
      if (i % 7 == 0) ravosim::cutSupply("vdd");
      if (i % 7 == 3) ravosim::restoreSupply("vdd");
    }
    ravo_gpio_write_output_pins(h, pin(5) | pin(6), pin(6));
    ravo_gpio_close(h);
  });
  // Requests on the alert pin, armed again after each completion.
  ravo_aio_ctx* ctx = ravo_aio_ctx_create(128);
  ravo_struct* g = ravo_gpio_open(kPins, O_RDWR);
  std::atomic<unsigned> fired{0};
  std::thread waiter([&] {
    while (!stop.load()) {
      unsigned n = 0;
      ravo_aio_cb* cb = nullptr;
      timespec tick{0, 2000000};
      if (ravo_aio_ctx_wait(ctx, 1, 1, &tick, &n, &cb) == 0 && n == 1) {
        ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE);
        // The pin's condition latched: reset it, as the receiver of an
        // interrupt must, so that the next request can fire.
        ravo_gpio_reset_interrupt_condition(g, pin(3));
        ++fired;
      }
    }
  });
  for (unsigned i = 0; i < 100; ++i) {
    ravo_gpio_event_t ev;
    ravo_gpio_event_init(&ev, i & 1 ? pin(3) : 0, i & 1 ? 0 : pin(3));
    ravo_aio_cb* cb = ravo_aiocb_init(nullptr, g, 0, &ev, sizeof ev);
    ravo_aio_ctx_submit(ctx, 1, &cb);
    std::this_thread::yield();
  }
  for (std::thread& t : threads) t.join();
  // The last requests complete as the alert toggles: a latched condition
  // holds the requests of the pin until the waiter has reset it, so each
  // level lets the next request through.
  ravosim::restoreSupply("vdd");
  for (int spin = 0; spin < 1000 && fired.load() < 100; ++spin) {
    ravosim::forceDeviceOutput(kPort, 0x40, "alert", (spin & 1) != 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ravosim::forceDeviceOutput(kPort, 0x40, "alert", true);
  stop = true;
  waiter.join();
  EXPECT_EQ(fired.load(), 100u);
  EXPECT_EQ(ravosim::pendingRequests(kPins), 0u);
  EXPECT_EQ(ravo_gpio_close(g), 0);
  EXPECT_EQ(ravo_aio_ctx_destroy(ctx), 0);
  // Whatever the order was, the chip answers and its status matches its inputs.
  ASSERT_TRUE(ravosim::restoreOscillator("osc-a"));
  ASSERT_TRUE(ravosim::restoreOscillator("osc-b"));
  EXPECT_EQ(chip(1) & 0x03, 0x00);
}

}  // namespace
