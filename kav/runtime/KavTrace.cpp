#include "kav/runtime/KavTrace.h"

namespace kav {
namespace trace {
namespace {

constexpr unsigned kBufferSize = 8192;
const char* const kNames[kBufferCount] = {"KAVL", "KAVD", "KAVT", "KAVE", "KAVI", "QBIN", "QBER"};

struct Buffers {
  trace_ravo_desc_t d[kBufferCount] = {};
  Buffers() {
    for (unsigned i = 0; i < kBufferCount; ++i) trace_ravo_init_buffer(&d[i], kNames[i], kBufferSize);
  }
};

Buffers& buffers() {
  static Buffers b;
  return b;
}

// The buffers exist as soon as the library is loaded, before any record.
__attribute__((constructor)) void createBuffers() { buffers(); }

}  // namespace

trace_ravo_desc_t desc(Buffer b) { return b < kBufferCount ? buffers().d[b] : nullptr; }

}  // namespace trace
}  // namespace kav
