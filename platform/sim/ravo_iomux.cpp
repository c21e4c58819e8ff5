// libravo_iomux over the simulated machine.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimMachine.h"

using namespace ravosim::detail;
using ravosim::Transaction;

namespace {

constexpr Family F = Family::Iomux;


}  // namespace

extern "C" {

RAVO_API ravo_struct* ravo_iomux_open(const char* path, int flags) {
  Call c("ravo_iomux_open");
  return openHandle(c, F, path, flags, false);
}

RAVO_API int ravo_iomux_close(ravo_struct* h) {
  Call c("ravo_iomux_close");
  return closeHandle(c, h, F);
}

RAVO_API uint32_t ravo_iomux_query_size(ravo_struct* h) {
  Call c("ravo_iomux_query_size");
  Engine* e = c.begin(h, F);
  if (!e) return 0xFFFFFFFFu;
  return e->iomux.size;
}

RAVO_API int ravo_iomux_query_state(ravo_struct* h) {
  Call c("ravo_iomux_query_state");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  return e->iomux.state;
}

RAVO_API int64_t ravo_iomux_seek(ravo_struct* h, int64_t index, int whence) {
  Call c("ravo_iomux_seek");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  return c.seek(h, index, whence, e->iomux.size, "entries");
}

RAVO_API int ravo_iomux_write(ravo_struct* h, const ravo_iomux_entry_t* entries, uint32_t count, int flags,
                              int* errors) {
  Call c("ravo_iomux_write");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if ((count && !entries) || !errors || flags != 0) return c.fail(EINVAL, "bad arguments");
  if (c.m.failWithoutPower(c)) return -1;
  IomuxState& s = e->iomux;
  // Logged with its result: refused (validated, past the end) or written,
  // EINVAL when some entries had reserved bits and were left out.
  Transaction* t = c.m.logEntry(Transaction::IomuxWrite, c.path);
  if (t != nullptr) {
    t->offset = static_cast<uint32_t>(h->position);
    t->entries.assign(entries, entries + count);
  }
  if (s.state != RAVO_IOMUX_STATE_WRITABLE) {
    if (t != nullptr) t->result = EPERM;
    return c.fail(EPERM, "the multiplexer is validated");
  }
  if (h->position + count > s.size) {
    if (t != nullptr) t->result = EINVAL;
    return c.fail(EINVAL, std::to_string(count) + " entries at " + std::to_string(h->position) + " pass the end (" +
                              std::to_string(s.size) + " entries)");
  }
  int bad = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (entries[i] & RAVO_IOMUX_RESERVED_BITS) {
      ++bad;
      c.m.recordFfdc(c.path, c.op, EINVAL,
                     "entry " + std::to_string(h->position + i) + " = " + hex(entries[i]) + " has reserved bits set");
    } else {
      s.entries[static_cast<size_t>(h->position) + i] = entries[i];
    }
  }
  h->position += count;
  *errors = bad;
  if (t != nullptr && bad != 0) t->result = EINVAL;
  c.m.persistIomux(*e, h->link, h->cascade);
  return static_cast<int>(count);
}

RAVO_API int ravo_iomux_read(ravo_struct* h, ravo_iomux_entry_t* entries, uint32_t count) {
  Call c("ravo_iomux_read");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (count && !entries) return c.fail(EINVAL, "no buffer");
  const IomuxState& s = e->iomux;
  if (h->position + count > s.size)
    return c.fail(EINVAL, std::to_string(count) + " entries at " + std::to_string(h->position) + " pass the end (" +
                              std::to_string(s.size) + " entries)");
  if (count) std::memcpy(entries, s.entries.data() + h->position, 4u * count);
  h->position += count;
  return static_cast<int>(count);
}

RAVO_API int ravo_iomux_validate(ravo_struct* h) {
  Call c("ravo_iomux_validate");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (c.m.failWithoutPower(c)) return -1;
  e->iomux.state = RAVO_IOMUX_STATE_VALIDATED;
  c.m.persistIomux(*e, h->link, h->cascade);
  return 0;
}

RAVO_API int ravo_iomux_invalidate(ravo_struct* h) {
  Call c("ravo_iomux_invalidate");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (c.m.failWithoutPower(c)) return -1;
  e->iomux.state = RAVO_IOMUX_STATE_WRITABLE;
  c.m.persistIomux(*e, h->link, h->cascade);
  return 0;
}

RAVO_API int ravo_iomux_ffdc_extract(ravo_struct* h, int flags, void** buf) {
  return extractFfdc("ravo_iomux_ffdc_extract", h, F, true, flags, buf);
}

RAVO_API int ravo_iomux_ffdc_unlock(ravo_struct* h, int flags) {
  return unlockFfdc("ravo_iomux_ffdc_unlock", h, F, flags);
}

}  // extern "C"
