// The sender of configuration-change events.
#ifndef KAV_EVENTS_CONFIGCHANGEEVENTSENDER_H
#define KAV_EVENTS_CONFIGCHANGEEVENTSENDER_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ConfigChangeEventSender : public EventSender<ConfigChangeEventSender, ConfigChangeEvent> {
 public:
  static constexpr long kQueueSize = 150;
  static constexpr Priority_t kPriority = PRIORITY_1;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_CONFIG_CHANGE_EVENT;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 15000;
  static constexpr bool kSendAny = true;

  static ConfigChangeEventSender* getInstance();
  static void destroyInstance();

  EventSource<ConfigChangeEvent>* createMyEventSource() override;

 private:
  ConfigChangeEventSender();
  ~ConfigChangeEventSender() override;
};

extern "C" {
KAV_EXPORT void initConfigChangeEventSender();
KAV_EXPORT void terminateConfigChangeEventSender();
}

#endif
