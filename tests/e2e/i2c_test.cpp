// Raw I2C transfers through the exported functions of a started library on
// the default simulated machine: each oscillator card has I2C engine 5 with
// a register file at port 0, address 0xD0; its CFAM has hardware-access id 1.
// The cards are plugged once for the whole program; each test leaves the
// machine as it found it.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/i2c/i2c_access.h"
#include "kav/tree/config/StringToId.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

const unsigned int kBaseHwa = 0;
const unsigned int kCardHwa = 1;
const unsigned int kPort = 0;
const unsigned int kDevice = 0xD0;
const unsigned int kNoDevice = 0xD4;

using Bytes = std::vector<unsigned char>;

struct Card {
  unsigned int slot;
  const char* port;  // the device's port path
};
const Card kCards[] = {{kCard0, "/dev/iic/L01C0E05P00"}, {kCard1, "/dev/iic/L02C0E05P00"}};

uint8_t reg(const char* port, unsigned int offset) {
  uint8_t v = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(port, kDevice, offset, v));
  return v;
}

class I2c : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithBothCards(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override { ravosim::clearTransactionLog(); }
  void TearDown() override { ravosim::clearFaults(); }
};

}  // namespace

// Each card's engine writes and reads its own card's device, with the raw
// description: slave-address transfers with a one-byte offset.
TEST_F(I2c, WriteAndReadBackOnEachCard) {
  for (const Card& card : kCards) {
    SCOPED_TRACE(testing::Message() << "slot 0x" << std::hex << card.slot);
    const Bytes data = {static_cast<unsigned char>(card.slot), 0x5A, 0xA5};
    ASSERT_EQ(0u, kav::i2c_write(card.slot, kCardHwa, kPort, kDevice, 0x30, data.data(), 3));
    for (unsigned int i = 0; i < 3; ++i) EXPECT_EQ(data[i], reg(card.port, 0x30 + i));
    Bytes back(3, 0);
    unsigned int len = 3;
    ASSERT_EQ(0u, kav::i2c_read(card.slot, kCardHwa, kPort, kDevice, 0x30, back.data(), len));
    EXPECT_EQ(3u, len);
    EXPECT_EQ(data, back);
    const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog(card.port);
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(ravosim::Transaction::I2cWrite, log[0].kind);
    EXPECT_EQ(ravosim::Transaction::I2cRead, log[1].kind);
    for (const ravosim::Transaction& t : log) {
      EXPECT_EQ(kDevice, t.address);
      EXPECT_EQ(0x30u, t.offset);
      EXPECT_EQ(1u, t.offsetWidth);
    }
    ravosim::clearTransactionLog();
  }
  // Neither card saw the other's bytes.
  EXPECT_EQ(kCard0, reg(kCards[0].port, 0x30));
  EXPECT_EQ(kCard1, reg(kCards[1].port, 0x30));
}

TEST_F(I2c, ResetIrqReachesTheDevice) {
  unsigned int before = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kCards[1].port, kDevice, before));
  const unsigned char clear = 0x03;
  ASSERT_EQ(0u, kav::i2c_resetIrq(kCard1, kCardHwa, kPort, kDevice, 4, &clear, 1));
  unsigned int after = 0;
  ASSERT_TRUE(ravosim::i2cIrqResets(kCards[1].port, kDevice, after));
  EXPECT_EQ(before + 1, after);
  const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog(kCards[1].port);
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(ravosim::Transaction::I2cResetIrq, log[0].kind);
  EXPECT_EQ(kDevice, log[0].address);
  EXPECT_EQ(4u, log[0].offset);
  EXPECT_EQ(std::vector<uint8_t>{0x03}, log[0].data);
}

// No I2C engine of that hardware-access id in the slot: 0x7013 from each
// function, and nothing on any bus.
TEST_F(I2c, SlotWithoutSuchEngine) {
  const struct {
    unsigned int slot;
    unsigned int hwaId;
  } cases[] = {{0x99, kCardHwa}, {kCard0, kBaseHwa}, {kCard0, 2}, {kBaseDomain, kCardHwa}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "slot 0x" << std::hex << c.slot << " hwa " << c.hwaId);
    unsigned char byte = 0;
    unsigned int len = 1;
    EXPECT_EQ(0x7013u, kav::i2c_write(c.slot, c.hwaId, kPort, kDevice, 0, &byte, 1));
    EXPECT_EQ(0x7013u, kav::i2c_read(c.slot, c.hwaId, kPort, kDevice, 0, &byte, len));
    EXPECT_EQ(0x7013u, kav::i2c_resetIrq(c.slot, c.hwaId, kPort, kDevice, 0, &byte, 1));
  }
  EXPECT_TRUE(ravosim::readTransactionLog("/dev/iic/*").empty());
  // The base domain's own engine is there (with nothing on its bus).
  unsigned char byte = 0;
  unsigned int len = 1;
  EXPECT_EQ(0x70000u + ENXIO, code(kav::i2c_read(kBaseDomain, kBaseHwa, kPort, kDevice, 0, &byte, len)));
}

// Device failures come back as the device access layer's codes; the raw
// functions try once.
TEST_F(I2c, DeviceFailuresAreTheirCodes) {
  unsigned char byte = 0;
  unsigned int len = 1;
  EXPECT_EQ(0x70000u + ENXIO, code(kav::i2c_write(kCard0, kCardHwa, kPort, kNoDevice, 0, &byte, 1)));
  ravosim::failCalls("ravo_siic_read", kCards[0].port, EIO);
  EXPECT_EQ(0x70000u + EIO, code(kav::i2c_read(kCard0, kCardHwa, kPort, kDevice, 0, &byte, len)));
  EXPECT_EQ(0u, kav::i2c_read(kCard0, kCardHwa, kPort, kDevice, 0, &byte, len));
  const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog(kCards[0].port);
  ASSERT_EQ(3u, log.size());
  EXPECT_EQ(ENXIO, log[0].result);
  EXPECT_EQ(EIO, log[1].result);
  EXPECT_EQ(0, log[2].result);
}

// A card that left takes its engine with it: the exported functions find
// no engine for the slot (the engine object is marked deleted and leaves
// the tree). A new build of the card has a working engine again.
TEST_F(I2c, EngineOfACardThatLeft) {
  const unsigned int name = get_id_by_string("I2C-Link_1-Engine_0");
  KavPtr<I2cViaFsiHwa> engine = findObject<I2cViaFsiHwa>(name, kCard1);
  ASSERT_TRUE(engine != nullptr);
  EXPECT_TRUE(engine->isOpen());
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  EXPECT_TRUE(engine->isDeleted());
  engine = KavPtr<I2cViaFsiHwa>();
  unsigned char byte = 0;
  unsigned int len = 1;
  EXPECT_EQ(0x7013u, kav::i2c_read(kCard1, kCardHwa, kPort, kDevice, 0, &byte, len));
  EXPECT_EQ(0x7013u, kav::i2c_write(kCard1, kCardHwa, kPort, kDevice, 0, &byte, 1));
  EXPECT_TRUE(ravosim::readTransactionLog(kCards[1].port).empty());
  // The other card is not affected.
  EXPECT_EQ(0u, kav::i2c_read(kCard0, kCardHwa, kPort, kDevice, 0, &byte, len));

  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1); }));
  EXPECT_EQ(0u, kav::i2c_read(kCard1, kCardHwa, kPort, kDevice, 0, &byte, len));
  KavPtr<I2cViaFsiHwa> rebuilt = findObject<I2cViaFsiHwa>(name, kCard1);
  ASSERT_TRUE(rebuilt != nullptr);
  EXPECT_TRUE(rebuilt->isOpen());
}
