// One registration of a router with a source.
#ifndef KAV_EVENTS_EVENTSOURCEREGISTRYELEMENT_H
#define KAV_EVENTS_EVENTSOURCEREGISTRYELEMENT_H

class BaseEventRouter;

template <class T>
class EventSourceRegistryElement {
 public:
  EventSourceRegistryElement() = default;
  EventSourceRegistryElement(const EventSourceRegistryElement&) = delete;
  EventSourceRegistryElement& operator=(const EventSourceRegistryElement&) = delete;

  EventSourceRegistryElement<T>* m_pNext = nullptr;
  long m_id = 0;  // issued by the router; -1 once the router was told the source goes away
  typename T::EventType m_filter{};
  unsigned char m_quiesced = 0;       // 1: skip this registration
  unsigned char m_any = 0;            // 1: registered for any event
  unsigned char m_inDelivery = 0;     // 1 while its callback runs
  unsigned char m_deletePending = 0;  // 1: remove when the running delivery returns
  BaseEventRouter* m_pRouter = nullptr;
};

#endif
