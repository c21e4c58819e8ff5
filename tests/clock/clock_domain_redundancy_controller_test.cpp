// ClockDomainRedundancyController over cards with clock domains on small
// fakes (DomainCardRig.h): steering one count at a time on every domain in
// steering mode, refused cycle times (nothing written, nobody defective), a
// failing domain among two, a step no domain takes, forcing the nominal,
// slowest-range and fastest-range cycle times (and the force with no
// fitting range), the power sequences of each type, spreading in mode
// order, initialisation from a selected domain, cards configured later,
// adding twice, removing, the dump, and unknown types.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kav/clock/domain/ClockDomainRedundancyController.h"
#include "kav/tree/start/ExecList.h"
#include "tests/clock/DomainCardRig.h"
#include "tests/support/TraceRecorder.h"

using domaintest::DomainCard;
using domaintest::Journal;

namespace {

const kavosc::ClockDomain_t kType = kavosc::CLOCK_DOMAIN_1;
const unsigned int kNotRead = 0xFFFFFFFFu;

class RedundancyControllerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    // The controller takes the lock of the container it lives in.
    m_set = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_set->setDeletedSlotId(0x10000);
    m_controller = KavPtr<ClockDomainRedundancyController>(new ClockDomainRedundancyController());
    cardstest::link(m_set.getRawPointer(), m_controller.getRawPointer());
  }

  DomainCard& card(const char* name, unsigned int slot, kavosc::OscSetMode_t mode, unsigned int type = 1,
                   bool withCrc = true) {
    DomainCard::Options options;
    options.name = name;
    options.slot = slot;
    options.type = type;
    options.mode = mode;
    options.withCrc = withCrc;
    m_cards.emplace_back(new DomainCard(options, &m_journal));
    return *m_cards.back();
  }

  ErrorData add(std::initializer_list<DomainCard*> cards) {
    ExecList<ClockDomain> list;
    for (DomainCard* c : cards) list.addElement(c->domain);
    return m_controller->addClockDomainList(list);
  }

  // Cards A (slot 0x10) and B (0x11) in the modes given, listed and
  // initialised; the journal starts empty.
  void startWith(kavosc::OscSetMode_t modeA, kavosc::OscSetMode_t modeB, bool crcA = true, bool crcB = true) {
    m_a = &card("A", 0x10, modeA, 1, crcA);
    m_b = &card("B", 0x11, modeB, 1, crcB);
    ASSERT_EQ(0u, add({m_a, m_b}).getRc());
    ASSERT_EQ(0u, m_controller->initializeClockDomainRedundancyController().getRc());
    m_journal.clear();
  }

  // The journal entries that begin with the prefix ("A pattern"), forgotten
  // with the rest of the journal by take().
  Journal entries(const std::string& prefix) const {
    Journal out;
    for (const std::string& e : m_journal)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e.substr(prefix.size() + 1));
    return out;
  }
  // The pattern writes of the card ("pattern 0x0A81 s1").
  Journal patterns(const std::string& card) const {
    Journal out;
    for (const std::string& e : entries(card))
      if (e.compare(0, 7, "pattern") == 0) out.push_back(e);
    return out;
  }
  Journal take() {
    Journal out;
    out.swap(m_journal);
    return out;
  }
  // The order in which the cards forced their PLL clock enable (the first
  // thing a domain does to switch its spreading).
  std::string forcedOrder() const {
    std::string out;
    for (const std::string& e : m_journal)
      if (e.size() > 2 && e.compare(2, std::string::npos, "PllClkEnable 3") == 0) out += e.substr(0, 1);
    return out;
  }

  PllSpeedPattern recorded() {
    ClockDomain::ClockDomainInfo_t info;
    EXPECT_EQ(0u, m_controller->getClockDomainInfo(kType, info).getRc());
    return info.pllSpeedPattern;
  }

  KavPtr<Container> m_set;
  KavPtr<ClockDomainRedundancyController> m_controller;
  std::vector<std::unique_ptr<DomainCard>> m_cards;
  DomainCard* m_a = nullptr;
  DomainCard* m_b = nullptr;
  Journal m_journal;
};

Journal steps(std::initializer_list<const char*> patterns) {
  Journal out;
  for (const char* p : patterns) out.push_back(std::string("pattern ") + p + " s1");
  return out;
}

}  // namespace

// Up by three counts, down by five, and to where it is: every step is
// written to every domain in steering mode, the PLL's clock enable forced
// before and enabled after.
TEST_F(RedundancyControllerTest, SteeringWritesEveryCountToEveryDomainInSteeringMode) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  const struct {
    unsigned int cycleTime;
    Journal written;
    unsigned int actual;
    unsigned int pattern;
  } cases[] = {{995, steps({"0x0A81", "0x0A82", "0x0A83"}), 995, 0x0A83},
               {1003, steps({"0x0A82", "0x0A81", "0x0A80", "0x0A7F", "0x0A7E"}), 1003, 0x0A7E},
               {1003, {}, 1003, 0x0A7E}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cycleTime);
    take();
    unsigned int actual = 0;
    ASSERT_EQ(0u, m_controller->steerCycleTime(kType, c.cycleTime, actual).getRc());
    EXPECT_EQ(c.actual, actual);
    for (DomainCard* d : {m_a, m_b}) {
      const std::string name = d == m_a ? "A" : "B";
      EXPECT_EQ(c.written, patterns(name)) << name;
      // Forced before the first step, enabled after the last.
      const Journal enables = entries(name + " PllClkEnable");
      EXPECT_EQ((Journal{"3", "1"}), enables) << name;
      EXPECT_EQ(0, d->steeringFlag());
      EXPECT_EQ(c.pattern, d->recordedPattern());
      EXPECT_FALSE(d->domain->isDefective());
    }
    EXPECT_EQ(c.pattern, recorded().getPllPattern());
    unsigned int cycleTime = 0;
    ASSERT_EQ(0u, m_controller->readCycleTime(kType, cycleTime).getRc());
    EXPECT_EQ(c.actual, cycleTime);
  }
}

// The domains stay in steering mode for 10 ms after the last step.
TEST_F(RedundancyControllerTest, SteeringPausesBeforeLeavingSteeringMode) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  testsupport::TraceRecorder traces({"ClockDomainRedundancyController::stepSpeed", "ClockDomain::stopSteeringMode"});
  unsigned int actual = 0;
  ASSERT_EQ(0u, m_controller->steerCycleTime(kType, 995, actual).getRc());
  const std::vector<testsupport::TracedRecord> records = traces.records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(0u, records[0].text.find("ClockDomainRedundancyController::stepSpeed"));
  EXPECT_GE(records[1].us - records[0].us, (ClockDomainRedundancyController::kSteeringSettleMs - 1) * 1000u);
}

// A cycle time that needs another PLL output range, or another input range
// of an activated card's redundancy chip, is refused as a whole: nothing is
// written, no domain enters steering mode or is marked defective, also when
// a deactivated card (whose chip is not asked) could take it.
TEST_F(RedundancyControllerTest, RefusedCycleTimeWritesNothingAndMarksNoDomainDefective) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  const struct {
    unsigned int cycleTime;
    kav::FruActivationState_t stateA;
    unsigned int rc;
  } cases[] = {{7500, kav::FRU_ACTIVATED, 0x7244},
               {1050, kav::FRU_ACTIVATED, 0x733C},
               {1050, kav::FRU_NOT_ACTIVATED, 0x733C}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cycleTime);
    m_a->table->setState(c.stateA);
    unsigned int actual = 0;
    EXPECT_EQ(c.rc, m_controller->steerCycleTime(kType, c.cycleTime, actual).getRcWithoutLogFlag());
    EXPECT_EQ(1000u, actual);
    EXPECT_TRUE(take().empty());
    for (DomainCard* d : {m_a, m_b}) {
      EXPECT_FALSE(d->domain->isDefective());
      EXPECT_EQ(0, d->steeringFlag());
      EXPECT_EQ(0u, d->recordedPattern());
    }
    EXPECT_EQ(0x0A80u, recorded().getPllPattern());
  }
}

// A domain that can not say (no redundancy chip: 0x7000) is marked
// defective; the steer goes on while one domain answered, and is returned
// without writing anything when none did.
TEST_F(RedundancyControllerTest, DomainFailingToAnswerIsDefectiveAndTheOthersAreSteered) {
  const struct {
    bool crcA, crcB;
    unsigned int rc;
    bool defectiveA, defectiveB;
    Journal written;
  } cases[] = {{false, true, 0, true, false, steps({"0x0A81", "0x0A82", "0x0A83"})},
               {false, false, 0x7000, true, true, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rc);
    m_cards.clear();
    SetUp();
    startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, c.crcA, c.crcB);
    unsigned int actual = 0;
    EXPECT_EQ(c.rc, m_controller->steerCycleTime(kType, 995, actual).getRcWithoutLogFlag());
    EXPECT_EQ(c.defectiveA, m_a->domain->isDefective());
    EXPECT_EQ(c.defectiveB, m_b->domain->isDefective());
    // A defective domain is still reached.
    for (const char* name : {"A", "B"}) EXPECT_EQ(c.written, patterns(name)) << name;
  }
}

// A step no domain takes ends the steering there: it is not tried again,
// the recorded pattern is the last step written, the domains leave steering
// mode.
TEST_F(RedundancyControllerTest, StepNoDomainTakesEndsTheSteering) {
  const struct {
    int failFrom;
    Journal tried;
    unsigned int recorded;
    unsigned int actual;
  } cases[] = {{0, steps({"0x0A81"}), 0x0A80, 1000}, {2, steps({"0x0A81", "0x0A82", "0x0A83"}), 0x0A82, 997}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failFrom);
    m_cards.clear();
    SetUp();
    startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
    m_a->pll->failFrom = c.failFrom;
    m_b->pll->failFrom = c.failFrom;
    unsigned int actual = 0;
    EXPECT_EQ(0x70005u, m_controller->steerCycleTime(kType, 995, actual).getRcWithoutLogFlag());
    EXPECT_EQ(c.actual, actual);
    EXPECT_EQ(c.recorded, recorded().getPllPattern());
    for (DomainCard* d : {m_a, m_b}) {
      const std::string name = d == m_a ? "A" : "B";
      EXPECT_EQ(c.tried, patterns(name)) << name;
      EXPECT_EQ("1", entries(name + " PllClkEnable").back()) << name;
      EXPECT_EQ(0, d->steeringFlag());
    }
  }
}

// The nominal cycle time in the first range whose window holds the minimum
// (a tenth lower when it equals the nominal) and the maximum, forced on
// both domains between the type's power sequences (no card is in a tree
// here: they run on no card). No such range, or minimum, nominal and
// maximum out of order: nothing is written.
TEST_F(RedundancyControllerTest, ForcingTheNominalCycleTime) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  testsupport::TraceRecorder traces({"executePowerSequence "});
  const struct {
    unsigned int minimum, nominal, maximum;
    unsigned int rc;
    const char* written;  // on each PLL, or nothing
    unsigned int actual;
  } cases[] = {
      {1000, 1100, 1150, 0, "0x1246", 1100},  // only range 0x1000 has 1100 ps
      {1000, 1000, 1050, 0, "0x0A80", 1000},  // 900..1050: range 0x0800, not the first (0x1000: 952..1176)
      {1000, 1000, 1100, 0x7244, nullptr, 1000},  // 900 only in 0x0800, 1100 only in 0x1000
      {1001, 1000, 1100, 0x7013, nullptr, 1000},
      {1000, 1000, 999, 0x7013, nullptr, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + " " + std::to_string(c.nominal) + " " + std::to_string(c.maximum));
    take();
    traces.clear();
    unsigned int actual = 0;
    EXPECT_EQ(c.rc, m_controller->forceNominalCycleTime(kType, c.minimum, c.nominal, c.maximum, actual)
                        .getRcWithoutLogFlag());
    EXPECT_EQ(c.actual, actual);
    const Journal written = c.written == nullptr ? Journal() : Journal{std::string("pattern ") + c.written + " s0"};
    for (const char* name : {"A", "B"}) EXPECT_EQ(written, patterns(name)) << name;
    std::vector<std::string> sequences;
    for (const testsupport::TracedRecord& r : traces.records())
      if (r.text.find(" type ") != std::string::npos) sequences.push_back(r.text);
    if (c.written != nullptr) {
      EXPECT_EQ((std::vector<std::string>{"executePowerSequence PrepareClockChange type 2 cards 0",
                                          "executePowerSequence ClockChangeDone type 2 cards 0"}),
                sequences);
    } else {
      EXPECT_TRUE(sequences.empty());
    }
    EXPECT_FALSE(m_a->domain->isDefective());
    EXPECT_FALSE(m_b->domain->isDefective());
  }
}

// 1000 ps lies in ranges 0x1000 (952..1176 ps) and 0x0800 (870..1053 ps):
// the slowest is the one with the greatest minimal cycle time, the fastest
// the one with the smallest maximal cycle time. 20000 ps is in no range.
TEST_F(RedundancyControllerTest, ForcingToTheSlowestAndFastestRange) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  typedef ErrorData (ClockDomainRedundancyController::*Force_t)(kavosc::ClockDomain_t, unsigned int, unsigned int&);
  const struct {
    Force_t force;
    unsigned int cycleTime;
    unsigned int rc;
    const char* written;
    unsigned int pattern;
  } cases[] = {
      {&ClockDomainRedundancyController::forceCycleTimeToSlowestRange, 1000, 0, "0x1280", 0x1280},
      {&ClockDomainRedundancyController::forceCycleTimeToFastestRange, 1000, 0, "0x0A80", 0x0A80},
      {&ClockDomainRedundancyController::forceCycleTimeToSlowestRange, 20000, 0x7244, nullptr, 0x0A80},
      {&ClockDomainRedundancyController::forceCycleTimeToFastestRange, 20000, 0x7244, nullptr, 0x0A80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cycleTime);
    take();
    unsigned int actual = 0;
    EXPECT_EQ(c.rc, (m_controller.getRawPointer()->*c.force)(kType, c.cycleTime, actual).getRcWithoutLogFlag());
    EXPECT_EQ(1000u, actual);
    const Journal written = c.written == nullptr ? Journal() : Journal{std::string("pattern ") + c.written + " s0"};
    for (const char* name : {"A", "B"}) EXPECT_EQ(written, patterns(name)) << name;
    EXPECT_EQ(c.pattern, recorded().getPllPattern());
  }
}

TEST(ClockDomainRedundancySequencesTest, EachTypeHasItsPrepareAndDoneSequence) {
  const struct {
    unsigned int type;
    unsigned int rc, prepare, done;
  } cases[] = {{1, 0, 367, 371},   {2, 0, 370, 374},   {4, 0, 368, 372},   {8, 0, 369, 373},
               {16, 0, 369, 373},  {32, 0, 369, 373},  {64, 0, 369, 373},  {128, 0, 369, 373},
               {248, 0, 369, 373}, {3, 0x7011, 0, 0},  {0, 0x7011, 0, 0},  {256, 0x7011, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    unsigned int prepare = 0;
    unsigned int done = 0;
    const kavosc::ClockDomain_t type = static_cast<kavosc::ClockDomain_t>(c.type);
    EXPECT_EQ(c.rc, ClockDomainRedundancyController::getForceSpeedPrepareSequenceId(type, prepare).getRc());
    EXPECT_EQ(c.rc, ClockDomainRedundancyController::getForceSpeedDoneSequenceId(type, done).getRc());
    EXPECT_EQ(c.prepare, prepare);
    EXPECT_EQ(c.done, done);
  }
}

// A type without clock change sequences is not forced; steering it needs
// none.
TEST_F(RedundancyControllerTest, TypeWithoutClockChangeSequencesIsNotForced) {
  DomainCard& odd = card("C", 0x12, kavosc::OSC_SET_MODE_SINGLE, 3);
  ASSERT_EQ(0u, add({&odd}).getRc());
  ASSERT_EQ(0u, m_controller->initializeClockDomainRedundancyController().getRc());
  take();
  const kavosc::ClockDomain_t type = static_cast<kavosc::ClockDomain_t>(3);
  unsigned int actual = 0;
  EXPECT_EQ(0x7011u, m_controller->forceNominalCycleTime(type, 950, 1000, 1050, actual).getRcWithoutLogFlag());
  EXPECT_EQ(0x7011u, m_controller->forceCycleTimeToFastestRange(type, 1000, actual).getRcWithoutLogFlag());
  EXPECT_EQ(1000u, actual);
  EXPECT_TRUE(patterns("C").empty());
  ASSERT_EQ(0u, m_controller->steerCycleTime(type, 995, actual).getRc());
  EXPECT_EQ(steps({"0x0A81", "0x0A82", "0x0A83"}), patterns("C"));
}

TEST_F(RedundancyControllerTest, TypeWithoutDomainsIsUnknownEverywhere) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  ClockDomainRedundancyController& c = *m_controller;
  const kavosc::ClockDomain_t type = kavosc::CLOCK_DOMAIN_2;
  unsigned int actual = 0;
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int value = 0;
  ClockDomain::ClockDomainInfo_t info;
  const std::vector<std::pair<const char*, std::function<ErrorData()>>> operations = {
      {"readCycleTime", [&] { return c.readCycleTime(type, actual); }},
      {"steer", [&] { return c.steerCycleTime(type, 995, actual); }},
      {"nominal", [&] { return c.forceNominalCycleTime(type, 950, 1000, 1050, actual); }},
      {"slowest", [&] { return c.forceCycleTimeToSlowestRange(type, 1000, actual); }},
      {"fastest", [&] { return c.forceCycleTimeToFastestRange(type, 1000, actual); }},
      {"readSpreading", [&] { return c.readSpreadingValues(type, direction, value); }},
      {"writeSpreading", [&] { return c.writeSpreadingValues(type, kavosc::SPREADING_UP, 5); }},
      {"info", [&] { return c.getClockDomainInfo(type, info); }},
  };
  for (const auto& o : operations) {
    SCOPED_TRACE(o.first);
    actual = 0;
    EXPECT_EQ(0x7009u, o.second().getRcWithoutLogFlag());
    if (std::string(o.first) != "readSpreading" && std::string(o.first) != "writeSpreading" &&
        std::string(o.first) != "info") {
      EXPECT_EQ(kNotRead, actual);
    }
  }
  EXPECT_TRUE(take().empty());
  EXPECT_EQ(0u, c.getClockDomainCount(type));
}

// Started in the mode order 2, 1, 3, 4 and stopped in 4, 3, 1, 2; the PLL
// spreads only in modes 1 and 3. (0, 0) stops and records zeros, anything
// else records and starts.
TEST_F(RedundancyControllerTest, SpreadingIsRecordedAndSwitchedInModeOrder) {
  const struct {
    kavosc::OscSetMode_t modeA, modeB;
    const char* startOrder;
    const char* stopOrder;
  } cases[] = {{kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, "BA", "AB"},
               {kavosc::OSC_SET_MODE_SINGLE, kavosc::OSC_SET_MODE_OTHER_SINGLE, "AB", "BA"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.startOrder);
    m_cards.clear();
    SetUp();
    startWith(c.modeA, c.modeB);
    ASSERT_EQ(0u, m_controller->writeSpreadingValues(kType, kavosc::SPREADING_UP, 5).getRc());
    EXPECT_EQ(c.startOrder, forcedOrder());
    // (640 x 5 + 500) / 1000 = 3 counts, on A's PLL alone.
    EXPECT_EQ((Journal{"1 3"}), entries("A spreading"));
    EXPECT_TRUE(entries("B spreading").empty());
    for (DomainCard* d : {m_a, m_b}) {
      EXPECT_EQ(1, d->table->byte(domaintest::id("SpreadingDirection")));
      EXPECT_EQ(5u, d->table->word("SpreadingValue"));
    }
    kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
    unsigned int value = 0;
    ASSERT_EQ(0u, m_controller->readSpreadingValues(kType, direction, value).getRc());
    EXPECT_EQ(kavosc::SPREADING_UP, direction);
    EXPECT_EQ(5u, value);

    take();
    ASSERT_EQ(0u, m_controller->writeSpreadingValues(kType, kavosc::SPREADING_OFF, 0).getRc());
    EXPECT_EQ(c.stopOrder, forcedOrder());
    EXPECT_EQ((Journal{"0 0"}), entries("A spreading"));
    for (DomainCard* d : {m_a, m_b}) {
      EXPECT_EQ(0, d->table->byte(domaintest::id("SpreadingDirection")));
      EXPECT_EQ(0u, d->table->word("SpreadingValue"));
    }
    ASSERT_EQ(0u, m_controller->readSpreadingValues(kType, direction, value).getRc());
    EXPECT_EQ(kavosc::SPREADING_OFF, direction);
    EXPECT_EQ(0u, value);
  }
}

// Until initialised the domains are only listed. The recorded state comes
// from the first domain whose mode is neither 0 nor 4, else from the first,
// and reaches every domain; a state that can not be read (a pattern
// selecting no range) reaches none.
TEST_F(RedundancyControllerTest, InitialisationTakesTheStateOfASelectedDomain) {
  const struct {
    kavosc::OscSetMode_t modeA, modeB;
    unsigned int patternB;  // in B's state table (A: none, read as 0x0A80)
    unsigned int rc;
    unsigned int recorded;
    const char* writtenA;
    const char* writtenB;
  } cases[] = {
      {kavosc::OSC_SET_MODE_NONE, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, 0x0A84, 0, 0x0A84, "0x0A84", nullptr},
      {kavosc::OSC_SET_MODE_OTHER_SINGLE, kavosc::OSC_SET_MODE_NONE, 0x0A84, 0, 0x0A80, nullptr, "0x0A80"},
      {kavosc::OSC_SET_MODE_NONE, kavosc::OSC_SET_MODE_SINGLE, 0x3A84, 0x7245, 0, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recorded);
    m_cards.clear();
    SetUp();
    take();
    m_a = &card("A", 0x10, c.modeA);
    m_b = &card("B", 0x11, c.modeB);
    m_b->table->setWord("PllSpeedPattern", c.patternB);
    m_b->table->fields[domaintest::id("SpreadingDirection")] = {2};
    m_b->table->setWord("SpreadingValue", 7);
    ASSERT_EQ(0u, add({m_a, m_b}).getRc());
    EXPECT_FALSE(m_controller->isInitialized());
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(c.rc, m_controller->initializeClockDomainRedundancyController().getRcWithoutLogFlag());
    EXPECT_TRUE(m_controller->isInitialized());
    EXPECT_EQ(c.recorded, recorded().getPllPattern());
    const auto written = [](const char* p) {
      return p == nullptr ? Journal() : Journal{std::string("pattern ") + p + " s0"};
    };
    EXPECT_EQ(written(c.writtenA), patterns("A"));
    EXPECT_EQ(written(c.writtenB), patterns("B"));
    // The spreading of the source: B's (2, 7) or A's nothing.
    const bool fromB = c.recorded == 0x0A84;
    if (c.rc == 0) {
      for (DomainCard* d : {m_a, m_b}) {
        EXPECT_EQ(fromB ? 2 : 0, d->table->byte(domaintest::id("SpreadingDirection")));
        EXPECT_EQ(fromB ? 7u : 0u, d->table->word("SpreadingValue"));
      }
    } else {
      EXPECT_EQ(0, m_a->table->byte(domaintest::id("SpreadingDirection")));
    }
  }
}

// A card configured after a steer and a spreading change gets the recorded
// pattern and spreading; it leaves with its slot.
TEST_F(RedundancyControllerTest, CardConfiguredLaterGetsTheRecordedState) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  unsigned int actual = 0;
  ASSERT_EQ(0u, m_controller->steerCycleTime(kType, 995, actual).getRc());
  ASSERT_EQ(0u, m_controller->writeSpreadingValues(kType, kavosc::SPREADING_DOWN, 4).getRc());
  DomainCard& later = card("C", 0x12, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  take();
  ASSERT_EQ(0u, add({&later}).getRc());
  EXPECT_EQ((Journal{"pattern 0x0A83 s0"}), patterns("C"));
  EXPECT_EQ(0x0A83u, later.recordedPattern());
  EXPECT_EQ(2, later.table->byte(domaintest::id("SpreadingDirection")));
  EXPECT_EQ(4u, later.table->word("SpreadingValue"));
  EXPECT_EQ(3u, m_controller->getClockDomainCount(kType));
  // The next steer reaches it too.
  take();
  ASSERT_EQ(0u, m_controller->steerCycleTime(kType, 997, actual).getRc());
  EXPECT_EQ(steps({"0x0A82"}), patterns("C"));
  ASSERT_EQ(0u, m_controller->removeClockDomainsForSlotId(0x12).getRc());
  EXPECT_EQ(2u, m_controller->getClockDomainCount(kType));
}

// A domain listed twice takes each step once; a type whose last domain
// leaves is forgotten with its recorded state.
TEST_F(RedundancyControllerTest, AddingTwiceAndRemoving) {
  startWith(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY);
  ASSERT_EQ(0u, add({m_a, m_a}).getRc());
  EXPECT_EQ(2u, m_controller->getClockDomainCount(kType));
  unsigned int actual = 0;
  ASSERT_EQ(0u, m_controller->steerCycleTime(kType, 999, actual).getRc());
  EXPECT_EQ(steps({"0x0A81"}), patterns("A"));

  std::ostringstream dump;
  m_controller->dumpXml(dump);
  EXPECT_NE(std::string::npos, dump.str().find("<parameter name=\"m_clockDomainInfoMap[0x1]\" value=\"SteeringMode="
                                               "'Off' PllPattern='0xA81' SlotIds='0x10 0x11'\"/>"))
      << dump.str();

  ASSERT_EQ(0u, m_controller->removeClockDomainsForSlotId(0x10).getRc());
  EXPECT_EQ(1u, m_controller->getClockDomainCount(kType));
  ASSERT_EQ(0u, m_controller->removeClockDomainsForSlotId(0x11).getRc());
  EXPECT_EQ(0u, m_controller->getClockDomainCount(kType));
  EXPECT_EQ(0x7009u, m_controller->readCycleTime(kType, actual).getRcWithoutLogFlag());
  std::ostringstream empty;
  m_controller->dumpXml(empty);
  EXPECT_EQ(std::string::npos, empty.str().find("m_clockDomainInfoMap")) << empty.str();
  // Listed again, the type starts from the domain's own state.
  ASSERT_EQ(0u, add({m_b}).getRc());
  EXPECT_EQ(0x0A81u, recorded().getPllPattern());
}
