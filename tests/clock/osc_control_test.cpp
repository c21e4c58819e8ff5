// OscControl on a control card of fakes (OscSetRig.h): the use controls of
// each mode with the clock-select bits cleared around switching one off,
// nothing written on a card that is not activated, the mode handed to the
// group and its unit, failures of groups and units passed on, the status
// record, the switch-over detection with its text and the disabling on the
// job thread, and the synch-lost check: scheduled 60 s ahead on the timed
// executor, re-armed by each run (checked on the due times the executor
// traces, the job run early by moving it), a lost synchronisation reported
// with debug data, and a replaced job doing nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kav/clock/osc/CheckSynchLostJob.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimedJob.h"
#include "tests/clock/OscSetRig.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TraceRecorder.h"

using osctest::Journal;

namespace {

const unsigned int kSlot = 0x20;

std::vector<int> g_collected;
std::mutex g_collectedLock;
void recordCollect(int mode) {
  std::lock_guard<std::mutex> guard(g_collectedLock);
  g_collected.push_back(mode);
}
size_t collected() {
  std::lock_guard<std::mutex> guard(g_collectedLock);
  return g_collected.size();
}

class NoJob : public TimedJob {
 public:
  void execute() override {}
};

class OscControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    set_tree_root(KavPtr<QueryBase>(m_root));
    m_card.reset(new osctest::ControlCard("C", &m_journal));
    KavPtr<Slot> slot(new Slot());
    slot->setSlotId(kSlot);
    cardstest::link(m_root.getRawPointer(), slot.getRawPointer());
    cardstest::link(slot.getRawPointer(), m_card->container.getRawPointer());
    m_handler = KavPtr<OscillatorStatusHandler>(new OscillatorStatusHandler());
    cardstest::link(m_root.getRawPointer(), m_handler.getRawPointer());
    OscillatorStatusHandler::destroyInstance();
    m_previous = OscAdapterServices::registerOperations(
        {&osctest::clearClockBit, &osctest::setClockBit, &osctest::toggleClockBit, &recordCollect});
    {
      std::lock_guard<std::mutex> guard(osctest::adapterLock());
      osctest::adapterJournal() = &m_journal;
    }
    std::lock_guard<std::mutex> guard(g_collectedLock);
    g_collected.clear();
  }
  void TearDown() override {
    m_card.reset();
    m_handler->blockOnDisableCardAsyncPending(kSlot);
    m_handler->blockOnStatusChangePending();
    OscAdapterServices::registerOperations(m_previous);
    {
      std::lock_guard<std::mutex> guard(osctest::adapterLock());
      osctest::adapterJournal() = nullptr;
    }
    OscillatorStatusHandler::destroyInstance();
    set_tree_root(KavPtr<QueryBase>());
  }

  OscControl& control() { return *m_card->control; }

  testsupport::RecordingLogSink m_log;
  Journal m_journal;
  KavPtr<Container> m_root;
  std::unique_ptr<osctest::ControlCard> m_card;
  KavPtr<OscillatorStatusHandler> m_handler;
  OscAdapterServices::Operations_t m_previous;
};

TEST_F(OscControlTest, EachModeSetsTheUseControlsOfAnActivatedCard) {
  const Journal off0 = {"clear clock bit", "C Osc0 3", "set clock bit"};
  const Journal off1 = {"clear clock bit", "C Osc1 3", "set clock bit"};
  auto join = [](Journal a, const Journal& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    unsigned int mode;
    Journal written;
    bool fenceClosed;
  } cases[] = {
      {0, join(off0, off1), true},
      {1, join({"C Osc0 1"}, off1), false},
      {2, join(off0, {"C Osc1 1"}), false},
      {3, {"C Osc0 2", "C Osc1 2"}, true},
      {4, join(off0, off1), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    m_card->fence->control = kavPld::LOOKUP_CONTROL_1;
    EXPECT_EQ(0u, control().writeMode(c.mode).getRc());
    EXPECT_EQ(c.written, m_journal);
    m_journal.clear();
    EXPECT_EQ(c.mode, control().getMode());
    EXPECT_EQ(c.fenceClosed ? kavPld::LOOKUP_CONTROL_2 : kavPld::LOOKUP_CONTROL_1, m_card->fence->control);
  }
  EXPECT_EQ(0x7254u, control().writeMode(5).getRcWithoutLogFlag());
  EXPECT_TRUE(m_journal.empty());
  // Not activated: the mode is only recorded, for the power step to apply.
  for (unsigned char state : {0, 1, 3}) {
    m_card->table->setState(static_cast<kav::FruActivationState_t>(state));
    EXPECT_EQ(0u, control().writeMode(1).getRc());
    EXPECT_EQ(1u, control().getMode());
    EXPECT_TRUE(m_journal.empty()) << static_cast<int>(state);
  }
  m_card->table->setState(kav::FRU_ACTIVATED);
  ASSERT_EQ(0u, control().switchForPwrCtrl(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_EQ((Journal{"C Osc0 1", "clear clock bit", "C Osc1 3", "set clock bit", "C outputs enable"}), m_journal);
}

TEST_F(OscControlTest, OutputsAndInterruptsFollowTheCardState) {
  const struct {
    int state;  // -1: the table can not be read
    unsigned int rc;
    bool applied;
  } cases[] = {{0, 0, false}, {1, 0, true}, {2, 0, true}, {-1, 0x7027, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    if (c.state < 0)
      m_card->table->fields.erase(kav::sid::FRU_STATE_FIELD);
    else
      m_card->table->fields[kav::sid::FRU_STATE_FIELD] = {static_cast<unsigned char>(c.state)};
    m_card->in0->take();
    EXPECT_EQ(c.rc, control().manageOutputEnablement(1).getRcWithoutLogFlag());
    EXPECT_EQ(c.rc, control().manageInterruptEnablement(1).getRcWithoutLogFlag());
    EXPECT_EQ(c.applied ? Journal{"C outputs enable"} : Journal{}, m_journal);
    EXPECT_EQ(c.applied ? std::vector<std::string>{"arm off"} : std::vector<std::string>{}, m_card->in0->take());
    EXPECT_EQ(c.applied ? 1u : 0u, m_card->group->getMode());
    m_journal.clear();
    control().manageInterruptEnablement(0);
    m_card->group->manageInterruptEnablement(0);
  }
}

TEST_F(OscControlTest, TheModeReachesGroupAndUnit) {
  const struct {
    unsigned int mode;
    bool outputs;
    unsigned int unitMode;
    std::vector<std::string> in0, in1;
  } cases[] = {
      {1, true, 1, {"arm off"}, {}},
      {2, true, 2, {}, {"arm off"}},
      {3, true, 3, {}, {}},
      {4, false, 0, {}, {}},
      {0, false, 0, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(0u, control().performInitialSetup(c.mode).getRc());
    EXPECT_EQ(c.mode, control().getMode());
    EXPECT_EQ(c.outputs, m_card->group->getOutputsEnabled());
    EXPECT_EQ(c.unitMode, m_card->unit->getMode());
    EXPECT_EQ(c.unitMode, m_card->group->getMode());
    EXPECT_EQ(c.in0, m_card->in0->take());
    EXPECT_EQ(c.in1, m_card->in1->take());
    control().manageInterruptEnablement(0);
    m_card->in0->take();
    m_card->in1->take();
  }
}

TEST_F(OscControlTest, FailuresOfGroupsAndUnitsArePassedOn) {
  ASSERT_EQ(0u, control().performInitialSetup(1).getRc());
  m_card->in1->failWith = 0x7019;
  kavstl::vector<unsigned int> counts;
  EXPECT_EQ(0x7019u, control().readSynchLostCounts(0, counts).getRcWithoutLogFlag());
  m_card->fence->failWith = 0x7364;
  EXPECT_EQ(0x7364u, control().setPropagationMode(0, {kavosc::PROPAGATION_ON}).getRcWithoutLogFlag());
  EXPECT_EQ(0x7364u, control().disableAllPropagation().getRcWithoutLogFlag());
  EXPECT_EQ(0x7256u, control()
                         .setPropagationMode(0, {static_cast<kavosc::SwitchoverPropagationMode_t>(2)})
                         .getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, control().setPropagationMode(3, {kavosc::PROPAGATION_ON}).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, control().readSynchLostCounts(3, counts).getRcWithoutLogFlag());
  m_card->powerGood->failWith = 0x7017;
  m_journal.clear();
  // Unreadable power good with every switch off: the outputs go off, and
  // the failure is the result.
  EXPECT_EQ(0x7017u, control().manageOutputEnablement(1).getRcWithoutLogFlag());
  EXPECT_EQ((Journal{"C outputs disable"}), m_journal);
  m_journal.clear();
  kavosc::OscControlStatus_t status;
  EXPECT_EQ(0x7017u, control().readStatus(status).getRcWithoutLogFlag());
  m_card->use1->failWith = 0x7364;
  EXPECT_EQ(0x7364u, control().writeModeToHw(2).getRcWithoutLogFlag());
  // The bits are restored after a failed switch too.
  EXPECT_EQ((Journal{"clear clock bit", "C Osc0 3", "set clock bit", "C Osc1 1"}), m_journal);
}

TEST_F(OscControlTest, MissingUseControlsAndStatusInputs) {
  KavPtr<OscControl> bare(new OscControl());
  cardstest::link(m_root.getRawPointer(), bare.getRawPointer());
  EXPECT_EQ(0x7002u, bare->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, bare->switchUseOsc0(kavPld::LOOKUP_CONTROL_3).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, bare->switchUseOsc1(kavPld::LOOKUP_CONTROL_1).getRcWithoutLogFlag());
  EXPECT_TRUE(m_journal.empty());
  EXPECT_EQ(0x7000u, bare->manageOutputEnablement(1).getRcWithoutLogFlag());
  kavosc::OscControlStatus_t status{0, 0, true, true, {}};
  EXPECT_EQ(0x7000u, bare->readStatus(status).getRcWithoutLogFlag());
  EXPECT_FALSE(status.osc0StatusOn);
  EXPECT_FALSE(status.osc1StatusOn);
}

TEST_F(OscControlTest, ASwitchOverInModeOneDisablesTheCardOnTheJobThreadAndIsReportedAsAnError) {
  ASSERT_EQ(0u, control().performInitialSetup(1).getRc());
  m_card->in0->take();
  // (The recorder drops the blank a record begins with.)
  testsupport::TraceRecorder traces({"SlotId=0x", "- On OscControlUnit", "(Primary-Card)", "(Secondary-Card)",
                                     "DisableCardAsyncHandler"});
  m_card->in0->level = false;
  m_card->in1->level = true;
  m_card->unit->handleOscCntlOffEvent(DioEvent(), 0);
  m_handler->blockOnDisableCardAsyncPending(kSlot);
  m_handler->blockOnStatusChangePending();
  std::vector<std::string> texts;
  for (const auto& r : traces.records()) texts.push_back(r.text);
  EXPECT_EQ((std::vector<std::string>{"SlotId=0x00000020", "- On OscControlUnit 'CUnit' a HW-Event was detected! ",
                                      "(Primary-Card) SwitchOver on ClockChip detected! Primary card Lost! ",
                                      // No oscillator handler in this tree.
                                      "DisableCardAsyncHandler slot=0x00000020 rc=0x00007002"}),
            texts);
  ASSERT_TRUE(m_log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
    for (const auto& e : errors)
      if (e.rc == OscillatorStatusHandler::kStatusReport) return true;
    return false;
  }));
  const std::vector<testsupport::LoggedError> report = m_log.errorsWithRc(OscillatorStatusHandler::kStatusReport);
  ASSERT_EQ(1u, report.size());
  EXPECT_EQ((std::vector<unsigned int>{kSlot}), report[0].slotIds);
  // The handled interrupt is reset.
  EXPECT_EQ((std::vector<std::string>{"reset"}), m_card->in0->take());
}

// ---- the synch-lost check ------------------------------------------------

struct Insert {
  unsigned int job;
  unsigned long long dueMs;
};

std::vector<Insert> inserts(const testsupport::TraceRecorder& traces) {
  std::vector<Insert> out;
  for (const auto& r : traces.records()) {
    unsigned int job = 0, seconds = 0, ms = 0;
    if (std::sscanf(r.text.c_str(), "TimedExecutor: insert job %u due=%u.%u", &job, &seconds, &ms) == 3)
      out.push_back({job, seconds * 1000ull + ms});
  }
  return out;
}

const Insert* find(const std::vector<Insert>& list, unsigned int job) {
  for (const Insert& i : list)
    if (i.job == job) return &i;
  return nullptr;
}

// Waits (up to 10 s) until the unit's job is another than `job`.
unsigned int nextJob(OscControlUnit& unit, unsigned int job) {
  for (int i = 0; i < 10000 && unit.getSynchLostJobId() == job; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return unit.getSynchLostJobId();
}

TEST_F(OscControlTest, TheSynchLostCheckRunsEverySixtySecondsWhilePropagationIsOnInModeOne) {
  testsupport::TraceRecorder traces({"TimedExecutor: insert job", "OscControlUnit::runSynchLostCheck"});
  ASSERT_EQ(0u, control().performInitialSetup(1).getRc());
  OscControlUnit& unit = *m_card->unit;
  const unsigned int first = unit.getSynchLostJobId();
  ASSERT_NE(0u, first);
  // A job due now, as a reference for the executor's clock.
  const unsigned int probe = TimedExecutor::getInstance()->insertJob(new NoJob(), 0, 0, 0);
  std::vector<Insert> list = inserts(traces);
  ASSERT_TRUE(find(list, first) != nullptr && find(list, probe) != nullptr);
  const long long ahead = static_cast<long long>(find(list, first)->dueMs) - static_cast<long long>(find(list, probe)->dueMs);
  EXPECT_LE(ahead, 60000);
  EXPECT_GE(ahead, 59500);

  // Run it now: it schedules the next one 60 s after its own run, and
  // input 1 never on is a lost synchronisation.
  m_card->in1->level = false;
  traces.clear();
  ASSERT_TRUE(TimedExecutor::getInstance()->rescheduleJob(first, 0));
  const unsigned int second = nextJob(unit, first);
  ASSERT_NE(first, second);
  ASSERT_NE(0u, second);
  list = inserts(traces);
  ASSERT_TRUE(find(list, first) != nullptr && find(list, second) != nullptr);
  const long long period = static_cast<long long>(find(list, second)->dueMs) - static_cast<long long>(find(list, first)->dueMs);
  EXPECT_GE(period, 60000);
  EXPECT_LT(period, 60500);
  EXPECT_FALSE(TimedExecutor::getInstance()->deleteJob(first));
  m_handler->blockOnStatusChangePending();
  EXPECT_EQ(1u, collected());

  // One "on" reading in ten is no loss: no debug data.
  m_card->in1->readings = {false, false, true};
  ASSERT_TRUE(TimedExecutor::getInstance()->rescheduleJob(second, 0));
  const unsigned int third = nextJob(unit, second);
  ASSERT_NE(second, third);
  bool sawLost = false, sawKept = false;
  for (const auto& r : traces.records()) {
    if (r.text.find("OscControlUnit::runSynchLostCheck slot=0x00000020 lost=1 rc=0x00000000") == 0) sawLost = true;
    if (r.text.find("OscControlUnit::runSynchLostCheck slot=0x00000020 lost=0 rc=0x00000000") == 0) sawKept = true;
  }
  EXPECT_TRUE(sawLost);
  EXPECT_TRUE(sawKept);
  EXPECT_EQ(1u, collected());

  // A job that was replaced does nothing.
  traces.clear();
  unit.runSynchLostCheck(second);
  EXPECT_EQ(third, unit.getSynchLostJobId());
  EXPECT_TRUE(inserts(traces).empty());

  // Propagation off (and the interrupts with it) ends the checks.
  ASSERT_EQ(0u, control().setPropagationMode(0, {kavosc::PROPAGATION_OFF}).getRc());
  EXPECT_EQ(0u, unit.getSynchLostJobId());
  EXPECT_FALSE(TimedExecutor::getInstance()->deleteJob(third));
  // Mode 2 has none.
  ASSERT_EQ(0u, control().setPropagationMode(0, {kavosc::PROPAGATION_ON}).getRc());
  ASSERT_EQ(0u, control().manageInterruptEnablement(0).getRc());
  ASSERT_EQ(0u, control().performInitialSetup(2).getRc());
  EXPECT_EQ(0u, unit.getSynchLostJobId());
}

TEST_F(OscControlTest, StatusCarriesTheStatusInputsAndTheGroups) {
  ASSERT_EQ(0u, control().performInitialSetup(1).getRc());
  const struct {
    bool s0, s1, good;
  } cases[] = {{true, false, true}, {false, true, true}, {false, false, false}};
  for (const auto& c : cases) {
    m_card->status0->level = c.s0;
    m_card->status1->level = c.s1;
    m_card->powerGood->level = c.good;
    kavosc::OscControlStatus_t status{7, 3, false, false, {}};
    ASSERT_EQ(0u, control().readStatus(status).getRc());
    // The card set fills the first two words.
    const kavosc::OscControlGroupStatus_t group{c.good, true, {{false, false, 1}}};
    EXPECT_EQ((kavosc::OscControlStatus_t{7, 3, c.s0, c.s1, {group}}), status);
  }
}

}  // namespace
