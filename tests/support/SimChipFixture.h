// A test of one I2C chip model on a simulated machine: the machine loaded
// fresh, an I2C handle on the chip's port, its registers read and written
// with single transfers, its lines and the GPIO pins they are wired to, and
// interrupt requests armed on those pins.
#ifndef QUIB_TESTS_SUPPORT_SIMCHIPFIXTURE_H
#define QUIB_TESTS_SUPPORT_SIMCHIPFIXTURE_H

#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"
#include "tests/support/TempDir.h"

namespace testsupport {

constexpr uint32_t pinBit(unsigned n) { return 0x80000000u >> n; }

class SimChipFixture : public ::testing::Test {
 protected:
  // `folder`: prefix of the test's state folder; `port`, `chip`: the chip
  // the register helpers talk to; `pins`: the GPIO engine its lines go to.
  SimChipFixture(const char* folder, const char* port, uint8_t chip, const char* pins)
      : m_dir(folder), m_port(port), m_chip(chip), m_pins(pins) {}
  void TearDown() override { close(); }

  // Loads the description and opens the chip's port (`port`, or the
  // fixture's).
  void load(const char* xml, const char* port = nullptr) {
    close();
    ASSERT_TRUE(freshSimMachine(m_dir.path(), xml, "chip.xml"));
    open(port);
  }
  // The default machine, powered on; no handle open.
  void loadDefaultMachine() {
    close();
    const char* source = std::getenv("QUIB_SOURCE_DIR");
    ravosim::setStateDir(m_dir.path());
    const ravosim::LoadResult r =
        ravosim::loadMachine(std::string(source ? source : ".") + "/config/machine/default.xml");
    ASSERT_TRUE(r.ok) << r.message;
    ravosim::resetMachine();
  }
  void open(const char* port = nullptr) {
    m_i2c = ravo_iic_open(port ? port : m_port, O_RDWR | O_SYNC);
    ASSERT_NE(m_i2c, nullptr);
  }
  void close() {
    if (m_i2c) {
      EXPECT_EQ(ravo_iic_close(m_i2c), 0);
    }
    if (m_gpio) {
      EXPECT_EQ(ravo_gpio_close(m_gpio), 0);
    }
    if (m_ctx) {
      EXPECT_EQ(ravo_aio_ctx_destroy(m_ctx), 0);
    }
    m_i2c = m_gpio = nullptr;
    m_ctx = nullptr;
    EXPECT_EQ(ravosim::openHandles(), 0u);
  }

  uint8_t chip(unsigned r) {
    uint8_t v = 0xEE;
    EXPECT_EQ(ravo_siic_read(m_i2c, m_chip, static_cast<uint8_t>(r), &v, 1), 1) << r;
    return v;
  }
  void writeChip(unsigned r, uint8_t v) {
    ASSERT_EQ(ravo_siic_write(m_i2c, m_chip, static_cast<uint8_t>(r), &v, 1), 1) << r;
  }
  void expectRegisters(const uint8_t* expected, unsigned from, unsigned count) {
    std::vector<uint8_t> got(count, 0xEE);
    ASSERT_EQ(ravo_siic_read(m_i2c, m_chip, static_cast<uint8_t>(from), got.data(), static_cast<uint8_t>(count)),
              static_cast<int>(count));
    for (unsigned i = 0; i < count; ++i) EXPECT_EQ(got[i], expected[i]) << "register " << from + i;
  }
  // One write of one byte to a register and what the register reads after.
  struct RegisterWrite {
    const char* what;
    uint8_t reg;
    uint8_t write;
    uint8_t after;
  };
  // Each write on the machine fresh from reset.
  void expectWritesReadBack(const std::vector<RegisterWrite>& cases) {
    for (const RegisterWrite& c : cases) {
      SCOPED_TRACE(c.what);
      ravosim::resetMachine();
      writeChip(c.reg, c.write);
      EXPECT_EQ(chip(c.reg), c.after);
    }
  }
  // A transfer that runs beyond offset `last` is not acknowledged.
  void expectNackBeyond(unsigned last) {
    uint8_t b[2] = {};
    errno = 0;
    EXPECT_EQ(ravo_siic_read(m_i2c, m_chip, static_cast<uint8_t>(last), b, 2), -1);
    EXPECT_EQ(errno, EIO);
  }
  // A device output as its wire sees it.
  bool output(const char* name, const char* port = nullptr, unsigned address = ~0u) {
    bool level = false;
    EXPECT_TRUE(ravosim::readDeviceOutput(port ? port : m_port, address == ~0u ? m_chip : address, name, level))
        << name;
    return level;
  }
  uint32_t pins(const char* gpio = nullptr) {
    uint32_t v = 0;
    EXPECT_TRUE(ravosim::readPinLevels(gpio ? gpio : m_pins, v));
    return v;
  }
  ravo_struct* gpio(const char* path = nullptr) {
    if (!m_gpio) m_gpio = ravo_gpio_open(path ? path : m_pins, O_RDWR);
    EXPECT_NE(m_gpio, nullptr);
    return m_gpio;
  }
  // The card's power control: its supply-enable pin 4 driven high.
  static void switchSupplyOn(const char* path) {
    ravo_struct* g = ravo_gpio_open(path, O_RDWR);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(ravo_gpio_set_mode(g, pinBit(4), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
    EXPECT_EQ(ravo_gpio_write_output_pins(g, pinBit(4), pinBit(4)), 0);
    EXPECT_EQ(ravo_gpio_close(g), 0);
  }
  // An interrupt request for the pins of `high` high or those of `low` low.
  ravo_aio_cb* arm(uint32_t high, uint32_t low, const char* path = nullptr) {
    if (!m_ctx) m_ctx = ravo_aio_ctx_create(8);
    return submitGpioRequest(m_ctx, gpio(path), high, low);
  }
  ravo_aio_cb* armLow(uint32_t pinMask, const char* path = nullptr) { return arm(0, pinMask, path); }
  ravo_aio_cb* completed() { return nextCompletedRequest(m_ctx, 5); }
  bool nothingCompleted() { return nextCompletedRequest(m_ctx, 0) == nullptr; }

  TempDir m_dir;
  const char* m_port;
  uint8_t m_chip;
  const char* m_pins;
  ravo_struct* m_i2c = nullptr;
  ravo_struct* m_gpio = nullptr;
  ravo_aio_ctx* m_ctx = nullptr;
};

}  // namespace testsupport

#endif
