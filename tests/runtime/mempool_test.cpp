#include "kav/runtime/MemPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kG = MemPool::kGranule;

// Fills the pool (1 KB, not growing) from the end until exactly `freeLeft`
// bytes remain in the single free block at the start of the data area.
std::vector<void*> leaveFree(MemPool& pool, uint32_t freeLeft) {
  std::vector<void*> fillers;
  uint32_t free = pool.getFreeBytes();
  while (free > freeLeft) {
    uint32_t take = std::min<uint32_t>(free - freeLeft, 256);
    if (free - take < freeLeft + MemPool::kMinFreeBlock && free - take != freeLeft) take = free - freeLeft;
    fillers.push_back(pool.allocate(take - MemPool::kSizeWord));
    free = pool.getFreeBytes();
  }
  return fillers;
}

TEST(MemPool, OneByteTakesEightBytes) {
  MemPool pool(1, false);
  const uint32_t before = pool.getFreeBytes();
  void* p = pool.allocate(1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(before - pool.getFreeBytes(), 8u);
  EXPECT_EQ(MemPool::getBlockSize(p), 8u);
  EXPECT_EQ(MemPool::blockSizeFor(1), 8u);
  pool.deallocate(p);
  EXPECT_EQ(pool.getFreeBytes(), before);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, BlockSizesAreRoundedRequestsPlusSizeWord) {
  struct Case {
    unsigned int request;
    uint32_t block;
  };
  const Case cases[] = {{1, 8}, {4, 8}, {5, kG == 4 ? 12u : 16u}, {12, 16}, {13, kG == 4 ? 20u : 24u}, {508, 512}};
  for (const Case& c : cases) EXPECT_EQ(MemPool::blockSizeFor(c.request), c.block) << c.request;
}

TEST(MemPool, AddressesAreAlignedAndBlocksDoNotOverlap) {
  MemPool pool(4, false);
  std::vector<std::pair<unsigned char*, unsigned int>> blocks;
  for (unsigned int size = 1; size <= 64; ++size) {
    auto* p = static_cast<unsigned char*>(pool.allocate(size));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kG, 0u);
    std::memset(p, static_cast<int>(size), size);
    blocks.emplace_back(p, size);
  }
  for (auto& b : blocks)
    for (unsigned int i = 0; i < b.second; ++i) ASSERT_EQ(b.first[i], b.second);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, FreeBlockTooSmallToSplitIsHandedOutWhole) {
  const unsigned int size = 20;
  const uint32_t need = MemPool::blockSizeFor(size);
  // The largest free block that cannot leave a free block behind.
  MemPool pool(1, false);
  std::vector<void*> fillers = leaveFree(pool, need + MemPool::kMinFreeBlock - kG);
  ASSERT_EQ(pool.getFreeBlockCount(), 1u);
  void* p = pool.allocate(size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(MemPool::getBlockSize(p), need + MemPool::kMinFreeBlock - kG);
  EXPECT_EQ(pool.getFreeBlockCount(), 0u);
  EXPECT_TRUE(pool.consistencyCheck());
  pool.deallocate(p);
  EXPECT_EQ(pool.getFreeBytes(), need + MemPool::kMinFreeBlock - kG);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, FreeBlockThatLeavesAFreeBlockIsSplitFromItsEnd) {
  const unsigned int size = 20;
  const uint32_t need = MemPool::blockSizeFor(size);
  MemPool pool(1, false);
  std::vector<void*> fillers = leaveFree(pool, need + MemPool::kMinFreeBlock);
  void* p = pool.allocate(size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(MemPool::getBlockSize(p), need);
  EXPECT_EQ(pool.getFreeBlockCount(), 1u);
  EXPECT_EQ(pool.getFreeBytes(), MemPool::kMinFreeBlock);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, NeighbouringFreesMergeInAnyOrder) {
  const std::vector<std::vector<int>> orders = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const std::vector<int>& order : orders) {
    MemPool pool(1, false);
    const uint32_t whole = pool.getFreeBytes();
    void* guard = pool.allocate(40);  // keeps the three away from the end
    void* blocks[3] = {pool.allocate(24), pool.allocate(100), pool.allocate(8)};
    for (int i : order) {
      pool.deallocate(blocks[i]);
      ASSERT_TRUE(pool.consistencyCheck());
    }
    // The three merged with each other and with the free block before them.
    EXPECT_EQ(pool.getFreeBlockCount(), 1u);
    pool.deallocate(guard);
    EXPECT_EQ(pool.getFreeBlockCount(), 1u);
    EXPECT_EQ(pool.getFreeBytes(), whole);
    EXPECT_TRUE(pool.consistencyCheck());
  }
}

TEST(MemPool, TwoNeighboursFreedInEitherOrderLeaveOneBlock) {
  for (bool firstLower : {true, false}) {
    MemPool pool(1, false);
    std::vector<void*> fillers = leaveFree(pool, 0);  // nothing free
    ASSERT_EQ(pool.getFreeBlockCount(), 0u);
    // Two adjacent filler blocks in the middle of the chunk.
    void* a = fillers[1];
    void* b = fillers[2];
    const uint32_t both = MemPool::getBlockSize(a) + MemPool::getBlockSize(b);
    pool.deallocate(firstLower ? b : a);
    pool.deallocate(firstLower ? a : b);
    EXPECT_EQ(pool.getFreeBlockCount(), 1u);
    EXPECT_EQ(pool.getFreeBytes(), both);
    EXPECT_TRUE(pool.consistencyCheck());
  }
}

TEST(MemPool, ZeroAndOversizedRequestsGiveNull) {
  MemPool pool(20, false);
  EXPECT_EQ(pool.allocate(0), nullptr);
  EXPECT_EQ(pool.allocate(20 * 1024), nullptr);
  EXPECT_EQ(pool.allocate(20 * 1024 - 3), nullptr);
  EXPECT_EQ(pool.getFreeBytes(), 20u * 1024u);
}

TEST(MemPool, LargestRequestFitsOnlyAnEmptyChunk) {
  MemPool pool(20, false);
  void* p = pool.allocate(20 * 1024 - 4);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pool.getFreeBytes(), 0u);
  pool.deallocate(p);
  EXPECT_EQ(pool.getFreeBytes(), 20u * 1024u);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, LargestRequestIntoUsedChunkEndsTheProcess) {
  EXPECT_DEATH(
      {
        MemPool pool(20, false);
        pool.allocate(1);
        pool.allocate(20 * 1024 - 4);
      },
      "percAbend: reason=0x0000F0D1");
}

TEST(MemPool, FullPoolThatCannotGrowEndsTheProcess) {
  EXPECT_DEATH(
      {
        MemPool pool(1, false);
        for (int i = 0; i < 1000; ++i) pool.allocate(16);
      },
      "percAbend: reason=0x0000F0D1");
}

TEST(MemPool, GrowablePoolAddsChunksAndFreesIntoOlderOnes) {
  MemPool pool(1, true);
  std::vector<void*> all;
  for (int i = 0; i < 200; ++i) {
    void* p = pool.allocate(20);
    ASSERT_NE(p, nullptr);
    all.push_back(p);
  }
  EXPECT_GT(pool.getChunkCount(), 1u);
  EXPECT_TRUE(pool.consistencyCheck());
  for (void* p : all) pool.deallocate(p);
  EXPECT_TRUE(pool.consistencyCheck());
  EXPECT_EQ(pool.getFreeBytes(), pool.getChunkCount() * 1024u);
  EXPECT_EQ(pool.getFreeBlockCount(), pool.getChunkCount());
}

TEST(MemPool, RandomWorkloadKeepsThePoolConsistent) {
  MemPool pool(2, true);
  std::mt19937 rng(7);
  std::vector<std::pair<unsigned char*, unsigned int>> live;
  for (int step = 0; step < 4000; ++step) {
    if (live.empty() || rng() % 3 != 0) {
      unsigned int size = 1 + rng() % 300;
      auto* p = static_cast<unsigned char*>(pool.allocate(size));
      ASSERT_NE(p, nullptr);
      std::memset(p, size & 0xFF, size);
      live.emplace_back(p, size);
    } else {
      size_t i = rng() % live.size();
      for (unsigned int k = 0; k < live[i].second; ++k) ASSERT_EQ(live[i].first[k], live[i].second & 0xFF);
      pool.deallocate(live[i].first);
      live.erase(live.begin() + static_cast<long>(i));
    }
    if (step % 50 == 0) {
      ASSERT_TRUE(pool.consistencyCheck()) << step;
    }
  }
  std::shuffle(live.begin(), live.end(), rng);
  for (auto& b : live) pool.deallocate(b.first);
  EXPECT_TRUE(pool.consistencyCheck());
  EXPECT_EQ(pool.getFreeBlockCount(), pool.getChunkCount());
}

TEST(MemPool, NullIsIgnoredOnRelease) {
  MemPool pool(1, false);
  pool.deallocate(nullptr);
  EXPECT_TRUE(pool.consistencyCheck());
}

TEST(MemPool, InconsistentReleasesEndTheProcess) {
  EXPECT_DEATH(
      {
        MemPool pool(1, false);
        int onStack = 0;
        pool.deallocate(&onStack);
      },
      "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(
      {
        MemPool pool(1, false);
        void* p = pool.allocate(16);
        pool.deallocate(p);
        pool.deallocate(p);
      },
      "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(
      {
        MemPool pool(1, false);
        pool.allocate(40);
        void* p = pool.allocate(16);
        void* q = pool.allocate(16);
        pool.deallocate(p);  // merges with the free block in front
        pool.deallocate(q);
        pool.deallocate(p);  // now inside a free block
      },
      "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(
      {
        MemPool pool(1, false);
        void* p = pool.allocate(16);
        reinterpret_cast<uint32_t*>(p)[-1] = 4096;  // reaches beyond the data area
        pool.deallocate(p);
      },
      "percAbend: reason=0x0000F0D1");
}

TEST(MemPool, ConsistencyCheckFindsAnOverwrittenSizeWord) {
  MemPool pool(1, true);
  void* a = pool.allocate(16);
  void* b = pool.allocate(16);
  EXPECT_TRUE(pool.consistencyCheck());
  reinterpret_cast<uint32_t*>(b)[-1] += kG;  // the block now overlaps a
  EXPECT_FALSE(pool.consistencyCheck());
  reinterpret_cast<uint32_t*>(b)[-1] -= kG;
  EXPECT_TRUE(pool.consistencyCheck());
  pool.deallocate(a);
  pool.deallocate(b);
}

TEST(MemPool, ManyBlocksFreedInRandomOrderAcrossRegions) {
  MemPool pool(8, false);
  std::vector<void*> blocks;
  for (int i = 0; i < 300; ++i) blocks.push_back(pool.allocate(4 + (i % 5) * 4));
  std::mt19937 rng(11);
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (size_t i = 0; i < blocks.size(); ++i) {
    pool.deallocate(blocks[i]);
    if (i % 10 == 0) {
      ASSERT_TRUE(pool.consistencyCheck()) << i;
    }
  }
  EXPECT_EQ(pool.getFreeBlockCount(), 1u);
  EXPECT_EQ(pool.getFreeBytes(), 8u * 1024u);
}

TEST(MemPool, ThreadsShareOnePool) {
  MemPool pool(8, true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, t] {
      std::mt19937 rng(static_cast<unsigned>(t));
      std::vector<unsigned char*> mine;
      for (int i = 0; i < 2000; ++i) {
        if (mine.size() < 50 && rng() % 2 == 0) {
          auto* p = static_cast<unsigned char*>(pool.allocate(1 + rng() % 128));
          *p = static_cast<unsigned char>(t);
          mine.push_back(p);
        } else if (!mine.empty()) {
          EXPECT_EQ(*mine.back(), static_cast<unsigned char>(t));
          pool.deallocate(mine.back());
          mine.pop_back();
        }
      }
      for (unsigned char* p : mine) pool.deallocate(p);
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_TRUE(pool.consistencyCheck());
  EXPECT_EQ(pool.getFreeBlockCount(), pool.getChunkCount());
}

}  // namespace
