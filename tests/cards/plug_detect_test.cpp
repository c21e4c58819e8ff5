// Plug detectors whose state is set from outside: which state changes
// become plug events, and when.
#include <gtest/gtest.h>

#include "kav/cards/PlugDetectHwrIp.h"
#include "kav/cards/Slot.h"
#include "tests/cards/CardsTestSupport.h"

namespace {

const unsigned int kSentinelId = 99;

// A slot with one detector under test (id 0) and a sentinel detector whose
// plug event, sent last, shows that everything before it was delivered.
class PlugDetectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    static unsigned int nextSlot = 0x40;
    m_slotId = nextSlot++;
    m_slot = new Slot();
    m_slot->setSlotId(m_slotId);
    m_detector = new PlugDetectHwrIp();
    m_sentinel = new PlugDetectHwrIp();
    m_sentinel->setPlugDetectId(kSentinelId);
    cardstest::link(m_slot.getRawPointer(), m_detector.getRawPointer());
    cardstest::link(m_slot.getRawPointer(), m_sentinel.getRawPointer());
    m_sentinel->enablePlug();
    m_recorder.reset(new cardstest::Recorder<PlugEvent>(PlugEventSender::getInstance(), m_slotId));
  }

  // The events of the detector under test, up to the sentinel's.
  std::vector<PlugEvent> drain() {
    m_sentinel->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
    m_sentinel->setPlugState(PlugDetectHwrInterface::PLUGGED);
    const unsigned int wanted = ++m_sentinels;
    std::vector<PlugEvent> events = m_recorder->waitUntil([wanted](const std::vector<PlugEvent>& all) {
      unsigned int seen = 0;
      for (const PlugEvent& e : all) seen += e.getPlugId() == kSentinelId ? 1 : 0;
      return seen >= wanted;
    });
    std::vector<PlugEvent> own;
    for (const PlugEvent& e : events)
      if (e.getPlugId() != kSentinelId) own.push_back(e);
    return own;
  }

  unsigned int m_slotId = 0;
  KavPtr<Slot> m_slot;
  KavPtr<PlugDetectHwrIp> m_detector;
  KavPtr<PlugDetectHwrIp> m_sentinel;
  unsigned int m_sentinels = 0;
  std::unique_ptr<cardstest::Recorder<PlugEvent>> m_recorder;
};

}  // namespace

TEST_F(PlugDetectTest, ArmedDetectorReportsOnePlugForRepeatedStates) {
  m_detector->enablePlug();
  m_detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  m_detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  std::vector<PlugEvent> events = drain();
  ASSERT_EQ(1u, events.size());
  EXPECT_TRUE(events[0].isPlugEvent());
  EXPECT_EQ(m_slotId, events[0].getSlotId());
  EXPECT_EQ(0u, events[0].getPlugId());
}

TEST_F(PlugDetectTest, UnplugWhileWaitingForAPlugSendsNothing) {
  m_detector->enablePlug();
  m_detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  // Nobody re-armed the detector for the unplug.
  m_detector->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
  std::vector<PlugEvent> events = drain();
  ASSERT_EQ(1u, events.size());
  EXPECT_TRUE(events[0].isPlugEvent());
  EXPECT_TRUE(m_detector->isWaitingForPlug());
}

TEST_F(PlugDetectTest, PlugBeforeArmingIsReportedWhenArmed) {
  m_detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  EXPECT_TRUE(drain().empty());
  m_detector->enablePlug();
  std::vector<PlugEvent> events = drain();
  ASSERT_EQ(1u, events.size());
  EXPECT_TRUE(events[0].isPlugEvent());
  // Arming again does not report the same plug twice.
  m_detector->enablePlug();
  EXPECT_EQ(1u, drain().size());
}

TEST_F(PlugDetectTest, ArmingForUnplugReportsACardAlreadyGone) {
  m_detector->enablePlug();
  m_detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  m_detector->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
  m_detector->enableUnplug();
  std::vector<PlugEvent> events = drain();
  ASSERT_EQ(2u, events.size());
  EXPECT_TRUE(events[1].isUnplugEvent());
  EXPECT_EQ(0u, events[1].getPlugId());
  PlugDetectHwrInterface::plugState_t state = PlugDetectHwrInterface::PLUGGED;
  EXPECT_EQ(0u, m_detector->readPlugState(state).getRc());
  EXPECT_EQ(PlugDetectHwrInterface::UNPLUGGED, state);
}

TEST_F(PlugDetectTest, UnplugOfACardNeverReportedSendsNothing) {
  m_detector->enablePlug();
  m_detector->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
  EXPECT_TRUE(drain().empty());
}
