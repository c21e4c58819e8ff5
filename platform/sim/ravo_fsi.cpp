// libravo_fsi over the simulated machine.
#include <cerrno>
#include <cstring>
#include <new>

#include "SimMachine.h"

using namespace ravosim::detail;

namespace {

constexpr uint32_t kFsiMagic = 0x52465349u;  // "RFSI"

}  // namespace

extern "C" {

RAVO_API ravo_struct* ravo_fsi_open(const char* path, int flags) {
  Call c("ravo_fsi_open");
  c.path = path ? path : "";
  if (c.injectedFault()) return nullptr;
  if (c.path != "/dev/fsi") {
    c.fail(ENOENT, "the FSI master is /dev/fsi");
    return nullptr;
  }
  auto* h = new (std::nothrow) ravo_struct;
  if (!h) {
    c.fail(ENOMEM);
    return nullptr;
  }
  h->magic = kFsiMagic;
  h->family = Family::Fsi;
  h->path = c.path;
  h->generation = c.m.generation;
  h->flags = flags;
  c.m.handles.insert(h);
  return h;
}

RAVO_API int ravo_fsi_config(ravo_struct* h, int type, int cfg, void* buf, size_t len) {
  Call c("ravo_fsi_config");
  if (!c.handle(h, Family::Fsi)) return -1;
  if (c.injectedFault()) return -1;
  if (type != RAVO_FSI_CFG_GET || cfg != RAVO_FSI_CFG_ENGINE_LIST)
    return c.fail(EINVAL, "configuration " + std::to_string(type) + "/" + std::to_string(cfg) + " is not supported");
  if (!buf || len < RAVO_FSI_ENGINE_LIST_HEADER) return c.fail(EINVAL, "the buffer is too short");
  auto* p = static_cast<uint8_t*>(buf);
  uint32_t capacity;
  uint16_t link, cascade;
  std::memcpy(&capacity, p, 4);
  std::memcpy(&link, p + 8, 2);
  std::memcpy(&cascade, p + 10, 2);
  if (static_cast<uint64_t>(capacity) * RAVO_FSI_ENGINE_ENTRY_SIZE + RAVO_FSI_ENGINE_LIST_HEADER > len)
    return c.fail(EINVAL, "room for " + std::to_string(capacity) + " entries needs more than " + std::to_string(len) +
                              " bytes");
  const std::string where = "CFAM L" + std::to_string(link) + "C" + std::to_string(cascade);
  Cfam* cfam = c.m.findCfam(link, cascade);
  if (!cfam) return c.fail(ENODEV, where + " does not exist");
  if (!cfam->present) return c.fail(ENODEV, where + " is not present");
  if (cfam->engines.size() > capacity)
    return c.fail(ENOSPC, where + " has " + std::to_string(cfam->engines.size()) + " engines, room for " +
                              std::to_string(capacity));
  const auto count = static_cast<uint16_t>(cfam->engines.size());
  std::memcpy(p + 4, &count, 2);
  size_t i = 0;
  for (const auto& [num, e] : cfam->engines) {
    ravo_fsi_engine_entry_t entry{};
    entry.engine = RAVO_FSI_ENGINE_WORD(link, cascade, num, e.rawType);
    entry.version = 1;
    entry.address = num << 10;
    entry.size = 0x400;
    entry.flags = RAVO_FSI_ENGINE_PRESENT;
    std::memcpy(p + RAVO_FSI_ENGINE_LIST_HEADER + RAVO_FSI_ENGINE_ENTRY_SIZE * i, &entry, sizeof entry);
    ++i;
  }
  return 0;
}

RAVO_API int ravo_fsi_close(ravo_struct* h) {
  Call c("ravo_fsi_close");
  if (!c.handle(h, Family::Fsi)) return -1;
  const bool failed = c.injectedFault();
  c.m.handles.erase(h);
  delete h;
  return failed ? -1 : 0;
}

}  // extern "C"
