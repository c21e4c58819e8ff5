// GPIO engines of the simulated machine: modes, latches and levels, wiring,
// the register dump and the configuration registers.
#include <fcntl.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine name="gpio-test">
  <cfam link="0" cascade="0">
    <gpio number="8" levels="0x0000000F">
      <pin n="0" wire="cfam:L01C0" invert="yes"/>
      <pin n="1" wire="cfam:L01C0"/>
      <pin n="2" wire="/dev/gpio/L00C0E09:5"/>
      <pin n="3" level="1"/>
      <config register="0x40000004" value="0x12345678"/>
    </gpio>
    <gpio number="9"/>
  </cfam>
  <cfam link="1" cascade="0">
    <gpio number="8"/>
  </cfam>
</machine>)";

constexpr uint32_t pin(unsigned n) { return 0x80000000u >> n; }

class SimGpio : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-gpio-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "gpio-test.xml"));
    m_h = ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR);
    ASSERT_NE(m_h, nullptr);
  }
  void TearDown() override {
    if (m_h) {
      EXPECT_EQ(ravo_gpio_close(m_h), 0);
    }
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  uint32_t levels(ravo_struct* h) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(ravo_gpio_read_input_pins(h, 0xFFFFFFFFu, &v), 0);
    return v;
  }
  std::string m_dir;
  ravo_struct* m_h = nullptr;
};

TEST_F(SimGpio, InitialLevelsAndWiresAsDescribed) {
  // Pins 28..31 from levels, pin 3 from its level, pin 0 low while L01C0 is
  // present (inverted presence), pin 1 high, pin 2 follows E09 pin 5 (low).
  EXPECT_EQ(levels(m_h), 0x0000000Fu | pin(3) | pin(1));
  uint32_t masked = 0;
  ASSERT_EQ(ravo_gpio_read_input_pins(m_h, pin(3), &masked), 0);
  EXPECT_EQ(masked, pin(3));
}

TEST_F(SimGpio, PresenceWireFollowsTheCfam) {
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  EXPECT_EQ(levels(m_h) & (pin(0) | pin(1)), pin(0));
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  EXPECT_EQ(levels(m_h) & (pin(0) | pin(1)), pin(1));
}

TEST_F(SimGpio, PinWireFollowsTheOutputOfAnotherEngine) {
  ravo_struct* src = ravo_gpio_open("/dev/gpio/L00C0E09", O_RDWR);
  ASSERT_NE(src, nullptr);
  ASSERT_EQ(ravo_gpio_set_mode(src, pin(5), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(5), pin(5)), 0);
  EXPECT_TRUE(levels(m_h) & pin(2));
  ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(5), 0), 0);
  EXPECT_FALSE(levels(m_h) & pin(2));
  EXPECT_EQ(ravo_gpio_close(src), 0);
}

// A driven pin shows the driven level over its wiring, whatever the wiring
// does meanwhile; released, it follows its wiring again.
TEST_F(SimGpio, DrivenPinOverridesItsWiringUntilReleased) {
  ravo_struct* src = ravo_gpio_open("/dev/gpio/L00C0E09", O_RDWR);
  ASSERT_NE(src, nullptr);
  ASSERT_EQ(ravo_gpio_set_mode(src, pin(5), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  struct Case {
    const char* what;
    unsigned n;
    bool drive;
    void (*rewire)(ravo_struct* src);  // changes what the pin is wired to
    bool wiredAfter;                   // the wiring's level after that
  };
  const Case cases[] = {
      {"presence wire", 1, false, [](ravo_struct*) { ravosim::removeCfam(1, 0); }, false},
      {"inverted presence wire", 0, true, [](ravo_struct*) { ravosim::removeCfam(1, 0); }, true},
      {"pin wire", 2, false, [](ravo_struct* s) { ravo_gpio_write_output_pins(s, pin(5), pin(5)); }, true},
      {"fixed level", 3, false, [](ravo_struct*) {}, true},
      {"unwired", 29, false, [](ravo_struct*) {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::insertCfam(1, 0);
    ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(5), 0), 0);
    ASSERT_TRUE(ravosim::drivePin("/dev/gpio/L00C0E08", c.n, c.drive));
    EXPECT_EQ((levels(m_h) & pin(c.n)) != 0, c.drive);
    c.rewire(src);
    EXPECT_EQ((levels(m_h) & pin(c.n)) != 0, c.drive);
    ASSERT_TRUE(ravosim::releasePin("/dev/gpio/L00C0E08", c.n));
    EXPECT_EQ((levels(m_h) & pin(c.n)) != 0, c.wiredAfter);
  }
  ravosim::insertCfam(1, 0);
  // The engine's own output wins over a drive from outside.
  ASSERT_TRUE(ravosim::drivePin("/dev/gpio/L00C0E08", 6, false));
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(6), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(m_h, pin(6), pin(6)), 0);
  EXPECT_TRUE(levels(m_h) & pin(6));
  // setInputLevel ends a drive for good; power-on ends every drive.
  ASSERT_TRUE(ravosim::drivePin("/dev/gpio/L00C0E08", 3, false));
  ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 3, true));
  EXPECT_TRUE(levels(m_h) & pin(3));
  ASSERT_TRUE(ravosim::drivePin("/dev/gpio/L00C0E08", 1, false));
  ravosim::resetMachine();
  EXPECT_TRUE(levels(m_h) & pin(1));
  EXPECT_FALSE(ravosim::drivePin("/dev/gpio/L00C0E08", 32, true));
  EXPECT_FALSE(ravosim::releasePin("/dev/gpio/L00C0E07", 1));
  EXPECT_EQ(ravo_gpio_close(src), 0);
}

TEST_F(SimGpio, OutputModesDriveThePinFromTheLatch) {
  struct Case {
    int mode;
    bool latch;
    bool external;
    bool level;
  };
  const Case cases[] = {
      {RAVO_GPIO_MODE_INPUT, true, false, false},          {RAVO_GPIO_MODE_UNUSED, true, true, true},
      {RAVO_GPIO_MODE_OUTPUT_PUSHPULL, true, false, true}, {RAVO_GPIO_MODE_OUTPUT_PUSHPULL, false, true, false},
      {RAVO_GPIO_MODE_OUTPUT_PUSHPULL_SLOW, true, false, true}, {RAVO_GPIO_MODE_OUTPUT_BLINK, true, false, true},
      {RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN, false, true, false}, {RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN, true, true, true},
      {RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN, true, false, false}, {RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE, true, false, true},
      {RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE, false, true, true}, {RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " latch " << c.latch << " external " << c.external);
    ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 10, c.external));
    ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(10), c.mode), 0);
    ASSERT_EQ(ravo_gpio_write_output_pins(m_h, pin(10), c.latch ? pin(10) : 0), 0);
    EXPECT_EQ((levels(m_h) & pin(10)) != 0, c.level);
  }
}

TEST_F(SimGpio, WriteChangesOnlyTheMaskedLatches) {
  ASSERT_EQ(ravo_gpio_write_output_pins(m_h, 0xFF000000u, 0xA5A5A5A5u), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(m_h, 0x0F000000u, 0x00000000u), 0);
  uint32_t latches = 0;
  ASSERT_TRUE(ravosim::readOutputLatches("/dev/gpio/L00C0E08", latches));
  EXPECT_EQ(latches, 0xA0000000u);
}

TEST_F(SimGpio, GetModeReturnsThePinsOfThatMode) {
  ASSERT_EQ(ravo_gpio_set_mode(m_h, 0xF0000000u, RAVO_GPIO_MODE_INPUT), 0);
  ASSERT_EQ(ravo_gpio_set_mode(m_h, 0x30000000u, RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN), 0);
  uint32_t mask = 0;
  ASSERT_EQ(ravo_gpio_get_mode(m_h, &mask, RAVO_GPIO_MODE_INPUT), 0);
  EXPECT_EQ(mask, 0xC0000000u);
  ASSERT_EQ(ravo_gpio_get_mode(m_h, &mask, RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN), 0);
  EXPECT_EQ(mask, 0x30000000u);
  ASSERT_EQ(ravo_gpio_get_mode(m_h, &mask, RAVO_GPIO_MODE_UNUSED), 0);
  EXPECT_EQ(mask, 0x0FFFFFFFu);
  errno = 0;
  EXPECT_EQ(ravo_gpio_set_mode(m_h, 1, 7), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_gpio_get_mode(m_h, &mask, -1), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimGpio, DumpVersion1Layout) {
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(4), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(5), RAVO_GPIO_MODE_OUTPUT_BLINK), 0);
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(6), RAVO_GPIO_MODE_INPUT), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(m_h, pin(4) | pin(5), pin(4)), 0);
  ASSERT_EQ(ravo_gpio_set_blink_rate(m_h, 250), 0);
  ASSERT_EQ(ravo_gpio_blink(m_h, pin(5)), 0);
  uint32_t lookup = 0x80008000u;
  ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_WRITE, RAVO_GPIO_CFG_LOOKUP_CONTROL, &lookup, 4), 0);

  ravo_gpio_dump_t dump{};
  dump.words[0] = RAVO_GPIO_DUMP_VERSION_1;
  ASSERT_EQ(ravo_gpio_dump_register(m_h, &dump), 0);
  EXPECT_EQ(dump.words[0], 1u);
  EXPECT_EQ(dump.words[1], levels(m_h));
  EXPECT_EQ(dump.words[2], pin(4));
  EXPECT_EQ(dump.words[3], pin(5));
  EXPECT_EQ(dump.words[4], 250u);
  EXPECT_EQ(dump.words[6], 0x80000000u);
  EXPECT_EQ(dump.words[7], pin(6));   // mode 1
  EXPECT_EQ(dump.words[8], pin(4));   // mode 2
  EXPECT_EQ(dump.words[12], pin(5));  // mode 6
  EXPECT_EQ(dump.words[16], 0x12345678u);  // 0x40000004 reset value
  EXPECT_EQ(dump.words[23], 0x80000000u);  // 0x4000000B: table 0's states, the enable not kept

  dump.words[0] = 2;
  errno = 0;
  EXPECT_EQ(ravo_gpio_dump_register(m_h, &dump), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimGpio, ConfigurationRegisters) {
  for (uint32_t id = RAVO_GPIO_CFG_PLD_FIRST; id <= RAVO_GPIO_CFG_PLD_LAST; ++id) {
    uint32_t v = id * 3;
    ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_WRITE, id, &v, 4), 0) << std::hex << id;
  }
  for (uint32_t id = RAVO_GPIO_CFG_PLD_FIRST; id <= RAVO_GPIO_CFG_PLD_LAST; ++id) {
    uint32_t v = 0;
    ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_READ, id, &v, 4), 0);
    EXPECT_EQ(v, id * 3);
  }
  uint32_t v = 0;
  ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_READ, RAVO_GPIO_CFG_STATUS, &v, 4), 0);
  EXPECT_EQ(v, 0x80000000u);

  struct Bad {
    int cmd;
    uint32_t id;
    size_t size;
    int err;
  };
  const Bad bad[] = {{RAVO_CONFIG_READ, 0x4000000C, 4, EINVAL},
                     {RAVO_CONFIG_READ, 0x3FFFFFFF, 4, EINVAL},
                     {RAVO_CONFIG_WRITE, RAVO_GPIO_CFG_ENGINE_ID, 4, EPERM},
                     {RAVO_CONFIG_READ, RAVO_GPIO_CFG_PLD_FIRST, 2, EINVAL},
                     {3, RAVO_GPIO_CFG_PLD_FIRST, 4, EINVAL}};
  for (const Bad& b : bad) {
    errno = 0;
    EXPECT_EQ(ravo_gpio_config(m_h, b.cmd, b.id, &v, b.size), -1) << std::hex << b.id;
    EXPECT_EQ(errno, b.err) << std::hex << b.id;
  }
  // A reset of the machine brings the reset values back.
  ravosim::resetMachine();
  ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_READ, 0x40000004u, &v, 4), 0);
  EXPECT_EQ(v, 0x12345678u);
  ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_READ, 0x40000003u, &v, 4), 0);
  EXPECT_EQ(v, 0u);
}

TEST_F(SimGpio, LookupTableControlChangesOnlyTheTablesAWriteEnables) {
  struct Step {
    uint32_t written;
    uint32_t readBack;
  };
  const Step steps[] = {
      {0x80008000u, 0x80000000u},  // table 0 enabled in byte 1, its high state bit set
      {0x00404000u, 0x80400000u},  // table 1 enabled in byte 1: table 0 keeps its state
      {0xFFFF0000u, 0x80400000u},  // no table enabled: nothing changes
      {0x00000080u, 0x00400000u},  // table 0 enabled in byte 0, both state bits clear
      {0xFFFF00C0u, 0xC0C00000u},  // tables 0 and 1 take both bits; the others stay clear
      {0x0000FF00u, 0x00000000u},  // every table enabled
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << std::hex << "written 0x" << step.written);
    uint32_t v = step.written;
    ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_WRITE, RAVO_GPIO_CFG_LOOKUP_CONTROL, &v, 4), 0);
    v = 0xDEADBEEFu;
    ASSERT_EQ(ravo_gpio_config(m_h, RAVO_CONFIG_READ, RAVO_GPIO_CFG_LOOKUP_CONTROL, &v, 4), 0);
    EXPECT_EQ(v, step.readBack);
  }
}

TEST_F(SimGpio, HandleErrors) {
  errno = 0;
  EXPECT_EQ(ravo_gpio_open("/dev/gpio/L00C0E07", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ravo_gpio_open("/dev/gpio/L00C0E8", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ravo_gpio_open("/dev/iic/L00C0E08", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR | O_EXCL), nullptr);
  EXPECT_EQ(errno, EBUSY);
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  EXPECT_EQ(ravo_gpio_open("/dev/gpio/L01C0E08", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENODEV);

  // A handle of another family is refused.
  ravo_struct* fsi = ravo_fsi_open("/dev/fsi", O_RDONLY);
  ASSERT_NE(fsi, nullptr);
  uint32_t v;
  EXPECT_EQ(ravo_gpio_read_input_pins(fsi, ~0u, &v), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(ravo_fsi_close(fsi), 0);
  // A closed handle is refused.
  ASSERT_EQ(ravo_gpio_close(m_h), 0);
  EXPECT_EQ(ravo_gpio_write_output_pins(m_h, 1, 1), -1);
  EXPECT_EQ(errno, EBADF);
  m_h = nullptr;
}

TEST_F(SimGpio, RemovedCfamFailsWithEnodevAndComesBackAtPowerOnState) {
  ravo_struct* h = ravo_gpio_open("/dev/gpio/L01C0E08", O_RDWR);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(ravo_gpio_write_output_pins(h, 0xFFFFFFFFu, 0x12345678u), 0);
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  uint32_t v;
  errno = 0;
  EXPECT_EQ(ravo_gpio_read_input_pins(h, ~0u, &v), -1);
  EXPECT_EQ(errno, ENODEV);
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  uint32_t latches = 1;
  ASSERT_TRUE(ravosim::readOutputLatches("/dev/gpio/L01C0E08", latches));
  EXPECT_EQ(latches, 0u);
  // The old handle belongs to the card that was pulled; a new one works.
  errno = 0;
  EXPECT_EQ(ravo_gpio_read_input_pins(h, ~0u, &v), -1);
  EXPECT_EQ(errno, ENODEV);
  ravo_struct* again = ravo_gpio_open("/dev/gpio/L01C0E08", O_RDWR);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ravo_gpio_read_input_pins(again, ~0u, &v), 0);
  // A close always releases the handle, even of a device that went away.
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  EXPECT_EQ(ravo_gpio_close(h), 0);
  EXPECT_EQ(ravo_gpio_close(again), 0);
}

TEST_F(SimGpio, ReplacedMachineMakesOpenHandlesStale) {
  ravosim::LoadResult r = ravosim::loadMachineText(kMachine, "again.xml");
  ASSERT_TRUE(r.ok);
  uint32_t v;
  errno = 0;
  EXPECT_EQ(ravo_gpio_read_input_pins(m_h, ~0u, &v), -1);
  EXPECT_EQ(errno, ENODEV);
  ravo_struct* fresh = ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(ravo_gpio_read_input_pins(fresh, ~0u, &v), 0);
  EXPECT_EQ(ravo_gpio_close(fresh), 0);
}

TEST_F(SimGpio, InterruptConditionLatchesAndResets) {
  ravo_aio_ctx* ctx = ravo_aio_ctx_create(4);
  ASSERT_NE(ctx, nullptr);
  ravo_gpio_event_t ev;
  ASSERT_EQ(ravo_gpio_event_init(&ev, pin(3) | pin(31), 0), 0);
  ravo_aio_cb* cb = ravo_aiocb_init(nullptr, m_h, 0, &ev, sizeof ev);
  ASSERT_NE(cb, nullptr);
  ASSERT_EQ(ravo_aio_ctx_submit(ctx, 1, &cb), 1);
  ravo_gpio_dump_t dump{};
  dump.words[0] = 1;
  ASSERT_EQ(ravo_gpio_dump_register(m_h, &dump), 0);
  EXPECT_EQ(dump.words[5], pin(3) | pin(31));
  ASSERT_EQ(ravo_gpio_reset_interrupt_condition(m_h, pin(3)), 0);
  ASSERT_EQ(ravo_gpio_dump_register(m_h, &dump), 0);
  EXPECT_EQ(dump.words[5], pin(31));
  unsigned n = 0;
  ravo_aio_cb* done = nullptr;
  ASSERT_EQ(ravo_aio_ctx_wait(ctx, 1, 1, nullptr, &n, &done), 0);
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(ravo_aio_ctx_destroy(ctx), 0);
}

// A fired request latches its pin's interrupt condition: later requests on
// that pin, for either level, stay pending until the condition is reset,
// and then fire at once when their level is met. Firmware that forgets the
// reset waits for good.
class SimGpioLatch : public SimGpio {
 protected:
  void SetUp() override {
    SimGpio::SetUp();
    m_ctx = ravo_aio_ctx_create(8);
    ASSERT_NE(m_ctx, nullptr);
  }
  void TearDown() override {
    // Ends what is still pending (ENODEV) and hands back what completed.
    ASSERT_EQ(ravo_gpio_close(m_h), 0);
    m_h = nullptr;
    while (ravo_aio_cb* cb = completed()) ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE);
    EXPECT_EQ(ravo_aio_ctx_destroy(m_ctx), 0);
    SimGpio::TearDown();
  }
  ravo_aio_cb* arm(uint32_t high, uint32_t low) { return testsupport::submitGpioRequest(m_ctx, m_h, high, low); }
  // The next completed request, or null when none completed.
  ravo_aio_cb* completed() { return testsupport::nextCompletedRequest(m_ctx, 0); }
  // True when exactly `cb` completed (and frees it).
  bool firedOnly(ravo_aio_cb* cb) {
    ravo_aio_cb* got = completed();
    if (got) {
      EXPECT_EQ(ravo_aiocb_delete(got, RAVO_AIOCB_DELETE_FREE), 0);
    }
    return got == cb && completed() == nullptr;
  }
  uint32_t condition() {
    ravo_gpio_dump_t dump{};
    dump.words[0] = 1;
    EXPECT_EQ(ravo_gpio_dump_register(m_h, &dump), 0);
    return dump.words[5];
  }
  ravo_aio_ctx* m_ctx = nullptr;
};

TEST_F(SimGpioLatch, ReArmedPinWaitsForTheReset) {
  // Pin 10 is unwired (low); each case fires a first request for high.
  struct Case {
    const char* name;
    bool secondHigh;      // the second request's level
    bool resetFirst;      // condition reset before the second request
    bool levelAfterArm;   // the pin's level once the second request is armed
  };
  const Case cases[] = {
      {"same level, no reset", true, false, true},
      {"opposite level, no reset", false, false, false},
      {"same level, reset first", true, true, true},
      {"opposite level, reset first", false, true, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ravosim::resetMachine();
    ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 10, false));
    ravo_aio_cb* first = arm(pin(10), 0);
    ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 10, true));
    ASSERT_TRUE(firedOnly(first));
    EXPECT_EQ(condition() & pin(10), pin(10));
    if (k.resetFirst) {
      ASSERT_EQ(ravo_gpio_reset_interrupt_condition(m_h, pin(10)), 0);
    }
    ravo_aio_cb* second = k.secondHigh ? arm(pin(10), 0) : arm(0, pin(10));
    ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 10, k.levelAfterArm));
    if (k.resetFirst) {
      EXPECT_TRUE(firedOnly(second));
      continue;
    }
    EXPECT_EQ(completed(), nullptr);
    EXPECT_EQ(ravosim::pendingRequests("/dev/gpio/L00C0E08"), 1u);
    // Resetting another pin changes nothing; resetting this one fires it.
    ASSERT_EQ(ravo_gpio_reset_interrupt_condition(m_h, pin(11)), 0);
    EXPECT_EQ(completed(), nullptr);
    ASSERT_EQ(ravo_gpio_reset_interrupt_condition(m_h, pin(10)), 0);
    EXPECT_TRUE(firedOnly(second));
  }
}

TEST_F(SimGpioLatch, OnlyTheLatchedPinsOfARequestAreHeld) {
  ravo_aio_cb* first = arm(pin(12), 0);
  ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 12, true));
  ASSERT_TRUE(firedOnly(first));
  // Watching pins 12 (latched, level met) and 13: fires when 13 goes high.
  ravo_aio_cb* both = arm(pin(12) | pin(13), 0);
  EXPECT_EQ(completed(), nullptr);
  ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 13, true));
  ravo_aio_cb* got = completed();
  ASSERT_EQ(got, both);
  int levels = 0;
  EXPECT_EQ(ravo_aiocb_status(got, &levels), RAVO_AIO_STATUS_DONE);
  EXPECT_EQ(static_cast<uint32_t>(levels), pin(12) | pin(13));
  EXPECT_EQ(ravo_aiocb_delete(got, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(condition() & (pin(12) | pin(13)), pin(12) | pin(13));
}

TEST_F(SimGpioLatch, PowerOnClearsTheLatch) {
  ravo_aio_cb* first = arm(pin(3), 0);  // pin 3 is high: fires at once
  ASSERT_TRUE(firedOnly(first));
  ASSERT_TRUE(ravosim::removeCfam(0, 0));
  ASSERT_TRUE(ravosim::insertCfam(0, 0));
  ASSERT_EQ(ravo_gpio_close(m_h), 0);
  m_h = ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR);
  ASSERT_NE(m_h, nullptr);
  EXPECT_EQ(condition(), 0u);
  ravo_aio_cb* again = arm(pin(3), 0);
  EXPECT_TRUE(firedOnly(again));
}

}  // namespace
