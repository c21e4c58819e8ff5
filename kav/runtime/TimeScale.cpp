#include "kav/runtime/TimeScale.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kav/runtime/KavTrace.h"

namespace {

unsigned int readFactor() {
  const char* text = std::getenv(TimeScale::kVariable);
  unsigned int factor = TimeScale::kRealTime;
  if (text != nullptr && *text != '\0' && !TimeScale::parse(text, factor)) {
    KAV_TRACE_STR(KAVE, "TimeScale: QUIB_TIME_SCALE=%s is no factor in (0, 1], real time", text);
  }
  KAV_TRACE(KAVT, "TimeScale: factor %u millionths", factor);
  return factor;
}

}  // namespace

unsigned int TimeScale::factor() {
  static const unsigned int s_factor = readFactor();
  return s_factor;
}

unsigned int TimeScale::delayMs(unsigned int ms) { return scale(ms, factor()); }

unsigned int TimeScale::scale(unsigned int ms, unsigned int factor) {
  if (ms == 0 || factor == 0 || factor >= kRealTime) return ms;
  const uint64_t scaled = (static_cast<uint64_t>(ms) * factor + kRealTime / 2) / kRealTime;
  return scaled == 0 ? 1u : static_cast<unsigned int>(scaled);
}

bool TimeScale::parse(const char* text, unsigned int& factor) {
  if (text == nullptr) return false;
  uint64_t whole = 0;
  uint64_t millionths = 0;
  unsigned int digits = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
    whole = whole * 10 + static_cast<uint64_t>(*p - '0');
    if (whole > 1) return false;
  }
  if (*p == '.') {
    ++p;
    uint64_t weight = kRealTime / 10;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
      millionths += weight * static_cast<uint64_t>(*p - '0');
      weight /= 10;
    }
  }
  if (*p != '\0' || digits == 0) return false;
  const uint64_t value = whole * kRealTime + millionths;
  if (value == 0 || value > kRealTime) return false;
  factor = static_cast<unsigned int>(value);
  return true;
}

std::string TimeScale::toString(unsigned int factor) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%06u", factor / kRealTime, factor % kRealTime);
  std::string s(text);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}
