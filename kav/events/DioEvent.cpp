#include "kav/events/DioEvent.h"

DioEvent::DioEvent() = default;

DioEvent::DioEvent(unsigned int interruptId, unsigned int p1, unsigned int p2, unsigned int p3)
    : ChpiEvent(interruptId, p1, p2, p3) {}

DioEvent::DioEvent(const void* data) : ChpiEvent(data) {}

DioEvent::DioEvent(const DioEvent& other) = default;

DioEvent& DioEvent::operator=(const DioEvent& other) = default;

DioEvent::~DioEvent() = default;

const void* DioEvent::dataPointer() const { return ChpiEvent::dataPointer(); }

unsigned int DioEvent::dataSize() const { return ChpiEvent::dataSize(); }
