// The sender of configuration-complete events.
#ifndef KAV_EVENTS_CONFIGCOMPLETEEVENTSENDER_H
#define KAV_EVENTS_CONFIGCOMPLETEEVENTSENDER_H

#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ConfigCompleteEventSender : public EventSender<ConfigCompleteEventSender, ConfigCompleteEvent> {
 public:
  static constexpr long kQueueSize = 100;
  static constexpr Priority_t kPriority = PRIORITY_1;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_NONE;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 22000;
  static constexpr bool kSendAny = true;

  static ConfigCompleteEventSender* getInstance();
  static void destroyInstance();

  EventSource<ConfigCompleteEvent>* createMyEventSource() override;

 private:
  ConfigCompleteEventSender();
  ~ConfigCompleteEventSender() override;
};

extern "C" {
KAV_EXPORT void initConfigCompleteEventSender();
KAV_EXPORT void terminateConfigCompleteEventSender();
}

#endif
