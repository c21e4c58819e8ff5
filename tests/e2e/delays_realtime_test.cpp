// The delays of a power-on at real time. The test environment runs this
// program without the time scale of the other end-to-end tests
// (tests/CMakeLists.txt): the base domain and a card are built 2 s after
// their plug, and the end of the initial configuration pauses 2 s. The
// tests of this file build on each other.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

TEST(DelaysRealTime, RunsWithoutATimeScale) {
  EXPECT_EQ(nullptr, std::getenv(TimeScale::kVariable));
  EXPECT_EQ(TimeScale::kRealTime, TimeScale::factor());
}

TEST(DelaysRealTime, BaseDomainIsBuiltTwoSecondsAfterStartPlugsIt) {
  clearTraces();
  EXPECT_EQ(0, kav::start(kav::PHE_Domain, true));
  BuildTiming build;
  ASSERT_TRUE(waitForBuild(kBaseDomain, build));
  EXPECT_EQ(2000u, build.delayMs);
  EXPECT_TRUE(tookAbout(build.measuredMs(), 2000));
  EXPECT_EQ(2u, slotState(kBaseDomain));
}

TEST(DelaysRealTime, CardIsBuiltTwoSecondsAfterItsPlug) {
  clearTraces();
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  BuildTiming build;
  ASSERT_TRUE(waitForBuild(kCard0, build));
  EXPECT_EQ(2000u, build.delayMs);
  EXPECT_TRUE(tookAbout(build.measuredMs(), 2000));
  EXPECT_TRUE(waitFor([] { return slotState(kCard0) == 2; }));
}

TEST(DelaysRealTime, EndOfThePlugRoundPausesTwoSeconds) {
  clearTraces();
  EXPECT_EQ(0, kav::finish_initial_config());
  EXPECT_TRUE(is_config_complete());
  testsupport::TracedRecord wait, pause, done;
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config wait ", wait));
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config pause ", pause));
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config rc=", done));
  EXPECT_EQ("kav::finish_initial_config wait 60000 ms", wait.text);
  EXPECT_EQ("kav::finish_initial_config pause 2000 ms", pause.text);
  EXPECT_TRUE(tookAbout((done.us - pause.us) / 1000.0, 2000));
  EXPECT_EQ(0, kav::stop());
}
