// Helpers of the event tests: a running time-out service and dispatchers,
// polling, a journal of deliveries and a gate that holds a dispatcher.
#ifndef TESTS_EVENTS_EVENTTESTSUPPORT_H
#define TESTS_EVENTS_EVENTTESTSUPPORT_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "kav/events/DioEvent.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventRouter.h"
#include "kav/events/EventSource.h"
#include "kav/runtime/TimeoutService.h"

namespace evtest {

inline bool waitUntil(const std::function<bool()>& cond) {
  for (int i = 0; i < 20000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return cond();
}

class EventTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TimeoutService::getInstance()->init(true);
    initEventDispatcherProvider();
  }
  void TearDown() override {
    terminateEventDispatcherProvider();
    EventDispatcherProvider::destroyInstance();
    TimeoutService::getInstance()->terminate();
    TimeoutService::destroyInstance();
  }
  EventDispatcher* dispatcher(Priority_t p) { return EventDispatcherProvider::getInstance()->getEventDispatcher(p); }
};

// Records what reached the handlers, in order.
struct Journal {
  std::mutex mutex;
  std::vector<std::pair<int, unsigned>> entries;  // (handler tag, first payload word)
  std::atomic<int> count{0};
  void add(int tag, unsigned value) {
    {
      std::lock_guard<std::mutex> l(mutex);
      entries.emplace_back(tag, value);
    }
    count.fetch_add(1);
  }
  std::vector<std::pair<int, unsigned>> get() {
    std::lock_guard<std::mutex> l(mutex);
    return entries;
  }
  std::vector<unsigned> values(int tag) {
    std::lock_guard<std::mutex> l(mutex);
    std::vector<unsigned> v;
    for (auto& e : entries)
      if (e.first == tag) v.push_back(e.second);
    return v;
  }
};

// A handler object as the tree objects are: reference counted.
template <class T>
struct Listener {
  Journal& journal;
  int tag;
  std::atomic<int> references{0};
  std::atomic<int> referencesSeenInHandler{-1};
  Listener(Journal& j, int t) : journal(j), tag(t) {}
  void requestReference() { references.fetch_add(1); }
  void releaseReference() { references.fetch_sub(1); }
  void handle(const T& e) {
    referencesSeenInHandler.store(references.load());
    unsigned w = 0;
    std::memcpy(&w, e.dataPointer(), sizeof(w));
    journal.add(tag, w);
  }
  void handleWithId(const T& e, long id) {
    unsigned w = 0;
    std::memcpy(&w, e.dataPointer(), sizeof(w));
    journal.add(tag + static_cast<int>(id) * 1000, w);
  }
};

// Holds the dispatcher of a source in a handler until opened.
template <class T>
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<bool> entered{false};
  void requestReference() {}
  void releaseReference() {}
  void handle(const T&) {
    entered.store(true);
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// Holds the priority-0 dispatcher: a source of its own whose one handler
// waits at a gate. Released (and the source deleted) at the latest when it
// goes out of scope, which must be before the dispatchers go.
struct DispatcherHold {
  EventSource<DioEvent>* source = createEventSource<DioEvent>(10, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  EventRouter<DioEvent> router;
  Gate<DioEvent> gate;
  DispatcherHold() { registerForEvent(source, &router, &gate, &Gate<DioEvent>::handle, false); }
  ~DispatcherHold() {
    release();
    deleteEventSource(source);
  }
  DispatcherHold(const DispatcherHold&) = delete;
  DispatcherHold& operator=(const DispatcherHold&) = delete;
  // True once the dispatcher is held.
  bool hold() {
    DioEvent e(0, 0, 0, 0);
    return source->sendAnyEvents(e, 0, false) == 0 && waitUntil([&] { return gate.entered.load(); });
  }
  void release() { gate.open.store(true); }
};

}  // namespace evtest

#endif
