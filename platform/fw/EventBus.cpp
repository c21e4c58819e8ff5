#include "fw/EventBus.h"

#include <cerrno>
#include <string>

#include "ravo_sim_control.h"

namespace fw {

namespace {

ErrorLog* failure(int err, uint32_t subscriber, uint32_t event) {
  return ErrorLog::create(ErrorLog::Software, kModuleEventBus, static_cast<uint16_t>(err), subscriber, event);
}

bool injected(const char* op, uint32_t event, int& err) {
  return ravosim::takeInjectedFault(op, "event" + std::to_string(event), err);
}

}  // namespace

EventBus::~EventBus() {
  {
    std::lock_guard<std::mutex> g(m_mutex);
    m_stop = true;
  }
  m_cv.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

EventBus& EventBus::instance() {
  static EventBus bus;
  return bus;
}

ErrorLog* EventBus::subscribe(uint32_t subscriber, uint32_t event, Callback callback) {
  int err = 0;
  if (injected("subscribe", event, err)) return failure(err, subscriber, event);
  if (!callback) return failure(EINVAL, subscriber, event);
  std::lock_guard<std::mutex> g(m_mutex);
  if (!m_subscriptions.emplace(std::make_pair(event, subscriber), std::move(callback)).second)
    return failure(EEXIST, subscriber, event);
  return nullptr;
}

ErrorLog* EventBus::unsubscribe(uint32_t subscriber, uint32_t event) {
  int err = 0;
  if (injected("unsubscribe", event, err)) return failure(err, subscriber, event);
  std::lock_guard<std::mutex> g(m_mutex);
  if (m_subscriptions.erase(std::make_pair(event, subscriber)) == 0) return failure(ENOENT, subscriber, event);
  return nullptr;
}

bool EventBus::subscribed(uint32_t subscriber, uint32_t event) const {
  std::lock_guard<std::mutex> g(m_mutex);
  return m_subscriptions.count(std::make_pair(event, subscriber)) != 0;
}

void EventBus::publish(uint32_t event, std::vector<uint8_t> payload) {
  std::lock_guard<std::mutex> g(m_mutex);
  if (m_stop) return;
  m_queue.emplace_back(event, std::move(payload));
  if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
  m_cv.notify_all();
}

void EventBus::waitIdle() {
  std::unique_lock<std::mutex> g(m_mutex);
  m_cv.wait(g, [this] { return m_stop || (m_queue.empty() && !m_delivering); });
}

void EventBus::run() {
  std::unique_lock<std::mutex> g(m_mutex);
  for (;;) {
    m_cv.wait(g, [this] { return m_stop || !m_queue.empty(); });
    if (m_stop) return;
    const std::pair<uint32_t, std::vector<uint8_t>> item = std::move(m_queue.front());
    m_queue.pop_front();
    m_delivering = true;
    // The subscribers of the event as it is delivered; each is asked again
    // before its turn, so one that a callback unsubscribed is skipped.
    std::vector<uint32_t> subscribers;
    for (auto it = m_subscriptions.lower_bound({item.first, 0});
         it != m_subscriptions.end() && it->first.first == item.first; ++it)
      subscribers.push_back(it->first.second);
    for (uint32_t subscriber : subscribers) {
      auto it = m_subscriptions.find({item.first, subscriber});
      if (it == m_subscriptions.end()) continue;
      const Callback callback = it->second;
      g.unlock();
      callback(item.first, item.second);
      g.lock();
      if (m_stop) break;
    }
    m_delivering = false;
    m_cv.notify_all();
  }
}

}  // namespace fw
