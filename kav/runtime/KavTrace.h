// Trace points of the library: short binary records into the named buffers
// of the platform's trace library.
//
//   KAV_TRACE(KAVT, "start rc=0x%08X", rc);              // up to 8 values
//   KAV_TRACE_STR(KAVE, "no class %s id=%u", name, id);  // one string, then values
//
// Entry, exit and results of operations go to KAVT, failures to KAVE. Every
// value is stored as 32 bits; the format text must be a literal.
#ifndef KAV_RUNTIME_KAVTRACE_H
#define KAV_RUNTIME_KAVTRACE_H

#include <cstdint>
#include <string>
#include <type_traits>

#include "kav/tree/objects/KavExport.h"
#include "trace_ravo.h"

namespace kav {
namespace trace {

enum Buffer : unsigned { KAVL, KAVD, KAVT, KAVE, KAVI, QBIN, QBER, kBufferCount };

// The descriptor of a buffer; every buffer exists once the library is loaded.
// Exported: the trace points of the library's header templates (ExecList)
// are compiled into the programs that use them.
KAV_EXPORT trace_ravo_desc_t desc(Buffer b);

template <class T>
inline uint32_t arg(T v) {
  if constexpr (std::is_pointer_v<T>)
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(v));
  else
    return static_cast<uint32_t>(v);
}

template <class... A>
inline void write(Buffer b, const char* fmt, unsigned line, const char* str, A... a) {
  const uint32_t values[sizeof...(A) + 1] = {arg(a)..., 0u};
  trace_ravo_write_all(desc(b), fmt, line, str, static_cast<unsigned>(sizeof...(A)), values);
}

inline const char* cstr(const char* s) { return s; }
inline const char* cstr(const std::string& s) { return s.c_str(); }

}  // namespace trace
}  // namespace kav

#define KAV_TRACE(buf, fmt, ...) ::kav::trace::write(::kav::trace::buf, fmt, __LINE__, nullptr, ##__VA_ARGS__)
#define KAV_TRACE_STR(buf, fmt, str, ...) \
  ::kav::trace::write(::kav::trace::buf, fmt, __LINE__, ::kav::trace::cstr(str), ##__VA_ARGS__)

#endif
