#include "kav/events/ConfigChangeEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<ConfigChangeEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

ConfigChangeEventSender::ConfigChangeEventSender() { m_sendAny = kSendAny ? 1 : 0; }

ConfigChangeEventSender::~ConfigChangeEventSender() = default;

ConfigChangeEventSender* ConfigChangeEventSender::getInstance() {
  ConfigChangeEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new ConfigChangeEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void ConfigChangeEventSender::destroyInstance() {
  ConfigChangeEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<ConfigChangeEvent>* ConfigChangeEventSender::createMyEventSource() {
  return createEventSource<ConfigChangeEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initConfigChangeEventSender() { ConfigChangeEventSender::getInstance()->init(); }

void terminateConfigChangeEventSender() { ConfigChangeEventSender::getInstance()->terminate(); }
}
