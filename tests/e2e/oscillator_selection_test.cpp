// Oscillator selection and failover on the default simulated machine, both
// cards activated: set A (card 0) selected redundantly gives 0x11 in the
// selection field, its control uses oscillator 0 and card 1's oscillator 1,
// and the set that stands by pulses the clock-select bit of every processor
// chip (CFAM register 0x2812). Failing set A's primary oscillator switches
// its control's unit from oscillator 0 to 1; the oscillator handler disables
// set A on the job thread and selects set B alone (0x22), and one status
// report ("OscStatusH", Error, slot 0x10) appears 2000 ms after the failure. Transitions refused
// and allowed, two selections at once, and a restart that completes an
// interrupted selection.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/tree/config/StringIds.h"
#include "ravo_sim_control.h"
#include "tests/e2e/OscillatorE2eSupport.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TraceRecorder.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const unsigned int kClockSelectRegister = 0x2812;
const uint32_t kPulseBit = 0x20000000;

// Per processor chip, the values written to its clock-select register.
std::map<std::string, std::vector<uint32_t>> clockSelectWrites() {
  std::map<std::string, std::vector<uint32_t>> out;
  for (const Transaction& t : ravosim::readTransactionLog())
    if (t.kind == Transaction::CfamWrite && t.offset == kClockSelectRegister && t.result == 0)
      out[t.device].push_back(t.value);
  return out;
}

// A write with bit 2 set followed by one with it clear.
bool pulsed(const std::vector<uint32_t>& writes) {
  for (size_t i = 0; i + 1 < writes.size(); ++i)
    if ((writes[i] & kPulseBit) != 0 && (writes[i + 1] & kPulseBit) == 0 &&
        (writes[i] & ~kPulseBit) == writes[i + 1])
      return true;
  return false;
}

class OscillatorSelectionE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startBothActivated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }

  void TearDown() override {
    ravosim::restoreOscillator("osc0.a");
  }
};

}  // namespace

TEST_F(OscillatorSelectionE2e, RedundantSelectionAndFailoverToTheOtherSetAlone) {
  ASSERT_EQ(0x00, field(kCurrent));
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT));
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_EQ(0x00, field(kPreferred));
  // Set A (mode 1) uses its oscillator 0, set B (mode 2) its oscillator 1.
  EXPECT_EQ(1u, useControl(kCard0, kUseOsc0Table));
  EXPECT_EQ(3u, useControl(kCard0, kUseOsc1Table));
  EXPECT_EQ(3u, useControl(kCard1, kUseOsc0Table));
  EXPECT_EQ(1u, useControl(kCard1, kUseOsc1Table));
  // The set that stands by pulsed bit 2 of every processor chip's register.
  std::map<std::string, std::vector<uint32_t>> writes = clockSelectWrites();
  EXPECT_EQ(4u, writes.size());
  for (const auto& chip : writes) EXPECT_TRUE(pulsed(chip.second)) << chip.first;
  // Set B's control takes its oscillator 1 (use control 1: pin 15 of card 1
  // goes high) at least 100 ms after the pulse.
  std::chrono::steady_clock::time_point pulseEnd{}, useOsc1{};
  std::map<std::string, bool> pulseHigh;
  for (const Transaction& t : ravosim::readTransactionLog()) {
    if (t.kind == Transaction::CfamWrite && t.offset == kClockSelectRegister) {
      if ((t.value & kPulseBit) == 0 && pulseHigh[t.device]) pulseEnd = t.time;
      pulseHigh[t.device] = (t.value & kPulseBit) != 0;
    }
    if (t.kind == Transaction::PinChange && t.device == "/dev/gpio/L02C0E08" && (t.mask & bit(15)) != 0 &&
        (t.levels & bit(15)) != 0)
      useOsc1 = t.time;
  }
  ASSERT_NE(std::chrono::steady_clock::time_point{}, pulseEnd);
  ASSERT_NE(std::chrono::steady_clock::time_point{}, useOsc1);
  EXPECT_GE(useOsc1 - pulseEnd, std::chrono::milliseconds(scaled(OscCardSet::kSecondaryControlWaitMs) - 1));
  KavPtr<OscCardSet> setA = handler()->getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> setB = handler()->getOscCardSet(kavosc::OSC_CARD_SET_B);
  kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
  ASSERT_EQ(0u, setA->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, mode);
  ASSERT_EQ(0u, setB->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, mode);
  // Both oscillators of each card run.
  kavosc::RedundantOscillatorStatus_t status;
  ASSERT_EQ(0u, handler()->readRedundantOscStatus(status).getRc());
  EXPECT_EQ(0x10u, status.currentOscCardSet);
  EXPECT_EQ(1u, status.currentSelectionMode);
  EXPECT_TRUE(status.controlA.osc0StatusOn);
  EXPECT_TRUE(status.controlA.osc1StatusOn);
  EXPECT_TRUE(status.controlB.osc0StatusOn);
  EXPECT_TRUE(status.controlB.osc1StatusOn);
  EXPECT_EQ(2u, status.cards.size());

  // The switch-over is let through (propagation on, as the firmware's
  // configuration steps do after the selection): set A's unit now waits for
  // its oscillator 0 to go off.
  const kavstl::vector<kavosc::SwitchoverPropagationMode_t> on(1, kavosc::PROPAGATION_ON);
  ASSERT_EQ(0u, handler()->setPropagationMode(kavosc::OSC_CARD_SET_A, 0, on).getRc());
  ASSERT_EQ(0u, handler()->setPropagationMode(kavosc::OSC_CARD_SET_B, 0, on).getRc());

  // The primary oscillator fails.
  testsupport::RecordingLogSink log;
  const auto failed = std::chrono::steady_clock::now();
  ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
  ASSERT_TRUE(waitFor([] { return field(kCurrent) == 0x22; }));
  ASSERT_EQ(0u, setA->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_OTHER_SINGLE, mode);
  ASSERT_EQ(0u, setB->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_SINGLE, mode);
  // Set B alone: both its use controls 2; set A's off.
  EXPECT_EQ(2u, useControl(kCard1, kUseOsc0Table));
  EXPECT_EQ(2u, useControl(kCard1, kUseOsc1Table));
  EXPECT_EQ(3u, useControl(kCard0, kUseOsc0Table));
  EXPECT_EQ(3u, useControl(kCard0, kUseOsc1Table));
  EXPECT_EQ(kavosc::OSC_CARD_SET_A, handler()->getPreviousOscCardSet());

  // One report of the round, an error of slot 0x10, 2000 ms after the first
  // change (the switch-over seen after the failure).
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
    for (const auto& e : errors)
      if (e.rc == kStatusReport) return true;
    return false;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * scaled(2000)));
  std::vector<testsupport::LoggedError> reports = log.errorsWithRc(kStatusReport);
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ(kErrorSrc, reports[0].src);
  EXPECT_FALSE(reports[0].asynchronous);
  ASSERT_FALSE(reports[0].slotIds.empty());
  EXPECT_EQ(0x10u, reports[0].slotIds.back());
  EXPECT_GE(reports[0].time - failed, std::chrono::milliseconds(scaled(2000) - 1));
  EXPECT_NE(std::string::npos, reports[0].text.find("SlotId=0x00000010   ")) << reports[0].text;
}

TEST_F(OscillatorSelectionE2e, TransitionsRefusedAndAllowed) {
  ravosim::restoreOscillator("osc0.a");
  // From 0x22 (the failover above) or 0x00 (run alone): to set A alone.
  const unsigned char now = field(kCurrent);
  if (now == 0x22) {
    EXPECT_EQ(0x7255u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_SINGLE));
    ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_REDUNDANT));
  } else {
    ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT));
  }
  ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_SINGLE));
  EXPECT_EQ(0x12, field(kCurrent));
  EXPECT_EQ(0x7255u, select(kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_SINGLE));
  EXPECT_EQ(0x12, field(kCurrent));
  EXPECT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT));
  EXPECT_EQ(0x11, field(kCurrent));
  // The current selection as preferred: only field 362 changes.
  ASSERT_EQ(0u, handler()->selectOscillator(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT, true).getRc());
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_EQ(0x11, field(kPreferred));
}

// Two callers select at once: each selection runs whole, one after the
// other, and the byte ends settled at one of the two.
TEST_F(OscillatorSelectionE2e, ConcurrentSelectionsAreSerialised) {
  ravosim::restoreOscillator("osc0.a");
  const unsigned char start = field(kCurrent);
  ASSERT_TRUE(start == 0x11 || start == 0x21) << static_cast<int>(start);
  unsigned int first = 0xFFFF, second = 0xFFFF;
  std::thread a([&] { first = select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_SINGLE); });
  std::thread b([&] { second = select(kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_SINGLE); });
  a.join();
  b.join();
  // From 0x11 both are allowed; the later one is then refused (0x12 and
  // 0x22 do not go into each other).
  const unsigned char end = field(kCurrent);
  ASSERT_TRUE(end == 0x12 || end == 0x22) << static_cast<int>(end);
  if (end == 0x12) {
    EXPECT_EQ(0u, first);
    EXPECT_EQ(0x7255u, second);
  } else {
    EXPECT_EQ(0u, second);
    EXPECT_EQ(0x7255u, first);
  }
}

// An interrupted selection (0x91: set A redundantly, in progress) is
// completed by the next start, not as preferred.
TEST_F(OscillatorSelectionE2e, RestartCompletesAnInterruptedSelection) {
  ravosim::restoreOscillator("osc0.a");
  setField(kPreferred, 0x00);
  setField(kCurrent, 0x91);
  ASSERT_EQ(0, kav::stop());
  startBothActivated();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_EQ(0x00, field(kPreferred));
  kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
  ASSERT_EQ(0u, handler()->getOscCardSet(kavosc::OSC_CARD_SET_A)->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, mode);
}

// The selection's power-down (ClockModeSequence steps 357, then 356): while
// it runs a failing card disables nothing; one interrupted (field 362 still
// 0x80) is finished at the next start: both sets in mode 0, both fields 0.
// Without a selection the clock power sequence may not go on (0x7253).
TEST_F(OscillatorSelectionE2e, InterruptedPowerDownOfTheSelectionIsFinishedAtStart) {
  ASSERT_EQ(0x11, field(kCurrent));
  ASSERT_EQ(0u, handler()->checkPrecondition(375, PowerControllable::POWER_ON).getRc());
  ASSERT_EQ(0u, handler()->switchForPwrCtrl(341, 357).getRc());
  EXPECT_EQ(0x80, field(kCurrent));
  EXPECT_EQ(0x80, field(kPreferred));
  EXPECT_EQ(0u, handler()->disableCard(kCard0).getRc());
  EXPECT_EQ(0x80, field(kCurrent));
  EXPECT_EQ(0x7002u, handler()->switchForPwrCtrl(341, 358).getRcWithoutLogFlag());
  EXPECT_EQ(0x7002u, handler()->switchForPwrCtrl(340, 357).getRcWithoutLogFlag());

  ASSERT_EQ(0, kav::stop());
  startBothActivated();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(0x00, field(kCurrent));
  EXPECT_EQ(0x00, field(kPreferred));
  for (kavosc::OscCardSet_t set : {kavosc::OSC_CARD_SET_A, kavosc::OSC_CARD_SET_B}) {
    kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_SINGLE;
    ASSERT_EQ(0u, handler()->getOscCardSet(set)->readMode(mode).getRc());
    EXPECT_EQ(kavosc::OSC_SET_MODE_NONE, mode);
  }
  EXPECT_EQ(0x7253u, handler()->checkPrecondition(375, PowerControllable::POWER_ON).getRcWithoutLogFlag());
  EXPECT_EQ(0u, handler()->checkPrecondition(375, PowerControllable::POWER_OFF).getRc());
  // Selected again for what follows.
  ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT));
}

// The clock power sequence switches the card's supply off and on: the
// oscillator control is told at both ends, like the clock domain, so that
// its unit interrupts are off while the supply is, and the use controls of
// the recorded mode are written again when it is back.
TEST_F(OscillatorSelectionE2e, ClockPowerCycleSwitchesTheOscillatorControlOffAndOnAgain) {
  ASSERT_EQ(0x11, field(kCurrent));
  KavPtr<PowerControl> card = findObject<PowerControl>(kAnyName, kCard0);
  ASSERT_TRUE(card != nullptr);
  testsupport::TraceRecorder trace({"OscControl::switchForPwrCtrl "});
  ASSERT_EQ(0u, card->run(kav::sid::CLOCK_POWER_SEQUENCE, PowerControllable::POWER_OFF).getRc());
  std::vector<std::string> seen;
  for (const testsupport::TracedRecord& r : trace.records())
    if (r.text.find("OscControl::switchForPwrCtrl slot=0x00000010") == 0) seen.push_back(r.text);
  EXPECT_EQ((std::vector<std::string>{"OscControl::switchForPwrCtrl slot=0x00000010 step=" +
                                      std::to_string(kav::sid::STATE_OFF) + " rc=0x00000000"}),
            seen);
  trace.clear();
  ASSERT_EQ(0u, card->run(kav::sid::CLOCK_POWER_SEQUENCE, PowerControllable::POWER_ON).getRc());
  seen.clear();
  for (const testsupport::TracedRecord& r : trace.records())
    if (r.text.find("OscControl::switchForPwrCtrl slot=0x00000010") == 0) seen.push_back(r.text);
  EXPECT_EQ((std::vector<std::string>{"OscControl::switchForPwrCtrl slot=0x00000010 step=" +
                                      std::to_string(kav::sid::STATE_ON) + " rc=0x00000000"}),
            seen);
  // Mode 1 again: oscillator 0 in use, oscillator 1 not.
  EXPECT_EQ(1u, useControl(kCard0, kUseOsc0Table));
  EXPECT_EQ(3u, useControl(kCard0, kUseOsc1Table));
  EXPECT_EQ(0x11, field(kCurrent));
}

// The control card of the selected set goes away while the selection is
// redundant: the set is disabled and the other runs alone.
TEST_F(OscillatorSelectionE2e, RemovingTheSelectedSetsControlCardDisablesTheSet) {
  ASSERT_EQ(0x11, field(kCurrent));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return field(kCurrent) == 0x22; }));
  kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
  ASSERT_EQ(0u, handler()->getOscCardSet(kavosc::OSC_CARD_SET_B)->readMode(mode).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_SINGLE, mode);
  EXPECT_EQ(0u, handler()->getOscCardSet(kavosc::OSC_CARD_SET_A)->getCardCount());
}
