// A map from slot id to an entry of the slot's content, kept current by the
// configuration-change events: a configure event of a slot looks the entry
// up (D::lookup), an unconfigure event drops it. Both handlers are member
// callbacks of any-registrations.
#ifndef KAV_TREE_SLOTLISTT_H
#define KAV_TREE_SLOTLISTT_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/EventMemberCallback.h"
#include "kav/events/EventRouter.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/kavstl.h"

template <class D, class P>
class SlotListT {
 public:
  SlotListT() : m_changeRegistrationId(-1), m_completeRegistrationId(-1) {}
  virtual ~SlotListT() { deregisterEvents(); }

  SlotListT(const SlotListT&) = delete;
  SlotListT& operator=(const SlotListT&) = delete;

  // Any-registrations with the configuration-change and configuration-
  // complete senders (which must be initialised).
  BaseErrorData registerEvents() {
    BaseErrorData rc;
    if (m_changeRegistrationId == -1) {
      EventMemberCallback<SlotListT, ConfigChangeEvent> callback(this, &SlotListT::handleChangeEvent);
      m_changeRegistrationId =
          m_changeRouter.registerForEvent(ConfigChangeEventSender::getInstance()->getEventSource(), callback);
      if (m_changeRegistrationId < 0) rc = 0x7000u;
    }
    if (m_completeRegistrationId == -1) {
      EventMemberCallback<SlotListT, ConfigCompleteEvent> callback(this, &SlotListT::handleCompleteEvent);
      m_completeRegistrationId =
          m_completeRouter.registerForEvent(ConfigCompleteEventSender::getInstance()->getEventSource(), callback);
      if (m_completeRegistrationId < 0) rc = 0x7000u;
    }
    return rc;
  }

  void deregisterEvents() {
    if (m_changeRegistrationId >= 0) m_changeRouter.deregisterFromEvent(m_changeRegistrationId);
    if (m_completeRegistrationId >= 0) m_completeRouter.deregisterFromEvent(m_completeRegistrationId);
    m_changeRegistrationId = -1;
    m_completeRegistrationId = -1;
  }

  void handleChangeEvent(const ConfigChangeEvent& event) {
    const unsigned int slotId = event.getSlotId();
    if (event.isConfigEvent()) {
      P entry = static_cast<D*>(this)->lookup(slotId);
      IFOSGuard<IFOSRcFastMutex> guard(m_lock);
      if (entry == nullptr) {
        m_entries.erase(slotId);
        KAV_TRACE(KAVT, "SlotListT: slot 0x%08X configured without entry", slotId);
      } else {
        m_entries[slotId] = entry;
      }
    } else if (event.isUnconfigEvent()) {
      IFOSGuard<IFOSRcFastMutex> guard(m_lock);
      m_entries.erase(slotId);
    }
  }

  void handleCompleteEvent(const ConfigCompleteEvent& event) {
    KAV_TRACE(KAVT, "SlotListT: configuration complete event %u slots=%u",
              static_cast<unsigned int>(event.getEventType()), size());
  }

  // The entry of a configured slot, or null.
  P get(unsigned int slotId) {
    IFOSGuard<IFOSRcFastMutex> guard(m_lock);
    typename kavstl::map<unsigned int, P>::const_iterator it = m_entries.find(slotId);
    return it == m_entries.end() ? P() : it->second;
  }

  unsigned int size() {
    IFOSGuard<IFOSRcFastMutex> guard(m_lock);
    return static_cast<unsigned int>(m_entries.size());
  }

  kavstl::vector<unsigned int> getSlotIds() {
    IFOSGuard<IFOSRcFastMutex> guard(m_lock);
    kavstl::vector<unsigned int> ids;
    for (const auto& e : m_entries) ids.push_back(e.first);
    return ids;
  }

 private:
  kavstl::map<unsigned int, P> m_entries;
  IFOSRcFastMutex m_lock;
  EventRouter<ConfigChangeEvent> m_changeRouter;
  EventRouter<ConfigCompleteEvent> m_completeRouter;
  long m_changeRegistrationId;
  long m_completeRegistrationId;
};

#endif
