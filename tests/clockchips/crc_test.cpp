// Crc and its output controls over a chip on a register engine and alarm
// lines that record what is done to them: linking, the power-on set-up and
// the modes with their first errors, the status, the alarm handlers (report,
// arm or hold, the re-arm job) and the output groups' remembered switch.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kav/clockchips/Crc.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/clockchips/OutputControlHwrCrc.h"
#include "kav/events/DioEvent.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clock/SpeedTestSupport.h"
#include "tests/clockchips/CrcTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"
#include "tests/clockchips/RecordingDioLine.h"
#include "tests/support/RecordingLogSink.h"

using chiptest::RegisterEngine;
using cardstest::element;

namespace {

const std::string& text(unsigned int id) { return get_string_by_id(id); }

// An alarm line or the reset line.
typedef chiptest::RecordingDioLine Line;

class CrcTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_engine = m_rig.engine;
    m_engine->readOnly = {8, 9, 10};
    BaseErrorData rc;
    m_chip = m_rig.addChip<CrcHwdIcs872Sxx>(crctest::chipElement("3", "9", "ALWAYS_SUPPLIED"), rc);
    ASSERT_EQ(0u, rc.getRc());
    m_chip->setInstanceId(get_id_by_string("CrcTestChip"));
  }
  void TearDown() override {
    if (m_crc != nullptr) m_crc->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  }

  // A Crc with its chip link, its three lines unless left out, and output
  // groups by name and mask; linked as at step 3.
  KavPtr<Crc> makeCrc(const std::vector<std::pair<const char*, const char*>>& outputs,
                      std::initializer_list<std::pair<kavstl::string, kavstl::string>> attributes = {
                          {"bandwidthMode1", "1"}, {"bandwidthMode2", "2"}, {"bandwidthMode3", "1"},
                          {"bandwidthOther", "1"}},
                      bool withLines = true) {
    m_crc = KavPtr<Crc>(new Crc());
    m_crc->setInstanceId(get_id_by_string("CrcUnderTest"));
    std::unique_ptr<BinaryReaderNode> node(element("Crc", attributes));
    EXPECT_EQ(0u, m_crc->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    cardstest::link(m_rig.container.getRawPointer(), m_crc.getRawPointer());
    chiptest::addLink<CrcHwdInterfaceLink>(m_crc.getRawPointer(), m_chip->getInstanceId(), m_rig.container);
    if (withLines) {
      // The card's configured converter (its divider bands).
      speedtest::buildConverter(m_crc.getRawPointer(),
                                speedtest::findNode(speedtest::cardConfig(), "OscCardCrcConverter"));
      m_reset = addLine(kav::sid::CRC_MASTER_RESET);
      m_err = addLine(kav::sid::CRC_ERROR_SIGNAL);
      m_irq = addLine(kav::sid::CRC_IRQ_SIGNAL);
    }
    for (const auto& o : outputs) m_outputs.push_back(addOutput(m_crc.getRawPointer(), o.first, o.second));
    return m_crc;
  }

  KavPtr<Line> addLine(unsigned int name) {
    KavPtr<Line> line(new Line());
    line->setInstanceId(name);
    line->setHidden(true);
    cardstest::link(m_crc.getRawPointer(), line.getRawPointer());
    return line;
  }

  KavPtr<OutputControlHwrCrc> addOutput(QueryBase* owner, const char* name, const char* mask,
                                        unsigned int chipName = 0) {
    KavPtr<OutputControlHwrCrc> output(new OutputControlHwrCrc());
    std::unique_ptr<BinaryReaderNode> node(
        element("OutputControlHwrCrc", {{text(kav::sid::INSTANCE_NAME), name}, {text(kav::sid::OUTPUT_MASK), mask}}));
    EXPECT_EQ(0u, output->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    output->setHidden(true);
    cardstest::link(owner, output.getRawPointer());
    chiptest::addLink<CrcHwdInterfaceLink>(output.getRawPointer(), chipName != 0 ? chipName : m_chip->getInstanceId(),
                                           m_rig.container);
    EXPECT_EQ(0u, output->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    return output;
  }

  chiptest::ChipRig m_rig;
  KavPtr<RegisterEngine> m_engine;
  KavPtr<CrcHwdIcs872Sxx> m_chip;
  KavPtr<Crc> m_crc;
  KavPtr<Line> m_reset, m_err, m_irq;
  std::vector<KavPtr<OutputControlHwrCrc>> m_outputs;
};

const std::vector<std::pair<const char*, const char*>> kGroups = {{"OutputsOnAtPowerOn", "0xFF"},
                                                                   {"OutputsOffAtPowerOn", "0x100"}};

}  // namespace

TEST_F(CrcTest, LinkingNamesEveryMissingChild) {
  makeCrc({}, {}, false);
  EXPECT_EQ(0x7002u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  // Without the lines the set-up still programs the chip, reports 0x7000.
  EXPECT_EQ(0x7000u, m_crc->performPowerOnSetup().getRcWithoutLogFlag());
  EXPECT_EQ(0xC0, m_engine->regs[1]);
  EXPECT_EQ(0x7000u, m_crc->enableInterrupt().getRcWithoutLogFlag());
}

TEST_F(CrcTest, PowerOnSetupPulsesTheResetAndSetsChipAndOutputs) {
  makeCrc(kGroups);
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->regs[3] = 0x00;
  m_engine->regs[4] = 0xFF;
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  EXPECT_EQ((std::vector<std::string>{"on", "off"}), m_reset->take());
  EXPECT_EQ(0xC0, m_engine->regs[1]);
  EXPECT_EQ(0xFF, m_engine->regs[3]);
  // Frequency check off, manual mode, input 1, output 8 off; the input
  // disables stay.
  EXPECT_EQ(0x38, m_engine->regs[4]);
  EXPECT_EQ(OutputControlHwrCrc::STATUS_ENABLED, m_outputs[0]->getStatus());
  EXPECT_EQ(OutputControlHwrCrc::STATUS_DISABLED, m_outputs[1]->getStatus());
}

TEST_F(CrcTest, UnknownOutputGroupIsReportedAndTheOthersAreStillSet) {
  makeCrc({{"OutputsOnAtPowerOn", "0x0F"}, {"SomeOtherGroup", "0xF0"}, {"OutputsOffAtPowerOn", "0x100"}});
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->regs[3] = 0xF0;
  m_engine->regs[4] = 0x80;
  EXPECT_EQ(0x7002u, m_crc->performPowerOnSetup().getRcWithoutLogFlag());
  EXPECT_EQ(0xFF, m_engine->regs[3]);  // 0..3 on, 4..7 as they were
  EXPECT_EQ(0x00, m_engine->regs[4] & 0x80);
  EXPECT_EQ(OutputControlHwrCrc::STATUS_NEVER_SWITCHED, m_outputs[1]->getStatus());
}

TEST_F(CrcTest, ModeStepsAllRunAndTheFirstErrorStays) {
  // No bandwidth configured for mode 1: 0 is no bandwidth of the chip.
  makeCrc({}, {{"bandwidthMode2", "2"}});
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->regs[1] = 0x08;
  m_engine->regs[4] = 0x3A;
  m_engine->clearLog();
  EXPECT_EQ(0x7331u, m_crc->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRcWithoutLogFlag());
  EXPECT_EQ(0x08, m_engine->regs[1]);  // bandwidth untouched
  EXPECT_EQ(0x20, m_engine->regs[4]);  // inputs 1, 2 enabled; input 1 selected
  unsigned int resets = 0;
  for (const auto& t : m_engine->log) resets += t.kind == 'I';
  EXPECT_EQ(1u, resets);
  // Mode 2 has its bandwidth; mode 5 does not exist and writes nothing.
  EXPECT_EQ(0u, m_crc->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  EXPECT_EQ(0x08, m_engine->regs[1] & 0x08);
  EXPECT_EQ(0x12, m_engine->regs[4]);
  m_engine->clearLog();
  EXPECT_EQ(0x7254u, m_crc->writeMode(static_cast<kavosc::OscSetMode_t>(5)).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->log.empty());
}

TEST_F(CrcTest, StatusOfTheChip) {
  makeCrc({});
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->regs[4] = 0x10;                  // input 2 disabled
  m_engine->regs[8] = 0x20 | 0x10 | 0x04;    // types 0, 4, 3
  m_engine->regs[9] = 0x01;                  // type 5
  m_engine->regs[10] = 0x10;                 // input 3 in use
  kavosc::CrcStatus_t status;
  ASSERT_EQ(0u, m_crc->readStatus(status, true).getRc());
  EXPECT_TRUE(status.flag);
  EXPECT_EQ(0, status.reserved);
  EXPECT_TRUE(status.error0Present);
  EXPECT_TRUE(status.error4Present);
  const struct {
    bool first, second, disabled, selected;
  } inputs[3] = {{false, true, false, false}, {false, false, true, false}, {true, false, false, true}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(inputs[i].first, status.inputs[i].firstErrorPresent);
    EXPECT_EQ(inputs[i].second, status.inputs[i].secondErrorPresent);
    EXPECT_EQ(inputs[i].disabled, status.inputs[i].disabled);
    EXPECT_EQ(inputs[i].selected, status.inputs[i].selected);
  }
  EXPECT_EQ(0x10, status.registers[3]);   // register 4
  EXPECT_EQ(0x34, status.registers[7]);   // register 8
  EXPECT_EQ(0x10, status.registers[9]);   // register 10
  EXPECT_EQ(0, status.registers[10]);
}

TEST_F(CrcTest, AlarmIsReportedThenArmedAgainOrHeldUntilTheJobFindsItInactive) {
  makeCrc({});
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  testsupport::RecordingLogSink log;
  m_engine->regs[8] = 0x01;  // input 1 lost
  m_engine->onResetIrq = [this](unsigned int, const std::vector<unsigned char>&) { m_engine->regs[8] = 0x00; };

  // A line already gone inactive again: reported, armed again at once.
  m_crc->handleCrcError(DioEvent());
  EXPECT_EQ((std::vector<std::string>{"read", "reset", "arm on"}), m_err->take());
  EXPECT_EQ(0u, m_crc->getHeldLines());
  // The report is logged asynchronously.
  auto reports = [](size_t n) {
    return [n](const std::vector<testsupport::LoggedError>& errors) {
      size_t found = 0;
      for (const auto& e : errors) found += e.rc == 0x7014u;
      return found >= n;
    };
  };
  ASSERT_TRUE(log.waitForErrors(reports(1)));
  ASSERT_EQ(1u, log.errorsWithRc(0x7014u).size());
  EXPECT_EQ("SlotId=0x00000000 - On Crc 'CrcUnderTest' a CrcError HW-Event was detected! \nCurrent Errors: '1'; ",
            log.errorsWithRc(0x7014u)[0].text);

  // Still active: held, not armed; the job, once the line is inactive,
  // resets the chip's flags and arms it.
  m_irq->active = true;
  m_crc->handleCrcInterrupt(DioEvent());
  EXPECT_EQ((std::vector<std::string>{"read"}), m_irq->take());
  EXPECT_EQ(2u, m_crc->getHeldLines());
  m_crc->rearmHeldLines();  // still active: held again
  EXPECT_EQ((std::vector<std::string>{"read"}), m_irq->take());
  EXPECT_EQ(0x00, m_engine->regs[8]);
  m_irq->active = false;
  m_crc->rearmHeldLines();
  EXPECT_EQ((std::vector<std::string>{"read", "reset", "arm on"}), m_irq->take());
  EXPECT_EQ(0u, m_crc->getHeldLines());
  ASSERT_TRUE(log.waitForErrors(reports(2)));
  EXPECT_EQ(2u, log.errorsWithRc(0x7014u).size());
}

TEST_F(CrcTest, ReArmJobRunsUntilTheLineIsReleasedAndStopsWhenInterruptsAreDisabled) {
  makeCrc({});
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_irq->active = true;
  m_crc->handleCrcInterrupt(DioEvent());
  ASSERT_EQ(2u, m_crc->getHeldLines());
  // The job runs after its delay (real time in unit tests) and keeps the
  // line held while it is active.
  std::this_thread::sleep_for(std::chrono::milliseconds(Crc::kRearmDelayMs + 300));
  EXPECT_EQ(2u, m_crc->getHeldLines());
  unsigned int resets = 0;
  for (const auto& t : m_engine->log) resets += t.kind == 'I';
  EXPECT_GE(resets, 1u);
  // Disabling the interrupts ends the holding; nothing is armed afterwards.
  ASSERT_EQ(0u, m_crc->disableInterrupt().getRc());
  EXPECT_EQ(0u, m_crc->getHeldLines());
  m_irq->take();
  m_irq->active = false;
  std::this_thread::sleep_for(std::chrono::milliseconds(Crc::kRearmDelayMs + 300));
  EXPECT_TRUE(m_irq->take().empty());
}

TEST_F(CrcTest, OutputGroupRemembersItsSwitchAndAppliesItWhenTheChipComes) {
  const unsigned int later = get_id_by_string("CrcChipLater");
  KavPtr<OutputControlHwrCrc> group = addOutput(m_rig.container.getRawPointer(), "Group", "0x0C", later);
  m_engine->clearLog();
  // No chip behind the link: the switch is kept, nothing is written.
  EXPECT_EQ(0u, group->disableOutput().getRc());
  EXPECT_EQ(OutputControlHwrCrc::STATUS_DISABLED, group->getStatus());
  EXPECT_TRUE(m_engine->log.empty());
  // The chip arrives: its link finds it and calls back; the switch is made.
  m_engine->regs[3] = 0xFF;
  m_chip->setInstanceId(later);
  for (const KavPtr<QueryBase>& child : group->getHiddenChildren())
    KavPtr<CrcHwdInterfaceLink>(child)->updateLinkTarget();
  group->hwdLinkChanged();
  EXPECT_EQ(0xF3, m_engine->regs[3]);
  // The power steps switch it too; any other position is refused.
  const struct {
    unsigned int position;
    unsigned int rc;
    unsigned char reg3;
  } steps[] = {{kav::sid::STATE_ON, 0, 0xFF},
               {kav::sid::OUTPUT_DISABLED, 0, 0xF3},
               {kav::sid::OUTPUT_ENABLED, 0, 0xFF},
               {kav::sid::STATE_OFF, 0, 0xF3},
               {kav::sid::SEQUENCE_TYPE_OTHER, 0x7013, 0xF3}};
  for (const auto& s : steps) {
    EXPECT_EQ(s.rc, group->switchForPwrCtrl(0, s.position).getRcWithoutLogFlag());
    EXPECT_EQ(s.reg3, m_engine->regs[3]);
  }
}

TEST_F(CrcTest, OutputGroupWithoutChipLinkIsRefusedAtLinking) {
  KavPtr<OutputControlHwrCrc> group(new OutputControlHwrCrc());
  cardstest::link(m_rig.container.getRawPointer(), group.getRawPointer());
  EXPECT_EQ(0x7371u, group->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(0u, group->enableOutput().getRc());
  EXPECT_EQ(OutputControlHwrCrc::STATUS_ENABLED, group->getStatus());
}

// The divider follows the PLL: the configured bands (0: 800 MHz .. 6.4 GHz,
// 1: 400 .. 1600 MHz, ..., 4: 50 .. 200 MHz, 5: 12.5 .. 100 MHz).
TEST_F(CrcTest, DividerPatternIsTheBandCoveringMostOfThePllsRange) {
  makeCrc(kGroups);
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_TRUE(m_crc->getSpeedPatternConverter() != nullptr);
  KavPtr<SpeedPatternConverter> pll = speedtest::buildConverter(
      m_rig.container.getRawPointer(), speedtest::findNode(speedtest::cardConfig(), "OscCardPllConverter"));
  // 7500 ps in the PLL's M 5 range (50 .. 200 MHz): bands 3 (100 .. 400
  // MHz, covers two thirds) and 4 (all of it) hold 133 MHz; band 4 wins.
  PllSpeedPattern slow;
  ASSERT_EQ(0u, pll->initializePllSpeedPatternForPattern(25000, 0x2D55, slow).getRc());
  m_engine->regs[1] = 0xC0;
  ASSERT_EQ(0u, m_crc->switchToBestMatchingRange(0, slow, 0).getRc());
  EXPECT_EQ(0xC4, m_engine->regs[1]);
  PllSpeedPattern current;
  ASSERT_EQ(0u, m_crc->getCurrentFrequencyRange(133301, current).getRc());
  EXPECT_EQ(4u, current.getPllPattern());
  EXPECT_EQ(50000u, current.getMinimalOutputFrequencyInKhz());
  EXPECT_EQ(133301u, current.calculateOutputFrequencyInKhz());
  // 1 GHz from the reset pattern (M 1, 800 MHz .. 3.2 GHz): band 0.
  PllSpeedPattern fast;
  ASSERT_EQ(0u, pll->initializePllSpeedPatternForPattern(25000, 0x0A80, fast).getRc());
  ASSERT_EQ(0u, m_crc->switchToBestMatchingRange(0, fast, 0).getRc());
  EXPECT_EQ(0xC0, m_engine->regs[1]);
  // The unsigned arguments change nothing.
  ASSERT_EQ(0u, m_crc->switchToBestMatchingRange(0xFFFFFFFF, slow, 12345).getRc());
  EXPECT_EQ(0xC4, m_engine->regs[1]);
  // A divider pattern of no band: 0x7245, uninitialised.
  m_engine->regs[1] = 0xC6;
  PllSpeedPattern none;
  EXPECT_EQ(0x7245u, m_crc->getCurrentFrequencyRange(133301, none).getRcWithoutLogFlag());
  EXPECT_FALSE(none.isInit());
}

TEST_F(CrcTest, NoQualifyingBandReturnsTheErrorAndWritesNothing) {
  makeCrc(kGroups);
  ASSERT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  m_engine->clearLog();
  // A PLL pattern of 8 GHz: beyond the chip's input window.
  KavPtr<SpeedPatternConverter> wide = speedtest::makeConverter(
      m_rig.container.getRawPointer(),
      {{"inputFrequencyMinKhz", "1"}, {"inputFrequencyMaxKhz", "4000000000"}, {"vcoFrequencyMaxKhz", "4000000000"},
       {"outputDividerMask", "0xF000"}},
      {{{"value", "0x1000"}, {"outputFrequencyMinKhz", "7000000"}, {"outputFrequencyMaxKhz", "9000000"}}});
  PllSpeedPattern fast;
  ASSERT_EQ(0u, wide->initializePllSpeedPatternForPattern(8000000, 0x1000, fast).getRc());
  EXPECT_EQ(0x7241u, m_crc->switchToBestMatchingRange(0, fast, 0).getRcWithoutLogFlag());
  // 5 MHz: inside no band's window.
  KavPtr<SpeedPatternConverter> low = speedtest::makeConverter(
      m_rig.container.getRawPointer(),
      {{"inputFrequencyMinKhz", "1"}, {"inputFrequencyMaxKhz", "4000000000"}, {"vcoFrequencyMaxKhz", "4000000000"},
       {"outputDividerMask", "0xF000"}},
      {{{"value", "0x1000"}, {"outputFrequencyMinKhz", "1000"}, {"outputFrequencyMaxKhz", "9000"}}});
  PllSpeedPattern slow;
  ASSERT_EQ(0u, low->initializePllSpeedPatternForPattern(5000, 0x1000, slow).getRc());
  EXPECT_EQ(0x7241u, m_crc->switchToBestMatchingRange(0, slow, 0).getRcWithoutLogFlag());
  // Bands that hold its frequency but none of its range (a pattern of 1 GHz
  // whose range says 100 .. 200 kHz): every score is 0, 0x7244.
  KavPtr<SpeedPatternConverter> odd = speedtest::makeConverter(
      m_rig.container.getRawPointer(),
      {{"inputFrequencyMinKhz", "1"}, {"inputFrequencyMaxKhz", "4000000000"}, {"vcoFrequencyMaxKhz", "4000000000"},
       {"outputDividerMask", "0xF000"}},
      {{{"value", "0x1000"}, {"outputFrequencyMinKhz", "100"}, {"outputFrequencyMaxKhz", "200"}}});
  PllSpeedPattern stray;
  EXPECT_EQ(0x7243u, odd->initializePllSpeedPatternForPattern(1000000, 0x1000, stray).getRcWithoutLogFlag());
  ASSERT_TRUE(stray.isInit());
  EXPECT_EQ(0x7244u, m_crc->switchToBestMatchingRange(0, stray, 0).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
  // An uninitialised pattern: 0x700B, nothing written.
  EXPECT_EQ(0x700Bu, m_crc->switchToBestMatchingRange(0, PllSpeedPattern(), 0).getRcWithoutLogFlag());
  EXPECT_TRUE(m_engine->writes().empty());
}
