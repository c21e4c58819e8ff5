// The firmware's one-shot timers: a callback runs on the service's own
// thread once its time has passed, unless the timer was cancelled before.
// Callbacks run one at a time, earliest first.
//
// Cancelling does not wait for a callback that has already started: a
// caller may hold a lock that the callback takes.
#ifndef FW_TIMERSERVICE_H
#define FW_TIMERSERVICE_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"

namespace fw {

class FW_API TimerService {
 public:
  using Callback = std::function<void(uint32_t id)>;
  using Clock = std::chrono::steady_clock;

  TimerService() = default;
  // Stops the thread after the callback it runs, if any; pending timers do
  // not fire.
  ~TimerService();
  TimerService(const TimerService&) = delete;
  TimerService& operator=(const TimerService&) = delete;

  // The timers of the process.
  static TimerService& instance();

  // Starts a timer that calls `callback` with its id `ms` milliseconds from
  // now. Null with `id` set (never 0), or an error log (software, module
  // kModuleTimerService, reason EINVAL for an empty callback, or an
  // injected fault "startTimer") with `id` 0.
  ErrorLog* start(uint32_t ms, Callback callback, uint32_t& id);
  // Null when the timer was pending and now will not fire; an error log
  // (reason ENOENT, user data the id) for a timer that has fired, was
  // cancelled or never existed, or an injected fault ("cancelTimer",
  // device "timer").
  ErrorLog* cancel(uint32_t id);
  // Timers that have not fired yet.
  size_t pending() const;

 private:
  void run();

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  // Pending timers by due time (then id); their ids for cancelling.
  std::multimap<Clock::time_point, std::pair<uint32_t, Callback>> m_timers;
  uint32_t m_nextId = 1;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace fw

#endif
