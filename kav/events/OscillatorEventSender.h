// The sender of oscillator events (for clients outside the library).
#ifndef KAV_EVENTS_OSCILLATOREVENTSENDER_H
#define KAV_EVENTS_OSCILLATOREVENTSENDER_H

#include "kav/events/OscillatorEvent.h"
#include "kav/events/EventSender.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT OscillatorEventSender : public EventSender<OscillatorEventSender, OscillatorEvent> {
 public:
  static constexpr long kQueueSize = 100;
  static constexpr Priority_t kPriority = PRIORITY_0;
  static constexpr DebugIdSource_t kDebugId = DEBUG_ID_NONE;
  static constexpr unsigned int kLogTime = 0;
  static constexpr unsigned int kAbendTime = 4000;
  static constexpr bool kSendAny = false;

  static OscillatorEventSender* getInstance();
  static void destroyInstance();

  EventSource<OscillatorEvent>* createMyEventSource() override;

 private:
  OscillatorEventSender();
  ~OscillatorEventSender() override;
};

extern "C" {
KAV_EXPORT void initOscillatorEventSender();
KAV_EXPORT void terminateOscillatorEventSender();
}

#endif
