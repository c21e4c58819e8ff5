#include "fw/TimerService.h"

#include <cerrno>

#include "ravo_sim_control.h"

namespace fw {

TimerService::~TimerService() {
  {
    std::lock_guard<std::mutex> g(m_mutex);
    m_stop = true;
  }
  m_cv.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

TimerService& TimerService::instance() {
  static TimerService timers;
  return timers;
}

ErrorLog* TimerService::start(uint32_t ms, Callback callback, uint32_t& id) {
  id = 0;
  int err = 0;
  if (!ravosim::takeInjectedFault("startTimer", "timer", err) && !callback) err = EINVAL;
  if (err != 0) return ErrorLog::create(ErrorLog::Software, kModuleTimerService, static_cast<uint16_t>(err), 0, ms);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(ms);
  std::lock_guard<std::mutex> g(m_mutex);
  id = m_nextId++;
  if (m_nextId == 0) m_nextId = 1;
  m_timers.emplace(due, std::make_pair(id, std::move(callback)));
  if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
  m_cv.notify_all();
  return nullptr;
}

ErrorLog* TimerService::cancel(uint32_t id) {
  int err = 0;
  if (ravosim::takeInjectedFault("cancelTimer", "timer", err))
    return ErrorLog::create(ErrorLog::Software, kModuleTimerService, static_cast<uint16_t>(err), id);
  std::lock_guard<std::mutex> g(m_mutex);
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
    if (it->second.first != id) continue;
    m_timers.erase(it);
    m_cv.notify_all();
    return nullptr;
  }
  return ErrorLog::create(ErrorLog::Software, kModuleTimerService, ENOENT, id);
}

size_t TimerService::pending() const {
  std::lock_guard<std::mutex> g(m_mutex);
  return m_timers.size();
}

void TimerService::run() {
  std::unique_lock<std::mutex> g(m_mutex);
  while (!m_stop) {
    if (m_timers.empty()) {
      m_cv.wait(g);
      continue;
    }
    const auto first = m_timers.begin();
    if (first->first > Clock::now()) {
      // A copy: the timer may be cancelled (its node freed) while waiting.
      const Clock::time_point due = first->first;
      m_cv.wait_until(g, due);
      continue;
    }
    const uint32_t id = first->second.first;
    const Callback callback = std::move(first->second.second);
    m_timers.erase(first);
    g.unlock();
    callback(id);
    g.lock();
  }
}

}  // namespace fw
