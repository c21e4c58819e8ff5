#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "kav/runtime/Actor.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/scf_os.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUIB_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUIB_SANITIZED 1
#endif
#endif

namespace {

class CountingExecutor : public IFOSAbstractExecutor {
 public:
  void execute() const override {
    m_runs.fetch_add(1);
    m_tid.store(scf_os_get_tid());
  }
  mutable std::atomic<int> m_runs{0};
  mutable std::atomic<unsigned int> m_tid{0};
};

TEST(OsThread, RunsTheExecutorOnItsOwnThread) {
  CountingExecutor ex;
  IFOSRcThread thread(&ex);
  EXPECT_FALSE(thread.isStarted());
  ASSERT_EQ(thread.start(), 0u);
  EXPECT_TRUE(thread.isStarted());
  EXPECT_EQ(thread.waitForCompletion(), 0u);
  EXPECT_EQ(ex.m_runs.load(), 1);
  EXPECT_NE(ex.m_tid.load(), 0u);
  EXPECT_NE(ex.m_tid.load(), scf_os_get_tid());
}

TEST(OsThread, StartAgainJoinsThePreviousThread) {
  CountingExecutor ex;
  IFOSRcThread thread(&ex);
  ASSERT_EQ(thread.start(), 0u);
  ASSERT_EQ(thread.start(), 0u);
  ASSERT_EQ(thread.start(), 0u);
  EXPECT_EQ(thread.waitForCompletion(), 0u);
  EXPECT_EQ(ex.m_runs.load(), 3);
}

TEST(OsThread, StartWithoutExecutorFails) {
  IFOSRcThread thread;
  EXPECT_NE(thread.start(), 0u);
  EXPECT_FALSE(thread.isStarted());
  EXPECT_EQ(thread.waitForCompletion(), IFOS_RC_NO_OBJECT);
}

TEST(OsThread, PolicyMapping) {
  EXPECT_EQ(IFOSRcThread::toOsPolicy(IFOSRcThread::IFOS_POLICY_OTHER), SCHED_OTHER);
  EXPECT_EQ(IFOSRcThread::toOsPolicy(IFOSRcThread::IFOS_POLICY_RR), SCHED_RR);
  EXPECT_EQ(IFOSRcThread::toOsPolicy(IFOSRcThread::IFOS_POLICY_FIFO), SCHED_FIFO);
  const int max = sched_get_priority_max(SCHED_FIFO);
  const int min = sched_get_priority_min(SCHED_FIFO);
  EXPECT_EQ(scf_os_thread_priority_of_level(SCHED_FIFO, SCF_OS_PRIO_MAX), max);
  EXPECT_EQ(scf_os_thread_priority_of_level(SCHED_FIFO, SCF_OS_PRIO_MIN), min);
  EXPECT_EQ(scf_os_thread_priority_of_level(SCHED_FIFO, SCF_OS_PRIO_75), 75);
  EXPECT_EQ(scf_os_thread_priority_of_level(SCHED_FIFO, SCF_OS_PRIO_MIDDLE), (min + max) / 2);
  EXPECT_EQ(scf_os_thread_priority_of_level(SCHED_FIFO, 9), (min + max) / 2);
}

class BlockingExecutor : public IFOSAbstractExecutor {
 public:
  void execute() const override {
    m_policy.store(-1);
    int policy = -1;
    struct sched_param p;
    pthread_getschedparam(pthread_self(), &policy, &p);
    m_startPolicy.store(policy);
    m_go.waitEvent(-1);
  }
  mutable IFOSRcLocalEvent m_go;
  mutable std::atomic<int> m_policy{0};
  mutable std::atomic<int> m_startPolicy{-2};
};

TEST(OsThread, RealTimeRequestIsRefusedAndTheThreadKeepsRunning) {
  BlockingExecutor ex;
  IFOSRcThread thread(&ex);
  EXPECT_EQ(thread.setPolicy(IFOSRcThread::IFOS_POLICY_FIFO), 0u);  // stored only
  EXPECT_EQ(thread.getPolicy(), IFOSRcThread::IFOS_POLICY_FIFO);
  ASSERT_EQ(thread.start(), 0u);
  // Priority 0 is no real-time priority: the operating system refuses.
  EXPECT_EQ(thread.setPolicy(IFOSRcThread::IFOS_POLICY_FIFO), IFOS_RC_FAILED);
  EXPECT_EQ(thread.setPriority(IFOSRcThread::IFOS_PRIORITY_75), 0u);
  EXPECT_EQ(thread.getPriority(), IFOSRcThread::IFOS_PRIORITY_75);
  EXPECT_EQ(thread.setPolicy(IFOSRcThread::IFOS_POLICY_OTHER), 0u);
  ex.m_go.postEvent();
  EXPECT_EQ(thread.waitForCompletion(), 0u);
  EXPECT_EQ(ex.m_startPolicy.load(), SCHED_OTHER);  // created normal whatever was asked
}

TEST(OsThreadIds, TidIsTheKernelIdAndDiffersPerThread) {
  EXPECT_EQ(scf_os_get_tid(), static_cast<unsigned int>(syscall(SYS_gettid)));
  EXPECT_EQ(scf_os_get_tid(), scf_os_get_tid());
  EXPECT_EQ(scf_os_get_pid(), static_cast<unsigned int>(getpid()));
  std::vector<unsigned int> tids(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < tids.size(); ++i)
    threads.emplace_back([&tids, i] { tids[i] = scf_os_get_tid() == syscall(SYS_gettid) ? scf_os_get_tid() : 0; });
  for (auto& t : threads) t.join();
  std::set<unsigned int> distinct(tids.begin(), tids.end());
  distinct.insert(scf_os_get_tid());
  EXPECT_EQ(distinct.size(), tids.size() + 1);
  EXPECT_EQ(distinct.count(0u), 0u);
}

// ---------------------------------------------------------------------------
// Actor

class Worker {
 public:
  void execute() {
    ++m_runs;
    m_tid = scf_os_get_tid();
  }
  int m_runs = 0;
  unsigned int m_tid = 0;
};

TEST(OsActor, RunsExecuteOfTheObject) {
  Worker w;
  Actor<Worker> actor;
  actor.execute(&w);
  EXPECT_EQ(actor.waitForCompletion(), 0u);
  EXPECT_EQ(w.m_runs, 1);
  EXPECT_NE(w.m_tid, scf_os_get_tid());
}

TEST(OsActor, RunsWithPolicyAndPriority) {
  Worker w;
  Actor<Worker> actor;
  actor.execute(&w, IFOSRcThread::IFOS_POLICY_FIFO, IFOSRcThread::IFOS_PRIORITY_75);
  EXPECT_EQ(actor.waitForCompletion(), 0u);
  EXPECT_EQ(w.m_runs, 1);
  ASSERT_NE(actor.getThread(), nullptr);
  EXPECT_EQ(actor.getThread()->getPolicy(), IFOSRcThread::IFOS_POLICY_FIFO);
}

TEST(OsActor, WaitWithoutThread) {
  Actor<Worker> actor;
  EXPECT_EQ(actor.waitForCompletion(), IFOS_RC_NO_OBJECT);
}

#ifndef QUIB_SANITIZED
// Leaves too little address space for a thread stack.
void limitAddressSpace() {
  unsigned long pages = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f != nullptr) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  struct rlimit lim;
  lim.rlim_cur = lim.rlim_max = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + (1ul << 20);
  setrlimit(RLIMIT_AS, &lim);
}

TEST(OsActorDeathTest, ThreadThatCannotStartEndsTheProcess) {
  EXPECT_DEATH(
      {
        limitAddressSpace();
        Worker w;
        Actor<Worker> actor;
        actor.execute(&w);
        actor.waitForCompletion();
      },
      "percAbend: reason=0x0000F0D1");
}
#endif

}  // namespace
