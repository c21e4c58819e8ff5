// The clock-domain redundancy controller of card set A on the default
// simulated machine, both cards activated, with the type-1 clock domains of
// both cards listed (as a set of two cards would have them; the card sets
// that list them come later): steering one count at a time on both PLLs
// (I2C engine 5, port 0, address 0xD4 of each card) in steering mode (the
// state table's SteeringMode field, the PLL clock enable's lookup-table
// control), the pause before leaving it, refused and inconsistent requests
// (nothing reaches the hardware), forcing a cycle time between the cards'
// PrepareClockChange and ClockChangeDone sequences (the lock the PLL loses
// on the way is not reported), a failed preparation, a card configured
// after a steer, spreading, and the configuration of both controllers.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/domain/ClockDomainRedundancyController.h"
#include "kav/hwaccess/dio/dio_access.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/start/ExecList.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TraceRecorder.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const unsigned kPll = 0xD4;
const unsigned kCrc = 0xB0;
const unsigned int kCardHwa = 1;
const unsigned kPllErrorPin = 10;
const unsigned kPllLockPin = 11;
const kavosc::ClockDomain_t kType = kavosc::CLOCK_DOMAIN_1;
const char* const kPorts = "/dev/iic/L0[12]C0E05P00";
// The card's state table at the start of its scratchpad: state byte, PLL
// pattern (4 bytes), steering flag, spreading direction and amount.
const unsigned kSteeringOffset = 5;
const unsigned kDirectionOffset = 6;
const unsigned kValueOffset = 7;

const char* port(unsigned int slot) { return slot == kCard0 ? "/dev/iic/L01C0E05P00" : "/dev/iic/L02C0E05P00"; }
const char* gpio(unsigned int slot) { return slot == kCard0 ? "/dev/gpio/L01C0E08" : "/dev/gpio/L02C0E08"; }
const char* scratchpad(unsigned int slot) { return slot == kCard0 ? "/dev/scp/L01C0E03" : "/dev/scp/L02C0E03"; }

// The pattern a write of the PLL's registers 1 and 2 carries.
unsigned int written(const Transaction& t) {
  return (t.data[0] & 7u) << 11 | t.data[0] >> 3 | (t.data[1] & 0x3Fu) << 5;
}
bool isPatternWrite(const Transaction& t) {
  return t.kind == Transaction::I2cWrite && t.address == kPll && t.offset == 1 && t.data.size() == 2 &&
         t.result == 0;
}

// The patterns written to the card's PLL, in order.
std::vector<unsigned int> patternWrites(unsigned int slot) {
  std::vector<unsigned int> out;
  for (const Transaction& t : ravosim::readTransactionLog(port(slot), kPll))
    if (isPatternWrite(t)) out.push_back(written(t));
  return out;
}

uint8_t reg(unsigned int slot, unsigned address, unsigned r) {
  uint8_t value = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(port(slot), address, r, value));
  return value;
}

unsigned int pllPattern(unsigned int slot) {
  const unsigned r1 = reg(slot, kPll, 1), r2 = reg(slot, kPll, 2);
  return (r1 & 7) << 11 | r1 >> 3 | (r2 & 0x3F) << 5;
}

// The control of lookup table 0, the PLL's clock enable (1 enabled, 3 forced).
unsigned int pllEnableControl(unsigned int slot) {
  unsigned int value = 0;
  EXPECT_EQ(0u, kav::dio_pldGetTableControl(slot, kCardHwa, 0, 0, value));
  return value;
}

std::vector<uint8_t> memory(unsigned int slot, unsigned offset, unsigned len) {
  std::vector<uint8_t> bytes(len, 0xEE);
  EXPECT_TRUE(ravosim::readScratchpad(scratchpad(slot), offset, bytes.data(), len));
  return bytes;
}

bool pin(unsigned int slot, unsigned n) {
  uint32_t levels = 0;
  EXPECT_TRUE(ravosim::readPinLevels(gpio(slot), levels));
  return (levels & bit(n)) != 0;
}

// The transactions of a kind on the card's GPIO engine that concern the pin.
std::vector<Transaction> pinTransactions(unsigned int slot, Transaction::Kind kind, unsigned n) {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(gpio(slot)))
    if (t.kind == kind && (t.mask & bit(n)) != 0) out.push_back(t);
  return out;
}

std::vector<Transaction> resetIrqs(unsigned int slot, unsigned address) {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(port(slot), static_cast<int>(address)))
    if (t.kind == Transaction::I2cResetIrq) out.push_back(t);
  return out;
}

// The power sequences runs, from the start of the program on.
testsupport::TraceRecorder& sequenceTraces() {
  static testsupport::TraceRecorder recorder({"executePowerSequence "});
  return recorder;
}
std::vector<std::string> sequencesRun() {
  std::vector<std::string> out;
  for (const testsupport::TracedRecord& r : sequenceTraces().records())
    if (r.text.find(" type ") != std::string::npos) out.push_back(r.text);
  return out;
}

template <class T>
KavPtr<T> object(unsigned int slot) {
  return findObject<T>(kAnyName, slot);
}

KavPtr<ClockDomainRedundancyController> controller(const char* name) {
  return findObject<ClockDomainRedundancyController>(get_id_by_string(name), kBaseDomain);
}

class RedundancyE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sequenceTraces();
    startWithBothCards();
    if (HasFatalFailure()) return;
    for (unsigned int slot : {kCard0, kCard1}) {
      KavPtr<PowerControl> card = object<PowerControl>(slot);
      ASSERT_TRUE(card != nullptr);
      ASSERT_EQ(0u, card->activate(false).getRc());
    }
  }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }

  // Card 0 is the selected card of a redundant selection, card 1 the other;
  // both domains are listed with set A's controller, which takes its state
  // from card 0's.
  void SetUp() override {
    m_controller = controller("ClockDomainRedundancySetA");
    m_domain[0] = object<ClockDomain>(kCard0);
    m_domain[1] = object<ClockDomain>(kCard1);
    ASSERT_TRUE(m_controller != nullptr && m_domain[0] != nullptr && m_domain[1] != nullptr);
    ASSERT_EQ(0u, m_domain[0]->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
    ASSERT_EQ(0u, m_domain[1]->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
    for (const KavPtr<ClockDomain>& d : m_domain) ASSERT_EQ(0u, d->enableInterrupts().getRc());
    ASSERT_EQ(0u, add({0, 1}).getRc());
    ASSERT_EQ(0u, m_controller->initializeClockDomainRedundancyController().getRc());
    ASSERT_EQ(0x0A80u, pllPattern(kCard0));
    ASSERT_EQ(0x0A80u, pllPattern(kCard1));
    ravosim::clearTransactionLog();
    sequenceTraces().clear();
  }

  // Back to 1000 ps without spreading on both cards, between the clock
  // change sequences (a jump of the divider makes the PLL flag a lost
  // lock), and nothing listed.
  void TearDown() override {
    ravosim::clearFaults();
    ravosim::setI2cDelay(kPorts, 0);
    if (m_controller == nullptr) return;
    add({0, 1});
    unsigned int actual = 0;
    m_controller->writeSpreadingValues(kType, kavosc::SPREADING_OFF, 0);
    // 1000 ps in the range of the card's start pattern 0x0A80.
    EXPECT_EQ(0u, m_controller->forceCycleTimeToFastestRange(kType, 1000, actual).getRc());
    m_controller->removeClockDomainsForSlotId(kCard0);
    m_controller->removeClockDomainsForSlotId(kCard1);
  }

  ErrorData add(std::initializer_list<int> cards) {
    ExecList<ClockDomain> list;
    for (int c : cards) list.addElement(m_domain[c]);
    return m_controller->addClockDomainList(list);
  }

  KavPtr<ClockDomainRedundancyController> m_controller;
  KavPtr<ClockDomain> m_domain[2];
};

// What the watcher saw of a card at one moment.
struct Seen {
  uint8_t steering;
  unsigned int control;
  unsigned int pattern;
  bool operator==(const Seen& o) const {
    return steering == o.steering && control == o.control && pattern == o.pattern;
  }
};

}  // namespace

TEST_F(RedundancyE2e, BothCardSetsHaveAController) {
  KavPtr<ClockDomainRedundancyController> setB = controller("ClockDomainRedundancySetB");
  ASSERT_TRUE(setB != nullptr);
  EXPECT_FALSE(setB->isInitialized());
  // Card set B lists the domain of its card (slot 0x11).
  EXPECT_EQ(1u, setB->getClockDomainCount(kType));
  EXPECT_EQ(2u, m_controller->getClockDomainCount(kType));
}

// Up by three counts: 0x0A81, 0x0A82 and 0x0A83 on each PLL, every one
// written in steering mode with the PLL's clock enable forced (watched
// while the bus is slowed down), and the steering mode left 10 ms after
// the last one.
TEST_F(RedundancyE2e, SteeringByThreeCountsWritesEachCountToBothPllsInSteeringMode) {
  ravosim::setI2cDelay(kPorts, 40);
  std::atomic<bool> done{false};
  std::vector<Seen> seen[2];
  // The three values are read one after the other: a sample counts only
  // when the steering byte read before the other two is still the same
  // after them, so that a mode change between the reads is not taken for
  // a pattern or a forced clock outside steering mode.
  const auto look = [&] {
    for (int c = 0; c < 2; ++c) {
      const unsigned int slot = c == 0 ? kCard0 : kCard1;
      const uint8_t before = memory(slot, kSteeringOffset, 1)[0];
      const Seen now{before, pllEnableControl(slot), pllPattern(slot)};
      if (memory(slot, kSteeringOffset, 1)[0] != before) continue;
      if (seen[c].empty() || !(seen[c].back() == now)) seen[c].push_back(now);
    }
  };
  std::thread watcher([&] {
    while (!done) {
      look();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  unsigned int actual = 0;
  const ErrorData rc = m_controller->steerCycleTime(kType, 995, actual);
  done = true;
  watcher.join();
  look();
  ravosim::setI2cDelay(kPorts, 0);
  ASSERT_EQ(0u, rc.getRc());
  // N 643: 25 MHz x 643 / 16 = 1004688 kHz, 995 ps.
  EXPECT_EQ(995u, actual);
  for (int c = 0; c < 2; ++c) {
    const unsigned int slot = c == 0 ? kCard0 : kCard1;
    SCOPED_TRACE(slot);
    EXPECT_EQ((std::vector<unsigned int>{0x0A81, 0x0A82, 0x0A83}), patternWrites(slot));
    EXPECT_EQ(0x0A83u, pllPattern(slot));
    ravosim::ClockSignal out;
    ASSERT_TRUE(ravosim::readDeviceClock(port(slot), kPll, "out", out));
    EXPECT_EQ(1004688u, out.nominalKHz);
    // One count at a time: the PLL kept its error flags clear.
    EXPECT_EQ(0, reg(slot, kPll, 4));
    // Started and ended out of steering mode with the clock enabled; every
    // new pattern came in steering mode with the clock forced.
    ASSERT_FALSE(seen[c].empty());
    EXPECT_EQ((Seen{0, 1, 0x0A80}), seen[c].front());
    EXPECT_EQ((Seen{0, 1, 0x0A83}), seen[c].back());
    std::vector<unsigned int> patterns;
    for (const Seen& s : seen[c]) {
      if (s.control == 3) {
        EXPECT_EQ(1, s.steering);
      }
      if (patterns.empty() || patterns.back() != s.pattern) {
        patterns.push_back(s.pattern);
        if (s.pattern != 0x0A80) {
          EXPECT_EQ(1, s.steering) << std::hex << s.pattern;
          EXPECT_EQ(3u, s.control) << std::hex << s.pattern;
        }
      }
    }
    EXPECT_EQ((std::vector<unsigned int>{0x0A80, 0x0A81, 0x0A82, 0x0A83}), patterns);
    // Forced or enabled, the clock-enable pin stayed high throughout.
    EXPECT_TRUE(pinTransactions(slot, Transaction::PinChange, 12).empty());
    EXPECT_TRUE(pin(slot, 12));
  }
  // The steering mode ends (the PLL's error flags reset first) at least
  // 10 ms after the last pattern write.
  const std::vector<Transaction> log = ravosim::readTransactionLog(kPorts, kPll);
  const Transaction* last = nullptr;
  const Transaction* reset = nullptr;
  for (const Transaction& t : log) {
    if (isPatternWrite(t)) last = &t;
    if (t.kind == Transaction::I2cResetIrq && last != nullptr && reset == nullptr && t.seq > last->seq) reset = &t;
  }
  ASSERT_TRUE(last != nullptr && reset != nullptr) << ravosim::formatTransactionLog(log);
  EXPECT_GE(reset->time - last->time, std::chrono::milliseconds(scaled(10) - 1));
  unsigned int cycleTime = 0;
  ASSERT_EQ(0u, m_controller->readCycleTime(kType, cycleTime).getRc());
  EXPECT_EQ(995u, cycleTime);
}

// A cycle time outside the PLL's current output range is refused before
// anything is done: no transfer, no pin change, nobody defective.
TEST_F(RedundancyE2e, OutOfRangeSteerIsRefusedAndReachesNoHardware) {
  testsupport::RecordingLogSink log;
  unsigned int actual = 0;
  EXPECT_EQ(0x7244u, m_controller->steerCycleTime(kType, 7500, actual).getRcWithoutLogFlag());
  EXPECT_EQ(1000u, actual);
  for (unsigned int slot : {kCard0, kCard1}) {
    SCOPED_TRACE(slot);
    for (const Transaction& t : ravosim::readTransactionLog(port(slot)))
      EXPECT_EQ(Transaction::I2cRead, t.kind) << ravosim::formatTransaction(t, t.time);
    EXPECT_TRUE(pinTransactions(slot, Transaction::PinChange, 12).empty());
    EXPECT_EQ(0, memory(slot, kSteeringOffset, 1)[0]);
    EXPECT_EQ(1u, pllEnableControl(slot));
    EXPECT_EQ(0x0A80u, pllPattern(slot));
  }
  for (const KavPtr<ClockDomain>& d : m_domain) EXPECT_FALSE(d->isDefective());
  EXPECT_TRUE(log.errors().empty());
}

// 1100 ps between 1000 and 1150 ps: the first range whose window holds
// them is 0x1000 (divider 4, 625..2500 ps), N 1164: a change of range the
// PLL can not follow, so it flags a lost lock. The preparation has its
// error line disarmed (no interrupt), the end resets its flags, then arms
// the line again; the redundancy chip's errors are reset and its lines
// armed too.
TEST_F(RedundancyE2e, ForcingTheNominalCycleTimeRunsThePrepareAndDoneSequences) {
  testsupport::RecordingLogSink log;
  unsigned int actual = 0;
  ASSERT_EQ(0u, m_controller->forceNominalCycleTime(kType, 1000, 1100, 1150, actual).getRc());
  EXPECT_EQ(1100u, actual);
  EXPECT_EQ((std::vector<std::string>{"executePowerSequence PrepareClockChange type 2 cards 2",
                                      "executePowerSequence ClockChangeDone type 2 cards 2"}),
            sequencesRun());
  for (unsigned int slot : {kCard0, kCard1}) {
    SCOPED_TRACE(slot);
    const std::vector<Transaction> pll = ravosim::readTransactionLog(port(slot), kPll);
    const Transaction* write = nullptr;
    for (const Transaction& t : pll)
      if (isPatternWrite(t)) write = &t;
    ASSERT_TRUE(write != nullptr) << ravosim::formatTransactionLog(pll);
    EXPECT_EQ(0x148Cu, written(*write));
    EXPECT_EQ((std::vector<unsigned int>{0x148C}), patternWrites(slot));
    // The lost lock never raised an interrupt.
    EXPECT_TRUE(pinTransactions(slot, Transaction::Interrupt, kPllErrorPin).empty())
        << ravosim::formatTransactionLog(ravosim::readTransactionLog(gpio(slot)));
    // After the write: the PLL's flags reset, then its error line armed.
    const std::vector<Transaction> resets = resetIrqs(slot, kPll);
    ASSERT_FALSE(resets.empty());
    EXPECT_GT(resets.back().seq, write->seq);
    const std::vector<Transaction> armed = pinTransactions(slot, Transaction::ConditionReset, kPllErrorPin);
    ASSERT_FALSE(armed.empty());
    EXPECT_GT(armed.back().seq, resets.back().seq);
    EXPECT_EQ(0, reg(slot, kPll, 4));
    EXPECT_TRUE(pin(slot, kPllErrorPin));
    // The chip's errors reset and its error and interrupt lines armed.
    const std::vector<Transaction> chipResets = resetIrqs(slot, kCrc);
    ASSERT_FALSE(chipResets.empty());
    EXPECT_GT(chipResets.back().seq, write->seq);
    for (unsigned line : {5u, 6u}) {
      const std::vector<Transaction> chipArmed = pinTransactions(slot, Transaction::ConditionReset, line);
      ASSERT_FALSE(chipArmed.empty()) << line;
      EXPECT_GT(chipArmed.back().seq, write->seq) << line;
    }
    // The PLL runs the new speed and locks again.
    ravosim::ClockSignal out;
    ASSERT_TRUE(ravosim::readDeviceClock(port(slot), kPll, "out", out));
    EXPECT_EQ(909375u, out.nominalKHz);
    EXPECT_TRUE(waitFor([&] { return pin(slot, kPllLockPin); }));
  }
  for (const KavPtr<ClockDomain>& d : m_domain) EXPECT_FALSE(d->isDefective());
  EXPECT_TRUE(log.errors().empty());
}

// The windows looked for: a minimum equal to the nominal counts a tenth
// lower. The candidates for 1000, 1250 and 680 ps are ranges 0x1000
// (divider 4, 625..2500 ps) and 0x0800 (divider 2, 312..1250 ps), in this
// order: 900..1100 ps fits the first; 1125..2600 ps fits neither, so
// nothing is written; 612..700 ps fits only the second (with the minimum
// itself, 680 ps, the first would be taken).
TEST_F(RedundancyE2e, ForcingChecksItsCycleTimes) {
  const struct {
    unsigned int minimum, nominal, maximum;
    unsigned int rc;
    std::vector<unsigned int> written;
    unsigned int actual;
  } cases[] = {
      {1001, 1000, 1100, 0x7013, {}, 1000},
      {1000, 1000, 999, 0x7013, {}, 1000},
      {1250, 1250, 2600, 0x7244, {}, 1000},
      {1000, 1000, 1100, 0, {0x1500}, 1000},  // N 1280
      {680, 680, 700, 0, {0x0BAD}, 680},      // N 941
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + " " + std::to_string(c.nominal) + " " + std::to_string(c.maximum));
    ravosim::clearTransactionLog();
    sequenceTraces().clear();
    unsigned int actual = 0;
    EXPECT_EQ(c.rc, m_controller->forceNominalCycleTime(kType, c.minimum, c.nominal, c.maximum, actual)
                        .getRcWithoutLogFlag());
    EXPECT_EQ(c.actual, actual);
    for (unsigned int slot : {kCard0, kCard1}) EXPECT_EQ(c.written, patternWrites(slot)) << slot;
    EXPECT_EQ(c.rc == 0 ? 2u : 0u, sequencesRun().size());
  }
}

// Card 1's preparation fails (its PLL error line can not be disarmed):
// nothing is forced, and both cards still run the done sequence, which arms
// the lines again.
TEST_F(RedundancyE2e, FailedPreparationForcesNothingButStillEndsTheChange) {
  ravosim::failCalls("ravo_aiocb_cancel", gpio(kCard1), EIO, 1);
  unsigned int actual = 0;
  // The code of the failed digital-I/O call.
  EXPECT_EQ(0x50000u + EIO, m_controller->forceNominalCycleTime(kType, 1000, 1100, 1150, actual)
                                .getRcWithoutLogFlag());
  EXPECT_EQ(1000u, actual);
  EXPECT_EQ((std::vector<std::string>{"executePowerSequence PrepareClockChange type 2 cards 2",
                                      "executePowerSequence ClockChangeDone type 2 cards 2"}),
            sequencesRun());
  for (unsigned int slot : {kCard0, kCard1}) {
    SCOPED_TRACE(slot);
    EXPECT_TRUE(patternWrites(slot).empty());
    EXPECT_FALSE(resetIrqs(slot, kPll).empty());
    EXPECT_FALSE(pinTransactions(slot, Transaction::ConditionReset, kPllErrorPin).empty());
  }
  unsigned int cycleTime = 0;
  ASSERT_EQ(0u, m_controller->readCycleTime(kType, cycleTime).getRc());
  EXPECT_EQ(1000u, cycleTime);
}

// Card 1 is configured after a steer of card 0: it gets the recorded
// pattern at once, in one write (three counts, which its PLL follows).
TEST_F(RedundancyE2e, CardConfiguredAfterASteerGetsTheRecordedPattern) {
  ASSERT_EQ(0u, m_controller->removeClockDomainsForSlotId(kCard1).getRc());
  unsigned int actual = 0;
  ASSERT_EQ(0u, m_controller->steerCycleTime(kType, 995, actual).getRc());
  EXPECT_EQ((std::vector<unsigned int>{0x0A81, 0x0A82, 0x0A83}), patternWrites(kCard0));
  EXPECT_TRUE(patternWrites(kCard1).empty());
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, add({1}).getRc());
  EXPECT_EQ((std::vector<unsigned int>{0x0A83}), patternWrites(kCard1));
  EXPECT_TRUE(patternWrites(kCard0).empty());
  EXPECT_EQ(0x0A83u, pllPattern(kCard1));
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00, 0x0A, 0x83}), memory(kCard1, 1, 4));
  EXPECT_EQ(0, reg(kCard1, kPll, 4));
  EXPECT_EQ(2u, m_controller->getClockDomainCount(kType));
}

// (0, 0) stops the spreading and records zeros; anything else records and
// starts it. Card 1 (mode 2) is switched before card 0 (mode 1) at the
// start and after it at the stop; only card 0's PLL spreads (up 5 tenths
// of a percent: (640 x 5 + 500) / 1000 = 3 counts).
TEST_F(RedundancyE2e, SpreadingStopsAndRecordsZerosOrRecordsAndStarts) {
  const struct {
    kavosc::SpreadingDirection_t direction;
    unsigned int value;
    uint8_t card0Register;
    std::vector<uint8_t> recorded;  // direction, amount
    unsigned int first, second;     // the order the cards were switched in
  } cases[] = {{kavosc::SPREADING_UP, 5, 0x43, {1, 0, 0, 0, 5}, kCard1, kCard0},
               {kavosc::SPREADING_OFF, 0, 0x00, {0, 0, 0, 0, 0}, kCard0, kCard1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ravosim::clearTransactionLog();
    ASSERT_EQ(0u, m_controller->writeSpreadingValues(kType, c.direction, c.value).getRc());
    EXPECT_EQ(c.card0Register, reg(kCard0, kPll, 3));
    EXPECT_EQ(0, reg(kCard1, kPll, 3));
    for (unsigned int slot : {kCard0, kCard1}) EXPECT_EQ(c.recorded, memory(slot, kDirectionOffset, 5)) << slot;
    kavosc::SpreadingDirection_t direction = kavosc::SPREADING_CENTER;
    unsigned int value = 99;
    ASSERT_EQ(0u, m_controller->readSpreadingValues(kType, direction, value).getRc());
    EXPECT_EQ(c.direction, direction);
    EXPECT_EQ(c.value, value);
    // Each card's switch resets its PLL's error flags.
    const std::vector<Transaction> first = resetIrqs(c.first, kPll);
    const std::vector<Transaction> second = resetIrqs(c.second, kPll);
    ASSERT_EQ(1u, first.size());
    ASSERT_EQ(1u, second.size());
    EXPECT_LT(first[0].seq, second[0].seq);
  }
  EXPECT_EQ(0, memory(kCard0, kValueOffset, 4)[3]);
}

TEST_F(RedundancyE2e, UnknownTypeIsRefusedWithoutHardwareAccess) {
  unsigned int actual = 0;
  const kavosc::ClockDomain_t type = kavosc::CLOCK_DOMAIN_2;
  EXPECT_EQ(0x7009u, m_controller->steerCycleTime(type, 995, actual).getRcWithoutLogFlag());
  EXPECT_EQ(0xFFFFFFFFu, actual);
  EXPECT_EQ(0x7009u, m_controller->forceNominalCycleTime(type, 950, 1000, 1050, actual).getRcWithoutLogFlag());
  EXPECT_EQ(0xFFFFFFFFu, actual);
  EXPECT_EQ(0x7009u, m_controller->writeSpreadingValues(type, kavosc::SPREADING_UP, 5).getRcWithoutLogFlag());
  for (unsigned int slot : {kCard0, kCard1}) {
    for (const Transaction& t : ravosim::readTransactionLog(port(slot)))
      EXPECT_EQ(Transaction::I2cRead, t.kind) << ravosim::formatTransaction(t, t.time);
  }
  EXPECT_TRUE(sequencesRun().empty());
}
