#include "fw/AbortableSleep.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "fw/ViewService.h"

namespace fw {

namespace {

// Never destroyed: a sleeper may still wait while the process ends.
std::mutex& g_lock = *new std::mutex;
std::condition_variable& g_wake = *new std::condition_variable;
uint64_t g_aborts = 0;  // abortAll calls so far

}  // namespace

ErrorLog* AbortableSleep::handleSleepAbort(uint32_t ms, uint32_t checkMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::milliseconds(ms);
  const bool primary = ViewService::isKtrPrimary();
  auto slept = [start] {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  };
  std::unique_lock<std::mutex> g(g_lock);
  const uint64_t aborts = g_aborts;
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (now >= end) return nullptr;
    const Clock::time_point until = checkMs == 0 ? end : std::min(end, now + std::chrono::milliseconds(checkMs));
    if (g_wake.wait_until(g, until, [aborts] { return g_aborts != aborts; }))
      return ErrorLog::create(ErrorLog::Software, kModuleAbortableSleep, ECANCELED, ms, slept());
    if (checkMs == 0 || Clock::now() >= end) continue;
    g.unlock();
    const bool changed = ViewService::isKtrPrimary() != primary;
    g.lock();
    if (changed) return ErrorLog::create(ErrorLog::Software, kModuleAbortableSleep, EPERM, ms, slept());
  }
}

void AbortableSleep::abortAll() {
  {
    std::lock_guard<std::mutex> g(g_lock);
    ++g_aborts;
  }
  g_wake.notify_all();
}

}  // namespace fw
