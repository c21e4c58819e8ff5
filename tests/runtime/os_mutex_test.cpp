#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/IFOSReturnCodes.h"
#include "kav/runtime/scf_os.h"
#include "trace_ravo.h"

namespace {

// ---------------------------------------------------------------------------
// Local mutexes

TEST(OsLocalMutex, RecursiveForItsOwner) {
  scf_os_mu_t* mu = nullptr;
  ASSERT_EQ(scf_os_mutex_request(&mu, nullptr), 0);
  ASSERT_NE(mu, nullptr);
  EXPECT_EQ(scf_os_mutex_lock(mu, -1), 0);
  EXPECT_EQ(scf_os_mutex_lock(mu, 0), 0);
  int owner = 0, count = 0;
  EXPECT_EQ(scf_os_mutex_query(mu, &owner, &count), 0);
  EXPECT_EQ(static_cast<unsigned int>(owner), scf_os_get_tid());
  EXPECT_EQ(count, 2);
  EXPECT_EQ(scf_os_mutex_unlock(mu), 0);
  EXPECT_EQ(scf_os_mutex_query(mu, &owner, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(scf_os_mutex_unlock(mu), 0);
  EXPECT_EQ(scf_os_mutex_query(mu, &owner, &count), 0);
  EXPECT_EQ(owner, 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(scf_os_mutex_unlock(mu), 0x402B);
  EXPECT_EQ(scf_os_mutex_close(mu), 0);
}

TEST(OsLocalMutex, TwoRequestsNeedTwoReleases) {
  IFOSRcLocalMutex m;
  EXPECT_EQ(m.mutexRequest(-1), 0u);
  EXPECT_EQ(m.mutexRequest(-1), 0u);
  EXPECT_EQ(m.mutexRelease(), 0u);

  std::atomic<unsigned long> otherRc{12345};
  std::thread t([&] { otherRc = m.mutexRequest(0); });
  t.join();
  EXPECT_EQ(otherRc.load(), IFOS_RC_MUTEX_TIMEOUT);  // still held once

  EXPECT_EQ(m.mutexRelease(), 0u);
  std::thread t2([&] {
    otherRc = m.mutexRequest(0);
    if (otherRc == 0) m.mutexRelease();
  });
  t2.join();
  EXPECT_EQ(otherRc.load(), 0u);
  // A release without a request is refused (0x402B is no time-out: 9999).
  EXPECT_EQ(m.mutexRelease(), IFOS_RC_FAILED);
}

TEST(OsLocalMutex, CreatedLockedBelongsToTheCreator) {
  unsigned long rc = 77;
  IFOSRcLocalMutex m(IFOS_MUTEX_LOCKED, &rc);
  EXPECT_EQ(rc, 0u);
  int owner = 0, count = 0;
  EXPECT_EQ(m.query(&owner, &count), 0u);
  EXPECT_EQ(static_cast<unsigned int>(owner), scf_os_get_tid());
  EXPECT_EQ(count, 1);
  std::atomic<unsigned long> otherRc{0};
  std::thread t([&] { otherRc = m.mutexRequest(20); });
  t.join();
  EXPECT_EQ(otherRc.load(), IFOS_RC_MUTEX_TIMEOUT);
  EXPECT_EQ(m.mutexRelease(), 0u);
}

TEST(OsLocalMutex, ReleaseByAnotherThreadIsRefused) {
  IFOSRcLocalMutex m;
  ASSERT_EQ(m.mutexRequest(-1), 0u);
  std::atomic<unsigned long> otherRc{0};
  std::thread t([&] { otherRc = m.mutexRelease(); });
  t.join();
  EXPECT_EQ(otherRc.load(), IFOS_RC_FAILED);
  int owner = 0, count = 0;
  m.query(&owner, &count);
  EXPECT_EQ(static_cast<unsigned int>(owner), scf_os_get_tid());
  EXPECT_EQ(m.mutexRelease(), 0u);
}

TEST(OsLocalMutex, WaiterGetsTheMutexWhenReleased) {
  IFOSRcLocalMutex m;
  ASSERT_EQ(m.mutexRequest(-1), 0u);
  std::atomic<int> stage{0};
  std::atomic<unsigned long> waiterRc{12345};
  std::thread t([&] {
    stage = 1;
    waiterRc = m.mutexRequest(-1);
    stage = 2;
    m.mutexRelease();
  });
  while (stage.load() == 0) std::this_thread::yield();
  EXPECT_EQ(stage.load(), 1);  // blocked while held
  EXPECT_EQ(m.mutexRelease(), 0u);
  t.join();
  EXPECT_EQ(waiterRc.load(), 0u);
  EXPECT_EQ(stage.load(), 2);
}

TEST(OsLocalMutex, ContendedCounterStaysExact) {
  IFOSRcLocalMutex m;
  long counter = 0;
  const int kThreads = 4, kRounds = 2000;
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      for (int r = 0; r < kRounds; ++r) {
        IFOSGuard<IFOSRcMutex> outer(m);
        IFOSGuard<IFOSRcLocalMutex> inner(&m);  // re-entered by the owner
        ++counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  int owner = -1, count = -1;
  m.query(&owner, &count);
  EXPECT_EQ(owner, 0);
  EXPECT_EQ(count, 0);
}

namespace {
std::vector<std::string> g_lines;
void collect(void*, const char* line) { g_lines.emplace_back(line); }
}  // namespace

TEST(OsLocalMutex, DumpTracesTheHeldMutexes) {
  IFOSRcLocalMutex held;
  IFOSRcLocalMutex free;
  ASSERT_EQ(held.mutexRequest(-1), 0u);
  ASSERT_EQ(held.mutexRequest(-1), 0u);
  trace_ravo_clear_all();
  IFOSRcLocalMutex::dump();
  g_lines.clear();
  trace_ravo_decode(trace_ravo_find_buffer("KAVE"), collect, nullptr);
  char ownerText[16];
  snprintf(ownerText, sizeof ownerText, ",%08x,2", scf_os_get_tid());
  int matching = 0;
  for (const auto& l : g_lines)
    if (l.find(ownerText) != std::string::npos) ++matching;
  EXPECT_EQ(matching, 1);
  ASSERT_FALSE(g_lines.empty());
  EXPECT_NE(g_lines.back().find("1 mutexes held"), std::string::npos) << g_lines.back();
  held.mutexRelease();
  held.mutexRelease();
}

TEST(OsLocalMutex, NullRecordIsRefused) {
  EXPECT_EQ(scf_os_mutex_lock(nullptr, -1), 0x9026);
  EXPECT_EQ(scf_os_mutex_unlock(nullptr), 0x9026);
}

// ---------------------------------------------------------------------------
// Fast mutexes

TEST(OsFastMutex, SerialisesThreads) {
  IFOSRcFastMutex m;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int r = 0; r < 2000; ++r) {
        IFOSGuard<IFOSRcFastMutex> g(m);
        ++counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
}

// ---------------------------------------------------------------------------
// Guard over any lockable object

class Lockable {
 public:
  unsigned long mutexRequest(int timeout) const {
    m_log += "request(" + std::to_string(timeout) + ")";
    return 0;
  }
  unsigned long mutexRelease() const {
    m_log += "release";
    return 0;
  }
  mutable std::string m_log;
};

TEST(OsGuard, RequestsWithoutLimitAndReleasesAtScopeEnd) {
  const Lockable object;
  {
    IFOSGuard<const Lockable> g(object);
    EXPECT_EQ(object.m_log, "request(-1)");
  }
  EXPECT_EQ(object.m_log, "request(-1)release");
  {
    IFOSGuard<const Lockable> none(static_cast<const Lockable*>(nullptr));
  }
  EXPECT_EQ(object.m_log, "request(-1)release");
}

// ---------------------------------------------------------------------------
// Named mutexes

class OsNamedMutex : public ::testing::Test {
 protected:
  void SetUp() override {
    m_name = "quib_os_mutex_test_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override { unlink(("/tmp/" + m_name).c_str()); }
  std::string m_name;
};

TEST_F(OsNamedMutex, SecondRequestOpensTheSameMutex) {
  scf_os_mu_t* a = nullptr;
  scf_os_mu_t* b = nullptr;
  ASSERT_EQ(scf_os_mutex_request(&a, m_name.c_str()), 0x9004);
  ASSERT_EQ(scf_os_mutex_request(&b, m_name.c_str()), 0x9003);
  EXPECT_STREQ(scf_os_mutex_get_name(b), m_name.c_str());
  int users = 0;
  EXPECT_EQ(scf_os_mutex_reference_count(a, &users), 0);
  EXPECT_EQ(users, 2);
  scf_os_mu_t* d = nullptr;
  EXPECT_EQ(scf_os_mutex_create(&d, m_name.c_str()), 0x9020);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(scf_os_mutex_close(b), 0);

  // Both handles are one mutex: held through a, b cannot take it.
  ASSERT_EQ(scf_os_mutex_lock(a, -1), 0);
  scf_os_mu_t* c = nullptr;
  std::atomic<int> otherRc{0};
  ASSERT_EQ(scf_os_mutex_request(&c, m_name.c_str()), 0x9003);
  std::thread t([&] { otherRc = scf_os_mutex_lock(c, 0); });
  t.join();
  EXPECT_EQ(otherRc.load(), 0x9029);
  std::thread t2([&] { otherRc = scf_os_mutex_lock(c, 30); });
  t2.join();
  EXPECT_EQ(otherRc.load(), 0x9029);
  EXPECT_EQ(scf_os_mutex_unlock(a), 0);
  std::thread t3([&] {
    otherRc = scf_os_mutex_lock(c, 1000);
    if (otherRc == 0) scf_os_mutex_unlock(c);
  });
  t3.join();
  EXPECT_EQ(otherRc.load(), 0);

  EXPECT_EQ(scf_os_mutex_close(c), 0);
  // reopened after b went away
  ASSERT_EQ(scf_os_mutex_open(&b, m_name.c_str()), 0);
  EXPECT_EQ(scf_os_mutex_close(b), 0);
  EXPECT_EQ(scf_os_mutex_close(a), 0);
  // the last user removed the set: a new request creates it again
  ASSERT_EQ(scf_os_mutex_request(&a, m_name.c_str()), 0x9004);
  EXPECT_EQ(scf_os_mutex_destroy(a), 0);
}

TEST_F(OsNamedMutex, RecursiveForItsOwningThread) {
  scf_os_mu_t* a = nullptr;
  ASSERT_EQ(scf_os_mutex_request(&a, m_name.c_str()), 0x9004);
  EXPECT_EQ(scf_os_mutex_lock(a, -1), 0);
  EXPECT_EQ(scf_os_mutex_lock(a, 0), 0);
  int owner = 0, count = 0;
  scf_os_mutex_query(a, &owner, &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(scf_os_mutex_unlock(a), 0);
  std::atomic<int> otherRc{0};
  std::thread t([&] { otherRc = scf_os_mutex_lock(a, 0); });
  t.join();
  EXPECT_EQ(otherRc.load(), 0x9029);
  EXPECT_EQ(scf_os_mutex_unlock(a), 0);
  EXPECT_EQ(scf_os_mutex_unlock(a), 0x402B);
  std::thread t2([&] {
    otherRc = scf_os_mutex_lock(a, 0);
    if (otherRc == 0) scf_os_mutex_unlock(a);
  });
  t2.join();
  EXPECT_EQ(otherRc.load(), 0);
  EXPECT_EQ(scf_os_mutex_close(a), 0);
}

TEST_F(OsNamedMutex, HolderProcessThatDiesReleasesTheMutex) {
  scf_os_mu_t* a = nullptr;
  ASSERT_EQ(scf_os_mutex_request(&a, m_name.c_str()), 0x9004);
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    scf_os_mu_t* c = nullptr;
    char ok = scf_os_mutex_request(&c, m_name.c_str()) == 0x9003 && scf_os_mutex_lock(c, -1) == 0 ? 'y' : 'n';
    if (write(toParent[1], &ok, 1) != 1) _exit(2);
    char go;
    if (read(toChild[0], &go, 1) != 1) _exit(3);
    _exit(0);  // dies holding the mutex
  }
  char ok = 0;
  ASSERT_EQ(read(toParent[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  EXPECT_EQ(scf_os_mutex_lock(a, 0), 0x9029);  // held by the other process
  int users = 0;
  scf_os_mutex_reference_count(a, &users);
  EXPECT_EQ(users, 2);
  const char go = 'g';
  EXPECT_EQ(write(toChild[1], &go, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(scf_os_mutex_lock(a, 1000), 0);
  scf_os_mutex_reference_count(a, &users);
  EXPECT_EQ(users, 1);
  EXPECT_EQ(scf_os_mutex_unlock(a), 0);
  EXPECT_EQ(scf_os_mutex_close(a), 0);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(OsNamedMutex, AbsolutePathIsUsedAsIs) {
  const std::string path = "/tmp/" + m_name + "_abs";
  scf_os_mu_t* a = nullptr;
  ASSERT_EQ(scf_os_mutex_request(&a, path.c_str()), 0x9004);
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
  EXPECT_EQ(scf_os_mutex_close(a), 0);
  unlink(path.c_str());
}

TEST_F(OsNamedMutex, UnreachableNameFileIsReported) {
  scf_os_mu_t* a = nullptr;
  EXPECT_EQ(scf_os_mutex_request(&a, "/nonexistent-dir-quib/x"), 0x9022);
  EXPECT_EQ(a, nullptr);
}

// ---------------------------------------------------------------------------
// Result codes

TEST(OsReturnCodes, ScfCodesMapToIfosCodes) {
  const struct {
    int scf;
    unsigned long ifos;
  } cases[] = {{0, 0},        {36905, 1000}, {36922, 2000}, {36902, 9998}, {36917, 9998},
               {36962, 9998}, {16427, 9999}, {36867, 9999}, {36931, 9999}, {-1, 9999}};
  for (const auto& c : cases) EXPECT_EQ(ifosrc_convert_scf_rc(c.scf), c.ifos) << c.scf;
}

}  // namespace
