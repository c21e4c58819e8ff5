// The clock-redundancy chip's driver over an engine that holds the chip's
// registers: the register bits of every operation, the checks of its
// arguments, the output shadow, the error-flag reset loop, the register dump
// and the power steps.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/tree/config/StringIds.h"
#include "tests/clockchips/CrcTestSupport.h"

namespace {

typedef CrcHwdInterface Chip;
using Transfer = chiptest::RegisterEngine::Transfer;

class CrcHwdTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_engine = m_rig.engine;
    // Flags and selection are read only; an interrupt reset leaves the flags
    // of flagsAfterReset (the last one stays).
    m_engine->readOnly = {8, 9, 10};
    m_engine->onResetIrq = [this](unsigned int, const std::vector<unsigned char>&) {
      if (m_flagsAfterReset.empty()) return;
      m_engine->regs[8] = m_flagsAfterReset.front().first;
      m_engine->regs[9] = m_flagsAfterReset.front().second;
      if (m_flagsAfterReset.size() > 1) m_flagsAfterReset.erase(m_flagsAfterReset.begin());
    };
    m_chip = makeChip("9", "OscCardSupply");
    m_engine->clearLog();
  }

  KavPtr<CrcHwdIcs872Sxx> makeChip(const char* outputs, const char* supply) {
    BaseErrorData rc;
    KavPtr<CrcHwdIcs872Sxx> chip = m_rig.addChip<CrcHwdIcs872Sxx>(crctest::chipElement("3", outputs, supply), rc);
    EXPECT_EQ(0u, rc.getRc());
    return chip;
  }

  chiptest::ChipRig m_rig;
  KavPtr<chiptest::RegisterEngine> m_engine;
  KavPtr<CrcHwdIcs872Sxx> m_chip;
  std::vector<std::pair<unsigned char, unsigned char>> m_flagsAfterReset;
};

}  // namespace

TEST_F(CrcHwdTest, SingleBitOperationsChangeOnlyTheirBit) {
  const struct {
    const char* name;
    ErrorData (CrcHwdIcs872Sxx::*op)();
    unsigned int reg;
    unsigned char before;
    unsigned char after;
  } cases[] = {
      {"enableInterrupt", &CrcHwdIcs872Sxx::enableInterrupt, 1, 0x05, 0x85},
      {"disableInterrupt", &CrcHwdIcs872Sxx::disableInterrupt, 1, 0xFF, 0x7F},
      {"enableSpreadingSupport", &CrcHwdIcs872Sxx::enableSpreadingSupport, 1, 0x81, 0xC1},
      {"disableSpreadingSupport", &CrcHwdIcs872Sxx::disableSpreadingSupport, 1, 0xFF, 0xBF},
      {"enableFrequencyCheck", &CrcHwdIcs872Sxx::enableFrequencyCheck, 4, 0x82, 0xC2},
      {"disableFrequencyCheck", &CrcHwdIcs872Sxx::disableFrequencyCheck, 4, 0xFF, 0xBF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->log.clear();
    m_engine->regs[c.reg] = c.before;
    ASSERT_EQ(0u, ((*m_chip).*c.op)().getRc());
    EXPECT_EQ((std::vector<Transfer>{{'R', c.reg, {c.before}}, {'W', c.reg, {c.after}}}), m_engine->log);
  }
  bool enabled = false;
  m_engine->regs[1] = 0x80;
  ASSERT_EQ(0u, m_chip->isInterruptEnabled(enabled).getRc());
  EXPECT_TRUE(enabled);
  ASSERT_EQ(0u, m_chip->isSpreadingSupportEnabled(enabled).getRc());
  EXPECT_FALSE(enabled);
  m_engine->regs[4] = 0x40;
  ASSERT_EQ(0u, m_chip->isFrequencyCheckEnabled(enabled).getRc());
  EXPECT_TRUE(enabled);
}

TEST_F(CrcHwdTest, DividerBandwidthAndInputSelection) {
  m_engine->regs[1] = 0xC8;
  ASSERT_EQ(0u, m_chip->writeDividerPattern(5).getRc());
  EXPECT_EQ(0xCD, m_engine->regs[1]);
  unsigned int pattern = 0;
  ASSERT_EQ(0u, m_chip->readDividerPattern(pattern).getRc());
  EXPECT_EQ(5u, pattern);
  ASSERT_EQ(0u, m_chip->writeBandWidth(Chip::BANDWIDTH_1).getRc());
  EXPECT_EQ(0xC5, m_engine->regs[1]);
  Chip::bandwidth_t bandwidth = Chip::BANDWIDTH_2;
  ASSERT_EQ(0u, m_chip->readBandWidth(bandwidth).getRc());
  EXPECT_EQ(Chip::BANDWIDTH_1, bandwidth);
  ASSERT_EQ(0u, m_chip->writeBandWidth(Chip::BANDWIDTH_2).getRc());
  EXPECT_EQ(0xCD, m_engine->regs[1]);

  // Register 4: mode in bit 2, input in bits 1..0; the other bits stay.
  const struct {
    Chip::mode_t mode;
    Chip::inputSelect_t input;
    unsigned char reg4;
  } selections[] = {{Chip::MODE_1, Chip::INPUT_1, 0xF8}, {Chip::MODE_1, Chip::INPUT_2, 0xF9},
                    {Chip::MODE_2, Chip::INPUT_3, 0xFE}, {Chip::MODE_2, Chip::INPUT_1, 0xFC}};
  for (const auto& s : selections) {
    m_engine->regs[4] = 0xFB;
    ASSERT_EQ(0u, m_chip->selectInputClock(s.mode, s.input).getRc());
    EXPECT_EQ(s.reg4, m_engine->regs[4]);
  }
  // The input read back is the one the chip reports in register 10 (2 and 3
  // both mean input 3), the mode the one written.
  const struct {
    unsigned char reg10;
    Chip::inputSelect_t input;
  } reported[] = {{0x00, Chip::INPUT_1}, {0x08, Chip::INPUT_2}, {0x10, Chip::INPUT_3}, {0x18, Chip::INPUT_3},
                  {0xE7, Chip::INPUT_1}};
  m_engine->regs[4] = 0x04;
  for (const auto& r : reported) {
    m_engine->regs[10] = r.reg10;
    Chip::mode_t mode = Chip::MODE_1;
    Chip::inputSelect_t input = Chip::INPUT_2;
    ASSERT_EQ(0u, m_chip->readSelectInputClock(mode, input).getRc());
    EXPECT_EQ(Chip::MODE_2, mode);
    EXPECT_EQ(r.input, input) << static_cast<int>(r.reg10);
  }
}

TEST_F(CrcHwdTest, InvalidArgumentsWriteNothing) {
  m_engine->regs[1] = 0x12;
  m_engine->regs[4] = 0x34;
  const struct {
    const char* name;
    std::function<ErrorData()> call;
    unsigned int rc;
  } cases[] = {
      {"divider 8", [&] { return m_chip->writeDividerPattern(8); }, 0x7330},
      {"bandwidth 0", [&] { return m_chip->writeBandWidth(static_cast<Chip::bandwidth_t>(0)); }, 0x7331},
      {"bandwidth 3", [&] { return m_chip->writeBandWidth(static_cast<Chip::bandwidth_t>(3)); }, 0x7331},
      {"input 4", [&] { return m_chip->selectInputClock(Chip::MODE_1, static_cast<Chip::inputSelect_t>(4)); }, 0x7332},
      {"mode 3", [&] { return m_chip->selectInputClock(static_cast<Chip::mode_t>(3), Chip::INPUT_1); }, 0x7333},
      {"output value", [&] { return m_chip->writeOutputControl(0x200, 0x1); }, 0x7334},
      {"output mask", [&] { return m_chip->writeOutputControl(0x1, 0x200); }, 0x7335},
      {"enable value", [&] { return m_chip->writeInputEnable(8, 7); }, 0x7336},
      {"enable mask", [&] { return m_chip->writeInputEnable(7, 8); }, 0x7337},
      {"check A", [&] { return m_chip->writeFrequencyCheckValues(0x40000, 0); }, 0x7338},
      {"check B", [&] { return m_chip->writeFrequencyCheckValues(0, 0x200); }, 0x7339},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->log.clear();
    EXPECT_EQ(c.rc, c.call().getRcWithoutLogFlag());
    EXPECT_TRUE(m_engine->writes().empty());
  }
  EXPECT_EQ(0u, m_chip->getEnabledOutputsMask());
}

TEST_F(CrcHwdTest, InputEnableBitsAreTheInverseOfTheDisableBits) {
  // (3, 7) on 0x00: input 3 disabled.
  ASSERT_EQ(0u, m_chip->writeInputEnable(3, 7).getRc());
  EXPECT_EQ((std::vector<Transfer>{{'R', 4, {0x00}}, {'W', 4, {0x20}}}), m_engine->log);
  // Only the inputs of the mask change.
  m_engine->regs[4] = 0xC7;
  ASSERT_EQ(0u, m_chip->writeInputEnable(0, 2).getRc());
  EXPECT_EQ(0xD7, m_engine->regs[4]);
  unsigned int enabled = 0;
  ASSERT_EQ(0u, m_chip->readInputEnable(enabled).getRc());
  EXPECT_EQ(5u, enabled);
}

TEST_F(CrcHwdTest, FrequencyCheckValuesKeepOnlyTheStoredBits) {
  ASSERT_EQ(0u, m_chip->writeFrequencyCheckValues(0x3FFFF, 0x1FF).getRc());
  EXPECT_EQ((std::vector<Transfer>{{'W', 5, {0xFF, 0xFF, 0xFF}}}), m_engine->log);
  unsigned int a = 0, b = 0;
  ASSERT_EQ(0u, m_chip->readFrequencyCheckValues(a, b).getRc());
  EXPECT_EQ(0x3FFFEu, a);
  EXPECT_EQ(0x1FCu, b);
  ASSERT_EQ(0u, m_chip->writeFrequencyCheckValues(0x12346, 0x0AC).getRc());
  EXPECT_EQ(0x48, m_engine->regs[5]);
  EXPECT_EQ(0xD1, m_engine->regs[6]);
  EXPECT_EQ(0x80 | 0x2B, m_engine->regs[7]);
  ASSERT_EQ(0u, m_chip->readFrequencyCheckValues(a, b).getRc());
  EXPECT_EQ(0x12346u, a);
  EXPECT_EQ(0x0ACu, b);
}

TEST_F(CrcHwdTest, FirstOutputWriteTakesTheUnknownOutputsFromTheChip) {
  m_engine->regs[3] = 0x0F;
  m_engine->regs[4] = 0x15;
  ASSERT_EQ(0u, m_chip->writeOutputControl(0x100, 0x100).getRc());
  EXPECT_EQ((std::vector<Transfer>{{'R', 3, {0x0F, 0x15}}, {'W', 3, {0x0F, 0x95}}}), m_engine->log);
  EXPECT_EQ(0x1FFu, m_chip->getEnabledOutputsMask());
  EXPECT_EQ(0x10Fu, m_chip->getEnabledOutputsValue());
  // Later writes use the shadow: a chip that lost its outputs gets them back.
  m_engine->regs[3] = 0x00;
  m_engine->log.clear();
  ASSERT_EQ(0u, m_chip->writeOutputControl(0x000, 0x001).getRc());
  EXPECT_EQ((Transfer{'W', 3, {0x0E, 0x95}}), m_engine->log.back());
  unsigned int outputs = 0;
  ASSERT_EQ(0u, m_chip->readOutputControl(outputs).getRc());
  EXPECT_EQ(0x10Eu, outputs);
}

TEST_F(CrcHwdTest, OutputWriteWhoseReadFailsWritesNothing) {
  m_engine->regs[4] = 0x5B;
  m_engine->failNextRead = 0x70005;
  EXPECT_EQ(0x70005u, m_chip->writeOutputControl(0x1, 0x1).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  EXPECT_EQ(0x5B, m_engine->regs[4]);
  // A read that brings register 3 alone is no read of register 4 either.
  m_engine->shortNextRead = 1;
  EXPECT_EQ(0x70005u, m_chip->writeOutputControl(0x1, 0x1).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  // The same for single registers and the other blocks: nothing is taken
  // from bytes that were not read.
  unsigned int pattern = 0;
  m_engine->shortNextRead = 0;
  m_engine->regs[1] = 0x07;
  ASSERT_EQ(0u, m_chip->readDividerPattern(pattern).getRc());
  EXPECT_EQ(7u, pattern);
  unsigned int a = 0, b = 0;
  m_engine->shortNextRead = 2;
  EXPECT_EQ(0x70005u, m_chip->readFrequencyCheckValues(a, b).getRcWithoutLogFlag());
  kavstl::set<Chip::CrcErrorType_t> flags;
  m_engine->shortNextRead = 1;
  EXPECT_EQ(0x70005u, m_chip->readErrorFlags(flags).getRcWithoutLogFlag());
  // The request is kept and goes out with the next write.
  ASSERT_EQ(0u, m_chip->writeOutputControl(0x2, 0x2).getRc());
  EXPECT_EQ(0x03, m_engine->regs[3]);
  EXPECT_EQ(0x5B, m_engine->regs[4]);
}

TEST_F(CrcHwdTest, ErrorFlagsComeFromTheirRegisterBits) {
  const struct {
    unsigned char r8;
    unsigned char r9;
    std::set<unsigned int> types;
  } cases[] = {{0x00, 0x00, {}},
               {0x80, 0x00, {9}},
               {0x40, 0x00, {8}},
               {0x20, 0x00, {0}},
               {0x01, 0x00, {1}},
               {0x02, 0x00, {2}},
               {0x04, 0x00, {3}},
               {0x10, 0x00, {4}},
               {0x08, 0x00, {}},
               {0x00, 0x07, {5, 6, 7}},
               {0xF7, 0xF8, {0, 1, 2, 3, 4, 8, 9}}};
  for (const auto& c : cases) {
    m_engine->regs[8] = c.r8;
    m_engine->regs[9] = c.r9;
    kavstl::set<Chip::CrcErrorType_t> flags;
    flags.insert(Chip::CRC_ERROR_5);  // cleared first
    ASSERT_EQ(0u, m_chip->readErrorFlags(flags).getRc());
    std::set<unsigned int> types(flags.begin(), flags.end());
    EXPECT_EQ(c.types, types) << static_cast<int>(c.r8) << "," << static_cast<int>(c.r9);
  }
}

TEST_F(CrcHwdTest, ErrorFlagResetRepeatsWhileTheFlagsShrink) {
  const std::vector<unsigned char> resetData = {0xF7, 0x07};
  const struct {
    const char* name;
    unsigned char r8;
    unsigned char r9;
    std::vector<std::pair<unsigned char, unsigned char>> after;
    unsigned int resets;
  } cases[] = {
      {"all clear after one reset", 0x21, 0x01, {{0x00, 0x00}}, 1},
      {"no flag at all", 0x00, 0x00, {{0x00, 0x00}}, 1},
      {"a condition that stays", 0x01, 0x00, {{0x01, 0x00}}, 1},
      {"shrinking, then clear", 0x07, 0x07, {{0x03, 0x00}, {0x01, 0x00}, {0x00, 0x00}}, 3},
      {"shrinking, then stuck", 0x07, 0x00, {{0x01, 0x00}, {0x01, 0x00}}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->regs[8] = c.r8;
    m_engine->regs[9] = c.r9;
    m_flagsAfterReset = c.after;
    m_engine->log.clear();
    ASSERT_EQ(0u, m_chip->resetAllErrorFlags().getRc());
    unsigned int resets = 0;
    for (const Transfer& t : m_engine->log)
      if (t.kind == 'I') {
        ++resets;
        EXPECT_EQ(8u, t.offset);
        EXPECT_EQ(resetData, t.data);
      }
    EXPECT_EQ(c.resets, resets);
    // A read of the flags before the first reset and after each.
    EXPECT_EQ(2 * c.resets + 1, m_engine->log.size());
  }
}

TEST_F(CrcHwdTest, RegisterBufferAndDump) {
  for (unsigned int i = 1; i <= 10; ++i) m_engine->regs[i] = static_cast<unsigned char>(0x10 + i);
  unsigned char buffer[12];
  unsigned int length = sizeof buffer;
  ASSERT_EQ(0u, m_chip->getRegister(buffer, length).getRc());
  EXPECT_EQ(10u, length);
  EXPECT_EQ(0x11, buffer[0]);
  EXPECT_EQ(0x1A, buffer[9]);
  EXPECT_EQ(0, buffer[10]);
  unsigned char small[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  length = sizeof small;
  EXPECT_EQ(0x733Bu, m_chip->getRegister(small, length).getRcWithoutLogFlag());
  EXPECT_EQ(0u, length);
  EXPECT_EQ(0, small[8]);

  const std::string dump = m_chip->registerDumpAsString();
  EXPECT_EQ(0u, dump.find("SlodId: 0x00000000, I2CBus: 3, DeviceAddress: 0xB0\n"));
  EXPECT_NE(std::string::npos, dump.find("Register 0: 0x11\n"));
  EXPECT_NE(std::string::npos, dump.find("Register 9: 0x1A\n"));
}

TEST_F(CrcHwdTest, PowerStepsForgetAndRestoreTheOutputShadow) {
  m_engine->regs[3] = 0x0F;
  ASSERT_EQ(0u, m_chip->writeOutputControl(0x100, 0x100).getRc());
  ASSERT_EQ(0x1FFu, m_chip->getEnabledOutputsMask());

  // Off: the chip forgets its outputs, and so does the driver; transfers stop.
  m_engine->log.clear();
  ASSERT_EQ(0u, m_chip->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(0u, m_chip->getEnabledOutputsMask());
  EXPECT_EQ(0u, m_chip->getEnabledOutputsValue());
  unsigned int pattern = 0;
  EXPECT_EQ(0x7236u, m_chip->readDividerPattern(pattern).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());

  // On: the outputs are read from the chip and written back as they are.
  m_engine->regs[3] = 0x33;
  m_engine->regs[4] = 0x80;
  ASSERT_EQ(0u, m_chip->switchForPwrCtrl(0, kav::sid::STATE_ON).getRc());
  EXPECT_EQ((std::vector<Transfer>{{'R', 3, {0x33, 0x80}}, {'W', 3, {0x33, 0x80}}}), m_engine->log);
  EXPECT_EQ(0x133u, m_chip->getEnabledOutputsValue());

  m_engine->log.clear();
  EXPECT_EQ(0x7002u, m_chip->switchForPwrCtrl(0, kav::sid::SEQUENCE_TYPE_OTHER).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
}

TEST_F(CrcHwdTest, AnAlwaysSuppliedChipCannotBeSwitched) {
  KavPtr<CrcHwdIcs872Sxx> chip = makeChip("9", "ALWAYS_SUPPLIED");
  m_engine->log.clear();
  EXPECT_EQ(0x7005u, chip->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRcWithoutLogFlag());
  unsigned int pattern = 0;
  EXPECT_EQ(0u, chip->readDividerPattern(pattern).getRc());
}

TEST_F(CrcHwdTest, OutputBitsBeyondNineAreNotUsed) {
  KavPtr<CrcHwdIcs872Sxx> chip = makeChip("12", "OscCardSupply");
  EXPECT_EQ(12u, chip->getNumOfOutputControls());
  EXPECT_EQ(0x7334u, chip->writeOutputControl(0x200, 0x200).getRcWithoutLogFlag());
  EXPECT_EQ(0u, chip->writeOutputControl(0x1FF, 0x1FF).getRc());
}
