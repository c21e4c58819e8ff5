// The switching order of a soft switch over lines that record what they
// are asked (the simulated machine's view is in e2e/soft_switch).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kav/cards/SoftSwitch.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"

using cardstest::link;

namespace {

// A control line that records every call as "<name> <operation>" and fails
// the operations it is told to with their codes.
class RecordingLine : public DioHwrInterface {
 public:
  RecordingLine(const char* name, std::vector<std::string>& calls) : m_name(name), m_calls(calls) {
    setInstanceId(get_id_by_string(name));
  }
  void failOn(const std::string& op, unsigned int rc) {
    m_failOp = op;
    m_failRc = rc;
  }
  ErrorData reconfigure(dioMode::DioMode_t) override { return record("reconfigure"); }
  ErrorData read(dioState::DioState_t& state) override {
    state = dioState::DIO_STATE_OFF;
    return record("read");
  }
  ErrorData on() override { return record("on"); }
  ErrorData off() override { return record("off"); }
  ErrorData blink(unsigned int) override { return record("blink"); }
  ErrorData enableIrq(dioState::DioState_t state) override { return record("enableIrq" + std::to_string(state)); }
  ErrorData disableIrq() override { return record("disableIrq"); }
  ErrorData resetIrqCondition() override { return record("resetIrqCondition"); }
  unsigned int getOnIrqId() override { return 0x1000u; }
  unsigned int getOffIrqId() override { return 0x2000u; }
  unsigned int getLogicalId() const override { return 0; }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return record("switchForPwrCtrl"); }

 private:
  ErrorData record(const std::string& op) {
    m_calls.push_back(m_name + " " + op);
    return ErrorData(ErrorData::NO_OVERWRITE, op == m_failOp ? m_failRc : 0);
  }
  std::string m_name;
  std::vector<std::string>& m_calls;
  std::string m_failOp;
  unsigned int m_failRc = 0;
};

class SoftSwitchOrder : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
  // A switch with lines of these names, in this order.
  void build(const std::vector<const char*>& names) {
    m_switch = KavPtr<SoftSwitch>(new SoftSwitch());
    for (const char* name : names) {
      KavPtr<RecordingLine> line(new RecordingLine(name, m_calls));
      link(m_switch.getRawPointer(), line.getRawPointer());
      m_lines.push_back(line);
    }
  }
  std::vector<std::string> m_calls;
  KavPtr<SoftSwitch> m_switch;
  std::vector<KavPtr<RecordingLine> > m_lines;
};

const unsigned int kAll = kav::sid::SOFT_SWITCH_ALL_LINES;
const unsigned int kOff = kav::sid::STATE_OFF;
const unsigned int kOn = kav::sid::STATE_ON;

}  // namespace

TEST_F(SoftSwitchOrder, OnArmsTheOffLevelAfterEachLineAndOffDisarmsBefore) {
  build({"SwA", "SwB"});
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(kAll, kOn).getRc());
  EXPECT_EQ((std::vector<std::string>{"SwA on", "SwA enableIrq2", "SwB on", "SwB enableIrq2"}), m_calls);
  m_calls.clear();
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(get_id_by_string("SwB"), kOff).getRc());
  EXPECT_EQ((std::vector<std::string>{"SwB disableIrq", "SwB off"}), m_calls);
}

TEST_F(SoftSwitchOrder, FailedStepSkipsTheLinesNextStepAndTheFirstFailureStays) {
  struct Case {
    const char* what;
    unsigned int action;
    const char* failA;
    const char* failB;
    std::vector<std::string> calls;
    unsigned int rc;
  };
  const Case cases[] = {
      {"on fails on the first line", kOn, "on", "", {"SwA on", "SwB on", "SwB enableIrq2"}, 0x50005},
      {"arming fails on the second line", kOn, "", "enableIrq2",
       {"SwA on", "SwA enableIrq2", "SwB on", "SwB enableIrq2"}, 0x50006},
      {"disarming fails on the first line", kOff, "disableIrq", "", {"SwA disableIrq", "SwB disableIrq", "SwB off"},
       0x50005},
      {"both lines fail", kOff, "off", "disableIrq", {"SwA disableIrq", "SwA off", "SwB disableIrq"}, 0x50005},
  };
  for (const Case& c : cases) {
    m_calls.clear();
    m_lines.clear();
    build({"SwA", "SwB"});
    if (*c.failA != 0) m_lines[0]->failOn(c.failA, 0x50005);
    if (*c.failB != 0) m_lines[1]->failOn(c.failB, 0x50006);
    EXPECT_EQ(c.rc, m_switch->switchForPwrCtrl(kAll, c.action).getRcWithoutLogFlag()) << c.what;
    EXPECT_EQ(c.calls, m_calls) << c.what;
  }
}

TEST_F(SoftSwitchOrder, NameOfSeveralLinesOrOfNoneSwitchesNothing) {
  build({"SwA", "SwA", "SwB"});
  for (unsigned int action : {kOn, kOff}) {
    EXPECT_EQ(0x7002u, m_switch->switchForPwrCtrl(get_id_by_string("SwA"), action).getRcWithoutLogFlag());
    EXPECT_EQ(0x7002u, m_switch->switchForPwrCtrl(get_id_by_string("SwC"), action).getRcWithoutLogFlag());
  }
  EXPECT_EQ(std::vector<std::string>{}, m_calls);
  // The unique name still works among them.
  ASSERT_EQ(0u, m_switch->switchForPwrCtrl(get_id_by_string("SwB"), kOn).getRc());
  EXPECT_EQ((std::vector<std::string>{"SwB on", "SwB enableIrq2"}), m_calls);
}
