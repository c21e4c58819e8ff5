// The configuration-complete object of the base domain. It lists the cards
// announced with kav::send_card_plug and counts those whose slot reported
// configured; once the initial plug round is over (initialCardPlugDone) and
// every listed card is configured, the configuration is complete.
#ifndef KAV_TREE_CONFIGCOMPLETEIP_H
#define KAV_TREE_CONFIGCOMPLETEIP_H

#include "kav/tree/start/ConfigCompleteBase.h"

class KAV_EXPORT ConfigCompleteIp : public ConfigCompleteBase {
  KAV_TREE_CLASS(ConfigCompleteIp)

 public:
  struct PendingCard_s {
    unsigned int slotId;
    unsigned char configured;
  };

  ConfigCompleteIp();
  ~ConfigCompleteIp() override;

  void dump() const override;
  void logConfigComplete(bool forced) override;
  void logMinimumConfigComplete(bool forced) override;
  // Configure of the base domain: ready. Configure of a listed card: count
  // it; complete when all are and the initial round is over. Unconfigure of
  // the base domain: not ready, and the card list starts afresh.
  void handleConfigChangeEvent(const ConfigChangeEvent& event) override;

  // Lists the card (once) as not configured.
  void cardPlugged(unsigned int slotId);
  // The initial plug round is over; completes when every card is configured.
  void initialCardPlugDone();
  // Forces completion.
  void ipConfigIsComplete();

  // Inspection.
  unsigned int getPendingCardCount() const;
  unsigned int getConfiguredCardCount() const;
  bool isInitialCardPlugDone() const;

 private:
  bool allCardsConfigured() const;

  kavstl::list<PendingCard_s> m_pendingCards;
  unsigned int m_configuredCards;
  unsigned char m_initialCardPlugDone;
};

extern "C" KAV_EXPORT BuildBase* createConfigCompleteIp(void* argument, BaseErrorData& error);

#endif
