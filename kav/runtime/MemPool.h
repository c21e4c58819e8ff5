// A pool of small memory blocks carved from large chunks with a first-fit
// allocator. Frequently created small objects (tree objects, configuration
// nodes, timed jobs) live in pools instead of the general heap.
//
// Chunk layout (one malloc block):
//   MemChunk header | data area (chunkKB x 1024 bytes) | free-block index
// The index holds one 32-bit word per 128 bytes of data area: the offset of
// the first free block that starts in that region (or kNone). It lets a
// release find its neighbours without walking the free list.
//
// Blocks in the data area:
//   free block:      size (u32, whole block), offset of the next free block
//                    (u32, list in address order)
//   allocated block: size word (u32, whole block) just before the address
//                    handed out.
// Block sizes are multiples of kGranule and every address handed out is
// kGranule-aligned (4 bytes on 32-bit hosts, 8 on 64-bit hosts).
//
// All failures other than an oversized or zero request end the process.
#ifndef KAV_RUNTIME_MEMPOOL_H
#define KAV_RUNTIME_MEMPOOL_H

#include <cstddef>
#include <cstdint>

#include "kav/runtime/IFOSRcFastMutex.h"

class MemPool {
 public:
  // Bytes the size word takes in front of every allocation.
  static constexpr uint32_t kSizeWord = 4;
  // Block sizes are multiples of this; allocations are aligned to it.
  static constexpr uint32_t kGranule = sizeof(void*) >= 8 ? 8 : 4;
  // Smallest free block (size word and next offset).
  static constexpr uint32_t kMinFreeBlock = 8;
  // Bytes of data area covered by one index word.
  static constexpr uint32_t kRegionShift = 7;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  MemPool(unsigned int chunkKB, bool growable);
  ~MemPool();
  MemPool(const MemPool&) = delete;
  MemPool& operator=(const MemPool&) = delete;

  // A zero size or one that does not fit into an empty chunk answers null.
  void* allocate(unsigned int size);
  // Null is ignored. A pointer that is not from this pool, a block that
  // reaches past the data area or overlaps a free block ends the process.
  void deallocate(void* p);
  // Checks every chunk: the blocks tile the data area, the free list is in
  // address order with sane sizes, and the index matches the list.
  bool consistencyCheck();

  // Size of the data area of one chunk in bytes.
  uint32_t getChunkDataSize() const { return m_chunkKB * 1024u; }
  // Bytes the block handed out at `size` takes from a chunk.
  static uint32_t blockSizeFor(unsigned int size);

  // Statistics for tests and diagnosis.
  unsigned int getChunkCount();
  // Free bytes of all chunks, and the free blocks in all chunks.
  uint32_t getFreeBytes();
  unsigned int getFreeBlockCount();
  // Size word of an allocated block.
  static uint32_t getBlockSize(const void* p);

 private:
  struct MemChunk {
    MemChunk* next;       // older chunk
    uint8_t* dataStart;   // data area
    uint32_t* index;      // free-block index, just behind the data area
    uint32_t freeHead;    // offset of the first free block, kNone when full
  };

  MemChunk* createChunk();
  void grow();
  void* allocateInChunk(MemChunk* c, uint32_t need);
  void deallocateInChunk(MemChunk* c, uint8_t* block);
  bool checkChunk(const MemChunk* c) const;
  MemChunk* findChunk(const void* p) const;

  uint32_t regionCount() const { return m_chunkKB * 8u; }
  static uint32_t region(uint32_t off) { return off >> kRegionShift; }
  static uint32_t& sizeAt(const MemChunk* c, uint32_t off) {
    return *reinterpret_cast<uint32_t*>(c->dataStart + off);
  }
  static uint32_t& nextAt(const MemChunk* c, uint32_t off) {
    return *reinterpret_cast<uint32_t*>(c->dataStart + off + 4);
  }
  // The index entry of the region of `off` after the free block at `off`
  // stopped being the first free block there; `following` is the free block
  // after it in the list.
  void indexRemove(MemChunk* c, uint32_t off, uint32_t following);

  MemChunk* m_pFirstChunk;
  unsigned int m_chunkKB;
  bool m_growable;
  IFOSRcFastMutex m_mutex;
};

#endif
