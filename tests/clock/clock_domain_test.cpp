// ClockDomain over small fakes: a card state table with the domain's
// fields, a PLL device, clock-enable controls and inputs that note what is
// done to them in one journal, a redundancy chip (the real driver and Crc on
// a register engine) and the real speed access, pattern access and PLL error
// monitor. Covered: the type from its id provider, the mode table (CRC
// mode, clock enables, the PLL's spreading), which spreading set-ups start,
// the deselected domain's clock enables, steering, steered cycle times that
// need another PLL or CRC range, a failing PLL write and the record, the
// power steps, the restart in steering mode, and the executors (a failing
// domain among two, codes that do not mark a domain defective, mode 3).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/FruStateTableLink.h"
#include "kav/cards/IdProvider.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/domain/ClockDomainExecutor.h"
#include "kav/clock/speed/FrequencyRange.h"
#include "kav/clock/domain/PllErrorMonitor.h"
#include "kav/clock/speed/PllPatternAccessDeviceBased.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "kav/clock/domain/StartSpreadingExecutor.h"
#include "kav/clock/domain/WriteSpeedExecutor.h"
#include "kav/clock/domain/WriteSpreadingValuesExecutor.h"
#include "kav/clockchips/Crc.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/start/ExecList.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clock/FakeClockStateTable.h"
#include "tests/clockchips/CrcTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"
#include "tests/clockchips/RecordingDioLine.h"

using cardstest::element;
using cardstest::link;
using chiptest::addLink;
using chiptest::RecordingDioLine;

namespace {

typedef std::vector<std::string> Journal;

const std::string& text(unsigned int id) { return get_string_by_id(id); }
unsigned int id(const char* name) { return get_id_by_string(name); }

const unsigned int kPatternField = id("PllSpeedPattern");
const unsigned int kDirectionField = id("SpreadingDirection");
const unsigned int kValueField = id("SpreadingValue");

typedef clocktest::FakeClockStateTable FakeStateTable;


// A PLL: pattern, spreading and flags as the test sets them; writes are
// noted in the journal and can be made to fail.
class FakePll : public PllHwdInterface {
 public:
  Journal* journal = nullptr;
  unsigned int pattern = 0x0A80;
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int amount = 0;
  kavstl::set<PllErrorType_t> flags;
  unsigned int failWrite = 0;  // code of every pattern write
  unsigned int failRead = 0;   // code of every pattern read

  ErrorData readPattern(unsigned int& out) override {
    if (failRead != 0) return ErrorData(ErrorData::NO_OVERWRITE, failRead);
    out = pattern;
    return ErrorData();
  }
  ErrorData writePattern(unsigned int bits) override {
    journal->push_back("pll pattern " + std::to_string(bits));
    if (failWrite != 0) return ErrorData(ErrorData::NO_OVERWRITE, failWrite);
    pattern = bits;
    return ErrorData();
  }
  void dumpXmlHwRegisters(std::ostream&) override {}
  std::string registerDumpAsString() override { return std::string(); }
  ErrorData getRegister(unsigned char* buffer, unsigned int& length) override {
    const unsigned char regs[4] = {0x01, 0x14, 0x00, 0x00};
    for (unsigned int i = 0; i < length && i < 4; ++i) buffer[i] = regs[i];
    length = 4;
    return ErrorData();
  }
  ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& d, unsigned int& a) override {
    d = direction;
    a = amount;
    return ErrorData();
  }
  ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t d, unsigned int a) override {
    journal->push_back("pll spreading " + std::to_string(d) + " " + std::to_string(a));
    if (d > kavosc::SPREADING_CENTER) return ErrorData(ErrorData::NO_OVERWRITE, 0x7246);
    if (a > 31 || (d == kavosc::SPREADING_OFF && a != 0)) return ErrorData(ErrorData::NO_OVERWRITE, 0x7247);
    direction = d;
    amount = a;
    return ErrorData();
  }
  ErrorData readErrorFlags(kavstl::set<PllErrorType_t>& out) override {
    out = flags;
    return ErrorData();
  }
  ErrorData resetAllErrorFlags() override {
    journal->push_back("pll reset flags");
    flags.clear();
    return ErrorData();
  }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
};

// A clock-enable control: notes "<name> <control>" in the journal.
class FakeControl : public PldHwrInterface {
 public:
  Journal* journal = nullptr;
  mutable kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_2;

  ErrorData writeLookupTableControl(kavPld::LookupControl_t value) const override {
    journal->push_back(text(getInstanceId()) + " " + std::to_string(value));
    control = value;
    return ErrorData();
  }
  ErrorData readLookupTableControl(kavPld::LookupControl_t& value) const override {
    value = control;
    return ErrorData();
  }
};

using cardstest::made;

BinaryReaderNode* range(const char* value, const char* divider, const char* minKhz, const char* maxKhz) {
  return element("FrequencyRange", {{text(kav::sid::SPEED_RANGE_VALUE), value},
                                    {text(kav::sid::SPEED_DIVIDER), divider},
                                    {text(kav::sid::SPEED_OUTPUT_FREQUENCY_MIN), minKhz},
                                    {text(kav::sid::SPEED_OUTPUT_FREQUENCY_MAX), maxKhz}});
}

// One card with its clock domain "UnitDomain", like the oscillator card's:
// the PLL runs 25 MHz x N / 16 in range 0x0800 (900..1100 MHz) and
// 25 MHz x N / 64 in range 0x1800 (100..200 MHz); the redundancy chip's
// divider pattern 0 accepts 990..1010 MHz.
class ClockDomainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_container = m_rig.container;
    m_rig.engine->readOnly = {8, 9, 10};
    m_table = add<FakeStateTable>("UnitFruState");
    m_pll = add<FakePll>("UnitPll");
    m_pll->journal = &m_journal;
    made<IdProvider>(m_container.getRawPointer(),
                     element("IdProvider", {{text(kav::sid::INSTANCE_NAME), "UnitDomainTypes"}},
                             {element(text(kav::sid::ID_MAP_ENTRY).c_str(),
                                      {{text(kav::sid::ID_MAP_KEY), "UnitDomain"},
                                       {text(kav::sid::ID_MAP_VALUE), "1"}})}));
    BaseErrorData rc;
    m_chip = m_rig.addChip<CrcHwdIcs872Sxx>(crctest::chipElement("3", "9", "ALWAYS_SUPPLIED"), rc);
    m_chip->setInstanceId(id("UnitCrcChip"));
    m_domain = made<ClockDomain>(m_container.getRawPointer(), domainElement("UnitDomainTypes"));
    ASSERT_EQ(kavosc::CLOCK_DOMAIN_1, m_domain->getClockDomainType());
    QueryBase* domain = m_domain.getRawPointer();
    addLink<FruStateTableLink>(domain, m_table->getInstanceId(), m_container);
    addLink<PllHwdInterfaceLink>(domain, m_pll->getInstanceId(), m_container);
    for (unsigned int name : {kav::sid::PLL_CLK_ENABLE, kav::sid::CRC_CLK_ENABLE}) {
      KavPtr<FakeControl> control(new FakeControl());
      control->journal = &m_journal;
      control->setInstanceId(name);
      control->setHidden(true);
      link(domain, control.getRawPointer());
      KavPtr<RecordingDioLine> input(new RecordingDioLine());
      input->setInstanceId(name);
      input->setHidden(true);
      link(domain, input.getRawPointer());
      (name == kav::sid::PLL_CLK_ENABLE ? m_pllInput : m_crcInput) = input;
    }
    addSpeedAccess(domain);
    addMonitor(domain);
    addCrc(domain);
    ASSERT_EQ(0u, m_domain->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    m_table->setState(kav::FRU_ACTIVATED);
    m_rig.engine->clearLog();
    m_journal.clear();
  }

  BinaryReaderNode* domainElement(const char* provider) {
    return element("ClockDomain", {{text(kav::sid::INSTANCE_NAME), "UnitDomain"},
                                   {text(kav::sid::CLOCK_DOMAIN_TYPE_PROVIDER), provider},
                                   {text(kav::sid::SPREADING_DIRECTION_FIELD), "SpreadingDirection"},
                                   {text(kav::sid::SPREADING_VALUE_FIELD), "SpreadingValue"}});
  }

  template <class T>
  KavPtr<T> add(const char* name) {
    KavPtr<T> object(new T());
    object->setInstanceId(id(name));
    link(m_container.getRawPointer(), object.getRawPointer());
    return object;
  }

  void addSpeedAccess(QueryBase* domain) {
    KavPtr<PllSpeedAccessPatternBased> speed = made<PllSpeedAccessPatternBased>(
        domain, element("PllSpeedAccessPatternBased", {{text(kav::sid::SPEED_XTAL_FREQUENCY_MHZ), "25"}}));
    KavPtr<SpeedPatternConverter> converter = made<SpeedPatternConverter>(
        speed.getRawPointer(), element("SpeedPatternConverter", {{text(kav::sid::SPEED_INPUT_FREQUENCY_MIN), "1000"},
                                                                 {text(kav::sid::SPEED_INPUT_FREQUENCY_MAX), "100000"},
                                                                 {text(kav::sid::SPEED_VCO_FREQUENCY_MIN), "1000000"},
                                                                 {text(kav::sid::SPEED_VCO_FREQUENCY_MAX), "20000000"},
                                                                 {text(kav::sid::SPEED_OUTPUT_DIVIDER_MASK), "0x3800"},
                                                                 {text(kav::sid::SPEED_FEEDBACK_DIVIDER_MASK),
                                                                  "0x07FF"}}));
    made<FrequencyRange>(converter.getRawPointer(), range("0x0800", "16", "900000", "1100000"));
    made<FrequencyRange>(converter.getRawPointer(), range("0x1800", "64", "100000", "200000"));
    KavPtr<PllPatternAccessDeviceBased> access = made<PllPatternAccessDeviceBased>(
        speed.getRawPointer(), element("PllPatternAccessDeviceBased",
                                       {{text(kav::sid::SPEED_STATE_TABLE_FIELD), "PllSpeedPattern"},
                                        {text(kav::sid::SPEED_DEFAULT_PATTERN), "0x0A80"}}));
    addLink<FruStateTableLink>(access.getRawPointer(), m_table->getInstanceId(), m_container);
    addLink<PllHwdInterfaceLink>(access.getRawPointer(), m_pll->getInstanceId(), m_container);
    EXPECT_EQ(0u, converter->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, access->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, speed->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  void addMonitor(QueryBase* domain) {
    m_monitor = made<PllErrorMonitor>(domain, element("PllErrorMonitor", {}));
    addLink<PllHwdInterfaceLink>(m_monitor.getRawPointer(), m_pll->getInstanceId(), m_container);
    m_indicator = KavPtr<RecordingDioLine>(new RecordingDioLine());
    m_indicator->setHidden(true);
    link(m_monitor.getRawPointer(), m_indicator.getRawPointer());
    EXPECT_EQ(0u, m_monitor->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  void addCrc(QueryBase* domain) {
    m_crc = made<Crc>(domain, element("Crc", {{text(kav::sid::CRC_BANDWIDTH_MODE_1), "1"},
                                              {text(kav::sid::CRC_BANDWIDTH_MODE_2), "2"},
                                              {text(kav::sid::CRC_BANDWIDTH_MODE_3), "1"},
                                              {text(kav::sid::CRC_BANDWIDTH_OTHER), "1"}}));
    addLink<CrcHwdInterfaceLink>(m_crc.getRawPointer(), m_chip->getInstanceId(), m_container);
    for (unsigned int name : {kav::sid::CRC_MASTER_RESET, kav::sid::CRC_ERROR_SIGNAL, kav::sid::CRC_IRQ_SIGNAL}) {
      KavPtr<RecordingDioLine> line(new RecordingDioLine());
      line->setInstanceId(name);
      line->setHidden(true);
      link(m_crc.getRawPointer(), line.getRawPointer());
    }
    KavPtr<SpeedPatternConverter> converter = made<SpeedPatternConverter>(
        m_crc.getRawPointer(), element("SpeedPatternConverter", {{text(kav::sid::SPEED_INPUT_FREQUENCY_MIN), "1000"},
                                                                 {text(kav::sid::SPEED_INPUT_FREQUENCY_MAX),
                                                                  "2000000"},
                                                                 {text(kav::sid::SPEED_VCO_FREQUENCY_MIN), "1000"},
                                                                 {text(kav::sid::SPEED_VCO_FREQUENCY_MAX), "2000000"},
                                                                 {text(kav::sid::SPEED_OUTPUT_DIVIDER_MASK), "7"}}));
    made<FrequencyRange>(converter.getRawPointer(), range("0", "1", "990000", "1010000"));
    EXPECT_EQ(0u, converter->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, m_crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  // The journal since the last look, forgotten.
  Journal take() {
    Journal out;
    out.swap(m_journal);
    return out;
  }
  // The journal entries of the clock enables alone, forgotten with the rest.
  Journal enables() {
    Journal out;
    for (const std::string& e : take())
      if (e.compare(0, 3, "Pll") == 0 || e.compare(0, 3, "Crc") == 0) out.push_back(e);
    return out;
  }
  bool wrotePllSpreading(const Journal& journal) const {
    for (const std::string& e : journal)
      if (e.compare(0, 13, "pll spreading") == 0) return true;
    return false;
  }
  bool indicatorArmed() {
    for (const std::string& c : m_indicator->take())
      if (c == "arm on") return true;
    return false;
  }
  PllSpeedPattern current() {
    PllSpeedPattern pattern;
    EXPECT_EQ(0u, m_domain->readPllSpeedPattern(pattern).getRc());
    return pattern;
  }

  chiptest::ChipRig m_rig;
  KavPtr<Container> m_container;
  KavPtr<FakeStateTable> m_table;
  KavPtr<FakePll> m_pll;
  KavPtr<CrcHwdIcs872Sxx> m_chip;
  KavPtr<ClockDomain> m_domain;
  KavPtr<Crc> m_crc;
  KavPtr<PllErrorMonitor> m_monitor;
  KavPtr<RecordingDioLine> m_indicator;
  KavPtr<RecordingDioLine> m_pllInput;
  KavPtr<RecordingDioLine> m_crcInput;
  Journal m_journal;
};

const Journal kEnabled = {"PllClkEnable 1", "CrcClkEnable 1"};
const Journal kDisabled = {"CrcClkEnable 2", "PllClkEnable 2"};

}  // namespace

TEST_F(ClockDomainTest, TypeComesFromTheNamedIdProvider) {
  const struct {
    const char* provider;
    const char* key;  // the instance name the entry is for
    const char* value;
    unsigned int rc;
  } cases[] = {{"Types", "UnitDomain", "4", 0},          {"Missing", "UnitDomain", "1", 0x7000},
               {"Types", "OtherDomain", "1", 0x704C},    {"Types", "UnitDomain", "one", 0x7013},
               {"Types", "UnitDomain", "0", 0x7013}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.provider + std::string(" ") + c.key + " " + c.value);
    KavPtr<Container> card(new Container(KavPtr<QueryBase>()));
    made<IdProvider>(card.getRawPointer(), element("IdProvider", {{text(kav::sid::INSTANCE_NAME), "Types"}},
                                                   {element(text(kav::sid::ID_MAP_ENTRY).c_str(),
                                                            {{text(kav::sid::ID_MAP_KEY), c.key},
                                                             {text(kav::sid::ID_MAP_VALUE), c.value}})}));
    ClockDomain domain;
    std::unique_ptr<BinaryReaderNode> node(domainElement(c.provider));
    EXPECT_EQ(c.rc, domain.setAttributes(AttributeInfo(card.getRawPointer(), node.get(), nullptr)).getRc());
    if (c.rc == 0) {
      EXPECT_EQ(kavosc::CLOCK_DOMAIN_4, domain.getClockDomainType());
    }
  }
}

TEST_F(ClockDomainTest, MissingChildrenAreEachReportedAtLinking) {
  ClockDomain bare;
  EXPECT_EQ(0x7002u, bare.init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  // Without any of them every operation that needs one is 0x7000.
  kavosc::ClockDomainStatus_t status;
  EXPECT_EQ(0x7000u, bare.readStatus(status).getRc());
  EXPECT_EQ(0xFFFFFFFFu, status.pllStatus.cycleTime);
  EXPECT_EQ(0x7000u, bare.startSteeringMode().getRc());
  PllSpeedPattern pattern;
  EXPECT_EQ(0x7000u, bare.readPllSpeedPattern(pattern).getRc());
  EXPECT_EQ(0x7000u, bare.writeMode(kavosc::OSC_SET_MODE_SINGLE).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_SINGLE, bare.getMode());
}

// Each mode on an activated card: the chip's inputs and selection, the
// clock enables (off in mode 0 only), whether the PLL spreads when the
// recorded spreading is started, and whether the interrupts come on.
TEST_F(ClockDomainTest, ModeTable) {
  const struct {
    kavosc::OscSetMode_t mode;
    unsigned char register4;  // bits 5..3 input disables, 1..0 selection
    bool clocksOn;
    bool pllSpreads;
    bool interrupts;
  } cases[] = {{kavosc::OSC_SET_MODE_NONE, 0x30, false, false, false},
               {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0x20, true, true, true},
               {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, 0x12, true, false, true},
               {kavosc::OSC_SET_MODE_SINGLE, 0x30, true, true, true},
               {kavosc::OSC_SET_MODE_OTHER_SINGLE, 0x30, true, false, false}};
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_DOWN, 5).getRc());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    take();
    ASSERT_EQ(0u, m_domain->writeMode(c.mode).getRc());
    EXPECT_EQ(c.register4, m_rig.engine->regs[4] & 0x3F);
    EXPECT_EQ(c.clocksOn ? kEnabled : kDisabled, enables());
    m_indicator->take();
    ASSERT_EQ(0u, m_domain->enableInterrupts().getRc());
    EXPECT_EQ(c.interrupts, indicatorArmed());
    ASSERT_EQ(0u, m_domain->startSpreadingForGivenMode(c.mode).getRc());
    const Journal journal = take();
    EXPECT_EQ(c.pllSpreads, wrotePllSpreading(journal));
    // Forced for the change, enabled after it; untouched in mode 0.
    Journal switched;
    for (const std::string& e : journal)
      if (e.compare(0, 3, "pll") != 0) switched.push_back(e);
    if (c.clocksOn)
      EXPECT_EQ((Journal{"PllClkEnable 3", "CrcClkEnable 3", "PllClkEnable 1", "CrcClkEnable 1"}), switched);
    else
      EXPECT_TRUE(switched.empty()) << switched.size();
    ASSERT_EQ(0u, m_domain->stopSpreadingForGivenMode(c.mode).getRc());
    EXPECT_EQ(c.pllSpreads, wrotePllSpreading(take()));
  }
  // Another mode is refused and not recorded.
  EXPECT_EQ(0x7254u, m_domain->writeMode(static_cast<kavosc::OscSetMode_t>(5)).getRc());
  EXPECT_EQ(0x7254u, m_domain->performInitialModeSetup(static_cast<kavosc::OscSetMode_t>(9)).getRc());
  EXPECT_EQ(kavosc::OSC_SET_MODE_OTHER_SINGLE, m_domain->getMode());
  EXPECT_TRUE(take().empty());
}

TEST_F(ClockDomainTest, ModeOnADeactivatedCardIsOnlyRecorded) {
  for (kav::FruActivationState_t state : {kav::FRU_NOT_ACTIVATED, kav::FRU_ACTIVATING, kav::FRU_DEACTIVATING}) {
    SCOPED_TRACE(state);
    m_table->setState(state);
    ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
    EXPECT_EQ(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, m_domain->getMode());
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(m_rig.engine->log.empty());
  }
  // The power step applies it.
  m_table->setState(kav::FRU_ACTIVATING);
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_EQ(0x20, m_rig.engine->regs[4] & 0x3F);
  EXPECT_EQ(kEnabled, enables());
}

// A recorded spreading is started when either of its fields is not 0.
TEST_F(ClockDomainTest, SpreadingSetupsThatStart) {
  const struct {
    kavosc::SpreadingDirection_t direction;
    unsigned int value;
    bool starts;
  } cases[] = {{kavosc::SPREADING_UP, 0, true}, {kavosc::SPREADING_OFF, 5, true}, {kavosc::SPREADING_OFF, 0, false}};
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_EQ(0u, m_domain->writeSpreadingValues(c.direction, c.value).getRc());
    take();
    ASSERT_EQ(0u, m_domain->startSpreadingForGivenMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
    EXPECT_EQ(c.starts, !take().empty());
    // Another mode than the domain's starts nothing.
    ASSERT_EQ(0u, m_domain->startSpreadingForGivenMode(kavosc::OSC_SET_MODE_SINGLE).getRc());
    EXPECT_TRUE(take().empty());
  }
}

// The recorded spreading: direction (low 4 bits) and amount, read back.
TEST_F(ClockDomainTest, SpreadingValuesAreOnlyRecorded) {
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(static_cast<kavosc::SpreadingDirection_t>(0x12), 0x01020304).getRc());
  EXPECT_EQ(2, m_table->fields[kDirectionField][0]);
  EXPECT_EQ(0x01020304u, m_table->word(kValueField));
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int value = 0;
  ASSERT_EQ(0u, m_domain->readSpreadingValues(direction, value).getRc());
  EXPECT_EQ(kavosc::SPREADING_DOWN, direction);
  EXPECT_EQ(0x01020304u, value);
  EXPECT_TRUE(take().empty());
}

TEST_F(ClockDomainTest, SteeringForcesThePllClockEnableExceptWhenDeselected) {
  const struct {
    kavosc::OscSetMode_t mode;
    Journal start;
    Journal stop;
  } cases[] = {{kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, {"PllClkEnable 3"}, {"PllClkEnable 1"}},
               {kavosc::OSC_SET_MODE_NONE, {}, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(0u, m_domain->writeMode(c.mode).getRc());
    take();
    ASSERT_EQ(0u, m_domain->startSteeringMode().getRc());
    EXPECT_EQ(1, m_table->fields[kav::sid::STEERING_MODE_FIELD][0]);
    EXPECT_EQ(c.start, enables());
    // While steering, a stop of the spreading leaves the PLL's enable forced.
    ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_UP, 5).getRc());
    take();
    ASSERT_EQ(0u, m_domain->stopSpreadingForGivenMode(c.mode).getRc());
    for (const std::string& e : take()) EXPECT_NE("PllClkEnable 1", e);
    ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_OFF, 0).getRc());
    ASSERT_EQ(0u, m_domain->stopSteeringMode().getRc());
    EXPECT_EQ(0, m_table->fields[kav::sid::STEERING_MODE_FIELD][0]);
    EXPECT_EQ(c.stop, enables());
  }
}

TEST_F(ClockDomainTest, RestartInSteeringModeEndsIt) {
  m_table->fields[kav::sid::STEERING_MODE_FIELD][0] = 1;
  ASSERT_EQ(0u, m_domain->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_EQ((Journal{"pll reset flags", "PllClkEnable 1"}), take());
  EXPECT_EQ(0, m_table->fields[kav::sid::STEERING_MODE_FIELD][0]);
  ASSERT_EQ(0u, m_domain->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_TRUE(take().empty());
}

// A steered cycle time is accepted only when neither the PLL's output range
// nor (on an activated card) the chip's input range changes; nothing is
// written either way, and a refused pattern is not handed out.
TEST_F(ClockDomainTest, SteeredCycleTimeMustKeepBothRanges) {
  const struct {
    unsigned int cycleTime;
    kav::FruActivationState_t state;
    unsigned int rc;
  } cases[] = {{1005, kav::FRU_ACTIVATED, 0},
               {7500, kav::FRU_ACTIVATED, 0x7244},        // only range 0x1800 has it
               {1050, kav::FRU_ACTIVATED, 0x733C},        // outside the chip's 990..1010 MHz
               {1050, kav::FRU_NOT_ACTIVATED, 0}};        // the chip is not asked
  const PllSpeedPattern from = current();
  ASSERT_TRUE(from.isInit());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cycleTime);
    m_table->setState(c.state);
    m_rig.engine->clearLog();
    PllSpeedPattern result;
    EXPECT_EQ(c.rc, m_domain->getPllSpeedPatternWithoutRangeChangeForCycleTime(from, c.cycleTime, result).getRc());
    EXPECT_EQ(c.rc == 0, result.isInit());
    if (c.rc == 0) {
      EXPECT_TRUE(result.isSameRange(from));
    }
    EXPECT_TRUE(m_rig.engine->writes().empty());
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(0u, m_table->pattern());
  }
}

TEST_F(ClockDomainTest, PatternWriteReachesRecordAndChip) {
  PllSpeedPattern next = current();
  ASSERT_EQ(0u, next.incSpeed(1).getRc());
  ASSERT_EQ(0u, m_domain->writePllSpeedPattern(next).getRc());
  EXPECT_EQ(0x0A81u, m_pll->pattern);
  EXPECT_EQ(0x0A81u, m_table->pattern());
  // Deactivated: the record alone.
  m_table->setState(kav::FRU_NOT_ACTIVATED);
  ASSERT_EQ(0u, next.incSpeed(1).getRc());
  ASSERT_EQ(0u, m_domain->writePllSpeedPattern(next).getRc());
  EXPECT_EQ(0x0A81u, m_pll->pattern);
  EXPECT_EQ(0x0A82u, m_table->pattern());
}

// The chip refuses the write: the record follows what the chip runs when
// it can be read, and keeps the pattern asked for when it cannot.
TEST_F(ClockDomainTest, FailedChipWriteLeavesTheRecordTellingTheTruthWhereItCan) {
  const struct {
    unsigned int failRead;
    unsigned int recorded;
  } cases[] = {{0, 0x0A80}, {0x70013, 0x0A81}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failRead);
    m_pll->pattern = 0x0A80;
    m_table->fields[kPatternField] = {0, 0, 0x0A, 0x80};
    PllSpeedPattern next = current();
    ASSERT_EQ(0u, next.incSpeed(1).getRc());
    m_pll->failWrite = 0x70005;
    m_pll->failRead = c.failRead;
    EXPECT_EQ(0x70005u, m_domain->writePllSpeedPattern(next).getRc());
    EXPECT_EQ(0x0A80u, m_pll->pattern);
    EXPECT_EQ(c.recorded, m_table->pattern());
    m_pll->failWrite = 0;
    m_pll->failRead = 0;
  }
}

TEST_F(ClockDomainTest, PowerSteps) {
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  take();
  m_indicator->take();
  // Interrupts off, then on again.
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::INTERRUPT_CONTROL_SEQUENCE, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ((std::vector<std::string>{"disarm"}), m_indicator->take());
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::INTERRUPT_CONTROL_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_TRUE(indicatorArmed());
  // Clock mode off: the chip to mode 0, the enables off.
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(kDisabled, enables());
  EXPECT_EQ(0x30, m_rig.engine->regs[4] & 0x3F);
  // Clock mode on: the enables of the recorded mode, the chip's power-on
  // set-up and mode.
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_EQ(kEnabled, enables());
  EXPECT_EQ(0x20, m_rig.engine->regs[4] & 0x3F);
  EXPECT_EQ(0x40, m_rig.engine->regs[1] & 0x40);  // spreading support on
  // While steering, interrupts on keeps them off and the PLL forced.
  m_table->fields[kav::sid::STEERING_MODE_FIELD][0] = 1;
  m_indicator->take();
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::INTERRUPT_CONTROL_SEQUENCE, kav::sid::STATE_ON).getRc());
  EXPECT_EQ((Journal{"PllClkEnable 3"}), enables());
  EXPECT_EQ("disarm", m_indicator->take().back());
  // Anything else.
  for (const auto& s : {std::make_pair(kav::sid::CLOCK_POWER_SEQUENCE, kav::sid::STATE_ON),
                        std::make_pair(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::SEQUENCE_TYPE_OTHER)}) {
    EXPECT_EQ(0x7002u, m_domain->switchForPwrCtrl(s.first, s.second).getRc());
  }
}

// Power step on of ClockModeSequence ends with the recorded spreading
// started: in mode 0 the clocks stay disabled and the PLL does not spread.
TEST_F(ClockDomainTest, DeselectedDomainWithRecordedSpreadingKeepsItsClocksDisabledAtPowerOn) {
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_UP, 5).getRc());
  m_table->setState(kav::FRU_ACTIVATING);
  take();
  ASSERT_EQ(0u, m_domain->switchForPwrCtrl(kav::sid::CLOCK_MODE_SEQUENCE, kav::sid::STATE_ON).getRc());
  const Journal journal = take();
  EXPECT_FALSE(wrotePllSpreading(journal));
  Journal switched;
  for (const std::string& e : journal)
    if (e.compare(0, 3, "pll") != 0) switched.push_back(e);
  EXPECT_EQ(kDisabled, switched);
}

TEST_F(ClockDomainTest, StatusCollectsEveryPart) {
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_CENTER, 7).getRc());
  m_pll->flags = {PllHwdInterface::PLL_ERROR_1};
  m_pllInput->active = true;
  m_crcInput->active = false;
  kavosc::ClockDomainStatus_t status;
  ASSERT_EQ(0u, m_domain->readStatus(status).getRc());
  EXPECT_EQ(1u, status.clockDomainType);
  EXPECT_FALSE(status.steeringModeActive);
  EXPECT_EQ(1000u, status.pllStatus.cycleTime);  // 0x0A80: 25 MHz x 640 / 16
  EXPECT_TRUE(status.pllStatus.clkEnableInputActive);
  EXPECT_TRUE(status.pllStatus.error1Present);
  EXPECT_FALSE(status.pllStatus.error0Present);
  EXPECT_EQ((kavosc::SpreadingStatus_t{kavosc::SPREADING_CENTER, 7}), status.pllStatus.spreading);
  EXPECT_EQ(0x14, status.pllStatus.registers[1]);
  EXPECT_FALSE(status.crcStatus.flag);
  // The raw PLL bytes do not count for equality; the rest does.
  kavosc::ClockDomainStatus_t other = status;
  other.pllStatus.registers[0] ^= 0xFF;
  EXPECT_EQ(status, other);
  other.pllStatus.spreading.value = 8;
  EXPECT_NE(status, other);
}

// ---- executors ----

namespace {

// Each domain's operation answers the code the test gives it.
class ScriptedExecutor : public ClockDomainExecutor<void*> {
 public:
  std::map<const ClockDomain*, unsigned int> codes;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void*) override {
    return ErrorData(ErrorData::NO_OVERWRITE, codes[domain.getRawPointer()]);
  }
};

}  // namespace

TEST(ClockDomainExecutorTest, OneDomainThatSucceedsIsEnoughAndEveryFailingOneIsDefective) {
  cardstest::startServices();
  const struct {
    unsigned int first, second;
    kavosc::OscSetMode_t mode;
    unsigned int rc;
    bool firstDefective, secondDefective;
  } cases[] = {
      {0x70005, 0, kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0, true, false},
      {0x70005, 0x7000, kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0x70005, true, true},
      {0x7246, 0, kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 0, false, false},  // refused parameters:
      {0x7247, 0x7247, kavosc::OSC_SET_MODE_NONE, 0x7247, false, false},     // not the domain's fault
      {0x70005, 0x70006, kavosc::OSC_SET_MODE_SINGLE, 0x70005, false, false},  // mode 3: never
      {0, 0, kavosc::OSC_SET_MODE_NONE, 0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + "," + std::to_string(c.second));
    KavPtr<ClockDomain> a(new ClockDomain());
    KavPtr<ClockDomain> b(new ClockDomain());
    for (const KavPtr<ClockDomain>& d : {a, b}) ASSERT_EQ(0u, d->performInitialModeSetup(c.mode).getRc());
    ExecList<ClockDomain> list;
    list.addElement(a);
    list.addElement(b);
    ScriptedExecutor executor;
    executor.codes[a.getRawPointer()] = c.first;
    executor.codes[b.getRawPointer()] = c.second;
    EXPECT_EQ(c.rc, list.forEachElementDo(executor).getRc());
    EXPECT_EQ(c.firstDefective, a->isDefective());
    EXPECT_EQ(c.secondDefective, b->isDefective());
  }
}

// The real executors on a linked domain and one without children (every
// operation 0x7000).
TEST_F(ClockDomainTest, ExecutorsCarryTheOperationToEveryDomain) {
  KavPtr<ClockDomain> broken(new ClockDomain());
  ExecList<ClockDomain> list;
  list.addElement(broken);
  list.addElement(m_domain);

  WriteSpreadingValuesExecutor spreading(kavosc::SPREADING_UP, 3);
  EXPECT_EQ(0u, list.forEachElementDo(spreading).getRc());
  EXPECT_EQ(kavosc::SPREADING_UP, m_table->fields[kDirectionField][0]);
  EXPECT_TRUE(broken->isDefective());
  EXPECT_FALSE(m_domain->isDefective());

  PllSpeedPattern next = current();
  ASSERT_EQ(0u, next.incSpeed(2).getRc());
  WriteSpeedExecutor speed(next);
  EXPECT_EQ(0u, list.forEachElementDo(speed).getRc());
  EXPECT_EQ(0x0A82u, m_pll->pattern);

  // Started in mode 1 (the step): the PLL spreads up by (642 x 3 + 500) /
  // 1000 = 2 counts.
  ASSERT_EQ(0u, m_domain->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  take();
  StartSpreadingExecutor start;
  EXPECT_EQ(0u, list.forEachElementLoop(start, kavstl::vector<kavosc::OscSetMode_t>(
                                                   1, kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY))
                    .getRc());
  EXPECT_EQ(kavosc::SPREADING_UP, m_pll->direction);
  EXPECT_EQ(2u, m_pll->amount);
  // An amount the chip refuses (5 % is 32 counts, one more than it takes)
  // does not make the domain defective.
  ASSERT_EQ(0u, m_domain->writeSpreadingValues(kavosc::SPREADING_UP, 50).getRc());
  ExecList<ClockDomain> alone;
  alone.addElement(m_domain);
  StartSpreadingExecutor refused;
  EXPECT_EQ(0x7247u, alone.forEachElementLoop(refused, kavstl::vector<kavosc::OscSetMode_t>(
                                                           1, kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY))
                         .getRc());
  EXPECT_FALSE(m_domain->isDefective());
}
