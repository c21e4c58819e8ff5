#include "kav/events/ComponentReadyEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<ComponentReadyEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

ComponentReadyEventSender::ComponentReadyEventSender() { m_sendAny = kSendAny ? 1 : 0; }

ComponentReadyEventSender::~ComponentReadyEventSender() = default;

ComponentReadyEventSender* ComponentReadyEventSender::getInstance() {
  ComponentReadyEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new ComponentReadyEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void ComponentReadyEventSender::destroyInstance() {
  ComponentReadyEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<ComponentReadyEvent>* ComponentReadyEventSender::createMyEventSource() {
  return createEventSource<ComponentReadyEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initComponentReadyEventSender() { ComponentReadyEventSender::getInstance()->init(); }

void terminateComponentReadyEventSender() { ComponentReadyEventSender::getInstance()->terminate(); }
}
