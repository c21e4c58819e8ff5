#include "kav/events/EventDebug.h"

#include <atomic>
#include <mutex>

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"

namespace {
std::atomic<EventDebug*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

EventDebug::EventDebug() : m_pMutex(new IFOSRcLocalMutex()) {}

EventDebug::~EventDebug() { delete m_pMutex; }

EventDebug* EventDebug::getInstance() {
  EventDebug* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new EventDebug();
      g_instance.store(p);
    }
  }
  return p;
}

void EventDebug::destroyInstance() {
  EventDebug* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

void EventDebug::registerSource(BaseEventSource* source, SendFunction_t send, DebugIdSource_t debugId) {
  if (source == nullptr || send == nullptr || debugId == DEBUG_ID_NONE) {
    KAV_TRACE(KAVE, "EventDebug::registerSource refused %p,%d", source, debugId);
    return;
  }
  m_pMutex->mutexRequest(-1);
  m_entries.push_back(SourceRegistryEntry{debugId, source, send});
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "EventDebug::registerSource %p,%d", source, debugId);
}

void EventDebug::deleteSource(BaseEventSource* source) {
  m_pMutex->mutexRequest(-1);
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    if (it->source == source)
      it = m_entries.erase(it);
    else
      ++it;
  }
  m_pMutex->mutexRelease();
}

unsigned int EventDebug::getNumberOfEntries(DebugIdSource_t id) {
  m_pMutex->mutexRequest(-1);
  unsigned int n = 0;
  for (const SourceRegistryEntry& e : m_entries)
    if (e.debugId == id) ++n;
  m_pMutex->mutexRelease();
  return n;
}

unsigned int EventDebug::send(DebugIdSource_t id, void* data, void* filter) {
  // Held across the sends so that a source cannot go away meanwhile.
  m_pMutex->mutexRequest(-1);
  unsigned int n = 0;
  for (const SourceRegistryEntry& e : m_entries) {
    if (e.debugId != id) continue;
    e.send(e.source, data, filter);
    ++n;
  }
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "EventDebug::sendEvent %d,%u", id, n);
  return n;
}

unsigned int EventDebug::sendEvent(DebugIdSource_t id, void* data, void* filter) {
  if (data == nullptr) {
    KAV_TRACE(KAVE, "EventDebug::sendEvent no data %d", id);
    return 0;
  }
  return getInstance()->send(id, data, filter);
}
