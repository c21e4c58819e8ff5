// I2C engines of the simulated machine: ports and parameters, transfers to
// register files, NACKs, bus time, device removal, delays and time-outs.
#include <fcntl.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="1" cascade="0">
    <i2c number="5" ports="4">
      <device port="3" address="0xD0" size="16">
        <register offset="0" reset="0x5A" readonly="0xF0"/>
        <register offset="1" reset="0xFF" readonly="0xF0" w1c="0x0F"/>
        <register offset="2" reset="0x11"/>
        <register offset="8" count="8" reset="0xEE"/>
      </device>
      <device port="3" address="0xD2" size="256"/>
    </i2c>
  </cfam>
</machine>)";

const char* const kPort = "/dev/iic/L01C0E05P03";

class SimI2c : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-i2c-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "i2c.xml"));
    m_h = ravo_iic_open(kPort, O_RDWR | O_SYNC);
    ASSERT_NE(m_h, nullptr);
    ASSERT_EQ(ravo_iic_reset(m_h, RAVO_IIC_RESET_FULL), 0);
  }
  void TearDown() override {
    if (m_h) {
      EXPECT_EQ(ravo_iic_close(m_h), 0);
    }
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  void set(int id, uint32_t v) { ASSERT_EQ(ravo_iic_config(m_h, RAVO_CONFIG_WRITE, id, &v, 4), 0) << id; }
  uint32_t get(int id) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(ravo_iic_config(m_h, RAVO_CONFIG_READ, id, &v, 4), 0) << id;
    return v;
  }
  uint8_t reg(unsigned address, unsigned r) {
    uint8_t v = 0;
    EXPECT_TRUE(ravosim::peekI2cRegister(kPort, address, r, v));
    return v;
  }
  std::string m_dir;
  ravo_struct* m_h = nullptr;
};

TEST_F(SimI2c, ParametersHaveDefaultsRangesAndReset) {
  EXPECT_EQ(get(RAVO_IIC_CFG_PORT), 3u);
  EXPECT_EQ(get(RAVO_IIC_CFG_SPEED), 100u);
  EXPECT_EQ(get(RAVO_IIC_CFG_DEV_WIDTH), 1u);
  EXPECT_EQ(get(RAVO_IIC_CFG_TIMEOUT), 100u);
  const int ids[] = {RAVO_IIC_CFG_SPEED,  RAVO_IIC_CFG_DEV_ADDR, RAVO_IIC_CFG_DEV_WIDTH, RAVO_IIC_CFG_OFFSET,
                     RAVO_IIC_CFG_TIMEOUT, RAVO_IIC_CFG_WDELAY, RAVO_IIC_CFG_WSPLIT,    RAVO_IIC_CFG_FLAGS};
  for (int id : ids) {
    set(id, 3);
    EXPECT_EQ(get(id), 3u) << id;
  }
  struct Bad {
    int cmd;
    int id;
    uint32_t value;
    int err;
  };
  const Bad bad[] = {{RAVO_CONFIG_WRITE, RAVO_IIC_CFG_SPEED, 0, EINVAL},
                     {RAVO_CONFIG_WRITE, RAVO_IIC_CFG_SPEED, 3401, EINVAL},
                     {RAVO_CONFIG_WRITE, RAVO_IIC_CFG_DEV_WIDTH, 5, EINVAL},
                     {RAVO_CONFIG_WRITE, RAVO_IIC_CFG_DEV_ADDR, 0x400, EINVAL},
                     {RAVO_CONFIG_WRITE, RAVO_IIC_CFG_PORT, 1, EPERM},
                     {RAVO_CONFIG_READ, 6, 0, EINVAL},
                     {0, RAVO_IIC_CFG_SPEED, 100, EINVAL}};
  for (const Bad& b : bad) {
    uint32_t v = b.value;
    errno = 0;
    EXPECT_EQ(ravo_iic_config(m_h, b.cmd, b.id, &v, 4), -1) << b.id;
    EXPECT_EQ(errno, b.err) << b.id;
  }
  ASSERT_EQ(ravo_iic_reset(m_h, RAVO_IIC_RESET_PORT), 0);
  EXPECT_EQ(get(RAVO_IIC_CFG_SPEED), 100u);
  EXPECT_EQ(get(RAVO_IIC_CFG_WSPLIT), 0u);
  EXPECT_EQ(ravo_iic_reset(m_h, 3), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimI2c, OpenNeedsAnExistingPort) {
  errno = 0;
  EXPECT_EQ(ravo_iic_open("/dev/iic/L01C0E05P04", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ravo_iic_open("/dev/iic/L01C0E05", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOENT);
  ravo_struct* other = ravo_iic_open("/dev/iic/L01C0E05P00", O_RDWR);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(ravo_iic_close(other), 0);
}

TEST_F(SimI2c, RegisterFileReadOnlyAndWriteOneToClearBits) {
  const uint8_t data[3] = {0x0F, 0x05, 0x22};
  ASSERT_EQ(ravo_siic_write(m_h, 0xD0, 0, data, 3), 3);
  EXPECT_EQ(reg(0xD0, 0), 0x5F);  // upper nibble read only
  EXPECT_EQ(reg(0xD0, 1), 0xFA);  // written ones clear low-nibble bits, the upper nibble is read only
  EXPECT_EQ(reg(0xD0, 2), 0x22);
  uint8_t back[3] = {};
  ASSERT_EQ(ravo_siic_read(m_h, 0xD0, 0, back, 3), 3);
  EXPECT_EQ(back[0], 0x5F);
  EXPECT_EQ(back[2], 0x22);
  uint8_t range[8] = {};
  ASSERT_EQ(ravo_siic_read(m_h, 0xD0, 8, range, 8), 8);
  for (uint8_t b : range) EXPECT_EQ(b, 0xEE);
  // Past the last register the device does not acknowledge.
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_h, 0xD0, 15, range, 2), -1);
  EXPECT_EQ(errno, EIO);
}

TEST_F(SimI2c, MasterTransfersUseTheConfiguredAddressOffsetAndWidth) {
  set(RAVO_IIC_CFG_DEV_ADDR, 0xD2);
  set(RAVO_IIC_CFG_OFFSET, 0x40);
  const uint8_t data[4] = {1, 2, 3, 4};
  ASSERT_EQ(ravo_iic_write(m_h, data, 4), 4);
  EXPECT_EQ(reg(0xD2, 0x40), 1);
  EXPECT_EQ(reg(0xD2, 0x43), 4);
  uint8_t back[4] = {};
  ASSERT_EQ(ravo_iic_read(m_h, back, 4), 4);
  EXPECT_EQ(std::memcmp(back, data, 4), 0);
  // Without an offset phase the device continues where it stopped.
  set(RAVO_IIC_CFG_DEV_WIDTH, 0);
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, 0xD2, 0x44, 0x99));
  uint8_t next = 0;
  ASSERT_EQ(ravo_iic_read(m_h, &next, 1), 1);
  EXPECT_EQ(next, 0x99);
  // The special read leaves out the offset phase as well.
  set(RAVO_IIC_CFG_DEV_WIDTH, 1);
  set(RAVO_IIC_CFG_FLAGS, RAVO_IIC_FLAG_SPECIAL_READ);
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, 0xD2, 0x45, 0x77));
  ASSERT_EQ(ravo_siic_read(m_h, 0xD2, 0x00, &next, 1), 1);
  EXPECT_EQ(next, 0x77);
}

TEST_F(SimI2c, AddressWithoutDeviceNacksWithEnxio) {
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_h, 0xA0, 0, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  ASSERT_TRUE(ravosim::removeI2cDevice(kPort, 0xD2));
  EXPECT_EQ(ravo_siic_write(m_h, 0xD2, 0, &b, 1), -1);
  EXPECT_EQ(errno, ENXIO);
  // Re-inserted, the device is at its reset values again.
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, 0xD2, 0, 0x42));
  ASSERT_TRUE(ravosim::insertI2cDevice(kPort, 0xD2));
  ASSERT_EQ(ravo_siic_read(m_h, 0xD2, 0, &b, 1), 1);
  EXPECT_EQ(b, 0);
  EXPECT_FALSE(ravosim::removeI2cDevice(kPort, 0x10));
}

TEST_F(SimI2c, RemovedCfamFailsWithEnodev) {
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_h, 0xD0, 0, &b, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_iic_open("/dev/iic/L01C0E05P00", O_RDWR), nullptr);
  EXPECT_EQ(errno, ENODEV);
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  EXPECT_EQ(ravo_siic_read(m_h, 0xD0, 0, &b, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_iic_close(m_h), 0);
  m_h = ravo_iic_open(kPort, O_RDWR);
  ASSERT_NE(m_h, nullptr);
  EXPECT_EQ(ravo_siic_read(m_h, 0xD0, 0, &b, 1), 1);
}

// Nine bit times per byte; a write sends address, offset and data, a read
// with an offset phase the address a second time.
TEST_F(SimI2c, BusTimeArithmetic) {
  struct Case {
    const char* what;
    uint32_t speedKHz;
    uint32_t width;
    uint32_t split;
    bool read;
    uint8_t address;
    uint8_t len;
    uint64_t ns;
    uint64_t transfers;
  };
  const Case cases[] = {
      {"write 4 at 100 kHz", 100, 1, 0, false, 0xD2, 4, 6 * 90000, 1},
      {"read 4 at 100 kHz", 100, 1, 0, true, 0xD2, 4, 7 * 90000, 1},
      {"write 10 at 400 kHz, 2 offset bytes", 400, 2, 0, false, 0xD2, 10, 13 * 22500, 1},
      {"read without offset phase", 100, 0, 0, true, 0xD2, 3, 4 * 90000, 1},
      {"write 5 split by 2", 100, 1, 2, false, 0xD2, 5, 11 * 90000, 3},
      {"NACK costs the address byte", 100, 1, 0, false, 0xA0, 5, 90000, 1},
      {"odd speed rounds down", 333, 1, 0, false, 0xD2, 1, 3 * 9 * 1000000 / 333, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::resetBusTime();
    set(RAVO_IIC_CFG_SPEED, c.speedKHz);
    set(RAVO_IIC_CFG_DEV_WIDTH, c.width);
    set(RAVO_IIC_CFG_WSPLIT, c.split);
    uint8_t buf[16] = {};
    if (c.read)
      ravo_siic_read(m_h, c.address, 0, buf, c.len);
    else
      ravo_siic_write(m_h, c.address, 0, buf, c.len);
    EXPECT_EQ(ravosim::busTimeNs(kPort), c.ns);
    EXPECT_EQ(ravosim::busTransfers(kPort), c.transfers);
  }
  // The counters add up per port.
  ravosim::resetBusTime();
  set(RAVO_IIC_CFG_SPEED, 100);
  set(RAVO_IIC_CFG_DEV_WIDTH, 1);
  set(RAVO_IIC_CFG_WSPLIT, 0);
  uint8_t b = 0;
  ASSERT_EQ(ravo_siic_write(m_h, 0xD2, 0, &b, 1), 1);
  ASSERT_EQ(ravo_siic_write(m_h, 0xD2, 0, &b, 1), 1);
  EXPECT_EQ(ravosim::busTimeNs(kPort), 2u * 3 * 90000);
  EXPECT_EQ(ravosim::busTimeNs("/dev/iic/L01C0E05P00"), 0u);
}

TEST_F(SimI2c, ResetIrqWritesAndReleasesTheLine) {
  const uint8_t clear = 0x0F;
  ASSERT_EQ(ravo_siic_reset_irq(m_h, 0xD0, 1, &clear, 1), 1);
  EXPECT_EQ(reg(0xD0, 1), 0xF0);
  unsigned n = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort, 0xD0, n));
  EXPECT_EQ(n, 1u);
}

TEST_F(SimI2c, DelayedTransferTimesOut) {
  ravosim::setI2cDelay(kPort, 20);
  set(RAVO_IIC_CFG_TIMEOUT, 5);
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_siic_read(m_h, 0xD2, 0, &b, 1), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  set(RAVO_IIC_CFG_TIMEOUT, 0);
  EXPECT_EQ(ravo_siic_read(m_h, 0xD2, 0, &b, 1), 1);
  ravosim::setI2cDelay(kPort, 0);
  set(RAVO_IIC_CFG_TIMEOUT, 5);
  EXPECT_EQ(ravo_siic_read(m_h, 0xD2, 0, &b, 1), 1);
}

}  // namespace
