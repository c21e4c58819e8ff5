// The sender of digital-input interrupt events.
#ifndef KAV_EVENTS_DIOEVENTSENDER_H
#define KAV_EVENTS_DIOEVENTSENDER_H

#include "kav/events/DioEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT DioEventSender : public EventSender<DioEventSender, DioEvent> {
 public:
  static constexpr long kQueueSize = 250;
  static constexpr Priority_t kPriority = PRIORITY_0;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_DIO_EVENT;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 4000;
  static constexpr bool kSendAny = true;

  static DioEventSender* getInstance();
  static void destroyInstance();

  EventSource<DioEvent>* createMyEventSource() override;

 private:
  DioEventSender();
  ~DioEventSender() override;
};

extern "C" {
KAV_EXPORT void initDioEventSender();
KAV_EXPORT void terminateDioEventSender();
}

#endif
