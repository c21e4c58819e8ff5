#include "kav/tree/errors/LogSink.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<LogSink*> g_sink{nullptr};
// Held across a delivery, so that install() can wait for one under way.
// Recursive: a sink may log while it is called (its records then nest).
std::recursive_mutex g_deliveryMutex;

}  // namespace

LogSink::~LogSink() = default;

LogSink* LogSink::install(LogSink* sink) {
  std::lock_guard<std::recursive_mutex> lock(g_deliveryMutex);
  return g_sink.exchange(sink);
}

void LogSink::deliverError(const BaseErrorData& error, bool asynchronous) {
  if (g_sink.load(std::memory_order_acquire) == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(g_deliveryMutex);
  LogSink* sink = g_sink.load(std::memory_order_acquire);
  if (sink != nullptr) sink->errorLogged(error, asynchronous);
}

void LogSink::deliverEvent(const kavstl::string& name, const kavstl::string& text) {
  if (g_sink.load(std::memory_order_acquire) == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(g_deliveryMutex);
  LogSink* sink = g_sink.load(std::memory_order_acquire);
  if (sink != nullptr) sink->eventLogged(name, text);
}
