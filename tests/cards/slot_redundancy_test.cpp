// A slot redundancy controller follows configure and unconfigure of its
// listed slots only.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "kav/cards/Slot.h"
#include "kav/cards/SlotRedundancyController.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"

namespace {

class RecordingController : public SlotRedundancyController {
 public:
  using SlotRedundancyController::handleConfigEvent;
  using SlotRedundancyController::handleUnconfigEvent;
  void handleConfigEvent(unsigned int slotId) override { record(slotId, true); }
  void handleUnconfigEvent(unsigned int slotId) override { record(slotId, false); }

  std::vector<std::pair<unsigned int, bool>> seen() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
  }

 private:
  void record(unsigned int slotId, bool configured) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_seen.emplace_back(slotId, configured);
  }
  std::mutex m_lock;
  std::vector<std::pair<unsigned int, bool>> m_seen;
};

class SlotRedundancyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
};

}  // namespace

TEST_F(SlotRedundancyTest, ListedSlotsReachTheirPerSlotOperations) {
  std::unique_ptr<BinaryReaderNode> node(
      cardstest::element("Controller", {{get_string_by_id(kav::sid::SLOT_ID), "0x30, 0x31"}}));
  KavPtr<RecordingController> controller(new RecordingController());
  ASSERT_EQ(0u, controller->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  EXPECT_TRUE(controller->containsSlotId(0x31));
  EXPECT_FALSE(controller->containsSlotId(0x32));
  ASSERT_EQ(0u, controller->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  EXPECT_EQ(4u, controller->getRegistrationCount());

  KavPtr<Slot> listed(new Slot());
  listed->setSlotId(0x31);
  KavPtr<Slot> other(new Slot());
  other->setSlotId(0x32);
  other->setConfigComplete(true);
  listed->setConfigComplete(true);
  other->setConfigComplete(false);
  listed->setConfigComplete(false);
  ASSERT_TRUE(e2e::waitFor([&] { return controller->seen().size() >= 2; }));
  // The events of the other slot came first: had they matched, they would be here.
  const std::vector<std::pair<unsigned int, bool>> expected = {{0x31u, true}, {0x31u, false}};
  EXPECT_EQ(expected, controller->seen());

  controller->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  EXPECT_EQ(0u, controller->getRegistrationCount());
}
