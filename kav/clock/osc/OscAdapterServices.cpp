#include "kav/clock/osc/OscAdapterServices.h"

#include <mutex>

#include "kav/runtime/KavTrace.h"

namespace {

std::mutex g_lock;  // guards g_operations
OscAdapterServices::Operations_t g_operations = {nullptr, nullptr, nullptr, nullptr};

OscAdapterServices::Operations_t current() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_operations;
}

}  // namespace

OscAdapterServices::Operations_t OscAdapterServices::registerOperations(const Operations_t& operations) {
  std::lock_guard<std::mutex> guard(g_lock);
  const Operations_t previous = g_operations;
  g_operations = operations;
  return previous;
}

OscAdapterServices::Operations_t OscAdapterServices::getOperations() { return current(); }

void OscAdapterServices::clearClockBit() {
  ClockBitOperation_t op = current().clearClockBit;
  KAV_TRACE(KAVT, "OscAdapterServices::clearClockBit registered=%d", op != nullptr);
  if (op != nullptr) op();
}

void OscAdapterServices::setClockBit() {
  ClockBitOperation_t op = current().setClockBit;
  KAV_TRACE(KAVT, "OscAdapterServices::setClockBit registered=%d", op != nullptr);
  if (op != nullptr) op();
}

void OscAdapterServices::toggleClockBit() {
  ClockBitOperation_t op = current().toggleClockBit;
  KAV_TRACE(KAVT, "OscAdapterServices::toggleClockBit registered=%d", op != nullptr);
  if (op != nullptr) op();
}

void OscAdapterServices::collectDebugInfo(int mode) {
  DebugCollector_t op = current().collectDebugInfo;
  KAV_TRACE(KAVT, "OscAdapterServices::collectDebugInfo mode=%d registered=%d", mode, op != nullptr);
  if (op != nullptr) op(mode);
}
