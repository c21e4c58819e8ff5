#include "kav/events/PlugEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<PlugEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

PlugEventSender::PlugEventSender() { m_sendAny = kSendAny ? 1 : 0; }

PlugEventSender::~PlugEventSender() = default;

PlugEventSender* PlugEventSender::getInstance() {
  PlugEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new PlugEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void PlugEventSender::destroyInstance() {
  PlugEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<PlugEvent>* PlugEventSender::createMyEventSource() {
  return createEventSource<PlugEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initPlugEventSender() { PlugEventSender::getInstance()->init(); }

void terminatePlugEventSender() { PlugEventSender::getInstance()->terminate(); }
}
