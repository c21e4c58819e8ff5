// OscCardSet over a control card and clock-domain cards on fakes
// (OscSetRig.h): the order in which each mode reaches control, outputs,
// domains and the clock-select bits (with the pauses of modes 2 and 3 on the
// trace timestamps), the modes a set without control takes, the initial
// set-up that leaves the use controls alone, cards configured later, card
// removal in every mode, power-good changes of a group, the card states
// with the power-fail flag, the control status and the pass-through of
// synch-lost counts and propagation, and the texts of the logged failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clock/OscSetRig.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TraceRecorder.h"

using osctest::Journal;

namespace {

const unsigned int kControlSlot = 0x20;
const unsigned int kDomainSlot = 0x21;
const unsigned int kEmptySlot = 0x22;

class OscCardSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    set_tree_root(KavPtr<QueryBase>(m_root));
    m_rig.reset(new osctest::SetRig(m_root.getRawPointer(), kavosc::OSC_CARD_SET_A, kControlSlot,
                                    {kControlSlot, kDomainSlot, kEmptySlot}, &m_journal));
    m_set = m_rig->cardSet;
  }
  void TearDown() override {
    if (m_handler != nullptr) {
      for (unsigned int slot : {kControlSlot, kDomainSlot}) m_handler->blockOnDisableCardAsyncPending(slot);
      m_handler->blockOnStatusChangePending();
    }
    m_rig.reset();
    OscillatorStatusHandler::destroyInstance();
    set_tree_root(KavPtr<QueryBase>());
  }

  // The control card "C" and the domain card "A", configured.
  void plugBoth() {
    m_rig->plugControl("C");
    m_rig->plugDomain("A", kDomainSlot);
    m_journal.clear();
  }
  void addStatusHandler() {
    m_handler = KavPtr<OscillatorStatusHandler>(new OscillatorStatusHandler());
    cardstest::link(m_root.getRawPointer(), m_handler.getRawPointer());
    OscillatorStatusHandler::destroyInstance();
  }
  Journal steps() {
    Journal out = osctest::steps(m_journal, {"A", "B"});
    m_journal.clear();
    return out;
  }
  osctest::ControlCard& control() { return *m_rig->control; }
  domaintest::DomainCard& domain(size_t i = 0) { return *m_rig->domains[i]; }

  testsupport::RecordingLogSink m_log;
  Journal m_journal;
  osctest::AdapterRecorder m_adapter{&m_journal};
  KavPtr<Container> m_root;
  std::unique_ptr<osctest::SetRig> m_rig;
  KavPtr<OscCardSet> m_set;
  KavPtr<OscillatorStatusHandler> m_handler;
};

// The microseconds from the first record that begins with `from` to the
// first after it that begins with `to` (-1 when one is missing).
long long gapUs(const std::vector<testsupport::TracedRecord>& records, const std::string& from, const std::string& to) {
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].text.compare(0, from.size(), from) != 0) continue;
    for (size_t j = i + 1; j < records.size(); ++j)
      if (records[j].text.compare(0, to.size(), to) == 0)
        return static_cast<long long>(records[j].us) - static_cast<long long>(records[i].us);
    return -1;
  }
  return -1;
}

bool hasRecord(const std::vector<testsupport::TracedRecord>& records, const std::string& prefix) {
  for (const auto& r : records)
    if (r.text.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

TEST_F(OscCardSetTest, EachModeReachesControlOutputsAndDomainsInItsOrder) {
  plugBoth();
  const Journal switchBothOff = {"clear clock bit", "C Osc0 3", "set clock bit", "clear clock bit", "C Osc1 3",
                                 "set clock bit"};
  auto join = [](Journal a, const Journal& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    kavosc::OscSetMode_t mode;
    Journal steps;
  } cases[] = {
      {kavosc::OSC_SET_MODE_NONE, join(switchBothOff, {"C outputs disable", "A domain"})},
      {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY,
       {"C Osc0 1", "clear clock bit", "C Osc1 3", "set clock bit", "A domain", "C outputs enable"}},
      // The domains follow the other set before this control lets go of
      // oscillator 0.
      {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY,
       {"A domain", "C outputs enable", "toggle clock bit", "clear clock bit", "C Osc0 3", "set clock bit",
        "C Osc1 1"}},
      {kavosc::OSC_SET_MODE_SINGLE, {"C Osc0 2", "C Osc1 2", "A domain", "C outputs enable"}},
      {kavosc::OSC_SET_MODE_OTHER_SINGLE, join(switchBothOff, {"A domain", "C outputs disable"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(0u, m_set->writeMode(c.mode).getRc());
    EXPECT_EQ(c.steps, steps());
    kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
    EXPECT_EQ(0u, m_set->readMode(mode).getRc());
    EXPECT_EQ(c.mode, mode);
    EXPECT_EQ(static_cast<unsigned int>(c.mode), control().control->getMode());
    EXPECT_EQ(c.mode, domain().domain->getMode());
    EXPECT_TRUE(m_set->isInitialized());
  }
  // Out of range: nothing written, the mode kept.
  EXPECT_EQ(0x7254u, m_set->writeMode(static_cast<kavosc::OscSetMode_t>(5)).getRcWithoutLogFlag());
  EXPECT_TRUE(m_journal.empty());
  kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
  m_set->readMode(mode);
  EXPECT_EQ(kavosc::OSC_SET_MODE_OTHER_SINGLE, mode);
}

TEST_F(OscCardSetTest, ModeTwoWaitsAfterTheClockSelectPulseAndModeThreeAfterTheOutputs) {
  plugBoth();
  testsupport::TraceRecorder traces({"OscAdapterServices::", "OscCardSet::writeMode", "ClockDomain::writeMode",
                                     "OscControl::writeMode"});
  ASSERT_EQ(0u, m_set->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  // The control's first switch (clearing the bits) comes 100 ms after the
  // pulse.
  const long long afterPulse =
      gapUs(traces.records(), "OscAdapterServices::toggleClockBit", "OscAdapterServices::clearClockBit");
  EXPECT_GE(afterPulse, 100000);
  EXPECT_LT(afterPulse, 1000000);
  traces.clear();
  ASSERT_EQ(0u, m_set->writeMode(kavosc::OSC_SET_MODE_SINGLE).getRc());
  // 1000 ms between the last domain and the end of the mode change.
  EXPECT_GE(gapUs(traces.records(), "ClockDomain::writeMode", "OscCardSet::writeMode set 0x10 mode=3 rc="), 1000000);
  traces.clear();
  // The others do not pause.
  for (kavosc::OscSetMode_t mode : {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_OTHER_SINGLE}) {
    ASSERT_EQ(0u, m_set->writeMode(mode).getRc());
    EXPECT_LT(gapUs(traces.records(), "OscCardSet::writeMode set 0x10 mode=", "OscCardSet::writeMode set 0x10 mode="),
              100000);
    traces.clear();
  }
}

TEST_F(OscCardSetTest, WithoutAControlOnlyModesZeroAndFourCanBeWritten) {
  m_rig->plugDomain("A", kDomainSlot);
  m_journal.clear();
  OscCardSet::OscCardSetInfo_t info;
  ASSERT_EQ(0u, m_set->getInfo(info).getRc());
  EXPECT_FALSE(info.oscCtrlPresent);
  EXPECT_FALSE(info.oscCtrlActive);
  EXPECT_EQ((kavstl::map<kavosc::ClockDomain_t, bool>{{kavosc::CLOCK_DOMAIN_1, true}}), info.clockDomainAvailability);
  OscCardSet::OscCardSetInfo_t withControl = info;
  withControl.oscCtrlPresent = true;
  const struct {
    kavosc::OscSetMode_t mode;
    bool valid;
    unsigned int rc;
  } cases[] = {
      {kavosc::OSC_SET_MODE_NONE, true, 0},
      {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, false, 0x7000},
      {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, false, 0x7000},
      {kavosc::OSC_SET_MODE_SINGLE, false, 0x7000},
      {kavosc::OSC_SET_MODE_OTHER_SINGLE, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(c.valid, OscCardSet::isValidModeForOscCardSet(c.mode, info));
    EXPECT_TRUE(OscCardSet::isValidModeForOscCardSet(c.mode, withControl));
    EXPECT_EQ(c.rc, m_set->writeMode(c.mode).getRcWithoutLogFlag());
    // The domains take the mode all the same; no clock-select pulse.
    EXPECT_EQ((Journal{"A domain"}), steps());
    EXPECT_EQ(c.mode, domain().domain->getMode());
  }
}

TEST_F(OscCardSetTest, InitialSetupRecordsTheModeWithoutSwitchingTheOscillators) {
  plugBoth();
  ASSERT_FALSE(m_set->isInitialized());
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  EXPECT_TRUE(m_set->isInitialized());
  for (const std::string& e : m_journal) {
    EXPECT_EQ(std::string::npos, e.find("Osc")) << e;
    EXPECT_EQ(std::string::npos, e.find("clock bit")) << e;
  }
  EXPECT_TRUE(control().use0->written.empty());
  EXPECT_TRUE(control().use1->written.empty());
  // Outputs and interrupts follow the mode: unit input 0 armed with its job.
  EXPECT_EQ(1u, control().control->getMode());
  EXPECT_TRUE(control().group->getOutputsEnabled());
  EXPECT_EQ((std::vector<std::string>{"arm off"}), control().in0->take());
  EXPECT_NE(0u, control().unit->getSynchLostJobId());
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, domain().domain->getMode());
  kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_NONE;
  m_set->readMode(mode);
  EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, mode);
}

TEST_F(OscCardSetTest, CardsConfiguredLaterTakeTheModeOnceOneWasSet) {
  // Before a mode was set: the cards are recorded, their mode left alone.
  m_rig->plugDomain("A", kDomainSlot);
  EXPECT_EQ(1u, m_set->getCardCount());
  EXPECT_EQ(kavosc::OSC_SET_MODE_NONE, domain().domain->getMode());
  ASSERT_EQ(0u, m_set->writeMode(kavosc::OSC_SET_MODE_OTHER_SINGLE).getRc());
  // A control and a domain card configured afterwards are set up in mode 4.
  m_rig->plugControl("C");
  EXPECT_EQ(4u, control().control->getMode());
  EXPECT_TRUE(control().use0->written.empty());
  EXPECT_TRUE(m_set->getOscControl() == control().control);
  m_rig->plugDomain("B", kEmptySlot);
  EXPECT_EQ(kavosc::OSC_SET_MODE_OTHER_SINGLE, domain(1).domain->getMode());
  EXPECT_EQ(3u, m_set->getCardCount());
  ExecList<ClockDomain> domains;
  ASSERT_EQ(0u, m_set->addAvailableClockDomainToExecList(domains).getRc());
  ASSERT_EQ(2u, domains.elementCount());
  EXPECT_TRUE(*domains.begin() == domain(0).domain);
}

TEST_F(OscCardSetTest, SlotsWithoutACardContainerAreIgnored) {
  // An unknown card's container, and a slot without any.
  KavPtr<Container> unknown(new Container(KavPtr<QueryBase>()));
  unknown->setInstanceId(kav::sid::UNKNOWN_FRU_CONTAINER);
  KavPtr<Slot> slot(new Slot());
  slot->setSlotId(kDomainSlot);
  cardstest::link(m_root.getRawPointer(), slot.getRawPointer());
  cardstest::link(slot.getRawPointer(), unknown.getRawPointer());
  m_set->handleConfigEvent(kDomainSlot);
  m_set->handleConfigEvent(kEmptySlot);
  EXPECT_EQ(0u, m_set->getCardCount());
  EXPECT_TRUE(m_log.errors().empty());
}

TEST_F(OscCardSetTest, ACardThatGoesAwayWhileTheSetRunsIsDisabledOnTheJobThread) {
  addStatusHandler();
  plugBoth();
  const struct {
    kavosc::OscSetMode_t mode;
    bool disabled;
  } modes[] = {{kavosc::OSC_SET_MODE_NONE, false},
               {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, true},
               {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, true},
               {kavosc::OSC_SET_MODE_SINGLE, true},
               {kavosc::OSC_SET_MODE_OTHER_SINGLE, false}};
  for (const auto& m : modes) {
    for (unsigned int slot : {kControlSlot, kDomainSlot}) {
      SCOPED_TRACE(testing::Message() << "mode " << m.mode << " slot " << slot);
      ASSERT_EQ(0u, m_set->performInitialSetup(m.mode).getRc());
      testsupport::TraceRecorder traces({"OscillatorStatusHandler::disableCardAsync", "DisableCardAsyncHandler"});
      m_log.clear();
      m_set->handleUnconfigEvent(slot);
      m_handler->blockOnDisableCardAsyncPending(slot);
      EXPECT_EQ(1u, m_set->getCardCount());
      EXPECT_EQ(slot == kControlSlot, m_set->getOscControl() == nullptr);
      ExecList<ClockDomain> domains;
      m_set->addAvailableClockDomainToExecList(domains);
      EXPECT_EQ(slot == kControlSlot ? 1u : 0u, domains.elementCount());
      char job[64];
      std::snprintf(job, sizeof job, "DisableCardAsyncHandler slot=0x%08X", slot);
      EXPECT_EQ(m.disabled, hasRecord(traces.records(), job));
      // No oscillator handler in this tree: the job's disabling fails
      // (logged by the job, not by the card set).
      for (const auto& e : m_log.errors())
        EXPECT_EQ(std::string::npos, e.text.find("Error in OscCardSet::handleUnconfigEvent()"));
      m_set->handleConfigEvent(slot);
      ASSERT_EQ(2u, m_set->getCardCount());
    }
  }
}

TEST_F(OscCardSetTest, FailuresOfTheSlotHandlersAreLoggedWithTheirTexts) {
  plugBoth();
  // No status handler to tell of a card that went away in mode 1.
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  m_set->handleUnconfigEvent(kDomainSlot);
  std::vector<testsupport::LoggedError> logged = m_log.errorsWithRc(0x7000);
  ASSERT_EQ(1u, logged.size());
  EXPECT_NE(std::string::npos, logged[0].text.find("Error in OscCardSet::handleUnconfigEvent()"));
  // A control card whose state table can not be read, configured once the
  // mode is set: its set-up fails.
  m_set->handleUnconfigEvent(kControlSlot);
  control().table->fields.erase(kav::sid::FRU_STATE_FIELD);
  m_log.clear();
  m_set->handleConfigEvent(kControlSlot);
  ASSERT_TRUE(m_log.waitForErrors([](const std::vector<testsupport::LoggedError>& e) { return !e.empty(); }));
  logged = m_log.errors();
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(0x7027u, logged[0].rc);
  EXPECT_TRUE(logged[0].asynchronous);
  EXPECT_NE(std::string::npos, logged[0].text.find("Error in OscCardSet::handleConfigEvent()"));
}

TEST_F(OscCardSetTest, PowerGoodChangesGateTheOutputsUnlessASwitchIsStillOn) {
  addStatusHandler();
  plugBoth();
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  control().powerGood->take();
  m_journal.clear();
  const struct {
    const char* name;
    bool powerGood, in1;
    Journal outputs;
    std::vector<std::string> powerGoodCalls;
  } cases[] = {
      {"lost, every switch off", false, false, {"C outputs disable"}, {"reset", "arm on"}},
      {"back", true, false, {"C outputs enable"}, {"reset", "arm off"}},
      {"lost, oscillator 1 still on", false, true, {"C outputs enable"}, {"reset", "arm on"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    control().powerGood->level = c.powerGood;
    control().in1->level = c.in1;
    control().group->handlePowerGoodEvent(DioEvent());
    EXPECT_EQ(c.outputs, m_journal);
    m_journal.clear();
    EXPECT_EQ(c.powerGoodCalls, control().powerGood->take());
    // Every change is reported.
    EXPECT_TRUE(m_handler->isStatusChangePending());
  }
  EXPECT_TRUE(m_log.errors().empty());
  // A power-good input that can not be read.
  control().powerGood->failWith = 0x7017;
  control().group->handlePowerGoodEvent(DioEvent());
  const std::vector<testsupport::LoggedError> logged = m_log.errorsWithRc(0x7017);
  ASSERT_FALSE(logged.empty());
  EXPECT_FALSE(logged[0].asynchronous);
  EXPECT_NE(std::string::npos, logged[0].text.find("Error in OscControlGroup::handlePowerGoodOnEvent()"));
}

TEST_F(OscCardSetTest, CardStatesFollowActivationAndPowerFail) {
  plugBoth();
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  kavosc::ClockDomainStatus_t domainStatus;
  ASSERT_EQ(0u, domain().domain->readStatus(domainStatus).getRc());
  const unsigned char kPowerFail = 0x08;
  const struct {
    unsigned char stateByte;
    unsigned int cardState;
    bool domains;
  } cases[] = {
      {kav::FRU_ACTIVATED, 1, true},
      {kav::FRU_ACTIVATED | kPowerFail, 3, true},
      {kav::FRU_NOT_ACTIVATED, 2, false},
      {kav::FRU_NOT_ACTIVATED | kPowerFail, 3, false},
      {1, 2, false},
      {1 | kPowerFail, 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<unsigned int>(c.stateByte));
    domain().table->fields[kav::sid::FRU_STATE_FIELD][0] = c.stateByte;
    kavstl::vector<kavosc::OscCardStatus_t> states;
    ASSERT_EQ(0u, m_set->readOscCardStates(states).getRc());
    ASSERT_EQ(3u, states.size());
    // The control card (activated), the domain card, the empty slot.
    EXPECT_EQ((kavosc::OscCardStatus_t{kControlSlot, kavosc::OSC_CARD_SET_A, 1, false, 0, {}}), states[0]);
    kavosc::OscCardStatus_t expected{kDomainSlot, kavosc::OSC_CARD_SET_A, c.cardState, false, 0, {}};
    if (c.domains) expected.clockDomains.push_back(domainStatus);
    EXPECT_EQ(expected, states[1]);
    EXPECT_EQ((kavosc::OscCardStatus_t{kEmptySlot, kavosc::OSC_CARD_SET_A, 0, false, 0, {}}), states[2]);
  }
  // A table that can not be read counts as no card.
  domain().table->fields.erase(kav::sid::FRU_STATE_FIELD);
  kavstl::vector<kavosc::OscCardStatus_t> states;
  m_set->readOscCardStates(states);
  ASSERT_EQ(3u, states.size());
  EXPECT_EQ(0u, states[1].cardState);
  // Only an active card carrying a domain makes that domain available.
  domain().table->fields[kav::sid::FRU_STATE_FIELD] = {kav::FRU_NOT_ACTIVATED};
  OscCardSet::OscCardSetInfo_t info;
  ASSERT_EQ(0u, m_set->getInfo(info).getRc());
  EXPECT_TRUE(info.oscCtrlPresent);
  EXPECT_TRUE(info.oscCtrlActive);
  EXPECT_EQ((kavstl::map<kavosc::ClockDomain_t, bool>{{kavosc::CLOCK_DOMAIN_1, false}}), info.clockDomainAvailability);
}

TEST_F(OscCardSetTest, ControlStatusCarriesSlotModeInputsAndGroups) {
  kavosc::OscControlStatus_t status{1, 1, true, true, {kavosc::OscControlGroupStatus_t()}};
  // Without a control: slot and mode, the rest cleared.
  ASSERT_EQ(0u, m_set->readOscControlStatus(status).getRc());
  EXPECT_EQ((kavosc::OscControlStatus_t{kControlSlot, 0, false, false, {}}), status);
  plugBoth();
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  const struct {
    bool status0, status1, in0, in1;
    kavPld::LookupControl_t fence;
  } cases[] = {
      {true, false, true, false, kavPld::LOOKUP_CONTROL_1},
      {false, true, false, true, kavPld::LOOKUP_CONTROL_2},
      {true, true, true, true, kavPld::LOOKUP_CONTROL_3},
  };
  for (const auto& c : cases) {
    control().status0->level = c.status0;
    control().status1->level = c.status1;
    control().in0->level = c.in0;
    control().in1->level = c.in1;
    control().fence->control = c.fence;
    ASSERT_EQ(0u, m_set->readOscControlStatus(status).getRc());
    const kavosc::OscControlUnitStatus_t unit{c.in0, c.in1, c.fence == kavPld::LOOKUP_CONTROL_1 ? 1u : 0u};
    const kavosc::OscControlGroupStatus_t group{true, true, {unit}};
    EXPECT_EQ((kavosc::OscControlStatus_t{kControlSlot, 1, c.status0, c.status1, {group}}), status);
  }
}

TEST_F(OscCardSetTest, SynchLostCountsOnlyInModeOneAndPropagationNeedsTheControl) {
  kavstl::vector<unsigned int> counts;
  const kavstl::vector<kavosc::SwitchoverPropagationMode_t> off(1, kavosc::PROPAGATION_OFF);
  // No control.
  EXPECT_EQ(0x7000u, m_set->setPropagationMode(0, off).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, m_set->disableAllPropagation().getRcWithoutLogFlag());
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  EXPECT_EQ(0x7000u, m_set->readSynchLostCounts(0, counts).getRcWithoutLogFlag());
  plugBoth();
  for (kavosc::OscSetMode_t mode : {kavosc::OSC_SET_MODE_NONE, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY,
                                    kavosc::OSC_SET_MODE_SINGLE, kavosc::OSC_SET_MODE_OTHER_SINGLE}) {
    ASSERT_EQ(0u, m_set->performInitialSetup(mode).getRc());
    EXPECT_EQ(0x7000u, m_set->readSynchLostCounts(0, counts).getRcWithoutLogFlag()) << mode;
  }
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  control().in1->readings = {true, false, false, false, false, false, false, false, false, false};
  ASSERT_EQ(0u, m_set->readSynchLostCounts(0, counts).getRc());
  EXPECT_EQ((kavstl::vector<unsigned int>{9}), counts);
  // A group the control does not have.
  EXPECT_EQ(0x7000u, m_set->readSynchLostCounts(1, counts).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, m_set->setPropagationMode(1, off).getRcWithoutLogFlag());
  // Propagation off closes the fence and drops the job.
  ASSERT_EQ(0u, m_set->setPropagationMode(0, off).getRc());
  EXPECT_EQ(kavPld::LOOKUP_CONTROL_2, control().fence->control);
  EXPECT_EQ(0u, control().unit->getSynchLostJobId());
  ASSERT_EQ(0u, m_set->setPropagationMode(0, {kavosc::PROPAGATION_ON}).getRc());
  EXPECT_EQ(kavPld::LOOKUP_CONTROL_1, control().fence->control);
  ASSERT_EQ(0u, m_set->disableAllPropagation().getRc());
  EXPECT_EQ(kavPld::LOOKUP_CONTROL_2, control().fence->control);
}

TEST_F(OscCardSetTest, InterruptsOfTheSetFollowItsMode) {
  plugBoth();
  ASSERT_EQ(0u, m_set->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  control().in1->take();
  control().powerGood->take();
  ASSERT_EQ(0u, m_set->disableInterrupts().getRc());
  EXPECT_EQ((std::vector<std::string>{"disarm"}), control().in1->take());
  EXPECT_EQ((std::vector<std::string>{"disarm"}), control().powerGood->take());
  EXPECT_EQ(0u, control().unit->getMode());
  ASSERT_EQ(0u, m_set->enableInterrupts().getRc());
  EXPECT_EQ((std::vector<std::string>{"arm off"}), control().in1->take());
  EXPECT_EQ((std::vector<std::string>{"arm off"}), control().powerGood->take());
  EXPECT_EQ(2u, control().unit->getMode());
}

}  // namespace
