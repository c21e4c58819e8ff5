// What the three clock-chip drivers on I2C share: each reaches its engine
// only through its single I2C link child, linked at step 3 and let go at
// terminate step 5, and dumps its registers in the same form.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/clockchips/FanoutBufferHwdIcs852Sxx.h"
#include "kav/clockchips/PllHwdIcs842S02.h"
#include "tests/clockchips/I2cChipTestSupport.h"

namespace {

// A driver of one class, made and dumped through its own type.
struct Driver {
  const char* className;
  unsigned int registers;
  std::function<KavPtr<QueryBase>()> create;
  std::function<std::string(const KavPtr<QueryBase>&)> dump;
};

template <class Chip>
Driver driver(const char* className, unsigned int registers) {
  return {className, registers, [] { return KavPtr<QueryBase>(new Chip()); },
          [](const KavPtr<QueryBase>& chip) { return KavPtr<Chip>(chip)->registerDumpAsString(); }};
}

const std::vector<Driver>& drivers() {
  static const std::vector<Driver> all = {driver<CrcHwdIcs872Sxx>("CrcHwdIcs872Sxx", 10),
                                          driver<PllHwdIcs842S02>("PllHwdIcs842S02", 4),
                                          driver<FanoutBufferHwdIcs852Sxx>("FanoutBufferHwdIcs852Sxx", 4)};
  return all;
}

class I2cChipRegistersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  // The driver in the container with `links` I2C link children, supplied;
  // rc: its step 3.
  KavPtr<QueryBase> makeChip(const Driver& d, unsigned int links, BaseErrorData& rc) {
    KavPtr<QueryBase> chip = d.create();
    std::unique_ptr<BinaryReaderNode> node(chiptest::chipElement(d.className, "SharedTestChip", "6", "OscCardSupply"));
    // Required by the chips with outputs, not read by the others.
    node->addAttribute(get_string_by_id(kav::sid::NUM_OUTPUT_CONTROLS), "9");
    EXPECT_EQ(0u, chip->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    cardstest::link(m_rig.container.getRawPointer(), chip.getRawPointer());
    for (unsigned int i = 0; i < links; ++i)
      chiptest::addLink<I2cHwaInterfaceLink>(chip.getRawPointer(), m_rig.engine->getInstanceId(), m_rig.container);
    rc = chip->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    EXPECT_EQ(0u, chip->init(initSequence::INIT_ACTIVATED_HW).getRc());
    return chip;
  }

  chiptest::ChipRig m_rig;
};

const char* const kHeader = "SlodId: 0x00000000, I2CBus: 6, DeviceAddress: 0xB0\n";

}  // namespace

TEST_F(I2cChipRegistersTest, LinkedChipDumpsItsRegistersFromRegisterOne) {
  for (unsigned int i = 0; i < 16; ++i) m_rig.engine->regs[i] = static_cast<unsigned char>(0xC0 + i);
  for (const Driver& d : drivers()) {
    SCOPED_TRACE(d.className);
    BaseErrorData rc;
    KavPtr<QueryBase> chip = makeChip(d, 1, rc);
    EXPECT_EQ(0u, rc.getRc());
    std::string expected = kHeader;
    for (unsigned int i = 0; i < d.registers; ++i) {
      char line[32];
      std::snprintf(line, sizeof line, "Register %u: 0x%.2X\n", i, 0xC1 + i);
      expected += line;
    }
    m_rig.engine->clearLog();
    EXPECT_EQ(expected, d.dump(chip));
    EXPECT_EQ((std::vector<chiptest::RegisterEngine::Transfer>{
                  {'R', 1, std::vector<unsigned char>(m_rig.engine->regs + 1, m_rig.engine->regs + 1 + d.registers)}}),
              m_rig.engine->log);
  }
}

TEST_F(I2cChipRegistersTest, ChipWithoutASingleLinkReachesNoEngine) {
  for (const Driver& d : drivers()) {
    for (unsigned int links : {0u, 2u}) {
      SCOPED_TRACE(testing::Message() << d.className << " with " << links << " links");
      BaseErrorData rc;
      KavPtr<QueryBase> chip = makeChip(d, links, rc);
      EXPECT_EQ(0x737Bu, rc.getRcWithoutLogFlag());
      EXPECT_EQ(std::string(kHeader) + "Registers not readable: rc=0x0000737A\n", d.dump(chip));
    }
  }
  EXPECT_TRUE(m_rig.engine->log.empty());
}

TEST_F(I2cChipRegistersTest, TerminateStepFiveLetsTheEngineGo) {
  for (const Driver& d : drivers()) {
    SCOPED_TRACE(d.className);
    BaseErrorData rc;
    KavPtr<QueryBase> chip = makeChip(d, 1, rc);
    ASSERT_EQ(0u, rc.getRc());
    // The steps before it keep the engine.
    for (unsigned int step = 0; step < terminateSequence::TERM_UNLINK_TREE_ELEMENTS; ++step) {
      chip->terminate(static_cast<terminateSequence::Id_t>(step));
      EXPECT_NE(std::string::npos, d.dump(chip).find("Register 0:")) << "after step " << step;
    }
    ASSERT_EQ(0u, chip->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(std::string(kHeader) + "Registers not readable: rc=0x0000737A\n", d.dump(chip));
  }
}
