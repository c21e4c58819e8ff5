// The PLL chip's driver over an engine that holds the chip's registers: the
// pattern's bit layout, the stepped spreading change with its pauses, the
// error flags and their reset, the register buffer and dumps, and the power
// steps.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kav/clockchips/PllHwdIcs842S02.h"
#include "kav/runtime/TimeScale.h"
#include "kav/tree/config/StringIds.h"
#include "tests/clockchips/I2cChipTestSupport.h"

namespace {

using Transfer = chiptest::RegisterEngine::Transfer;
using kavosc::SpreadingDirection_t;

class PllHwdTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_engine = m_rig.engine;
    m_chip = makeChip("OscCardSupply");
    m_engine->clearLog();
  }

  KavPtr<PllHwdIcs842S02> makeChip(const char* supply) {
    BaseErrorData rc;
    KavPtr<PllHwdIcs842S02> chip =
        m_rig.addChip<PllHwdIcs842S02>(chiptest::chipElement("PllHwdIcs842S02", "PllTestChip", "2", supply), rc);
    EXPECT_EQ(0u, rc.getRc());
    return chip;
  }

  // The values written to register 3, in order.
  std::vector<unsigned char> spreadingWrites() const {
    std::vector<unsigned char> values;
    for (const Transfer& t : m_engine->writes()) {
      EXPECT_EQ(3u, t.offset);
      EXPECT_EQ(1u, t.data.size());
      if (t.offset == 3 && t.data.size() == 1) values.push_back(t.data[0]);
    }
    return values;
  }

  chiptest::ChipRig m_rig;
  KavPtr<chiptest::RegisterEngine> m_engine;
  KavPtr<PllHwdIcs842S02> m_chip;
};

// Each write of a spreading step comes at least one step pause after the
// transfer before it (the read of register 3 for the first).
void expectStepPauses(const std::vector<Transfer>& log) {
  const std::chrono::milliseconds pause(TimeScale::delayMs(PllHwdIcs842S02::kSpreadingStepMs));
  for (size_t i = 1; i < log.size(); ++i) {
    if (log[i].kind != 'W') continue;
    EXPECT_GE(log[i].at - log[i - 1].at, pause) << "write " << i;
  }
}

}  // namespace

TEST_F(PllHwdTest, PatternBitsAreSpreadOverTwoRegisters) {
  // Register 1: pattern bits 4..0 in 7..3 and 13..11 in 2..0; register 2:
  // bits 10..5 in 5..0.
  const struct {
    unsigned int pattern;
    unsigned char r1;
    unsigned char r2;
  } cases[] = {{0x3FFF, 0xFF, 0x3F}, {0x0801, 0x09, 0x00}, {0x0000, 0x00, 0x00},
               {0x07FF, 0xF8, 0x3F}, {0x2AAA, 0x55, 0x15}, {0x3800, 0x07, 0x00}, {0x0020, 0x00, 0x01}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    m_engine->clearLog();
    ASSERT_EQ(0u, m_chip->writePattern(c.pattern).getRc());
    EXPECT_EQ((std::vector<Transfer>{{'W', 1, {c.r1, c.r2}}}), m_engine->log);
    unsigned int pattern = 0xFFFFFFFF;
    ASSERT_EQ(0u, m_chip->readPattern(pattern).getRc());
    EXPECT_EQ(c.pattern, pattern);
  }
  // Bits 7..6 of register 2 are not part of the pattern.
  m_engine->regs[1] = 0x09;
  m_engine->regs[2] = 0xC0;
  unsigned int pattern = 0;
  ASSERT_EQ(0u, m_chip->readPattern(pattern).getRc());
  EXPECT_EQ(0x0801u, pattern);
}

TEST_F(PllHwdTest, PatternOfMoreThanFourteenBitsWritesNothing) {
  for (unsigned int pattern : {0x4000u, 0x4001u, 0xFFFFFFFFu}) {
    EXPECT_EQ(0x7248u, m_chip->writePattern(pattern).getRcWithoutLogFlag()) << pattern;
  }
  EXPECT_TRUE(m_engine->log.empty());
}

TEST_F(PllHwdTest, SpreadingMovesOneStepAtATime) {
  const struct {
    const char* name;
    unsigned char from;
    SpreadingDirection_t direction;
    unsigned int amount;
    std::vector<unsigned char> steps;
  } cases[] = {
      {"up 3 to down 2", 0x43, kavosc::SPREADING_DOWN, 2, {0x42, 0x41, 0x40, 0x00, 0x20, 0x21, 0x22}},
      {"off to off", 0x00, kavosc::SPREADING_OFF, 0, {}},
      {"off to up 5", 0x00, kavosc::SPREADING_UP, 5, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}},
      {"down 5 to down 2", 0x25, kavosc::SPREADING_DOWN, 2, {0x24, 0x23, 0x22}},
      {"center 2 to off", 0x62, kavosc::SPREADING_OFF, 0, {0x61, 0x60, 0x00}},
      {"up 0 to center 1", 0x40, kavosc::SPREADING_CENTER, 1, {0x00, 0x60, 0x61}},
      {"up 5 to up 5", 0x45, kavosc::SPREADING_UP, 5, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->regs[3] = c.from;
    m_engine->clearLog();
    ASSERT_EQ(0u, m_chip->writeSpreadingMode(c.direction, c.amount).getRc());
    ASSERT_FALSE(m_engine->log.empty());
    EXPECT_EQ((Transfer{'R', 3, {c.from}}), m_engine->log.front());
    EXPECT_EQ(c.steps, spreadingWrites());
    expectStepPauses(m_engine->log);
    SpreadingDirection_t direction = kavosc::SPREADING_CENTER;
    unsigned int amount = 99;
    ASSERT_EQ(0u, m_chip->readSpreadingMode(direction, amount).getRc());
    EXPECT_EQ(c.direction, direction);
    EXPECT_EQ(c.amount, amount);
  }
}

TEST_F(PllHwdTest, SpreadingArgumentsOutOfRangeWriteNothing) {
  const struct {
    unsigned int direction;
    unsigned int amount;
    unsigned int rc;
  } cases[] = {
      {kavosc::SPREADING_UP, 32, 0x7247},
      {kavosc::SPREADING_CENTER, 0xFFFFFFFF, 0x7247},
      {kavosc::SPREADING_OFF, 1, 0x7247},
      {4, 0, 0x7246},
      {0xFFFFFFFF, 31, 0x7246},
      // Both wrong: the amount is checked first.
      {4, 32, 0x7247},
  };
  m_engine->regs[3] = 0x43;
  for (const auto& c : cases) {
    EXPECT_EQ(c.rc, m_chip->writeSpreadingMode(static_cast<SpreadingDirection_t>(c.direction), c.amount)
                        .getRcWithoutLogFlag())
        << c.direction << "/" << c.amount;
  }
  EXPECT_TRUE(m_engine->log.empty());
  EXPECT_EQ(0x43, m_engine->regs[3]);
}

TEST_F(PllHwdTest, FailedSpreadingStepKeepsTheFirstErrorAndFinishesItsPhase) {
  const struct {
    const char* name;
    unsigned char from;
    SpreadingDirection_t direction;
    unsigned int amount;
    int failing;  // the number of the write that fails
    std::vector<unsigned char> attempted;
    unsigned char left;
  } cases[] = {
      // A step down in the old direction fails: the way down, through off
      // and into the new direction is still written, the way up to the new
      // amount is not begun. The chip is left in the new direction without
      // spreading.
      {"while leaving up 3", 0x43, kavosc::SPREADING_DOWN, 2, 1, {0x42, 0x41, 0x40, 0x00, 0x20}, 0x20},
      // The direction change itself fails: the chip stays off.
      {"at the direction change", 0x00, kavosc::SPREADING_UP, 5, 0, {0x40}, 0x00},
      // A step towards the new amount fails: the steps after it are still
      // written, so the chip reaches the amount once the bus recovers.
      {"on the way to up 5", 0x00, kavosc::SPREADING_UP, 5, 2, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}, 0x45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_engine->regs[3] = c.from;
    m_engine->clearLog();
    m_engine->failWriteNumber = c.failing;
    EXPECT_EQ(m_engine->failCode, m_chip->writeSpreadingMode(c.direction, c.amount).getRcWithoutLogFlag());
    EXPECT_EQ(c.attempted, spreadingWrites());
    EXPECT_EQ(c.left, m_engine->regs[3]);
  }
  // A failed read of register 3 writes nothing.
  m_engine->clearLog();
  m_engine->failNextRead = 0x70016;
  EXPECT_EQ(0x70016u, m_chip->writeSpreadingMode(kavosc::SPREADING_UP, 1).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
}

TEST_F(PllHwdTest, OtherCallsWaitForAWholeSpreadingChange) {
  // From up 31 to center 31: 31 steps down, off, center, 31 steps up.
  m_engine->regs[3] = 0x5F;
  std::thread change([this] { EXPECT_EQ(0u, m_chip->writeSpreadingMode(kavosc::SPREADING_CENTER, 31).getRc()); });
  // Once the change has begun, another call of the same chip.
  while (m_engine->transfers == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  unsigned int pattern = 0;
  EXPECT_EQ(0u, m_chip->readPattern(pattern).getRc());
  change.join();
  ASSERT_EQ(66u, m_engine->log.size());
  EXPECT_EQ(64u, spreadingWrites().size());
  EXPECT_EQ((Transfer{'R', 1, {0x00, 0x00}}), m_engine->log.back());
  EXPECT_EQ(0x7F, m_engine->regs[3]);
}

TEST_F(PllHwdTest, SpreadingIsReadFromRegisterThree) {
  const struct {
    unsigned char reg;
    SpreadingDirection_t direction;
    unsigned int amount;
  } cases[] = {{0x00, kavosc::SPREADING_OFF, 0},     {0x3F, kavosc::SPREADING_DOWN, 31},
               {0x45, kavosc::SPREADING_UP, 5},      {0x7F, kavosc::SPREADING_CENTER, 31},
               {0x9A, kavosc::SPREADING_OFF, 26},    {0xC1, kavosc::SPREADING_UP, 1}};
  for (const auto& c : cases) {
    m_engine->regs[3] = c.reg;
    SpreadingDirection_t direction = kavosc::SPREADING_CENTER;
    unsigned int amount = 99;
    ASSERT_EQ(0u, m_chip->readSpreadingMode(direction, amount).getRc());
    EXPECT_EQ(c.direction, direction) << static_cast<int>(c.reg);
    EXPECT_EQ(c.amount, amount) << static_cast<int>(c.reg);
  }
}

TEST_F(PllHwdTest, ErrorFlagsAndTheirReset) {
  const struct {
    unsigned char reg;
    std::set<unsigned int> types;
  } cases[] = {{0x00, {}}, {0x01, {0}}, {0x02, {1}}, {0x03, {0, 1}}, {0xFC, {}}, {0xFE, {1}}};
  for (const auto& c : cases) {
    m_engine->regs[4] = c.reg;
    kavstl::set<PllHwdInterface::PllErrorType_t> flags;
    flags.insert(PllHwdInterface::PLL_ERROR_0);  // cleared first
    flags.insert(PllHwdInterface::PLL_ERROR_1);
    ASSERT_EQ(0u, m_chip->readErrorFlags(flags).getRc());
    EXPECT_EQ(c.types, std::set<unsigned int>(flags.begin(), flags.end())) << static_cast<int>(c.reg);
  }

  // The flags clear when their bits are written back by an interrupt reset.
  m_engine->readOnly = {4};
  m_engine->onResetIrq = [this](unsigned int offset, const std::vector<unsigned char>& data) {
    for (size_t i = 0; i < data.size(); ++i) m_engine->regs[offset + i] &= static_cast<unsigned char>(~data[i]);
  };
  m_engine->regs[4] = 0xF3;
  m_engine->clearLog();
  ASSERT_EQ(0u, m_chip->resetAllErrorFlags().getRc());
  EXPECT_EQ((std::vector<Transfer>{{'I', 4, {0x03}}}), m_engine->log);
  kavstl::set<PllHwdInterface::PllErrorType_t> flags;
  ASSERT_EQ(0u, m_chip->readErrorFlags(flags).getRc());
  EXPECT_TRUE(flags.empty());
  EXPECT_EQ(0xF0, m_engine->regs[4]);
}

TEST_F(PllHwdTest, RegisterBufferHoldsRegistersOneToFour) {
  for (unsigned int i = 1; i <= 5; ++i) m_engine->regs[i] = static_cast<unsigned char>(0xA0 + i);
  const struct {
    unsigned int size;
    unsigned int rc;
    unsigned int length;
  } cases[] = {{0, 0x733B, 0}, {3, 0x733B, 0}, {4, 0, 4}, {7, 0, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    m_engine->clearLog();
    std::vector<unsigned char> buffer(c.size + 1, 0xEE);
    unsigned int length = c.size;
    EXPECT_EQ(c.rc, m_chip->getRegister(buffer.data(), length).getRcWithoutLogFlag());
    EXPECT_EQ(c.length, length);
    // The buffer's own bytes are zeroed, then filled with what was read.
    std::vector<unsigned char> expected(c.size, 0);
    for (unsigned int i = 0; i < c.length; ++i) expected[i] = static_cast<unsigned char>(0xA1 + i);
    expected.push_back(0xEE);
    EXPECT_EQ(expected, buffer);
    EXPECT_EQ(c.rc == 0 ? 1u : 0u, m_engine->log.size());
  }
  m_engine->failNextRead = 0x70005;
  unsigned char buffer[4];
  unsigned int length = sizeof buffer;
  EXPECT_EQ(0x70005u, m_chip->getRegister(buffer, length).getRcWithoutLogFlag());
  EXPECT_EQ(0u, length);
}

TEST_F(PllHwdTest, RegisterDumps) {
  const unsigned char regs[4] = {0x09, 0x3F, 0x45, 0x02};
  for (unsigned int i = 0; i < 4; ++i) m_engine->regs[1 + i] = regs[i];
  EXPECT_EQ(
      "SlodId: 0x00000000, I2CBus: 2, DeviceAddress: 0xB0\n"
      "Register 0: 0x09\nRegister 1: 0x3F\nRegister 2: 0x45\nRegister 3: 0x02\n",
      m_chip->registerDumpAsString());
  std::ostringstream xml;
  m_chip->dumpXmlHwRegisters(xml);
  EXPECT_EQ(
      "<class className=\"RegisterContent of PllHwdIcs842S02\">\n"
      "<parameter name=\"Register 0\" value=\"0x09\"/>\n"
      "<parameter name=\"Register 1\" value=\"0x3F\"/>\n"
      "<parameter name=\"Register 2\" value=\"0x45\"/>\n"
      "<parameter name=\"Register 3\" value=\"0x02\"/>\n"
      "</class>\n",
      xml.str());

  // Switched off, the chip is not addressed: the dumps carry the code.
  ASSERT_EQ(0u, m_chip->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRc());
  m_engine->clearLog();
  EXPECT_EQ("SlodId: 0x00000000, I2CBus: 2, DeviceAddress: 0xB0\nRegisters not readable: rc=0x00007236\n",
            m_chip->registerDumpAsString());
  std::ostringstream failed;
  m_chip->dumpXmlHwRegisters(failed);
  EXPECT_EQ(
      "<class className=\"RegisterContent of PllHwdIcs842S02\">\n"
      "<parameter name=\"Reading Device Registers failed with rc:\" value=\"0x00007236\"/>\n"
      "</class>\n",
      failed.str());
  EXPECT_TRUE(m_engine->log.empty());
}

TEST_F(PllHwdTest, PowerStepsSwitchTheChipsSupply) {
  unsigned int pattern = 0;
  ASSERT_EQ(0u, m_chip->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRc());
  const std::vector<std::function<ErrorData()>> calls = {
      [&] { return m_chip->readPattern(pattern); },
      [&] { return m_chip->writePattern(1); },
      [&] { return m_chip->writeSpreadingMode(kavosc::SPREADING_UP, 1); },
      [&] { return m_chip->resetAllErrorFlags(); },
  };
  for (const auto& call : calls) EXPECT_EQ(0x7236u, call().getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
  ASSERT_EQ(0u, m_chip->switchForPwrCtrl(0, kav::sid::STATE_ON).getRc());
  EXPECT_EQ(0u, m_chip->readPattern(pattern).getRc());
  EXPECT_EQ(0x7002u, m_chip->switchForPwrCtrl(0, kav::sid::SEQUENCE_TYPE_OTHER).getRcWithoutLogFlag());

  KavPtr<PllHwdIcs842S02> always = makeChip("ALWAYS_SUPPLIED");
  EXPECT_EQ(0x7005u, always->switchForPwrCtrl(0, kav::sid::STATE_OFF).getRcWithoutLogFlag());
  EXPECT_EQ(0u, always->readPattern(pattern).getRc());
}
