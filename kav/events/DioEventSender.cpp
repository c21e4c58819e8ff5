#include "kav/events/DioEventSender.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<DioEventSender*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

DioEventSender::DioEventSender() { m_sendAny = kSendAny ? 1 : 0; }

DioEventSender::~DioEventSender() = default;

DioEventSender* DioEventSender::getInstance() {
  DioEventSender* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new DioEventSender();
      g_instance.store(p);
    }
  }
  return p;
}

void DioEventSender::destroyInstance() {
  DioEventSender* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

EventSource<DioEvent>* DioEventSender::createMyEventSource() {
  return createEventSource<DioEvent>(kQueueSize, kPriority, kDebugId, kLogTime, kAbendTime);
}

extern "C" {

void initDioEventSender() { DioEventSender::getInstance()->init(); }

void terminateDioEventSender() { DioEventSender::getInstance()->terminate(); }
}
