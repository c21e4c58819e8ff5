// The PLL and the fanout buffer of an oscillator card on the default
// simulated machine (I2C engine 5, port 0, addresses 0xD4 and 0xD8, on the
// card's supply; the PLL's reference is the clock the card's redundancy
// chip has selected, the fanout buffer's input the PLL's output): what the
// card's activation leaves, patterns and the output frequency they give,
// the stepped spreading change on the transaction log, and faults in the
// middle of a ramp. Card 0 is activated for every test.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clockchips/FanoutBufferHwdIcs852Sxx.h"
#include "kav/clockchips/PllHwdIcs842S02.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const char* const kPort = "/dev/iic/L01C0E05P00";
const unsigned kPll = 0xD4;
const unsigned kFanout = 0xD8;

uint8_t reg(unsigned address, unsigned r) {
  uint8_t value = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(kPort, address, r, value));
  return value;
}

ravosim::ClockSignal clock(unsigned address, const char* name) {
  ravosim::ClockSignal signal;
  EXPECT_TRUE(ravosim::readDeviceClock(kPort, address, name, signal));
  return signal;
}

// The spreading register's writes, with their times.
std::vector<Transaction> spreadingWrites() {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(kPort, kPll))
    if (t.kind == Transaction::I2cWrite && t.offset == 3) out.push_back(t);
  return out;
}

std::vector<uint8_t> bytes(const std::vector<Transaction>& writes) {
  std::vector<uint8_t> out;
  for (const Transaction& t : writes) out.push_back(t.data.empty() ? 0xEE : t.data[0]);
  return out;
}

class PllE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithCard0Activated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_pll = findObject<PllHwdIcs842S02>(kAnyName, kCard0);
    m_fanout = findObject<FanoutBufferHwdIcs852Sxx>(kAnyName, kCard0);
    ASSERT_TRUE(m_pll != nullptr && m_fanout != nullptr);
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    m_pll->writeSpreadingMode(kavosc::SPREADING_OFF, 0);
  }

  KavPtr<PllHwdIcs842S02> m_pll;
  KavPtr<FanoutBufferHwdIcs852Sxx> m_fanout;
};

}  // namespace

TEST_F(PllE2e, ActivatedCardHasItsPllRunningAndTheFanoutOutputsEnabled) {
  // The reset pattern 0x0A80 from the 25 MHz oscillator the redundancy chip
  // selected: 1 GHz, locked, on all nine fanout outputs.
  unsigned pattern = 0;
  ASSERT_EQ(0u, m_pll->readPattern(pattern).getRc());
  EXPECT_EQ(0x0A80u, pattern);
  EXPECT_EQ(1000000u, clock(kPll, "out").nominalKHz);
  uint32_t levels = 0;
  ASSERT_TRUE(ravosim::readPinLevels("/dev/gpio/L01C0E08", levels));
  EXPECT_NE(0u, levels & bit(11));  // locked
  EXPECT_NE(0u, levels & bit(10));  // no error
  unsigned outputs = 0;
  ASSERT_EQ(0u, m_fanout->readOutputControl(outputs).getRc());
  EXPECT_EQ(0x1FFu, outputs);
  EXPECT_EQ(0xFF, reg(kFanout, 3));
  EXPECT_EQ(0x80, reg(kFanout, 4) & 0x80);
  for (const char* out : {"out0", "out8"}) EXPECT_EQ(1000000u, clock(kFanout, out).nominalKHz) << out;
}

TEST_F(PllE2e, PatternsGiveTheFrequencyOfTheirDividers) {
  const struct {
    unsigned pattern;
    uint8_t r1, r2;
    uint32_t kHz;
  } cases[] = {{0x0A81, 0x09, 0x14, 1001563},  // one count more: 3125 / 2 kHz up, rounded half up
               {0x0A80, 0x01, 0x14, 1000000},
               {0x0A70, 0x81, 0x13, 975000}};   // 16 counts down: one step still allowed
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    ravosim::clearTransactionLog();
    ASSERT_EQ(0u, m_pll->writePattern(c.pattern).getRc());
    std::vector<Transaction> writes = ravosim::readTransactionLog(kPort, kPll);
    ASSERT_EQ(1u, writes.size());  // registers 1..2 in one transfer
    EXPECT_EQ((std::vector<uint8_t>{c.r1, c.r2}), writes[0].data);
    EXPECT_EQ(c.kHz, clock(kPll, "out").nominalKHz);
    EXPECT_EQ(c.kHz, clock(kFanout, "out3").nominalKHz);
  }
  // Too large a pattern writes nothing.
  ravosim::clearTransactionLog();
  EXPECT_EQ(0x7248u, m_pll->writePattern(0x4000).getRcWithoutLogFlag());
  EXPECT_TRUE(ravosim::readTransactionLog(kPort, kPll).empty());
  kavstl::set<PllHwdInterface::PllErrorType_t> flags;
  ASSERT_EQ(0u, m_pll->readErrorFlags(flags).getRc());
  EXPECT_TRUE(flags.empty());
  ASSERT_EQ(0u, m_pll->writePattern(0x0A80).getRc());
}

TEST_F(PllE2e, SpreadingRampStepsOneCountAtATime) {
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_UP, 3).getRc());
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_DOWN, 2).getRc());
  const std::vector<Transaction> writes = spreadingWrites();
  EXPECT_EQ((std::vector<uint8_t>{0x42, 0x41, 0x40, 0x00, 0x20, 0x21, 0x22}), bytes(writes));
  // Each step waits its 50 ms (at the test's time scale; whole milliseconds).
  for (size_t i = 1; i < writes.size(); ++i)
    EXPECT_GE(writes[i].time - writes[i - 1].time, std::chrono::milliseconds(scaled(50) - 1)) << i;
  // The machine spreads down by two counts (3125 / 2 kHz each).
  const ravosim::ClockSignal out = clock(kPll, "out");
  EXPECT_EQ(3125u, out.spreadBelowKHz);
  EXPECT_EQ(0u, out.spreadAboveKHz);
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned amount = 0;
  ASSERT_EQ(0u, m_pll->readSpreadingMode(direction, amount).getRc());
  EXPECT_EQ(kavosc::SPREADING_DOWN, direction);
  EXPECT_EQ(2u, amount);
  // Off to off writes nothing.
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_OFF, 0).getRc());
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_OFF, 0).getRc());
  EXPECT_TRUE(spreadingWrites().empty());
}

TEST_F(PllE2e, WriteFailingInTheMiddleOfARampLeavesTheChipAtTheNewDirectionWithoutSpreading) {
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_UP, 3).getRc());
  testsupport::RecordingLogSink log;
  ravosim::clearTransactionLog();
  // The second step (0x41) fails with all its tries.
  ravosim::failCallsAfter("ravo_siic_write", kPort, EIO, 1, 3);
  const ErrorData rc = m_pll->writeSpreadingMode(kavosc::SPREADING_DOWN, 2);
  EXPECT_EQ(0x70000u + EIO, rc.getRcWithoutLogFlag());
  // The way down goes on past the failed step; the climb to the new amount
  // is not started after a failure: the chip is left spreading nothing in
  // the new direction, a state it also passes through on a good ramp.
  std::vector<uint8_t> landed;
  for (const Transaction& t : spreadingWrites())
    if (t.result == 0) landed.push_back(t.data[0]);
  EXPECT_EQ((std::vector<uint8_t>{0x42, 0x40, 0x00, 0x20}), landed);
  EXPECT_EQ(0x20, reg(kPll, 3));
  EXPECT_EQ(0u, clock(kPll, "out").spreadBelowKHz);
  // Logged once, with the chip's bus and address.
  const std::vector<testsupport::LoggedError> logged = log.errorsWithRc(0x70000u + EIO);
  ASSERT_EQ(1u, logged.size());
  EXPECT_NE(std::string::npos, logged[0].text.find("write also fails after 2 retries | bus=x0, address=xd4"))
      << logged[0].text;
  EXPECT_EQ(0x28C07103u, logged[0].src);
  // The next change starts from what the chip holds.
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_DOWN, 2).getRc());
  EXPECT_EQ((std::vector<uint8_t>{0x21, 0x22}), bytes(spreadingWrites()));
}

// Card 0 leaves in the middle of a ramp; it is put back afterwards.
TEST_F(PllE2e, CardVanishingDuringARampEndsItWithTheDeviceGone) {
  ASSERT_EQ(0u, m_pll->writeSpreadingMode(kavosc::SPREADING_CENTER, 4).getRc());
  ravosim::clearTransactionLog();
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(1, 0, "ravo_siic_write", kPort, 2));
  const ErrorData rc = m_pll->writeSpreadingMode(kavosc::SPREADING_UP, 1);
  EXPECT_EQ(0x70000u + ENODEV, rc.getRcWithoutLogFlag());
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));
  std::vector<uint8_t> landed;
  for (const Transaction& t : spreadingWrites())
    if (t.result == 0) landed.push_back(t.data[0]);
  EXPECT_EQ((std::vector<uint8_t>{0x63, 0x62}), landed);
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
}
