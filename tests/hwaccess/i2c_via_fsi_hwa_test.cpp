// The I2C engine object on the simulated machine: transfers in each mode,
// the engine's open state, and failed transfers as error values.
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/tree/config/StringToId.h"
#include "tests/hwaccess/I2cTestSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace i2ctest;
using Bytes = std::vector<unsigned char>;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class I2cViaFsiHwaTest : public I2cFixture {};

}  // namespace

// Master (0) and slave-address (1) transfers write the device's registers
// and read them back; the bus sees the device address and the offset.
TEST_F(I2cViaFsiHwaTest, WriteAndReadInMasterAndSlaveAddressMode) {
  KavPtr<I2cViaFsiHwa> engine = addEngine();
  const struct {
    int mode;
    unsigned int offset;
    Bytes data;
  } cases[] = {{0, 0x20, {0x11, 0x22, 0x33}}, {1, 0x40, {0xA5, 0x5A}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    ravosim::clearTransactionLog();
    i2c::i2cInfo_s info = slaveInfo(kDevice);
    info.transferMode = c.mode;
    ASSERT_EQ(0u, engine->write(info, c.offset, c.data.data(), static_cast<unsigned>(c.data.size())).getRc());
    for (unsigned int i = 0; i < c.data.size(); ++i) EXPECT_EQ(c.data[i], reg(c.offset + i));
    Bytes back(c.data.size(), 0);
    unsigned int len = static_cast<unsigned>(back.size());
    ASSERT_EQ(0u, engine->read(info, c.offset, back.data(), len).getRc());
    EXPECT_EQ(c.data.size(), len);
    EXPECT_EQ(c.data, back);
    const std::vector<ravosim::Transaction> log = transfers();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(ravosim::Transaction::I2cWrite, log[0].kind);
    EXPECT_EQ(ravosim::Transaction::I2cRead, log[1].kind);
    for (const ravosim::Transaction& t : log) {
      EXPECT_EQ(kDevice, t.address);
      EXPECT_EQ(c.offset, t.offset);
      EXPECT_EQ(1u, t.offsetWidth);
      EXPECT_EQ(0, t.result);
    }
  }
}

TEST_F(I2cViaFsiHwaTest, ResetIrqIsAnInterruptResetTransfer) {
  KavPtr<I2cViaFsiHwa> engine = addEngine();
  const Bytes data = {0x03};
  ASSERT_EQ(0u, engine->resetIrq(slaveInfo(kDevice), 4, data.data(), 1).getRc());
  unsigned int resets = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kPort, kDevice, resets));
  EXPECT_EQ(1u, resets);
  const std::vector<ravosim::Transaction> log = transfers();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(ravosim::Transaction::I2cResetIrq, log[0].kind);
  EXPECT_EQ(4u, log[0].offset);
  EXPECT_EQ(data, Bytes(log[0].data.begin(), log[0].data.end()));
}

// Not opened yet: 0x7019; marked deleted and closed (a card that left):
// 0x7017. Neither reaches the bus.
TEST_F(I2cViaFsiHwaTest, EngineNotOpenOrDeleted) {
  KavPtr<I2cViaFsiHwa> engine = addEngine(false);
  EXPECT_FALSE(engine->isOpen());
  const Bytes data = {1, 2};
  Bytes buffer(2, 0);
  unsigned int len = 2;
  const i2c::i2cInfo_s info = slaveInfo(kDevice);
  auto results = [&] {
    len = 2;
    return std::vector<unsigned int>{engine->write(info, 0, data.data(), 2).getRc(),
                                     engine->read(info, 0, buffer.data(), len).getRc(),
                                     engine->resetIrq(info, 0, data.data(), 2).getRc()};
  };
  EXPECT_EQ((std::vector<unsigned int>{0x7019u, 0x7019u, 0x7019u}), results());

  // Opening twice keeps the first handle.
  ASSERT_EQ(0u, engine->openEngine().getRc());
  std::ostringstream first;
  engine->dumpXml(first);
  ASSERT_EQ(0u, engine->openEngine().getRc());
  std::ostringstream second;
  engine->dumpXml(second);
  EXPECT_EQ(first.str(), second.str());
  EXPECT_EQ((std::vector<unsigned int>{0u, 0u, 0u}), results());
  EXPECT_EQ(m_handlesBefore + 1, ravosim::openHandles());  // port 1, opened by the first transfer

  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, engine->terminate(terminateSequence::TERM_MARK_DELETED).getRc());
  ASSERT_EQ(0u, engine->terminate(terminateSequence::TERM_CLOSE_ENGINES).getRc());
  EXPECT_FALSE(engine->isOpen());
  EXPECT_EQ(m_handlesBefore, ravosim::openHandles());
  EXPECT_EQ((std::vector<unsigned int>{0x7017u, 0x7017u, 0x7017u}), results());
  EXPECT_TRUE(transfers().empty());
}

// A failed transfer carries the device access layer's code, the engine's
// text and path, the keys of its error-log entry and the slot id; the
// engine itself logs nothing (the device's driver does).
TEST_F(I2cViaFsiHwaTest, FailedTransferBecomesTheDeviceAccessCode) {
  KavPtr<I2cViaFsiHwa> engine = addEngine();
  testsupport::RecordingLogSink log;
  const struct {
    const char* what;
    unsigned int address;
    int injected;  // errno of ravo_siic_write, 0 for none
    unsigned int rc;
  } cases[] = {
      {"no device", kNoDevice, 0, 0x70000u + ENXIO},
      {"bus error", kDevice, EIO, 0x70000u + EIO},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.injected != 0) ravosim::failCalls("ravo_siic_write", kPort, c.injected);
    const Bytes data = {0x42};
    ErrorData err = engine->write(slaveInfo(c.address), 0x10, data.data(), 1);
    EXPECT_EQ(c.rc, err.getRc());
    const std::string text(err.getErrorBuffer(), err.getErrorBufferLen());
    char expected[64];
    std::snprintf(expected, sizeof expected, "I2C Access Error on FSI  rc=0x%.8X", c.rc);
    EXPECT_TRUE(contains(text, expected)) << text;
    EXPECT_TRUE(contains(text, "PhysLinkNumber=1, PhysCascadeId=0, PhysEngineNumber=5")) << text;
    unsigned int primary = 0, secondary = 0;
    err.getKeys(primary, secondary);
    EXPECT_EQ(get_id_by_string("FSI_I2C_ACCESS"), primary);
    EXPECT_EQ((kavstl::vector<unsigned int>{kSlot}), err.getSlotIds());
    EXPECT_FALSE(err.isSrcDefined());
  }
  EXPECT_TRUE(log.errors().empty());
  // Undefined transfer mode: the device access layer refuses it.
  i2c::i2cInfo_s undefined = slaveInfo(kDevice);
  undefined.transferMode = -1;
  unsigned int len = 1;
  unsigned char byte = 0;
  EXPECT_EQ(0x70016u, engine->read(undefined, 0, &byte, len).getRc());
}

// A length without a buffer is refused before the bus is touched.
TEST_F(I2cViaFsiHwaTest, LengthWithoutBufferIsRefused) {
  KavPtr<I2cViaFsiHwa> engine = addEngine();
  unsigned int len = 4;
  EXPECT_EQ(0x7012u, engine->write(slaveInfo(kDevice), 0, nullptr, 4).getRc());
  EXPECT_EQ(0x7012u, engine->read(slaveInfo(kDevice), 0, nullptr, len).getRc());
  EXPECT_EQ(0x7012u, engine->resetIrq(slaveInfo(kDevice), 0, nullptr, 4).getRc());
  EXPECT_TRUE(transfers().empty());
}

TEST_F(I2cViaFsiHwaTest, DumpNamesHandleAndEngineAddress) {
  KavPtr<I2cViaFsiHwa> engine = addEngine(false);
  EXPECT_EQ(get_id_by_string("I2C-Link_1-Engine_0"), engine->getInstanceId());
  std::ostringstream closed;
  engine->dumpXml(closed);
  for (const char* part : {"<class className=\"I2cViaFsiHwa\">", "name=\"physicalLinkNumber\" value=\"1\"",
                           "name=\"physicalCascadeId\" value=\"0\"", "name=\"physicalEngineNumber\" value=\"5\"",
                           "name=\"isDeleted\" value=\"false\""})
    EXPECT_TRUE(contains(closed.str(), part)) << part << "\n" << closed.str();
  EXPECT_TRUE(contains(closed.str(), "name=\"m_pEdalHandle\" value=\"(nil)\"") ||
              contains(closed.str(), "name=\"m_pEdalHandle\" value=\"0\""))
      << closed.str();
  ASSERT_EQ(0u, engine->openEngine().getRc());
  std::ostringstream open;
  engine->dumpXml(open);
  EXPECT_NE(closed.str(), open.str());
}
