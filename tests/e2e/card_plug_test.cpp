// Plugging and unplugging the oscillator cards of a started library.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

class CardPlug : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(0, kav::start(kav::PHE_Domain, true)); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }

  static std::set<unsigned int> functional() {
    std::set<unsigned int> slots;
    kav::getFunctionalCardSlots(slots);
    return slots;
  }
  static std::set<unsigned int> doNotUse() {
    std::set<unsigned int> slots;
    kav::getDoNotUseCardSlots(slots);
    return slots;
  }
};

}  // namespace

TEST_F(CardPlug, PluggedCardIsBuiltAfterTheDelayAndUnpluggedCardIsRemovedAtOnce) {
  clearTraces();
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  // The build waits 2 s (at the test's time scale) after the plug.
  BuildTiming build;
  ASSERT_TRUE(waitForBuild(kCard0, build));
  EXPECT_EQ(scaled(2000), build.delayMs);
  EXPECT_TRUE(tookAbout(build.measuredMs(), scaled(2000)));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 2; }));
  // The content, with the part of the card type the adapter reports.
  EXPECT_EQ(1u, countNodes("OscCardContent", kCard0));
  EXPECT_EQ(1u, countNodes("OscCardFruId", kCard0));
  EXPECT_EQ(1u, countNodes("OscCardOscillators", kCard0));
  EXPECT_EQ(1u, slotState(kCard1));

  clearTraces();
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  // Removal does not wait.
  ASSERT_TRUE(waitForBuild(kCard0, build));
  EXPECT_EQ(0u, build.delayMs);
  EXPECT_TRUE(tookAbout(build.measuredMs(), 0));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 1; }));
  EXPECT_EQ(0u, countNodes("OscCardContent", kCard0));
  EXPECT_EQ(0u, countNodes("OscCardOscillators", kCard0));
  EXPECT_TRUE(waitFor([] { return kav::pendingDeletions() == 0; }));
}

TEST_F(CardPlug, UnplugWithinTheDelayCancelsTheBuild) {
  clearTraces();
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  // Past the moment the cancelled build would have run.
  std::this_thread::sleep_for(std::chrono::milliseconds(scaled(2000) + 600));
  EXPECT_EQ(1u, slotState(kCard1));
  EXPECT_EQ(0u, countNodes("OscCardContent", kCard1));
  // Depending on when the plug was handled, its build was scheduled and
  // cancelled by the unplug's immediate removal, or nothing was scheduled.
  const std::vector<BuildTiming> jobs = builds(kCard1);
  ASSERT_TRUE(jobs.empty() || jobs.size() == 2u) << jobs.size();
  if (!jobs.empty()) {
    EXPECT_EQ(scaled(2000), jobs[0].delayMs);
    EXPECT_EQ(0u, jobs[0].startedUs) << "the build of the plug ran";
    EXPECT_EQ(0u, jobs[1].delayMs);
  }

  // The slot still works: a card that stays is built.
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 2; }));
  EXPECT_EQ(1u, countNodes("OscCardContent", kCard1));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
}

TEST_F(CardPlug, StatusesAreRecordedPerSlot) {
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_DoNotUse));
  EXPECT_EQ(std::set<unsigned int>{kCard1}, doNotUse());
  EXPECT_EQ(0u, functional().count(kCard1));
  // A do-not-use card is present: it is built.
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 2; }));

  // An unknown status counts as plugged and lands in neither set.
  ASSERT_EQ(0, kav::send_card_plug(kCard1, static_cast<kav::SlotStatus_t>(7)));
  EXPECT_EQ(0u, doNotUse().count(kCard1));
  EXPECT_EQ(0u, functional().count(kCard1));
  EXPECT_EQ(2u, slotState(kCard1));

  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  EXPECT_EQ(0u, doNotUse().count(kCard1));
  EXPECT_EQ(0u, functional().count(kCard1));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
}

TEST_F(CardPlug, SlotsWithoutDetectorOrCardChangeNothing) {
  // A slot that is not in the tree: recorded, nothing else happens.
  EXPECT_EQ(0, kav::send_card_plug(0x55, kav::e_Plugged_Functional));
  EXPECT_EQ(std::set<unsigned int>{0x55}, functional());
  // Removing a card that was never reported sends nothing.
  EXPECT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  EXPECT_EQ(1u, slotState(kCard0));
  EXPECT_EQ(2u, slotState(kBaseDomain));
  EXPECT_FALSE(is_config_complete());
}
