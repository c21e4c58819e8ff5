// A card that is announced but never configured: the end of the initial plug
// round waits 60 s for it, forces the configuration complete and pauses
// 10 s (both at the test's time scale).
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

TEST(InitialConfig, CardThatNeverConfiguresIsForcedComplete) {
  ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  // A slot without detector and builder: listed, never configured.
  ASSERT_EQ(0, kav::send_card_plug(0x12, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 2; }));
  EXPECT_FALSE(is_config_complete());

  clearTraces();
  EXPECT_EQ(0x7007u, code(kav::finish_initial_config()));
  EXPECT_TRUE(is_config_complete());
  EXPECT_TRUE(is_minimum_config_complete());

  testsupport::TracedRecord wait, forced, pause, done;
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config wait ", wait));
  ASSERT_TRUE(lastTrace("KAVE", "kav::finish_initial_config configuration not complete, forcing", forced));
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config pause ", pause));
  ASSERT_TRUE(lastTrace("KAVT", "kav::finish_initial_config rc=", done));
  EXPECT_EQ("kav::finish_initial_config wait " + std::to_string(scaled(60000)) + " ms", wait.text);
  EXPECT_TRUE(tookAbout((forced.us - wait.us) / 1000.0, scaled(60000)));
  EXPECT_EQ("kav::finish_initial_config pause " + std::to_string(scaled(10000)) + " ms", pause.text);
  EXPECT_TRUE(tookAbout((done.us - pause.us) / 1000.0, scaled(10000)));
  EXPECT_EQ(0, kav::stop());
}
