#include "kav/runtime/MemPool.h"

#include <cstdlib>
#include <new>

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

namespace {

constexpr uint32_t kAbendReason = 0xF0D1;

[[noreturn]] void poolAbend(const char* text) { percAbend(kAbendReason, nullptr, 0, 0, 0, 0, text, 11, 0); }

// Offset of the data area inside a chunk block: behind the header, placed so
// that the address behind the first size word is granule-aligned.
constexpr uint32_t dataOffset(uint32_t header) {
  uint32_t off = header + 4;
  while ((off + MemPool::kSizeWord) % MemPool::kGranule != 0) ++off;
  return off;
}

// RAII holder of the pool mutex.
class PoolLock {
 public:
  explicit PoolLock(IFOSRcFastMutex& m) : m_mutex(m) { m_mutex.mutexRequest(); }
  ~PoolLock() { m_mutex.mutexRelease(); }
  PoolLock(const PoolLock&) = delete;
  PoolLock& operator=(const PoolLock&) = delete;

 private:
  IFOSRcFastMutex& m_mutex;
};

}  // namespace

MemPool::MemPool(unsigned int chunkKB, bool growable)
    : m_pFirstChunk(nullptr), m_chunkKB(chunkKB), m_growable(growable) {
  if (chunkKB == 0 || chunkKB > 4096) {
    KAV_TRACE(KAVE, "MemPool: bad chunk size %u", chunkKB);
    poolAbend("MemPool: bad chunk size");
  }
  m_pFirstChunk = createChunk();
  if (m_pFirstChunk == nullptr) {
    KAV_TRACE(KAVE, " %lu,%p", static_cast<unsigned long>(chunkKB), this);
    poolAbend("MemPool: first chunk");
  }
  KAV_TRACE(KAVT, "MemPool created chunkKB=%u growable=%u", chunkKB, growable ? 1u : 0u);
}

MemPool::~MemPool() {
  MemChunk* c = m_pFirstChunk;
  while (c != nullptr) {
    MemChunk* next = c->next;
    std::free(c);
    c = next;
  }
  m_pFirstChunk = nullptr;
}

uint32_t MemPool::blockSizeFor(unsigned int size) {
  uint32_t need = static_cast<uint32_t>(size) + kSizeWord;
  return (need + kGranule - 1) & ~(kGranule - 1);
}

uint32_t MemPool::getBlockSize(const void* p) {
  return *reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(p) - kSizeWord);
}

MemPool::MemChunk* MemPool::createChunk() {
  const uint32_t dataSize = getChunkDataSize();
  const uint32_t off = dataOffset(static_cast<uint32_t>(sizeof(MemChunk)));
  const size_t total = static_cast<size_t>(off) + dataSize + static_cast<size_t>(regionCount()) * 4u;
  void* raw = std::malloc(total);
  if (raw == nullptr) return nullptr;
  MemChunk* c = static_cast<MemChunk*>(raw);
  c->next = nullptr;
  c->dataStart = static_cast<uint8_t*>(raw) + off;
  c->index = reinterpret_cast<uint32_t*>(c->dataStart + dataSize);
  for (uint32_t r = 0; r < regionCount(); ++r) c->index[r] = kNone;
  // One free block covering the whole data area.
  c->freeHead = 0;
  sizeAt(c, 0) = dataSize;
  nextAt(c, 0) = kNone;
  c->index[0] = 0;
  return c;
}

void MemPool::grow() {
  MemChunk* c = createChunk();
  if (c == nullptr) {
    KAV_TRACE(KAVE, "MemPool: no memory for a new chunk of %u KB", m_chunkKB);
    poolAbend("MemPool: grow");
  }
  c->next = m_pFirstChunk;
  m_pFirstChunk = c;
  KAV_TRACE(KAVT, "MemPool grown chunkKB=%u", m_chunkKB);
}

void MemPool::indexRemove(MemChunk* c, uint32_t off, uint32_t following) {
  uint32_t r = region(off);
  if (c->index[r] != off) return;
  c->index[r] = (following != kNone && region(following) == r) ? following : kNone;
}

void* MemPool::allocateInChunk(MemChunk* c, uint32_t need) {
  uint32_t prev = kNone;
  uint32_t cur = c->freeHead;
  while (cur != kNone) {
    uint32_t size = sizeAt(c, cur);
    if (size >= need) {
      if (size < need + kMinFreeBlock) {
        // Too small to leave a free block behind: hand out the whole block.
        uint32_t following = nextAt(c, cur);
        if (prev == kNone)
          c->freeHead = following;
        else
          nextAt(c, prev) = following;
        indexRemove(c, cur, following);
        // The size word already holds the whole block size.
        return c->dataStart + cur + kSizeWord;
      }
      // Cut the allocation from the end; the free block keeps its start.
      uint32_t rest = size - need;
      sizeAt(c, cur) = rest;
      uint32_t blk = cur + rest;
      sizeAt(c, blk) = need;
      return c->dataStart + blk + kSizeWord;
    }
    prev = cur;
    cur = nextAt(c, cur);
  }
  return nullptr;
}

void* MemPool::allocate(unsigned int size) {
  if (size == 0 || static_cast<uint64_t>(size) + kSizeWord > getChunkDataSize()) {
    KAV_TRACE(KAVE, " %d,%d", size, getChunkDataSize());
    return nullptr;
  }
  const uint32_t need = blockSizeFor(size);
  PoolLock lock(m_mutex);
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next) {
    void* p = allocateInChunk(c, need);
    if (p != nullptr) return p;
  }
  if (m_growable) {
    grow();
    void* p = allocateInChunk(m_pFirstChunk, need);
    if (p != nullptr) return p;
  }
  KAV_TRACE(KAVE, "MemPool exhausted size=%u chunkKB=%u growable=%u", size, m_chunkKB, m_growable ? 1u : 0u);
  poolAbend("MemPool: out of memory");
}

MemPool::MemChunk* MemPool::findChunk(const void* p) const {
  const uint8_t* q = static_cast<const uint8_t*>(p);
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next)
    if (q >= c->dataStart && q < c->dataStart + getChunkDataSize()) return c;
  return nullptr;
}

void MemPool::deallocate(void* p) {
  if (p == nullptr) return;
  PoolLock lock(m_mutex);
  MemChunk* c = findChunk(p);
  uint8_t* q = static_cast<uint8_t*>(p);
  if (c == nullptr || q < c->dataStart + kSizeWord) {
    KAV_TRACE(KAVE, " %p", p);
    poolAbend("MemPool: pointer not in pool");
  }
  deallocateInChunk(c, q - kSizeWord);
}

void MemPool::deallocateInChunk(MemChunk* c, uint8_t* block) {
  const uint32_t dataSize = getChunkDataSize();
  const uint32_t off = static_cast<uint32_t>(block - c->dataStart);
  const uint32_t size = sizeAt(c, off);
  if (off % kGranule != 0 || size < kMinFreeBlock || size % kGranule != 0 ||
      static_cast<uint64_t>(off) + size > dataSize) {
    KAV_TRACE(KAVE, "MemPool: bad block off=%u size=%u", off, size);
    poolAbend("MemPool: inconsistent free");
  }

  // The predecessor: the last free block that starts before the block. The
  // index gives the first free block of the nearest region at or before the
  // block's region that has one; from there only that region's blocks are
  // walked.
  uint32_t prev = kNone;
  for (uint32_t r = region(off) + 1; r-- > 0;) {
    uint32_t first = c->index[r];
    if (first == kNone || first >= off) continue;
    prev = first;
    while (nextAt(c, prev) != kNone && nextAt(c, prev) < off) prev = nextAt(c, prev);
    break;
  }
  const uint32_t next = prev == kNone ? c->freeHead : nextAt(c, prev);

  if ((prev != kNone && prev + sizeAt(c, prev) > off) || (next != kNone && off + size > next)) {
    KAV_TRACE(KAVE, "MemPool: freed block overlaps a free block off=%u size=%u prev=%u next=%u", off, size, prev,
              next);
    poolAbend("MemPool: inconsistent free");
  }

  uint32_t cur;
  if (prev != kNone && prev + sizeAt(c, prev) == off) {
    // Merge into the block before; its start and index entry stay.
    sizeAt(c, prev) += size;
    cur = prev;
  } else {
    nextAt(c, off) = next;
    if (prev == kNone)
      c->freeHead = off;
    else
      nextAt(c, prev) = off;
    uint32_t r = region(off);
    if (c->index[r] == kNone || c->index[r] > off) c->index[r] = off;
    cur = off;
  }
  if (next != kNone && cur + sizeAt(c, cur) == next) {
    // Merge the block behind.
    uint32_t following = nextAt(c, next);
    sizeAt(c, cur) += sizeAt(c, next);
    nextAt(c, cur) = following;
    indexRemove(c, next, following);
  }
}

bool MemPool::checkChunk(const MemChunk* c) const {
  const uint32_t dataSize = getChunkDataSize();
  // Free list: ascending, not adjacent, sane sizes; and the index entries.
  uint32_t expectFirst = kNone;
  uint32_t expectRegion = kNone;
  uint32_t prevEnd = 0;
  bool first = true;
  uint32_t indexSeen = 0;
  for (uint32_t cur = c->freeHead; cur != kNone; cur = nextAt(c, cur)) {
    if (cur >= dataSize || cur % kGranule != 0) return false;
    uint32_t size = sizeAt(c, cur);
    if (size < kMinFreeBlock || size % kGranule != 0 || static_cast<uint64_t>(cur) + size > dataSize) return false;
    if (!first && cur <= prevEnd) return false;  // out of order, overlapping or not merged
    uint32_t r = region(cur);
    if (r != expectRegion) {
      expectRegion = r;
      expectFirst = cur;
      if (c->index[r] != expectFirst) return false;
      ++indexSeen;
    }
    prevEnd = cur + size;
    first = false;
  }
  uint32_t indexUsed = 0;
  for (uint32_t r = 0; r < regionCount(); ++r)
    if (c->index[r] != kNone) ++indexUsed;
  if (indexUsed != indexSeen) return false;

  // Every block, free or allocated, starts with its size: they must tile the
  // data area exactly.
  uint32_t off = 0;
  while (off < dataSize) {
    uint32_t size = sizeAt(c, off);
    if (size < kMinFreeBlock || size % kGranule != 0 || static_cast<uint64_t>(off) + size > dataSize) return false;
    off += size;
  }
  return off == dataSize;
}

bool MemPool::consistencyCheck() {
  PoolLock lock(m_mutex);
  unsigned int n = 0;
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next, ++n) {
    if (!checkChunk(c)) {
      KAV_TRACE(KAVE, "MemPool: chunk %u at %p inconsistent", n, c);
      return false;
    }
  }
  return true;
}

unsigned int MemPool::getChunkCount() {
  PoolLock lock(m_mutex);
  unsigned int n = 0;
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next) ++n;
  return n;
}

uint32_t MemPool::getFreeBytes() {
  PoolLock lock(m_mutex);
  uint32_t bytes = 0;
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next)
    for (uint32_t cur = c->freeHead; cur != kNone; cur = nextAt(c, cur)) bytes += sizeAt(c, cur);
  return bytes;
}

unsigned int MemPool::getFreeBlockCount() {
  PoolLock lock(m_mutex);
  unsigned int n = 0;
  for (MemChunk* c = m_pFirstChunk; c != nullptr; c = c->next)
    for (uint32_t cur = c->freeHead; cur != kNone; cur = nextAt(c, cur)) ++n;
  return n;
}
