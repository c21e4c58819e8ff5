// A position in the machine where a card can sit. The slot takes its id from
// its slot-id provider at start; the content built for a plugged card hangs
// below it, and setConfigComplete announces configure and unconfigure to the
// rest of the system with a ConfigChangeEvent. Every node below a slot
// answers the slot's id from getSlotId().
#ifndef KAV_CARDS_SLOT_H
#define KAV_CARDS_SLOT_H

#include <atomic>

#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT Slot : public AtomicBase {
  KAV_TREE_CLASS(Slot)

 public:
  enum ConfigurationState_t : unsigned int { NOT_CONFIGURED = 1, CONFIGURED = 2 };

  Slot();
  ~Slot() override;

  // Step 4: the id from the single slot-id provider child.
  BaseErrorData init(initSequence::Id_t step) override;
  unsigned int getSlotId() const override;

  // The configuration state; a null pointer gives 0x7000.
  virtual BaseErrorData getConfigurationState(ConfigurationState_t* state);
  // Configured when `complete`, else not configured; sends the
  // ConfigChangeEvent {slot id, 0 / 1}.
  virtual BaseErrorData setConfigComplete(bool complete);
  // Asks the slot's FRU builder; a slot without builder counts as plugged.
  virtual bool readIsPlugged(bool quiet);

  // The id as a provider would give it (builders of test trees).
  void setSlotId(unsigned int slotId) { m_slotId = slotId; }

 private:
  std::atomic<unsigned int> m_slotId;
  ConfigurationState_t m_configurationState;
};

extern "C" KAV_EXPORT BuildBase* createSlot(void* argument, BaseErrorData& error);

#endif
