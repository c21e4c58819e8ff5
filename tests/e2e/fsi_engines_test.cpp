// The engines of the simulated machine appear in the tree as the library
// starts and the cards are plugged; a card whose CFAM does not answer gets
// none. The tests of this file build on each other.
#include <gtest/gtest.h>

#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

unsigned int countClassInSlot(const std::string& className, unsigned int slotId) {
  unsigned int count = 0;
  for (const kav::TreeNodeInfo& n : tree())
    if (n.className == className && n.slotId == slotId) ++count;
  return count;
}

}  // namespace

TEST(FsiEngines, BaseDomainGetsItsGpioEngines) {
  ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
  EXPECT_EQ(1u, countNodes("BaseCfam", kBaseDomain));
  EXPECT_EQ(1u, countNodes("GPIO-Link_0-Engine_0", kBaseDomain));
  EXPECT_EQ(1u, countNodes("GPIO-Link_0-Engine_1", kBaseDomain));
  EXPECT_EQ(2u, countClassInSlot("DioViaFsiHwa", kBaseDomain));
  // The hardware-access configuration was read and dropped again.
  EXPECT_EQ(0u, countNodes("DomainHwaConfig", kBaseDomain));
  EXPECT_EQ(0u, countClassInSlot("EngineProvider", kBaseDomain));
}

TEST(FsiEngines, EachCardGetsTheEngineOfItsOwnLink) {
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 2 && slotState(kCard1) == 2; }));
  EXPECT_EQ(1u, countNodes("OscCardCfam", kCard0));
  EXPECT_EQ(1u, countNodes("GPIO-Link_1-Engine_0", kCard0));
  EXPECT_EQ(1u, countNodes("OscCardOscillators", kCard0));
  // Card 1's CFAM (link 2) is gone: no engines.
  EXPECT_EQ(1u, countNodes("OscCardCfam", kCard1));
  EXPECT_EQ(0u, countClassInSlot("DioViaFsiHwa", kCard1));
  EXPECT_EQ(0u, countNodes("OscCardHwaConfig", kCard0));
  ASSERT_TRUE(ravosim::insertCfam(2, 0));

  // Plugged again with its CFAM present, card 1 gets its engine.
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 2; }));
  EXPECT_EQ(1u, countNodes("GPIO-Link_1-Engine_0", kCard1));
}

TEST(FsiEngines, StopClosesTheEngines) {
  EXPECT_EQ(0, kav::stop());
  ASSERT_TRUE(waitFor([] { return ravosim::openHandles() == 0; }));
}
