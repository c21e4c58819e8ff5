// The sender of plug and unplug events.
#ifndef KAV_EVENTS_PLUGEVENTSENDER_H
#define KAV_EVENTS_PLUGEVENTSENDER_H

#include "kav/events/PlugEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT PlugEventSender : public EventSender<PlugEventSender, PlugEvent> {
 public:
  static constexpr long kQueueSize = 100;
  static constexpr Priority_t kPriority = PRIORITY_1;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_PLUG_EVENT;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 4000;
  static constexpr bool kSendAny = false;

  static PlugEventSender* getInstance();
  static void destroyInstance();

  EventSource<PlugEvent>* createMyEventSource() override;

 private:
  PlugEventSender();
  ~PlugEventSender() override;
};

extern "C" {
KAV_EXPORT void initPlugEventSender();
KAV_EXPORT void terminatePlugEventSender();
}

#endif
