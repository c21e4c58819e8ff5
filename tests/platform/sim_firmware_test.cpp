// The firmware's view of the simulated machine: the <firmware> element of a
// description, its changes at run time and the CFAM registers of the
// processor chips with their faults and transaction log.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"
#include "tests/support/TempDir.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="1" cascade="0" slot="0x10"/>
  <cfam link="2" cascade="0" slot="0x11" present="no"/>
  <firmware primary="no" system-state="9">
    <node position="0">
      <processor position="0">
        <cfam-register address="0x2812" reset="0xFFFFFFFF"/>
        <cfam-register address="0x1000" reset="0x12"/>
      </processor>
      <processor position="1" id="0x00ABCDEF" name="second" functional="no"/>
      <processor position="2" present="no"/>
    </node>
    <node position="1" functional="no">
      <processor position="0"/>
    </node>
    <oscillator-card position="0" cfam="L01C0"/>
    <oscillator-card position="1" cfam="L02C0"/>
    <oscillator-card position="2" present="yes" functional="no"/>
  </firmware>
</machine>)";

constexpr uint32_t kProc0 = 0x00050000;
constexpr uint32_t kProc1 = 0x00ABCDEF;
constexpr uint32_t kProc2 = 0x00050002;
constexpr uint32_t kCard0 = 0x001A0000;
constexpr uint32_t kCard1 = 0x001A0001;

class SimFirmware : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testsupport::freshSimMachine(m_dir.path(), kMachine, "firmware.xml")); }
  testsupport::TempDir m_dir{"ravo-sim-fw"};
};

TEST_F(SimFirmware, TargetsFollowTheDescriptionInItsOrder) {
  struct Expected {
    uint32_t cls, type, id, position, parent;
    const char* name;
    bool present, functional;
  };
  const Expected expected[] = {
      {2, 2, 0x00020000, 0, 0, "node0", true, true},
      {3, 5, kProc0, 0, 0x00020000, "proc0", true, true},
      {3, 5, kProc1, 1, 0x00020000, "second", true, false},
      {3, 5, kProc2, 2, 0x00020000, "proc2", false, false},
      {2, 2, 0x00020001, 1, 0, "node1", true, false},
      {3, 5, 0x00050100, 0, 0x00020001, "proc3", true, true},
      {3, 26, kCard0, 0, 0, "osc-card0", true, true},
      {3, 26, kCard1, 1, 0, "osc-card1", false, false},
      {3, 26, 0x001A0002, 2, 0, "osc-card2", true, false},
  };
  const std::vector<ravosim::FirmwareTarget> targets = ravosim::firmwareTargets();
  ASSERT_EQ(targets.size(), sizeof expected / sizeof expected[0]);
  for (size_t i = 0; i < targets.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(targets[i].targetClass, expected[i].cls);
    EXPECT_EQ(targets[i].type, expected[i].type);
    EXPECT_EQ(targets[i].id, expected[i].id);
    EXPECT_EQ(targets[i].position, expected[i].position);
    EXPECT_EQ(targets[i].parent, expected[i].parent);
    EXPECT_EQ(targets[i].name, expected[i].name);
    EXPECT_EQ(targets[i].present, expected[i].present);
    EXPECT_EQ(targets[i].functional, expected[i].functional);
  }
  EXPECT_FALSE(ravosim::serviceProcessorPrimary());
  EXPECT_EQ(ravosim::systemState(), 9u);
}

TEST_F(SimFirmware, RunTimeChangesAndResetToTheDescription) {
  ravosim::FirmwareTarget t;
  // An oscillator card is its CFAM: pulling the one pulls the other.
  ASSERT_TRUE(ravosim::setTargetPresent(kCard0, false));
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));
  ASSERT_TRUE(ravosim::firmwareTarget(kCard0, t));
  EXPECT_FALSE(t.present);
  EXPECT_FALSE(t.functional);
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  ASSERT_TRUE(ravosim::firmwareTarget(kCard1, t));
  EXPECT_TRUE(t.present);
  EXPECT_TRUE(t.functional);
  // A deconfigured card stays so while it is pulled and plugged again.
  ASSERT_TRUE(ravosim::setTargetFunctional(kCard1, false));
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  ASSERT_TRUE(ravosim::firmwareTarget(kCard1, t));
  EXPECT_TRUE(t.present);
  EXPECT_FALSE(t.functional);
  // A processor chip has a presence of its own.
  ASSERT_TRUE(ravosim::setTargetPresent(kProc2, true));
  ASSERT_TRUE(ravosim::setTargetFunctional(kProc2, true));
  ASSERT_TRUE(ravosim::firmwareTarget(kProc2, t));
  EXPECT_TRUE(t.functional);
  ravosim::setServiceProcessorPrimary(true);
  ravosim::setSystemState(3);
  ravosim::setTimeOfDayOffset(-60);
  EXPECT_TRUE(ravosim::serviceProcessorPrimary());
  EXPECT_EQ(ravosim::systemState(), 3u);
  EXPECT_EQ(ravosim::timeOfDayOffset(), -60);
  EXPECT_FALSE(ravosim::setTargetFunctional(0x1234, true));
  EXPECT_FALSE(ravosim::setTargetPresent(0x1234, true));
  EXPECT_FALSE(ravosim::firmwareTarget(0x1234, t));

  ravosim::resetMachine();
  EXPECT_FALSE(ravosim::serviceProcessorPrimary());
  EXPECT_EQ(ravosim::systemState(), 9u);
  EXPECT_EQ(ravosim::timeOfDayOffset(), 0);
  ASSERT_TRUE(ravosim::firmwareTarget(kProc2, t));
  EXPECT_FALSE(t.present);
  ASSERT_TRUE(ravosim::firmwareTarget(kCard0, t));
  EXPECT_TRUE(t.functional);
}

TEST_F(SimFirmware, CfamRegistersAreReadAndWrittenAndLogged) {
  ravosim::clearTransactionLog();
  uint32_t value = 0;
  EXPECT_EQ(ravosim::cfamRead(kProc0, 0x2812, value), 0);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(ravosim::cfamWrite(kProc0, 0x2812, 0xF0FCFFFF), 0);
  EXPECT_EQ(ravosim::cfamRead(kProc0, 0x1000, value), 0);
  EXPECT_EQ(value, 0x12u);
  // Every processor chip has its clock-select register, reset 0.
  EXPECT_EQ(ravosim::cfamRead(kProc1, 0x2812, value), 0);
  EXPECT_EQ(value, 0u);
  ASSERT_TRUE(ravosim::peekCfamRegister(kProc0, 0x2812, value));
  EXPECT_EQ(value, 0xF0FCFFFFu);

  const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog();
  ASSERT_EQ(log.size(), 4u);
  const ravosim::Transaction::Kind kinds[] = {ravosim::Transaction::CfamRead, ravosim::Transaction::CfamWrite,
                                              ravosim::Transaction::CfamRead, ravosim::Transaction::CfamRead};
  const uint32_t addresses[] = {0x2812, 0x2812, 0x1000, 0x2812};
  const uint32_t values[] = {0xFFFFFFFF, 0xF0FCFFFF, 0x12, 0};
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].kind, kinds[i]);
    EXPECT_EQ(log[i].device, i < 3 ? "proc0" : "second");
    EXPECT_EQ(log[i].offset, addresses[i]);
    EXPECT_EQ(log[i].value, values[i]);
    EXPECT_EQ(log[i].result, 0);
  }
  EXPECT_NE(ravosim::formatTransaction(log[1], log[0].time).find("CFAM W  proc0 @0x2812: 0xF0FCFFFF  ok"),
            std::string::npos)
      << ravosim::formatTransaction(log[1], log[0].time);
}

TEST_F(SimFirmware, CfamAccessFailures) {
  struct Case {
    const char* what;
    uint32_t id;
    uint32_t address;
    bool write;
    int err;
  };
  ravosim::failCalls("cfamWrite", "second", EIO, 1);
  const Case cases[] = {
      {"injected write fault", kProc1, 0x2812, true, EIO},
      {"absent chip", kProc2, 0x2812, false, ENODEV},
      {"no processor chip", kCard0, 0x2812, false, ENODEV},
      {"unknown id", 0x4711, 0x2812, true, ENODEV},
      {"register not modelled", kProc0, 0x2813, false, ENXIO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::clearTransactionLog();
    uint32_t value = 0x55;
    const int err = c.write ? ravosim::cfamWrite(c.id, c.address, 0x1) : ravosim::cfamRead(c.id, c.address, value);
    EXPECT_EQ(err, c.err);
    const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].result, c.err);
    EXPECT_EQ(log[0].kind, c.write ? ravosim::Transaction::CfamWrite : ravosim::Transaction::CfamRead);
  }
  EXPECT_EQ(ravosim::injectedFailures("cfamWrite"), 1u);
  // The fault is used up and the failed write changed nothing.
  uint32_t value = 1;
  ASSERT_TRUE(ravosim::peekCfamRegister(kProc1, 0x2812, value));
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(ravosim::cfamWrite(kProc1, 0x2812, 0x7), 0);
  // The register survives a restart of the service processor, not a reset.
  ravosim::restartMachine();
  ASSERT_TRUE(ravosim::peekCfamRegister(kProc1, 0x2812, value));
  EXPECT_EQ(value, 7u);
  ravosim::resetMachine();
  ASSERT_TRUE(ravosim::peekCfamRegister(kProc1, 0x2812, value));
  EXPECT_EQ(value, 0u);
}

TEST_F(SimFirmware, FaultsOfTheDescriptionAndOfOtherServices) {
  ASSERT_TRUE(ravosim::loadMachineText(R"(<machine>
    <firmware><node position="0"><processor position="0"/></node></firmware>
    <fault op="cfamRead" device="proc0" errno="EBUSY" count="always"/>
  </machine>)",
                                       "faults.xml")
                  .ok);
  uint32_t value = 0;
  EXPECT_EQ(ravosim::cfamRead(0x00050000, 0x2812, value), EBUSY);
  EXPECT_EQ(ravosim::cfamRead(0x00050000, 0x2812, value), EBUSY);
  // A service outside the ravo libraries asks for its own faults.
  ravosim::failCalls("subscribe", "event3", EAGAIN, 1);
  int err = 0;
  EXPECT_FALSE(ravosim::takeInjectedFault("subscribe", "event4", err));
  EXPECT_TRUE(ravosim::takeInjectedFault("subscribe", "event3", err));
  EXPECT_EQ(err, EAGAIN);
  EXPECT_FALSE(ravosim::takeInjectedFault("subscribe", "event3", err));
  EXPECT_EQ(ravosim::injectedFailures("subscribe"), 1u);
  // Without a <firmware> element this is the primary service processor of
  // a machine without targets.
  ASSERT_TRUE(ravosim::loadMachineText("<machine/>", "empty.xml").ok);
  EXPECT_TRUE(ravosim::serviceProcessorPrimary());
  EXPECT_TRUE(ravosim::firmwareTargets().empty());
}

TEST_F(SimFirmware, DescriptionErrorsNameTheLine) {
  struct Case {
    const char* what;
    const char* xml;
    unsigned line;
    const char* text;
  };
  const Case cases[] = {
      {"two firmware elements", "<machine><firmware/>\n<firmware/></machine>", 2, "one <firmware> element"},
      {"unknown element", "<machine><firmware>\n<cpu/></firmware></machine>", 2, "unknown element <cpu>"},
      {"processor outside a node", "<machine><firmware>\n<processor position=\"0\"/></firmware></machine>", 2,
       "unknown element <processor>"},
      {"position missing", "<machine><firmware>\n<node/></firmware></machine>", 2, "needs the attribute 'position'"},
      {"id 0", "<machine><firmware>\n<oscillator-card position=\"0\" id=\"0\"/></firmware></machine>", 2,
       "id may not be 0"},
      {"id taken",
       "<machine><firmware><node position=\"0\" id=\"7\"/>\n<oscillator-card position=\"0\" id=\"7\"/>"
       "</firmware></machine>",
       2, "target id 0x7 is already taken (line 1)"},
      {"name taken",
       "<machine><firmware><oscillator-card position=\"0\" name=\"x\"/>\n"
       "<oscillator-card position=\"1\" name=\"x\"/></firmware></machine>",
       2, "target name 'x' is already taken"},
      {"position taken",
       "<machine><firmware><node position=\"0\"><processor position=\"1\"/>\n<processor position=\"1\" "
       "id=\"9\"/></node></firmware></machine>",
       2, "position 1 is already taken"},
      {"absent and functional",
       "<machine><firmware>\n<oscillator-card position=\"0\" present=\"no\" functional=\"yes\"/>"
       "</firmware></machine>",
       2, "an absent target cannot be functional"},
      {"CFAM the machine lacks", "<machine><firmware>\n<oscillator-card position=\"0\" cfam=\"L05C0\"/>"
                                 "</firmware></machine>",
       2, "sits on CFAM L05C0, which the machine does not have"},
      {"CFAM and presence",
       "<machine><cfam link=\"1\" cascade=\"0\"/><firmware>\n<oscillator-card position=\"0\" cfam=\"L01C0\" "
       "present=\"yes\"/></firmware></machine>",
       2, "present while its CFAM is"},
      {"register twice",
       "<machine><firmware><node position=\"0\"><processor position=\"0\"><cfam-register address=\"1\"/>\n"
       "<cfam-register address=\"1\"/></processor></node></firmware></machine>",
       2, "CFAM register 0x1 is described twice"},
      {"fault of an unknown call", "<machine>\n<fault op=\"cfamPoke\" errno=\"EIO\"/></machine>", 2,
       "is not a ravo call nor a firmware service call"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ravosim::LoadResult r = ravosim::loadMachineText(c.xml, "bad.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, c.line) << r.message;
    EXPECT_NE(r.message.find(c.text), std::string::npos) << r.message;
  }
}

TEST_F(SimFirmware, DefaultMachineHasFourProcessorChipsAndTwoCards) {
  const char* source = std::getenv("QUIB_SOURCE_DIR");
  const ravosim::LoadResult r =
      ravosim::loadMachine(std::string(source ? source : ".") + "/config/machine/default.xml");
  ASSERT_TRUE(r.ok) << r.message;
  unsigned processors = 0, cards = 0;
  for (const ravosim::FirmwareTarget& t : ravosim::firmwareTargets()) {
    if (t.type == ravosim::FirmwareTarget::Processor && t.functional) ++processors;
    if (t.type == ravosim::FirmwareTarget::OscillatorCard && t.functional) ++cards;
  }
  EXPECT_EQ(processors, 4u);
  EXPECT_EQ(cards, 2u);
  EXPECT_TRUE(ravosim::serviceProcessorPrimary());
}

}  // namespace
