// PllErrorMonitor over a PLL device and an error indicator that record what
// is done to them: linking, the flag names, the report of an event with the
// flags the PLL holds, the indicator's reset and re-arming (or holding while
// it is still active, until the re-arm job finds it inactive), the power
// steps, and the registration for the indicator's interrupt.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/clock/domain/PllErrorMonitor.h"
#include "kav/events/DioEvent.h"
#include "kav/events/DioEventSender.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"
#include "tests/clockchips/RecordingDioLine.h"
#include "tests/support/RecordingLogSink.h"

using chiptest::RecordingDioLine;
typedef PllHwdInterface::PllErrorType_t Flag;

namespace {

const unsigned int kReport = 0x7014;

// A PLL that holds the flags the test gives it; resetting them clears them,
// unless a condition holds one (it is set again at once).
class FakePll : public PllHwdInterface {
 public:
  kavstl::set<Flag> flags;
  kavstl::set<Flag> holding;
  std::vector<std::string> calls;
  unsigned int failReset = 0;

  ErrorData readErrorFlags(kavstl::set<Flag>& out) override {
    calls.push_back("read flags");
    out = flags;
    return ErrorData();
  }
  ErrorData resetAllErrorFlags() override {
    calls.push_back("reset flags");
    if (failReset != 0) return ErrorData(ErrorData::NO_OVERWRITE, failReset);
    flags = holding;
    return ErrorData();
  }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
  ErrorData readPattern(unsigned int& pattern) override {
    pattern = 0;
    return ErrorData();
  }
  ErrorData writePattern(unsigned int) override { return ErrorData(); }
  void dumpXmlHwRegisters(std::ostream&) override {}
  std::string registerDumpAsString() override { return std::string(); }
  ErrorData getRegister(unsigned char*, unsigned int& length) override {
    length = 0;
    return ErrorData();
  }
  ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) override {
    direction = kavosc::SPREADING_OFF;
    amount = 0;
    return ErrorData();
  }
  ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t, unsigned int) override { return ErrorData(); }

  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }
};

typedef std::vector<std::string> Calls;

class PllErrorMonitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    initDioEventSender();
  }

  void SetUp() override {
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_pll = KavPtr<FakePll>(new FakePll());
    m_pll->setInstanceId(get_id_by_string("PllUnderTest"));
    cardstest::link(m_container.getRawPointer(), m_pll.getRawPointer());
  }
  void TearDown() override {
    if (m_monitor != nullptr) m_monitor->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    // Every report of this test is in before the next test listens.
    reports(m_fired);
  }

  // An event of the indicator, handled here.
  void fire() {
    ++m_fired;
    m_monitor->handlePllError(DioEvent());
  }
  // The reports logged so far, once n of them are there.
  std::vector<testsupport::LoggedError> reports(size_t n) {
    EXPECT_TRUE(m_log.waitForErrors([n](const std::vector<testsupport::LoggedError>& errors) {
      size_t found = 0;
      for (const auto& e : errors) found += e.rc == kReport;
      return found >= n;
    }));
    return m_log.errorsWithRc(kReport);
  }
  // Waits for the reports so far and forgets them with everything logged.
  void settle() {
    reports(m_fired);
    m_log.clear();
    m_fired = 0;
  }
  std::vector<testsupport::LoggedError> failuresLogged() const {
    std::vector<testsupport::LoggedError> out;
    for (const auto& e : m_log.errors())
      if (e.text.find("Error resetting interrupt condition.") != std::string::npos) out.push_back(e);
    return out;
  }

  // A monitor with its PLL link and indicator unless left out, linked as at
  // step 3; rc: the result of the linking.
  void makeMonitor(bool withPll, bool withIndicator, unsigned int& rc) {
    m_monitor = KavPtr<PllErrorMonitor>(new PllErrorMonitor());
    m_monitor->setInstanceId(get_id_by_string("PllMonitorUnderTest"));
    cardstest::link(m_container.getRawPointer(), m_monitor.getRawPointer());
    if (withPll)
      chiptest::addLink<PllHwdInterfaceLink>(m_monitor.getRawPointer(), m_pll->getInstanceId(), m_container);
    if (withIndicator) {
      m_line = KavPtr<RecordingDioLine>(new RecordingDioLine());
      m_line->setInstanceId(get_id_by_string("PllErrorIndicatorUnderTest"));
      m_line->setHidden(true);
      cardstest::link(m_monitor.getRawPointer(), m_line.getRawPointer());
    }
    rc = m_monitor->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag();
  }
  void makeMonitor() {
    unsigned int rc = 0;
    makeMonitor(true, true, rc);
    ASSERT_EQ(0u, rc);
  }

  testsupport::RecordingLogSink m_log;
  size_t m_fired = 0;
  KavPtr<Container> m_container;
  KavPtr<FakePll> m_pll;
  KavPtr<PllErrorMonitor> m_monitor;
  KavPtr<RecordingDioLine> m_line;
};

const std::string kHead = "SlotId=0x00000000 - On Pll 'PllMonitorUnderTest' a HW-Event was detected! \nCurrent Errors: ";

}  // namespace

TEST_F(PllErrorMonitorTest, FlagNamesFollowTheStringTable) {
  EXPECT_EQ("ReferenceLost", asString(PllHwdInterface::PLL_ERROR_0));
  EXPECT_EQ("LockLost", asString(PllHwdInterface::PLL_ERROR_1));
  EXPECT_EQ(get_string_by_id(0), asString(static_cast<Flag>(2)));
  EXPECT_EQ(get_string_by_id(0), asString(static_cast<Flag>(0xFFFFFFFFu)));
}

TEST_F(PllErrorMonitorTest, MissingChildrenAreReportedAtLinkingAndByEveryOperation) {
  const struct {
    bool pll, indicator;
    unsigned int link, flags, monitoring;
  } cases[] = {{true, true, 0, 0, 0},
               {false, true, 0x7002, 0x7000, 0},
               {true, false, 0x7002, 0, 0x7000},
               {false, false, 0x7002, 0x7000, 0x7000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.pll) + std::to_string(c.indicator));
    unsigned int rc = 0;
    makeMonitor(c.pll, c.indicator, rc);
    EXPECT_EQ(c.link, rc);
    EXPECT_EQ(c.pll, m_monitor->getHwdInterface() != nullptr);
    kavstl::set<Flag> flags = {PllHwdInterface::PLL_ERROR_1};
    EXPECT_EQ(c.flags, m_monitor->readErrorFlags(flags).getRcWithoutLogFlag());
    EXPECT_TRUE(flags.empty());
    EXPECT_EQ(c.flags, m_monitor->resetAllErrors().getRcWithoutLogFlag());
    EXPECT_EQ(c.monitoring, m_monitor->enableErrorMonitoring().getRcWithoutLogFlag());
    EXPECT_EQ(c.monitoring, m_monitor->disableErrorMonitoring().getRcWithoutLogFlag());
    m_monitor->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
    EXPECT_TRUE(m_monitor->getHwdInterface() == nullptr);
  }
}

TEST_F(PllErrorMonitorTest, EventIsReportedWithTheFlagsThePllHolds) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  const struct {
    kavstl::set<Flag> flags;
    std::string errors;
  } cases[] = {
      {{}, "'NONE'"},
      {{PllHwdInterface::PLL_ERROR_0}, "'ReferenceLost'; "},
      {{PllHwdInterface::PLL_ERROR_1}, "'LockLost'; "},
      {{PllHwdInterface::PLL_ERROR_1, PllHwdInterface::PLL_ERROR_0}, "'ReferenceLost'; 'LockLost'; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errors);
    m_pll->flags = c.flags;
    kavstl::set<Flag> read;
    ASSERT_EQ(0u, m_monitor->readErrorFlags(read).getRc());
    EXPECT_EQ(c.flags, read);
    settle();
    fire();
    const std::vector<testsupport::LoggedError> logged = reports(1);
    ASSERT_EQ(1u, logged.size());
    EXPECT_EQ(kHead + c.errors, logged[0].text);
    EXPECT_EQ(0x28C07014u, logged[0].src);  // the row of keys HwEvent and PllError
    EXPECT_TRUE(logged[0].asynchronous);
    EXPECT_TRUE(failuresLogged().empty());
    // The flags are reported, not reset, by the event.
    EXPECT_EQ((Calls{"read flags", "read flags"}), m_pll->take());
  }
}

TEST_F(PllErrorMonitorTest, EventWithoutPllReportsNoFlagAndItsFailure) {
  unsigned int rc = 0;
  makeMonitor(false, true, rc);
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  m_line->take();
  fire();
  const std::vector<testsupport::LoggedError> logged = reports(1);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(kHead + "'NONE'", logged[0].text);
  // The indicator is still reset and armed again.
  EXPECT_EQ((Calls{"reset", "read", "reset", "arm on"}), m_line->take());
  std::vector<testsupport::LoggedError> failures = failuresLogged();
  ASSERT_EQ(1u, failures.size());
  EXPECT_EQ(0x7000u, failures[0].rc);
  EXPECT_EQ(0x28C0F0D1u, failures[0].src);
  EXPECT_FALSE(failures[0].asynchronous);
}

TEST_F(PllErrorMonitorTest, IndicatorIsArmedAgainOrHeldUntilTheJobFindsItInactive) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  // Enabling clears a condition left latched before it arms.
  EXPECT_EQ((Calls{"reset", "arm on"}), m_line->take());

  // Gone inactive again by the time the event is handled: armed again at
  // once.
  fire();
  EXPECT_EQ((Calls{"reset", "read", "reset", "arm on"}), m_line->take());
  EXPECT_FALSE(m_monitor->isIndicatorHeld());

  // Still active (the PLL keeps its flag): the condition is reset, the
  // indicator held, not armed.
  m_pll->flags = {PllHwdInterface::PLL_ERROR_0};
  m_pll->holding = {PllHwdInterface::PLL_ERROR_0};
  m_line->active = true;
  fire();
  EXPECT_EQ((Calls{"reset", "read"}), m_line->take());
  EXPECT_TRUE(m_monitor->isIndicatorHeld());
  // The job resets the PLL's flags; the reference still lost keeps its flag
  // and the indicator active: held again.
  m_pll->take();
  m_monitor->rearmHeldIndicator();
  EXPECT_EQ((Calls{"reset flags"}), m_pll->take());
  EXPECT_EQ((Calls{"read"}), m_line->take());
  EXPECT_TRUE(m_monitor->isIndicatorHeld());
  // The condition gone: the next run finds the indicator inactive and arms it.
  m_pll->holding.clear();
  m_line->active = false;
  m_monitor->rearmHeldIndicator();
  EXPECT_EQ((Calls{"reset flags"}), m_pll->take());
  EXPECT_EQ((Calls{"read", "reset", "arm on"}), m_line->take());
  EXPECT_FALSE(m_monitor->isIndicatorHeld());
  EXPECT_TRUE(m_pll->flags.empty());
  // A run with nothing held does nothing.
  m_monitor->rearmHeldIndicator();
  EXPECT_TRUE(m_pll->take().empty());
  EXPECT_TRUE(m_line->take().empty());
}

TEST_F(PllErrorMonitorTest, ReArmJobRunsAfterItsDelayUntilTheIndicatorIsReleased) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  m_line->active = true;
  fire();
  ASSERT_TRUE(m_monitor->isIndicatorHeld());
  // The job runs after its delay (real time in unit tests); released, the
  // indicator is armed by it.
  m_line->active = false;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (m_monitor->isIndicatorHeld() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(m_monitor->isIndicatorHeld());
  const Calls calls = m_line->take();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ("arm on", calls.back());
}

TEST_F(PllErrorMonitorTest, NothingIsArmedWhileTheMonitoringIsOff) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  m_line->active = true;
  fire();
  ASSERT_TRUE(m_monitor->isIndicatorHeld());
  EXPECT_EQ(1u, reports(1).size());
  // Switched off: the holding ends; an event still in the queue is reported
  // and its condition reset, but the indicator stays unarmed, and so does a
  // re-arm run.
  ASSERT_EQ(0u, m_monitor->disableErrorMonitoring().getRc());
  EXPECT_FALSE(m_monitor->isMonitoring());
  EXPECT_FALSE(m_monitor->isIndicatorHeld());
  m_line->take();
  m_line->active = false;
  fire();
  EXPECT_EQ(2u, reports(2).size());
  m_monitor->rearmHeldIndicator();
  EXPECT_EQ((Calls{"reset"}), m_line->take());
  // On again: armed.
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  EXPECT_TRUE(m_monitor->isMonitoring());
  EXPECT_EQ((Calls{"reset", "arm on"}), m_line->take());
}

TEST_F(PllErrorMonitorTest, FailingResetOfTheConditionIsLoggedUnlessTheEngineIsGone) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->enableErrorMonitoring().getRc());
  const struct {
    unsigned int code;
    bool logged;
  } cases[] = {{0x50005, true}, {0x7017, false}, {0x7019, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    settle();
    m_line->failing = "reset";
    m_line->failCode = c.code;
    fire();
    EXPECT_EQ(1u, reports(1).size());
    std::vector<testsupport::LoggedError> failures = failuresLogged();
    ASSERT_EQ(c.logged ? 1u : 0u, failures.size());
    if (c.logged) {
      EXPECT_EQ(c.code, failures[0].rc);
      EXPECT_EQ(0x28C0F0D1u, failures[0].src);
      EXPECT_NE(std::string::npos, failures[0].text.find("kav/PllErrorMonitor")) << failures[0].text;
    }
  }
  // Deleted, the monitor logs no failure any more.
  settle();
  m_monitor->terminate(terminateSequence::TERM_MARK_DELETED);
  ASSERT_TRUE(m_monitor->isDeleted());
  m_line->failCode = 0x50005;
  fire();
  EXPECT_EQ(1u, reports(1).size());
  EXPECT_TRUE(failuresLogged().empty());
}

TEST_F(PllErrorMonitorTest, PowerStepsOfTheInterruptControlSequence) {
  makeMonitor();
  const unsigned int sequence = kav::sid::INTERRUPT_CONTROL_SEQUENCE;
  const struct {
    unsigned int sequence, step, rc;
    Calls pll, line;
    bool monitoring;
  } cases[] = {
      {sequence, kav::sid::STATE_ON, 0, {"reset flags"}, {"reset", "arm on"}, true},
      {sequence, kav::sid::STATE_OFF, 0, {}, {"disarm"}, false},
      {sequence, kav::sid::SEQUENCE_TYPE_OTHER, 0x7002, {}, {}, false},
      {kav::sid::CLOCK_POWER_SEQUENCE, kav::sid::STATE_ON, 0x7002, {}, {}, false},
      {kav::sid::CLOCK_POWER_SEQUENCE, kav::sid::STATE_OFF, 0x7002, {}, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(get_string_by_id(c.sequence) + "/" + get_string_by_id(c.step));
    EXPECT_EQ(c.rc, m_monitor->switchForPwrCtrl(c.sequence, c.step).getRcWithoutLogFlag());
    EXPECT_EQ(c.pll, m_pll->take());
    EXPECT_EQ(c.line, m_line->take());
    EXPECT_EQ(c.monitoring, m_monitor->isMonitoring());
  }
  // A PLL that cannot reset its flags fails the step; the monitoring still
  // goes on.
  m_pll->failReset = 0x70005;
  EXPECT_EQ(0x70005u, m_monitor->switchForPwrCtrl(sequence, kav::sid::STATE_ON).getRcWithoutLogFlag());
  EXPECT_EQ((Calls{"reset", "arm on"}), m_line->take());
  EXPECT_TRUE(m_monitor->isMonitoring());
}

TEST_F(PllErrorMonitorTest, InitStepsRegisterForTheIndicatorAndSwitchTheMonitoring) {
  makeMonitor();
  ASSERT_EQ(0u, m_monitor->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  EXPECT_TRUE(m_monitor->eventsRegistered());
  // Registering again keeps the one registration.
  ASSERT_EQ(0u, m_monitor->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  ASSERT_EQ(0u, m_monitor->init(initSequence::INIT_ENABLE_INTERRUPTS).getRc());
  EXPECT_TRUE(m_monitor->isMonitoring());
  EXPECT_EQ((Calls{"reset", "arm on"}), m_line->take());

  // The indicator's on-level interrupt reaches the handler: reported once.
  m_pll->flags = {PllHwdInterface::PLL_ERROR_1};
  DioEvent on(m_line->getOnIrqId(), 0, 0, 0);
  DioEvent off(m_line->getOffIrqId(), 0, 0, 0);
  ++m_fired;
  DioEventSender::getInstance()->sendEvent(on);
  const std::vector<testsupport::LoggedError> logged = reports(1);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(kHead + "'LockLost'; ", logged[0].text);
  // Its off-level interrupt is not the monitor's.
  DioEventSender::getInstance()->sendEvent(off);
  ASSERT_EQ(0u, m_monitor->init(initSequence::INIT_DISABLE_INTERRUPTS).getRc());
  EXPECT_FALSE(m_monitor->isMonitoring());

  // Deregistered, the interrupt reaches no one.
  m_monitor->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  EXPECT_FALSE(m_monitor->eventsRegistered());
  DioEventSender::getInstance()->sendEvent(on);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(1u, m_log.errorsWithRc(kReport).size());
}

TEST_F(PllErrorMonitorTest, RegistrationWithoutIndicatorFails) {
  unsigned int rc = 0;
  makeMonitor(true, false, rc);
  EXPECT_EQ(0x7000u, m_monitor->init(initSequence::INIT_REGISTER_EVENTS).getRcWithoutLogFlag());
  EXPECT_FALSE(m_monitor->eventsRegistered());
}

// With an oscillator status handler in the tree, the event is a warning of
// the handler's round: two events close together give one entry (primary
// key OscStatusH) after the round's delay,
// and nothing is logged directly. The monitor of this test has no slot:
// the entry is the one of warnings without slot.
TEST_F(PllErrorMonitorTest, WithAStatusHandlerEventsAreCollectedIntoOneReport) {
  makeMonitor();
  KavPtr<OscillatorStatusHandler> handler(new OscillatorStatusHandler());
  cardstest::link(m_container.getRawPointer(), handler.getRawPointer());
  set_tree_root(KavPtr<QueryBase>(m_container));
  OscillatorStatusHandler::destroyInstance();
  m_pll->flags = {PllHwdInterface::PLL_ERROR_1};
  const auto first = std::chrono::steady_clock::now();
  m_monitor->handlePllError(DioEvent());
  m_monitor->handlePllError(DioEvent());
  handler->blockOnStatusChangePending();
  const std::vector<testsupport::LoggedError> logged = reports(1);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(0x28C07213u, logged[0].src);  // the row of keys OscStatusH and InfoNoSlot
  EXPECT_EQ("SlotId=0x00000000   " + kHead + "'LockLost'; SlotId=0x00000000   " + kHead +
                "'LockLost'; No slot ids provided for warnings!!",
            logged[0].text);
  EXPECT_FALSE(logged[0].asynchronous);
  EXPECT_GE(logged[0].time - first, std::chrono::milliseconds(OscillatorStatusHandler::kReportDelayMs - 2));
  OscillatorStatusHandler::destroyInstance();
  set_tree_root(KavPtr<QueryBase>());
}
