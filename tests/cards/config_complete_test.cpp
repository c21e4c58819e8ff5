// The configuration-complete object: announced cards, configuration events
// and the process-wide configuration state.
#include <gtest/gtest.h>

#include "kav/events/ConfigCompleteEvent.h"
#include "kav/tree/start/ConfigCompleteIp.h"
#include "tests/cards/CardsTestSupport.h"

namespace {

const unsigned int kBase = 0x10000;

ConfigChangeEvent configured(unsigned int slot) { return ConfigChangeEvent(slot, ConfigChangeEvent::CONFIGURED); }
ConfigChangeEvent unconfigured(unsigned int slot) { return ConfigChangeEvent(slot, ConfigChangeEvent::UNCONFIGURED); }

class ConfigCompleteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
  void SetUp() override {
    ConfigCompleteBase::resetConfigCompleteReady();
    m_complete = new ConfigCompleteIp();
  }
  KavPtr<ConfigCompleteIp> m_complete;
};

}  // namespace

TEST_F(ConfigCompleteTest, BaseDomainConfigureMakesReady) {
  EXPECT_EQ(0x7007u, ConfigCompleteBase::waitConfigCompleteReady(0).getRcWithoutLogFlag());
  m_complete->handleConfigChangeEvent(configured(kBase));
  EXPECT_EQ(0u, ConfigCompleteBase::waitConfigCompleteReady(0).getRc());
  EXPECT_EQ(0x7007u, ConfigCompleteBase::waitConfigCompleteNotReady(0).getRcWithoutLogFlag());
  EXPECT_FALSE(ConfigCompleteBase::isConfigComplete());
}

TEST_F(ConfigCompleteTest, AnnouncedCardsCompleteOnceConfiguredAfterThePlugRound) {
  m_complete->cardPlugged(0x10);
  m_complete->cardPlugged(0x11);
  m_complete->cardPlugged(0x10);
  EXPECT_EQ(2u, m_complete->getPendingCardCount());

  m_complete->handleConfigChangeEvent(configured(0x10));
  m_complete->handleConfigChangeEvent(configured(0x10));
  EXPECT_EQ(1u, m_complete->getConfiguredCardCount());
  m_complete->handleConfigChangeEvent(configured(0x11));
  // Every card is configured, but the plug round is not over yet.
  EXPECT_FALSE(ConfigCompleteBase::isConfigComplete());

  cardstest::Recorder<ConfigCompleteEvent> recorder(ConfigCompleteEventSender::getInstance(),
                                                    ConfigCompleteEvent::CONFIG_COMPLETE);
  m_complete->initialCardPlugDone();
  EXPECT_TRUE(ConfigCompleteBase::isConfigComplete());
  EXPECT_TRUE(ConfigCompleteBase::isMinimumConfigComplete());
  EXPECT_EQ(0u, ConfigCompleteBase::waitConfigComplete(-1).getRc());
  // Completing again sends no second event.
  m_complete->ipConfigIsComplete();
  m_complete->handleConfigChangeEvent(configured(0x11));
  // Only after a reset does completion send again.
  ConfigCompleteBase::resetConfigCompleteReady();
  m_complete->initialCardPlugDone();
  std::vector<ConfigCompleteEvent> events = recorder.waitFor(2);
  EXPECT_EQ(2u, events.size());
  EXPECT_EQ(2u, recorder.waitFor(2).size());
}

TEST_F(ConfigCompleteTest, ConfigurationOfAnUnannouncedSlotChangesNothing) {
  m_complete->cardPlugged(0x10);
  m_complete->initialCardPlugDone();
  m_complete->handleConfigChangeEvent(configured(0x55));
  EXPECT_EQ(0u, m_complete->getConfiguredCardCount());
  EXPECT_EQ(1u, m_complete->getPendingCardCount());
  EXPECT_FALSE(ConfigCompleteBase::isConfigComplete());
  m_complete->handleConfigChangeEvent(configured(0x10));
  EXPECT_TRUE(ConfigCompleteBase::isConfigComplete());
}

TEST_F(ConfigCompleteTest, NoAnnouncedCardCompletesWhenThePlugRoundEnds) {
  m_complete->initialCardPlugDone();
  EXPECT_TRUE(ConfigCompleteBase::isConfigComplete());
}

TEST_F(ConfigCompleteTest, BaseDomainUnconfigureMakesNotReadyAndForgetsTheCards) {
  m_complete->handleConfigChangeEvent(configured(kBase));
  m_complete->cardPlugged(0x10);
  m_complete->handleConfigChangeEvent(configured(0x10));
  m_complete->initialCardPlugDone();
  ASSERT_TRUE(ConfigCompleteBase::isConfigComplete());

  // A card leaving after completion changes nothing.
  m_complete->handleConfigChangeEvent(unconfigured(0x10));
  EXPECT_TRUE(ConfigCompleteBase::isConfigComplete());

  m_complete->handleConfigChangeEvent(unconfigured(kBase));
  EXPECT_FALSE(ConfigCompleteBase::isConfigComplete());
  EXPECT_FALSE(ConfigCompleteBase::isMinimumConfigComplete());
  EXPECT_EQ(0u, ConfigCompleteBase::waitConfigCompleteNotReady(0).getRc());
  EXPECT_EQ(0x7007u, ConfigCompleteBase::waitConfigCompleteReady(0).getRcWithoutLogFlag());
  EXPECT_EQ(0u, m_complete->getPendingCardCount());
  EXPECT_FALSE(m_complete->isInitialCardPlugDone());
}

TEST_F(ConfigCompleteTest, BaseDomainUnconfigureBeforeCompletionStillMakesNotReady) {
  // Without this, stopping before the plug round ended would wait forever.
  m_complete->handleConfigChangeEvent(configured(kBase));
  m_complete->cardPlugged(0x10);
  m_complete->handleConfigChangeEvent(unconfigured(kBase));
  EXPECT_EQ(0u, ConfigCompleteBase::waitConfigCompleteNotReady(0).getRc());
  EXPECT_EQ(0u, m_complete->getPendingCardCount());
}
