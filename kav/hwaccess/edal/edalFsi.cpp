#include "kav/hwaccess/edal/edalFsi.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>

#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_fsi.h"

namespace {

const unsigned int kBufferSize = 672;
const unsigned int kCapacity = 32;
const unsigned int kEntryOffset = 8;
const unsigned int kEntrySize = 20;

uint32_t get32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint16_t get16(const unsigned char* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void put32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
void put16(unsigned char* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }

// The set holds one engine per number: one that finds its number taken (a
// real engine where a pseudo engine went, or the other way round) is left
// out, and the trace says so.
void insertEngine(std::set<edalFsi::engineInfo_t>& engines, unsigned int type, unsigned int number) {
  const auto inserted = engines.insert(edalFsi::engineInfo_t{type, number});
  if (!inserted.second)
    KAV_TRACE(KAVE, "edalFsiGetAvailableEngines: engine %u type %u dropped, the number is taken by type %u", number,
              type, inserted.first->engineType);
}

}  // namespace

namespace edalFsi {

std::string asString(const engineInfo_t& info) { return std::to_string(info.engineNumber); }

}  // namespace edalFsi

unsigned int edalFsiGetAvailableEngines(const EdalInfo& info, std::set<edalFsi::engineInfo_t>& engines,
                                        std::string& msg) {
  msg.clear();
  unsigned char buffer[kBufferSize];
  std::memset(buffer, 0, sizeof buffer);
  const unsigned int link = info.getPhysicalLinkNumber();
  const unsigned int cascade = info.getPhysicalCascadeId();
  KAV_TRACE(KAVT, "edalFsiGetAvailableEngines link=%u cascade=%u", link, cascade);

  ravo_struct* handle = ravo_fsi_open("/dev/fsi", O_RDONLY);
  if (handle == nullptr) {
    unsigned int err = edalFfdc::lastErrno();
    KAV_TRACE(KAVE, "ravo_fsi_open failed errno=%u", err);
    msg = "ravo_fsi_open('/dev/fsi', O_RDONLY) failed";
    return err;
  }
  unsigned int result = 0;
  put32(buffer, kCapacity);
  put16(buffer + 8, static_cast<uint16_t>(link));
  put16(buffer + 10, static_cast<uint16_t>(cascade));
  if (ravo_fsi_config(handle, RAVO_FSI_CFG_GET, RAVO_FSI_CFG_ENGINE_LIST, buffer, sizeof buffer) == -1) {
    result = edalFfdc::lastErrno();
    KAV_TRACE(KAVE, "ravo_fsi_config failed link=%u cascade=%u errno=%u", link, cascade, result);
    msg = "ravo_fsi_config(devHandle,type,cfg,pFruList) failed";
  } else {
    unsigned int count = get16(buffer + 4);
    // Never read past the buffer, whatever the reply claims.
    const unsigned int fit = (kBufferSize - kEntryOffset) / kEntrySize;
    if (count > fit) {
      KAV_TRACE(KAVE, "edalFsiGetAvailableEngines: reply claims %u entries, %u fit", count, fit);
      count = fit;
    }
    for (unsigned int i = 0; i < count; ++i) {
      const uint32_t word = get32(buffer + kEntryOffset + kEntrySize * i);
      const unsigned int entryLink = (word >> 26) & 0x3Fu;
      const unsigned int entryCascade = (word >> 24) & 0x3u;
      const unsigned int number = (word >> 19) & 0x1Fu;
      const unsigned int type = (word >> 11) & 0xFFu;
      KAV_TRACE(KAVT, "engine word 0x%08X link=%u cascade=%u engine=%u type=%u", word, entryLink, entryCascade, number,
                type);
      if (entryLink != link || entryCascade != cascade) continue;
      insertEngine(engines, type, number);
      if (type == 5) insertEngine(engines, 0xDC, 31);
      if (type == 0x0D) insertEngine(engines, 0xDB, 30);
    }
  }
  if (ravo_fsi_close(handle) == -1) {
    unsigned int err = edalFfdc::lastErrno();
    KAV_TRACE(KAVE, "ravo_fsi_close failed errno=%u", err);
    if (result == 0) {
      result = err;
      msg = "ravo_fsi_close(handle) failed";
    }
  }
  return result;
}
