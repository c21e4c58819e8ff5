// The PLL error monitor of an oscillator card on the default simulated
// machine: the PLL (I2C engine 5, port 0, address 0xD4) drives its error
// output on GPIO engine 8 pin 10, low while it holds an error flag (flag 0
// when its reference, the clock the card's redundancy chip selected, stops;
// flag 1 when a divider change is too large to keep the lock). What the
// machine saw (the PLL's flag resets, the pin's interrupts and condition
// resets, in order) and what was logged: one report per event with the
// flags, the indicator armed again once inactive, the monitoring off while
// the card is deactivated and on again after its activation, and a failing
// condition reset. Card 0 is activated for every test.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clock/domain/PllErrorMonitor.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const char* const kPort = "/dev/iic/L01C0E05P00";
const unsigned kPll = 0xD4;
const unsigned kFanout = 0xD8;
const char* const kGpio = "/dev/gpio/L01C0E08";
const unsigned kErrPin = 10;
const unsigned kSupplyPin = 4;
const char* const kReference = "osc0.a";  // input 1 of the card's redundancy chip, the one in use
const unsigned kResetPattern = 0x0A80;
const unsigned kOtherDivider = 0x0280;  // output divider 2^0 instead of 2^1: the lock is lost

const std::string kHead = "SlotId=0x00000010 - On Pll 'OscCardPllErrorMonitor' a HW-Event was detected! \n";

// The PLL's events as the status handler reported them.
std::vector<testsupport::LoggedError> reports(const testsupport::RecordingLogSink& log) {
  return statusReportParts(log, " - On Pll '");
}

// The GPIO engine's entries of a kind that concern the error pin.
std::vector<Transaction> pinEntries(Transaction::Kind kind) {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(kGpio))
    if (t.kind == kind && (t.mask & bit(kErrPin)) != 0) out.push_back(t);
  return out;
}

// The PLL's flag resets (reset-irq transfers of register 4).
std::vector<Transaction> flagResets() {
  std::vector<Transaction> out;
  for (const Transaction& t : ravosim::readTransactionLog(kPort, kPll))
    if (t.kind == Transaction::I2cResetIrq) out.push_back(t);
  return out;
}

bool pinHigh(unsigned pin) {
  uint32_t levels = 0;
  EXPECT_TRUE(ravosim::readPinLevels(kGpio, levels));
  return (levels & bit(pin)) != 0;
}

std::string gpioLog() { return ravosim::formatTransactionLog(ravosim::readTransactionLog(kGpio)); }

class PllErrorMonitorE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithCard0Activated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_monitor = findObject<PllErrorMonitor>(kAnyName, kCard0);
    ASSERT_TRUE(m_monitor != nullptr);
    m_pll = m_monitor->getHwdInterface();
    ASSERT_TRUE(m_pll != nullptr);
    ASSERT_TRUE(m_monitor->isMonitoring());
    ASSERT_TRUE(m_monitor->eventsRegistered());
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    ravosim::restoreOscillator(kReference);
    ravosim::releasePin(kGpio, kErrPin);
    if (m_pll != nullptr) m_pll->writePattern(kResetPattern);
    // Armed again and quiet for the next test.
    if (m_monitor != nullptr) {
      EXPECT_TRUE(waitFor([&] { return !m_monitor->isIndicatorHeld(); }, 5000));
    }
    // The reports of this test (and of the pattern written back) are
    // logged by the status handler a round later: let them out before the
    // next test listens.
    pause();
    KavPtr<OscillatorStatusHandler> status = OscillatorStatusHandler::getInstance();
    if (status != nullptr) status->blockOnStatusChangePending();
  }

  // Waits a few re-arm delays: time for a storm of interrupts, or for a
  // held indicator to be armed again.
  static void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * scaled(PllErrorMonitor::kRearmDelayMs)));
  }

  KavPtr<PllErrorMonitor> m_monitor;
  KavPtr<PllHwdInterface> m_pll;
};

}  // namespace

TEST_F(PllErrorMonitorE2e, LostReferenceIsReportedOnceAndTheIndicatorArmedAgainWhenItReturns) {
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::failOscillator(kReference));
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 1; }));
  std::vector<testsupport::LoggedError> logged = reports(log);
  EXPECT_EQ(kHead + "Current Errors: 'ReferenceLost'; ", logged[0].text);
  EXPECT_EQ(0x28C07211u, logged[0].src);  // the row of keys OscStatusH and Info
  EXPECT_FALSE(logged[0].asynchronous);

  // The interrupt, then the reset of its condition; the PLL keeps its flag
  // while the reference is lost, so the indicator is held, not armed into a
  // storm; the re-arm job keeps resetting the flag, which comes back.
  ASSERT_TRUE(waitFor([&] { return m_monitor->isIndicatorHeld(); }, 5000));
  pause();
  std::vector<Transaction> fired = pinEntries(Transaction::Interrupt);
  ASSERT_EQ(1u, fired.size()) << gpioLog();
  std::vector<Transaction> resets = pinEntries(Transaction::ConditionReset);
  ASSERT_FALSE(resets.empty()) << gpioLog();
  EXPECT_GT(resets[0].seq, fired[0].seq);
  EXPECT_FALSE(pinHigh(kErrPin));
  EXPECT_TRUE(m_monitor->isIndicatorHeld());
  EXPECT_GE(flagResets().size(), 1u);
  EXPECT_EQ(1u, reports(log).size());
  kavstl::set<PllHwdInterface::PllErrorType_t> flags;
  ASSERT_EQ(0u, m_monitor->readErrorFlags(flags).getRc());
  EXPECT_EQ((kavstl::set<PllHwdInterface::PllErrorType_t>{PllHwdInterface::PLL_ERROR_0}), flags);

  // The reference back: the next run resets the flag, the pin goes high (a
  // transfer is logged when it has ended, after what it caused) and the
  // indicator is armed (its condition reset once more); nothing more is
  // reported.
  ravosim::clearTransactionLog();
  ASSERT_TRUE(ravosim::restoreOscillator(kReference));
  ASSERT_TRUE(waitFor([&] { return !m_monitor->isIndicatorHeld(); }, 5000));
  EXPECT_TRUE(pinHigh(kErrPin));
  std::vector<Transaction> flagReset = flagResets();
  ASSERT_FALSE(flagReset.empty());
  EXPECT_EQ(4u, flagReset.back().offset);
  EXPECT_EQ((std::vector<uint8_t>{0x03}), flagReset.back().data);
  std::vector<Transaction> released = pinEntries(Transaction::PinChange);
  ASSERT_FALSE(released.empty()) << gpioLog();
  EXPECT_NE(0u, released.back().levels & bit(kErrPin));
  resets = pinEntries(Transaction::ConditionReset);
  ASSERT_FALSE(resets.empty()) << gpioLog();
  EXPECT_GT(resets.back().seq, flagReset.back().seq);
  EXPECT_GT(resets.back().seq, released.back().seq);
  pause();
  EXPECT_TRUE(pinEntries(Transaction::Interrupt).empty()) << gpioLog();
  EXPECT_EQ(1u, reports(log).size());

  // Armed again indeed: a divider change the PLL cannot follow is the next
  // event, reported with its own flag.
  ASSERT_EQ(0u, m_pll->writePattern(kOtherDivider).getRc());
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 2; }));
  EXPECT_EQ(kHead + "Current Errors: 'LockLost'; ", reports(log)[1].text);
  ASSERT_TRUE(waitFor([&] { return !m_monitor->isIndicatorHeld() && pinHigh(kErrPin); }, 5000));
  // And the one back to the reset pattern after it.
  ASSERT_EQ(0u, m_pll->writePattern(kResetPattern).getRc());
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 3; }));
  EXPECT_EQ(kHead + "Current Errors: 'LockLost'; ", reports(log)[2].text);
  EXPECT_EQ(2u, pinEntries(Transaction::Interrupt).size()) << gpioLog();
}

TEST_F(PllErrorMonitorE2e, BothFlagsSeenWhileTheMonitoringWasOffAreReportedInAscendingOrder) {
  testsupport::RecordingLogSink log;
  // Off: the engine's request on the pin is withdrawn.
  const unsigned pending = ravosim::pendingRequests(kGpio);
  ASSERT_EQ(0u, m_monitor->disableErrorMonitoring().getRc());
  EXPECT_EQ(pending - 1, ravosim::pendingRequests(kGpio));
  ASSERT_TRUE(ravosim::failOscillator(kReference));
  ASSERT_EQ(0u, m_pll->writePattern(kOtherDivider).getRc());
  EXPECT_FALSE(pinHigh(kErrPin));
  pause();
  // Off: the machine fired nothing, nothing was reported.
  EXPECT_TRUE(pinEntries(Transaction::Interrupt).empty()) << gpioLog();
  EXPECT_TRUE(reports(log).empty());

  // On again with both flags set: the indicator interrupts at once.
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 1; }));
  EXPECT_EQ(kHead + "Current Errors: 'ReferenceLost'; 'LockLost'; ", reports(log)[0].text);
  pause();
  EXPECT_EQ(1u, pinEntries(Transaction::Interrupt).size()) << gpioLog();
  EXPECT_EQ(1u, reports(log).size());
}

TEST_F(PllErrorMonitorE2e, MonitoringIsOffWhileTheCardIsDeactivatedAndOnAgainAfterActivation) {
  KavPtr<PowerControl> card = findObject<PowerControl>(kAnyName, kCard0);
  ASSERT_TRUE(card != nullptr);
  testsupport::RecordingLogSink log;
  ASSERT_EQ(0u, card->deactivate(false).getRc());
  EXPECT_FALSE(m_monitor->isMonitoring());
  // A low error pin interrupts nobody while the card is off.
  ASSERT_TRUE(ravosim::drivePin(kGpio, kErrPin, false));
  pause();
  EXPECT_TRUE(pinEntries(Transaction::Interrupt).empty()) << gpioLog();
  EXPECT_TRUE(reports(log).empty());
  ASSERT_TRUE(ravosim::releasePin(kGpio, kErrPin));

  // Activation: once the supply is on and the chips are marked supplied,
  // the PLL's flags are reset and the indicator armed (its condition reset
  // first), before the fanout outputs are enabled.
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, card->activate(false).getRc());
  EXPECT_TRUE(m_monitor->isMonitoring());
  std::vector<Transaction> supply;
  for (const Transaction& t : ravosim::readTransactionLog(kGpio))
    if (t.kind == Transaction::PinChange && (t.mask & bit(kSupplyPin)) != 0) supply.push_back(t);
  ASSERT_EQ(1u, supply.size()) << gpioLog();
  const std::vector<Transaction> flagReset = flagResets();
  ASSERT_EQ(1u, flagReset.size());
  EXPECT_EQ(4u, flagReset[0].offset);
  EXPECT_EQ((std::vector<uint8_t>{0x03}), flagReset[0].data);
  EXPECT_EQ(0, flagReset[0].result);
  EXPECT_GE(flagReset[0].time - supply[0].time, std::chrono::milliseconds(scaled(20) - 1));
  const std::vector<Transaction> armed = pinEntries(Transaction::ConditionReset);
  ASSERT_EQ(1u, armed.size()) << gpioLog();
  EXPECT_GT(armed[0].seq, flagReset[0].seq);
  const std::vector<Transaction> fanout = ravosim::readTransactionLog(kPort, kFanout);
  ASSERT_FALSE(fanout.empty());
  EXPECT_GT(fanout.front().seq, armed[0].seq);

  // On again: the pin going low is reported, with no flag of the PLL's.
  ASSERT_TRUE(ravosim::drivePin(kGpio, kErrPin, false));
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 1; }));
  EXPECT_EQ(kHead + "Current Errors: 'NONE'", reports(log)[0].text);
  EXPECT_EQ(1u, pinEntries(Transaction::Interrupt).size()) << gpioLog();
}

TEST_F(PllErrorMonitorE2e, FailingConditionResetIsLoggedAndTheIndicatorRecovers) {
  testsupport::RecordingLogSink log;
  const unsigned failedBefore = ravosim::injectedFailures("ravo_gpio_reset_interrupt_condition");
  ravosim::failCalls("ravo_gpio_reset_interrupt_condition", kGpio, EIO, 1);
  ASSERT_TRUE(ravosim::drivePin(kGpio, kErrPin, false));
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 1; }));
  ASSERT_TRUE(waitFor([&] {
    for (const testsupport::LoggedError& e : log.errors())
      if (e.text.find("Error resetting interrupt condition.") != std::string::npos) return true;
    return false;
  }));
  for (const testsupport::LoggedError& e : log.errors())
    if (e.text.find("Error resetting interrupt condition.") != std::string::npos) {
      EXPECT_EQ(0x28C0F0D1u, e.src);
      EXPECT_FALSE(e.asynchronous);
      EXPECT_NE(std::string::npos, e.text.find("kav/PllErrorMonitor")) << e.text;
    }
  EXPECT_EQ(failedBefore + 1, ravosim::injectedFailures("ravo_gpio_reset_interrupt_condition"));

  // Released, the re-arm job arms the indicator (the reset goes through
  // now); the next low level is reported again.
  ASSERT_TRUE(ravosim::releasePin(kGpio, kErrPin));
  ASSERT_TRUE(waitFor([&] { return !m_monitor->isIndicatorHeld(); }, 5000));
  ASSERT_TRUE(ravosim::drivePin(kGpio, kErrPin, false));
  ASSERT_TRUE(waitFor([&] { return reports(log).size() == 2; }));
  EXPECT_EQ(2u, pinEntries(Transaction::Interrupt).size()) << gpioLog();
}
