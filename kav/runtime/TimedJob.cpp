#include "kav/runtime/TimedJob.h"

#include <atomic>

#include "kav/runtime/KavTrace.h"
#include "kav/runtime/MemPool.h"

namespace {
// The job pool; exists between TimedExecutor::init and terminate.
std::atomic<MemPool*> g_jobPool{nullptr};
}  // namespace

TimedJob::TimedJob() = default;

TimedJob::~TimedJob() = default;

void* TimedJob::operator new(std::size_t size) noexcept {
  MemPool* pool = g_jobPool.load();
  if (pool == nullptr) {
    KAV_TRACE(KAVE, "TimedJob::new without job pool %u", static_cast<unsigned>(size));
    return nullptr;
  }
  return pool->allocate(static_cast<unsigned int>(size));
}

void TimedJob::operator delete(void* p) noexcept {
  if (p == nullptr) return;
  MemPool* pool = g_jobPool.load();
  if (pool == nullptr) {
    KAV_TRACE(KAVE, "TimedJob::delete without job pool %p", p);
    return;
  }
  pool->deallocate(p);
}

void TimedJob::initMemoryManagement() {
  if (g_jobPool.load() != nullptr) return;
  g_jobPool.store(new MemPool(kPoolChunkKB, false));
}

void TimedJob::terminateMemoryManagement() { delete g_jobPool.exchange(nullptr); }
