// The sender of component-ready events.
#ifndef KAV_EVENTS_COMPONENTREADYEVENTSENDER_H
#define KAV_EVENTS_COMPONENTREADYEVENTSENDER_H

#include "kav/events/ComponentReadyEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ComponentReadyEventSender : public EventSender<ComponentReadyEventSender, ComponentReadyEvent> {
 public:
  static constexpr long kQueueSize = 10;
  static constexpr Priority_t kPriority = PRIORITY_1;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_COMPONENT_READY_EVENT;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 4000;
  static constexpr bool kSendAny = true;

  static ComponentReadyEventSender* getInstance();
  static void destroyInstance();

  EventSource<ComponentReadyEvent>* createMyEventSource() override;

 private:
  ComponentReadyEventSender();
  ~ComponentReadyEventSender() override;
};

extern "C" {
KAV_EXPORT void initComponentReadyEventSender();
KAV_EXPORT void terminateComponentReadyEventSender();
}

#endif
