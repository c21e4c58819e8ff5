// The fanout buffer's driver over an engine that holds the buffer's
// registers (the output enables, their checks, the register buffer and
// dumps), and the output control that switches a group of its outputs.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kav/clockchips/FanoutBufferHwdIcs852Sxx.h"
#include "kav/clockchips/OutputControlHwrFanoutBuffer.h"
#include "kav/hwaccess/links/FanoutBufferHwdInterfaceLink.h"
#include "kav/tree/config/StringIds.h"
#include "tests/clockchips/I2cChipTestSupport.h"

namespace {

using Transfer = chiptest::RegisterEngine::Transfer;

class FanoutBufferTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_engine = m_rig.engine;
    m_buffer = makeBuffer("FanoutTestBuffer", "9");
    m_engine->clearLog();
  }

  // A buffer with `outputs` output controls (nullptr: the attribute left
  // out).
  KavPtr<FanoutBufferHwdIcs852Sxx> makeBuffer(const char* name, const char* outputs) {
    BinaryReaderNode* node = chiptest::chipElement("FanoutBufferHwdIcs852Sxx", name, "4", "OscCardSupply");
    if (outputs != nullptr) node->addAttribute(get_string_by_id(kav::sid::NUM_OUTPUT_CONTROLS), outputs);
    BaseErrorData rc;
    KavPtr<FanoutBufferHwdIcs852Sxx> buffer = m_rig.addChip<FanoutBufferHwdIcs852Sxx>(node, rc);
    EXPECT_EQ(0u, rc.getRc());
    return buffer;
  }

  // An output control of `mask` under the container, linked to the buffer
  // named `target` (0: without link child); rc: its step 3.
  KavPtr<OutputControlHwrFanoutBuffer> makeOutputControl(const char* mask, unsigned int target, BaseErrorData& rc) {
    KavPtr<OutputControlHwrFanoutBuffer> output(new OutputControlHwrFanoutBuffer());
    std::unique_ptr<BinaryReaderNode> node(cardstest::element(
        "OutputControlHwrFanoutBuffer", {{get_string_by_id(kav::sid::INSTANCE_NAME), "FanoutTestOutputs"},
                                         {get_string_by_id(kav::sid::OUTPUT_MASK), mask}}));
    EXPECT_EQ(0u, output->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    output->setHidden(true);
    cardstest::link(m_rig.container.getRawPointer(), output.getRawPointer());
    if (target != 0)
      chiptest::addLink<FanoutBufferHwdInterfaceLink>(output.getRawPointer(), target, m_rig.container);
    rc = output->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    return output;
  }

  chiptest::ChipRig m_rig;
  KavPtr<chiptest::RegisterEngine> m_engine;
  KavPtr<FanoutBufferHwdIcs852Sxx> m_buffer;
};

}  // namespace

TEST_F(FanoutBufferTest, OutputWriteChangesOnlyTheBitsOfTheMask) {
  // Register 3: outputs 7..0; register 4 bit 7: output 8, its other bits
  // stay.
  const struct {
    unsigned int value;
    unsigned int mask;
    unsigned char r3;
    unsigned char r4;
    unsigned char w3;
    unsigned char w4;
  } cases[] = {
      {0x1FF, 0x100, 0x5A, 0x15, 0x5A, 0x95},  // output 8 alone: register 3 as it was
      {0x000, 0x100, 0x5A, 0x95, 0x5A, 0x15},
      {0x00F, 0x0FF, 0xF0, 0x80, 0x0F, 0x80},  // output 8 outside the mask stays on
      {0x1A5, 0x0C3, 0xF0, 0x7F, 0xB1, 0x7F},
      {0x100, 0x1FF, 0xFF, 0x00, 0x00, 0x80},
      {0x000, 0x000, 0x3C, 0xC3, 0x3C, 0xC3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.value << "/" << c.mask);
    m_engine->regs[3] = c.r3;
    m_engine->regs[4] = c.r4;
    m_engine->clearLog();
    ASSERT_EQ(0u, m_buffer->writeOutputControl(c.value, c.mask).getRc());
    EXPECT_EQ((std::vector<Transfer>{{'R', 3, {c.r3, c.r4}}, {'W', 3, {c.w3, c.w4}}}), m_engine->log);
    unsigned int outputs = 0;
    ASSERT_EQ(0u, m_buffer->readOutputControl(outputs).getRc());
    EXPECT_EQ((c.w4 & 0x80u) << 1 | c.w3, outputs);
  }
}

TEST_F(FanoutBufferTest, OutputValueAndMaskAreCheckedAgainstTheNumberOfOutputs) {
  KavPtr<FanoutBufferHwdIcs852Sxx> four = makeBuffer("FanoutFour", "4");
  KavPtr<FanoutBufferHwdIcs852Sxx> none = makeBuffer("FanoutNone", nullptr);
  // More outputs than the registers hold: only nine are switched.
  KavPtr<FanoutBufferHwdIcs852Sxx> twelve = makeBuffer("FanoutTwelve", "12");
  EXPECT_EQ(4u, four->getNumOfOutputControls());
  EXPECT_EQ(0u, none->getNumOfOutputControls());
  EXPECT_EQ(12u, twelve->getNumOfOutputControls());
  const struct {
    KavPtr<FanoutBufferHwdIcs852Sxx> buffer;
    unsigned int value;
    unsigned int mask;
    unsigned int rc;
  } cases[] = {
      {m_buffer, 0x200, 0x001, 0x733E}, {m_buffer, 0x001, 0x200, 0x733F}, {m_buffer, 0x200, 0x200, 0x733E},
      {four, 0x010, 0x00F, 0x733E},     {four, 0x00F, 0x010, 0x733F},     {none, 0x001, 0x000, 0x733E},
      {none, 0x000, 0x001, 0x733F},     {twelve, 0x200, 0x200, 0x733E},   {m_buffer, 0x1FF, 0x1FF, 0},
      {four, 0x00F, 0x00F, 0},          {none, 0x000, 0x000, 0},          {twelve, 0x1FF, 0x1FF, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.buffer->getNumOfOutputControls() << ": " << std::hex << c.value << "/"
                                    << c.mask);
    m_engine->clearLog();
    EXPECT_EQ(c.rc, c.buffer->writeOutputControl(c.value, c.mask).getRcWithoutLogFlag());
    EXPECT_EQ(c.rc == 0 ? 1u : 0u, m_engine->writes().size());
  }
}

TEST_F(FanoutBufferTest, OutputWriteWhoseReadFailsWritesNothing) {
  m_engine->failNextRead = 0x70005;
  EXPECT_EQ(0x70005u, m_buffer->writeOutputControl(0x1FF, 0x1FF).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
}

TEST_F(FanoutBufferTest, RegisterBufferAndDumps) {
  for (unsigned int i = 1; i <= 4; ++i) m_engine->regs[i] = static_cast<unsigned char>(0x10 * i + 1);
  unsigned char small[3] = {1, 2, 3};
  unsigned int length = sizeof small;
  EXPECT_EQ(0x733Du, m_buffer->getRegister(small, length).getRcWithoutLogFlag());
  EXPECT_EQ(0u, length);
  unsigned char regs[6];
  length = sizeof regs;
  ASSERT_EQ(0u, m_buffer->getRegister(regs, length).getRc());
  EXPECT_EQ(4u, length);
  EXPECT_EQ((std::vector<unsigned char>{0x11, 0x21, 0x31, 0x41, 0x00, 0x00}), std::vector<unsigned char>(regs, regs + 6));

  EXPECT_EQ(
      "SlodId: 0x00000000, I2CBus: 4, DeviceAddress: 0xB0\n"
      "Register 0: 0x11\nRegister 1: 0x21\nRegister 2: 0x31\nRegister 3: 0x41\n",
      m_buffer->registerDumpAsString());
  std::ostringstream xml;
  m_buffer->dumpXmlHwRegisters(xml);
  EXPECT_EQ(0u, xml.str().find("<class className=\"RegisterContent\">\n"
                               "<parameter name=\"Register 0\" value=\"0x11\"/>\n"));
  m_engine->failNextRead = 0x70016;
  std::ostringstream failed;
  m_buffer->dumpXmlHwRegisters(failed);
  EXPECT_EQ(
      "<class className=\"RegisterContent\">\n"
      "<parameter name=\"Reading Device Registers fails with rc:\" value=\"0x00070016\"/>\n"
      "</class>\n",
      failed.str());
}

TEST_F(FanoutBufferTest, PowerStepsSwitchTheBuffersSupply) {
  ASSERT_EQ(0u, m_buffer->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRc());
  unsigned int outputs = 0;
  EXPECT_EQ(0x7236u, m_buffer->readOutputControl(outputs).getRcWithoutLogFlag());
  EXPECT_EQ(0x7236u, m_buffer->writeOutputControl(1, 1).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
  ASSERT_EQ(0u, m_buffer->switchForPwrCtrl(0, kav::sid::STATE_ON).getRc());
  EXPECT_EQ(0u, m_buffer->readOutputControl(outputs).getRc());
  EXPECT_EQ(0x7002u, m_buffer->switchForPwrCtrl(0, kav::sid::SEQUENCE_TYPE_OTHER).getRcWithoutLogFlag());
}

TEST_F(FanoutBufferTest, OutputControlSwitchesItsGroup) {
  BaseErrorData rc;
  KavPtr<OutputControlHwrFanoutBuffer> output = makeOutputControl("0x181", m_buffer->getInstanceId(), rc);
  ASSERT_EQ(0u, rc.getRc());
  const struct {
    const char* name;
    std::function<ErrorData()> call;
    unsigned char w3;
    unsigned char w4;
  } cases[] = {
      {"enable", [&] { return output->enableOutput(); }, 0xA5, 0x95},
      {"disable", [&] { return output->disableOutput(); }, 0x24, 0x15},
      {"power step on", [&] { return output->switchForPwrCtrl(0, kav::sid::STATE_ON); }, 0xA5, 0x95},
      {"power step disabled", [&] { return output->switchForPwrCtrl(0, kav::sid::OUTPUT_DISABLED); }, 0x24, 0x15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->regs[3] = 0x24;
    m_engine->regs[4] = 0x15;
    m_engine->clearLog();
    ASSERT_EQ(0u, c.call().getRc());
    EXPECT_EQ((std::vector<Transfer>{{'W', 3, {c.w3, c.w4}}}), m_engine->writes());
  }
  m_engine->clearLog();
  EXPECT_EQ(0x7013u, output->switchForPwrCtrl(0, kav::sid::STATE_OFF + 100).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
  // A mask beyond the buffer's outputs is the buffer's error.
  KavPtr<OutputControlHwrFanoutBuffer> wide = makeOutputControl("0x200", m_buffer->getInstanceId(), rc);
  EXPECT_EQ(0x733Eu, wide->enableOutput().getRcWithoutLogFlag());
}

TEST_F(FanoutBufferTest, OutputControlWithoutBuffer) {
  // A link child whose buffer is not there (its card away): nothing happens.
  BaseErrorData rc;
  KavPtr<OutputControlHwrFanoutBuffer> absent = makeOutputControl("0x3", get_id_by_string("FanoutAwayBuffer"), rc);
  EXPECT_EQ(0u, rc.getRc());
  EXPECT_EQ(0u, absent->enableOutput().getRc());
  EXPECT_EQ(0u, absent->disableOutput().getRc());
  // No link child at all: step 3 says so, switching still does nothing.
  KavPtr<OutputControlHwrFanoutBuffer> unlinked = makeOutputControl("0x3", 0, rc);
  EXPECT_EQ(0x7373u, rc.getRcWithoutLogFlag());
  EXPECT_EQ(0u, unlinked->enableOutput().getRc());
  EXPECT_TRUE(m_engine->log.empty());
  // After terminate step 5 the output control has let its buffer go.
  KavPtr<OutputControlHwrFanoutBuffer> output = makeOutputControl("0x3", m_buffer->getInstanceId(), rc);
  ASSERT_EQ(0u, output->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(0u, output->enableOutput().getRc());
  EXPECT_TRUE(m_engine->log.empty());
}
