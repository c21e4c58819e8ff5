// The soft switches of the oscillator cards on the default simulated
// machine: each card's two open-drain control lines (engine 8, pins 2 and 3,
// pulled up) are switched by name or all together, and a line that goes to
// its off level while on is logged with what the firmware found when it
// looked again. The cards are plugged once for the whole program; each test
// leaves the lines off.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kav/cards/SoftSwitch.h"
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
const unsigned int kAll = 253;
const unsigned int kOff = 339;
const unsigned int kOn = 340;
const unsigned int kLine0Pin = 2;
const unsigned int kLine1Pin = 3;

const unsigned kLines = bit(kLine0Pin) | bit(kLine1Pin);

KavPtr<SoftSwitch> softSwitch(unsigned int slotId) { return findObject<SoftSwitch>(kAnyName, slotId); }

uint32_t levels(const char* gpio) {
  uint32_t value = 0;
  EXPECT_TRUE(ravosim::readPinLevels(gpio, value));
  return value;
}

unsigned int id(const char* text) { return get_id_by_string(text); }

// The entries of one kind, in order.
std::vector<Transaction> ofKind(const std::vector<Transaction>& log, Transaction::Kind kind) {
  std::vector<Transaction> out;
  for (const Transaction& t : log)
    if (t.kind == kind) out.push_back(t);
  return out;
}

std::vector<Transaction::Kind> kinds(const std::vector<Transaction>& log) {
  std::vector<Transaction::Kind> out;
  for (const Transaction& t : log) out.push_back(t.kind);
  return out;
}

const std::string kStillPresent =
    "SlotId=0x00000010 - An unexpected change on Softswitch control line 'OscCardSoftSwitchLine0' has occured "
    "and is still present when the firmware checks the state of the softswitch control line again.";
const std::string kShortChange =
    "SlotId=0x00000010 - A short unexpected change on Softswitch control line 'OscCardSoftSwitchLine0' has "
    "occured and is no more present when the firmware checks the state of the softswitch control line again.";

class SoftSwitchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    startWithBothCards();
  }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_switch = softSwitch(kCard0);
    ASSERT_TRUE(m_switch != nullptr);
    ASSERT_EQ(2u, m_switch->getRegistrationCount());
    m_pendingBefore = ravosim::pendingRequests(kCard0Gpio);
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    ravosim::releasePin(kCard0Gpio, kLine0Pin);
    if (m_switch != nullptr) {
      EXPECT_EQ(0u, m_switch->switchForPwrCtrl(kAll, kOff).getRc());
    }
    EXPECT_EQ(0u, levels(kCard0Gpio) & kLines);
  }

  // Switches line 0 on and pulls it low from outside; waits for its report.
  bool pullLine0(testsupport::RecordingLogSink& log) {
    if (m_switch->switchForPwrCtrl(id("OscCardSoftSwitchLine0"), kOn) != 0) return false;
    ravosim::clearTransactionLog();
    if (!ravosim::drivePin(kCard0Gpio, kLine0Pin, false)) return false;
    return log.waitForErrors([](const std::vector<testsupport::LoggedError>& e) { return !e.empty(); });
  }

  KavPtr<SoftSwitch> m_switch;
  unsigned m_pendingBefore = 0;
};

}  // namespace

TEST_F(SoftSwitchTest, LinesStartOffAndSwitchOnAndOffTogetherOrByName) {
  EXPECT_EQ(0u, levels(kCard0Gpio) & kLines);  // off: the open drains pull low

  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(kAll, kOn).getRc());
  EXPECT_EQ(kLines, levels(kCard0Gpio) & kLines);
  uint32_t latches = 0;
  ASSERT_TRUE(ravosim::readOutputLatches(kCard0Gpio, latches));
  EXPECT_EQ(kLines, latches & kLines);
  // Each line armed for its off level; the other card stays as it was.
  EXPECT_EQ(m_pendingBefore + 2, ravosim::pendingRequests(kCard0Gpio));
  EXPECT_EQ(0u, levels(kCard1Gpio) & kLines);
  std::vector<Transaction> log = ravosim::readTransactionLog(kCard0Gpio);
  std::vector<Transaction> changes = ofKind(log, Transaction::PinChange);
  ASSERT_EQ(2u, changes.size()) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(bit(kLine0Pin), changes[0].mask);
  EXPECT_EQ(bit(kLine1Pin), changes[1].mask);
  EXPECT_EQ(kLines, changes[1].levels & kLines);
  EXPECT_TRUE(ravosim::readTransactionLog(kCard1Gpio).empty());

  // Off by name: only that line, and its interrupt is disarmed first.
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(id("OscCardSoftSwitchLine1"), kOff).getRc());
  EXPECT_EQ(bit(kLine0Pin), levels(kCard0Gpio) & kLines);
  EXPECT_EQ(m_pendingBefore + 1, ravosim::pendingRequests(kCard0Gpio));
  log = ravosim::readTransactionLog(kCard0Gpio);
  ASSERT_EQ(std::vector<Transaction::Kind>{Transaction::PinChange}, kinds(log)) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(bit(kLine1Pin), log[0].mask);

  // All off: the line that is still on goes low; no interrupt fires.
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(kAll, kOff).getRc());
  EXPECT_EQ(0u, levels(kCard0Gpio) & kLines);
  EXPECT_EQ(m_pendingBefore, ravosim::pendingRequests(kCard0Gpio));
  log = ravosim::readTransactionLog(kCard0Gpio);
  ASSERT_EQ(std::vector<Transaction::Kind>{Transaction::PinChange}, kinds(log)) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(bit(kLine0Pin), log[0].mask);
}

TEST_F(SoftSwitchTest, UnknownLineOrActionSwitchesNothing) {
  struct Case {
    const char* what;
    unsigned int line;
    unsigned int action;
  };
  const Case cases[] = {
      {"no such line", id("NoSuchSoftSwitchLine"), kOn},
      {"no such line, off", id("NoSuchSoftSwitchLine"), kOff},
      {"a signal of the card that is not a line of the switch", id("OscCardLed"), kOn},
      {"unknown action for all lines", kAll, id("yes")},
      {"unknown action for one line", id("OscCardSoftSwitchLine0"), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(0x7002u, m_switch->switchForPwrCtrl(c.line, c.action).getRcWithoutLogFlag()) << c.what;
    EXPECT_EQ(0u, levels(kCard0Gpio) & kLines) << c.what;
    EXPECT_EQ(m_pendingBefore, ravosim::pendingRequests(kCard0Gpio)) << c.what;
  }
  std::vector<Transaction> log = ravosim::readTransactionLog(kCard0Gpio);
  EXPECT_TRUE(log.empty()) << ravosim::formatTransactionLog(log);
}

TEST_F(SoftSwitchTest, LinePulledLowIsLoggedAsStillPresentAndItsConditionReset) {
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(pullLine0(log));
  std::vector<testsupport::LoggedError> errors = log.errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(0x7235u, errors[0].rc);
  EXPECT_TRUE(errors[0].asynchronous);
  EXPECT_EQ(0x28C07235u, errors[0].src);
  EXPECT_NE(std::string::npos, errors[0].text.find(kStillPresent)) << errors[0].text;
  // The machine saw the pin go low, the interrupt fire and then its
  // condition reset by the handler.
  ASSERT_TRUE(waitFor([] { return !ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::ConditionReset).empty(); }));
  std::vector<Transaction> trans = ravosim::readTransactionLog(kCard0Gpio);
  EXPECT_EQ((std::vector<Transaction::Kind>{Transaction::PinChange, Transaction::Interrupt,
                                            Transaction::ConditionReset}),
            kinds(trans))
      << ravosim::formatTransactionLog(trans);
  EXPECT_EQ(bit(kLine0Pin), trans[1].mask);
  EXPECT_EQ(bit(kLine0Pin), trans[2].mask);
}

TEST_F(SoftSwitchTest, LineBackOnWhenLookedAtIsLoggedAsShortChange) {
  testsupport::RecordingLogSink log;
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(id("OscCardSoftSwitchLine0"), kOn).getRc());
  ravosim::clearTransactionLog();
  // The handler waits for the switch's guard: the pulse is over before it
  // reads the line.
  ASSERT_EQ(0u, m_switch->requestAccess(-1).getRc());
  ASSERT_TRUE(ravosim::drivePin(kCard0Gpio, kLine0Pin, false));
  ASSERT_TRUE(waitFor([] { return !ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::Interrupt).empty(); }));
  ASSERT_TRUE(ravosim::releasePin(kCard0Gpio, kLine0Pin));
  EXPECT_EQ(0u, m_switch->releaseAccess().getRc());
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& e) { return !e.empty(); }));
  std::vector<testsupport::LoggedError> errors = log.errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(0x7235u, errors[0].rc);
  EXPECT_NE(std::string::npos, errors[0].text.find(kShortChange)) << errors[0].text;
  ASSERT_TRUE(waitFor([] { return !ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::ConditionReset).empty(); }));
  std::vector<Transaction> trans = ravosim::readTransactionLog(kCard0Gpio);
  EXPECT_EQ((std::vector<Transaction::Kind>{Transaction::PinChange, Transaction::Interrupt, Transaction::PinChange,
                                            Transaction::ConditionReset}),
            kinds(trans))
      << ravosim::formatTransactionLog(trans);
}

TEST_F(SoftSwitchTest, FailingGpioCallsGiveClearErrors) {
  // The first line's write fails: its code is the result, the second line
  // is still switched and armed, the first is neither.
  ravosim::failCalls("ravo_gpio_write_output_pins", kCard0Gpio, EIO);
  EXPECT_EQ(0x50000u + EIO, m_switch->switchForPwrCtrl(kAll, kOn).getRcWithoutLogFlag());
  EXPECT_EQ(bit(kLine1Pin), levels(kCard0Gpio) & kLines);
  EXPECT_EQ(m_pendingBefore + 1, ravosim::pendingRequests(kCard0Gpio));
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(kAll, kOff).getRc());

  // The handler's read fails: the report names the read's code, and the
  // condition is reset all the same.
  testsupport::RecordingLogSink log;
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(id("OscCardSoftSwitchLine0"), kOn).getRc());
  ravosim::clearTransactionLog();
  ravosim::failCalls("ravo_gpio_read_input_pins", kCard0Gpio, EIO);
  ASSERT_TRUE(ravosim::drivePin(kCard0Gpio, kLine0Pin, false));
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& e) {
    for (const testsupport::LoggedError& x : e)
      if (x.text.find("Softswitch") != std::string::npos) return true;
    return false;
  }));
  bool found = false;
  for (const testsupport::LoggedError& e : log.errors()) {
    if (e.text.find("Softswitch") == std::string::npos) continue;
    found = true;
    EXPECT_EQ(0x50000u + EIO, e.rc);
    EXPECT_NE(std::string::npos,
              e.text.find("SlotId=0x00000010 - A short unexpected change on Softswitch control line "
                          "'OscCardSoftSwitchLine0' has occured.  After the firmware wants to check the state of "
                          "the softswitch control line again the function returns with rc=0x00050005"))
        << e.text;
  }
  EXPECT_TRUE(found);
  ASSERT_TRUE(waitFor([] { return !ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::ConditionReset).empty(); }));
}

TEST_F(SoftSwitchTest, InterruptAfterDeregistrationIsIgnored) {
  m_switch->deregisterEvents();
  EXPECT_EQ(0u, m_switch->getRegistrationCount());
  testsupport::RecordingLogSink log;
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(id("OscCardSoftSwitchLine0"), kOn).getRc());
  // Card 1's switch is still registered: once its report is in, the priority-0
  // dispatcher has delivered card 0's interrupt before it.
  KavPtr<SoftSwitch> other = softSwitch(kCard1);
  ASSERT_TRUE(other != nullptr);
  ASSERT_EQ(0u, other->switchForPwrCtrl(id("OscCardSoftSwitchLine0"), kOn).getRc());
  ASSERT_TRUE(ravosim::drivePin(kCard0Gpio, kLine0Pin, false));
  ASSERT_TRUE(waitFor([] { return !ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::Interrupt).empty(); }));
  ASSERT_TRUE(ravosim::drivePin(kCard1Gpio, kLine0Pin, false));
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& e) { return !e.empty(); }));
  std::vector<testsupport::LoggedError> errors = log.errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::string::npos, errors[0].text.find("SlotId=0x00000011")) << errors[0].text;
  // Nobody reset card 0's condition.
  EXPECT_TRUE(ofKind(ravosim::readTransactionLog(kCard0Gpio), Transaction::ConditionReset).empty());
  ravosim::releasePin(kCard1Gpio, kLine0Pin);
  EXPECT_EQ(0u, other->switchForPwrCtrl(kAll, kOff).getRc());
  // Registered again, the switch reports once more (the condition the
  // ignored interrupt latched is reset by hand first).
  ASSERT_TRUE(ravosim::releasePin(kCard0Gpio, kLine0Pin));
  ASSERT_EQ(0u, m_switch->registerEvents().getRc());
  EXPECT_EQ(2u, m_switch->getRegistrationCount());
  KavPtr<DioHwrInterface> line0;
  for (const KavPtr<QueryBase>& child : m_switch->getChildren())
    if (child->getInstanceId() == id("OscCardSoftSwitchLine0")) line0 = KavPtr<DioHwrInterface>(child);
  ASSERT_TRUE(line0 != nullptr);
  ASSERT_EQ(0u, line0->resetIrqCondition().getRc());
  log.clear();
  ASSERT_TRUE(pullLine0(log));
  errors = log.errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::string::npos, errors[0].text.find(kStillPresent)) << errors[0].text;
}
