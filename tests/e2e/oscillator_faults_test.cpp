// Faults during an oscillator failover on the default simulated machine.
// Each case starts from set A selected redundantly (0x11, propagation on),
// fails card 0's primary oscillator (osc0.a) and meets the failover to set B
// alone (0x22) with a fault: an I2C transfer of the cards' chips that fails,
// a scratchpad that refuses writes, a chip that does not answer, a card
// that is pulled while the selection runs. Whatever the fault, the current
// selection byte names what the hardware does (or is left marked in
// progress), the failure is logged, and the next start leaves a settled
// byte that the hardware follows. Further: what a switch-over of the
// standby set, two status changes in one report round and the debug mode
// do.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "ravo_sim_control.h"
#include "tests/e2e/OscillatorE2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const char kCardsIic[] = "/dev/iic/L0[12]C0E05P*";
const char kCard0Port[] = "/dev/iic/L01C0E05P00";
const char kCard1Port[] = "/dev/iic/L02C0E05P00";
const char kCard1Scp[] = "/dev/scp/L02C0E03";
const char kCardsScp[] = "/dev/scp/L0[12]C0E03";
const char* const kOscillators[] = {"osc0.a", "osc0.b", "osc1.a", "osc1.b"};
const unsigned int kCfamLink[2] = {1, 2};
const char kAborted[] = "Oscillator select operation aborted!";

// The use controls of oscillators 0 and 1 of card 0 and of card 1.
struct UseControls {
  unsigned int card0Osc0, card0Osc1, card1Osc0, card1Osc1;
  bool operator==(const UseControls& o) const {
    return card0Osc0 == o.card0Osc0 && card0Osc1 == o.card0Osc1 && card1Osc0 == o.card1Osc0 &&
           card1Osc1 == o.card1Osc1;
  }
};

std::ostream& operator<<(std::ostream& os, const UseControls& u) {
  return os << "card 0: " << u.card0Osc0 << "/" << u.card0Osc1 << ", card 1: " << u.card1Osc0 << "/" << u.card1Osc1;
}

UseControls useControls() {
  return {useControl(kCard0, kUseOsc0Table), useControl(kCard0, kUseOsc1Table), useControl(kCard1, kUseOsc0Table),
          useControl(kCard1, kUseOsc1Table)};
}

// What the controls of a settled selection are set to: the primary of a
// redundant selection uses its oscillator 0 (1/3), the standby its
// oscillator 1 (3/1); a set alone both (2/2), the other none (3/3).
UseControls useControlsOf(unsigned char selection) {
  switch (selection) {
    case 0x11: return {1, 3, 3, 1};
    case 0x21: return {3, 1, 1, 3};
    case 0x12: return {2, 2, 3, 3};
    case 0x22: return {3, 3, 2, 2};
    default: return {0, 0, 0, 0};
  }
}

std::string hex(unsigned int v) {
  char s[16];
  std::snprintf(s, sizeof s, "0x%02X", v);
  return s;
}

bool logged(const testsupport::RecordingLogSink& log, const std::string& text) {
  for (const testsupport::LoggedError& e : log.errors())
    if (e.text.find(text) != std::string::npos) return true;
  return false;
}

std::vector<testsupport::LoggedError> reports(const testsupport::RecordingLogSink& log) {
  return log.errorsWithRc(kStatusReport);
}

KavPtr<OscillatorStatusHandler> statusHandler() { return OscillatorStatusHandler::getInstance(); }

class OscillatorFaultsE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startBothActivated(); }
  static void TearDownTestSuite() {
    ravosim::clearFaults();
    EXPECT_EQ(0, kav::stop());
  }

  void SetUp() override { armRedundantA(); }

  void TearDown() override {
    ravosim::clearFaults();
    ravosim::setI2cDelay("*", 0);
    for (const char* osc : kOscillators) ravosim::restoreOscillator(osc);
    if (handler() != nullptr) handler()->setDebugMode(false);
  }

  // Set A redundantly selected, set B standing by, both letting their
  // switch-over through; every oscillator runs, no fault armed.
  static void armRedundantA() {
    ravosim::clearFaults();
    ravosim::setI2cDelay("*", 0);
    for (const char* osc : kOscillators) ASSERT_TRUE(ravosim::restoreOscillator(osc));
    bool present = true;
    for (unsigned int link : kCfamLink)
      if (!ravosim::cfamPresent(link, 0)) {
        ASSERT_TRUE(ravosim::insertCfam(link, 0));
        present = false;
      }
    if (!present) restartLibrary();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    setField(kPreferred, 0x00);
    setField(kCurrent, 0x00);
    ASSERT_EQ(0u, select(kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT));
    ASSERT_EQ(0x11, field(kCurrent));
    const kavstl::vector<kavosc::SwitchoverPropagationMode_t> on(1, kavosc::PROPAGATION_ON);
    ASSERT_EQ(0u, handler()->setPropagationMode(kavosc::OSC_CARD_SET_A, 0, on).getRc());
    ASSERT_EQ(0u, handler()->setPropagationMode(kavosc::OSC_CARD_SET_B, 0, on).getRc());
    ASSERT_EQ(useControlsOf(0x11), useControls());
    ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  }

  // The failure's round is over: the switch-over was reported and the
  // disabling of card 0 that it asked for has run.
  static void waitForFailoverHandled(const testsupport::RecordingLogSink& log) {
    ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
      for (const testsupport::LoggedError& e : errors)
        if (e.rc == kStatusReport) return true;
      return false;
    }));
    ASSERT_TRUE(waitFor([] { return !statusHandler()->isDisableCardAsyncPending(kCard0); }));
  }

  // After a fault: the byte is settled and the hardware follows it, or it
  // is still marked in progress after a selection that failed and was
  // logged as aborted.
  static void expectHonestByte(const testsupport::RecordingLogSink& log) {
    const unsigned char byte = field(kCurrent);
    SCOPED_TRACE("field 361 = " + hex(byte));
    if ((byte & 0x80) == 0) {
      ASSERT_TRUE(byte == 0x11 || byte == 0x22);
      EXPECT_EQ(useControlsOf(byte), useControls());
    } else {
      EXPECT_EQ(0xA2, byte);
      EXPECT_TRUE(logged(log, kAborted));
    }
  }

  // The next start: every oscillator runs again, the byte comes out
  // settled, a selection left in progress has been completed, and the
  // hardware and the card sets follow the byte.
  static void expectSettledAfterRestart(unsigned char before) {
    for (const char* osc : kOscillators) ravosim::restoreOscillator(osc);
    restartLibrary();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    const unsigned char byte = field(kCurrent);
    SCOPED_TRACE("before " + hex(before) + ", after the restart " + hex(byte));
    if ((before & 0x80) != 0) {
      EXPECT_EQ(before & 0x7F, byte);
    } else {
      EXPECT_EQ(before, byte);
    }
    EXPECT_EQ(useControlsOf(byte), useControls());
    const kavosc::OscSetMode_t a = setMode(kavosc::OSC_CARD_SET_A);
    const kavosc::OscSetMode_t b = setMode(kavosc::OSC_CARD_SET_B);
    if (byte == 0x22) {
      EXPECT_EQ(kavosc::OSC_SET_MODE_OTHER_SINGLE, a);
      EXPECT_EQ(kavosc::OSC_SET_MODE_SINGLE, b);
    } else {
      EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, a);
      EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, b);
    }
  }

  // How many calls of `op` on devices matching `pattern` a failover
  // without faults makes (its transfers go into the transaction log; the
  // scratchpad's writes are counted by the machine).
  static unsigned int callsOfAFailover(const char* op, const char* pattern) {
    testsupport::RecordingLogSink log;
    ravosim::clearTransactionLog();
    const uint64_t scratchpadBefore = ravosim::scratchpadWrites();
    EXPECT_TRUE(ravosim::failOscillator("osc0.a"));
    waitForFailoverHandled(log);
    EXPECT_EQ(0x22, field(kCurrent));
    if (std::string(op) == "ravo_scp_write") {
      // Only the counter: the card is found by a second, single failover.
      return static_cast<unsigned int>(ravosim::scratchpadWrites() - scratchpadBefore);
    }
    unsigned int n = 0;
    for (const Transaction& t : ravosim::readTransactionLog(pattern))
      if (t.kind == (std::string(op) == "ravo_siic_write" ? Transaction::I2cWrite : Transaction::I2cRead)) ++n;
    return n;
  }
};

// The n-th I2C transfer of the failover to a chip of either card fails
// (EIO, a time-out), for each transfer the failover makes.
TEST_F(OscillatorFaultsE2e, AnI2cTransferFailsAtEveryStepOfTheFailover) {
  struct Case {
    const char* op;
    int error;
  };
  for (const Case c : {Case{"ravo_siic_write", EIO}, Case{"ravo_siic_write", ETIMEDOUT}, Case{"ravo_siic_read", EIO}}) {
    armRedundantA();
    ASSERT_FALSE(HasFatalFailure());
    const unsigned int steps = callsOfAFailover(c.op, kCardsIic);
    ASSERT_GT(steps, 0u);
    std::printf("%s errno %d: %u steps\n", c.op, c.error, steps);
    for (unsigned int n = 1; n <= steps; ++n) {
      SCOPED_TRACE(std::string(c.op) + " errno " + std::to_string(c.error) + ", transfer " + std::to_string(n));
      armRedundantA();
      ASSERT_FALSE(HasFatalFailure());
      testsupport::RecordingLogSink log;
      const unsigned int injected = ravosim::injectedFailures(c.op);
      ravosim::failCallsAfter(c.op, kCardsIic, c.error, n - 1, 1);
      ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
      waitForFailoverHandled(log);
      ASSERT_FALSE(HasFatalFailure());
      expectHonestByte(log);
      const unsigned char before = field(kCurrent);
      std::printf("  transfer %2u: %u injected, field 361 %s%s\n", n, ravosim::injectedFailures(c.op) - injected,
                  hex(before).c_str(), logged(log, kAborted) ? ", selection aborted" : "");
      ravosim::clearFaults();
      expectSettledAfterRestart(before);
      if (HasFatalFailure()) return;
    }
  }
}

// A chip of a card does not answer during the whole failover (NACK).
TEST_F(OscillatorFaultsE2e, AChipThatDoesNotAnswerDuringTheFailover) {
  struct Case {
    const char* name;
    const char* port;
    unsigned int address;
  };
  const Case cases[] = {
      {"card 0 redundancy chip", kCard0Port, 0xB0}, {"card 0 PLL", kCard0Port, 0xD4},
      {"card 0 register file", kCard0Port, 0xD0},   {"card 1 redundancy chip", kCard1Port, 0xB0},
      {"card 1 PLL", kCard1Port, 0xD4},             {"card 1 register file", kCard1Port, 0xD0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    armRedundantA();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::RecordingLogSink log;
    ASSERT_TRUE(ravosim::removeI2cDevice(c.port, c.address));
    ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
    waitForFailoverHandled(log);
    ASSERT_FALSE(HasFatalFailure());
    expectHonestByte(log);
    const unsigned char before = field(kCurrent);
    ASSERT_TRUE(ravosim::insertI2cDevice(c.port, c.address));
    expectSettledAfterRestart(before);
    if (HasFatalFailure()) return;
  }
}

// The surviving card's scratchpad refuses every write from the n-th of the
// failover on: its replica of the selection table is set aside (logged),
// card 0's carries the selection, and the next start copies it over.
TEST_F(OscillatorFaultsE2e, TheSurvivingCardsScratchpadRefusesWrites) {
  const unsigned int steps = callsOfAFailover("ravo_scp_write", kCard1Scp);
  ASSERT_GT(steps, 0u);
  for (unsigned int n = 1; n <= steps; ++n) {
    SCOPED_TRACE("from scratchpad write " + std::to_string(n) + " of " + std::to_string(steps));
    armRedundantA();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::RecordingLogSink log;
    const uint64_t writesBefore = ravosim::scratchpadWrites();
    const unsigned int injected = ravosim::injectedFailures("ravo_scp_write");
    ravosim::failCallsAfter("ravo_scp_write", kCard1Scp, EIO, n - 1, 0);
    ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
    waitForFailoverHandled(log);
    ASSERT_FALSE(HasFatalFailure());
    // The count is of both cards' writes: the later steps are past card 1's
    // last one.
    const bool hit = ravosim::injectedFailures("ravo_scp_write") > injected;
    // Card 0's replica alone holds the whole selection.
    EXPECT_EQ(0x22, field(kCurrent));
    EXPECT_EQ(useControlsOf(0x22), useControls());
    if (hit) {
      EXPECT_TRUE(logged(log, "Error in RedundantStateTable occured"));
    }
    EXPECT_GT(ravosim::scratchpadWrites(), writesBefore);
    ravosim::clearFaults();
    expectSettledAfterRestart(0x22);
    if (HasFatalFailure()) return;
  }
}

// Both cards' scratchpads refuse every write from the n-th of the
// failover on: the selection byte cannot be stored at that step.
TEST_F(OscillatorFaultsE2e, BothScratchpadsRefuseWritesAtEveryStep) {
  const unsigned int steps = callsOfAFailover("ravo_scp_write", kCardsScp);
  ASSERT_GT(steps, 0u);
  for (unsigned int n = 1; n <= steps; ++n) {
    SCOPED_TRACE("from scratchpad write " + std::to_string(n) + " of " + std::to_string(steps));
    armRedundantA();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::RecordingLogSink log;
    ravosim::failCallsAfter("ravo_scp_write", kCardsScp, EIO, n - 1, 0);
    ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
    waitForFailoverHandled(log);
    ASSERT_FALSE(HasFatalFailure());
    // The table may have set both replicas aside: it is read after the
    // next start. The hardware is one of the two selections.
    const UseControls seen = useControls();
    EXPECT_TRUE(seen == useControlsOf(0x11) || seen == useControlsOf(0x22)) << seen;
    EXPECT_FALSE(log.errors().empty());
    ravosim::clearFaults();
    for (const char* osc : kOscillators) ravosim::restoreOscillator(osc);
    restartLibrary();
    ASSERT_FALSE(HasFatalFailure());
    const unsigned char byte = field(kCurrent);
    SCOPED_TRACE("after the restart " + hex(byte));
    EXPECT_TRUE(byte == 0x11 || byte == 0x22);
    EXPECT_EQ(useControlsOf(byte), useControls());
  }
}

// Card 0's second oscillator dies too: with both its oscillators gone its
// control sees no switch-over from 0 to 1 (its redundancy chip goes over
// to card 1's oscillator and reports its errors); nothing is selected and
// nothing claims a selection. Then set B, running alone after a failover, loses an
// oscillator: a set that runs alone is not switched away from.
TEST_F(OscillatorFaultsE2e, BothOscillatorsDead) {
  testsupport::RecordingLogSink log;
  ravosim::clearTransactionLog();
  ASSERT_TRUE(ravosim::failOscillator("osc0.b"));
  ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
  // The unit's interrupt was taken and handled.
  ASSERT_TRUE(waitFor([] {
    for (const Transaction& t : ravosim::readTransactionLog("/dev/gpio/L01C0E08"))
      if (t.kind == Transaction::ConditionReset) return true;
    return false;
  }));
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_FALSE(statusHandler()->isDisableCardAsyncPending(kCard0));
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, setMode(kavosc::OSC_CARD_SET_A));
  // The redundancy chip of card 0, which lost both inputs, reports its
  // errors; no switch-over is among them.
  const std::vector<testsupport::LoggedError> entries = reports(log);
  ASSERT_FALSE(entries.empty());
  for (const testsupport::LoggedError& e : entries) {
    EXPECT_NE(std::string::npos, e.text.find("On Crc 'OscCardCrc'")) << e.text;
    EXPECT_EQ(std::string::npos, e.text.find("SwitchOver")) << e.text;
  }

  // Failover first, then set B's oscillators stop.
  armRedundantA();
  ASSERT_FALSE(HasFatalFailure());
  log.clear();
  ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
  waitForFailoverHandled(log);
  ASSERT_EQ(0x22, field(kCurrent));
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  log.clear();
  for (const char* osc : {"osc1.a", "osc1.b"}) ASSERT_TRUE(ravosim::failOscillator(osc));
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  EXPECT_EQ(0x22, field(kCurrent));
  EXPECT_EQ(useControlsOf(0x22), useControls());
  EXPECT_FALSE(statusHandler()->isDisableCardAsyncPending(kCard1));
  expectSettledAfterRestart(0x22);
}

// A card is pulled while the failover's selection runs on a slow bus; the
// firmware then reports it unplugged. The selection does not claim what
// did not happen, and the next start (the card back) settles it.
TEST_F(OscillatorFaultsE2e, ACardIsPulledWhileTheSelectionRuns) {
  struct Case {
    const char* name;
    unsigned int slot;
    unsigned int link;
  };
  for (const Case c : {Case{"card 0 (the failed set)", kCard0, 1}, Case{"card 1 (the surviving set)", kCard1, 2}}) {
    SCOPED_TRACE(c.name);
    armRedundantA();
    ASSERT_FALSE(HasFatalFailure());
    testsupport::RecordingLogSink log;
    ravosim::setI2cDelay(kCardsIic, 20);
    ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
    // The selection has marked itself in progress.
    ASSERT_TRUE(waitFor([] { return (field(kCurrent) & 0x80) != 0; }, 10000));
    ASSERT_TRUE(ravosim::removeCfam(c.link, 0));
    ASSERT_EQ(0, kav::send_card_plug(c.slot, kav::e_NotPlugged));
    waitForFailoverHandled(log);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitFor([&] { return slotState(c.slot) == 1; }));
    ASSERT_TRUE(waitFor([] { return !statusHandler()->isDisableCardAsyncPending(kCard1); }));
    ravosim::setI2cDelay("*", 0);
    const unsigned char byte = field(kCurrent);
    SCOPED_TRACE("field 361 = " + hex(byte));
    // The card that is left: set B alone, or the selection marked as
    // interrupted.
    EXPECT_TRUE(byte == 0x22 || byte == 0xA2);
    if (byte != 0x22) {
      EXPECT_TRUE(logged(log, kAborted));
    }
    // The card comes back unpowered: plugged and activated again, as the
    // firmware does with a card that is put in.
    ASSERT_TRUE(ravosim::insertCfam(c.link, 0));
    ASSERT_EQ(0, kav::send_card_plug(c.slot, kav::e_Plugged_Functional));
    ASSERT_TRUE(waitFor([&] { return configured(c.slot); }));
    KavPtr<PowerControl> card = findObject<PowerControl>(kAnyName, c.slot);
    ASSERT_TRUE(card != nullptr);
    card->deactivate(false);
    ASSERT_EQ(0u, card->activate(false).getRc());
    expectSettledAfterRestart(byte);
    if (HasFatalFailure()) return;
  }
}

// A switch-over of the standby set (mode 2, oscillator 1 in use) is only
// reported (kind 0): nothing is disabled and the selection stays.
TEST_F(OscillatorFaultsE2e, ASwitchOverOfTheStandbySetDisablesNothing) {
  testsupport::RecordingLogSink log;
  ravosim::clearTransactionLog();
  ASSERT_TRUE(ravosim::failOscillator("osc1.b"));
  ASSERT_TRUE(waitFor([] {
    for (const Transaction& t : ravosim::readTransactionLog("/dev/gpio/L02C0E08"))
      if (t.kind == Transaction::ConditionReset) return true;
    return false;
  }));
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_EQ(useControlsOf(0x11), useControls());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, setMode(kavosc::OSC_CARD_SET_B));
  EXPECT_FALSE(statusHandler()->isDisableCardAsyncPending(kCard1));
  // The control's own change is of kind 0 and makes no entry; card 1's
  // chips may report the oscillator they lost.
  for (const testsupport::LoggedError& e : reports(log))
    EXPECT_TRUE(e.text.find("On Crc '") != std::string::npos || e.text.find("On Pll '") != std::string::npos)
        << e.text;
}

// Changes of two slots within the report delay: one entry, an error of
// slot 0x10 (the only slot with an error), its text naming both slots.
TEST_F(OscillatorFaultsE2e, TwoStatusChangesWithinTheDelayGiveOneEntry) {
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::failOscillator("osc1.b"));
  ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
  waitForFailoverHandled(log);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  const std::vector<testsupport::LoggedError> entries = reports(log);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(kErrorSrc, entries[0].src);
  EXPECT_FALSE(entries[0].asynchronous);
  EXPECT_EQ(std::vector<unsigned int>{0x10u}, entries[0].slotIds);
  EXPECT_NE(std::string::npos, entries[0].text.find("SlotId=0x00000010   ")) << entries[0].text;
  EXPECT_NE(std::string::npos, entries[0].text.find("SlotId=0x00000011   ")) << entries[0].text;
  EXPECT_EQ(0x22, field(kCurrent));
}

// In debug mode a failure is reported as usual but disables nothing; the
// mode is kept in the selection table over a restart.
TEST_F(OscillatorFaultsE2e, DebugModeReportsButDisablesNothing) {
  ASSERT_EQ(0u, handler()->setDebugMode(true).getRc());
  EXPECT_TRUE(statusHandler()->isDebugMode());
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::failOscillator("osc0.a"));
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
    for (const testsupport::LoggedError& e : errors)
      if (e.rc == kStatusReport) return true;
    return false;
  }));
  ASSERT_TRUE(waitFor([] { return !statusHandler()->isStatusChangePending(); }));
  const std::vector<testsupport::LoggedError> entries = reports(log);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(kErrorSrc, entries[0].src);
  EXPECT_EQ(std::vector<unsigned int>{0x10u}, entries[0].slotIds);
  EXPECT_FALSE(statusHandler()->isDisableCardAsyncPending(kCard0));
  EXPECT_EQ(0x11, field(kCurrent));
  EXPECT_EQ(useControlsOf(0x11), useControls());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, setMode(kavosc::OSC_CARD_SET_A));

  ravosim::restoreOscillator("osc0.a");
  restartLibrary();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(statusHandler()->isDebugMode());
  kavosc::RedundantOscillatorStatus_t status;
  handler()->readRedundantOscStatus(status);
  EXPECT_TRUE(status.debugMode);
  ASSERT_EQ(0u, handler()->setDebugMode(false).getRc());
  EXPECT_FALSE(statusHandler()->isDebugMode());
}

}  // namespace
