#include "kav/events/EventDispatcherProvider.h"

#include <atomic>
#include <mutex>

#include "kav/events/EventDispatcher.h"
#include "kav/runtime/KavTrace.h"

namespace {
std::atomic<EventDispatcherProvider*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

EventDispatcherProvider::EventDispatcherProvider() : m_initialised(0), m_pDispatcher{nullptr, nullptr} {}

EventDispatcherProvider::~EventDispatcherProvider() { terminate(); }

EventDispatcherProvider* EventDispatcherProvider::getInstance() {
  EventDispatcherProvider* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new EventDispatcherProvider();
      g_instance.store(p);
    }
  }
  return p;
}

void EventDispatcherProvider::destroyInstance() {
  EventDispatcherProvider* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

void EventDispatcherProvider::init() {
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  if (m_initialised != 0) return;
  for (int p = PRIORITY_0; p <= PRIORITY_1; ++p) m_pDispatcher[p] = new EventDispatcher(false);
  m_initialised = 1;
  KAV_TRACE(KAVT, "EventDispatcherProvider::init");
}

void EventDispatcherProvider::terminate() {
  EventDispatcher* d[2];
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (m_initialised == 0) return;
    m_initialised = 0;
    d[0] = m_pDispatcher[0];
    d[1] = m_pDispatcher[1];
    m_pDispatcher[0] = m_pDispatcher[1] = nullptr;
  }
  delete d[0];
  delete d[1];
  KAV_TRACE(KAVT, "EventDispatcherProvider::terminate");
}

EventDispatcher* EventDispatcherProvider::getEventDispatcher(Priority_t priority) {
  if (priority != PRIORITY_0 && priority != PRIORITY_1) {
    KAV_TRACE(KAVE, "EventDispatcherProvider: no dispatcher for priority %d", static_cast<int>(priority));
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  return m_pDispatcher[priority];
}

extern "C" {

void initEventDispatcherProvider() { EventDispatcherProvider::getInstance()->init(); }

void terminateEventDispatcherProvider() { EventDispatcherProvider::getInstance()->terminate(); }
}
