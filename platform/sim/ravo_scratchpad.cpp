// libravo_scratchpad over the simulated machine.
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimMachine.h"

using namespace ravosim::detail;

namespace {

constexpr Family F = Family::Scp;


bool inRange(Call& c, const ravo_struct* h, const ScpState& s, size_t len) {
  if (static_cast<uint64_t>(h->position) + len > s.size) {
    c.fail(EINVAL, std::to_string(len) + " bytes at offset " + std::to_string(h->position) + " pass the end (" +
                       std::to_string(s.size) + " bytes)");
    return false;
  }
  return true;
}

}  // namespace

extern "C" {

RAVO_API ravo_struct* ravo_scp_open(const char* path, int flags) {
  Call c("ravo_scp_open");
  return openHandle(c, F, path, flags, false);
}

RAVO_API int ravo_scp_close(ravo_struct* h) {
  Call c("ravo_scp_close");
  return closeHandle(c, h, F);
}

RAVO_API int64_t ravo_scp_seek(ravo_struct* h, int64_t offset, int whence) {
  Call c("ravo_scp_seek");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  return c.seek(h, offset, whence, e->scp.size, "bytes");
}

RAVO_API ssize_t ravo_scp_read(ravo_struct* h, void* buf, size_t len) {
  Call c("ravo_scp_read");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (len && !buf) return c.fail(EINVAL, "no buffer");
  if (!inRange(c, h, e->scp, len)) return -1;
  if (len) std::memcpy(buf, e->scp.bytes.data() + h->position, len);
  h->position += static_cast<int64_t>(len);
  return static_cast<ssize_t>(len);
}

RAVO_API ssize_t ravo_scp_write(ravo_struct* h, const void* buf, size_t len) {
  Call c("ravo_scp_write");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if ((h->flags & O_ACCMODE) == O_RDONLY) return c.fail(EBADF, "the device is open for reading only");
  if (len && !buf) return c.fail(EINVAL, "no buffer");
  if (!inRange(c, h, e->scp, len)) return -1;
  if (c.m.failWithoutPower(c)) return -1;
  // An armed power cut counts the writes to matching memories; the last one
  // may be torn: only its first bytes reach the memory.
  size_t landed = len;
  Machine& m = c.m;
  if (m.cutAfter > 0 && (m.cutPattern.empty() || m.cutPattern == "*" ||
                         fnmatch(m.cutPattern.c_str(), c.path.c_str(), 0) == 0)) {
    if (--m.cutAfter == 0) {
      m.powerCut = true;
      if (m.cutTear >= 0 && static_cast<size_t>(m.cutTear) < len) landed = static_cast<size_t>(m.cutTear);
    }
  }
  const auto offset = static_cast<uint32_t>(h->position);
  if (landed) std::memcpy(e->scp.bytes.data() + offset, buf, landed);
  m.persistScp(*e, h->link, h->cascade, offset, static_cast<uint32_t>(landed));
  ++m.scpWrites;
  if (landed < len)
    return c.fail(EIO, "the power was cut after " + std::to_string(landed) + " of " + std::to_string(len) + " bytes");
  h->position += static_cast<int64_t>(len);
  return static_cast<ssize_t>(len);
}

RAVO_API int ravo_scp_get_size(ravo_struct* h, uint32_t* size) {
  Call c("ravo_scp_get_size");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!size) return c.fail(EINVAL, "no size");
  *size = e->scp.size;
  return 0;
}

RAVO_API int ravo_scp_read_coldstart_state(ravo_struct* h, int* state) {
  Call c("ravo_scp_read_coldstart_state");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (!state) return c.fail(EINVAL, "no state");
  *state = e->scp.cold ? 1 : 0;
  return 0;
}

RAVO_API int ravo_scp_reset_coldstart_state(ravo_struct* h) {
  Call c("ravo_scp_reset_coldstart_state");
  Engine* e = c.begin(h, F);
  if (!e) return -1;
  if (c.m.failWithoutPower(c)) return -1;
  e->scp.cold = false;
  c.m.persistScp(*e, h->link, h->cascade, 0, 0);
  return 0;
}

RAVO_API int ravo_scp_ffdc_extract(ravo_struct* h, int flags, void** buf) {
  return extractFfdc("ravo_scp_ffdc_extract", h, F, false, flags, buf);
}

RAVO_API int ravo_scp_ffdc_unlock(ravo_struct* h, int flags) {
  return unlockFfdc("ravo_scp_ffdc_unlock", h, F, flags);
}

}  // extern "C"
