#include "kav/events/OscillatorEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<OscillatorEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

OscillatorEventSender::OscillatorEventSender() { m_sendAny = kSendAny ? 1 : 0; }

OscillatorEventSender::~OscillatorEventSender() = default;

OscillatorEventSender* OscillatorEventSender::getInstance() {
  OscillatorEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new OscillatorEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void OscillatorEventSender::destroyInstance() {
  OscillatorEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<OscillatorEvent>* OscillatorEventSender::createMyEventSource() {
  return createEventSource<OscillatorEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initOscillatorEventSender() { OscillatorEventSender::getInstance()->init(); }

void terminateOscillatorEventSender() { OscillatorEventSender::getInstance()->terminate(); }
}
