// The PLL's speed port and pattern store over a PLL driver on an engine
// that holds the chip's registers and a state table that keeps any field:
// linking, the table as the record and the chip programmed only while the
// FRU is active, the restore at init step 11, the power steps, cycle-time
// writes that keep the current range, spreading amounts checked against
// the windows, and the redundancy chip's divider chosen through its
// converter.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "kav/clock/speed/PllPatternAccessDeviceBased.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/clockchips/PllHwdIcs842S02.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "tests/clock/SpeedTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"

using chiptest::RegisterEngine;

namespace {

const std::string& text(unsigned int id) { return get_string_by_id(id); }

// A load signal that records its switching.
class Load : public DioHwrInterface {
 public:
  std::vector<std::string> calls;
  ErrorData reconfigure(dioMode::DioMode_t) override { return note("reconfigure"); }
  ErrorData read(dioState::DioState_t& state) override {
    state = dioState::DIO_STATE_OFF;
    return note("read");
  }
  ErrorData on() override { return note("on"); }
  ErrorData off() override { return note("off"); }
  ErrorData blink(unsigned int) override { return note("blink"); }
  ErrorData enableIrq(dioState::DioState_t) override { return note("arm"); }
  ErrorData disableIrq() override { return note("disarm"); }
  ErrorData resetIrqCondition() override { return note("reset"); }
  unsigned int getOnIrqId() override { return 0; }
  unsigned int getOffIrqId() override { return 0; }
  unsigned int getLogicalId() const override { return 0; }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return note("switch"); }

 private:
  ErrorData note(const char* call) {
    calls.push_back(call);
    return ErrorData();
  }
};

class PatternAccessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_engine = m_rig.engine;
    BaseErrorData rc;
    m_chip = m_rig.addChip<PllHwdIcs842S02>(
        chiptest::chipElement("PllHwdIcs842S02", "SpeedTestPll", "0", "ALWAYS_SUPPLIED", "0xD4"), rc);
    ASSERT_EQ(0u, rc.getRc());
    // The chip's reset pattern 0x0A80.
    m_engine->regs[1] = 0x01;
    m_engine->regs[2] = 0x14;
    m_table = KavPtr<speedtest::MemoryStateTable>(new speedtest::MemoryStateTable());
    m_table->setInstanceId(get_id_by_string("SpeedTestFruState"));
    cardstest::link(m_rig.container.getRawPointer(), m_table.getRawPointer());
    m_table->setActivated(true);
    m_field = get_id_by_string("PllSpeedPattern");
    build(true, true, true);
    m_engine->clearLog();
  }

  // The speed access with its converter (the card's configured one) and
  // pattern access (with the children asked for), linked as at step 3.
  void build(bool withTable, bool withChip, bool withLoad, bool withConverter = true, bool withAccess = true) {
    m_speed = KavPtr<PllSpeedAccessPatternBased>(new PllSpeedAccessPatternBased());
    std::unique_ptr<BinaryReaderNode> speedNode(
        cardstest::element("PllSpeedAccessPatternBased", {{text(kav::sid::SPEED_XTAL_FREQUENCY_MHZ), "25"}}));
    EXPECT_EQ(0u, m_speed->setAttributes(AttributeInfo(nullptr, speedNode.get(), nullptr)).getRc());
    cardstest::link(m_rig.container.getRawPointer(), m_speed.getRawPointer());
    if (withConverter)
      speedtest::buildConverter(m_speed.getRawPointer(),
                                speedtest::findNode(speedtest::cardConfig(), "OscCardPllConverter"));
    m_access = KavPtr<PllPatternAccessDeviceBased>(new PllPatternAccessDeviceBased());
    std::unique_ptr<BinaryReaderNode> node(cardstest::element(
        "PllPatternAccessDeviceBased", {{text(kav::sid::INSTANCE_NAME), "SpeedTestPatternAccess"},
                                        {text(kav::sid::SPEED_STATE_TABLE_FIELD), "PllSpeedPattern"},
                                        {text(kav::sid::SPEED_DEFAULT_PATTERN), "0x0A80"}}));
    EXPECT_EQ(0u, m_access->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    if (withAccess) cardstest::link(m_speed.getRawPointer(), m_access.getRawPointer());
    else cardstest::link(m_rig.container.getRawPointer(), m_access.getRawPointer());
    if (withTable)
      chiptest::addLink<FruStateTableLink>(m_access.getRawPointer(), m_table->getInstanceId(), m_rig.container);
    if (withChip)
      chiptest::addLink<PllHwdInterfaceLink>(m_access.getRawPointer(), m_chip->getInstanceId(), m_rig.container);
    if (withLoad) {
      m_load = KavPtr<Load>(new Load());
      m_load->setHidden(true);
      m_load->setInstanceId(get_id_by_string("SpeedTestLoad"));
      cardstest::link(m_access.getRawPointer(), m_load.getRawPointer());
    }
    m_accessLinkRc = m_access->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag();
    m_speedLinkRc = m_speed->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag();
  }

  unsigned int chipPattern() const {
    return ((m_engine->regs[1] & 7u) << 11) | (m_engine->regs[1] >> 3) | ((m_engine->regs[2] & 0x3Fu) << 5);
  }
  void setChipPattern(unsigned int p) {
    m_engine->regs[1] = static_cast<unsigned char>(((p & 0x3800u) >> 11) | ((p & 0xFFu) << 3));
    m_engine->regs[2] = static_cast<unsigned char>((p & 0x7E0u) >> 5);
  }
  std::vector<unsigned char> stored() { return m_table->fields[m_field]; }
  void store(unsigned int p) {
    m_table->fields[m_field] = {static_cast<unsigned char>(p >> 24), static_cast<unsigned char>(p >> 16),
                                static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(p)};
  }
  unsigned int patternWrites() const {
    unsigned int n = 0;
    for (const RegisterEngine::Transfer& t : m_engine->writes())
      if (t.offset == 1) ++n;
    return n;
  }

  chiptest::ChipRig m_rig;
  KavPtr<RegisterEngine> m_engine;
  KavPtr<PllHwdIcs842S02> m_chip;
  KavPtr<speedtest::MemoryStateTable> m_table;
  KavPtr<PllSpeedAccessPatternBased> m_speed;
  KavPtr<PllPatternAccessDeviceBased> m_access;
  KavPtr<Load> m_load;
  unsigned int m_field = 0;
  unsigned int m_accessLinkRc = 0;
  unsigned int m_speedLinkRc = 0;
};

}  // namespace

TEST_F(PatternAccessTest, LinkingFindsEveryChildAndNamesEachMissingOne) {
  EXPECT_EQ(0u, m_accessLinkRc);
  EXPECT_EQ(0u, m_speedLinkRc);
  EXPECT_TRUE(m_access->getFruStateTable() == m_table);
  EXPECT_TRUE(m_access->getHwdInterface() == m_chip);
  EXPECT_TRUE(m_access->getLoadSignal() == m_load);
  EXPECT_TRUE(m_speed->getPatternAccess() == m_access);
  EXPECT_EQ(25000u, m_speed->getInputFrequencyInKhz());
  EXPECT_EQ(m_field, m_access->getStateTableSpeedFieldId());
  EXPECT_EQ(0x0A80u, m_access->getDefaultPattern());
  build(false, true, false);
  EXPECT_EQ(0x7002u, m_accessLinkRc);  // no state table link
  build(true, false, false);
  EXPECT_EQ(0x7002u, m_accessLinkRc);  // no PLL link
  unsigned int bits = 0;
  EXPECT_EQ(0x7000u, m_access->readPatternFromHardware(bits).getRcWithoutLogFlag());
  build(true, true, false, false, true);
  EXPECT_EQ(0u, m_accessLinkRc);
  EXPECT_EQ(0x7002u, m_speedLinkRc);  // no converter
  unsigned int ct = 0;
  EXPECT_EQ(0x7002u, m_speed->readSpeed(ct).getRcWithoutLogFlag());
  build(true, true, false, true, false);
  EXPECT_EQ(0x7002u, m_speedLinkRc);  // no pattern access
  EXPECT_EQ(0x7002u, m_speed->writeSpeed(7500u).getRcWithoutLogFlag());
  m_speed->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_TRUE(m_speed->getSpeedPatternConverter() == nullptr);
}

TEST_F(PatternAccessTest, AnEmptyTableReadsAsTheDefaultPattern) {
  unsigned int bits = 0;
  ASSERT_EQ(0u, m_access->readPattern(bits).getRc());
  EXPECT_EQ(0x0A80u, bits);
  unsigned int ct = 0;
  ASSERT_EQ(0u, m_speed->readSpeed(ct).getRc());
  EXPECT_EQ(1000u, ct);
  store(0x2D55);
  ASSERT_EQ(0u, m_speed->readPattern(bits).getRc());
  EXPECT_EQ(0x2D55u, bits);
  ASSERT_EQ(0u, m_speed->readSpeed(ct).getRc());
  EXPECT_EQ(7502u, ct);
  EXPECT_TRUE(m_engine->log.empty());  // the chip is not asked
}

TEST_F(PatternAccessTest, WritingACycleTimeRecordsThePatternAndProgramsAnActiveChip) {
  ASSERT_EQ(0u, m_speed->writeSpeed(7500u).getRc());
  EXPECT_EQ((std::vector<unsigned char>{0x00, 0x00, 0x2D, 0x55}), stored());
  EXPECT_EQ(0x2D55u, chipPattern());
  // Register 3 read for the spreading, then registers 1..2 in one write.
  ASSERT_EQ(1u, m_engine->writes().size());
  EXPECT_EQ((std::vector<unsigned char>{0xAD, 0x2A}), m_engine->writes()[0].data);
  unsigned int ct = 0;
  ASSERT_EQ(0u, m_speed->readSpeed(ct).getRc());
  EXPECT_EQ(7502u, ct);
}

TEST_F(PatternAccessTest, ACycleTimeThatFitsTheCurrentRangeKeepsIt) {
  // From the default 0x0A80 (M 1): 900 ps fits M 1 though M 2 comes first.
  ASSERT_EQ(0u, m_speed->writeSpeed(900u).getRc());
  EXPECT_EQ(0x0AC7u, chipPattern());
  // From M 5 (133 MHz), which 1000 ps does not fit: the first range that
  // does, M 2.
  ASSERT_EQ(0u, m_speed->writeSpeed(7500u).getRc());
  ASSERT_EQ(0u, m_speed->writeSpeed(1000u).getRc());
  EXPECT_EQ(0x1500u, chipPattern());
  // And then 900 ps stays in M 2.
  ASSERT_EQ(0u, m_speed->writeSpeed(900u).getRc());
  EXPECT_EQ(0x158Eu, chipPattern());
  // A cycle time no range gives: 0x7244, nothing written.
  m_engine->clearLog();
  EXPECT_EQ(0x7244u, m_speed->writeSpeed(100u).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  PllSpeedPattern target, current;
  ASSERT_EQ(0u, m_speed->readSpeed(current).getRc());
  EXPECT_EQ(0x7244u, m_speed->convertCycleTimeToPllBits(100u, target, current).getRcWithoutLogFlag());
  EXPECT_FALSE(target.isInit());
}

TEST_F(PatternAccessTest, AnInactiveFruGetsOnlyTheTableAndTheChipFollowsAtRestoreAndPowerStep) {
  m_table->setActivated(false);
  ASSERT_EQ(0u, m_speed->writeSpeed(7500u).getRc());
  EXPECT_EQ((std::vector<unsigned char>{0x00, 0x00, 0x2D, 0x55}), stored());
  EXPECT_TRUE(m_engine->log.empty());
  EXPECT_EQ(0x0A80u, chipPattern());
  // Init step 11: the table's pattern differs from the chip's: written.
  ASSERT_EQ(0u, m_access->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_EQ(0x2D55u, chipPattern());
  // Again: the chip holds it, nothing written.
  m_engine->clearLog();
  ASSERT_EQ(0u, m_access->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_EQ(0u, patternWrites());
  // Power step 339: load off, the table's pattern to the chip.
  setChipPattern(0x0A80);
  ASSERT_EQ(0u, m_access->switchForPwrCtrl(kav::sid::PLL_PATTERN_SEQUENCE, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(0x2D55u, chipPattern());
  EXPECT_EQ((std::vector<std::string>{"off"}), m_load->calls);
  ASSERT_EQ(0u, m_access->switchForPwrCtrl(kav::sid::PLL_PATTERN_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_EQ((std::vector<std::string>{"off", "on"}), m_load->calls);
}

TEST_F(PatternAccessTest, AnEmptyTableGetsTheDefaultPatternAtPowerOnAndTheChipIsLeftAlone) {
  setChipPattern(0x1500);
  ASSERT_EQ(0u, m_access->switchForPwrCtrl(kav::sid::PLL_PATTERN_SEQUENCE, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ((std::vector<unsigned char>{0x00, 0x00, 0x0A, 0x80}), stored());
  EXPECT_EQ(0u, patternWrites());
  EXPECT_EQ(0x1500u, chipPattern());
  // Init step 11 with an empty table does nothing either.
  m_table->fields.erase(m_field);
  ASSERT_EQ(0u, m_access->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_TRUE(m_engine->log.empty());
  // Unknown sequence or step.
  EXPECT_EQ(0x7002u, m_access->switchForPwrCtrl(kav::sid::CLOCK_POWER_SEQUENCE, kav::sid::STATE_OFF).getRcWithoutLogFlag());
  EXPECT_EQ(0x7002u, m_access->switchForPwrCtrl(kav::sid::PLL_PATTERN_SEQUENCE, kav::sid::SEQUENCE_TYPE_OTHER).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<std::string>{"off"}), m_load->calls);
}

TEST_F(PatternAccessTest, ARestoreWhoseChipReadFailsStillWritesAndReportsTheRead) {
  store(0x2D55);
  m_engine->failNextRead = 0x70005;
  EXPECT_EQ(0x70005u, m_access->init(initSequence::INIT_ACTIVATED_HW).getRcWithoutLogFlag());
  EXPECT_EQ(0x2D55u, chipPattern());
}

TEST_F(PatternAccessTest, AFailingChipWriteLeavesTheNewPatternInTheTableAndIsReturned) {
  m_engine->failWriteNumber = 0;
  EXPECT_EQ(0x70005u, m_speed->writeSpeed(7500u).getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<unsigned char>{0x00, 0x00, 0x2D, 0x55}), stored());
  EXPECT_EQ(0x0A80u, chipPattern());
  // A failing table write is returned too; the chip is still programmed
  // (the Part writes both).
  m_engine->clearLog();
  m_table->writeFailure = 0x7260;
  EXPECT_EQ(0x7260u, m_access->writePattern(0x1500).getRcWithoutLogFlag());
  EXPECT_EQ(0x1500u, chipPattern());
}

TEST_F(PatternAccessTest, SpreadingIsReadOnlyFromAnActiveFru) {
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_UP;
  unsigned int amount = 9;
  m_engine->regs[3] = 0x43;
  ASSERT_EQ(0u, m_access->readSpreadingMode(direction, amount).getRc());
  EXPECT_EQ(kavosc::SPREADING_UP, direction);
  EXPECT_EQ(3u, amount);
  bool enabled = false;
  ASSERT_EQ(0u, m_speed->isSpreadingEnabled(enabled).getRc());
  EXPECT_TRUE(enabled);
  m_table->setActivated(false);
  EXPECT_EQ(0x7018u, m_access->readSpreadingMode(direction, amount).getRcWithoutLogFlag());
  EXPECT_EQ(0u, m_speed->isSpreadingEnabled(enabled).getRc());
  EXPECT_FALSE(enabled);
  // Another read failure stops a speed write.
  m_table->setActivated(true);
  m_engine->clearLog();
  m_engine->failNextRead = 0x70005;
  EXPECT_EQ(0x70005u, m_speed->writeSpeed(7500u).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  EXPECT_TRUE(stored().empty());
  // Without a chip: 0x7000.
  build(true, false, false);
  EXPECT_EQ(0x7000u, m_access->readSpreadingMode(direction, amount).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, m_access->writeSpreadingMode(kavosc::SPREADING_OFF, 0).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, m_access->writePatternToHardware(0x0A80).getRcWithoutLogFlag());
}

TEST_F(PatternAccessTest, WithoutATableNothingIsRecorded) {
  build(false, true, false);
  unsigned int bits = 77;
  EXPECT_EQ(0x7000u, m_access->readPatternFromFruStateTable(bits).getRcWithoutLogFlag());
  EXPECT_EQ(0u, bits);
  EXPECT_EQ(0x7000u, m_access->writePatternToFruStateTable(0x0A80).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, m_access->writePattern(0x1500).getRcWithoutLogFlag());
  EXPECT_EQ(0x0A80u, chipPattern());
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int amount = 0;
  EXPECT_EQ(0x7000u, m_access->readSpreadingMode(direction, amount).getRcWithoutLogFlag());
}

TEST_F(PatternAccessTest, SpreadingAmountsAreCheckedAgainstTheWindowsBeforeTheChipIsAsked) {
  // Near the top of the VCO window: M 1, N 2040.
  store(0x0800 | 2040);
  // 0.5 % is 10 counts: up passes the window, down and center do not
  // reach it (center checks the way down and back to N only).
  EXPECT_EQ(0x7242u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_UP, 5).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  ASSERT_EQ(0u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_CENTER, 1).getRc());  // 2 counts
  EXPECT_EQ(0x62, m_engine->regs[3]);
  // Near the bottom: M 1, N 515: center reaches below the window.
  store(0x0800 | 515);
  m_engine->clearLog();
  EXPECT_EQ(0x7242u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_CENTER, 10).getRcWithoutLogFlag());
  EXPECT_EQ(0x7242u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_DOWN, 10).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  // The pattern itself is never written.
  EXPECT_EQ((std::vector<unsigned char>{0x00, 0x00, 0x0A, 0x03}), stored());
  // 3 % of N 1365 is 41 counts, inside the windows: the chip refuses an
  // amount above 31.
  store(0x2D55);
  EXPECT_EQ(0x7247u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_DOWN, 30).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  // Off checks nothing; a zero amount is allowed.
  ASSERT_EQ(0u, m_speed->writeSpreadingPercentage(kavosc::SPREADING_OFF, 0).getRc());
  EXPECT_EQ(0x00, m_engine->regs[3]);
}

TEST_F(PatternAccessTest, DumpShowsTheDefaultPatternAndTheChipWhileActive) {
  std::ostringstream active;
  m_access->dumpXml(active);
  EXPECT_NE(std::string::npos, active.str().find("\"m_defaultPattern\" value=\"0xA80\"")) << active.str();
  EXPECT_NE(std::string::npos, active.str().find("Register")) << active.str();
  m_table->setActivated(false);
  std::ostringstream inactive;
  m_access->dumpXml(inactive);
  EXPECT_EQ(std::string::npos, inactive.str().find("Register")) << inactive.str();
  std::ostringstream speed;
  m_speed->dumpXml(speed);
  EXPECT_NE(std::string::npos, speed.str().find("\"m_fXtalMHz\" value=\"25\"")) << speed.str();
  EXPECT_NE(std::string::npos, speed.str().find("PllRangeDiv32")) << speed.str();
  EXPECT_NE(std::string::npos, speed.str().find("value=\"0x2800\"")) << speed.str();
}
