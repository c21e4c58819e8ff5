#include "kav/events/ConfigCompleteEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<ConfigCompleteEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

ConfigCompleteEventSender::ConfigCompleteEventSender() { m_sendAny = kSendAny ? 1 : 0; }

ConfigCompleteEventSender::~ConfigCompleteEventSender() = default;

ConfigCompleteEventSender* ConfigCompleteEventSender::getInstance() {
  ConfigCompleteEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new ConfigCompleteEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void ConfigCompleteEventSender::destroyInstance() {
  ConfigCompleteEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<ConfigCompleteEvent>* ConfigCompleteEventSender::createMyEventSource() {
  return createEventSource<ConfigCompleteEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initConfigCompleteEventSender() { ConfigCompleteEventSender::getInstance()->init(); }

void terminateConfigCompleteEventSender() { ConfigCompleteEventSender::getInstance()->terminate(); }
}
