// First-failure data: chain buffers and the dd_ffdc_* calls.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimMachine.h"

namespace ravosim {
namespace detail {

namespace {

size_t elementSize(const FfdcRecord& r, std::string& text) {
  text = r.text;
  return (RAVO_FFDC_ELEMENT_HEADER + text.size() + 1 + 3) & ~size_t(3);
}

void put(uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); }
uint32_t get(const uint8_t* at) {
  uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

}  // namespace

void* buildFfdcChain(const std::vector<FfdcRecord>& records, size_t first, size_t last, size_t& bytes) {
  bytes = RAVO_FFDC_CHAIN_HEADER;
  std::string text;
  for (size_t i = first; i < last; ++i) bytes += elementSize(records[i], text);
  auto* buf = static_cast<uint8_t*>(std::calloc(1, bytes));
  if (!buf) return nullptr;
  put(buf, RAVO_FFDC_CHAIN_MAGIC);
  put(buf + 4, static_cast<uint32_t>(bytes));
  put(buf + 8, static_cast<uint32_t>(last - first));
  size_t at = RAVO_FFDC_CHAIN_HEADER;
  for (size_t i = first; i < last; ++i) {
    const size_t size = elementSize(records[i], text);
    put(buf + at, RAVO_FFDC_ELEMENT_MAGIC);
    put(buf + at + 4, static_cast<uint32_t>(size));
    put(buf + at + 8, static_cast<uint32_t>(records[i].err));
    put(buf + at + 12, records[i].seq);
    std::memcpy(buf + at + RAVO_FFDC_ELEMENT_HEADER, text.c_str(), text.size() + 1);
    at += size;
  }
  return buf;
}

}  // namespace detail
}  // namespace ravosim

using ravosim::detail::get;

namespace {

// Size of a valid element at p within [p, end), or 0.
size_t validElement(const uint8_t* p, const uint8_t* end) {
  if (end - p < RAVO_FFDC_ELEMENT_HEADER) return 0;
  if (get(p) != RAVO_FFDC_ELEMENT_MAGIC) return 0;
  const uint32_t size = get(p + 4);
  if (size < RAVO_FFDC_ELEMENT_HEADER + 1 || size % 4 != 0 || size > static_cast<size_t>(end - p)) return 0;
  if (std::memchr(p + RAVO_FFDC_ELEMENT_HEADER, 0, size - RAVO_FFDC_ELEMENT_HEADER) == nullptr) return 0;
  return size;
}

bool validChain(const uint8_t* p, uint32_t& total) {
  if (get(p) != RAVO_FFDC_CHAIN_MAGIC) return false;
  total = get(p + 4);
  return total >= RAVO_FFDC_CHAIN_HEADER;
}

}  // namespace

extern "C" {

RAVO_API int dd_ffdc_get_chain(const void* chain, void** element) {
  if (!chain || !element) {
    errno = EINVAL;
    return -1;
  }
  const auto* base = static_cast<const uint8_t*>(chain);
  uint32_t total = 0;
  if (!validChain(base, total)) {
    errno = EINVAL;
    return -1;
  }
  const uint8_t* end = base + total;
  const uint8_t* next;
  if (*element == nullptr) {
    next = base + RAVO_FFDC_CHAIN_HEADER;
  } else {
    const auto* cur = static_cast<const uint8_t*>(*element);
    const size_t size = (cur >= base + RAVO_FFDC_CHAIN_HEADER && cur < end) ? validElement(cur, end) : 0;
    if (!size) {
      errno = EINVAL;
      return -1;
    }
    next = cur + size;
  }
  if (next >= end) {
    *element = nullptr;
    return 1;
  }
  if (!validElement(next, end)) {
    errno = EINVAL;
    return -1;
  }
  *element = const_cast<uint8_t*>(next);
  return 0;
}

RAVO_API int dd_ffdc_chain_size(const void* element) {
  const auto* p = static_cast<const uint8_t*>(element);
  if (!p || get(p) != RAVO_FFDC_ELEMENT_MAGIC) {
    errno = EINVAL;
    return -1;
  }
  const size_t size = validElement(p, p + get(p + 4));
  if (!size) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(size);
}

RAVO_API int dd_ffdc_print(const void* buf, int size, char** text) {
  if (!buf || !text || size < RAVO_FFDC_ELEMENT_HEADER) {
    errno = EINVAL;
    return -1;
  }
  const auto* p = static_cast<const uint8_t*>(buf);
  std::string out;
  auto append = [&out](const uint8_t* e) {
    const uint32_t err = get(e + 8);
    const uint32_t seq = get(e + 12);
    if (!out.empty()) out += "\n";
    out += "FFDC #" + std::to_string(seq) + " errno " + std::to_string(err) + ": ";
    out += reinterpret_cast<const char*>(e + RAVO_FFDC_ELEMENT_HEADER);
  };
  uint32_t total = 0;
  if (get(p) == RAVO_FFDC_ELEMENT_MAGIC) {
    if (!validElement(p, p + size)) {
      errno = EINVAL;
      return -1;
    }
    append(p);
  } else if (validChain(p, total) && total <= static_cast<uint32_t>(size)) {
    void* e = nullptr;
    int rc;
    while ((rc = dd_ffdc_get_chain(buf, &e)) == 0 && e) append(static_cast<const uint8_t*>(e));
    if (rc < 0) return -1;
    if (out.empty()) out = "FFDC: no records";
  } else {
    errno = EINVAL;
    return -1;
  }
  *text = static_cast<char*>(std::malloc(out.size() + 1));
  if (!*text) {
    errno = ENOMEM;
    return -1;
  }
  std::memcpy(*text, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}

}  // extern "C"

namespace ravosim {
namespace detail {

int extractFfdc(const char* op, ravo_struct* h, Family f, bool single, int flags, void** buf) {
  Call c(op);
  if (!c.handle(h, f)) return -1;
  if (c.injectedFault()) return -1;
  if (!buf || (flags != 0 && flags != 1)) return c.fail(EINVAL, "bad arguments");
  *buf = nullptr;
  auto it = c.m.ffdc.find(c.path);
  if (it == c.m.ffdc.end()) return 0;
  FfdcStore& s = it->second;
  if (s.extracted >= s.records.size()) return 0;
  const size_t last = single ? s.extracted + 1 : s.records.size();
  size_t bytes = 0;
  void* chain = buildFfdcChain(s.records, s.extracted, last, bytes);
  if (!chain) return c.fail(ENOMEM);
  s.extracted = last;
  *buf = chain;
  return static_cast<int>(bytes);
}

int unlockFfdc(const char* op, ravo_struct* h, Family f, int flags) {
  Call c(op);
  if (!c.handle(h, f)) return -1;
  if (c.injectedFault()) return -1;
  if (flags != 0 && flags != 1) return c.fail(EINVAL, "bad arguments");
  auto it = c.m.ffdc.find(c.path);
  if (it == c.m.ffdc.end()) return 0;
  FfdcStore& s = it->second;
  s.records.erase(s.records.begin(), s.records.begin() + static_cast<ptrdiff_t>(s.extracted));
  s.extracted = 0;
  s.lost = 0;
  if (s.records.empty()) c.m.ffdc.erase(it);
  return 0;
}

}  // namespace detail
}  // namespace ravosim
