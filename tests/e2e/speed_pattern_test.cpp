// The PLL speed on the default simulated machine: each card's speed access
// (OscCardPllSpeed) writes a cycle time as a PLL pattern into the card's
// state table (field PllSpeedPattern, scratchpad bytes 1..4) and, while the
// card is active, into the PLL, whose output the simulated machine then
// runs at; an inactive card gets only the table and its activation (power
// step 339) programs the chip; a restart of the library re-applies the
// stored pattern at init step 11; a failing transfer leaves the new
// pattern in the table and returns the error.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clock/speed/PllPatternAccessDeviceBased.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/tree/config/StringToId.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const unsigned kPll = 0xD4;

struct Card {
  unsigned slot;
  const char* port;
  const char* scratchpad;
  const char* supply;
};
const Card kCards[2] = {{kCard0, "/dev/iic/L01C0E05P00", "/dev/scp/L01C0E03", "osc0.vdd"},
                        {kCard1, "/dev/iic/L02C0E05P00", "/dev/scp/L02C0E03", "osc1.vdd"}};

KavPtr<PllSpeedAccessPatternBased> speed(const Card& card) {
  return findObject<PllSpeedAccessPatternBased>(get_id_by_string("OscCardPllSpeed"), card.slot);
}

KavPtr<PowerControl> power(const Card& card) { return findObject<PowerControl>(kAnyName, card.slot); }

// The pattern in the PLL's registers 1..2.
unsigned chipPattern(const Card& card) {
  uint8_t r1 = 0, r2 = 0;
  EXPECT_TRUE(ravosim::peekI2cRegister(card.port, kPll, 1, r1));
  EXPECT_TRUE(ravosim::peekI2cRegister(card.port, kPll, 2, r2));
  return ((r1 & 7u) << 11) | (r1 >> 3) | ((r2 & 0x3Fu) << 5);
}

// The state table's field as the card's scratchpad holds it (after the
// state byte, most significant byte first).
unsigned tablePattern(const Card& card) {
  uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_TRUE(ravosim::readScratchpad(card.scratchpad, 1, b, 4));
  return (unsigned(b[0]) << 24) | (unsigned(b[1]) << 16) | (unsigned(b[2]) << 8) | b[3];
}

unsigned outputKhz(const Card& card) {
  ravosim::ClockSignal signal;
  EXPECT_TRUE(ravosim::readDeviceClock(card.port, kPll, "out", signal));
  return signal.nominalKHz;
}

std::vector<Transaction> pllTransfers(const Card& card) { return ravosim::readTransactionLog(card.port, kPll); }

class SpeedE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithCard0Activated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    ravosim::clearFaults();
    ravosim::clearTransactionLog();
  }
  void TearDown() override { ravosim::clearFaults(); }
};

}  // namespace

TEST_F(SpeedE2e, ACycleTimeReachesTheTableThePllAndTheMachinesClock) {
  const Card& card = kCards[0];
  KavPtr<PllSpeedAccessPatternBased> access = speed(card);
  ASSERT_TRUE(access != nullptr);
  // The activation's power step 339 found an empty table and recorded the
  // default pattern; the chip runs its reset pattern, 1 GHz.
  EXPECT_EQ(0x0A80u, tablePattern(card));
  EXPECT_EQ(0x0A80u, chipPattern(card));
  EXPECT_EQ(1000000u, outputKhz(card));
  unsigned ct = 0;
  ASSERT_EQ(0u, access->readSpeed(ct).getRc());
  EXPECT_EQ(1000u, ct);

  ASSERT_EQ(0u, access->writeSpeed(7500u).getRc());
  EXPECT_EQ(0x2D55u, tablePattern(card));
  EXPECT_EQ(0x2D55u, chipPattern(card));
  // One transfer of registers 1..2.
  std::vector<Transaction> writes;
  for (const Transaction& t : pllTransfers(card))
    if (t.kind == Transaction::I2cWrite) writes.push_back(t);
  ASSERT_EQ(1u, writes.size());
  EXPECT_EQ(1u, writes[0].offset);
  EXPECT_EQ((std::vector<uint8_t>{0xAD, 0x2A}), writes[0].data);
  // The machine's clock is the pattern's frequency.
  PllSpeedPattern pattern;
  ASSERT_EQ(0u, access->readSpeed(pattern).getRc());
  EXPECT_EQ(0x2D55u, pattern.getPllPattern());
  EXPECT_EQ(133301u, pattern.calculateOutputFrequencyInKhz());
  EXPECT_EQ(pattern.calculateOutputFrequencyInKhz(), outputKhz(card));
  ASSERT_EQ(0u, access->readSpeed(ct).getRc());
  EXPECT_EQ(7502u, ct);

  // Steering a few counts each way stays in the range; the machine follows.
  for (unsigned target : {7490u, 7510u, 7500u}) {
    ASSERT_EQ(0u, access->writeSpeed(target).getRc()) << target;
    PllSpeedPattern now;
    ASSERT_EQ(0u, access->readSpeed(now).getRc());
    EXPECT_EQ(0x2800u, now.getPllPattern() & 0x3800u) << target;
    EXPECT_EQ(now.getPllPattern(), chipPattern(card));
    EXPECT_EQ(now.calculateOutputFrequencyInKhz(), outputKhz(card)) << target;
  }
  // 1000 ps and 900 ps are reachable, and the machine agrees.
  for (unsigned target : {1000u, 900u}) {
    ASSERT_EQ(0u, access->writeSpeed(target).getRc()) << target;
    PllSpeedPattern now;
    ASSERT_EQ(0u, access->readSpeed(now).getRc());
    unsigned got = 0;
    ASSERT_EQ(0u, now.getOutputCyletimeInPicoSeconds(got).getRc());
    EXPECT_EQ(target, got);
    EXPECT_EQ(now.calculateOutputFrequencyInKhz(), outputKhz(card)) << target;
  }
  EXPECT_EQ(0x158Eu, chipPattern(card));  // M 2 from 1000 ps on
  ASSERT_EQ(0u, access->writeSpeed(7500u).getRc());
}

TEST_F(SpeedE2e, AnInactiveCardGetsOnlyTheTableAndItsActivationProgramsThePll) {
  const Card& card = kCards[1];
  KavPtr<PllSpeedAccessPatternBased> access = speed(card);
  KavPtr<PowerControl> control = power(card);
  ASSERT_TRUE(access != nullptr && control != nullptr);
  PowerControl::FruActivationState_t state = PowerControl::ACTIVATED;
  ASSERT_EQ(0u, control->getActivationState(state).getRc());
  ASSERT_EQ(PowerControl::DEACTIVATED, state);

  ASSERT_EQ(0u, access->writeSpeed(7500u).getRc());
  EXPECT_EQ(0x2D55u, tablePattern(card));
  EXPECT_TRUE(pllTransfers(card).empty());
  bool powered = true;
  ASSERT_TRUE(ravosim::devicePowered(card.port, kPll, powered));
  EXPECT_FALSE(powered);

  // Activation: the chips are supplied (step 7), then power step 339
  // writes the table's pattern.
  ASSERT_EQ(0u, control->activate(false).getRc());
  EXPECT_EQ(0x2D55u, chipPattern(card));
  EXPECT_EQ(133301u, outputKhz(card));
  EXPECT_EQ(0x2D55u, tablePattern(card));
  ASSERT_EQ(0u, control->deactivate(false).getRc());
}

TEST_F(SpeedE2e, AFailingTransferLeavesTheNewPatternInTheTableAndReturnsTheError) {
  const Card& card = kCards[0];
  KavPtr<PllSpeedAccessPatternBased> access = speed(card);
  ASSERT_TRUE(access != nullptr);
  ASSERT_EQ(0x2D55u, chipPattern(card));
  // The pattern write fails with all its tries.
  ravosim::failCalls("ravo_siic_write", card.port, EIO, 3);
  const ErrorData rc = access->writeSpeed(1000u);
  EXPECT_EQ(0x70000u + EIO, rc.getRcWithoutLogFlag());
  // The table is the record of what was asked: it holds the new pattern,
  // the chip and the machine the old one.
  EXPECT_EQ(0x1500u, tablePattern(card));
  EXPECT_EQ(0x2D55u, chipPattern(card));
  EXPECT_EQ(133301u, outputKhz(card));
  unsigned ct = 0;
  ASSERT_EQ(0u, access->readSpeed(ct).getRc());
  EXPECT_EQ(1000u, ct);  // what the table holds
  // Asked again, it reaches the chip.
  ravosim::clearFaults();
  ASSERT_EQ(0u, access->writeSpeed(1000u).getRc());
  EXPECT_EQ(0x1500u, chipPattern(card));
  EXPECT_EQ(1000000u, outputKhz(card));
  ASSERT_EQ(0u, access->writeSpeed(7500u).getRc());
  EXPECT_EQ(0x2D55u, chipPattern(card));
}

TEST_F(SpeedE2e, ARestartReappliesTheStoredPattern) {
  const Card& card = kCards[0];
  ASSERT_EQ(0x2D55u, tablePattern(card));
  ASSERT_EQ(0u, code(kav::stop()));
  // While the library is stopped the card's supply fails and returns: the
  // PLL starts again from its reset pattern. The card stays activated.
  ASSERT_TRUE(ravosim::cutSupply(card.supply));
  ASSERT_TRUE(ravosim::restoreSupply(card.supply));
  EXPECT_EQ(0x0A80u, chipPattern(card));
  EXPECT_EQ(1000000u, outputKhz(card));
  ravosim::clearTransactionLog();

  // A new start: the card's init step 11 (activated card) restores the
  // table's pattern.
  startWithBothCards();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(0x2D55u, chipPattern(card));
  EXPECT_EQ(0x2D55u, tablePattern(card));
  EXPECT_EQ(133301u, outputKhz(card));
  // Read, then written once.
  unsigned reads = 0, writes = 0;
  for (const Transaction& t : pllTransfers(card))
    if (t.offset == 1) (t.kind == Transaction::I2cWrite ? writes : reads) += 1;
  EXPECT_EQ(1u, writes);
  EXPECT_GE(reads, 1u);
  // A further start with the chip already right writes nothing.
  ASSERT_EQ(0u, code(kav::stop()));
  ravosim::clearTransactionLog();
  startWithBothCards();
  ASSERT_FALSE(HasFatalFailure());
  writes = 0;
  for (const Transaction& t : pllTransfers(card))
    if (t.kind == Transaction::I2cWrite && t.offset == 1) ++writes;
  EXPECT_EQ(0u, writes);
  EXPECT_EQ(0x2D55u, chipPattern(card));
}
