// Digital-input interrupts of the device access layer against the simulated
// machine: arming, one-shot delivery, disabling (also while a request
// completes), vanishing devices, breaking the wait and every failure path.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kav/hwaccess/edal/EdalDioAioKey.h"
#include "kav/hwaccess/edal/EdalDioHandle.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "ravo_aio.h"
#include "ravo_sim_control.h"

namespace {

const char* const kMachine = R"(<machine name="edal-irq">
  <cfam link="3" cascade="0">
    <gpio number="17" levels="0x0000000F"/>
  </cfam>
  <cfam link="4" cascade="1">
    <gpio number="2" levels="0x00000001"/>
  </cfam>
</machine>)";

const char* const kPath = "/dev/gpio/L03C0E17";
const char* const kOtherPath = "/dev/gpio/L04C1E02";
const unsigned kSentinel = 0x93FFFF1Fu;

unsigned bit(unsigned pin) { return 0x80000000u >> pin; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The interrupt thread: waits in a loop and records what the wait returned.
class Waiter {
 public:
  struct Result {
    unsigned rc;
    unsigned irqId;
    std::string msg;
  };

  void start() {
    m_stop = false;
    m_thread = std::thread([this] {
      for (;;) {
        unsigned id = 0;
        std::string msg;
        unsigned rc = edalDioWaitForInterrupt(id, msg);
        if (m_stop.load()) break;
        if (rc == 0 && id == 0) continue;  // broken without stop
        std::lock_guard<std::mutex> lock(m_lock);
        m_results.push_back(Result{rc, id, msg});
        m_cv.notify_all();
      }
    });
  }

  void stop() {
    if (!m_thread.joinable()) return;
    m_stop = true;
    std::string msg;
    EXPECT_EQ(0u, edalDioBreakInterrupt(msg)) << msg;
    m_thread.join();
  }

  // The next result; a missing one fails the test after a long safety margin.
  bool next(Result& r) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_cv.wait_for(lock, std::chrono::seconds(20), [this] { return !m_results.empty(); })) return false;
    r = m_results.front();
    m_results.pop_front();
    return true;
  }

  unsigned nextId() {
    Result r{};
    if (!next(r)) {
      ADD_FAILURE() << "no interrupt arrived";
      return 0;
    }
    EXPECT_EQ(0u, r.rc) << r.msg;
    return r.irqId;
  }

  bool empty() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_results.empty();
  }

 private:
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::mutex m_lock;
  std::condition_variable m_cv;
  std::deque<Result> m_results;
};

class EdalIrq : public ::testing::Test {
 protected:
  void SetUp() override {
    ravosim::LoadResult r = ravosim::loadMachineText(kMachine, "edal-irq");
    ASSERT_TRUE(r.ok) << r.message;
    ravosim::resetMachine();
    std::string msg;
    ASSERT_EQ(0u, edalDioOpen(EdalInfo(3, 0, 17), h, msg)) << msg;
    ASSERT_EQ(0u, edalDioOpen(EdalInfo(4, 1, 2), other, msg)) << msg;
    ASSERT_EQ(0u, edalDioSetMode(h, 0xFFFFFFFFu, edalDio::DIO_MODE_INPUT, msg)) << msg;
    ASSERT_EQ(0u, edalDioSetMode(other, 0xFFFFFFFFu, edalDio::DIO_MODE_INPUT, msg)) << msg;
  }

  void TearDown() override {
    ravosim::clearFaults();
    std::string msg;
    if (h != nullptr) {
      EXPECT_EQ(0u, edalDioClose(h, msg)) << msg;
    }
    if (waiter.running) {
      // Everything completed before the sentinel has been processed.
      expectSentinelNext();
      waiter.w.stop();
    }
    if (other != nullptr) {
      EXPECT_EQ(0u, edalDioClose(other, msg)) << msg;
    }
    EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
    EXPECT_EQ(0u, ravosim::pendingRequests(kOtherPath));
    EXPECT_EQ(0u, ravosim::openHandles());
  }

  void startWaiter() {
    waiter.w.start();
    waiter.running = true;
  }

  // Arms pin 0 of the other engine, which is wired high, so it fires at once:
  // the wait hands requests back oldest first, so nothing older is left
  // undelivered once the sentinel arrives.
  void expectSentinelNext() {
    std::string msg;
    ASSERT_EQ(0u, edalDioEnableInterrupt(other, bit(31), 0xFFFFFFFFu, kSentinel, msg)) << msg;
    EXPECT_EQ(kSentinel, waiter.w.nextId());
    ASSERT_EQ(0u, edalDioResetInterruptCondition(other, bit(31), msg)) << msg;
  }

  EdalHandle* h = nullptr;
  EdalHandle* other = nullptr;
  struct {
    Waiter w;
    bool running = false;
  } waiter;
};

TEST_F(EdalIrq, PinFiresOnceAtItsLevel) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(0), bit(0), 0x93030000u, msg)) << msg;
  EXPECT_EQ(1u, ravosim::pendingRequests(kPath));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 0, true));
  EXPECT_EQ(0x93030000u, waiter.w.nextId());
  EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
  // One-shot: toggling again brings nothing until the pin is armed again.
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 0, false));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 0, true));
  expectSentinelNext();
  // Armed again, the pin's latched condition holds the request back until
  // it is reset; then the request fires at once (the level is still met).
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(0), bit(0), 0x93030000u, msg)) << msg;
  EXPECT_EQ(1u, ravosim::pendingRequests(kPath));
  ASSERT_EQ(0u, edalDioResetInterruptCondition(h, bit(0), msg)) << msg;
  EXPECT_EQ(0x93030000u, waiter.w.nextId());
  const std::vector<ravosim::Transaction> log = ravosim::readTransactionLog(kPath);
  ASSERT_EQ(3u, log.size()) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(ravosim::Transaction::InterruptHeld, log[0].kind);
  EXPECT_EQ(ravosim::Transaction::ConditionReset, log[1].kind);
  EXPECT_EQ(ravosim::Transaction::Interrupt, log[2].kind);
}

TEST_F(EdalIrq, LowLevelPolarityAndPinsAlreadyAtTheirLevel) {
  startWaiter();
  std::string msg;
  // Pin 31 is wired high: armed for low it waits, armed for high it fires at once.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(31), 0, 0x92000001u, msg)) << msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(30), bit(30), 0x93000002u, msg)) << msg;
  EXPECT_EQ(0x93000002u, waiter.w.nextId());
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 31, false));
  EXPECT_EQ(0x92000001u, waiter.w.nextId());
}

TEST_F(EdalIrq, SeveralPinsInOneMaskEachGetARequest) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(1) | bit(2) | bit(3), 0xFFFFFFFFu, 0x93000010u, msg)) << msg;
  EXPECT_EQ(3u, ravosim::pendingRequests(kPath));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 2, true));
  EXPECT_EQ(0x93000010u, waiter.w.nextId());
  EXPECT_EQ(2u, ravosim::pendingRequests(kPath));
}

TEST_F(EdalIrq, ReEnablingTheSameRequestSubmitsNothing) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(5), bit(5), 0x93000005u, msg)) << msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(5), bit(5) | bit(6), 0x93000005u, msg)) << msg;
  EXPECT_EQ(1u, ravosim::pendingRequests(kPath));
}

TEST_F(EdalIrq, ConflictingRequestIsRefusedAndChangesNothing) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(5), bit(5), 0x93000005u, msg)) << msg;
  msg.clear();
  EXPECT_EQ(0x50132u, edalDioEnableInterrupt(h, bit(5) | bit(6), bit(5), 0x93000099u, msg));
  EXPECT_TRUE(contains(msg, "pin 5")) << msg;
  EXPECT_TRUE(contains(msg, kPath)) << msg;
  msg.clear();
  // Same id, other level.
  EXPECT_EQ(0x50132u, edalDioEnableInterrupt(h, bit(5), 0, 0x93000005u, msg));
  EXPECT_EQ(1u, ravosim::pendingRequests(kPath));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 5, true));
  EXPECT_EQ(0x93000005u, waiter.w.nextId());
}

TEST_F(EdalIrq, EmptyMaskIsRefused) {
  std::string msg;
  EXPECT_EQ(0x50016u, edalDioEnableInterrupt(h, 0, 0, 1, msg));
  EXPECT_EQ("edalDioEnableInterrupt: error interrupt enable mask = 0", msg);
}

TEST_F(EdalIrq, DisabledPinDeliversNothing) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(7) | bit(8), 0xFFFFFFFFu, 0x93000007u, msg)) << msg;
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(7), msg)) << msg;
  EXPECT_EQ(1u, ravosim::pendingRequests(kPath));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 7, true));
  expectSentinelNext();
  // A disabled pin can be armed again with another id.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(7), bit(7), 0x93000077u, msg)) << msg;
  EXPECT_EQ(0x93000077u, waiter.w.nextId());
}

TEST_F(EdalIrq, DisablingWhileTheRequestCompletesLeavesItToTheWaiter) {
  std::string msg;
  // No thread waits yet: the request completes at once and stays in the context.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(31), bit(31), 0x9300001Fu, msg)) << msg;
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(31), msg)) << msg;
  // The waiter frees it and does not report it.
  startWaiter();
  expectSentinelNext();
  // The refused cancel was no failure: it does not show up in a later one.
  ravosim::failCalls("ravo_gpio_blink", kPath, EIO, 1);
  msg.clear();
  EXPECT_EQ(0x50005u, edalDioBlink(h, bit(31), msg));
  EXPECT_FALSE(contains(msg, "ravo_aiocb_cancel")) << msg;
}

TEST_F(EdalIrq, RequestsOfAVanishedDeviceAreDroppedAndTheWaitGoesOn) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(9), bit(9), 0x93000009u, msg)) << msg;
  ASSERT_TRUE(ravosim::removeCfam(3, 0));
  expectSentinelNext();
  // The request is gone with the device: closing does not trip over it.
  ASSERT_EQ(0u, edalDioClose(h, msg)) << msg;
  ASSERT_TRUE(ravosim::insertCfam(3, 0));
  ASSERT_EQ(0u, edalDioOpen(EdalInfo(3, 0, 17), h, msg)) << msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(31), bit(31), 0x9300001Fu, msg)) << msg;
  EXPECT_EQ(0x9300001Fu, waiter.w.nextId());
}

TEST_F(EdalIrq, ClosingAnEngineCancelsItsRequests) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, 0x00FF0000u, 0xFFFFFFFFu, 0x93000100u, msg)) << msg;
  EXPECT_EQ(8u, ravosim::pendingRequests(kPath));
  ASSERT_EQ(0u, edalDioClose(h, msg)) << msg;
  EXPECT_EQ(nullptr, h);
  EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
}

TEST_F(EdalIrq, BreakMakesTheWaitReturnWithoutInterrupt) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(9), bit(9), 0x93000009u, msg)) << msg;
  std::atomic<unsigned> rc{1};
  std::atomic<unsigned> id{1};
  std::thread t([&] {
    unsigned got = 5;
    std::string m;
    rc = edalDioWaitForInterrupt(got, m);
    id = got;
  });
  ASSERT_EQ(0u, edalDioBreakInterrupt(msg)) << msg;
  t.join();
  EXPECT_EQ(0u, rc.load());
  EXPECT_EQ(0u, id.load());
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(9), msg)) << msg;
}

TEST_F(EdalIrq, ResetInterruptCondition) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(9), bit(9), 0x93000009u, msg)) << msg;
  EXPECT_EQ(0u, edalDioResetInterruptCondition(h, bit(9) | bit(10), msg)) << msg;
  ravosim::failCalls("ravo_gpio_reset_interrupt_condition", kPath, EIO, 1);
  msg = "former";
  EXPECT_EQ(5u, edalDioResetInterruptCondition(h, bit(9), msg));
  EXPECT_TRUE(contains(msg, "ravo_gpio_reset_interrupt_condition for device /dev/gpio/L03C0E17 (m_ravo=")) << msg;
  EXPECT_TRUE(contains(msg, ") failed with errno=5")) << msg;
  EXPECT_TRUE(contains(msg, "ravo_gpio_reset_interrupt_condition on /dev/gpio/L03C0E17 failed")) << msg;
  EXPECT_TRUE(contains(msg, "former")) << msg;
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(9), msg)) << msg;
}

// Enable: each library call of the arming fails once and always.
class EdalIrqEnableFault : public EdalIrq, public ::testing::WithParamInterface<const char*> {};

TEST_P(EdalIrqEnableFault, FailsWithFfdcAndArmsNothing) {
  const char* call = GetParam();
  startWaiter();
  for (unsigned count : {1u, 0u}) {
    SCOPED_TRACE(count == 1 ? "once" : "always");
    ravosim::clearFaults();
    ravosim::failCalls(call, "", EIO, count);
    std::string msg = "former";
    EXPECT_EQ(0x50005u, edalDioEnableInterrupt(h, bit(12), bit(12), 0x9300000Cu, msg));
    EXPECT_TRUE(contains(msg, std::string("edalDioEnableInterrupt: ") + call)) << msg;
    EXPECT_TRUE(contains(msg, "failed with errno=5")) << msg;
    // The event record belongs to no device yet; the other calls leave FFDC with it.
    if (std::string(call) != "ravo_gpio_event_init") {
      EXPECT_TRUE(contains(msg, std::string(call) + " on /dev/gpio/L03C0E17 failed")) << msg;
    }
    EXPECT_TRUE(contains(msg, "former")) << msg;
    EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
  }
  ravosim::clearFaults();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(12), bit(12), 0x9300000Cu, msg)) << msg;
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 12, true));
  EXPECT_EQ(0x9300000Cu, waiter.w.nextId());
}

INSTANTIATE_TEST_SUITE_P(EveryCall, EdalIrqEnableFault,
                         ::testing::Values("ravo_gpio_event_init", "ravo_aiocb_init", "ravo_aio_ctx_submit"),
                         [](const ::testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

TEST_F(EdalIrq, FailedCancelReportsAndTheRequestEndsWithTheEngine) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(13), bit(13), 0x9300000Du, msg)) << msg;
  ravosim::failAlways("ravo_aiocb_cancel", "", EIO);
  msg = "former";
  EXPECT_EQ(0x50005u, edalDioDisableInterrupt(h, bit(13), msg));
  EXPECT_TRUE(contains(msg, "edalDioDisableInterrupt: calling ravo_aiocb_cancel() for device /dev/gpio/L03C0E17 (m_ravo="))
      << msg;
  EXPECT_TRUE(contains(msg, ") failed with errno=5 Status = 115")) << msg;
  EXPECT_TRUE(contains(msg, "former")) << msg;
  // The pin is no longer tracked: the close goes through, the request ends
  // with the device and the waiter frees it.
  ASSERT_EQ(0u, edalDioClose(h, msg)) << msg;
}

TEST_F(EdalIrq, FailedDeleteAfterCancelReports) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(14), bit(14), 0x9300000Eu, msg)) << msg;
  ravosim::failCalls("ravo_aiocb_delete", "", EIO, 1);
  msg.clear();
  EXPECT_EQ(0x50005u, edalDioDisableInterrupt(h, bit(14), msg));
  EXPECT_TRUE(contains(msg, "edalDioDisableInterrupt: calling ravo_aiocb_delete() for device /dev/gpio/L03C0E17")) << msg;
}

// The cancel took the request out of its context, so no waiter will see it:
// whatever its status reads afterwards, disable frees the control block and
// the key.
TEST_F(EdalIrq, CancelledRequestIsFreedWhateverItsStatusReads) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(16), bit(16), 0x93000010u, msg)) << msg;
  EdalDioHandle* dio = dynamic_cast<EdalDioHandle*>(h);
  ASSERT_NE(nullptr, dio);
  ravo_aio_cb* cb = dio->getAiocb(16);
  ASSERT_NE(nullptr, ravo_aiocb_return_key(cb));
  ravosim::failCalls("ravo_aiocb_status", kPath, EIO, 1);
  msg.clear();
  EXPECT_EQ(0u, edalDioDisableInterrupt(h, bit(16), msg)) << msg;
  EXPECT_EQ(1u, ravosim::injectedFailures("ravo_aiocb_status"));
  EXPECT_TRUE(dio->AiocbIsNULL(16));
  // The simulator no longer knows the control block: it was deleted.
  errno = 0;
  EXPECT_EQ(nullptr, ravo_aiocb_return_key(cb));
  EXPECT_EQ(EINVAL, errno);
  EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
}

TEST_F(EdalIrq, CloseKeepsTheHandleWhenDisablingFails) {
  startWaiter();
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(15), bit(15), 0x9300000Fu, msg)) << msg;
  ravosim::failCalls("ravo_aiocb_cancel", "", EIO, 1);
  EdalHandle* before = h;
  EXPECT_EQ(0x50005u, edalDioClose(h, msg));
  EXPECT_EQ(before, h);
}

TEST_F(EdalIrq, WaitFailureIsReported) {
  startWaiter();
  ravosim::failCalls("ravo_aio_ctx_wait", "", EIO, 1);
  std::string msg;
  // Whether the waiter was already inside a wait or not, one of its next
  // waits fails and the interrupt still arrives.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(31), bit(31), 0x9300001Fu, msg)) << msg;
  bool sawFailure = false;
  bool sawInterrupt = false;
  for (int i = 0; i < 2; ++i) {
    Waiter::Result r{};
    ASSERT_TRUE(waiter.w.next(r)) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kOtherPath)) << ravosim::pendingRequests(kOtherPath);
    if (r.rc == 0) {
      EXPECT_EQ(0x9300001Fu, r.irqId);
      sawInterrupt = true;
    } else {
      EXPECT_EQ(0x50005u, r.rc);
      EXPECT_TRUE(contains(r.msg, "ravo_aio_ctx_wait failed with errno=5")) << r.msg;
      sawFailure = true;
    }
  }
  EXPECT_TRUE(sawFailure);
  EXPECT_TRUE(sawInterrupt);
}

TEST_F(EdalIrq, BreakFailureIsReported) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(9), bit(9), 0x93000009u, msg)) << msg;
  ravosim::failCalls("ravo_aio_ctx_break_wait", "", EIO, 1);
  EXPECT_EQ(0x50005u, edalDioBreakInterrupt(msg));
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(9), msg)) << msg;
}

TEST_F(EdalIrq, CorruptedKeyEndsTheProcess) {
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(20), bit(20), 0x93000014u, msg)) << msg;
  EdalDioHandle* dio = dynamic_cast<EdalDioHandle*>(h);
  ASSERT_NE(nullptr, dio);
  EdalDioAioKey* key = static_cast<EdalDioAioKey*>(ravo_aiocb_return_key(dio->getAiocb(20)));
  ASSERT_NE(nullptr, key);
  EXPECT_DEATH(
      {
        key->irqId ^= 0x100;
        edalDioDisableInterrupt(h, bit(20), msg);
      },
      "percAbend: reason=0x00000000 .*arg7=11");
  ASSERT_EQ(0u, edalDioDisableInterrupt(h, bit(20), msg)) << msg;
}

TEST_F(EdalIrq, CorruptedKeyOfACompletedRequestEndsTheProcessInTheWaiter) {
  std::string msg;
  // Completes at once and waits in the context for the interrupt thread.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, bit(31), bit(31), 0x9300001Fu, msg)) << msg;
  EdalDioHandle* dio = dynamic_cast<EdalDioHandle*>(h);
  ASSERT_NE(nullptr, dio);
  EdalDioAioKey* key = static_cast<EdalDioAioKey*>(ravo_aiocb_return_key(dio->getAiocb(31)));
  ASSERT_NE(nullptr, key);
  EXPECT_DEATH(
      {
        key->pin = 3;
        unsigned id = 0;
        edalDioWaitForInterrupt(id, msg);
      },
      "percAbend: reason=0x00000000 .*arg7=11");
  // Intact, the same request is delivered.
  unsigned id = 0;
  ASSERT_EQ(0u, edalDioWaitForInterrupt(id, msg)) << msg;
  EXPECT_EQ(0x9300001Fu, id);
}

// Several threads arm and disarm their own pins while the machine toggles
// them and the interrupt thread delivers.
TEST_F(EdalIrq, ConcurrentEnableDisableAndDelivery) {
  startWaiter();
  const unsigned kThreads = 4;
  // At most 400 requests can be outstanding: the context holds 500.
  const unsigned kRounds = 100;
  std::atomic<unsigned> failures{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const unsigned pin = 16 + t;
      std::string msg;
      for (unsigned i = 0; i < kRounds; ++i) {
        msg.clear();
        unsigned rc = edalDioEnableInterrupt(h, bit(pin), bit(pin), 0x93000000u | pin, msg);
        if (rc != 0) {
          ++failures;
          ADD_FAILURE() << std::hex << rc << " " << msg;
        }
        ravosim::setInputLevel(kPath, pin, (i % 2) == 0);
        rc = edalDioDisableInterrupt(h, bit(pin), msg);
        if (rc != 0) {
          ++failures;
          ADD_FAILURE() << std::hex << rc << " " << msg;
        }
        // Whether or not it fired, the next arming starts unlatched.
        rc = edalDioResetInterruptCondition(h, bit(pin), msg);
        if (rc != 0) {
          ++failures;
          ADD_FAILURE() << std::hex << rc << " " << msg;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(0u, failures.load());
  EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
  // Whatever fired was one of the armed ids, and each at most once per arming.
  std::string msg;
  ASSERT_EQ(0u, edalDioEnableInterrupt(other, bit(31), 0xFFFFFFFFu, kSentinel, msg)) << msg;
  unsigned fired = 0;
  for (;;) {
    Waiter::Result r{};
    ASSERT_TRUE(waiter.w.next(r)) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kOtherPath)) << ravosim::pendingRequests(kOtherPath);
    ASSERT_EQ(0u, r.rc) << r.msg;
    if (r.irqId == kSentinel) break;
    EXPECT_EQ(0x93000010u, r.irqId & 0xFFFFFFFCu);
    ++fired;
  }
  ASSERT_EQ(0u, edalDioResetInterruptCondition(other, bit(31), msg)) << msg;
  EXPECT_LE(fired, kThreads * kRounds);
}

}  // namespace
