// MemPool against the general-purpose allocators for tree-object sizes
// (16..512 bytes): a hot LIFO loop, random-order frees with 10 000 blocks
// live, and chunk growth. mimalloc and jemalloc are loaded with dlopen and
// called through their own entry points (mi_malloc/mi_free, mallocx/dallocx),
// so they never replace the process's malloc.
//
// Besides the mean time per operation every benchmark reports p999_ns: the
// 99.9th percentile of the time per operation over batches of kBatch
// operations.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kav/runtime/MemPool.h"

#ifndef QUIB_MIMALLOC_LIB
#define QUIB_MIMALLOC_LIB "libmimalloc.so.2"
#endif
#ifndef QUIB_JEMALLOC_LIB
#define QUIB_JEMALLOC_LIB "libjemalloc.so.2"
#endif

namespace {

constexpr unsigned int kPoolChunkKB = 30;  // the tree-object pool
constexpr int kBatch = 64;

struct Allocator {
  std::string name;
  void* (*allocate)(size_t);
  void (*release)(void*);
  void (*reset)();  // fresh state before a benchmark (pools only)
};

// ---- MemPool ---------------------------------------------------------------
std::unique_ptr<MemPool> g_pool;
void* poolAllocate(size_t n) { return g_pool->allocate(static_cast<unsigned int>(n)); }
void poolRelease(void* p) { g_pool->deallocate(p); }
void poolReset() { g_pool.reset(new MemPool(kPoolChunkKB, true)); }

// ---- glibc -------------------------------------------------------------------
void* glibcAllocate(size_t n) { return std::malloc(n); }
void glibcRelease(void* p) { std::free(p); }

// ---- dlopen'ed allocators ----------------------------------------------------
void* (*g_miMalloc)(size_t) = nullptr;
void (*g_miFree)(void*) = nullptr;
void* miAllocate(size_t n) { return g_miMalloc(n); }
void miRelease(void* p) { g_miFree(p); }

void* (*g_jeMallocx)(size_t, int) = nullptr;
void (*g_jeDallocx)(void*, int) = nullptr;
void* jeAllocate(size_t n) { return g_jeMallocx(n, 0); }
void jeRelease(void* p) { g_jeDallocx(p, 0); }

void noReset() {}

template <class F>
bool loadSymbol(void* handle, F& target, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    void* s = dlsym(handle, n);
    if (s != nullptr) {
      target = reinterpret_cast<F>(s);
      return true;
    }
  }
  return false;
}

// jemalloc keeps its thread data in static TLS, which a library loaded with
// dlopen only gets when the loader reserved room for it at process start.
// Without that room the program starts itself once more with the reserve.
void reexecWithStaticTlsReserve(char** argv) {
  if (std::getenv("QUIB_BENCH_TLS_REEXEC") != nullptr) return;
  std::string tunables = "glibc.rtld.optional_static_tls=65536";
  if (const char* old = std::getenv("GLIBC_TUNABLES")) tunables = std::string(old) + ":" + tunables;
  setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
  setenv("QUIB_BENCH_TLS_REEXEC", "1", 1);
  execv("/proc/self/exe", argv);
  std::perror("execv");
}

std::vector<Allocator> loadAllocators(char** argv) {
  std::vector<Allocator> all;
  all.push_back({"MemPool", poolAllocate, poolRelease, poolReset});
  all.push_back({"glibc", glibcAllocate, glibcRelease, noReset});
  if (void* h = dlopen(QUIB_MIMALLOC_LIB, RTLD_NOW | RTLD_LOCAL)) {
    if (loadSymbol(h, g_miMalloc, {"mi_malloc"}) && loadSymbol(h, g_miFree, {"mi_free"}))
      all.push_back({"mimalloc", miAllocate, miRelease, noReset});
  } else {
    std::fprintf(stderr, "mimalloc not loaded: %s\n", dlerror());
  }
  void* h = dlopen(QUIB_JEMALLOC_LIB, RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    std::string why = dlerror();
    if (why.find("static TLS") != std::string::npos) reexecWithStaticTlsReserve(argv);
    std::fprintf(stderr, "jemalloc not loaded: %s\n", why.c_str());
  } else if (loadSymbol(h, g_jeMallocx, {"mallocx", "je_mallocx"}) &&
             loadSymbol(h, g_jeDallocx, {"dallocx", "je_dallocx"})) {
    all.push_back({"jemalloc", jeAllocate, jeRelease, noReset});
  }
  return all;
}

// Collects batch timings and reports their 99.9th percentile per operation.
class BatchTimer {
 public:
  void start() { m_t0 = std::chrono::steady_clock::now(); }
  void stop(int ops) {
    auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - m_t0).count();
    m_perOp.push_back(ns / ops);
  }
  void report(benchmark::State& state) {
    if (m_perOp.empty()) return;
    std::sort(m_perOp.begin(), m_perOp.end());
    size_t idx = static_cast<size_t>(static_cast<double>(m_perOp.size() - 1) * 0.999);
    state.counters["p999_ns"] = m_perOp[idx];
    state.counters["batches"] = static_cast<double>(m_perOp.size());
  }

 private:
  std::chrono::steady_clock::time_point m_t0;
  std::vector<double> m_perOp;
};

// Allocate kBatch blocks of one size, free them in reverse order.
void hotLifo(benchmark::State& state, const Allocator& a) {
  a.reset();
  const size_t size = static_cast<size_t>(state.range(0));
  void* blocks[kBatch];
  BatchTimer timer;
  for (auto _ : state) {
    timer.start();
    for (int i = 0; i < kBatch; ++i) {
      blocks[i] = a.allocate(size);
      benchmark::DoNotOptimize(blocks[i]);
    }
    for (int i = kBatch - 1; i >= 0; --i) a.release(blocks[i]);
    timer.stop(2 * kBatch);
  }
  state.SetItemsProcessed(state.iterations() * 2 * kBatch);
  timer.report(state);
}

// 10 000 blocks of sizes 16..512 stay live; each step frees a random one
// and allocates a new one of random size in its place.
void randomFree(benchmark::State& state, const Allocator& a) {
  a.reset();
  constexpr size_t kLive = 10000;
  std::mt19937 rng(42);
  std::uniform_int_distribution<size_t> sizeDist(16, 512);
  std::uniform_int_distribution<size_t> slotDist(0, kLive - 1);
  std::vector<void*> live(kLive);
  for (void*& p : live) p = a.allocate(sizeDist(rng));
  // Pre-drawn so that the random numbers stay out of the timing.
  std::vector<std::pair<size_t, size_t>> plan(1 << 16);
  for (auto& s : plan) s = {slotDist(rng), sizeDist(rng)};
  size_t k = 0;
  BatchTimer timer;
  for (auto _ : state) {
    timer.start();
    for (int i = 0; i < kBatch; ++i) {
      const auto& step = plan[k++ & (plan.size() - 1)];
      a.release(live[step.first]);
      live[step.first] = a.allocate(step.second);
      benchmark::DoNotOptimize(live[step.first]);
    }
    timer.stop(2 * kBatch);
  }
  state.SetItemsProcessed(state.iterations() * 2 * kBatch);
  timer.report(state);
  for (void* p : live) a.release(p);
}

// From an empty pool, allocate blocks of one size until 64 chunks' worth
// is live, then free all of them.
void chunkGrowth(benchmark::State& state, const Allocator& a) {
  const size_t size = static_cast<size_t>(state.range(0));
  const size_t count = (64u * kPoolChunkKB * 1024u) / (size + 8);
  std::vector<void*> blocks(count);
  BatchTimer timer;
  for (auto _ : state) {
    state.PauseTiming();
    a.reset();
    state.ResumeTiming();
    for (size_t i = 0; i < count; i += kBatch) {
      const size_t end = std::min(count, i + kBatch);
      timer.start();
      for (size_t j = i; j < end; ++j) blocks[j] = a.allocate(size);
      timer.stop(static_cast<int>(end - i));
    }
    benchmark::DoNotOptimize(blocks.data());
    for (void* p : blocks) a.release(p);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
  timer.report(state);
}

}  // namespace

int main(int argc, char** argv) {
  static std::vector<Allocator> allocators = loadAllocators(argv);
  for (const Allocator& a : allocators) {
    benchmark::RegisterBenchmark(("HotLifo/" + a.name).c_str(), hotLifo, a)
        ->Arg(16)
        ->Arg(64)
        ->Arg(128)
        ->Arg(256)
        ->Arg(512);
    benchmark::RegisterBenchmark(("RandomFree10k/" + a.name).c_str(), randomFree, a);
    benchmark::RegisterBenchmark(("ChunkGrowth/" + a.name).c_str(), chunkGrowth, a)->Arg(16)->Arg(128)->Arg(512);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_pool.reset();
  return 0;
}
