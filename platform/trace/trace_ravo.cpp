// Trace library stand-in: named ring buffers of compact binary records.
#include "trace_ravo.h"
#include "perc_abend.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

constexpr unsigned kMaxBuffers = 32;
constexpr unsigned kNameLen = 16;

// One record as it lies in the buffer, padded to 8 bytes.
struct RecordHeader {
  uint32_t len;  // bytes of the whole record; 0 marks the unused end of the buffer
  uint16_t line;
  uint8_t nargs;
  uint8_t slen;
  uint64_t timeNs;
  const char* fmt;
};
static_assert(sizeof(RecordHeader) == 24, "record header layout");

constexpr uint32_t align8(uint32_t n) { return (n + 7u) & ~7u; }

}  // namespace

struct trace_ravo_buffer {
  char name[kNameLen];
  std::mutex lock;
  std::vector<unsigned char> data;
  uint64_t rpos = 0;  // logical position of the oldest record
  uint64_t wpos = 0;  // logical position after the newest record
  uint64_t records = 0;
};

namespace {

// Never destroyed: threads of the library may still trace while the process
// runs its exit handlers (an abend ends it from any thread).
std::mutex& g_registryLock = *new std::mutex;
trace_ravo_buffer* const g_buffers = new trace_ravo_buffer[kMaxBuffers];
unsigned g_bufferCount = 0;

// The observer: checked without the lock on every write, called under it.
std::atomic<bool> g_observed{false};
std::mutex& g_observerLock = *new std::mutex;
trace_ravo_observer_t g_observer = nullptr;
void* g_observerCtx = nullptr;

bool mirrorToStderr() {
  static const bool mirror = [] {
    const char* v = std::getenv("KAV_TRACE");
    return v != nullptr && std::strcmp(v, "stderr") == 0;
  }();
  return mirror;
}

uint64_t nowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

// Formats one record's text: integer conversions take the next value, %s
// takes the string. Unknown conversions are copied as they stand.
std::string formatRecord(const char* fmt, const uint32_t* args, unsigned nargs, const char* str) {
  std::string out;
  if (fmt == nullptr) return out;
  unsigned next = 0;
  for (const char* p = fmt; *p != '\0'; ++p) {
    if (*p != '%') {
      out.push_back(*p);
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out.push_back('%');
      continue;
    }
    std::string conversion = "%";
    while (*p != '\0' && std::strchr("-+ #0123456789.*", *p) != nullptr) conversion.push_back(*p++);
    while (*p == 'l' || *p == 'h' || *p == 'z' || *p == 'j' || *p == 't') ++p;  // every value is 32-bit
    char conv = *p;
    char buf[128];
    if (conv == 's') {
      conversion.push_back('s');
      std::snprintf(buf, sizeof buf, conversion.c_str(), str != nullptr ? str : "");
      out += buf;
    } else if (std::strchr("diuxXoc", conv) != nullptr && conv != '\0') {
      uint32_t v = next < nargs ? args[next] : 0;
      ++next;
      conversion.push_back(conv);
      if (conv == 'd' || conv == 'i')
        std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<int>(static_cast<int32_t>(v)));
      else
        std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<unsigned>(v));
      out += buf;
    } else if (conv == 'p') {
      uint32_t v = next < nargs ? args[next] : 0;
      ++next;
      std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(v));
      out += buf;
    } else {
      out.append(start, conv == '\0' ? std::strlen(start) : static_cast<size_t>(p - start + 1));
      if (conv == '\0') break;
    }
  }
  return out;
}

std::string recordText(const RecordHeader& h, const unsigned char* body) {
  uint32_t args[TRACE_RAVO_MAX_ARGS] = {};
  std::memcpy(args, body, h.nargs * sizeof(uint32_t));
  char str[TRACE_RAVO_MAX_STRING + 1] = {};
  std::memcpy(str, body + h.nargs * sizeof(uint32_t), h.slen);
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%llu.%06llu %u: ", static_cast<unsigned long long>(h.timeNs / 1000000000ull),
                static_cast<unsigned long long>((h.timeNs / 1000ull) % 1000000ull), static_cast<unsigned>(h.line));
  return stamp + formatRecord(h.fmt, args, h.nargs, h.slen != 0 ? str : nullptr);
}

// The record at logical position pos, or false when pos is at the unused end
// of the buffer (the caller then moves on to the next lap).
bool recordAt(const trace_ravo_buffer& b, uint64_t pos, RecordHeader& h) {
  const uint64_t size = b.data.size();
  const uint64_t off = pos % size;
  if (size - off < sizeof(RecordHeader)) return false;
  std::memcpy(&h, &b.data[off], sizeof h);
  return h.len != 0;
}

uint64_t nextLap(uint64_t pos, uint64_t size) { return (pos / size + 1) * size; }

void walk(const trace_ravo_buffer& b, const std::function<void(const RecordHeader&, const unsigned char*)>& f) {
  if (b.data.empty()) return;
  uint64_t pos = b.rpos;
  while (pos < b.wpos) {
    RecordHeader h{};
    if (!recordAt(b, pos, h)) {
      pos = nextLap(pos, b.data.size());
      continue;
    }
    f(h, &b.data[pos % b.data.size() + sizeof(RecordHeader)]);
    pos += h.len;
  }
}
}  // namespace

extern "C" {

int trace_ravo_init_buffer(trace_ravo_desc_t* desc, const char* name, unsigned int size) {
  if (desc == nullptr || name == nullptr || size < 256) return -1;
  std::lock_guard<std::mutex> g(g_registryLock);
  for (unsigned i = 0; i < g_bufferCount; ++i) {
    if (std::strncmp(g_buffers[i].name, name, kNameLen - 1) == 0) {
      *desc = &g_buffers[i];
      return 0;
    }
  }
  if (g_bufferCount == kMaxBuffers) return -1;
  trace_ravo_buffer& b = g_buffers[g_bufferCount];
  std::snprintf(b.name, sizeof b.name, "%s", name);
  b.data.assign(size, 0);
  b.rpos = b.wpos = 0;
  ++g_bufferCount;
  *desc = &b;
  return 0;
}

trace_ravo_desc_t trace_ravo_find_buffer(const char* name) {
  if (name == nullptr) return nullptr;
  std::lock_guard<std::mutex> g(g_registryLock);
  for (unsigned i = 0; i < g_bufferCount; ++i)
    if (std::strncmp(g_buffers[i].name, name, kNameLen - 1) == 0) return &g_buffers[i];
  return nullptr;
}

void trace_ravo_write_all(trace_ravo_desc_t desc, const char* fmt, unsigned int line, const char* str,
                          unsigned int nargs, const uint32_t* args) {
  if (desc == nullptr) return;
  if (nargs > TRACE_RAVO_MAX_ARGS) nargs = TRACE_RAVO_MAX_ARGS;
  if (args == nullptr) nargs = 0;
  size_t slen = str != nullptr ? strnlen(str, TRACE_RAVO_MAX_STRING) : 0;

  RecordHeader h{};
  h.line = static_cast<uint16_t>(line);
  h.nargs = static_cast<uint8_t>(nargs);
  h.slen = static_cast<uint8_t>(slen);
  h.timeNs = nowNs();
  h.fmt = fmt;
  h.len = align8(static_cast<uint32_t>(sizeof h + nargs * sizeof(uint32_t) + slen));

  {
    std::lock_guard<std::mutex> g(desc->lock);
    trace_ravo_buffer& b = *desc;
    const uint64_t size = b.data.size();
    uint64_t pos = b.wpos;
    if (size - pos % size < h.len) {
      // Does not fit before the end: mark the rest unused and start the next lap.
      const uint64_t off = pos % size;
      if (size - off >= sizeof(uint32_t)) std::memset(&b.data[off], 0, sizeof(uint32_t));
      pos = nextLap(pos, size);
    }
    // Drop the oldest records that the new one overwrites.
    while (b.rpos < b.wpos && pos + h.len - b.rpos > size) {
      RecordHeader old{};
      if (recordAt(b, b.rpos, old))
        b.rpos += old.len;
      else
        b.rpos = nextLap(b.rpos, size);
    }
    if (b.rpos >= b.wpos) b.rpos = pos;
    unsigned char* dst = &b.data[pos % size];
    std::memcpy(dst, &h, sizeof h);
    if (nargs != 0) std::memcpy(dst + sizeof h, args, nargs * sizeof(uint32_t));
    if (slen != 0) std::memcpy(dst + sizeof h + nargs * sizeof(uint32_t), str, slen);
    b.wpos = pos + h.len;
    ++b.records;
  }

  const bool mirror = mirrorToStderr();
  const bool observed = g_observed.load(std::memory_order_acquire);
  if (!mirror && !observed) return;
  unsigned char body[TRACE_RAVO_MAX_ARGS * 4 + TRACE_RAVO_MAX_STRING];
  if (nargs != 0) std::memcpy(body, args, nargs * sizeof(uint32_t));
  if (slen != 0) std::memcpy(body + nargs * sizeof(uint32_t), str, slen);
  const std::string text = recordText(h, body);
  if (mirror) {
    const std::string line = std::string(desc->name) + " " + text + "\n";
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
  }
  if (observed) {
    std::lock_guard<std::mutex> g(g_observerLock);
    if (g_observer != nullptr) g_observer(g_observerCtx, desc->name, text.c_str());
  }
}

void trace_ravo_set_observer(trace_ravo_observer_t observer, void* ctx) {
  std::lock_guard<std::mutex> g(g_observerLock);
  g_observer = observer;
  g_observerCtx = ctx;
  g_observed.store(observer != nullptr, std::memory_order_release);
}

size_t trace_ravo_decode(trace_ravo_desc_t desc, void (*line)(void* ctx, const char* text), void* ctx) {
  if (desc == nullptr) return 0;
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> g(desc->lock);
    walk(*desc, [&](const RecordHeader& h, const unsigned char* body) { lines.push_back(recordText(h, body)); });
  }
  if (line != nullptr)
    for (const std::string& l : lines) line(ctx, l.c_str());
  return lines.size();
}

void trace_ravo_dump_all(int fd, unsigned int last) {
  unsigned count;
  {
    std::lock_guard<std::mutex> g(g_registryLock);
    count = g_bufferCount;
  }
  for (unsigned i = 0; i < count; ++i) {
    std::vector<std::string> lines;
    trace_ravo_decode(&g_buffers[i], [](void* c, const char* t) { static_cast<std::vector<std::string>*>(c)->push_back(t); },
                      &lines);
    std::string out = std::string("--- trace buffer ") + g_buffers[i].name + " (" + std::to_string(lines.size()) +
                      " records)\n";
    size_t from = lines.size() > last ? lines.size() - last : 0;
    for (size_t k = from; k < lines.size(); ++k) out += lines[k] + "\n";
    ssize_t ignored = ::write(fd, out.data(), out.size());
    (void)ignored;
  }
}

void trace_ravo_clear_all(void) {
  std::lock_guard<std::mutex> g(g_registryLock);
  for (unsigned i = 0; i < g_bufferCount; ++i) {
    std::lock_guard<std::mutex> bg(g_buffers[i].lock);
    g_buffers[i].rpos = g_buffers[i].wpos = 0;
  }
}

void percAbend(uint32_t reason, const void* data, uint32_t dataLen, uint32_t arg3, uint32_t arg4, uint32_t arg5,
               const char* text, uint32_t arg7, uint32_t arg8) {
  char head[512];
  int n = std::snprintf(head, sizeof head,
                        "percAbend: reason=0x%08X data=%p len=%u args=0x%X,0x%X,0x%X arg7=%u arg8=%u text=%s\n",
                        static_cast<unsigned>(reason), data, static_cast<unsigned>(dataLen), static_cast<unsigned>(arg3),
                        static_cast<unsigned>(arg4), static_cast<unsigned>(arg5), static_cast<unsigned>(arg7),
                        static_cast<unsigned>(arg8), text != nullptr ? text : "");
  if (n > 0) {
    ssize_t ignored = ::write(2, head, static_cast<size_t>(n) < sizeof head ? static_cast<size_t>(n) : sizeof head - 1);
    (void)ignored;
  }
  trace_ravo_dump_all(2, 16);
  std::abort();
}

}  // extern "C"
