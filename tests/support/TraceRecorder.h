// Records the trace records of the library while it is installed, with the
// time each was written: unlike the trace buffers, which are rings that a
// busy stretch overwrites, it loses none. Tests check delays on these
// timestamps. Only records whose text begins with one of the given prefixes
// are kept (all with none).
#ifndef QUIB_TESTS_SUPPORT_TRACERECORDER_H
#define QUIB_TESTS_SUPPORT_TRACERECORDER_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "trace_ravo.h"

namespace testsupport {

struct TracedRecord {
  std::string buffer;  // "KAVT", "KAVE", ...
  uint64_t us = 0;     // monotonic clock, microseconds
  std::string text;    // without time and source line
};

class TraceRecorder {
 public:
  explicit TraceRecorder(std::vector<std::string> prefixes = {}) : m_prefixes(std::move(prefixes)) {
    trace_ravo_set_observer(&TraceRecorder::see, this);
  }
  ~TraceRecorder() { trace_ravo_set_observer(nullptr, nullptr); }
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  std::vector<TracedRecord> records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
  }

 private:
  static void see(void* ctx, const char* buffer, const char* line) {
    // "<seconds>.<micros> <source line>: <text>"
    unsigned long long seconds = 0;
    unsigned long long micros = 0;
    int used = 0;
    if (std::sscanf(line, "%llu.%6llu %*u: %n", &seconds, &micros, &used) < 2 || used == 0) return;
    TraceRecorder* self = static_cast<TraceRecorder*>(ctx);
    const char* text = line + used;
    bool wanted = self->m_prefixes.empty();
    for (const std::string& p : self->m_prefixes)
      if (std::strncmp(text, p.c_str(), p.size()) == 0) {
        wanted = true;
        break;
      }
    if (!wanted) return;
    TracedRecord r{buffer, seconds * 1000000u + micros, text};
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_records.push_back(std::move(r));
  }

  const std::vector<std::string> m_prefixes;
  mutable std::mutex m_mutex;
  std::vector<TracedRecord> m_records;
};

}  // namespace testsupport

#endif
