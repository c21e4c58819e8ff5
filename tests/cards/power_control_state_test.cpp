// The activation state a card keeps in its FRU state table: what start-up
// makes of a state an interrupted run left behind, what a failed sequence
// leaves, and the check for a card pulled while it was not deactivated.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kav/cards/FruStateTableVirtual.h"
#include "kav/cards/PowerControl.h"
#include "kav/cards/PowerControllable.h"
#include "kav/cards/PowerSequence.h"
#include "kav/cards/PowerStep.h"
#include "kav/cards/Signal.h"
#include "kav/cards/Slot.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

using cardstest::element;
using cardstest::link;
using testsupport::LoggedError;
using testsupport::LoggedEvent;
using testsupport::RecordingLogSink;

namespace {

const std::string& text(unsigned int id) { return get_string_by_id(id); }
unsigned int sid(const std::string& s) { return get_id_by_string(s); }

// A device of the card: records the init steps it was given, and a switch
// can be made to fail.
class Device : public PowerControllable {
 public:
  BaseErrorData init(initSequence::Id_t step) override {
    m_steps.push_back(step);
    return PowerControllable::init(step);
  }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int switchId) override {
    m_switched.push_back(text(switchId));
    return ErrorData(ErrorData::NO_OVERWRITE, text(switchId) == "on" ? m_onRc : 0u);
  }
  std::vector<unsigned int> m_steps;
  std::vector<std::string> m_switched;
  unsigned int m_onRc = 0;
};

// A slot whose plug state the test sets.
class PlugSlot : public Slot {
 public:
  bool readIsPlugged(bool) override { return m_plugged; }
  bool m_plugged = true;
};

class PowerControlStateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    set_tree_root(KavPtr<QueryBase>(m_root));
    m_slot = KavPtr<PlugSlot>(new PlugSlot());
    m_slot->setSlotId(0x21);
    link(m_root.getRawPointer(), m_slot.getRawPointer());
    m_content = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    link(m_slot.getRawPointer(), m_content.getRawPointer());
    m_table = KavPtr<FruStateTableVirtual>(new FruStateTableVirtual());
    link(m_content.getRawPointer(), m_table.getRawPointer());
    m_device = KavPtr<Device>(new Device());
    m_device->setInstanceId(sid("Led"));
    link(m_content.getRawPointer(), m_device.getRawPointer());
  }
  void TearDown() override { set_tree_root(KavPtr<QueryBase>()); }

  KavPtr<PowerControl> addCard(const char* actionOnFail) {
    KavPtr<PowerControl> card(new PowerControl());
    std::unique_ptr<BinaryReaderNode> node(
        actionOnFail == nullptr ? element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power"}})
                                : element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power"},
                                                           {text(kav::sid::ACTION_ON_FAIL), actionOnFail}}));
    EXPECT_EQ(0u, card->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    link(m_content.getRawPointer(), card.getRawPointer());
    return card;
  }

  // A one-step sequence of the card switching the device to `position`.
  void addSequence(KavPtr<PowerControl> card, const std::string& name, const std::string& type,
                   const std::string& position) {
    KavPtr<PowerSequence> sequence(new PowerSequence());
    std::unique_ptr<BinaryReaderNode> node(
        element("PowerSequence", {{text(kav::sid::INSTANCE_NAME), name}, {text(kav::sid::SEQUENCE_TYPE), type}}));
    ASSERT_EQ(0u, sequence->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    sequence->setHidden(true);
    link(card.getRawPointer(), sequence.getRawPointer());
    KavPtr<PowerStep> step(new PowerStep());
    std::unique_ptr<BinaryReaderNode> stepNode(element("PowerStep", {{text(kav::sid::INSTANCE_NAME), "Step1"},
                                                                     {text(kav::sid::STEP_NUMBER), "1"},
                                                                     {text(kav::sid::DELAY_MS), "0"}}));
    ASSERT_EQ(0u, step->setAttributes(AttributeInfo(nullptr, stepNode.get(), nullptr)).getRc());
    step->setHidden(true);
    link(sequence.getRawPointer(), step.getRawPointer());
    KavPtr<Signal> signal(new Signal());
    std::unique_ptr<BinaryReaderNode> signalNode(element("Signal", {{text(kav::sid::INSTANCE_NAME), "LedSignal"},
                                                                    {text(kav::sid::SWITCH_ID), position},
                                                                    {text(kav::sid::TARGET_INSTANCE_NAME), "Led"}}));
    ASSERT_EQ(0u, signal->setAttributes(AttributeInfo(nullptr, signalNode.get(), nullptr)).getRc());
    signal->setHidden(true);
    link(step.getRawPointer(), signal.getRawPointer());
    step->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    sequence->init(initSequence::INIT_LINK_TREE_ELEMENTS);
  }

  unsigned int tableState() {
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    EXPECT_EQ(0u, m_table->getActivationState(&state).getRc());
    return state;
  }

  KavPtr<Container> m_root;
  KavPtr<PlugSlot> m_slot;
  KavPtr<Container> m_content;
  KavPtr<FruStateTableVirtual> m_table;
  KavPtr<Device> m_device;
  RecordingLogSink m_log;
};

}  // namespace

TEST_F(PowerControlStateTest, BookkeepingGoesToTheContainersStateTable) {
  KavPtr<PowerControl> card = addCard(nullptr);
  ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, card->setActivationState(PowerControl::ACTIVATED).getRc());
  ASSERT_EQ(0u, card->setFencedFlag().getRc());
  ASSERT_EQ(0u, card->setPowerFailFlag().getRc());
  EXPECT_EQ(2u, tableState());
  bool fenced = false, powerFail = false;
  ASSERT_EQ(0u, m_table->getFencedFlag(&fenced).getRc());
  ASSERT_EQ(0u, m_table->getPowerFailFlag(&powerFail).getRc());
  EXPECT_TRUE(fenced);
  EXPECT_TRUE(powerFail);
  ASSERT_EQ(0u, card->resetFencedFlag().getRc());
  ASSERT_EQ(0u, card->getFencedFlag(fenced).getRc());
  EXPECT_FALSE(fenced);

  // A second table in the container makes the choice ambiguous.
  link(m_content.getRawPointer(), new FruStateTableVirtual());
  EXPECT_EQ(0x7002u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  PowerControl::FruActivationState_t state;
  EXPECT_EQ(0x7000u, card->getActivationState(state).getRcWithoutLogFlag());
}

TEST_F(PowerControlStateTest, StartUpResetsTransitionalStatesAndRunsTheMatchingInitSteps) {
  const std::vector<unsigned int> deactivatedSteps{initSequence::INIT_DISABLE_INTERRUPTS,
                                                   initSequence::INIT_DEACTIVATED_HW};
  const std::vector<unsigned int> activatedSteps{initSequence::INIT_ACTIVATED_HW,
                                                 initSequence::INIT_ENABLE_INTERRUPTS};
  struct Case {
    unsigned int found;
    unsigned int after;
    std::vector<unsigned int> steps;
  };
  const Case cases[] = {{0, 0, deactivatedSteps},
                        {1, 0, deactivatedSteps},
                        {2, 2, activatedSteps},
                        {3, 0, deactivatedSteps}};
  KavPtr<PowerControl> card = addCard(nullptr);
  ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  for (const Case& c : cases) {
    SCOPED_TRACE("found state " + std::to_string(c.found));
    m_device->m_steps.clear();
    ASSERT_EQ(0u, m_table->setActivationState(static_cast<kav::FruActivationState_t>(c.found)).getRc());
    EXPECT_EQ(0u, card->init(initSequence::INIT_POWER_STATE).getRc());
    EXPECT_EQ(c.after, tableState());
    EXPECT_EQ(c.steps, m_device->m_steps);
  }
}

TEST_F(PowerControlStateTest, FailedSequencesNeverLeaveATransitionalState) {
  struct Case {
    const char* name;
    const char* actionOnFail;
    bool withOffSequence;
    PowerControllable::SequenceType_t type;
    unsigned int onRc;
    unsigned int expectedRc;
    unsigned int expectedState;
    std::vector<std::string> switched;
    bool deactivatedEvent;
  };
  const Case cases[] = {
      {"power on succeeds", nullptr, true, PowerControllable::POWER_ON, 0, 0, 2, {"on"}, false},
      {"power on fails", nullptr, true, PowerControllable::POWER_ON, 0x7103, 0x7103, 0, {"on"}, false},
      {"power on fails, power off follows", "powerOff", true, PowerControllable::POWER_ON, 0x7103, 0x7103, 0,
       {"on", "off"}, true},
      // No power-off sequence to run: the card is still not powered.
      {"power on fails, no power-off sequence", "powerOff", false, PowerControllable::POWER_ON, 0x7103, 0x7103, 0,
       {"on"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    KavPtr<PowerControl> card = addCard(c.actionOnFail);
    addSequence(card, "Act", "on", "on");
    if (c.withOffSequence) addSequence(card, "Act", "off", "off");
    ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    m_device->m_onRc = c.onRc;
    ErrorData rc = card->run(sid("Act"), c.type);
    EXPECT_EQ(c.expectedRc, rc.getRcWithoutLogFlag());
    EXPECT_EQ(c.expectedState, tableState());
    EXPECT_EQ(c.switched, m_device->m_switched);
    bool deactivated = false;
    for (const LoggedEvent& e : m_log.events())
      if (e.name == "FruDeactvt") deactivated = true;
    EXPECT_EQ(c.deactivatedEvent, deactivated);
    m_log.clear();
    TearDown();
  }
}

TEST_F(PowerControlStateTest, RemovalWhileNotDeactivatedIsLogged) {
  struct Case {
    bool plugged;
    unsigned int state;
    unsigned int expectedRc;
  };
  const Case cases[] = {{true, 2, 0}, {false, 0, 0}, {false, 2, 0x701E}, {false, 1, 0x701E}, {false, 3, 0x701E}};
  KavPtr<PowerControl> card = addCard(nullptr);
  ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  for (const Case& c : cases) {
    SCOPED_TRACE("plugged " + std::to_string(c.plugged) + " state " + std::to_string(c.state));
    m_log.clear();
    // Each case is a new life of the card.
    ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    m_slot->m_plugged = c.plugged;
    ASSERT_EQ(0u, m_table->setActivationState(static_cast<kav::FruActivationState_t>(c.state)).getRc());
    EXPECT_EQ(c.expectedRc, card->terminate(terminateSequence::TERM_MARK_DELETED).getRcWithoutLogFlag());
    std::vector<LoggedError> errors = m_log.errorsWithRc(0x701E);
    if (c.expectedRc == 0) {
      EXPECT_TRUE(errors.empty());
      continue;
    }
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0x701Eu, errors[0].rc);
    EXPECT_EQ(sid("FruRemoveUnexpected"), errors[0].primaryKey);
    EXPECT_FALSE(errors[0].asynchronous);
    EXPECT_NE(0u, errors[0].src);
    // The teardown that follows runs step 1 again: not logged twice.
    EXPECT_EQ(0u, card->terminate(terminateSequence::TERM_MARK_DELETED).getRc());
    EXPECT_EQ(1u, m_log.errorsWithRc(0x701E).size());
  }
}
