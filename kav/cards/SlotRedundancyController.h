// Base of objects that follow configure and unconfigure of a list of slots
// (attribute "slotId", a list): at step 7 it registers, for every listed
// slot, for the configure and the unconfigure event and hands each to the
// per-slot operation of the derived class.
#ifndef KAV_CARDS_SLOTREDUNDANCYCONTROLLER_H
#define KAV_CARDS_SLOTREDUNDANCYCONTROLLER_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT SlotRedundancyController : public AtomicBase {
  KAV_TREE_CLASS(SlotRedundancyController)

 public:
  SlotRedundancyController();
  ~SlotRedundancyController() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 7 registers for the listed slots.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2 deregisters.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // The per-slot operations of the derived class.
  virtual void handleConfigEvent(unsigned int slotId) = 0;
  virtual void handleUnconfigEvent(unsigned int slotId) = 0;

  // The event handlers (object guard, 1000 ms watchdog).
  void handleConfigEvent(const ConfigChangeEvent& event);
  void handleUnconfigEvent(const ConfigChangeEvent& event);

  bool containsSlotId(unsigned int slotId) const;
  const kavstl::vector<unsigned int>& getSlotIds() const { return m_slotIds; }
  void setSlotIds(const kavstl::vector<unsigned int>& slotIds) { m_slotIds = slotIds; }
  unsigned int getRegistrationCount() const { return static_cast<unsigned int>(m_registrationIds.size()); }

 private:
  BaseErrorData registerEvents();
  void deregisterEvents();

  kavstl::vector<unsigned int> m_slotIds;
  EventRouter<ConfigChangeEvent> m_router;
  kavstl::vector<long> m_registrationIds;
};

#endif
