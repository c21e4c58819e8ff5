// Power sequences run over several cards: step order across cards, each
// card's delays, cards without the sequence, signal failures, refusals of
// the devices and the activation states the run leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/FruStateTableVirtual.h"
#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/dio/DioHwdInterfaceLink.h"
#include "kav/hwaccess/dio/DioHwdStandard.h"
#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/hwaccess/dio/DioViaFsiHwa.h"
#include "kav/cards/PowerControl.h"
#include "kav/cards/PowerControllable.h"
#include "kav/cards/PowerSequence.h"
#include "kav/cards/PowerSequenceUtil.h"
#include "kav/cards/PowerStep.h"
#include "kav/cards/Signal.h"
#include "kav/cards/Slot.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "ravo_sim_control.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TempDir.h"

using cardstest::element;
using cardstest::link;
using testsupport::LoggedEvent;
using testsupport::RecordingLogSink;

namespace {

const std::string& text(unsigned int id) { return get_string_by_id(id); }
unsigned int sid(const std::string& s) { return get_id_by_string(s); }

// What the devices saw: which device, signal and position, at what time of
// the step clock.
struct Switch {
  std::string device;
  std::string signal;
  std::string position;
  uint64_t timeMs;
};

std::vector<Switch>& switches() {
  static std::vector<Switch> s;
  return s;
}

// A device that records every switch; a signal can be made to fail and the
// device can refuse sequences.
class FakeDevice : public PowerControllable {
 public:
  ErrorData checkPrecondition(unsigned int, SequenceType_t) override {
    return ErrorData(ErrorData::NO_OVERWRITE, m_preconditionRc);
  }
  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) override {
    switches().push_back({text(getInstanceId()), text(signalName), text(switchId), PowerControl::nowMs()});
    auto it = m_failures.find(text(signalName));
    return ErrorData(ErrorData::NO_OVERWRITE, it == m_failures.end() ? 0u : it->second);
  }
  unsigned int m_preconditionRc = 0;
  std::map<std::string, unsigned int> m_failures;
};

// A card whose activation bookkeeping is recorded instead of stored.
class RecordingPowerControl : public PowerControl {
 public:
  ErrorData setActivationState(FruActivationState_t state) override {
    m_states.push_back(state);
    return ErrorData();
  }
  ErrorData resetFencedFlag() override {
    ++m_flagResets;
    return ErrorData();
  }
  ErrorData resetPowerFailFlag() override {
    ++m_flagResets;
    return ErrorData();
  }
  std::vector<unsigned int> m_states;
  int m_flagResets = 0;
};

// One signal of a step: name, device, position, ignore flag.
struct SignalDef {
  std::string name;
  std::string device;
  std::string position;
  bool ignoreError;
};
struct StepDef {
  unsigned int nr;
  unsigned int delayMs;
  std::vector<SignalDef> signals;
};

void addHidden(QueryBase* parent, QueryBase* child) {
  child->setHidden(true);
  link(parent, child);
}

class PowerSequenceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    switches().clear();
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    set_tree_root(KavPtr<QueryBase>(m_root));
  }
  void TearDown() override { set_tree_root(KavPtr<QueryBase>()); }

  // A slot with a container holding the card's power control and its devices.
  KavPtr<RecordingPowerControl> addCard(unsigned int slotId, const std::vector<std::string>& devices,
                                        const char* actionOnFail = nullptr) {
    KavPtr<Slot> slot(new Slot());
    slot->setSlotId(slotId);
    link(m_root.getRawPointer(), slot.getRawPointer());
    KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
    link(slot.getRawPointer(), content.getRawPointer());
    link(content.getRawPointer(), new FruStateTableVirtual());
    KavPtr<RecordingPowerControl> card(new RecordingPowerControl());
    std::unique_ptr<BinaryReaderNode> node(
        actionOnFail == nullptr ? element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power"}})
                                : element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power"},
                                                           {text(kav::sid::ACTION_ON_FAIL), actionOnFail}}));
    EXPECT_EQ(0u, card->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    link(content.getRawPointer(), card.getRawPointer());
    for (const std::string& name : devices) {
      KavPtr<FakeDevice> device(new FakeDevice());
      device->setInstanceId(sid(name));
      link(content.getRawPointer(), device.getRawPointer());
      m_devices[name] = device;
    }
    return card;
  }

  // Adds the sequence `name` of type "on"/"off" to the card.
  void addSequence(KavPtr<RecordingPowerControl> card, const std::string& name, const std::string& type,
                   const std::vector<StepDef>& steps) {
    KavPtr<PowerSequence> sequence(new PowerSequence());
    std::unique_ptr<BinaryReaderNode> node(
        element("PowerSequence", {{text(kav::sid::INSTANCE_NAME), name}, {text(kav::sid::SEQUENCE_TYPE), type}}));
    ASSERT_EQ(0u, sequence->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    addHidden(card.getRawPointer(), sequence.getRawPointer());
    for (const StepDef& s : steps) {
      KavPtr<PowerStep> step(new PowerStep());
      std::unique_ptr<BinaryReaderNode> stepNode(
          element("PowerStep", {{text(kav::sid::INSTANCE_NAME), "Step" + std::to_string(s.nr)},
                                {text(kav::sid::STEP_NUMBER), std::to_string(s.nr)},
                                {text(kav::sid::DELAY_MS), std::to_string(s.delayMs)}}));
      ASSERT_EQ(0u, step->setAttributes(AttributeInfo(nullptr, stepNode.get(), nullptr)).getRc());
      addHidden(sequence.getRawPointer(), step.getRawPointer());
      for (const SignalDef& d : s.signals) {
        KavPtr<Signal> signal(new Signal());
        std::unique_ptr<BinaryReaderNode> signalNode(
            element("Signal", {{text(kav::sid::INSTANCE_NAME), d.name},
                               {text(kav::sid::SWITCH_ID), d.position},
                               {text(kav::sid::TARGET_INSTANCE_NAME), d.device},
                               {text(kav::sid::IGNORE_ERROR), d.ignoreError ? "true" : "false"}}));
        ASSERT_EQ(0u, signal->setAttributes(AttributeInfo(nullptr, signalNode.get(), nullptr)).getRc());
        addHidden(step.getRawPointer(), signal.getRawPointer());
      }
      step->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    }
    sequence->init(initSequence::INIT_LINK_TREE_ELEMENTS);
  }

  static void link3(KavPtr<RecordingPowerControl> card) {
    ASSERT_EQ(0u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  ErrorData run(std::vector<KavPtr<RecordingPowerControl>> cards, const std::string& name,
                PowerControllable::SequenceType_t type) {
    ExecList<PowerControl> list;
    for (auto& c : cards) {
      link3(c);
      list.addElement(KavPtr<PowerControl>(c));
    }
    return PowerSequenceUtil::executePowerSequence(list, sid(name), type);
  }

  // The switches of one signal (by name), in order.
  static std::vector<Switch> of(const std::string& signal) {
    std::vector<Switch> out;
    for (const Switch& s : switches())
      if (s.signal == signal) out.push_back(s);
    return out;
  }
  static std::vector<std::string> signalOrder() {
    std::vector<std::string> out;
    for (const Switch& s : switches()) out.push_back(s.signal);
    return out;
  }

  KavPtr<Container> m_root;
  std::map<std::string, KavPtr<FakeDevice>> m_devices;
  RecordingLogSink m_log;
};

}  // namespace

TEST_F(PowerSequenceTest, StepsOfAllCardsRunInAscendingOrderAndEachCardKeepsItsDelays) {
  auto a = addCard(0x10, {"DevA"});
  auto b = addCard(0x11, {"DevB"});
  addSequence(a, "PowerUp", "on",
              {{10, 40, {{"A10", "DevA", "on", false}}},
               {20, 30, {{"A20", "DevA", "on", false}}},
               {30, 0, {{"A30", "DevA", "on", false}}}});
  addSequence(b, "PowerUp", "on", {{20, 50, {{"B20", "DevB", "on", false}}}, {40, 0, {{"B40", "DevB", "on", false}}}});

  ASSERT_EQ(0u, run({a, b}, "PowerUp", PowerControllable::POWER_ON).getRc());

  // Step 20 on both cards before step 30; 40 last. Within step 20 card B,
  // which has no delay pending, may go first.
  std::vector<std::string> order = signalOrder();
  ASSERT_EQ(5u, order.size());
  EXPECT_EQ("A10", order[0]);
  EXPECT_TRUE((order[1] == "A20" && order[2] == "B20") || (order[1] == "B20" && order[2] == "A20"));
  EXPECT_EQ("A30", order[3]);
  EXPECT_EQ("B40", order[4]);
  EXPECT_EQ("DevA", of("A10")[0].device);
  EXPECT_EQ("on", of("A10")[0].position);

  // Each card waited its own delay after each of its steps.
  EXPECT_GE(of("A20")[0].timeMs, of("A10")[0].timeMs + 40);
  EXPECT_GE(of("A30")[0].timeMs, of("A20")[0].timeMs + 30);
  EXPECT_GE(of("B40")[0].timeMs, of("B20")[0].timeMs + 50);

  // Power on: running, then activated; flags cleared at the start.
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), a->m_states);
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), b->m_states);
  EXPECT_EQ(2, a->m_flagResets);
  EXPECT_TRUE(m_log.events().empty());
}

TEST_F(PowerSequenceTest, CardWithoutTheSequenceIsLeftAlone) {
  auto a = addCard(0x10, {"DevA"});
  auto other = addCard(0x11, {"DevB"});
  addSequence(a, "PowerUp", "on", {{1, 0, {{"A1", "DevA", "on", false}}}});
  // Same name, other type; and another name of the same type.
  addSequence(other, "PowerUp", "off", {{1, 0, {{"B1", "DevB", "off", false}}}});
  addSequence(other, "Standby", "on", {{1, 0, {{"B2", "DevB", "on", false}}}});

  ASSERT_EQ(0u, run({a, other}, "PowerUp", PowerControllable::POWER_ON).getRc());
  EXPECT_EQ((std::vector<std::string>{"A1"}), signalOrder());
  EXPECT_TRUE(other->m_states.empty());
  EXPECT_EQ(0, other->m_flagResets);
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), a->m_states);
}

TEST_F(PowerSequenceTest, PowerOffEndsDeactivated) {
  auto a = addCard(0x10, {"DevA"});
  addSequence(a, "PowerUp", "off", {{1, 0, {{"A1", "DevA", "off", false}}}});
  ASSERT_EQ(0u, run({a}, "PowerUp", PowerControllable::POWER_OFF).getRc());
  EXPECT_EQ((std::vector<unsigned int>{3, 0}), a->m_states);
  EXPECT_EQ("off", of("A1").at(0).position);
}

TEST_F(PowerSequenceTest, FailingSignalWithIgnoreFlagOnlyTraces) {
  auto a = addCard(0x10, {"DevA"});
  addSequence(a, "PowerUp", "on",
              {{1, 0, {{"A1", "DevA", "on", true}, {"A1b", "DevA", "on", false}}}, {2, 0, {{"A2", "DevA", "on", false}}}});
  m_devices["DevA"]->m_failures["A1"] = 0x5001;

  ASSERT_EQ(0u, run({a}, "PowerUp", PowerControllable::POWER_ON).getRc());
  EXPECT_EQ((std::vector<std::string>{"A1", "A1b", "A2"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), a->m_states);
  EXPECT_TRUE(m_log.events().empty());
}

TEST_F(PowerSequenceTest, FailingStepStopsOnlyItsCardAndTheFirstErrorIsReported) {
  auto a = addCard(0x10, {"DevA"});
  auto b = addCard(0x11, {"DevB"});
  // A fails in step 1 (two failing signals: both switched, the first error
  // stays); B fails later in step 2 with another code.
  addSequence(a, "PowerUp", "on",
              {{1, 0, {{"A1", "DevA", "on", false}, {"A1b", "DevA", "on", false}}},
               {2, 0, {{"A2", "DevA", "on", false}}}});
  addSequence(b, "PowerUp", "on",
              {{1, 0, {{"B1", "DevB", "on", false}}},
               {2, 0, {{"B2", "DevB", "on", false}}},
               {3, 0, {{"B3", "DevB", "on", false}}}});
  m_devices["DevA"]->m_failures = {{"A1", 0x5001}, {"A1b", 0x5002}};
  m_devices["DevB"]->m_failures = {{"B2", 0x5003}};

  EXPECT_EQ(0x5001u, run({a, b}, "PowerUp", PowerControllable::POWER_ON).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<std::string>{"A1", "A1b", "B1", "B2"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 0}), a->m_states);
  EXPECT_EQ((std::vector<unsigned int>{1, 0}), b->m_states);

  std::vector<LoggedEvent> events = m_log.events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("FruActvtErr", events[0].name);
  EXPECT_EQ("SlotId 0x00000010: ActivationFailed with error rc=0x00005001", events[0].text);
  EXPECT_EQ("SlotId 0x00000011: ActivationFailed with error rc=0x00005001", events[1].text);
}

TEST_F(PowerSequenceTest, FailedPowerOnWithPowerOffActionRunsThePowerOffSequence) {
  auto a = addCard(0x10, {"DevA"}, "powerOff");
  addSequence(a, "PowerUp", "on", {{1, 0, {{"A1", "DevA", "on", false}}}, {2, 0, {{"A2", "DevA", "on", false}}}});
  addSequence(a, "PowerUp", "off", {{1, 0, {{"A1off", "DevA", "off", false}}}});
  m_devices["DevA"]->m_failures["A1"] = 0x5001;

  EXPECT_EQ(0x5001u, run({a}, "PowerUp", PowerControllable::POWER_ON).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<std::string>{"A1", "A1off"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 3, 0}), a->m_states);
  std::vector<LoggedEvent> events = m_log.events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("FruActvtErr", events[0].name);
  EXPECT_EQ("FruDeactvt", events[1].name);
  EXPECT_EQ("SlotId 0x00000010\n", events[1].text);
}

TEST_F(PowerSequenceTest, RefusedPreconditionChangesNothing) {
  auto a = addCard(0x10, {"DevA"});
  auto b = addCard(0x11, {"DevB", "Bystander", "Late"});
  addSequence(a, "PowerUp", "on", {{1, 0, {{"A1", "DevA", "on", false}}}});
  addSequence(b, "PowerUp", "on", {{1, 0, {{"B1", "DevB", "on", false}}}});
  // Any device of the tree can refuse, also one no signal switches; the
  // first refusal in tree order is reported.
  m_devices["Bystander"]->m_preconditionRc = 0x7253;
  m_devices["Late"]->m_preconditionRc = 0x7254;

  EXPECT_EQ(0x7253u, run({a, b}, "PowerUp", PowerControllable::POWER_ON).getRcWithoutLogFlag());
  EXPECT_TRUE(switches().empty());
  EXPECT_TRUE(a->m_states.empty());
  EXPECT_TRUE(b->m_states.empty());
  EXPECT_EQ(0, a->m_flagResets);
  EXPECT_TRUE(m_log.events().empty());

  // The cards were released: another thread gets them, and the next run,
  // once allowed, goes ahead.
  for (auto& card : {a, b}) {
    unsigned int rc = 1;
    std::thread other([&] {
      rc = card->requestAccess(50).getRcWithoutLogFlag();
      if (rc == 0) card->releaseAccess();
    });
    other.join();
    EXPECT_EQ(0u, rc);
  }
  m_devices["Bystander"]->m_preconditionRc = 0;
  m_devices["Late"]->m_preconditionRc = 0;
  EXPECT_EQ(0u, a->run(sid("PowerUp"), PowerControllable::POWER_ON).getRc());
  EXPECT_EQ((std::vector<std::string>{"A1"}), signalOrder());
}

TEST_F(PowerSequenceTest, SignalWithoutTargetFailsTheStep) {
  auto a = addCard(0x10, {"DevA"});
  addSequence(a, "PowerUp", "on", {{1, 0, {{"A1", "Missing", "on", false}, {"A1b", "DevA", "on", false}}}});
  EXPECT_EQ(0x7002u, run({a}, "PowerUp", PowerControllable::POWER_ON).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<std::string>{"A1b"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 0}), a->m_states);
}

TEST_F(PowerSequenceTest, CardWithoutFruStateTableIsStillSwitched) {
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  link(m_root.getRawPointer(), content.getRawPointer());
  KavPtr<PowerControl> card(new PowerControl());
  link(content.getRawPointer(), card.getRawPointer());
  EXPECT_EQ(PowerControl::ACTION_NONE, card->getActionOnFail());
  PowerControl::FruActivationState_t state;
  EXPECT_EQ(0x7000u, card->getActivationState(state).getRcWithoutLogFlag());
  // Linking reports the missing table but keeps the container.
  EXPECT_EQ(0x7002u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(content, card->getContainer());
  EXPECT_EQ(0x7000u, card->getActivationState(state).getRcWithoutLogFlag());
  EXPECT_EQ(0u, card->run(sid("PowerUp"), PowerControllable::POWER_ON).getRc());
}

TEST_F(PowerSequenceTest, InvalidActionOnFailIsRefused) {
  KavPtr<PowerControl> card(new PowerControl());
  std::unique_ptr<BinaryReaderNode> node(element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power"},
                                                                  {text(kav::sid::ACTION_ON_FAIL), "sometimes"}}));
  EXPECT_EQ(0x7013u, card->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
  // Without a container the card cannot be linked.
  EXPECT_EQ(0x7002u, card->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
}

TEST_F(PowerSequenceTest, ActivateRunsTheActivationSequenceOfTheCardsOfItsSlot) {
  // Two power controls in one slot, one in another slot of the same container.
  auto a = addCard(0x10, {"DevA"});
  KavPtr<RecordingPowerControl> second(new RecordingPowerControl());
  std::unique_ptr<BinaryReaderNode> node(element("PowerControl", {{text(kav::sid::INSTANCE_NAME), "Power2"},
                                                                  {text(kav::sid::ACTIVATION_SEQUENCE), "Act"}}));
  ASSERT_EQ(0u, second->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  KavPtr<QueryBase> content = a->getParent();
  link(content.getRawPointer(), second.getRawPointer());
  addSequence(second, "Act", "on", {{1, 0, {{"S1", "DevA", "on", false}}}});
  addSequence(second, "Act", "off", {{1, 0, {{"S1off", "DevA", "off", false}}}});
  link3(second);

  ASSERT_EQ(0u, second->activate(false).getRc());
  EXPECT_EQ((std::vector<std::string>{"S1"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), second->m_states);
  ASSERT_EQ(0u, second->deactivate(true).getRc());
  EXPECT_EQ((std::vector<std::string>{"S1", "S1off"}), signalOrder());
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 3, 0}), second->m_states);
  // The first card has no such sequence and stays untouched.
  EXPECT_TRUE(a->m_states.empty());

  std::vector<LoggedEvent> events = m_log.events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("FruActi10", events[0].name);
  EXPECT_EQ("Fru got activated in SlotId 0x10 in Cage 0 Node 0\n", events[0].text);
  EXPECT_EQ("FruDeac10", events[1].name);
  EXPECT_EQ("Fru got deactivated in SlotId 0x10 in Cage 0 Node 0\n", events[1].text);
}

// ---- on the simulated machine -------------------------------------------
//
// Two cards whose signals are real output pins: each card's content holds
// its GPIO engine (card 0 on FSI link 1, card 1 on link 2), the device and
// four push-pull signals "<card>Pin0".."<card>Pin3" on pins 0..3. What the
// run did is read from the machine's transaction log.

namespace {

const char* const kTwoCards = R"(<machine name="power-sequence">
  <cfam link="1" cascade="0"><gpio number="8"/></cfam>
  <cfam link="2" cascade="0"><gpio number="8"/></cfam>
</machine>)";

unsigned pinBit(unsigned pin) { return 0x80000000u >> pin; }

// A pin that went high, as the machine logged it.
struct Raised {
  std::string device;
  unsigned pin;
  std::chrono::steady_clock::time_point time;
};

std::vector<Raised> raisedPins() {
  std::vector<Raised> out;
  for (const ravosim::Transaction& t : ravosim::readTransactionLog("/dev/gpio/*"))
    if (t.kind == ravosim::Transaction::PinChange)
      for (unsigned pin = 0; pin < 32; ++pin)
        if ((t.mask & pinBit(pin)) != 0 && (t.levels & pinBit(pin)) != 0) out.push_back({t.device, pin, t.time});
  return out;
}

class PowerSequenceOnMachineTest : public PowerSequenceTest {
 protected:
  static void SetUpTestSuite() {
    PowerSequenceTest::SetUpTestSuite();
    static testsupport::TempDir stateDir("power-sequence");
    ASSERT_FALSE(stateDir.path().empty());
    ravosim::setStateDir(stateDir.path());
    ASSERT_TRUE(ravosim::loadMachineText(kTwoCards).ok);
  }
  void SetUp() override {
    PowerSequenceTest::SetUp();
    ravosim::resetMachine();
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    for (KavPtr<DioViaFsiHwa>& engine : m_engines) engine->closeEngine();
    PowerSequenceTest::TearDown();
  }

  // A card in slot `slotId` whose GPIO engine sits on FSI link `fsiLink`.
  KavPtr<RecordingPowerControl> addMachineCard(unsigned int slotId, unsigned int fsiLink, const std::string& prefix) {
    KavPtr<RecordingPowerControl> card = addCard(slotId, {});
    QueryBase* content = card->getParent().getRawPointer();
    KavPtr<DioViaFsiHwa> engine(
        new DioViaFsiHwa(FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_DIO, 0), fsiLink, fsiLink, 0, 8)));
    link(content, engine.getRawPointer());
    EXPECT_EQ(0u, engine->openEngine().getRc());
    EXPECT_EQ(0u, engine->configureMode(0xF0000000u, dioMode::DIO_MODE_2).getRc());
    m_engines.push_back(engine);

    KavPtr<DioHwdStandard> device(new DioHwdStandard());
    device->setInstanceId(sid(prefix + "Dio"));
    link(content, device.getRawPointer());
    addDeviceLink<DioHwaInterfaceLink>(device.getRawPointer(), engine->getInstanceId(), content);
    EXPECT_EQ(0u, device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    for (unsigned pin = 0; pin < 4; ++pin) {
      KavPtr<DioHwr> signal(new DioHwr());
      signal->setSignal(pin, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_OFF);
      signal->setInstanceId(sid(prefix + "Pin" + std::to_string(pin)));
      link(content, signal.getRawPointer());
      addDeviceLink<DioHwdInterfaceLink>(signal.getRawPointer(), device->getInstanceId(), content);
      EXPECT_EQ(0u, signal->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    }
    return card;
  }

  template <class L>
  static void addDeviceLink(QueryBase* owner, unsigned int target, QueryBase* content) {
    KavPtr<L> l(new L());
    l->setHidden(true);
    l->setScopeId(kav::sid::SCOPE_CONTAINER);
    l->setTargetInstanceName(target);
    link(owner, l.getRawPointer());
    l->setContainer(KavPtr<Container>(KavPtr<QueryBase>(content)));
  }

  std::vector<KavPtr<DioViaFsiHwa>> m_engines;
};

}  // namespace

TEST_F(PowerSequenceOnMachineTest, TimingExampleHoldsOnTheMachine) {
  auto a = addMachineCard(0x10, 1, "A");
  auto b = addMachineCard(0x11, 2, "B");
  // Card 0: steps 10, 20, 30 with 100 and 50 ms after the first two; card 1:
  // steps 20 and 40 with 200 ms between them.
  addSequence(a, "PowerUp", "on",
              {{10, 100, {{"A10", "APin0", "on", false}}},
               {20, 50, {{"A20", "APin1", "on", false}}},
               {30, 0, {{"A30", "APin2", "on", false}}}});
  addSequence(b, "PowerUp", "on", {{20, 200, {{"B20", "BPin0", "on", false}}}, {40, 0, {{"B40", "BPin1", "on", false}}}});

  ASSERT_EQ(0u, run({a, b}, "PowerUp", PowerControllable::POWER_ON).getRc());

  // Step 20 finds card 0 still waiting and switches card 1 at once; card 0
  // follows after its 100 ms, step 30 after card 0's 50 ms more, and step
  // 40 only once card 1's 200 ms have passed.
  const std::vector<Raised> raised = raisedPins();
  ASSERT_EQ(5u, raised.size()) << ravosim::formatTransactionLog(ravosim::readTransactionLog("/dev/gpio/*"));
  const struct {
    const char* device;
    unsigned pin;
  } order[] = {{"/dev/gpio/L01C0E08", 0},
               {"/dev/gpio/L02C0E08", 0},
               {"/dev/gpio/L01C0E08", 1},
               {"/dev/gpio/L01C0E08", 2},
               {"/dev/gpio/L02C0E08", 1}};
  for (size_t i = 0; i < raised.size(); ++i) {
    EXPECT_EQ(order[i].device, raised[i].device) << i;
    EXPECT_EQ(order[i].pin, raised[i].pin) << i;
  }
  // The library counts whole milliseconds: a delay may end up to 1 ms early.
  auto atLeast = [](std::chrono::steady_clock::duration d, int ms) { return d >= std::chrono::milliseconds(ms - 1); };
  using std::chrono::milliseconds;
  const auto a10 = raised[0].time, b20 = raised[1].time, a20 = raised[2].time, a30 = raised[3].time,
             b40 = raised[4].time;
  EXPECT_LT(b20 - a10, milliseconds(100));  // card 1 did not wait for card 0's delay
  EXPECT_TRUE(atLeast(a20 - a10, 100));
  EXPECT_TRUE(atLeast(a30 - a20, 50));
  EXPECT_TRUE(atLeast(b40 - b20, 200));
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), a->m_states);
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), b->m_states);
}

TEST_F(PowerSequenceOnMachineTest, CardVanishingBetweenTwoStepsStopsOnlyThatCard) {
  auto a = addMachineCard(0x10, 1, "A");
  auto b = addMachineCard(0x11, 2, "B");
  addSequence(a, "PowerUp", "on",
              {{1, 10, {{"A1", "APin0", "on", false}}},
               {2, 10, {{"A2", "APin1", "on", false}}},
               {3, 0, {{"A3", "APin2", "on", false}}}});
  addSequence(b, "PowerUp", "on", {{1, 10, {{"B1", "BPin0", "on", false}}}, {3, 0, {{"B3", "BPin1", "on", false}}}});
  // Card 0 is pulled after its first pin write, before its second step.
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(1, 0, "ravo_gpio_write_output_pins", "/dev/gpio/L01C0E08", 1));

  const ErrorData rc = run({a, b}, "PowerUp", PowerControllable::POWER_ON);
  // The engine reports its device gone.
  EXPECT_EQ(0x7017u, rc.getRcWithoutLogFlag());
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));

  // Card 0 switched its first step only; card 1 ran to the end.
  const std::vector<Raised> raised = raisedPins();
  ASSERT_EQ(3u, raised.size()) << ravosim::formatTransactionLog(ravosim::readTransactionLog("/dev/gpio/*"));
  EXPECT_EQ("/dev/gpio/L01C0E08", raised[0].device);
  EXPECT_EQ("/dev/gpio/L02C0E08", raised[1].device);
  EXPECT_EQ("/dev/gpio/L02C0E08", raised[2].device);
  EXPECT_EQ(1u, raised[2].pin);
  // Neither card is left running: card 0 back at deactivated, card 1 activated.
  EXPECT_EQ((std::vector<unsigned int>{1, 0}), a->m_states);
  EXPECT_EQ((std::vector<unsigned int>{1, 2}), b->m_states);
  std::vector<LoggedEvent> events = m_log.events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("FruActvtErr", events[0].name);
  EXPECT_NE(std::string::npos, events[0].text.find("SlotId 0x00000010"));
  EXPECT_TRUE(ravosim::insertCfam(1, 0));
}
