// OscControlUnit over two scripted oscillator-switch inputs and a fence
// control: which input's off interrupt each mode arms (and the synch-lost
// job of mode 1 with the fence open), the propagation fence, the synch-lost
// count over ten readings, the switch-over detection that reports an error
// (and only in mode 1, fence open, input 0 off and input 1 on), and the
// registrations of init step 7.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "kav/clock/osc/OscControlUnit.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/DioEventSender.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clock/OscSetRig.h"
#include "tests/support/RecordingLogSink.h"

namespace {

typedef std::vector<std::string> Calls;

// The oscillator-switch inputs are the rig's scripted inputs.
using ScriptedInput = osctest::Input;

class FenceControl : public PldHwrInterface {
 public:
  mutable kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_1;
  mutable std::vector<unsigned int> written;
  ErrorData writeLookupTableControl(kavPld::LookupControl_t value) const override {
    control = value;
    written.push_back(value);
    return ErrorData();
  }
  ErrorData readLookupTableControl(kavPld::LookupControl_t& value) const override {
    value = control;
    return ErrorData();
  }
};

class OscControlUnitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    initDioEventSender();
  }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_unit = KavPtr<OscControlUnit>(new OscControlUnit());
    m_unit->setInstanceId(get_id_by_string("UnitUnderTest"));
    cardstest::link(m_root.getRawPointer(), m_unit.getRawPointer());
    m_in0 = KavPtr<ScriptedInput>(new ScriptedInput(0));
    m_in1 = KavPtr<ScriptedInput>(new ScriptedInput(1));
    m_fence = KavPtr<FenceControl>(new FenceControl());
    for (QueryBase* child : {static_cast<QueryBase*>(m_in0.getRawPointer()),
                             static_cast<QueryBase*>(m_in1.getRawPointer()),
                             static_cast<QueryBase*>(m_fence.getRawPointer())}) {
      child->setHidden(true);
      cardstest::link(m_unit.getRawPointer(), child);
    }
    ASSERT_EQ(0u, m_unit->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }
  void TearDown() override {
    m_unit->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    if (m_handler != nullptr) m_handler->blockOnStatusChangePending();
    OscillatorStatusHandler::destroyInstance();
    set_tree_root(KavPtr<QueryBase>());
  }

  void addStatusHandler() {
    m_handler = KavPtr<OscillatorStatusHandler>(new OscillatorStatusHandler());
    // Disabling is not the unit's business here.
    m_handler->setDebugMode(true);
    cardstest::link(m_root.getRawPointer(), m_handler.getRawPointer());
    set_tree_root(KavPtr<QueryBase>(m_root));
    OscillatorStatusHandler::destroyInstance();
  }

  testsupport::RecordingLogSink m_log;
  KavPtr<Container> m_root;
  KavPtr<OscControlUnit> m_unit;
  KavPtr<ScriptedInput> m_in0, m_in1;
  KavPtr<FenceControl> m_fence;
  KavPtr<OscillatorStatusHandler> m_handler;
};

TEST_F(OscControlUnitTest, EachModeArmsItsInputAndModeOneItsSynchLostJob) {
  const struct {
    unsigned int mode;
    kavPld::LookupControl_t fence;
    Calls in0, in1;
    bool job;
    Calls in0Off, in1Off;
  } cases[] = {
      {1, kavPld::LOOKUP_CONTROL_1, {"arm off"}, {}, true, {"disarm"}, {}},
      {1, kavPld::LOOKUP_CONTROL_2, {}, {}, false, {"disarm"}, {}},
      {2, kavPld::LOOKUP_CONTROL_1, {}, {"arm off"}, false, {}, {"disarm"}},
      {3, kavPld::LOOKUP_CONTROL_1, {}, {}, false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    m_fence->control = c.fence;
    EXPECT_EQ(0u, m_unit->enableInterrupts(c.mode).getRc());
    EXPECT_EQ(c.mode, m_unit->getMode());
    EXPECT_EQ(c.in0, m_in0->take());
    EXPECT_EQ(c.in1, m_in1->take());
    EXPECT_EQ(c.job, m_unit->getSynchLostJobId() != 0);
    EXPECT_EQ(0u, m_unit->disableInterrupts().getRc());
    EXPECT_EQ(c.in0Off, m_in0->take());
    EXPECT_EQ(c.in1Off, m_in1->take());
    EXPECT_EQ(0u, m_unit->getSynchLostJobId());
    EXPECT_EQ(0u, m_unit->getMode());
  }
}

TEST_F(OscControlUnitTest, PropagationOpensOrClosesTheFence) {
  ASSERT_EQ(0u, m_unit->enableInterrupts(1).getRc());
  m_in0->take();
  EXPECT_EQ(0u, m_unit->setPropagationMode(kavosc::PROPAGATION_OFF).getRc());
  EXPECT_EQ((std::vector<unsigned int>{2}), m_fence->written);
  EXPECT_EQ((Calls{"disarm"}), m_in0->take());
  EXPECT_EQ(0u, m_unit->getSynchLostJobId());
  EXPECT_EQ(0u, m_unit->setPropagationMode(kavosc::PROPAGATION_ON).getRc());
  EXPECT_EQ((std::vector<unsigned int>{2, 1}), m_fence->written);
  EXPECT_EQ((Calls{"arm off"}), m_in0->take());
  EXPECT_NE(0u, m_unit->getSynchLostJobId());
  EXPECT_EQ(0x7256u,
            m_unit->setPropagationMode(static_cast<kavosc::SwitchoverPropagationMode_t>(2)).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<unsigned int>{2, 1}), m_fence->written);
}

TEST_F(OscControlUnitTest, SynchLostCountsTheOffReadingsOfInputOneInModeOne) {
  const struct {
    unsigned int mode;
    std::deque<bool> readings;
    unsigned int count;
  } cases[] = {
      {1, std::deque<bool>(10, false), 10},
      {1, {false, false, false, true, false, false, false, false, false, false}, 9},
      {1, std::deque<bool>(10, true), 0},
      {2, std::deque<bool>(10, false), 77},  // other modes leave it
  };
  m_fence->control = kavPld::LOOKUP_CONTROL_2;  // no job meanwhile
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    ASSERT_EQ(0u, m_unit->enableInterrupts(c.mode).getRc());
    m_in1->readings = c.readings;
    unsigned int count = 77;
    EXPECT_EQ(0u, m_unit->readSynchLostCounts(count).getRc());
    EXPECT_EQ(c.count, count);
    ASSERT_EQ(0u, m_unit->disableInterrupts().getRc());
  }
}

TEST_F(OscControlUnitTest, OnlyASwitchFromOscillatorZeroToOneInModeOneIsAnError) {
  addStatusHandler();
  // Inputs, fence and mode that are no switch-over: reports only, no entry.
  const struct {
    unsigned int mode;
    bool in0, in1;
    kavPld::LookupControl_t fence;
  } noSwitch[] = {
      {2, false, true, kavPld::LOOKUP_CONTROL_1},
      {1, false, true, kavPld::LOOKUP_CONTROL_2},
      {1, true, true, kavPld::LOOKUP_CONTROL_1},
      {1, false, false, kavPld::LOOKUP_CONTROL_1},
  };
  for (const auto& c : noSwitch) {
    m_fence->control = c.fence;
    ASSERT_EQ(0u, m_unit->enableInterrupts(c.mode).getRc());
    m_in0->level = c.in0;
    m_in1->level = c.in1;
    const unsigned int input = c.mode == 2 ? 1 : 0;
    m_in0->take();
    m_in1->take();
    m_unit->handleOscCntlOffEvent(DioEvent(), input);
    // The handled interrupt is reset.
    EXPECT_EQ((Calls{"reset"}), (input == 1 ? m_in1 : m_in0)->take());
    ASSERT_EQ(0u, m_unit->disableInterrupts().getRc());
  }
  EXPECT_TRUE(m_handler->isStatusChangePending());
  m_handler->blockOnStatusChangePending();
  EXPECT_TRUE(m_log.errorsWithRc(OscillatorStatusHandler::kStatusReport).empty());

  m_fence->control = kavPld::LOOKUP_CONTROL_1;
  ASSERT_EQ(0u, m_unit->enableInterrupts(1).getRc());
  m_in0->level = false;
  m_in1->level = true;
  m_unit->handleOscCntlOffEvent(DioEvent(), 0);
  m_handler->blockOnStatusChangePending();
  ASSERT_TRUE(m_log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
    for (const auto& e : errors)
      if (e.rc == OscillatorStatusHandler::kStatusReport) return true;
    return false;
  }));
  const std::vector<testsupport::LoggedError> logged = m_log.errorsWithRc(OscillatorStatusHandler::kStatusReport);
  ASSERT_EQ(1u, logged.size());
  // An error without a slot (the unit of this test has none).
  EXPECT_EQ(0x28C07203u, logged[0].src);
  // The handler did not fail.
  for (const auto& e : m_log.errors())
    EXPECT_EQ(std::string::npos, e.text.find("Error in OscControlUnit::handleOscCntlOffEvent()"));
}

TEST_F(OscControlUnitTest, InitStepSevenRegistersForBothInputsOffInterrupts) {
  EXPECT_EQ(0u, m_unit->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  EXPECT_TRUE(m_unit->eventsRegistered());
  m_unit->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  EXPECT_FALSE(m_unit->eventsRegistered());
}

TEST_F(OscControlUnitTest, MissingInputsOrFenceAreLinkErrors) {
  KavPtr<OscControlUnit> bare(new OscControlUnit());
  cardstest::link(m_root.getRawPointer(), bare.getRawPointer());
  EXPECT_EQ(0x7002u, bare->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(0x7002u, bare->setPropagationMode(kavosc::PROPAGATION_ON).getRcWithoutLogFlag());
  kavosc::OscControlUnitStatus_t status;
  EXPECT_EQ(0x7000u, bare->readStatus(status).getRcWithoutLogFlag());
}

}  // namespace
