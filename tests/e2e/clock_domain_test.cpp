// The clock domain of an oscillator card on the default simulated machine:
// the oscillator modes on an activated card (the lookup-table controls of
// the clock enables, the pins they drive, the redundancy chip's mode
// registers, in order on the transaction log), a mode written to a
// deactivated card and applied by its activation, a deselected domain with
// a recorded spreading, a speed pattern written through the domain, the
// steering mode, the status, and faults: a PLL that loses its lock, a
// failing transfer and a card that vanishes in the middle of a speed
// change. Card 0 is activated for every test; card 1 is activated only
// where a test says so.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/PowerControl.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/hwaccess/dio/dio_access.h"
#include "kav/tree/config/StringToId.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const unsigned kCrc = 0xB0;
const unsigned kPll = 0xD4;
const unsigned int kCardHwa = 1;
const unsigned kPllEnablePin = 12;
const unsigned kCrcEnablePin = 13;

const char* port(unsigned int slot) { return slot == kCard0 ? "/dev/iic/L01C0E05P00" : "/dev/iic/L02C0E05P00"; }
const char* gpio(unsigned int slot) { return slot == kCard0 ? "/dev/gpio/L01C0E08" : "/dev/gpio/L02C0E08"; }

uint8_t reg(unsigned int slot, unsigned address, unsigned r) {
  uint8_t value = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(port(slot), address, r, value));
  return value;
}

bool pin(unsigned int slot, unsigned n) {
  uint32_t levels = 0;
  EXPECT_TRUE(ravosim::readPinLevels(gpio(slot), levels));
  return (levels & bit(n)) != 0;
}

// The control of lookup table 0 (PLL) or 1 (redundancy chip).
unsigned int control(unsigned int slot, unsigned int table) {
  unsigned int value = 0;
  EXPECT_EQ(0u, kav::dio_pldGetTableControl(slot, kCardHwa, 0, table, value));
  return value;
}

// The pattern bits the PLL's registers 1 and 2 hold.
unsigned int pllPattern(unsigned int slot) {
  const unsigned r1 = reg(slot, kPll, 1), r2 = reg(slot, kPll, 2);
  return (r1 & 7) << 11 | r1 >> 3 | (r2 & 0x3F) << 5;
}

ravosim::ClockSignal pllOutput(unsigned int slot) {
  ravosim::ClockSignal signal;
  EXPECT_TRUE(ravosim::readDeviceClock(port(slot), kPll, "out", signal));
  return signal;
}

// The pin changes of the clock-enable pins, in order: the pin and its level.
std::vector<std::pair<unsigned, bool>> enableChanges(unsigned int slot, std::vector<Transaction>* changes = nullptr) {
  std::vector<std::pair<unsigned, bool>> out;
  for (const Transaction& t : ravosim::readTransactionLog(gpio(slot))) {
    if (t.kind != Transaction::PinChange) continue;
    for (unsigned n : {kPllEnablePin, kCrcEnablePin})
      if ((t.mask & bit(n)) != 0) {
        out.emplace_back(n, (t.levels & bit(n)) != 0);
        if (changes != nullptr) changes->push_back(t);
      }
  }
  return out;
}

template <class T>
KavPtr<T> object(unsigned int slot) {
  return findObject<T>(kAnyName, slot);
}

// The 4-byte pattern field of the card's state table, as the speed access
// reads it.
unsigned int recordedPattern(const KavPtr<ClockDomain>& domain) {
  PllSpeedPattern pattern;
  EXPECT_EQ(0u, domain->readPllSpeedPattern(pattern).getRc());
  return pattern.getPllPattern();
}

unsigned char steeringField(unsigned int slot) {
  unsigned char flag = 0xEE;
  KavPtr<FruStateTable> table = object<FruStateTable>(slot);
  EXPECT_TRUE(table != nullptr);
  if (table != nullptr) {
    EXPECT_EQ(0u, table->readField(get_id_by_string("SteeringMode"), &flag, 1, 0).getRc());
  }
  return flag;
}

// The candidate for the cycle time in the output range the domain runs in,
// or else the first one.
PllSpeedPattern patternFor(const KavPtr<ClockDomain>& domain, unsigned int cycleTime) {
  PllSpeedPatternList list;
  EXPECT_EQ(0u, domain->getPossiblePllRangesForCycleTime(cycleTime, list).getRc());
  PllSpeedPattern current;
  EXPECT_EQ(0u, domain->readPllSpeedPattern(current).getRc());
  PllSpeedPattern found = list.getForSameRange(current);
  return found.isInit() ? found : list.getFirstMatchingRange();
}

class ClockDomainE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithCard0Activated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_domain = object<ClockDomain>(kCard0);
    m_other = object<ClockDomain>(kCard1);
    ASSERT_TRUE(m_domain != nullptr && m_other != nullptr);
    ASSERT_EQ(0u, m_domain->readPllSpeedPattern(m_start).getRc());
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    if (m_domain == nullptr) return;
    m_domain->stopSteeringMode();
    m_domain->writeSpreadingValues(kavosc::SPREADING_OFF, 0);
    m_domain->writePllSpeedPattern(m_start);
    m_domain->writeMode(kavosc::OSC_SET_MODE_NONE);
  }

  KavPtr<ClockDomain> m_domain;
  KavPtr<ClockDomain> m_other;
  PllSpeedPattern m_start;
};

}  // namespace

TEST_F(ClockDomainE2e, DomainOfEachCardIsTypeOneAndStartsDeselected) {
  for (const KavPtr<ClockDomain>& d : {m_domain, m_other}) {
    EXPECT_EQ(kavosc::CLOCK_DOMAIN_1, d->getClockDomainType());
    EXPECT_EQ(kavosc::OSC_SET_MODE_NONE, d->getMode());
    EXPECT_FALSE(d->isDefective());
  }
  // The activation left card 0's clocks disabled, as mode 0 wants them.
  EXPECT_EQ(2u, control(kCard0, 0));
  EXPECT_EQ(2u, control(kCard0, 1));
  EXPECT_FALSE(pin(kCard0, kPllEnablePin));
  EXPECT_FALSE(pin(kCard0, kCrcEnablePin));
}

TEST_F(ClockDomainE2e, EachModeSetsTheChipsModeThenTheClockEnables) {
  // The redundancy chip's register 4 (bits 5..3 disable inputs 1..3, bits
  // 1..0 the selected input) and register 1 bit 3 (bandwidth 2; the card
  // gives mode 2 bandwidth 2, the others 1).
  const struct {
    kavosc::OscSetMode_t mode;
    uint8_t inputs;
    bool bandwidth2;
    bool clocksOn;
  } cases[] = {{kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0x20, false, true},
               {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, 0x12, true, true},
               {kavosc::OSC_SET_MODE_SINGLE, 0x30, false, true},
               {kavosc::OSC_SET_MODE_OTHER_SINGLE, 0x30, false, true},
               {kavosc::OSC_SET_MODE_NONE, 0x30, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_NONE).getRc());
    ravosim::clearTransactionLog();
    ASSERT_EQ(0u, m_domain->writeMode(c.mode).getRc());
    EXPECT_EQ(c.mode, m_domain->getMode());
    EXPECT_EQ(c.inputs, reg(kCard0, kCrc, 4) & 0x3F);
    EXPECT_EQ(c.bandwidth2, (reg(kCard0, kCrc, 1) & 0x08) != 0);
    const unsigned int expected = c.clocksOn ? 1u : 2u;
    EXPECT_EQ(expected, control(kCard0, 0));
    EXPECT_EQ(expected, control(kCard0, 1));
    EXPECT_EQ(c.clocksOn, pin(kCard0, kPllEnablePin));
    EXPECT_EQ(c.clocksOn, pin(kCard0, kCrcEnablePin));
    if (!c.clocksOn) continue;
    // The PLL's enable before the chip's, both at least 10 ms after the
    // chip's mode was written.
    std::vector<Transaction> changes;
    const std::vector<std::pair<unsigned, bool>> order = enableChanges(kCard0, &changes);
    ASSERT_EQ((std::vector<std::pair<unsigned, bool>>{{kPllEnablePin, true}, {kCrcEnablePin, true}}), order);
    std::vector<Transaction> chip = ravosim::readTransactionLog(port(kCard0), kCrc);
    ASSERT_FALSE(chip.empty());
    EXPECT_GE(changes[0].time - chip.back().time, std::chrono::milliseconds(scaled(10) - 1));
  }
  // Back to mode 0: the chip's enable goes before the PLL's.
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_SINGLE).getRc());
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_NONE).getRc());
  EXPECT_EQ((std::vector<std::pair<unsigned, bool>>{{kCrcEnablePin, false}, {kPllEnablePin, false}}),
            enableChanges(kCard0));
}

TEST_F(ClockDomainE2e, ModeOutOfRangeIsRefusedAndNotRecorded) {
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  ravosim::clearTransactionLog();
  EXPECT_EQ(0x7254u, m_domain->writeMode(static_cast<kavosc::OscSetMode_t>(5)).getRcWithoutLogFlag());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, m_domain->getMode());
  EXPECT_TRUE(ravosim::readTransactionLog(port(kCard0), kCrc).empty());
  EXPECT_TRUE(enableChanges(kCard0).empty());
}

TEST_F(ClockDomainE2e, ModeOfADeactivatedCardIsOnlyRecordedUntilItsActivation) {
  KavPtr<PowerControl> card = object<PowerControl>(kCard1);
  ASSERT_TRUE(card != nullptr);
  ASSERT_EQ(0u, m_other->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, m_other->getMode());
  EXPECT_TRUE(ravosim::readTransactionLog(port(kCard1)).empty());
  EXPECT_TRUE(enableChanges(kCard1).empty());
  EXPECT_EQ(2u, control(kCard1, 0));
  EXPECT_EQ(2u, control(kCard1, 1));

  // The activation's clock-mode step applies it.
  ASSERT_EQ(0u, card->activate(false).getRc());
  EXPECT_EQ(0x20, reg(kCard1, kCrc, 4) & 0x3F);
  EXPECT_EQ(1u, control(kCard1, 0));
  EXPECT_EQ(1u, control(kCard1, 1));
  EXPECT_EQ((std::vector<std::pair<unsigned, bool>>{{kPllEnablePin, true}, {kCrcEnablePin, true}}),
            enableChanges(kCard1));

  // The deactivation disables the clocks again; the mode stays recorded.
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, card->deactivate(false).getRc());
  EXPECT_EQ((std::vector<std::pair<unsigned, bool>>{{kCrcEnablePin, false}, {kPllEnablePin, false}}),
            enableChanges(kCard1));
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, m_other->getMode());
  ASSERT_EQ(0u, m_other->writeMode(kavosc::OSC_SET_MODE_NONE).getRc());
}

// The activation ends with the recorded spreading started. A deselected
// domain (mode 0) keeps its clocks disabled through it: they are not
// forced for the change nor enabled after it, and the PLL does not spread.
TEST_F(ClockDomainE2e, ActivationStartsTheRecordedSpreadingOnlyWhereTheModeAllows) {
  KavPtr<PowerControl> card = object<PowerControl>(kCard1);
  ASSERT_TRUE(card != nullptr);
  const struct {
    kavosc::OscSetMode_t mode;
    uint8_t spreading;  // PLL register 3 after the activation
    unsigned int enables;
  } cases[] = {{kavosc::OSC_SET_MODE_NONE, 0x00, 2},
               {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, 0x00, 1},
               // up by (640 x 5 + 500) / 1000 = 3 counts of N
               {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0x43, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(0u, m_other->writeMode(c.mode).getRc());
    ASSERT_EQ(0u, m_other->writeSpreadingValues(kavosc::SPREADING_UP, 5).getRc());
    ravosim::clearTransactionLog();
    ASSERT_EQ(0u, card->activate(false).getRc());
    EXPECT_EQ(c.spreading, reg(kCard1, kPll, 3));
    EXPECT_EQ(c.enables, control(kCard1, 0));
    EXPECT_EQ(c.enables, control(kCard1, 1));
    if (c.mode == kavosc::OSC_SET_MODE_NONE) {
      EXPECT_TRUE(enableChanges(kCard1).empty());
    }
    ASSERT_EQ(0u, card->deactivate(false).getRc());
  }
  ASSERT_EQ(0u, m_other->writeSpreadingValues(kavosc::SPREADING_OFF, 0).getRc());
  ASSERT_EQ(0u, m_other->writeMode(kavosc::OSC_SET_MODE_NONE).getRc());
}

TEST_F(ClockDomainE2e, PatternForACycleTimeReachesThePllAndTheStateTable) {
  const PllSpeedPattern pattern = patternFor(m_domain, 7500);
  ASSERT_TRUE(pattern.isInit());
  unsigned int kHz = 0;
  unsigned int cycleTime = 0;
  ASSERT_EQ(0u, pattern.getOutputFrequencyInKhz(kHz).getRc());
  ASSERT_EQ(0u, pattern.getOutputCyletimeInPicoSeconds(cycleTime).getRc());
  EXPECT_NEAR(7500.0, cycleTime, 10.0);
  ASSERT_EQ(0u, m_domain->writePllSpeedPattern(pattern).getRc());
  EXPECT_EQ(pattern.getPllPattern(), pllPattern(kCard0));
  EXPECT_EQ(pattern.getPllPattern(), recordedPattern(m_domain));
  // The machine's PLL runs at the frequency the pattern stands for.
  const ravosim::ClockSignal out = pllOutput(kCard0);
  EXPECT_TRUE(out.running());
  EXPECT_EQ(kHz, out.nominalKHz);
  kavosc::ClockDomainStatus_t status;
  ASSERT_EQ(0u, m_domain->readStatus(status).getRc());
  EXPECT_EQ(cycleTime, status.pllStatus.cycleTime);
}

TEST_F(ClockDomainE2e, SteeringRecordsItsFlagAndForcesThePllClockEnable) {
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  ASSERT_EQ(0u, m_domain->startSteeringMode().getRc());
  bool active = false;
  ASSERT_EQ(0u, m_domain->isSteeringModeActive(active).getRc());
  EXPECT_TRUE(active);
  EXPECT_EQ(1, steeringField(kCard0));
  EXPECT_EQ(3u, control(kCard0, 0));
  EXPECT_EQ(1u, control(kCard0, 1));
  EXPECT_TRUE(pin(kCard0, kPllEnablePin));
  // While steering, the recorded spreading is not started.
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_DOWN, 5).getRc());
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_domain->startSpreadingForGivenMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  EXPECT_TRUE(ravosim::readTransactionLog(port(kCard0), kPll).empty());
  EXPECT_EQ(3u, control(kCard0, 0));

  ASSERT_EQ(0u, m_domain->stopSteeringMode().getRc());
  ASSERT_EQ(0u, m_domain->isSteeringModeActive(active).getRc());
  EXPECT_FALSE(active);
  EXPECT_EQ(0, steeringField(kCard0));
  EXPECT_EQ(1u, control(kCard0, 0));
  EXPECT_TRUE(pin(kCard0, kPllEnablePin));
}

TEST_F(ClockDomainE2e, StatusHoldsTypeSpeedEnablesSpreadingAndTheChipsRegisters) {
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_CENTER, 7).getRc());
  kavosc::ClockDomainStatus_t status;
  ASSERT_EQ(0u, m_domain->readStatus(status).getRc());
  EXPECT_EQ(1u, status.clockDomainType);
  EXPECT_FALSE(status.steeringModeActive);
  unsigned int cycleTime = 0;
  ASSERT_EQ(0u, m_start.getOutputCyletimeInPicoSeconds(cycleTime).getRc());
  EXPECT_EQ(cycleTime, status.pllStatus.cycleTime);
  EXPECT_TRUE(status.pllStatus.clkEnableInputActive);
  EXPECT_FALSE(status.pllStatus.error0Present);
  EXPECT_FALSE(status.pllStatus.error1Present);
  EXPECT_EQ(kavosc::SPREADING_CENTER, status.pllStatus.spreading.direction);
  EXPECT_EQ(7u, status.pllStatus.spreading.value);
  for (unsigned r = 0; r < 4; ++r) EXPECT_EQ(reg(kCard0, kPll, r + 1), status.pllStatus.registers[r]) << r;
  EXPECT_TRUE(status.crcStatus.flag);  // the chip's clock enable reads on
  for (unsigned r = 0; r < 10; ++r) EXPECT_EQ(reg(kCard0, kCrc, r + 1), status.crcStatus.registers[r]) << r;
  EXPECT_TRUE(status.crcStatus.inputs[0].selected);
  EXPECT_TRUE(status.crcStatus.inputs[2].disabled);

  // Deselected: both enables read off.
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_NONE).getRc());
  kavosc::ClockDomainStatus_t off;
  ASSERT_EQ(0u, m_domain->readStatus(off).getRc());
  EXPECT_FALSE(off.pllStatus.clkEnableInputActive);
  EXPECT_FALSE(off.crcStatus.flag);
  EXPECT_NE(status, off);
}

// A pattern in another output range is too large a step for the PLL: it
// loses its lock, and its error monitor (on in mode 1) reports it.
TEST_F(ClockDomainE2e, PllThatLosesItsLockAfterAPatternWriteIsReported) {
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  testsupport::RecordingLogSink log;
  const PllSpeedPattern pattern = patternFor(m_domain, 7500);
  ASSERT_TRUE(pattern.isInit());
  ASSERT_FALSE(pattern.isSameRange(m_start));
  ASSERT_EQ(0u, m_domain->writePllSpeedPattern(pattern).getRc());
  ASSERT_TRUE(waitFor([&] {
    for (const testsupport::LoggedError& e : log.errors())
      if (e.text.find("'LockLost'") != std::string::npos) return true;
    return false;
  }));
  // Record and chip agree on the pattern.
  EXPECT_EQ(pattern.getPllPattern(), pllPattern(kCard0));
  EXPECT_EQ(pattern.getPllPattern(), recordedPattern(m_domain));
}

// The PLL's write fails with all its tries: the error is returned, and the
// record goes back to the pattern the chip still runs.
TEST_F(ClockDomainE2e, FailingTransferDuringASpeedChangeLeavesRecordAndChipAgreeing) {
  testsupport::RecordingLogSink log;
  PllSpeedPattern next = m_start;
  ASSERT_EQ(0u, next.incSpeed(1).getRc());
  ravosim::failCalls("ravo_siic_write", port(kCard0), EIO, 3);
  const ErrorData rc = m_domain->writePllSpeedPattern(next);
  EXPECT_EQ(0x70000u + EIO, rc.getRcWithoutLogFlag());
  EXPECT_EQ(m_start.getPllPattern(), pllPattern(kCard0));
  EXPECT_EQ(m_start.getPllPattern(), recordedPattern(m_domain));
  EXPECT_EQ(1u, log.errorsWithRc(0x70000u + EIO).size());
  // The next change goes through.
  ASSERT_EQ(0u, m_domain->writePllSpeedPattern(next).getRc());
  EXPECT_EQ(next.getPllPattern(), pllPattern(kCard0));
  EXPECT_EQ(next.getPllPattern(), recordedPattern(m_domain));
}

// Card 0 leaves just before the PLL's write: the record (written first, on
// the card) keeps the pattern asked for, which the card's next activation
// puts into the PLL. Runs last: card 0 is plugged and activated again.
TEST_F(ClockDomainE2e, ZCardVanishingDuringASpeedChangeGetsTheRecordedPatternWhenItReturns) {
  PllSpeedPattern next = m_start;
  ASSERT_EQ(0u, next.incSpeed(2).getRc());
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(1, 0, "ravo_siic_write", port(kCard0), 0));
  const ErrorData rc = m_domain->writePllSpeedPattern(next);
  EXPECT_NE(0u, rc.getRc());
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));
  m_domain = KavPtr<ClockDomain>();
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 1; }));

  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard0) && object<PowerControl>(kCard0) != nullptr; }));
  KavPtr<PowerControl> card = object<PowerControl>(kCard0);
  card->deactivate(false);  // the state byte may still say activated
  ASSERT_EQ(0u, card->activate(false).getRc());
  m_domain = object<ClockDomain>(kCard0);
  ASSERT_TRUE(m_domain != nullptr);
  EXPECT_EQ(next.getPllPattern(), recordedPattern(m_domain));
  EXPECT_EQ(next.getPllPattern(), pllPattern(kCard0));
}
