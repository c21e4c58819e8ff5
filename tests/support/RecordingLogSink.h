// Records what the library logs while it is alive: every error value (its
// code, SRC, text, keys, slot ids and log state) and every event, each with
// the time it was handed over. Tests assert on these records, and check
// delays on their timestamps.
#ifndef QUIB_TESTS_SUPPORT_RECORDINGLOGSINK_H
#define QUIB_TESTS_SUPPORT_RECORDINGLOGSINK_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/errors/LogSink.h"

namespace testsupport {

struct LoggedError {
  unsigned int rc = 0;  // without the logged flag
  unsigned int src = 0;
  std::string text;
  unsigned int primaryKey = 0;
  unsigned int secondaryKey = 0;
  std::vector<unsigned int> slotIds;
  BaseErrorData::LogState_t logState = BaseErrorData::LOG_STATE_NONE;
  bool asynchronous = false;
  std::chrono::steady_clock::time_point time;
};

struct LoggedEvent {
  std::string name;
  std::string text;
  std::chrono::steady_clock::time_point time;
};

class RecordingLogSink : public LogSink {
 public:
  RecordingLogSink() { m_previous = LogSink::install(this); }
  ~RecordingLogSink() override { LogSink::install(m_previous); }
  RecordingLogSink(const RecordingLogSink&) = delete;
  RecordingLogSink& operator=(const RecordingLogSink&) = delete;

  void errorLogged(const BaseErrorData& error, bool asynchronous) override {
    LoggedError e;
    e.rc = error.getRcWithoutLogFlag();
    e.src = error.getSrc();
    e.text.assign(error.getErrorBuffer(), error.getErrorBufferLen());
    error.getKeys(e.primaryKey, e.secondaryKey);
    for (unsigned int id : error.getSlotIds()) e.slotIds.push_back(id);
    e.logState = error.getLogState();
    e.asynchronous = asynchronous;
    e.time = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_errors.push_back(std::move(e));
    m_changed.notify_all();
  }

  void eventLogged(const kavstl::string& name, const kavstl::string& text) override {
    LoggedEvent e{name, text, std::chrono::steady_clock::now()};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(std::move(e));
    m_changed.notify_all();
  }

  std::vector<LoggedError> errors() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
  }
  std::vector<LoggedEvent> events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  // The errors logged with this code.
  std::vector<LoggedError> errorsWithRc(unsigned int rc) const {
    std::vector<LoggedError> out;
    for (const LoggedError& e : errors())
      if (e.rc == rc) out.push_back(e);
    return out;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_errors.clear();
    m_events.clear();
  }

  // Waits until the predicate over the errors holds; false on time-out.
  bool waitForErrors(const std::function<bool(const std::vector<LoggedError>&)>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_errors); });
  }
  bool waitForEvents(const std::function<bool(const std::vector<LoggedEvent>&)>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_events); });
  }

 private:
  LogSink* m_previous = nullptr;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<LoggedError> m_errors;
  std::vector<LoggedEvent> m_events;
};

}  // namespace testsupport

#endif
