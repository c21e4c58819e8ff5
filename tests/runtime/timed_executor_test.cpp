#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "kav/runtime/LogAsynchron.h"
#include "kav/runtime/SortedJobQueue.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimedJob.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/tree/errors/Logger.h"

namespace {

bool waitUntil(const std::function<bool()>& cond) {
  for (int i = 0; i < 20000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return cond();
}

// What the jobs of a test did, in order.
struct Journal {
  std::mutex mutex;
  std::vector<int> ran;
  std::atomic<int> destroyed{0};
  void add(int v) {
    std::lock_guard<std::mutex> l(mutex);
    ran.push_back(v);
  }
  std::vector<int> get() {
    std::lock_guard<std::mutex> l(mutex);
    return ran;
  }
};

class RecordingJob : public TimedJob {
 public:
  RecordingJob(Journal& j, int tag) : m_journal(j), m_tag(tag) {}
  ~RecordingJob() override { m_journal.destroyed.fetch_add(1); }
  void execute() override { m_journal.add(m_tag); }

 private:
  Journal& m_journal;
  int m_tag;
};

// Runs until released, so that later jobs stay pending behind it.
class GateJob : public TimedJob {
 public:
  explicit GateJob(std::atomic<bool>& open, std::atomic<bool>& started) : m_open(open), m_started(started) {}
  void execute() override {
    m_started.store(true);
    while (!m_open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

 private:
  std::atomic<bool>& m_open;
  std::atomic<bool>& m_started;
};

class TimedExecutorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TimeoutService::getInstance()->init(true);
    executor = TimedExecutor::getInstance();
    executor->init(1);
  }
  void TearDown() override {
    gateOpen.store(true);
    executor->terminate();
    TimedExecutor::destroyInstance();
    TimeoutService::getInstance()->terminate();
    TimeoutService::destroyInstance();
  }
  // Occupies the job thread until gateOpen.
  void blockJobThread() {
    ASSERT_NE(0u, executor->insertJob(new GateJob(gateOpen, gateStarted), 0, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return gateStarted.load(); }));
  }

  TimedExecutor* executor = nullptr;
  Journal journal;
  std::atomic<bool> gateOpen{false}, gateStarted{false};
};

TEST_F(TimedExecutorTest, JobsRunOnceInDueOrderAndTiesInInsertionOrder) {
  blockJobThread();
  // Same due time for 1, 2, 3 (all due at once behind the gate), later 4.
  EXPECT_NE(0u, executor->insertJob(new RecordingJob(journal, 4), 30, 0, 0));
  EXPECT_NE(0u, executor->insertJob(new RecordingJob(journal, 1), 0, 0, 0));
  EXPECT_NE(0u, executor->insertJob(new RecordingJob(journal, 2), 0, 0, 0));
  EXPECT_NE(0u, executor->insertJob(new RecordingJob(journal, 3), 0, 0, 0));
  gateOpen.store(true);
  ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == 4; }));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), journal.get());
}

TEST_F(TimedExecutorTest, JobIdsIncreaseAndRescheduleAndDeleteOnlyPendingJobs) {
  blockJobThread();
  unsigned a = executor->insertJob(new RecordingJob(journal, 1), 60000, 0, 0);
  unsigned b = executor->insertJob(new RecordingJob(journal, 2), 60000, 0, 0);
  unsigned c = executor->insertJob(new RecordingJob(journal, 3), 60000, 0, 0);
  ASSERT_NE(0u, a);
  EXPECT_GT(b, a);
  EXPECT_GT(c, b);
  EXPECT_TRUE(executor->deleteJob(b));
  EXPECT_EQ(1, journal.destroyed.load()) << "a deleted job is destroyed at once";
  EXPECT_FALSE(executor->deleteJob(b));
  EXPECT_FALSE(executor->rescheduleJob(b, 0));
  EXPECT_TRUE(executor->rescheduleJob(c, 0));
  EXPECT_TRUE(executor->rescheduleJob(a, 1));
  gateOpen.store(true);
  ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == 3; }));
  EXPECT_EQ((std::vector<int>{3, 1}), journal.get()) << "the deleted job never runs";
  EXPECT_FALSE(executor->rescheduleJob(a, 0)) << "done";
  EXPECT_FALSE(executor->deleteJob(c));
}

TEST_F(TimedExecutorTest, RescheduleOfARunningJobFails) {
  unsigned id = executor->insertJob(new GateJob(gateOpen, gateStarted), 0, 0, 0);
  ASSERT_TRUE(waitUntil([&] { return gateStarted.load(); }));
  EXPECT_FALSE(executor->rescheduleJob(id, 10));
  EXPECT_FALSE(executor->deleteJob(id));
}

TEST_F(TimedExecutorTest, AJobRunsWatchedByTheTimeoutServiceWithTheDefaultAbendTime) {
  struct WatchedJob : TimedJob {
    std::atomic<unsigned>& abend;
    std::atomic<bool>& watched;
    WatchedJob(std::atomic<unsigned>& a, std::atomic<bool>& w) : abend(a), watched(w) {}
    void execute() override {
      abend.store(getAbendTime());
      // The job's registration is the one pending now (ids count up from 1).
      watched.store(TimeoutService::getInstance()->isRegistered(1));
    }
  };
  std::atomic<unsigned> abend{0};
  std::atomic<bool> watched{false};
  executor->insertJob(new WatchedJob(abend, watched), 0, 0, 0);
  ASSERT_TRUE(waitUntil([&] { return abend.load() != 0; }));
  EXPECT_EQ(40000u, abend.load()) << "abend time 0 means 40000 ms";
  ASSERT_TRUE(waitUntil([&] { return !TimeoutService::getInstance()->isRegistered(1); }));
  EXPECT_TRUE(watched.load());
}

TEST_F(TimedExecutorTest, AJobOverrunningItsAbendTimeIsLoggedWhenAbendsAreSuppressed) {
  TimeoutService* service = TimeoutService::getInstance();
  const unsigned before = service->getNumberOfLoggedTimeouts();
  struct SlowJob : TimedJob {
    TimeoutService* s;
    unsigned before;
    explicit SlowJob(TimeoutService* ts, unsigned b) : s(ts), before(b) {}
    void execute() override {
      waitUntil([&] { return s->getNumberOfLoggedTimeouts() > before; });
    }
  };
  executor->insertJob(new SlowJob(service, before), 0, 0, 5);
  ASSERT_TRUE(waitUntil([&] { return service->getNumberOfLoggedTimeouts() > before; }));
}

TEST_F(TimedExecutorTest, TerminateDestroysPendingJobsAndLaterCallsAreRefusedQuietly) {
  executor->insertJob(new RecordingJob(journal, 1), 60000, 0, 0);
  executor->insertJob(new RecordingJob(journal, 2), 60000, 0, 0);
  executor->terminate();
  EXPECT_EQ(2, journal.destroyed.load());
  EXPECT_TRUE(journal.get().empty());
  EXPECT_EQ(nullptr, new RecordingJob(journal, 3)) << "no job pool after terminate";
  EXPECT_EQ(0u, executor->insertJob(nullptr, 0, 0, 0));
  EXPECT_FALSE(executor->rescheduleJob(1, 0));
  EXPECT_FALSE(executor->deleteJob(1));
  executor->init(1);
  EXPECT_NE(0u, executor->insertJob(new RecordingJob(journal, 4), 0, 0, 0));
  ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == 3; }));
}

TEST_F(TimedExecutorTest, SeveralThreadsShareOneQueue) {
  executor->terminate();
  executor->init(3);
  constexpr int kJobs = 200;
  std::vector<std::thread> inserters;
  for (int t = 0; t < 2; ++t)
    inserters.emplace_back([&, t] {
      for (int i = 0; i < kJobs / 2; ++i) {
        TimedJob* job = new RecordingJob(journal, t * 1000 + i);
        ASSERT_NE(nullptr, job);
        unsigned id = executor->insertJob(job, i % 3, 0, 0);
        if (i % 10 == 0) executor->rescheduleJob(id, 0);
      }
    });
  for (auto& th : inserters) th.join();
  ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == kJobs; }));
  EXPECT_EQ(static_cast<size_t>(kJobs), journal.get().size());
}

TEST_F(TimedExecutorTest, TerminateStopsEveryThreadEvenRightAfterInit) {
  // Every job thread must see the termination, also when another one took
  // the wake-up first; a lost wake-up hangs here.
  for (int i = 0; i < 100; ++i) {
    executor->terminate();
    executor->init(1 + i % 3);
    if (i % 2 == 0) {
      ASSERT_NE(0u, executor->insertJob(new RecordingJob(journal, i), 0, 0, 0));
    }
  }
}

// Inserts, reschedules and deletions from several threads while the
// executor is terminated: each call is either served or refused quietly,
// never run against the mutex, event and job pool that terminate destroys.
// Every job taken over is destroyed exactly once, by deleteJob or terminate.
TEST_F(TimedExecutorTest, CallsRacingTerminateAreServedOrRefused) {
  constexpr int kCycles = 150;
  constexpr unsigned kThreads = 4, kJobsPerThread = 40;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    journal.destroyed.store(0);
    // Created before the race: no job can be made once the pool is gone.
    std::vector<std::vector<TimedJob*>> jobs(kThreads);
    for (auto& list : jobs)
      for (unsigned i = 0; i < kJobsPerThread; ++i) list.push_back(new RecordingJob(journal, static_cast<int>(i)));
    std::atomic<int> taken{0};
    std::vector<std::thread> callers;
    for (unsigned t = 0; t < kThreads; ++t)
      callers.emplace_back([&, t] {
        for (unsigned i = 0; i < kJobsPerThread; ++i) {
          unsigned id = executor->insertJob(jobs[t][i], 60000, 0, 0);
          if (id == 0) return;  // refused: terminated
          taken.fetch_add(1);
          executor->rescheduleJob(id, 50000);
          if (i % 2 == 1) executor->deleteJob(id);
        }
      });
    ASSERT_TRUE(waitUntil([&] { return taken.load() >= static_cast<int>(kThreads); }));
    executor->terminate();
    for (auto& c : callers) c.join();
    EXPECT_EQ(taken.load(), journal.destroyed.load());
    EXPECT_TRUE(journal.get().empty());
    executor->init(1);
  }
}

TEST_F(TimedExecutorTest, AJobDueWhileAnotherRunsStartsOnAFreeThread) {
  struct CountedGate : GateJob {
    Journal& journal;
    CountedGate(std::atomic<bool>& open, std::atomic<bool>& started, Journal& j)
        : GateJob(open, started), journal(j) {}
    ~CountedGate() override { journal.destroyed.fetch_add(1); }
  };
  executor->terminate();
  executor->init(2);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    gateOpen.store(false);
    gateStarted.store(false);
    const int before = journal.destroyed.load();
    // Both are due at once: one thread takes the gate, the other must not
    // sleep on through the second job.
    ASSERT_NE(0u, executor->insertJob(new CountedGate(gateOpen, gateStarted, journal), 0, 0, 0));
    ASSERT_NE(0u, executor->insertJob(new RecordingJob(journal, round), 0, 0, 0));
    // The gate is first in the queue and does not end while closed: the
    // second job can only have run on the other thread.
    EXPECT_TRUE(waitUntil([&] { return journal.get().size() == static_cast<size_t>(round) + 1; }));
    gateOpen.store(true);
    ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == before + 2; }));
  }
}

TEST_F(TimedExecutorTest, LoggerLogsAsynchronouslyOnTheJobThread) {
  ErrorData error(BaseErrorData::NO_OVERWRITE, 0x7002);
  error << "asynchronous";
  unsigned before = executor->insertJob(new RecordingJob(journal, 0), 0, 0, 0);
  Logger().logAsynchron(error);
  unsigned after = executor->insertJob(new RecordingJob(journal, 1), 0, 0, 0);
  EXPECT_EQ(before + 2, after) << "the log job took the id between";
  ASSERT_TRUE(waitUntil([&] { return journal.destroyed.load() == 2; }));
  EXPECT_EQ(0x7002u, error.getRcWithoutLogFlag()) << "the caller's value is untouched";
}

TEST(TimedExecutorDeathTest, CallsBeforeInitEndTheProcess) {
  EXPECT_DEATH(TimedExecutor::getInstance()->insertJob(nullptr, 0, 0, 0), "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(TimedExecutor::getInstance()->rescheduleJob(1, 0), "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(TimedExecutor::getInstance()->deleteJob(1), "percAbend: reason=0x0000F0D1");
}

TEST(TimedExecutorDeathTest, AJobOverrunningItsAbendTimeEndsTheProcess) {
  EXPECT_DEATH(
      {
        TimeoutService::getInstance()->init(false);
        TimedExecutor::getInstance()->init(1);
        struct Hanging : TimedJob {
          void execute() override {
            for (int i = 0; i < 20000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        };
        TimedExecutor::getInstance()->insertJob(new Hanging, 0, 0, 5);
        for (int i = 0; i < 20000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      "percAbend: reason=0x0000F0D1");
}

TEST(TimedJobTest, NoPoolNoJob) {
  struct Job : TimedJob {
    void execute() override {}
  };
  EXPECT_EQ(nullptr, new Job) << "before init there is no job pool";
  TimedJob::initMemoryManagement();
  Job* job = new Job;
  ASSERT_NE(nullptr, job);
  EXPECT_EQ(UINT64_MAX, job->getDueTime());
  EXPECT_EQ(0u, job->getJobId());
  EXPECT_EQ(UINT32_MAX, job->getLogTime());
  EXPECT_EQ(UINT32_MAX, job->getAbendTime());
  delete job;
  TimedJob::terminateMemoryManagement();
}

TEST(SortedJobQueueTest, EqualDueTimesKeepInsertionOrder) {
  TimedJob::initMemoryManagement();
  struct Job : TimedJob {
    void execute() override {}
  };
  SortedJobQueue q;
  const std::pair<unsigned, uint64_t> inserts[] = {{1, 20}, {2, 20}, {3, 5}, {4, 20}, {5, 5}, {6, 7}};
  for (const auto& p : inserts) {
    Job* j = new Job;
    j->setJobId(p.first);
    j->setDueTime(p.second);
    q.insertJob(j);
  }
  TimedJob* removed = q.removeJob(4);
  ASSERT_NE(nullptr, removed);
  delete removed;
  EXPECT_EQ(nullptr, q.removeJob(4));
  for (unsigned id : {3u, 5u, 6u, 1u, 2u}) {
    ASSERT_NE(nullptr, q.getJob());
    EXPECT_EQ(id, q.getJob()->getJobId());
    TimedJob* j = q.removeJob();
    EXPECT_EQ(id, j->getJobId());
    delete j;
  }
  EXPECT_EQ(nullptr, q.removeJob());
  EXPECT_DEATH(q.insertJob(nullptr), "percAbend: reason=0x0000F0D1");
  TimedJob::terminateMemoryManagement();
}

}  // namespace
