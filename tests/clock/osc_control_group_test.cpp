// OscControlGroup over a scripted power-good input, a recording clock-output
// control and one unit with scripted oscillator-switch inputs: outputs per
// mode and power good (kept while a unit still has a switch on), the
// power-good interrupt armed for the other level, the units' interrupts only
// with outputs on, and the units' synch-lost counts only then.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kav/clock/osc/OscControlGroup.h"
#include "kav/clock/osc/OscControlUnit.h"
#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clock/OscSetRig.h"

namespace {

typedef std::vector<std::string> Calls;

// The power-good and oscillator-switch inputs are the rig's scripted inputs.
using Line = osctest::Input;

class Outputs : public OutputControlHwrInterface {
 public:
  Calls calls;
  ErrorData enableOutput() override {
    calls.push_back("enable");
    return ErrorData();
  }
  ErrorData disableOutput() override {
    calls.push_back("disable");
    return ErrorData();
  }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
  Calls take() {
    Calls out;
    out.swap(calls);
    return out;
  }
};

class Fence : public PldHwrInterface {
 public:
  ErrorData writeLookupTableControl(kavPld::LookupControl_t) const override { return ErrorData(); }
  ErrorData readLookupTableControl(kavPld::LookupControl_t& value) const override {
    value = kavPld::LOOKUP_CONTROL_2;  // fenced: no synch-lost job
    return ErrorData();
  }
};

void hiddenChild(QueryBase* parent, QueryBase* child) {
  child->setHidden(true);
  cardstest::link(parent, child);
}

class OscControlGroupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_group = KavPtr<OscControlGroup>(new OscControlGroup());
    cardstest::link(m_root.getRawPointer(), m_group.getRawPointer());
    m_powerGood = KavPtr<Line>(new Line(7));
    hiddenChild(m_group.getRawPointer(), m_powerGood.getRawPointer());
    m_outputs = KavPtr<Outputs>(new Outputs());
    hiddenChild(m_group.getRawPointer(), m_outputs.getRawPointer());
    m_unit = KavPtr<OscControlUnit>(new OscControlUnit());
    cardstest::link(m_group.getRawPointer(), m_unit.getRawPointer());
    m_in0 = KavPtr<Line>(new Line(0));
    m_in1 = KavPtr<Line>(new Line(1));
    hiddenChild(m_unit.getRawPointer(), m_in0.getRawPointer());
    hiddenChild(m_unit.getRawPointer(), m_in1.getRawPointer());
    hiddenChild(m_unit.getRawPointer(), new Fence());
    ASSERT_EQ(0u, m_unit->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    ASSERT_EQ(0u, m_group->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    ASSERT_EQ(1u, m_group->getUnitCount());
  }

  KavPtr<Container> m_root;
  KavPtr<OscControlGroup> m_group;
  KavPtr<Line> m_powerGood, m_in0, m_in1;
  KavPtr<Outputs> m_outputs;
  KavPtr<OscControlUnit> m_unit;
};

TEST_F(OscControlGroupTest, OutputsFollowModeAndPowerGoodUnlessAUnitIsStillSwitchedOn) {
  const struct {
    const char* name;
    unsigned int mode;
    bool powerGood, in0, in1;
    Calls outputs;
    bool enabled;
  } cases[] = {
      {"mode 1, power good", 1, true, false, false, {"enable"}, true},
      {"mode 3, power lost, all switches off", 3, false, false, false, {"disable"}, false},
      {"mode 2, power lost, oscillator 1 still on", 2, false, false, true, {"enable"}, true},
      {"mode 1, power lost, oscillator 0 still on", 1, false, true, false, {"enable"}, true},
      {"mode 0", 0, true, true, true, {"disable"}, false},
      {"mode 4", 4, true, true, true, {"disable"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_powerGood->level = c.powerGood;
    m_in0->level = c.in0;
    m_in1->level = c.in1;
    EXPECT_EQ(0u, m_group->manageOutputEnablement(c.mode).getRc());
    EXPECT_EQ(c.outputs, m_outputs->take());
    EXPECT_EQ(c.enabled, m_group->getOutputsEnabled());
  }
  EXPECT_EQ(0x7254u, m_group->manageOutputEnablement(5).getRcWithoutLogFlag());
  EXPECT_TRUE(m_outputs->take().empty());
}

TEST_F(OscControlGroupTest, InterruptsArmTheOtherPowerGoodLevelAndTheUnitsOnlyWithOutputs) {
  // Power good, outputs on: power-good off armed, the unit's input 1 (mode 2).
  m_powerGood->level = true;
  ASSERT_EQ(0u, m_group->manageOutputEnablement(2).getRc());
  ASSERT_EQ(0u, m_group->manageInterruptEnablement(2).getRc());
  EXPECT_EQ((Calls{"arm off"}), m_powerGood->take());
  EXPECT_EQ((Calls{"arm off"}), m_in1->take());
  EXPECT_EQ(2u, m_group->getMode());
  EXPECT_EQ(2u, m_unit->getMode());
  // Off: the unit and the power good disarmed, mode 0.
  ASSERT_EQ(0u, m_group->manageInterruptEnablement(0).getRc());
  EXPECT_EQ((Calls{"disarm"}), m_in1->take());
  EXPECT_EQ((Calls{"disarm"}), m_powerGood->take());
  EXPECT_EQ(0u, m_group->getMode());
  EXPECT_EQ(0u, m_unit->getMode());
  // Power lost with every switch off: outputs off, power-good on armed, the
  // unit left alone.
  m_powerGood->level = false;
  ASSERT_EQ(0u, m_group->manageOutputEnablement(1).getRc());
  ASSERT_EQ(0u, m_group->manageInterruptEnablement(1).getRc());
  EXPECT_EQ((Calls{"arm on"}), m_powerGood->take());
  EXPECT_TRUE(m_in0->take().empty());
  EXPECT_EQ(0u, m_unit->getMode());
  EXPECT_EQ(0x7254u, m_group->manageInterruptEnablement(7).getRcWithoutLogFlag());
}

TEST_F(OscControlGroupTest, SynchLostCountsAndPropagationGoToTheUnitsInOrder) {
  m_powerGood->level = true;
  ASSERT_EQ(0u, m_group->manageOutputEnablement(1).getRc());
  ASSERT_EQ(0u, m_group->manageInterruptEnablement(1).getRc());
  kavstl::vector<unsigned int> counts;
  ASSERT_EQ(0u, m_group->readSynchLostCounts(counts).getRc());
  EXPECT_EQ((kavstl::vector<unsigned int>{10}), counts);  // input 1 never on
  // A second element has no unit.
  const kavstl::vector<kavosc::SwitchoverPropagationMode_t> two(2, kavosc::PROPAGATION_OFF);
  EXPECT_EQ(0x7000u, m_group->setPropagationMode(two).getRcWithoutLogFlag());
  // Outputs off: no counts.
  ASSERT_EQ(0u, m_group->manageOutputEnablement(0).getRc());
  counts.clear();
  ASSERT_EQ(0u, m_group->readSynchLostCounts(counts).getRc());
  EXPECT_TRUE(counts.empty());
  ASSERT_EQ(0u, m_group->manageInterruptEnablement(0).getRc());
}

TEST_F(OscControlGroupTest, PowerGoodInputIsRequired) {
  KavPtr<OscControlGroup> bare(new OscControlGroup());
  cardstest::link(m_root.getRawPointer(), bare.getRawPointer());
  EXPECT_EQ(0x7002u, bare->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  bool good = true;
  EXPECT_EQ(0x7000u, bare->readGroupPowerGood(good).getRcWithoutLogFlag());
  EXPECT_FALSE(good);
}

}  // namespace
