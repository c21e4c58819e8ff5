// Asynchronous interrupt requests of the simulated machine: completion,
// cancel while completing, device-gone completions, break, capacity and
// delivery under concurrent arming and disarming.
#include <fcntl.h>
#include <stdlib.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="0" cascade="0"><gpio number="8"/></cfam>
  <cfam link="3" cascade="1"><gpio number="17"/></cfam>
</machine>)";

constexpr uint32_t pin(unsigned n) { return 0x80000000u >> n; }
const char* const kBase = "/dev/gpio/L00C0E08";
const char* const kCard = "/dev/gpio/L03C1E17";

class SimAio : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-aio-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "aio.xml"));
    m_ctx = ravo_aio_ctx_create(8);
    ASSERT_NE(m_ctx, nullptr);
    m_h = ravo_gpio_open(kBase, O_RDWR);
    ASSERT_NE(m_h, nullptr);
  }
  void TearDown() override {
    if (m_h) {
      EXPECT_EQ(ravo_gpio_close(m_h), 0);
    }
    EXPECT_EQ(ravo_aio_ctx_destroy(m_ctx), 0);
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }

  ravo_aio_cb* submit(ravo_struct* h, uint32_t high, uint32_t low, void* key) {
    return testsupport::submitGpioRequest(m_ctx, h, high, low, key);
  }
  ravo_aio_cb* waitOne() {
    unsigned n = 0;
    ravo_aio_cb* cb = nullptr;
    EXPECT_EQ(ravo_aio_ctx_wait(m_ctx, 1, 1, nullptr, &n, &cb), 0);
    EXPECT_EQ(n, 1u);
    return cb;
  }
  // Whether a completed request is there without blocking.
  bool completedThere() {
    unsigned n = 0;
    ravo_aio_cb* cb = nullptr;
    timespec zero{0, 0};
    if (ravo_aio_ctx_wait(m_ctx, 1, 1, &zero, &n, &cb) != 0) return false;
    m_stash.push_back(cb);
    return true;
  }

  std::string m_dir;
  ravo_aio_ctx* m_ctx = nullptr;
  ravo_struct* m_h = nullptr;
  std::vector<ravo_aio_cb*> m_stash;
};

TEST_F(SimAio, RequestAlreadyAtItsLevelCompletesAtOnce) {
  int key = 7;
  ravo_aio_cb* cb = submit(m_h, 0, pin(4), &key);  // pin 4 is low
  ravo_aio_cb* done = waitOne();
  ASSERT_EQ(done, cb);
  EXPECT_EQ(ravo_aiocb_return_key(done), &key);
  int second = -1;
  EXPECT_EQ(ravo_aiocb_status(done, &second), RAVO_AIO_STATUS_DONE);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
}

TEST_F(SimAio, WaitBlocksUntilTheDrivenPinReachesItsLevel) {
  ravo_aio_cb* cb = submit(m_h, pin(4), 0, nullptr);
  EXPECT_EQ(ravo_aiocb_status(cb, nullptr), RAVO_AIO_STATUS_PENDING);
  EXPECT_EQ(ravosim::pendingRequests(kBase), 1u);
  EXPECT_FALSE(completedThere());
  std::thread driver([] { ASSERT_TRUE(ravosim::setInputLevel(kBase, 4, true)); });
  ravo_aio_cb* done = waitOne();
  driver.join();
  ASSERT_EQ(done, cb);
  int second = 0;
  EXPECT_EQ(ravo_aiocb_status(done, &second), RAVO_AIO_STATUS_DONE);
  EXPECT_EQ(static_cast<uint32_t>(second), pin(4));
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
}

TEST_F(SimAio, OwnOutputCompletesARequest) {
  ASSERT_EQ(ravo_gpio_set_mode(m_h, pin(9), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  ravo_aio_cb* cb = submit(m_h, pin(9), 0, nullptr);
  EXPECT_FALSE(completedThere());
  ASSERT_EQ(ravo_gpio_write_output_pins(m_h, pin(9), pin(9)), 0);
  EXPECT_EQ(waitOne(), cb);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
}

TEST_F(SimAio, CancelPendingCompletingAndReturned) {
  ravo_aio_cb* pending = submit(m_h, pin(1), 0, nullptr);
  EXPECT_EQ(ravo_aiocb_delete(pending, RAVO_AIOCB_DELETE_FREE), -1);
  EXPECT_EQ(errno, EBUSY);
  EXPECT_EQ(ravo_aiocb_cancel(pending), 0);
  EXPECT_EQ(ravo_aiocb_status(pending, nullptr), RAVO_AIO_STATUS_CANCELED);
  EXPECT_EQ(ravosim::pendingRequests(kBase), 0u);
  errno = 0;
  EXPECT_EQ(ravo_aiocb_cancel(pending), -1);  // already cancelled
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_aiocb_delete(pending, RAVO_AIOCB_DELETE_FREE), 0);

  // Completed but not yet handed back by a wait: cancel says it is completing.
  ravo_aio_cb* completing = submit(m_h, 0, pin(1), nullptr);
  errno = 0;
  EXPECT_EQ(ravo_aiocb_cancel(completing), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(ravo_aiocb_delete(completing, RAVO_AIOCB_DELETE_FREE), -1);
  EXPECT_EQ(errno, EBUSY);
  ASSERT_EQ(waitOne(), completing);
  // Handed back but not deleted yet: still completing for a canceller.
  errno = 0;
  EXPECT_EQ(ravo_aiocb_cancel(completing), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(ravo_aiocb_delete(completing, 0), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_aiocb_delete(completing, RAVO_AIOCB_DELETE_FREE), 0);
  // A deleted control block is not one any more.
  EXPECT_EQ(ravo_aiocb_status(completing, nullptr), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimAio, RequestOnARemovedCfamCompletesWithStatus19) {
  ravo_struct* card = ravo_gpio_open(kCard, O_RDWR);
  ASSERT_NE(card, nullptr);
  ravo_aio_cb* cb = submit(card, pin(0), 0, nullptr);
  ravo_aio_cb* other = submit(m_h, pin(0), 0, nullptr);
  std::thread remover([] { ASSERT_TRUE(ravosim::removeCfam(3, 1)); });
  ravo_aio_cb* done = waitOne();
  remover.join();
  ASSERT_EQ(done, cb);
  EXPECT_EQ(ravo_aiocb_status(done, nullptr), ENODEV);
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
  // Submitting on the absent device fails; the base engine's request stays.
  ravo_gpio_event_t ev;
  ASSERT_EQ(ravo_gpio_event_init(&ev, pin(0), 0), 0);
  ravo_aio_cb* late = ravo_aiocb_init(nullptr, card, 0, &ev, sizeof ev);
  ASSERT_NE(late, nullptr);
  errno = 0;
  EXPECT_EQ(ravo_aio_ctx_submit(m_ctx, 1, &late), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_aiocb_delete(late, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(ravosim::pendingRequests(kBase), 1u);
  EXPECT_EQ(ravo_aiocb_cancel(other), 0);
  EXPECT_EQ(ravo_aiocb_delete(other, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(ravo_gpio_close(card), 0);
}

TEST_F(SimAio, ClosingTheHandleCompletesItsRequestsWithStatus19) {
  ravo_struct* card = ravo_gpio_open(kCard, O_RDWR);
  ASSERT_NE(card, nullptr);
  ravo_aio_cb* cb = submit(card, pin(2), 0, nullptr);
  ASSERT_EQ(ravo_gpio_close(card), 0);
  ASSERT_EQ(waitOne(), cb);
  EXPECT_EQ(ravo_aiocb_status(cb, nullptr), ENODEV);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
}

TEST_F(SimAio, BreakWakesAWaiterAndIsKeptWhenNobodyWaits) {
  std::thread waiter([this] {
    unsigned n = 5;
    ravo_aio_cb* cb = nullptr;
    EXPECT_EQ(ravo_aio_ctx_wait(m_ctx, 1, 1, nullptr, &n, &cb), -1);
    EXPECT_EQ(errno, EINTR);
    EXPECT_EQ(n, 0u);
  });
  // The break is kept until a wait takes it, whichever comes first.
  EXPECT_EQ(ravo_aio_ctx_break_wait(m_ctx), 0);
  waiter.join();
  EXPECT_EQ(ravo_aio_ctx_break_wait(m_ctx), 0);
  unsigned n = 0;
  ravo_aio_cb* cb = nullptr;
  EXPECT_EQ(ravo_aio_ctx_wait(m_ctx, 1, 1, nullptr, &n, &cb), -1);
  EXPECT_EQ(errno, EINTR);
  EXPECT_EQ(ravo_aio_ctx_break_wait(nullptr), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimAio, ContextCapacityCountsUnreturnedRequests) {
  std::vector<ravo_aio_cb*> cbs;
  for (int i = 0; i < 8; ++i) cbs.push_back(submit(m_h, pin(static_cast<unsigned>(i)), 0, nullptr));
  ravo_gpio_event_t ev;
  ASSERT_EQ(ravo_gpio_event_init(&ev, pin(20), 0), 0);
  ravo_aio_cb* extra = ravo_aiocb_init(nullptr, m_h, 0, &ev, sizeof ev);
  ASSERT_NE(extra, nullptr);
  errno = 0;
  EXPECT_EQ(ravo_aio_ctx_submit(m_ctx, 1, &extra), -1);
  EXPECT_EQ(errno, EAGAIN);
  ASSERT_TRUE(ravosim::setInputLevel(kBase, 0, true));
  ASSERT_EQ(waitOne(), cbs[0]);
  EXPECT_EQ(ravo_aiocb_delete(cbs[0], RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(ravo_aio_ctx_submit(m_ctx, 1, &extra), 1);
  errno = 0;
  EXPECT_EQ(ravo_aio_ctx_submit(m_ctx, 1, &extra), -1);
  EXPECT_EQ(errno, EAGAIN);
  cbs[0] = extra;
  for (ravo_aio_cb* cb : cbs) {
    EXPECT_EQ(ravo_aiocb_cancel(cb), 0);
    EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
  }
}

TEST_F(SimAio, BadArguments) {
  ravo_gpio_event_t ev;
  errno = 0;
  EXPECT_EQ(ravo_gpio_event_init(&ev, pin(1), pin(1)), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_gpio_event_init(&ev, 0, 0), -1);
  ASSERT_EQ(ravo_gpio_event_init(&ev, pin(1), 0), 0);
  EXPECT_EQ(ravo_aiocb_init(nullptr, m_h, 0, &ev, 8), nullptr);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_aiocb_init(nullptr, m_h, 1, &ev, sizeof ev), nullptr);
  EXPECT_EQ(ravo_aiocb_init(nullptr, nullptr, 0, &ev, sizeof ev), nullptr);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(ravo_aio_ctx_create(0), nullptr);
  EXPECT_EQ(errno, EINVAL);
}

// Several threads arm and disarm pins the way the interrupt enable and
// disable of the library do, while a driver toggles the pins and one waiter
// takes the completions. Every request ends exactly once: handed back by the
// wait (and then freed by the waiter) or cancelled (and freed by the thread
// that cancelled it).
TEST_F(SimAio, DeliveryUnderConcurrentEnableAndDisable) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  struct Key {
    int owner;
    unsigned pin;
  };
  std::mutex mu;
  std::map<ravo_aio_cb*, Key*> live;  // submitted and not yet ended
  std::atomic<int> canceled{0}, completed{0}, completing{0};
  std::atomic<bool> stop{false};
  ASSERT_EQ(ravo_aio_ctx_destroy(m_ctx), 0);
  m_ctx = ravo_aio_ctx_create(kThreads * kRounds);
  ASSERT_NE(m_ctx, nullptr);

  std::thread waiter([&] {
    for (;;) {
      unsigned n = 0;
      ravo_aio_cb* cb = nullptr;
      if (ravo_aio_ctx_wait(m_ctx, 1, 1, nullptr, &n, &cb) != 0) {
        ASSERT_EQ(errno, EINTR);
        if (stop) return;
        continue;
      }
      ASSERT_EQ(n, 1u);
      auto* key = static_cast<Key*>(ravo_aiocb_return_key(cb));
      ASSERT_NE(key, nullptr);
      const int status = ravo_aiocb_status(cb, nullptr);
      EXPECT_TRUE(status == RAVO_AIO_STATUS_DONE) << status;
      {
        std::lock_guard<std::mutex> g(mu);
        ASSERT_EQ(live.erase(cb), 1u);
      }
      // The condition latched when the request fired: reset it so that the
      // pin's next request can fire.
      EXPECT_EQ(ravo_gpio_reset_interrupt_condition(m_h, pin(key->pin)), 0);
      delete key;
      EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
      ++completed;
    }
  });
  std::thread driver([&] {
    unsigned i = 0;
    while (!stop) {
      ravosim::setInputLevel(kBase, i % 16, (i / 16) % 2 == 0);
      ++i;
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> armers;
  for (int t = 0; t < kThreads; ++t) {
    armers.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        const unsigned p = static_cast<unsigned>(t * 4 + r % 4);
        ravo_gpio_event_t ev;
        ASSERT_EQ(ravo_gpio_event_init(&ev, r % 2 ? pin(p) : 0, r % 2 ? 0 : pin(p)), 0);
        auto* key = new Key{t, p};
        ravo_aio_cb* cb = ravo_aiocb_init(key, m_h, 0, &ev, sizeof ev);
        ASSERT_NE(cb, nullptr);
        {
          std::lock_guard<std::mutex> g(mu);
          live[cb] = key;
          ASSERT_EQ(ravo_aio_ctx_submit(m_ctx, 1, &cb), 1);
        }
        if (r % 3 == 0) continue;  // let it fire
        std::lock_guard<std::mutex> g(mu);
        if (!live.count(cb)) continue;  // already handed back and freed
        if (ravo_aiocb_cancel(cb) == 0) {
          live.erase(cb);
          EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
          delete key;
          ++canceled;
        } else {
          ASSERT_EQ(errno, EAGAIN);  // the waiter will take it
          ++completing;
        }
      }
    });
  }
  for (auto& a : armers) a.join();
  // Release what is still pending: drive every pin both ways.
  for (;;) {
    {
      std::lock_guard<std::mutex> g(mu);
      if (live.empty()) break;
    }
    for (unsigned p = 0; p < 16; ++p) {
      ravosim::setInputLevel(kBase, p, true);
      ravosim::setInputLevel(kBase, p, false);
    }
    std::this_thread::yield();
  }
  stop = true;
  EXPECT_EQ(ravo_aio_ctx_break_wait(m_ctx), 0);
  waiter.join();
  driver.join();
  EXPECT_EQ(canceled + completed, kThreads * kRounds);
  EXPECT_EQ(ravosim::pendingRequests(kBase), 0u);
}

}  // namespace
