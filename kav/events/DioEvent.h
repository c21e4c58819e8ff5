// A digital-input interrupt. Filter key: the interrupt id.
#ifndef KAV_EVENTS_DIOEVENT_H
#define KAV_EVENTS_DIOEVENT_H

#include "kav/events/ChpiEvent.h"

class KAV_EXPORT DioEvent : public ChpiEvent {
 public:
  DioEvent();
  DioEvent(unsigned int interruptId, unsigned int p1, unsigned int p2, unsigned int p3);
  explicit DioEvent(const void* data);
  DioEvent(const DioEvent& other);
  DioEvent& operator=(const DioEvent& other);
  ~DioEvent() override;

  const void* dataPointer() const override;
  unsigned int dataSize() const override;
};

#endif
