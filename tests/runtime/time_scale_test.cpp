#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kav/runtime/TimeScale.h"

namespace {

TEST(TimeScale, ReadsDecimalFactorsUpToOne) {
  struct Case {
    const char* text;
    bool ok;
    unsigned int factor;
  };
  const Case cases[] = {
      {"1", true, 1000000},        {"1.0", true, 1000000},     {"0.1", true, 100000},
      {".25", true, 250000},       {"0.05", true, 50000},      {"0.000001", true, 1},
      {"0.0000019", true, 1},      {"01", true, 1000000},      {"0", false, 0},
      {"0.0000001", false, 0},     {"1.5", false, 0},          {"2", false, 0},
      {"10", false, 0},            {"-0.1", false, 0},         {"", false, 0},
      {".", false, 0},             {"0.1x", false, 0},         {" 0.1", false, 0},
      {"0,1", false, 0},           {"1e-1", false, 0},         {"1.000001", false, 0},
  };
  for (const Case& c : cases) {
    unsigned int factor = 77;
    EXPECT_EQ(c.ok, TimeScale::parse(c.text, factor)) << '"' << c.text << '"';
    EXPECT_EQ(c.ok ? c.factor : 77u, factor) << '"' << c.text << '"';
  }
  unsigned int factor = 77;
  EXPECT_FALSE(TimeScale::parse(nullptr, factor));
}

TEST(TimeScale, ShortensToTheNearestMillisecondButNeverToZero) {
  struct Case {
    unsigned int ms;
    unsigned int factor;
    unsigned int scaled;
  };
  const Case cases[] = {
      {2000, 1000000, 2000},  // real time
      {2000, 100000, 200},     {60000, 100000, 6000},   {10000, 50000, 500},
      {10, 100000, 1},          {50, 100000, 5},         {14, 100000, 1},
      {15, 100000, 2},          // halves round up
      {1, 1, 1},                {3000000000u, 1, 3000},  // no overflow
      {4294967295u, 999999, 4294963000u},
      {0, 100000, 0},           // no delay stays none
      {2000, 0, 2000},          {2000, 2000000, 2000},   // never a lengthening
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.scaled, TimeScale::scale(c.ms, c.factor)) << c.ms << " ms at " << c.factor;
}

TEST(TimeScale, WritesTheFactorAsADecimal) {
  EXPECT_EQ("1", TimeScale::toString(TimeScale::kRealTime));
  EXPECT_EQ("0.1", TimeScale::toString(100000));
  EXPECT_EQ("0.000001", TimeScale::toString(1));
  EXPECT_EQ("0.25", TimeScale::toString(250000));
  // What it writes reads back.
  unsigned int factor = 0;
  ASSERT_TRUE(TimeScale::parse(TimeScale::toString(123456).c_str(), factor));
  EXPECT_EQ(123456u, factor);
}

// Each case runs in a fresh process: the variable is read at the first use.
TEST(TimeScaleDeathTest, ReadsTheVariableOnceAtFirstUse) {
  setenv(TimeScale::kVariable, "0.25", 1);
  EXPECT_EXIT(
      {
        const unsigned int first = TimeScale::delayMs(2000);
        setenv(TimeScale::kVariable, "0.5", 1);
        const bool ok = first == 500 && TimeScale::delayMs(2000) == 500 && TimeScale::factor() == 250000;
        std::fprintf(stderr, "first=%u\n", first);
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "first=500");
  unsetenv(TimeScale::kVariable);
}

TEST(TimeScaleDeathTest, UnsetOrInvalidMeansRealTime) {
  for (const char* value : {static_cast<const char*>(nullptr), "", "3", "fast"}) {
    if (value == nullptr)
      unsetenv(TimeScale::kVariable);
    else
      setenv(TimeScale::kVariable, value, 1);
    EXPECT_EXIT(std::_Exit(TimeScale::delayMs(2000) == 2000 && TimeScale::factor() == TimeScale::kRealTime ? 0 : 1),
                ::testing::ExitedWithCode(0), "")
        << (value != nullptr ? value : "(unset)");
  }
  unsetenv(TimeScale::kVariable);
}

}  // namespace
