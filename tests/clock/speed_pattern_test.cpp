// The speed-pattern arithmetic: the card's configured converters (the PLL's
// and the redundancy chip's, read from the compiled configuration) checked
// against a plain 64-bit reimplementation over a sweep of cycle times and
// every pattern of every range, the agreement with the simulated PLL, and
// the Part's edge cases of patterns, counter steps, comparisons, texts and
// list selections.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clock/speed/PllSpeedPatternList.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "tests/clock/SpeedTestSupport.h"

using speedtest::ConverterModel;

namespace {

const unsigned int kXtalKhz = 25000;

class SpeedPattern : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    const BinaryReaderNode* config = speedtest::cardConfig();
    ASSERT_TRUE(config != nullptr);
    m_pllNode = speedtest::findNode(config, "OscCardPllConverter");
    m_crcNode = speedtest::findNode(config, "OscCardCrcConverter");
    ASSERT_TRUE(m_pllNode != nullptr && m_crcNode != nullptr);
    m_pll = speedtest::buildConverter(m_container.getRawPointer(), m_pllNode);
    m_crc = speedtest::buildConverter(m_container.getRawPointer(), m_crcNode);
    m_pllModel = ConverterModel::fromNode(m_pllNode);
    m_crcModel = ConverterModel::fromNode(m_crcNode);
  }

  PllSpeedPattern pllPattern(unsigned int bits) {
    PllSpeedPattern p;
    EXPECT_EQ(0u, m_pll->initializePllSpeedPatternForPattern(kXtalKhz, bits, p).getRc()) << std::hex << bits;
    return p;
  }

  // A converter of the test's own with one range (reference = input).
  KavPtr<SpeedPatternConverter> single(const char* vcoMin, const char* vcoMax, const char* fbMask, const char* rdiv,
                                       const char* rmult, const char* outMin, const char* outMax) {
    return speedtest::makeConverter(m_container.getRawPointer(),
                                    {{"inputFrequencyMinKhz", "1"},
                                     {"inputFrequencyMaxKhz", "4000000000"},
                                     {"vcoFrequencyMinKhz", vcoMin},
                                     {"vcoFrequencyMaxKhz", vcoMax},
                                     {"outputDividerMask", "0xF000"},
                                     {"feedbackDividerMask", fbMask}},
                                    {{{"value", "0x1000"},
                                      {"divider", rdiv},
                                      {"multiplier", rmult},
                                      {"outputFrequencyMinKhz", outMin},
                                      {"outputFrequencyMaxKhz", outMax}}});
  }

  KavPtr<Container> m_container;
  const BinaryReaderNode* m_pllNode = nullptr;
  const BinaryReaderNode* m_crcNode = nullptr;
  KavPtr<SpeedPatternConverter> m_pll, m_crc;
  ConverterModel m_pllModel, m_crcModel;
};

// The cycle times of the sweep: every 7 ps from 150 ps to 90 ns, and the
// ones the configuration names.
std::vector<unsigned int> sweep() {
  std::vector<unsigned int> out;
  for (unsigned int ct = 150; ct <= 90000; ct += 7) out.push_back(ct);
  for (unsigned int ct : {7500u, 7490u, 7510u, 6750u, 1000u, 900u, 160u, 80000u}) out.push_back(ct);
  return out;
}

void expectCandidates(const SpeedPatternConverter& converter, const ConverterModel& model, unsigned int input,
                      unsigned int ct, unsigned int& compared) {
  PllSpeedPatternList list;
  const ErrorData rc = converter.getPossibleRangesForCycleTime(input, ct, list);
  const std::vector<ConverterModel::Candidate> expected = model.candidates(input, ct);
  ASSERT_EQ(expected.size(), list.elementCount()) << "ct " << ct;
  bool allPass = true;
  for (unsigned int i = 0; i < expected.size(); ++i) {
    const ConverterModel::Candidate& e = expected[i];
    const PllSpeedPattern p = list.getElement(i);
    SCOPED_TRACE(testing::Message() << "ct " << ct << " candidate " << i);
    EXPECT_TRUE(p.isInit());
    EXPECT_EQ(e.bits, p.getPllPattern());
    EXPECT_EQ(e.n, p.getFeedbackDivider());
    EXPECT_EQ(e.vco, p.calculateVcoFrequencyInKhz());
    unsigned int f = 0, c = 0;
    EXPECT_EQ(0u, p.getOutputFrequencyInKhz(f).getRc());
    EXPECT_EQ(0u, p.getOutputCyletimeInPicoSeconds(c).getRc());
    EXPECT_EQ(e.frequency, f);
    EXPECT_EQ(e.cycleTime, c);
    allPass = allPass && e.checksPass;
    ++compared;
  }
  if (expected.empty())
    EXPECT_EQ(0x7244u, rc.getRcWithoutLogFlag()) << ct;
  else if (allPass)
    EXPECT_EQ(0u, rc.getRc()) << ct;
  else
    EXPECT_NE(0u, rc.getRc()) << ct;
}

}  // namespace

TEST_F(SpeedPattern, PllCandidatesAgreeWithThePlainModelOverASweepOfCycleTimes) {
  ASSERT_EQ(8u, m_pllModel.ranges.size());
  ASSERT_EQ(8u, m_pll->getRangeMap().size());
  unsigned int compared = 0;
  for (unsigned int ct : sweep()) expectCandidates(*m_pll, m_pllModel, kXtalKhz, ct, compared);
  EXPECT_GT(compared, 12000u);
}

TEST_F(SpeedPattern, CrcCandidatesAgreeWithThePlainModelForThePllFrequencies) {
  ASSERT_EQ(6u, m_crcModel.ranges.size());
  unsigned int compared = 0;
  for (unsigned int ct : sweep()) {
    // The chip's input is the PLL's output frequency.
    const unsigned int input = static_cast<unsigned int>(ConverterModel::frequencyOf(ct));
    if (input < m_crcModel.inMin || input > m_crcModel.inMax) {
      PllSpeedPatternList list;
      EXPECT_EQ(0x7241u, m_crc->getPossibleRangesForCycleTime(input, ct, list).getRcWithoutLogFlag());
      continue;
    }
    expectCandidates(*m_crc, m_crcModel, input, ct, compared);
  }
  EXPECT_GT(compared, 12000u);
}

TEST_F(SpeedPattern, EveryPatternOfEveryPllRangeGivesTheSimulatedChipsFrequency) {
  // The simulated ICS842S02: f_out = f_ref x N / (8 x 2^M), rounded half up,
  // from the 25 MHz reference.
  unsigned int checked = 0;
  for (const speedtest::RangeModel& r : m_pllModel.ranges) {
    const uint64_t m = r.value >> 11;
    for (uint64_t n = 1; n <= 0x7FF; ++n) {
      PllSpeedPattern p;
      const unsigned int bits = static_cast<unsigned int>((m << 11) | n);
      m_pll->initializePllSpeedPatternForPattern(kXtalKhz, bits, p);
      ASSERT_TRUE(p.isInit()) << bits;
      const uint64_t chip = (25000ull * n + 4ull * (1ull << m)) / (8ull << m);
      const uint64_t model = ConverterModel::output(m_pllModel.reference(kXtalKhz) * n, r);
      EXPECT_EQ(chip, p.calculateOutputFrequencyInKhz()) << std::hex << bits;
      EXPECT_EQ(model, chip);
      EXPECT_EQ(bits, p.getPllPattern());
      ++checked;
    }
  }
  EXPECT_EQ(8u * 2047u, checked);
  // The reset pattern: 1 GHz.
  EXPECT_EQ(1000000u, pllPattern(0x0A80).calculateOutputFrequencyInKhz());
}

TEST_F(SpeedPattern, TheConfiguredCycleTimesAreReachable) {
  const struct {
    unsigned int ct;
    unsigned int firstBits;  // the first candidate in configuration order
    unsigned int frequency;
  } cases[] = {{7500, 0x2D55, 133301}, {1000, 0x1500, 1000000}, {900, 0x158E, 1110938}, {6750, 0x2DED, 148145}};
  for (const auto& c : cases) {
    PllSpeedPatternList list;
    ASSERT_EQ(0u, m_pll->getPossibleRangesForCycleTime(kXtalKhz, c.ct, list).getRc()) << c.ct;
    const PllSpeedPattern p = list.getFirstMatchingRange();
    EXPECT_EQ(c.firstBits, p.getPllPattern()) << c.ct;
    EXPECT_EQ(c.frequency, p.calculateOutputFrequencyInKhz()) << c.ct;
  }
  // A steering window of 20 counts each way around 7500 ps stays in its range.
  PllSpeedPattern p = pllPattern(0x2D55);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(0u, p.incSpeed(1).getRc()) << i;
  for (int i = 0; i < 40; ++i) ASSERT_EQ(0u, p.decSpeed(1).getRc()) << i;
  EXPECT_EQ(1345u, p.getFeedbackDivider());
}

TEST_F(SpeedPattern, CounterStepsAboveAFourGigahertzVcoAreJudgedRightWhere32BitsWouldWrap) {
  // 7500 ps: M 5, N 1365, VCO 4265625 kHz. Ten counts up the VCO is
  // 4296875 kHz; the Part's 32-bit check (1 x VCO' x 1000) wraps there.
  PllSpeedPattern p = pllPattern(0x2D55);
  const uint32_t vco = 3125u * (1365u + 10u);
  const uint32_t wrapped = static_cast<uint32_t>(1u * vco * 1000u) / 32u + 500u;
  EXPECT_LT(wrapped / 1000u, 50000u);  // judged far below the range: a false failure
  ASSERT_EQ(0u, p.incSpeed(10).getRc());
  EXPECT_EQ(1375u, p.getFeedbackDivider());
  EXPECT_EQ(134277u, p.calculateOutputFrequencyInKhz());
  // Where 32 bits do not overflow the result is the same: 1 GHz from 0x0A80.
  PllSpeedPattern q = pllPattern(0x0A80);
  ASSERT_EQ(0u, q.incSpeed(1).getRc());
  const uint32_t small = 1u * (3125u * 641u) * 1000u / 2u + 500u;
  EXPECT_EQ(small / 1000u, q.calculateOutputFrequencyInKhz());
}

TEST_F(SpeedPattern, FrequencyZeroIsTheLongestCycleTimeAndANullRangeHasNoFrequency) {
  EXPECT_EQ(0xFFFFFFFFu, PllSpeedPattern::calculateOutputCyletimeInPicoSeconds(0));
  EXPECT_EQ(1000u, PllSpeedPattern::calculateOutputCyletimeInPicoSeconds(1000000));
  PllSpeedPattern p;
  EXPECT_EQ(0u, p.initializeValues(3125, 0, 0xFFFFFFFF, 0x7FF, 640, 0x3800, KavPtr<FrequencyRange>()).getRc());
  EXPECT_EQ(0u, p.calculateOutputFrequencyInKhz());
  EXPECT_EQ(2000000u, p.calculateVcoFrequencyInKhz());
  EXPECT_EQ(640u, p.getPllPattern());  // no range bits
  unsigned int ct = 0;
  EXPECT_EQ(0u, p.getOutputCyletimeInPicoSeconds(ct).getRc());
  EXPECT_EQ(0xFFFFFFFFu, ct);
  EXPECT_EQ(0u, p.getMinimalOutputFrequencyInKhz());
  EXPECT_EQ(0xFFFFFFFFu, p.getMaximalOutputCyletimeInPicoSeconds());
  EXPECT_EQ(0u, p.getReferencedSlotId());
}

TEST_F(SpeedPattern, BitsSelectingNoRangeLeaveThePatternUninitialised) {
  PllSpeedPattern p;
  EXPECT_EQ(0x7245u, m_crc->initializePllSpeedPatternForPattern(1000000, 6, p).getRcWithoutLogFlag());
  EXPECT_FALSE(p.isInit());
  EXPECT_EQ(0x7245u, m_crc->initializePllSpeedPatternForPattern(1000000, 7, p).getRcWithoutLogFlag());
  // An input outside the window stops before.
  EXPECT_EQ(0x7241u, m_pll->initializePllSpeedPatternForPattern(50000, 0x0A80, p).getRcWithoutLogFlag());
  EXPECT_FALSE(p.isInit());
  // Uninitialised: no frequency, no steps.
  unsigned int f = 77;
  EXPECT_EQ(0x700Bu, p.getOutputFrequencyInKhz(f).getRcWithoutLogFlag());
  EXPECT_EQ(77u, f);
  EXPECT_EQ(0x700Bu, p.getOutputCyletimeInPicoSeconds(f).getRcWithoutLogFlag());
  EXPECT_EQ(0x700Bu, p.incSpeed(1).getRcWithoutLogFlag());
  EXPECT_EQ(0x700Bu, p.decSpeed(1).getRcWithoutLogFlag());
  EXPECT_EQ(0x700Bu, p.convertVariationPercentageToCounter(5, f).getRcWithoutLogFlag());
}

TEST_F(SpeedPattern, WithoutFeedbackBitsNIsTheRangesDividerAndTheOutputReferenceTimesMultiplier) {
  KavPtr<SpeedPatternConverter> c = single("0", "4000000000", "0", "4", "3", "0", "4000000000");
  PllSpeedPattern p;
  ASSERT_EQ(0u, c->initializePllSpeedPatternForPattern(100000, 0x1000, p).getRc());
  EXPECT_EQ(4u, p.getFeedbackDivider());
  EXPECT_EQ(300000u, p.calculateOutputFrequencyInKhz());
  EXPECT_EQ(0x1000u, p.getPllPattern());
  // The redundancy chip's converter: the pattern's output is its input.
  PllSpeedPattern q;
  ASSERT_EQ(0u, m_crc->initializePllSpeedPatternForPattern(133301, 4, q).getRc());
  EXPECT_EQ(1u, q.getFeedbackDivider());
  EXPECT_EQ(133301u, q.calculateOutputFrequencyInKhz());
  EXPECT_EQ(4u, q.getPllPattern());
}

TEST_F(SpeedPattern, InitialisingTwiceIsRefusedAndChecksKeepTheValues) {
  PllSpeedPattern p = pllPattern(0x0A80);
  EXPECT_EQ(0x700Cu, p.initializeValues(1, 2, 3, 4, 5, 6, KavPtr<FrequencyRange>()).getRcWithoutLogFlag());
  EXPECT_EQ(0x0A80u, p.getPllPattern());
  EXPECT_EQ(3125u, p.getReferenceFrequencyInKhz());
  // M 1, N 100: VCO 312500 kHz below the window, output below the range;
  // the values stay, the first failure is the VCO's.
  PllSpeedPattern q;
  EXPECT_EQ(0x7242u, m_pll->initializePllSpeedPatternForPattern(kXtalKhz, 0x0800 | 100, q).getRcWithoutLogFlag());
  EXPECT_TRUE(q.isInit());
  EXPECT_EQ(100u, q.getFeedbackDivider());
  // Bits 0 are not checked.
  PllSpeedPattern z;
  EXPECT_EQ(0u, m_pll->initializePllSpeedPatternForPattern(kXtalKhz, 0, z).getRc());
  EXPECT_TRUE(z.isInit());
}

TEST_F(SpeedPattern, StepsBeyondTheWindowsFailAndLeaveN) {
  // VCO window: N 512 .. 2047 of the PLL.
  PllSpeedPattern top = pllPattern(0x0800 | 2046);
  EXPECT_EQ(0u, top.incSpeed(1).getRc());
  EXPECT_EQ(0x7242u, top.incSpeed(1).getRcWithoutLogFlag());
  EXPECT_EQ(2047u, top.getFeedbackDivider());
  PllSpeedPattern bottom = pllPattern(0x0800 | 513);
  EXPECT_EQ(0x7242u, bottom.decSpeed(2).getRcWithoutLogFlag());
  EXPECT_EQ(0x7242u, bottom.decSpeed(600).getRcWithoutLogFlag());  // below N = 0
  EXPECT_EQ(0x7242u, bottom.incSpeed(0xFFFFFFFFu).getRcWithoutLogFlag());  // no wrap to a small N
  EXPECT_EQ(513u, bottom.getFeedbackDivider());
  EXPECT_EQ(0u, bottom.decSpeed(1).getRc());
  // An output window narrower than the VCO's: 0x7243.
  KavPtr<SpeedPatternConverter> c = single("0", "4000000000", "0xFFF", "1", "1", "1000", "1010");
  PllSpeedPattern p;
  ASSERT_EQ(0u, c->initializePllSpeedPatternForPattern(10, 0x1000 | 100, p).getRc());
  EXPECT_EQ(0u, p.incSpeed(1).getRc());
  EXPECT_EQ(0x7243u, p.incSpeed(1).getRcWithoutLogFlag());
  EXPECT_EQ(0x7243u, p.decSpeed(2).getRcWithoutLogFlag());
  EXPECT_EQ(101u, p.getFeedbackDivider());
}

TEST_F(SpeedPattern, SpreadingCounterIsTenthsOfAPercentOfNRounded) {
  PllSpeedPattern p = pllPattern(0x2D55);  // N 1365
  unsigned int counter = 0;
  ASSERT_EQ(0u, p.convertVariationPercentageToCounter(5, counter).getRc());
  EXPECT_EQ(7u, counter);  // 6.825 -> 7
  ASSERT_EQ(0u, p.convertVariationPercentageToCounter(30, counter).getRc());
  EXPECT_EQ(41u, counter);
  ASSERT_EQ(0u, p.convertVariationPercentageToCounter(0, counter).getRc());
  EXPECT_EQ(0u, counter);
  // No 32-bit wrap of N x amount.
  ASSERT_EQ(0u, p.convertVariationPercentageToCounter(4000000u, counter).getRc());
  EXPECT_EQ(5460000u, counter);
}

TEST_F(SpeedPattern, PatternsOfDifferentRangesAreNeitherEqualNorOrdered) {
  const PllSpeedPattern m1 = pllPattern(0x0800 | 640);
  const PllSpeedPattern m2 = pllPattern(0x1000 | 640);
  const PllSpeedPattern m1up = pllPattern(0x0800 | 641);
  EXPECT_FALSE(m1.isSameRange(m2));
  EXPECT_FALSE(m1 == m2);
  EXPECT_TRUE(m1 != m2);
  EXPECT_FALSE(m1 < m2);
  EXPECT_FALSE(m1 > m2);
  EXPECT_FALSE(m1 <= m2);
  EXPECT_FALSE(m1 >= m2);
  EXPECT_FALSE(m2 < m1);
  EXPECT_TRUE(m1.isSameRange(m1up));
  EXPECT_TRUE(m1 < m1up);
  EXPECT_TRUE(m1 <= m1up);
  EXPECT_TRUE(m1up > m1);
  EXPECT_TRUE(m1up >= m1);
  EXPECT_FALSE(m1 == m1up);
  PllSpeedPattern copy(m1);
  EXPECT_TRUE(copy == m1);
  EXPECT_TRUE(copy <= m1 && copy >= m1);
  copy = m2;
  EXPECT_TRUE(copy == m2);
  // Uninitialised patterns are in the same range, not in an initialised one's.
  EXPECT_TRUE(PllSpeedPattern() == PllSpeedPattern());
  EXPECT_FALSE(PllSpeedPattern().isSameRange(m1));
  // Equal values in another object count as the same range.
  KavPtr<SpeedPatternConverter> again = speedtest::buildConverter(m_container.getRawPointer(), m_pllNode);
  PllSpeedPattern other;
  ASSERT_EQ(0u, again->initializePllSpeedPatternForPattern(kXtalKhz, 0x0800 | 640, other).getRc());
  EXPECT_TRUE(other == m1);
}

TEST_F(SpeedPattern, TextsForTraces) {
  EXPECT_EQ("Pattern: 00000A80; Frequency: F4240 kHz; CycleTime: 3E8 pico seconds", pllPattern(0x0A80).asString());
  EXPECT_EQ("Pattern: 00002D55; Frequency: 208B5 kHz; CycleTime: 1D4E pico seconds", pllPattern(0x2D55).asString());
  EXPECT_EQ("Pattern: not initialized", PllSpeedPattern().asString());
}

// ---- list selections ----------------------------------------------------------

namespace {

// A pattern of a range of its own with the window [min, max] kHz at the
// frequency f (reference f, N 1, divider and multiplier 1).
struct Ranges {
  KavPtr<Container> container{new Container(KavPtr<QueryBase>())};
  std::vector<KavPtr<FrequencyRange>> keep;

  PllSpeedPattern make(unsigned int f, unsigned int min, unsigned int max, unsigned int value = 0x10) {
    std::unique_ptr<BinaryReaderNode> node(cardstest::element(
        "FrequencyRange", {{"value", std::to_string(value)},
                           {"outputFrequencyMinKhz", std::to_string(min)},
                           {"outputFrequencyMaxKhz", std::to_string(max)}}));
    KavPtr<FrequencyRange> range(new FrequencyRange());
    range->setAttributes(AttributeInfo(nullptr, node.get(), nullptr));
    cardstest::link(container.getRawPointer(), range.getRawPointer());
    keep.push_back(range);
    PllSpeedPattern p;
    p.initializeValues(f, 0, 0xFFFFFFFF, 0xF, 1, 0xF0, range);
    return p;
  }
};

}  // namespace

TEST_F(SpeedPattern, ListSelections) {
  Ranges r;
  const PllSpeedPattern a = r.make(100000, 50000, 200000, 0x10);
  const PllSpeedPattern b = r.make(150000, 100000, 400000, 0x20);
  const PllSpeedPattern c = r.make(300000, 200000, 800000, 0x30);
  PllSpeedPatternList list;
  EXPECT_FALSE(list.getFirstMatchingRange().isInit());
  EXPECT_FALSE(list.getForLowestRange().isInit());
  EXPECT_FALSE(list.getForHighestRange().isInit());
  list.addPllSpeedPattern(a);
  list.addPllSpeedPattern(b);
  list.addPllSpeedPattern(c);
  EXPECT_EQ(3u, list.elementCount());
  EXPECT_TRUE(list.getFirstMatchingRange() == a);
  // 6667 ps (150 MHz) lies in a's and b's windows.
  PllSpeedPatternList within = list.getPllSpeedPatternListContainingCycleTime(6667);
  ASSERT_EQ(2u, within.elementCount());
  EXPECT_TRUE(within.getElement(0) == a);
  EXPECT_TRUE(within.getElement(1) == b);
  EXPECT_EQ(3u, list.elementCount());  // unchanged
  EXPECT_EQ(0u, list.getPllSpeedPatternListContainingCycleTime(100).elementCount());
  // By bits under a mask: the first that matches.
  EXPECT_TRUE(list.getPllSpeedPattern(0x21, 0xF0) == b);
  EXPECT_TRUE(list.getPllSpeedPattern(0x00, 0x00) == a);
  EXPECT_FALSE(list.getPllSpeedPattern(0x40, 0xF0).isInit());
  EXPECT_TRUE(list.getForSameRange(c) == c);
  EXPECT_FALSE(list.getForSameRange(PllSpeedPattern()).isInit());
  // Lowest range: greatest minimal cycle time (a: 5000 ps); highest:
  // smallest maximal cycle time (c: 5000 ps).
  EXPECT_TRUE(list.getForLowestRange() == a);
  EXPECT_TRUE(list.getForHighestRange() == c);
  // Ties keep the earlier one.
  PllSpeedPatternList ties;
  const PllSpeedPattern a2 = r.make(90000, 50000, 200000, 0x40);
  ties.addPllSpeedPattern(a);
  ties.addPllSpeedPattern(a2);
  EXPECT_TRUE(ties.getForLowestRange() == a);
  EXPECT_TRUE(ties.getForHighestRange() == a);
}

TEST_F(SpeedPattern, BestMatchingRangeScoresTheCoverageOfTheGivenRange) {
  Ranges r;
  // The given pattern: 150 MHz in [100, 200] MHz (width 100 MHz).
  const PllSpeedPattern p = r.make(150000, 100000, 200000, 0x70);
  const PllSpeedPattern half = r.make(150000, 50000, 150000, 0x10);  // covers 100..150: 500
  const PllSpeedPattern most = r.make(150000, 120000, 400000, 0x20);  // covers 120..200: 800
  const PllSpeedPattern all = r.make(150000, 90000, 210000, 0x30);    // covers all: 1000
  const PllSpeedPattern same = r.make(150000, 80000, 220000, 0x40);   // all too: a tie
  EXPECT_EQ(500u, PllSpeedPatternList::bestMatchScore(p, half));
  EXPECT_EQ(800u, PllSpeedPatternList::bestMatchScore(p, most));
  EXPECT_EQ(1000u, PllSpeedPatternList::bestMatchScore(p, all));
  PllSpeedPatternList list;
  list.addPllSpeedPattern(half);
  list.addPllSpeedPattern(most);
  EXPECT_TRUE(list.getForBestMatchingRange(p) == most);
  list.addPllSpeedPattern(all);
  list.addPllSpeedPattern(same);
  EXPECT_TRUE(list.getForBestMatchingRange(p) == all);  // the tie keeps the earlier
  // A candidate whose cycle-time window misses the pattern's cycle time
  // (6667 ps) does not count, however well it covers.
  PllSpeedPatternList outside;
  outside.addPllSpeedPattern(r.make(300000, 160000, 200000, 0x50));
  EXPECT_FALSE(outside.getForBestMatchingRange(p).isInit());
  // A zero score never wins: a candidate touching the window at its lower
  // end only covers nothing of it.
  const PllSpeedPattern edge = r.make(100000, 50000, 100000, 0x60);
  const PllSpeedPattern at100 = r.make(100000, 100000, 200000, 0x61);
  EXPECT_EQ(0u, PllSpeedPatternList::bestMatchScore(at100, edge));
  PllSpeedPatternList zero;
  zero.addPllSpeedPattern(edge);
  EXPECT_FALSE(zero.getForBestMatchingRange(at100).isInit());
  // A zero-width range: no division; a candidate holding its frequency
  // scores 1000, the first such wins.
  const PllSpeedPattern point = r.make(150000, 150000, 150000, 0x62);
  EXPECT_EQ(1000u, PllSpeedPatternList::bestMatchScore(point, most));
  EXPECT_EQ(1000u, PllSpeedPatternList::bestMatchScore(point, half));
  EXPECT_EQ(0u, PllSpeedPatternList::bestMatchScore(point, r.make(150000, 160000, 170000, 0x63)));
  EXPECT_TRUE(list.getForBestMatchingRange(point) == half);
  // No overlap at all scores 0 (no wrap).
  EXPECT_EQ(0u, PllSpeedPatternList::bestMatchScore(p, r.make(150000, 300000, 400000, 0x64)));
  // Windows wider than 4.29 GHz: the 64-bit score.
  const PllSpeedPattern wide = r.make(3000000, 1000, 4000001000u, 0x65);
  EXPECT_EQ(500u, PllSpeedPatternList::bestMatchScore(wide, r.make(3000000, 1000, 2000001000u, 0x66)));
  // An uninitialised pattern: its cycle time is 0xFFFFFFFF.
  EXPECT_FALSE(list.getForBestMatchingRange(PllSpeedPattern()).isInit());
}

TEST_F(SpeedPattern, RangeMapKeepsChildOrderAndReplacesARepeatedValueInPlace) {
  KavPtr<SpeedPatternConverter> c = speedtest::makeConverter(
      m_container.getRawPointer(), {{"outputDividerMask", "0xF"}},
      {{{"value", "3"}, {"divider", "3"}}, {{"value", "1"}}, {{"value", "3"}, {"divider", "7"}}});
  SpeedPatternConverter::RangeMap_t map = c->getRangeMap();
  ASSERT_EQ(2u, map.size());
  EXPECT_EQ(3u, map[0].first);
  EXPECT_EQ(7u, map[0].second->getDivider());
  EXPECT_EQ(1u, map[1].first);
  c->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_TRUE(c->getRangeMap().empty());
  // Attribute defaults.
  EXPECT_EQ(1u, c->getDivider());
  EXPECT_EQ(1u, c->getMultiplier());
  EXPECT_EQ(get_id_by_string("ICS842S02"), m_pll->getTypeId());
  EXPECT_EQ(3125u, m_pll->getReferenceValue(kXtalKhz));
  EXPECT_EQ(0x7242u, m_pll->checkVcoFrequency(1599999).getRcWithoutLogFlag());
  EXPECT_EQ(0u, m_pll->checkVcoFrequency(1600000).getRc());
  EXPECT_TRUE(m_pll->isVcoFrequencyInRange(6396875));  // N 2047
  EXPECT_FALSE(m_pll->isVcoFrequencyInRange(6400000));
  EXPECT_EQ(0x7241u, m_pll->checkInputFrequency(26001).getRcWithoutLogFlag());
}
