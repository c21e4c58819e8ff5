// The configuration-complete state of the library: "ready" once the base
// domain is configured, then "minimum complete" and "complete" once every
// announced card is configured after the initial plug round (or completion
// was forced). The state is process-wide; the tree object in the base
// domain's tree listens for configuration-change events and drives it.
#ifndef KAV_TREE_CONFIGCOMPLETEBASE_H
#define KAV_TREE_CONFIGCOMPLETEBASE_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT ConfigCompleteBase : public AtomicBase {
  KAV_TREE_CLASS(ConfigCompleteBase)

 public:
  // The slot id of the base domain.
  static constexpr unsigned int kBaseDomainSlotId = 0x10000;

  ConfigCompleteBase();
  ~ConfigCompleteBase() override;

  // Step 7 registers for every configuration-change event.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2 deregisters.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  virtual void dump() const;
  // Only the first call while the flag is clear acts: flag, log, dump,
  // ConfigCompleteEvent (1), post the event.
  virtual void setConfigComplete(bool forced);
  virtual void logConfigComplete(bool forced);
  // The same with its own flag, event and ConfigCompleteEvent (0).
  virtual void setMinimumConfigComplete(bool forced);
  virtual void logMinimumConfigComplete(bool forced);
  virtual void handleConfigChangeEvent(const ConfigChangeEvent& event);

  // Reset "not ready", post "ready".
  static void setConfigCompleteReady();
  // Clear both flags, reset "ready", "minimum complete" and "complete",
  // post "not ready".
  static void resetConfigCompleteReady();
  static bool isConfigComplete();
  static bool isMinimumConfigComplete();
  // Waits with the time-out in ms (-1: no limit): 0, 0x7007 on time-out,
  // 0x700E on any other failure. The first two return at once when the flag
  // is set.
  static BaseErrorData waitConfigComplete(int timeout);
  static BaseErrorData waitMinimumConfigComplete(int timeout);
  static BaseErrorData waitConfigCompleteReady(int timeout);
  static BaseErrorData waitConfigCompleteNotReady(int timeout);

  bool isRegistered() const { return m_registrationId != -1; }

 private:
  long m_registrationId;
  EventRouter<ConfigChangeEvent> m_router;
};

#endif
