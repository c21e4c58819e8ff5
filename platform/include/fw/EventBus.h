// The firmware's publish/subscribe service: a subscriber (a number) asks
// for an event (a number) with a callback; every event published later is
// handed to the callbacks of its subscribers on the bus's own thread, one
// callback at a time, in the order the events were published.
//
// Unsubscribing does not wait for a callback that has already started: a
// caller may hold a lock that the callback takes. A callback may subscribe,
// unsubscribe and publish.
#ifndef FW_EVENTBUS_H
#define FW_EVENTBUS_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"

namespace fw {

class FW_API EventBus {
 public:
  using Callback = std::function<void(uint32_t event, const std::vector<uint8_t>& payload)>;

  EventBus() = default;
  // Stops the thread after the callback it runs, if any; events not yet
  // delivered are dropped.
  ~EventBus();
  EventBus(const EventBus&) = delete;
  EventBus& operator=(const EventBus&) = delete;

  // The bus of the process.
  static EventBus& instance();

  // Null, or an error log (software, module kModuleEventBus, reason the
  // errno, user data subscriber and event): EINVAL for an empty callback,
  // EEXIST when the subscriber has the event already, or an injected fault
  // ("subscribe", device "event<n>").
  ErrorLog* subscribe(uint32_t subscriber, uint32_t event, Callback callback);
  // Null, or an error log: ENOENT when the subscriber does not have the
  // event, or an injected fault ("unsubscribe", device "event<n>").
  ErrorLog* unsubscribe(uint32_t subscriber, uint32_t event);
  // Queues the event for its subscribers at the time of delivery.
  void publish(uint32_t event, std::vector<uint8_t> payload = {});
  // Waits until every event published so far has been delivered (not from a
  // callback).
  void waitIdle();
  bool subscribed(uint32_t subscriber, uint32_t event) const;

 private:
  void run();

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::map<std::pair<uint32_t, uint32_t>, Callback> m_subscriptions;  // (event, subscriber)
  std::deque<std::pair<uint32_t, std::vector<uint8_t>>> m_queue;
  bool m_delivering = false;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace fw

#endif
