// Shared pieces of the card tests: the configuration environment, the
// library services the objects need, small trees and event recorders.
#ifndef TESTS_CARDS_CARDSTESTSUPPORT_H
#define TESTS_CARDS_CARDSTESTSUPPORT_H

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventMemberCallback.h"
#include "kav/events/EventRouter.h"
#include "kav/events/PlugEvent.h"
#include "kav/events/PlugEventSender.h"
#include "kav/runtime/GarbageCollector.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/objects/QueryBase.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/TempDir.h"

namespace cardstest {

// The time-out service, the job executor, the dispatchers, the senders the
// card objects use and the garbage collector; once per process.
inline void startServices() {
  static const bool started = [] {
    QueryBase::initMemoryPool();
    TimeoutService::getInstance()->init(false);
    TimedExecutor::getInstance()->init(1);
    initEventDispatcherProvider();
    initPlugEventSender();
    initConfigChangeEventSender();
    initConfigCompleteEventSender();
    initGarbageCollector();
    return true;
  }();
  (void)started;
}

// The services, a state folder of the program's own (named after prefix)
// and the machine of the description text: the start of a program that
// tests objects on a machine of its own.
inline bool startOnMachine(const char* prefix, const char* machine) {
  startServices();
  static testsupport::TempDir stateDir(prefix);
  if (stateDir.path().empty()) return false;
  ravosim::setStateDir(stateDir.path());
  return ravosim::loadMachineText(machine).ok;
}

// Collects the events of one filter value, delivered on the dispatcher.
template <class T>
class Recorder {
 public:
  template <class Sender>
  Recorder(Sender* sender, const typename T::EventType& filter) {
    EventMemberCallback<Recorder, T> callback(this, &Recorder::onEvent);
    m_id = m_router.registerForEvent(sender->getEventSource(), filter, callback);
  }
  ~Recorder() { m_router.deregisterFromEvent(m_id); }

  void onEvent(const T& event) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back(event);
    m_wake.notify_all();
  }
  // The events once the predicate holds for them (or after 10 s).
  template <class F>
  std::vector<T> waitUntil(F predicate) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_for(lock, std::chrono::seconds(10), [&] { return predicate(m_events); });
    return m_events;
  }
  // The events once there are at least `count` (or after 10 s).
  std::vector<T> waitFor(size_t count) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_for(lock, std::chrono::seconds(10), [&] { return m_events.size() >= count; });
    return m_events;
  }

 private:
  EventRouter<T> m_router;
  long m_id;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::vector<T> m_events;
};

// Holds the deliveries of one filter value on the dispatcher until opened.
// Registered before the objects under test, so it is delivered to first:
// their handlers come next in the delivery it holds.
template <class T>
class DeliveryGate {
 public:
  template <class Sender>
  DeliveryGate(Sender* sender, const typename T::EventType& filter) {
    EventMemberCallback<DeliveryGate, T> callback(this, &DeliveryGate::onEvent);
    m_id = m_router.registerForEvent(sender->getEventSource(), filter, callback);
  }
  ~DeliveryGate() {
    open();
    m_router.deregisterFromEvent(m_id);
  }
  void onEvent(const T&) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_entered = true;
    m_wake.notify_all();
    m_wake.wait(lock, [&] { return m_open; });
  }
  // A delivery is being held (false after 10 s without one).
  bool waitEntered() {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_wake.wait_for(lock, std::chrono::seconds(10), [&] { return m_entered; });
  }
  void open() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = true;
    m_wake.notify_all();
  }

 private:
  EventRouter<T> m_router;
  long m_id = -1;
  std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_entered = false;
  bool m_open = false;
};

// A configuration element with attributes (named by text) and children.
inline BinaryReaderNode* element(const char* name, std::initializer_list<std::pair<kavstl::string, kavstl::string>> attributes,
                                 std::initializer_list<BinaryReaderNode*> children = {}) {
  BinaryReaderNode* node = new BinaryReaderNode();
  node->setName(name);
  for (const auto& a : attributes) node->addAttribute(a.first, a.second);
  for (BinaryReaderNode* c : children) node->addChild(c);
  return node;
}

// Links child under parent.
inline void link(QueryBase* parent, QueryBase* child) {
  child->setParent(KavPtr<QueryBase>(parent));
  parent->addChild(KavPtr<QueryBase>(child));
}

// An object of class T made from the element (its attributes set, which
// must succeed) and linked under parent, hidden when asked.
template <class T>
KavPtr<T> made(QueryBase* parent, BinaryReaderNode* node, bool hidden = false) {
  std::unique_ptr<BinaryReaderNode> owned(node);
  KavPtr<T> object(new T());
  EXPECT_EQ(0u, object->setAttributes(AttributeInfo(parent, owned.get(), nullptr)).getRc());
  object->setHidden(hidden);
  link(parent, object.getRawPointer());
  return object;
}

}  // namespace cardstest

#endif
