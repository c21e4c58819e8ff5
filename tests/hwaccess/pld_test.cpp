// Programmable logic: configuration words (PldHwdData, PldHwdCfam) and
// lookup-table controls (PldHwr) through a GPIO engine of the simulated
// machine, whose pin 12 follows lookup table 2.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/dio/DioViaFsiHwa.h"
#include "kav/hwaccess/pld/PldHwdCfam.h"
#include "kav/hwaccess/pld/PldHwdData.h"
#include "kav/hwaccess/pld/PldHwdInterfaceLink.h"
#include "kav/hwaccess/pld/PldHwr.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

using cardstest::element;
using cardstest::link;

namespace {

// Pin 12 is a clock enable: on with control 1, off with 2, forced on with 3.
const char* const kMachine = R"(<machine name="pld">
  <cfam link="6" cascade="0">
    <gpio number="8">
      <pin n="12" table="2" in1="1" in2="0" in3="1"/>
    </gpio>
  </cfam>
</machine>)";
const char* const kPath = "/dev/gpio/L06C0E08";
const unsigned int kTable = 2;

unsigned bit(unsigned pin) { return 0x80000000u >> pin; }

FsiEngineInfo engineInfo() { return FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_DIO, 0), 6, 6, 0, 8); }

bool clockEnabled() {
  uint32_t levels = 0;
  EXPECT_TRUE(ravosim::readPinLevels(kPath, levels));
  return (levels & bit(12)) != 0;
}

template <class L>
void addLink(QueryBase* owner, L* l, unsigned int target) {
  l->setHidden(true);
  l->setScopeId(kav::sid::SCOPE_CONTAINER);
  l->setTargetInstanceName(target);
  link(owner, l);
}

class PldTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(cardstest::startOnMachine("pld", kMachine)); }
  void SetUp() override {
    ravosim::resetMachine();
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_engine = KavPtr<DioViaFsiHwa>(new DioViaFsiHwa(engineInfo()));
    link(m_container.getRawPointer(), m_engine.getRawPointer());
    ASSERT_EQ(0u, m_engine->openEngine().getRc());
    m_device = KavPtr<PldHwdCfam>(new PldHwdCfam());
    m_device->setInstanceId(get_id_by_string("PldTestDevice"));
    link(m_container.getRawPointer(), m_device.getRawPointer());
    KavPtr<DioHwaInterfaceLink> engineLink(new DioHwaInterfaceLink());
    addLink(m_device.getRawPointer(), engineLink.getRawPointer(), m_engine->getInstanceId());
    engineLink->setContainer(m_container);
  }
  void TearDown() override {
    ravosim::clearFaults();
    m_engine->closeEngine();
  }

  void addData(unsigned int pldId, unsigned int value) {
    KavPtr<PldHwdData> data(new PldHwdData());
    data->setData(pldId, value);
    data->setHidden(true);
    link(m_device.getRawPointer(), data.getRawPointer());
  }

  // A control of table kTable linked to the device, its links set up (init 3).
  KavPtr<PldHwr> addControl(kavPld::LookupControl_t defaultValue) {
    KavPtr<PldHwr> hwr(new PldHwr());
    hwr->setControl(kTable, defaultValue);
    link(m_container.getRawPointer(), hwr.getRawPointer());
    KavPtr<PldHwdInterfaceLink> l(new PldHwdInterfaceLink());
    addLink(hwr.getRawPointer(), l.getRawPointer(), m_device->getInstanceId());
    l->setContainer(m_container);
    EXPECT_EQ(0u, hwr->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    return hwr;
  }

  unsigned int config(unsigned int pldId) {
    unsigned int value = 0xFFFFFFFFu;
    EXPECT_EQ(0u, m_engine->pldGetConfig(pldId, value).getRc());
    return value;
  }

  KavPtr<Container> m_container;
  KavPtr<DioViaFsiHwa> m_engine;
  KavPtr<PldHwdCfam> m_device;
};

}  // namespace

TEST_F(PldTest, ConfigurationWordsAreWrittenAtStepFourteen) {
  addData(3, 0x12345);  // only the low 16 bits are written
  addData(2, 0xABCD);
  addData(3, 0x0F0F);   // in list order: the later word of pld 3 stays
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(0u, m_device->init(initSequence::INIT_SET_PLD).getRc());
  EXPECT_EQ(0xABCDu, config(2));
  EXPECT_EQ(0x0F0Fu, config(3));

  m_device->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  addData(3, 0x12345);
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, m_device->setPld().getRc());
  EXPECT_EQ(0x2345u, config(3));
}

TEST_F(PldTest, ConfigurationWordsAreAllTriedAndTheFirstFailureStays) {
  addData(16, 0x1111);  // no such word
  addData(0, 0x2222);
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(0x50016u, m_device->setPld().getRcWithoutLogFlag());
  EXPECT_EQ(0x2222u, config(0));
}

TEST_F(PldTest, DeviceWithoutEngine) {
  KavPtr<PldHwdCfam> alone(new PldHwdCfam());
  link(m_container.getRawPointer(), alone.getRawPointer());
  EXPECT_EQ(0x7341u, alone->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(0x7340u, alone->setConfig(0, 1).getRcWithoutLogFlag());
  EXPECT_EQ(0x7340u, alone->writeLookupTableControl(0, kavPld::LOOKUP_CONTROL_1).getRcWithoutLogFlag());
  kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_NONE;
  EXPECT_EQ(0x7340u, alone->readLookupTableControl(0, control).getRcWithoutLogFlag());
  // A link whose engine is not there.
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->setInstanceId(get_id_by_string("SomeOtherEngine"));
  for (const KavPtr<QueryBase>& child : m_device->getHiddenChildren())
    KavPtr<DioHwaInterfaceLink>(child)->setContainer(m_container);
  EXPECT_EQ(0x7340u, m_device->setConfig(0, 1).getRcWithoutLogFlag());
}

// The clock-enable pin follows the control the logic is given.
TEST_F(PldTest, ControlsSwitchTheClockEnable) {
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  EXPECT_TRUE(clockEnabled());  // reset state: control 1
  KavPtr<PldHwr> control = addControl(kavPld::LOOKUP_CONTROL_2);
  EXPECT_EQ(0u, control->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  EXPECT_FALSE(clockEnabled());
  const struct {
    kavPld::LookupControl_t control;
    bool enabled;
  } cases[] = {{kavPld::LOOKUP_CONTROL_1, true}, {kavPld::LOOKUP_CONTROL_2, false}, {kavPld::LOOKUP_CONTROL_3, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    ASSERT_EQ(0u, control->writeLookupTableControl(c.control).getRc());
    EXPECT_EQ(c.enabled, clockEnabled());
    kavPld::LookupControl_t read = kavPld::LOOKUP_CONTROL_NONE;
    ASSERT_EQ(0u, control->readLookupTableControl(read).getRc());
    EXPECT_EQ(c.control, read);
  }
  // The self test leaves control 1.
  EXPECT_EQ(0u, control->unitTest().getRc());
  kavPld::LookupControl_t read = kavPld::LOOKUP_CONTROL_NONE;
  ASSERT_EQ(0u, control->readLookupTableControl(read).getRc());
  EXPECT_EQ(kavPld::LOOKUP_CONTROL_1, read);
  EXPECT_TRUE(clockEnabled());
}

TEST_F(PldTest, ControlErrorsAreLoggedOnce) {
  ASSERT_EQ(0u, m_device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  KavPtr<PldHwr> control = addControl(kavPld::LOOKUP_CONTROL_2);
  testsupport::RecordingLogSink sink;
  ravosim::failCalls("ravo_gpio_config", kPath, EIO, 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ErrorData err = control->writeLookupTableControl(kavPld::LOOKUP_CONTROL_1);
    EXPECT_EQ(0x50005u, err.getRcWithoutLogFlag());
    EXPECT_NE(BaseErrorData::LOG_STATE_NONE, err.getLogState());
  }
  // The slot-id converter of the log is not set up here and says so: only
  // the control's entries count.
  auto controlErrors = [&sink] {
    std::vector<testsupport::LoggedError> errors;
    for (const testsupport::LoggedError& e : sink.errors())
      if (e.text.find("pld id") != std::string::npos) errors.push_back(e);
    return errors;
  };
  ASSERT_EQ(1u, controlErrors().size());
  const testsupport::LoggedError logged = controlErrors().at(0);
  EXPECT_EQ(0x50005u, logged.rc);
  EXPECT_NE(std::string::npos, logged.text.find("pld id 2")) << logged.text;
  EXPECT_NE(std::string::npos, logged.text.find("DIO Error on FSI")) << logged.text;
  // An error without SRC or keys (an invalid control) is only returned.
  const size_t before = sink.errors().size();
  EXPECT_EQ(0x7035u, control->writeLookupTableControl(kavPld::LOOKUP_CONTROL_NONE).getRcWithoutLogFlag());
  EXPECT_EQ(before, sink.errors().size());
}

TEST_F(PldTest, ControlWithoutDevice) {
  KavPtr<PldHwr> unlinked(new PldHwr());
  link(m_container.getRawPointer(), unlinked.getRawPointer());
  EXPECT_EQ(0x7365u, unlinked->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(0x7364u, unlinked->writeLookupTableControl(kavPld::LOOKUP_CONTROL_1).getRcWithoutLogFlag());
  KavPtr<PldHwr> control = addControl(kavPld::LOOKUP_CONTROL_1);
  control->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  kavPld::LookupControl_t read = kavPld::LOOKUP_CONTROL_NONE;
  EXPECT_EQ(0x7364u, control->readLookupTableControl(read).getRcWithoutLogFlag());
}

TEST_F(PldTest, ControlAttributes) {
  const struct {
    const char* defaultValue;
    unsigned int rc;
    kavPld::LookupControl_t control;
  } cases[] = {{"LOOKUP_CONTROL_1", 0, kavPld::LOOKUP_CONTROL_1},
               {"LOOKUP_CONTROL_2", 0, kavPld::LOOKUP_CONTROL_2},
               {"LOOKUP_CONTROL_3", 0, kavPld::LOOKUP_CONTROL_3},
               {"ENGINE_NONE", 0x716D, kavPld::LOOKUP_CONTROL_NONE},
               {nullptr, 0x7145, kavPld::LOOKUP_CONTROL_NONE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.defaultValue != nullptr ? c.defaultValue : "none");
    std::unique_ptr<BinaryReaderNode> node(
        c.defaultValue != nullptr ? element("Control", {{"pldId", "5"}, {"logicalId", "7"}, {"defaultValue", c.defaultValue}})
                                  : element("Control", {{"pldId", "5"}}));
    PldHwr hwr;
    EXPECT_EQ(c.rc, hwr.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
    EXPECT_EQ(c.control, hwr.getDefaultValue());
    EXPECT_EQ(5u, hwr.getPldId());
  }
  EXPECT_EQ("LOOKUP_CONTROL_1", kavPld::asString(1));
  EXPECT_EQ("LOOKUP_CONTROL_2", kavPld::asString(2));
  EXPECT_EQ("LOOKUP_CONTROL_3", kavPld::asString(3));
  EXPECT_EQ("ENGINE_NONE", kavPld::asString(0));
  EXPECT_EQ(get_string_by_id(kav::sid::STRING_NOT_FOUND), kavPld::asString(4));

  std::unique_ptr<BinaryReaderNode> node(element("Data", {{"pldId", "4"}, {"value", "0x12345"}}));
  PldHwdData data;
  EXPECT_EQ(0u, data.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  EXPECT_EQ(4u, data.getPldId());
  EXPECT_EQ(0x12345u, data.getConfiguration());
}
