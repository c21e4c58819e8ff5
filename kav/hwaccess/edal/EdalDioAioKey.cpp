#include "kav/hwaccess/edal/EdalDioAioKey.h"

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

namespace {

uint32_t foldAddress(const void* p) {
  uint64_t a = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
  return static_cast<uint32_t>(a) ^ static_cast<uint32_t>(a >> 32);
}

}  // namespace

uint32_t EdalDioAioKey_compute_checksum(const EdalDioAioKey* key) {
  return key->pin ^ key->irqId ^ key->levelMask ^ key->threadId ^ foldAddress(key);
}

void EdalDioAioKey_create_checksum(EdalDioAioKey* key) { key->checksum = EdalDioAioKey_compute_checksum(key); }

void EdalDioAioKey_trace(const EdalDioAioKey* key) {
  KAV_TRACE(KAVT, "aio key %p pin=%u handle=%p irqId=0x%08X level=0x%08X tid=%u", key, key->pin, key->pHandle,
            key->irqId, key->levelMask, key->threadId);
  KAV_TRACE(KAVT, "aio key %p state=0x%08X marker=0x%08X checksum=0x%08X", key, key->state, key->marker,
            key->checksum);
}

void EdalDioAioKey_check_checksum(const EdalDioAioKey* key) {
  uint32_t expected = EdalDioAioKey_compute_checksum(key);
  if (expected == key->checksum) return;
  KAV_TRACE(KAVE, "aio key %p checksum mismatch: stored=0x%08X computed=0x%08X", key, key->checksum, expected);
  KAV_TRACE(KAVE, "aio key %p pin=%u handle=%p irqId=0x%08X level=0x%08X tid=%u", key, key->pin, key->pHandle,
            key->irqId, key->levelMask, key->threadId);
  KAV_TRACE(KAVE, "aio key %p state=0x%08X marker=0x%08X", key, key->state, key->marker);
  percAbend(0, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
}
