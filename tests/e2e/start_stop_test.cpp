// Start, stop and a second start of the library, in the order a service
// processor runs them. The tests of this file build on each other.
#include <gtest/gtest.h>

#include <set>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

unsigned int countClass(const std::string& className) {
  unsigned int count = 0;
  for (const kav::TreeNodeInfo& n : tree())
    if (n.className == className) ++count;
  return count;
}

std::set<unsigned int> functionalSlots() {
  std::set<unsigned int> slots{0xDEAD};
  kav::getFunctionalCardSlots(slots);
  return slots;
}

}  // namespace

TEST(StartStop, CallsBeforeStartFindNoConfigurationCompleteObject) {
  EXPECT_EQ(0x7012u, code(kav::send_card_plug(kCard0, kav::e_Plugged_Functional)));
  EXPECT_EQ(0x7012u, code(kav::finish_initial_config()));
  // The refused announcement is not recorded.
  EXPECT_TRUE(functionalSlots().empty());
  EXPECT_FALSE(is_config_complete());
  EXPECT_TRUE(tree().empty());
}

TEST(StartStop, FirstStartBuildsTheBaseDomainForItsDomainType) {
  ASSERT_EQ(0, kav::start(kav::PIH_A_Domain, true));
  EXPECT_EQ(2u, slotState(kBaseDomain));
  // The domain text reached the base domain's id provider: its part was built.
  EXPECT_EQ(1u, countNodes("PIH_A_DomainClocks", kBaseDomain));
  EXPECT_EQ(0u, countNodes("PHE_DomainClocks", kBaseDomain));
  // The card slots exist and wait for their cards.
  EXPECT_EQ(1u, slotState(kCard0));
  EXPECT_EQ(1u, slotState(kCard1));
  // The slot-id providers left the tree once the slots had their ids.
  EXPECT_EQ(0u, countClass("FixedSlotIdProvider"));
  EXPECT_FALSE(is_config_complete());
  EXPECT_FALSE(is_minimum_config_complete());
}

TEST(StartStop, CardsConfiguredBeforeTheEndOfThePlugRoundCompleteWhenItEnds) {
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 2 && slotState(kCard1) == 2; }));
  // Both cards are configured, but the initial plug round is not over.
  EXPECT_FALSE(is_config_complete());
  EXPECT_EQ(0x7007u, wait_config_complete(0).getRcWithoutLogFlag());

  EXPECT_EQ(0, kav::finish_initial_config());
  EXPECT_TRUE(is_config_complete());
  EXPECT_TRUE(is_minimum_config_complete());
  EXPECT_EQ(0u, wait_config_complete(0).getRcWithoutLogFlag());
  EXPECT_EQ(0u, wait_minimum_config_complete(-1).getRcWithoutLogFlag());
  EXPECT_EQ((std::set<unsigned int>{kCard0, kCard1}), functionalSlots());
  EXPECT_EQ(1u, countNodes("OscCardOscillators", kCard0));
  EXPECT_EQ(1u, countNodes("OscCardOscillators", kCard1));
}

TEST(StartStop, StopRemovesTheContentAndKeepsTheTree) {
  EXPECT_EQ(0, kav::stop());
  EXPECT_FALSE(is_config_complete());
  EXPECT_FALSE(is_minimum_config_complete());
  EXPECT_TRUE(functionalSlots().empty());
  // The base domain's content, with the card slots, is gone at once.
  EXPECT_EQ(1u, slotState(kBaseDomain));
  EXPECT_EQ(0u, slotState(kCard0));
  EXPECT_EQ(0u, countNodes("IpDomainContent", kBaseDomain));
  EXPECT_EQ(1u, countNodes("ConfigComplete", 0));
  // The collector deletes the removed objects once nothing refers to them.
  EXPECT_TRUE(waitFor([] { return kav::pendingDeletions() == 0; }));
}

TEST(StartStop, SecondStartOnlyEnablesPlugEventsAndStartsAfresh) {
  // Running the earlier steps again would map the detectors twice (0x7002).
  ASSERT_EQ(0, kav::start(kav::PIH_A_Domain, true));
  EXPECT_EQ(2u, slotState(kBaseDomain));
  EXPECT_EQ(1u, countNodes("PIH_A_DomainClocks", kBaseDomain));
  EXPECT_EQ(1u, slotState(kCard0));
  EXPECT_FALSE(is_config_complete());

  // The cards of the first run count no more: only card 1 is announced.
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_DoNotUse));
  EXPECT_EQ(0, kav::finish_initial_config());
  EXPECT_TRUE(is_config_complete());
  EXPECT_EQ(2u, slotState(kCard1));
  EXPECT_EQ(1u, slotState(kCard0));
  std::set<unsigned int> doNotUse;
  kav::getDoNotUseCardSlots(doNotUse);
  EXPECT_EQ(std::set<unsigned int>{kCard1}, doNotUse);

  EXPECT_EQ(0, kav::stop());
  EXPECT_FALSE(is_config_complete());
}
