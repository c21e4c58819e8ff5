// A card that is announced but never configured: the end of the initial plug
// round waits 60 s for it and then forces the configuration complete.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

TEST(InitialConfigSlow, CardThatNeverConfiguresIsForcedComplete) {
  ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  // A slot without detector and builder: listed, never configured.
  ASSERT_EQ(0, kav::send_card_plug(0x12, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 2; }));
  EXPECT_FALSE(is_config_complete());

  EXPECT_EQ(0x7007u, code(kav::finish_initial_config()));
  EXPECT_TRUE(is_config_complete());
  EXPECT_TRUE(is_minimum_config_complete());
  EXPECT_EQ(0, kav::stop());
}
