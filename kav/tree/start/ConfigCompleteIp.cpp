#include "kav/tree/start/ConfigCompleteIp.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"

KAV_TREE_CLASS_IMPL(ConfigCompleteIp, ConfigCompleteBase)

namespace {
const unsigned int kHandlerLimitMs = 1000;
}

ConfigCompleteIp::ConfigCompleteIp() : m_configuredCards(0), m_initialCardPlugDone(0) {}

ConfigCompleteIp::~ConfigCompleteIp() {}

void ConfigCompleteIp::dump() const {
  IFOSGuard<const QueryBase> guard(*this);
  ConfigCompleteBase::dump();
  KAV_TRACE(KAVT, "ConfigCompleteIp cards=%u configured=%u initialDone=%u",
            static_cast<unsigned int>(m_pendingCards.size()), m_configuredCards,
            static_cast<unsigned int>(m_initialCardPlugDone));
  for (const PendingCard_s& card : m_pendingCards)
    KAV_TRACE(KAVT, "ConfigCompleteIp card slot=0x%08X configured=%u", card.slotId,
              static_cast<unsigned int>(card.configured));
}

void ConfigCompleteIp::logConfigComplete(bool) {}

void ConfigCompleteIp::logMinimumConfigComplete(bool) {}

bool ConfigCompleteIp::allCardsConfigured() const { return m_pendingCards.size() == m_configuredCards; }

void ConfigCompleteIp::cardPlugged(unsigned int slotId) {
  IFOSGuard<const QueryBase> guard(*this);
  for (const PendingCard_s& card : m_pendingCards)
    if (card.slotId == slotId) return;
  m_pendingCards.push_back(PendingCard_s{slotId, 0});
  KAV_TRACE(KAVT, "ConfigCompleteIp::cardPlugged slot=0x%08X cards=%u", slotId,
            static_cast<unsigned int>(m_pendingCards.size()));
}

void ConfigCompleteIp::initialCardPlugDone() {
  IFOSGuard<const QueryBase> guard(*this);
  m_initialCardPlugDone = 1;
  KAV_TRACE(KAVT, "ConfigCompleteIp::initialCardPlugDone cards=%u configured=%u",
            static_cast<unsigned int>(m_pendingCards.size()), m_configuredCards);
  if (allCardsConfigured()) {
    setMinimumConfigComplete(false);
    setConfigComplete(false);
  }
}

void ConfigCompleteIp::ipConfigIsComplete() {
  IFOSGuard<const QueryBase> guard(*this);
  setMinimumConfigComplete(true);
  setConfigComplete(true);
}

void ConfigCompleteIp::handleConfigChangeEvent(const ConfigChangeEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleConfigChangeEvent");
  const unsigned int slotId = event.getSlotId();
  KAV_TRACE(KAVT, "ConfigCompleteIp::handleConfigChangeEvent slot=0x%08X state=%u", slotId,
            static_cast<unsigned int>(event.getConfigurationState()));

  if (event.isConfigEvent()) {
    if (slotId == kBaseDomainSlotId) {
      setConfigCompleteReady();
      return;
    }
    PendingCard_s* found = nullptr;
    for (PendingCard_s& card : m_pendingCards)
      if (card.slotId == slotId) found = &card;
    if (found == nullptr) {
      KAV_TRACE(KAVT, "ConfigCompleteIp: config event for slot 0x%08X that was never announced", slotId);
      return;
    }
    if (found->configured == 0) {
      found->configured = 1;
      ++m_configuredCards;
    }
    if (allCardsConfigured() && m_initialCardPlugDone != 0) {
      setMinimumConfigComplete(false);
      setConfigComplete(false);
    }
    return;
  }

  if (!event.isUnconfigEvent()) return;
  if (!isConfigComplete()) {
    KAV_TRACE(KAVE, "Unconfig event for slot x%X before config complete!", slotId);
    dump();
    BaseErrorData rc;
    rc = 0x700Fu;
    rc.microcodeLog(__FILE__, __LINE__, "Unconfig event before config complete", 2, false);
  }
  if (slotId == kBaseDomainSlotId) {
    // The base domain is gone, and with it every card: the next start
    // announces them anew.
    resetConfigCompleteReady();
    m_pendingCards.clear();
    m_configuredCards = 0;
    m_initialCardPlugDone = 0;
  }
}

unsigned int ConfigCompleteIp::getPendingCardCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_pendingCards.size());
}

unsigned int ConfigCompleteIp::getConfiguredCardCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_configuredCards;
}

bool ConfigCompleteIp::isInitialCardPlugDone() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_initialCardPlugDone != 0;
}

BuildBase* createConfigCompleteIp(void*, BaseErrorData&) { return (new ConfigCompleteIp())->getBuildInterface(); }
