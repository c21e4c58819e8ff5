// Activating and deactivating an oscillator card on the default simulated
// machine: the card's power control runs its activation sequence over the
// card's supply enable (engine 8, pin 4), LED (pin 1) and soft-switch lines
// (pins 2 and 3), keeps
// the activation state in the card's scratchpad state byte and logs the
// event; a switch that fails leaves the card deactivated.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeRoot.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const char* const kCard0Gpio = "/dev/gpio/L01C0E08";
const char* const kCard1Gpio = "/dev/gpio/L02C0E08";
const char* const kCard0Scratchpad = "/dev/scp/L01C0E03";
const char* const kCard1Scratchpad = "/dev/scp/L02C0E03";
const char* const kCard0Chip = "/dev/iic/L01C0E05P00";
const int kChipAddress = 0xB0;
const int kFanoutAddress = 0xD8;

const unsigned kLed = bit(1);
const unsigned kLines = bit(2) | bit(3);
const unsigned kSupply = bit(4);
const unsigned kSwitched = kSupply | kLed | kLines;

KavPtr<PowerControl> powerControl(unsigned int slotId) { return findObject<PowerControl>(kAnyName, slotId); }

// The activation state in the card's state byte (bits 0-1 of byte 0).
unsigned stateByte(const char* scratchpad) {
  unsigned char value = 0xFF;
  EXPECT_TRUE(ravosim::readScratchpad(scratchpad, 0, &value, 1));
  return value;
}

bool supplyOn(const char* name) {
  bool on = false;
  EXPECT_TRUE(ravosim::supplyOn(name, on));
  return on;
}

uint32_t levels(const char* gpio) {
  uint32_t value = 0;
  EXPECT_TRUE(ravosim::readPinLevels(gpio, value));
  return value;
}

std::vector<Transaction> pinChanges(const char* gpio) {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(gpio))
    if (t.kind == Transaction::PinChange) out.push_back(t);
  return out;
}

// The pin changes of the card's switched pins (supply, LED, lines).
std::vector<Transaction> switchedPinChanges(const char* gpio) {
  std::vector<Transaction> out;
  for (const Transaction& t : pinChanges(gpio))
    if ((t.mask & kSwitched) != 0) out.push_back(t);
  return out;
}

std::vector<std::string> eventNames(const testsupport::RecordingLogSink& log) {
  std::vector<std::string> out;
  for (const testsupport::LoggedEvent& e : log.events()) out.push_back(e.name);
  return out;
}

class PowerControlE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    startWithBothCards();
  }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_card = powerControl(kCard0);
    ASSERT_TRUE(m_card != nullptr);
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    if (m_card != nullptr) m_card->deactivate(false);
  }

  KavPtr<PowerControl> m_card;
};

}  // namespace

TEST_F(PowerControlE2e, PluggedCardStartsDeactivatedAndActivatesInStepOrder) {
  // A freshly plugged card: deactivated, supply, LED and lines off.
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ(0u, levels(kCard0Gpio) & kSwitched);
  EXPECT_FALSE(supplyOn("osc0.vdd"));

  testsupport::RecordingLogSink log;
  ASSERT_EQ(0u, m_card->activate(false).getRc());
  EXPECT_EQ(2u, stateByte(kCard0Scratchpad) & 3u);
  PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
  ASSERT_EQ(0u, m_card->getActivationState(state).getRc());
  EXPECT_EQ(PowerControl::ACTIVATED, state);
  EXPECT_EQ(kSwitched, levels(kCard0Gpio) & kSwitched);
  EXPECT_TRUE(supplyOn("osc0.vdd"));

  // The machine saw the supply first, the LED after the supply's settling
  // time, then the lines one by one after the LED step's delay; the other
  // card was not touched. (The clock domain's set-up of the redundancy chip
  // pulses the chip's reset pin in between: not one of the card's switched
  // pins.)
  std::vector<Transaction> changes = switchedPinChanges(kCard0Gpio);
  ASSERT_EQ(4u, changes.size()) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kCard0Gpio));
  // The redundancy chip's input-in-use lines (oscillator control) come up
  // with the supply, in the same change.
  EXPECT_EQ(kSupply, changes[0].mask & kSwitched);
  EXPECT_EQ(kLed, changes[1].mask);
  EXPECT_EQ(bit(2), changes[2].mask);
  EXPECT_EQ(bit(3), changes[3].mask);
  // Whole milliseconds: a delay may end up to 1 ms early.
  EXPECT_GE(changes[1].time - changes[0].time, std::chrono::milliseconds(scaled(20) - 1));
  EXPECT_GE(changes[2].time - changes[1].time, std::chrono::milliseconds(scaled(10) - 1));
  // Between supply and LED, once the supply settled, the redundancy chip was
  // marked supplied: its outputs read and written back (then the clock
  // domain set the chip up for its mode).
  std::vector<Transaction> chip = ravosim::readTransactionLog(kCard0Chip, kChipAddress);
  ASSERT_LE(2u, chip.size()) << ravosim::formatTransactionLog(chip);
  EXPECT_EQ(Transaction::I2cRead, chip[0].kind);
  EXPECT_EQ(Transaction::I2cWrite, chip[1].kind);
  EXPECT_EQ(3u, chip[0].offset);
  EXPECT_EQ(chip[0].data, chip[1].data);
  EXPECT_GE(chip[0].time - changes[0].time, std::chrono::milliseconds(scaled(20) - 1));
  EXPECT_LE(chip[1].time, changes[1].time);
  // Then the fanout outputs were enabled: registers 3..4 of the buffer read
  // and written with all nine outputs on, before the LED.
  std::vector<Transaction> fanout = ravosim::readTransactionLog(kCard0Chip, kFanoutAddress);
  ASSERT_EQ(2u, fanout.size()) << ravosim::formatTransactionLog(fanout);
  EXPECT_EQ(Transaction::I2cWrite, fanout[1].kind);
  EXPECT_EQ(3u, fanout[1].offset);
  ASSERT_EQ(2u, fanout[1].data.size());
  EXPECT_EQ(0xFF, fanout[1].data[0]);
  EXPECT_EQ(0x80, fanout[1].data[1] & 0x80);
  EXPECT_LE(chip[1].time, fanout[0].time);
  EXPECT_LE(fanout[1].time, changes[1].time);
  EXPECT_TRUE(pinChanges(kCard1Gpio).empty());
  EXPECT_EQ(0u, stateByte(kCard1Scratchpad) & 3u);

  ASSERT_EQ((std::vector<std::string>{"FruActi10"}), eventNames(log));
  EXPECT_EQ("Fru got activated in SlotId 0x10 in Cage 0 Node 0\n", log.events()[0].text);

  // Deactivation: lines first, then the LED, the supply last; the state
  // byte back at 0.
  ravosim::clearTransactionLog();
  log.clear();
  ASSERT_EQ(0u, m_card->deactivate(false).getRc());
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ(0u, levels(kCard0Gpio) & kSwitched);
  EXPECT_FALSE(supplyOn("osc0.vdd"));
  changes = switchedPinChanges(kCard0Gpio);
  ASSERT_GE(changes.size(), 2u);
  EXPECT_EQ(kLed, changes[changes.size() - 2].mask);
  EXPECT_EQ(kSupply, changes.back().mask & kSwitched);  // the chip's lines go with it
  // Marking the chips unsupplied needs no transfer: the redundancy chip saw
  // only the clock domain's mode 0, before the supply went off; so were the
  // fanout outputs disabled.
  for (const Transaction& t : ravosim::readTransactionLog(kCard0Chip, kChipAddress))
    EXPECT_LE(t.time, changes.back().time);
  fanout = ravosim::readTransactionLog(kCard0Chip, kFanoutAddress);
  ASSERT_EQ(2u, fanout.size()) << ravosim::formatTransactionLog(fanout);
  EXPECT_EQ(Transaction::I2cWrite, fanout[1].kind);
  ASSERT_EQ(2u, fanout[1].data.size());
  EXPECT_EQ(0x00, fanout[1].data[0]);
  EXPECT_EQ(0x00, fanout[1].data[1] & 0x80);
  EXPECT_LE(fanout[1].time, changes.back().time);
  ASSERT_EQ((std::vector<std::string>{"FruDeac10"}), eventNames(log));
  EXPECT_EQ("Fru got deactivated in SlotId 0x10 in Cage 0 Node 0\n", log.events()[0].text);
}

TEST_F(PowerControlE2e, FailingPinSwitchReportsTheFirstErrorAndLeavesTheCardDeactivated) {
  testsupport::RecordingLogSink log;
  ravosim::failAlways("ravo_gpio_write_output_pins", kCard0Gpio, EIO);
  ErrorData rc = m_card->activate(false);
  ASSERT_NE(0u, rc.getRc());
  EXPECT_GT(ravosim::injectedFailures("ravo_gpio_write_output_pins"), 0u);
  ravosim::clearFaults();

  // Nothing was switched on, the later steps were skipped, and the state
  // is not left running.
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ(0u, levels(kCard0Gpio) & kSwitched);
  EXPECT_TRUE(pinChanges(kCard0Gpio).empty())
      << ravosim::formatTransactionLog(ravosim::readTransactionLog(kCard0Gpio));

  // The failure is reported with the run's error, and the power-off
  // sequence that followed it; no activation event.
  std::vector<testsupport::LoggedEvent> events = log.events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("FruActvtErr", events[0].name);
  char expected[96];
  std::snprintf(expected, sizeof(expected), "SlotId 0x00000010: ActivationFailed with error rc=0x%08X",
                rc.getRcWithoutLogFlag());
  EXPECT_EQ(expected, events[0].text);
  EXPECT_EQ("FruDeactvt", events[1].name);
  EXPECT_EQ("SlotId 0x00000010\n", events[1].text);

  // The card can be activated once the fault is gone.
  log.clear();
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_card->activate(false).getRc());
  EXPECT_EQ(2u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ(kSwitched, levels(kCard0Gpio) & kSwitched);
  EXPECT_EQ((std::vector<std::string>{"FruActi10"}), eventNames(log));
}

TEST_F(PowerControlE2e, FailingLedAfterTheSupplyRunsThePowerOffSequence) {
  testsupport::RecordingLogSink log;
  // The supply switches; the LED write after it fails once.
  const unsigned failedBefore = ravosim::injectedFailures("ravo_gpio_write_output_pins");
  ravosim::failCallsAfter("ravo_gpio_write_output_pins", kCard0Gpio, EIO, 1);
  ErrorData rc = m_card->activate(false);
  EXPECT_EQ(0x50000u + EIO, rc.getRcWithoutLogFlag());
  EXPECT_EQ(failedBefore + 1, ravosim::injectedFailures("ravo_gpio_write_output_pins"));

  // The machine saw the supply go on and, with the power-off sequence, off
  // again; nothing else was left on, and the card is deactivated.
  std::vector<Transaction> changes = pinChanges(kCard0Gpio);
  ASSERT_EQ(2u, changes.size()) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kCard0Gpio));
  // The redundancy chip's input-in-use lines (oscillator control) come up
  // with the supply, in the same change.
  EXPECT_EQ(kSupply, changes[0].mask & kSwitched);
  EXPECT_EQ(kSupply, changes[0].levels & kSupply);
  EXPECT_EQ(kSupply, changes[1].mask & kSwitched);
  EXPECT_EQ(0u, changes[1].levels & kSupply);
  EXPECT_EQ(0u, levels(kCard0Gpio) & kSwitched);
  EXPECT_FALSE(supplyOn("osc0.vdd"));
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ((std::vector<std::string>{"FruActvtErr", "FruDeactvt"}), eventNames(log));
}

TEST_F(PowerControlE2e, PowerOffGoesOnPastASignalThatFailsAndSwitchesTheSupplyOff) {
  ASSERT_EQ(0u, m_card->activate(false).getRc());
  testsupport::RecordingLogSink log;
  // The soft-switch lines cannot be disarmed: they stay on, as the soft
  // switch leaves a line whose interrupt it could not disable.
  ravosim::failAlways("ravo_aiocb_cancel", "*", EIO);
  EXPECT_EQ(0u, m_card->deactivate(false).getRc());
  ravosim::clearFaults();
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ(kLines, levels(kCard0Gpio) & kSwitched);
  EXPECT_FALSE(supplyOn("osc0.vdd"));
  EXPECT_EQ((std::vector<std::string>{"FruDeac10"}), eventNames(log));
  // Switched off once the interrupts can be disarmed again.
  ASSERT_EQ(0u, m_card->activate(false).getRc());
  ASSERT_EQ(0u, m_card->deactivate(false).getRc());
  EXPECT_EQ(0u, levels(kCard0Gpio) & kSwitched);
}

TEST_F(PowerControlE2e, CardVanishingBetweenTwoStepsIsDeactivatedWhenItReturns) {
  KavPtr<PowerControl> card = powerControl(kCard1);
  ASSERT_TRUE(card != nullptr);
  testsupport::RecordingLogSink log;
  // Card 1 is pulled after its supply went on, before its LED step.
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(2, 0, "ravo_gpio_write_output_pins", kCard1Gpio, 1));
  ErrorData rc = card->activate(false);
  EXPECT_NE(0u, rc.getRc());
  EXPECT_FALSE(ravosim::cfamPresent(2, 0));
  ASSERT_FALSE(log.events().empty());
  EXPECT_EQ("FruActvtErr", log.events()[0].name);
  // The card's own byte could not be written back after it left: it still
  // says the activation was running.
  EXPECT_EQ(1u, stateByte(kCard1Scratchpad) & 3u);
  card = KavPtr<PowerControl>();
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));

  // Back in, the running state found at start becomes deactivated, and the
  // card activates again.
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1) && powerControl(kCard1) != nullptr; }));
  EXPECT_EQ(0u, stateByte(kCard1Scratchpad) & 3u);
  card = powerControl(kCard1);
  PowerControl::FruActivationState_t state = PowerControl::ACTIVATED;
  EXPECT_EQ(0u, card->getActivationState(state).getRc());
  EXPECT_EQ(PowerControl::DEACTIVATED, state);
  EXPECT_EQ(0u, card->activate(false).getRc());
  EXPECT_EQ(2u, stateByte(kCard1Scratchpad) & 3u);
  EXPECT_TRUE(supplyOn("osc1.vdd"));
  EXPECT_EQ(0u, card->deactivate(false).getRc());
  EXPECT_EQ(0u, stateByte(kCard1Scratchpad) & 3u);
}

TEST_F(PowerControlE2e, CardPulledWhileActivatedIsLoggedAsUnexpectedRemoval) {
  KavPtr<PowerControl> card = powerControl(kCard1);
  ASSERT_TRUE(card != nullptr);
  ASSERT_EQ(0u, card->activate(false).getRc());
  card = KavPtr<PowerControl>();
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  std::vector<testsupport::LoggedError> removed = log.errorsWithRc(0x701E);
  ASSERT_EQ(1u, removed.size());
  EXPECT_EQ(get_id_by_string("FruRemoveUnexpected"), removed[0].primaryKey);
  EXPECT_EQ(0x28C07301u, removed[0].src);
  EXPECT_FALSE(removed[0].asynchronous);

  // Back in: the card is built again and can be activated once more.
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1) && powerControl(kCard1) != nullptr; }));
  card = powerControl(kCard1);
  PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
  EXPECT_EQ(0u, card->getActivationState(state).getRc());
  EXPECT_EQ(0u, card->deactivate(false).getRc());
  EXPECT_EQ(0u, stateByte(kCard1Scratchpad) & 3u);
}

// Runs last: the pulled card's engines stay unusable for this library.
TEST_F(PowerControlE2e, CardThatVanishedFailsItsActivationWithoutCrashing) {
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  ErrorData rc = m_card->activate(false);
  EXPECT_NE(0u, rc.getRc());
  // Neither running nor activated is left in the card's byte.
  EXPECT_EQ(0u, stateByte(kCard0Scratchpad) & 3u);
  EXPECT_EQ((std::vector<std::string>{"FruActvtErr", "FruDeactvt"}), eventNames(log));
  // The other card still activates.
  KavPtr<PowerControl> other = powerControl(kCard1);
  ASSERT_TRUE(other != nullptr);
  EXPECT_EQ(0u, other->activate(false).getRc());
  EXPECT_EQ(2u, stateByte(kCard1Scratchpad) & 3u);
  EXPECT_EQ(0u, other->deactivate(false).getRc());
  EXPECT_TRUE(ravosim::insertCfam(1, 0));
}
