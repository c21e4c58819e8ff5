// I2C access of the device access layer against the simulated machine.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/hwaccess/edal/EdalI2cHandle.h"
#include "kav/hwaccess/edal/edalI2c.h"
#include "ravo_iic.h"
#include "ravo_sim_control.h"

namespace {

const char* const kMachine = R"(<machine name="edal-i2c">
  <cfam link="1" cascade="0">
    <i2c number="5" ports="4">
      <device port="1" address="0xA0" size="256"/>
      <device port="2" address="0x30" size="16"/>
    </i2c>
  </cfam>
</machine>)";

const char* const kPort1 = "/dev/iic/L01C0E05P01";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

i2c::i2cInfo_s info(int mode, unsigned port = 1, unsigned address = 0xA0) {
  i2c::i2cInfo_s i;
  i.transferMode = mode;
  i.port = port;
  i.deviceAddress = address;
  i.speed = 100000;
  i.offsetWidth = 1;
  return i;
}

class EdalI2c : public ::testing::Test {
 protected:
  void SetUp() override {
    ravosim::LoadResult r = ravosim::loadMachineText(kMachine, "edal-i2c");
    ASSERT_TRUE(r.ok) << r.message;
    ravosim::resetMachine();
    handlesBefore = ravosim::openHandles();
    std::string msg;
    ASSERT_EQ(0u, edalI2cOpen(EdalInfo(1, 0, 5), h, msg)) << msg;
  }
  void TearDown() override {
    ravosim::clearFaults();
    std::string msg;
    if (h != nullptr) {
      EXPECT_EQ(0u, edalI2cClose(h, msg)) << msg;
    }
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(handlesBefore, ravosim::openHandles());
  }

  uint32_t param(unsigned port, int id) {
    uint32_t v = 0xDEADBEEF;
    EdalI2cHandle* i2c = dynamic_cast<EdalI2cHandle*>(h);
    EXPECT_NE(nullptr, i2c);
    EXPECT_NE(nullptr, i2c->getRavoHandle(port));
    EXPECT_EQ(0, ravo_iic_config(i2c->getRavoHandle(port), RAVO_CONFIG_READ, id, &v, 4));
    return v;
  }

  EdalHandle* h = nullptr;
  unsigned handlesBefore = 0;
};

TEST(EdalI2cTimeout, ComputedFromLengthSpeedSplitAndDelay) {
  struct Case {
    bool write;
    int mode;
    unsigned len, speed, split, delay, expected;
  };
  const Case cases[] = {
      {true, 0, 10, 100000, 0, 5, 100},     // ((11 * 9) / 100 + (10 / 1) * 5) * 2
      {true, 0, 100, 100000, 10, 5, 108},   // (909 / 100 + (100 / 11) * 5) * 2
      {true, 0, 1000, 100000, 0, 0, 180},   // (9009 / 100) * 2
      {true, 0, 1000, 400000, 0, 0, 100},   // 45 * 2 below the minimum
      {true, 1, 1000, 100000, 0, 5, 0},     // only master transfers compute a write time-out
      {false, 1, 1000, 100000, 0, 5, 180},  // reads in any mode, without the delay part
      {false, 0, 1, 100000, 0, 0, 100},
      {true, 0, 10, 500, 0, 0, 198},        // below 1 kHz: no division by zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "len " << c.len << " speed " << c.speed << " mode " << c.mode);
    i2c::i2cInfo_s i = info(c.mode);
    i.speed = c.speed;
    i.writeSplit = c.split;
    i.writeDelay = c.delay;
    EXPECT_EQ(c.expected, c.write ? edalI2cComputeWriteTimeout(i, c.len) : edalI2cComputeReadTimeout(i, c.len));
  }
}

TEST(EdalI2cInfo, Defaults) {
  i2c::i2cInfo_s i;
  EXPECT_EQ(-1, i.transferMode);
  EXPECT_EQ(0u, i.port);
  EXPECT_EQ(0xFFFFFFFFu, i.offsetWidth);
  EXPECT_EQ(0xFFFFFFFFu, i.pageSelect);
  EXPECT_EQ(0u, i.timeout);
  EXPECT_EQ(44u, sizeof i);
}

TEST_F(EdalI2c, OpenBuildsTheEnginePathAndOpensNoPort) {
  EXPECT_STREQ("/dev/iic/L01C0E05", h->getDeviceName());
  EXPECT_EQ(handlesBefore, ravosim::openHandles());
}

TEST_F(EdalI2c, MasterTransfersWriteAndReadTheDeviceRegisters) {
  std::string msg;
  const unsigned char out[4] = {0x11, 0x22, 0x33, 0x44};
  ASSERT_EQ(0u, edalI2cWrite(h, info(0), 0x10, out, 4, msg)) << msg;
  uint8_t reg = 0;
  ASSERT_TRUE(ravosim::peekI2cRegister(kPort1, 0xA0, 0x12, reg));
  EXPECT_EQ(0x33, reg);
  unsigned char in[4] = {};
  unsigned len = 4;
  ASSERT_EQ(0u, edalI2cRead(h, info(0), 0x10, in, len, msg)) << msg;
  EXPECT_EQ(4u, len);
  EXPECT_EQ(std::vector<unsigned char>(out, out + 4), std::vector<unsigned char>(in, in + 4));
}

TEST_F(EdalI2c, SlaveAddressTransfers) {
  std::string msg;
  const unsigned char out[2] = {0xA5, 0x5A};
  ASSERT_EQ(0u, edalI2cWrite(h, info(1), 0x40, out, 2, msg)) << msg;
  unsigned char in[2] = {};
  unsigned len = 2;
  ASSERT_EQ(0u, edalI2cRead(h, info(1), 0x40, in, len, msg)) << msg;
  EXPECT_EQ(0xA5, in[0]);
  EXPECT_EQ(0x5A, in[1]);
}

TEST_F(EdalI2c, SpecialReadSkipsTheOffsetAndIsClearedAfterwards) {
  std::string msg;
  unsigned char in[1] = {};
  unsigned len = 1;
  ASSERT_EQ(0u, edalI2cRead(h, info(1), 0, in, len, msg)) << msg;
  ravosim::resetBusTime();
  ASSERT_EQ(0u, edalI2cRead(h, info(1), 0, in, len, msg)) << msg;
  const uint64_t withOffset = ravosim::busTimeNs(kPort1);
  ravosim::resetBusTime();
  ASSERT_EQ(0u, edalI2cRead(h, info(2), 0, in, len, msg)) << msg;
  const uint64_t withoutOffset = ravosim::busTimeNs(kPort1);
  // Only the address and the data byte, 9 bits each at 100 kHz.
  EXPECT_EQ(180000u, withoutOffset);
  EXPECT_LT(withoutOffset, withOffset);
  EXPECT_EQ(0u, param(1, RAVO_IIC_CFG_FLAGS) & RAVO_IIC_FLAG_SPECIAL_READ);
}

TEST_F(EdalI2c, MasterParametersReachThePort) {
  std::string msg;
  i2c::i2cInfo_s i = info(0);
  i.speed = 400000;
  i.offsetWidth = 2;
  i.writeDelay = 2;
  i.writeSplit = 8;
  i.writeRetryDelay = 3;
  i.writeRetryCount = 4;
  const unsigned char out[1] = {7};
  ASSERT_EQ(0u, edalI2cWrite(h, i, 0x1234 & 0xFF, out, 1, msg)) << msg;
  EXPECT_EQ(400u, param(1, RAVO_IIC_CFG_SPEED));
  EXPECT_EQ(2u, param(1, RAVO_IIC_CFG_DEV_WIDTH));
  EXPECT_EQ(0xA0u, param(1, RAVO_IIC_CFG_DEV_ADDR));
  EXPECT_EQ(0x34u, param(1, RAVO_IIC_CFG_OFFSET));
  EXPECT_EQ(2u + 3u * 4u, param(1, RAVO_IIC_CFG_WDELAY));
  EXPECT_EQ(8u, param(1, RAVO_IIC_CFG_WSPLIT));
  // (2 * 9 / 400 + (1 / 9) * 2) * 2 = 0, raised to 100.
  EXPECT_EQ(100u, param(1, RAVO_IIC_CFG_TIMEOUT));
}

TEST_F(EdalI2c, TimeoutIsComputedOrTakenAsGiven) {
  std::string msg;
  std::vector<unsigned char> block(200, 0x5C);
  i2c::i2cInfo_s slow = info(0);
  slow.speed = 10000;
  ASSERT_EQ(0u, edalI2cWrite(h, slow, 0, block.data(), 200, msg)) << msg;
  EXPECT_EQ(((201u * 9u) / 10u) * 2u, param(1, RAVO_IIC_CFG_TIMEOUT));
  i2c::i2cInfo_s given = info(0);
  given.timeout = 250;
  ASSERT_EQ(0u, edalI2cWrite(h, given, 0, block.data(), 4, msg)) << msg;
  EXPECT_EQ(250u, param(1, RAVO_IIC_CFG_TIMEOUT));
  // A slave-address write with no time-out leaves the port's time-out alone.
  ASSERT_EQ(0u, edalI2cWrite(h, info(1), 0, block.data(), 4, msg)) << msg;
  EXPECT_EQ(250u, param(1, RAVO_IIC_CFG_TIMEOUT));
}

TEST_F(EdalI2c, MasterParameterFailuresNameTheParameter) {
  struct Case {
    const char* text;
    void (*change)(i2c::i2cInfo_s&);
  };
  const Case cases[] = {
      {"setI2cMasterParam error writing RAVO_IIC_CFG_SPEED", [](i2c::i2cInfo_s& i) { i.speed = 999; }},
      {"setI2cMasterParam error RAVO_IIC_CFG_DEV_WIDTH", [](i2c::i2cInfo_s& i) { i.offsetWidth = 5; }},
      {"setI2cMasterParam error RAVO_IIC_CFG_DEV_ADDR", [](i2c::i2cInfo_s& i) { i.deviceAddress = 0x400; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    i2c::i2cInfo_s i = info(0);
    c.change(i);
    std::string msg;
    const unsigned char out[1] = {1};
    EXPECT_EQ(0x70000u + EINVAL, edalI2cWrite(h, i, 0, out, 1, msg));
    EXPECT_TRUE(contains(msg, c.text)) << msg;
    EXPECT_TRUE(contains(msg, "ravo_iic_config on /dev/iic/L01C0E05P01 failed")) << msg;
  }
  // The time-out is the first parameter written.
  i2c::i2cInfo_s i = info(0);
  i.timeout = 50;
  ravosim::failCalls("ravo_iic_config", kPort1, EIO, 1);
  std::string msg;
  const unsigned char out[1] = {1};
  EXPECT_EQ(0x70005u, edalI2cWrite(h, i, 0, out, 1, msg));
  EXPECT_TRUE(contains(msg, "setI2cMasterParam error writing RAVO_IIC_CFG_TIMEOUT")) << msg;
}

TEST_F(EdalI2c, FirstFailureDataIsTakenOnlyOnce) {
  const unsigned char out[1] = {1};
  std::string first;
  EXPECT_EQ(0x70000u + ENXIO, edalI2cWrite(h, info(1, 1, 0xA2), 0, out, 1, first));
  EXPECT_TRUE(contains(first, "ravo_siic_write on /dev/iic/L01C0E05P01 failed")) << first;
  ravosim::failCalls("ravo_siic_read", kPort1, EIO, 1);
  std::string second;
  unsigned char in[1];
  unsigned len = 1;
  EXPECT_EQ(0x70005u, edalI2cRead(h, info(1), 0, in, len, second));
  EXPECT_TRUE(contains(second, "ravo_siic_read on /dev/iic/L01C0E05P01 failed")) << second;
  EXPECT_FALSE(contains(second, "ravo_siic_write")) << second;
}

TEST_F(EdalI2c, UndefinedTransferMode) {
  std::string msg;
  const unsigned char out[1] = {1};
  EXPECT_EQ(0x70016u, edalI2cWrite(h, info(-1), 0, out, 1, msg));
  EXPECT_TRUE(contains(msg, "error transfer mode undefined")) << msg;
  msg.clear();
  unsigned char in[1];
  unsigned len = 1;
  EXPECT_EQ(0x70016u, edalI2cRead(h, info(-1), 0, in, len, msg));
  EXPECT_TRUE(contains(msg, "error transfer mode is undefined")) << msg;
}

TEST_F(EdalI2c, AbsentDeviceNacks) {
  std::string msg;
  const unsigned char out[1] = {1};
  EXPECT_EQ(0x70000u + ENXIO, edalI2cWrite(h, info(1, 1, 0xA2), 0, out, 1, msg));
  EXPECT_TRUE(contains(msg, "/dev/iic/L01C0E05P01")) << msg;
  ASSERT_TRUE(ravosim::removeI2cDevice(kPort1, 0xA0));
  msg.clear();
  EXPECT_EQ(0x70000u + ENXIO, edalI2cWrite(h, info(0), 0, out, 1, msg));
  ASSERT_TRUE(ravosim::insertI2cDevice(kPort1, 0xA0));
  EXPECT_EQ(0u, edalI2cWrite(h, info(0), 0, out, 1, msg)) << msg;
}

TEST_F(EdalI2c, VanishedCfam) {
  std::string msg;
  const unsigned char out[1] = {1};
  ASSERT_EQ(0u, edalI2cWrite(h, info(0), 0, out, 1, msg)) << msg;
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  EXPECT_EQ(0x70000u + ENODEV, edalI2cWrite(h, info(0), 0, out, 1, msg));
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
}

TEST_F(EdalI2c, PortThatCannotBeOpened) {
  std::string msg;
  const unsigned char out[1] = {1};
  unsigned rc = edalI2cWrite(h, info(1, 5), 0, out, 1, msg);
  EXPECT_EQ(0x70000u, rc & 0xFFFF0000u);
  EXPECT_NE(0x70000u, rc);
  EXPECT_TRUE(contains(msg, " error iic ravo open /dev/iic/L01C0E05P05")) << msg;
  EXPECT_EQ(0x70000u + EINVAL, edalI2cWrite(h, info(1, 16), 0, out, 1, msg));
}

TEST_F(EdalI2c, PortResetFailureIsALogicalFailure) {
  ravosim::failCalls("ravo_iic_reset", kPort1, EIO, 1);
  std::string msg;
  const unsigned char out[1] = {1};
  EXPECT_EQ(0xFFFFu, edalI2cWrite(h, info(1), 0, out, 1, msg));
  EXPECT_TRUE(contains(msg, "ravo_iic_reset on /dev/iic/L01C0E05P01 failed")) << msg;
  // The port stays open and is used as it is.
  msg.clear();
  EXPECT_EQ(0u, edalI2cWrite(h, info(1), 0, out, 1, msg)) << msg;
}

TEST_F(EdalI2c, ResetIrqReachesTheDevice) {
  std::string msg;
  unsigned before = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort1, 0xA0, before));
  const unsigned char out[1] = {0x80};
  ASSERT_EQ(0u, edalSi2cResetIrq(h, info(1), 0x05, out, 1, msg)) << msg;
  ASSERT_EQ(0u, edalSi2cResetIrq(h, info(2), 0x05, out, 1, msg)) << msg;
  unsigned after = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort1, 0xA0, after));
  EXPECT_EQ(before + 2, after);
  EXPECT_EQ(0u, param(1, RAVO_IIC_CFG_FLAGS) & RAVO_IIC_FLAG_SPECIAL_READ);
}

TEST_F(EdalI2c, SlaveTransfersLongerThanAByteCountAreRefused) {
  std::string msg;
  std::vector<unsigned char> block(256, 0);
  EXPECT_EQ(0x70000u + EINVAL, edalI2cWrite(h, info(1), 0, block.data(), 256, msg));
}

struct I2cOp {
  const char* name;
  const char* libraryCall;
  const char* text;
  int mode;
  unsigned (*run)(EdalHandle*, const i2c::i2cInfo_s&, std::string&);
};

const I2cOp kI2cOps[] = {
    {"masterWrite", "ravo_iic_write", "error ravo_iic_write", 0,
     [](EdalHandle* h, const i2c::i2cInfo_s& i, std::string& m) {
       const unsigned char d[2] = {1, 2};
       return edalI2cWrite(h, i, 0, d, 2, m);
     }},
    {"masterRead", "ravo_iic_read", "error ravo_iic_read", 0,
     [](EdalHandle* h, const i2c::i2cInfo_s& i, std::string& m) {
       unsigned char d[2];
       unsigned len = 2;
       return edalI2cRead(h, i, 0, d, len, m);
     }},
    {"slaveWrite", "ravo_siic_write", "error ravo_siic_write", 1,
     [](EdalHandle* h, const i2c::i2cInfo_s& i, std::string& m) {
       const unsigned char d[2] = {1, 2};
       return edalI2cWrite(h, i, 0, d, 2, m);
     }},
    {"slaveRead", "ravo_siic_read", "error ravo_siic_read", 2,
     [](EdalHandle* h, const i2c::i2cInfo_s& i, std::string& m) {
       unsigned char d[2];
       unsigned len = 2;
       return edalI2cRead(h, i, 0, d, len, m);
     }},
    {"resetIrq", "ravo_siic_reset_irq", "error resetting irq", 1,
     [](EdalHandle* h, const i2c::i2cInfo_s& i, std::string& m) {
       const unsigned char d[1] = {1};
       return edalSi2cResetIrq(h, i, 0, d, 1, m);
     }},
};

class EdalI2cFault : public EdalI2c, public ::testing::WithParamInterface<I2cOp> {};

TEST_P(EdalI2cFault, OnceAndAlways) {
  const I2cOp& op = GetParam();
  for (unsigned count : {1u, 0u}) {
    SCOPED_TRACE(count == 1 ? "once" : "always");
    ravosim::clearFaults();
    ravosim::failCalls(op.libraryCall, kPort1, EIO, count);
    std::string msg = "former";
    EXPECT_EQ(0x70005u, op.run(h, info(op.mode), msg));
    EXPECT_TRUE(contains(msg, op.text)) << msg;
    EXPECT_TRUE(contains(msg, std::string(op.libraryCall) + " on /dev/iic/L01C0E05P01 failed")) << msg;
    EXPECT_TRUE(contains(msg, "former")) << msg;
    msg.clear();
    EXPECT_EQ(count == 1 ? 0u : 0x70005u, op.run(h, info(op.mode), msg)) << msg;
    // The special-read bit never stays set.
    EXPECT_EQ(0u, param(1, RAVO_IIC_CFG_FLAGS) & RAVO_IIC_FLAG_SPECIAL_READ);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryTransfer, EdalI2cFault, ::testing::ValuesIn(kI2cOps),
                         [](const ::testing::TestParamInfo<I2cOp>& i) { return std::string(i.param.name); });

TEST_F(EdalI2c, PortOpenFailsOnceAndAlways) {
  for (unsigned count : {1u, 0u}) {
    std::string msg;
    // A fresh engine handle, whose ports are all closed.
    ASSERT_EQ(0u, edalI2cClose(h, msg)) << msg;
    ASSERT_EQ(0u, edalI2cOpen(EdalInfo(1, 0, 5), h, msg)) << msg;
    ravosim::clearFaults();
    ravosim::failCalls("ravo_iic_open", kPort1, EIO, count);
    const unsigned char out[1] = {1};
    EXPECT_EQ(0x70005u, edalI2cWrite(h, info(1), 0, out, 1, msg));
    EXPECT_TRUE(contains(msg, " error iic ravo open /dev/iic/L01C0E05P01")) << msg;
    msg.clear();
    EXPECT_EQ(count == 1 ? 0u : 0x70005u, edalI2cWrite(h, info(1), 0, out, 1, msg)) << msg;
  }
}

TEST_F(EdalI2c, CloseClosesEveryOpenPortAndReportsTheLastFailure) {
  std::string msg;
  const unsigned char out[1] = {1};
  ASSERT_EQ(0u, edalI2cWrite(h, info(1, 1, 0xA0), 0, out, 1, msg)) << msg;
  ASSERT_EQ(0u, edalI2cWrite(h, info(1, 2, 0x30), 0, out, 1, msg)) << msg;
  EXPECT_EQ(handlesBefore + 2, ravosim::openHandles());
  ravosim::failCalls("ravo_iic_close", "/dev/iic/L01C0E05P01", EIO, 1);
  msg.clear();
  EXPECT_EQ(0x70005u, edalI2cClose(h, msg));
  EXPECT_TRUE(contains(msg, " error closing device /dev/iic/L01C0E05P01")) << msg;
  EXPECT_FALSE(contains(msg, "P02")) << msg;
  EXPECT_EQ(nullptr, h);
}

}  // namespace
