// The digital-input interrupt thread against the simulated machine: every
// interrupt becomes one DioEvent; failed waits are logged once and counted,
// and more than ten in a row deactivate the thread.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "EventTestSupport.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/DioIrDispatcher.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "ravo_sim_control.h"
#include "tests/support/TempDir.h"
#include "trace_ravo.h"

namespace {

const char* const kMachine = R"(<machine name="dio-ir">
  <cfam link="5" cascade="0">
    <gpio number="8" levels="0x00000000"/>
  </cfam>
</machine>)";
const char* const kPath = "/dev/gpio/L05C0E08";

unsigned bit(unsigned pin) { return 0x80000000u >> pin; }

unsigned traceCount(const char* buffer, const std::string& text) {
  struct Ctx {
    std::string text;
    unsigned n;
  } ctx{text, 0};
  trace_ravo_decode(
      trace_ravo_find_buffer(buffer),
      [](void* c, const char* line) {
        Ctx* p = static_cast<Ctx*>(c);
        if (std::string(line).find(p->text) != std::string::npos) ++p->n;
      },
      &ctx);
  return ctx.n;
}

class DioIrDispatcherTest : public evtest::EventTest {
 protected:
  void SetUp() override {
    m_stateDir.reset(new testsupport::TempDir("dio-ir"));
    ASSERT_FALSE(m_stateDir->path().empty());
    ravosim::setStateDir(m_stateDir->path());
    ASSERT_TRUE(ravosim::loadMachineText(kMachine).ok);
    evtest::EventTest::SetUp();
    initDioEventSender();
    trace_ravo_clear_all();
    std::string msg;
    ASSERT_EQ(0u, edalDioOpen(EdalInfo(5, 0, 8), m_handle, msg)) << msg;
    ASSERT_EQ(0u, edalDioSetMode(m_handle, 0xFFFFFFFFu, edalDio::DIO_MODE_INPUT, msg)) << msg;
    m_registration = registerForEvent(DioEventSender::getInstance()->getEventSource(), &m_router, &m_listener,
                                      &evtest::Listener<DioEvent>::handle, false);
    ASSERT_GE(m_registration, 0);
  }
  void TearDown() override {
    DioIrDispatcher::destroyInstance();
    m_router.deregisterFromEvent(m_registration);
    std::string msg;
    if (m_handle != nullptr) {
      EXPECT_EQ(0u, edalDioClose(m_handle, msg)) << msg;
    }
    terminateDioEventSender();
    DioEventSender::destroyInstance();
    ravosim::clearFaults();
    evtest::EventTest::TearDown();
  }

  // Arms pin for its high level with the id and drives it high (after low).
  void fire(unsigned pin, unsigned irqId) {
    std::string msg;
    ASSERT_TRUE(ravosim::setInputLevel(kPath, pin, false));
    ASSERT_EQ(0u, edalDioEnableInterrupt(m_handle, bit(pin), bit(pin), irqId, msg)) << msg;
    ASSERT_TRUE(ravosim::setInputLevel(kPath, pin, true));
  }

  // Any-event ids delivered so far.
  std::vector<unsigned> delivered() { return m_journal.values(1); }

  std::unique_ptr<testsupport::TempDir> m_stateDir;
  EdalHandle* m_handle = nullptr;
  evtest::Journal m_journal;
  evtest::Listener<DioEvent> m_listener{m_journal, 1};
  EventRouter<DioEvent> m_router;
  long m_registration = -1;
};

TEST_F(DioIrDispatcherTest, EveryInterruptBecomesOneEventAndARequestFiresOnce) {
  initDioIrDispatcher();
  ASSERT_TRUE(evtest::waitUntil([] { return DioIrDispatcher::getInstance()->isRunning(); }));
  // The wait creates the interrupt context; enabling needs it.
  std::string msg;
  ASSERT_TRUE(evtest::waitUntil([&] {
    return edalDioEnableInterrupt(m_handle, bit(3), bit(3), 0x93050803u, msg) == 0;
  }));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 3, true));
  ASSERT_TRUE(evtest::waitUntil([&] { return delivered().size() == 1; }));
  // Not armed any more: toggling the pin sends nothing, so the next event seen
  // is the one of the request armed afterwards.
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 3, false));
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 3, true));
  EXPECT_EQ(0u, ravosim::pendingRequests(kPath));
  fire(7, 0x93050807u);
  ASSERT_TRUE(evtest::waitUntil([&] { return delivered().size() >= 2; }));
  EXPECT_EQ((std::vector<unsigned>{0x93050803u, 0x93050807u}), delivered());
  EXPECT_FALSE(DioIrDispatcher::getInstance()->isHwErrorLogged());
}

TEST_F(DioIrDispatcherTest, TenConsecutiveWaitErrorsThenASuccessKeepItRunning) {
  const unsigned before = ravosim::injectedFailures("ravo_aio_ctx_wait");
  ravosim::failCalls("ravo_aio_ctx_wait", "", EIO, 10);
  initDioIrDispatcher();
  ASSERT_TRUE(evtest::waitUntil([&] { return ravosim::injectedFailures("ravo_aio_ctx_wait") == before + 10; }));
  fire(4, 0x93050804u);
  ASSERT_TRUE(evtest::waitUntil([&] { return delivered().size() == 1; }));
  EXPECT_EQ(0x93050804u, delivered()[0]);
  DioIrDispatcher* dispatcher = DioIrDispatcher::getInstance();
  EXPECT_TRUE(dispatcher->isRunning());
  EXPECT_FALSE(dispatcher->isTerminating());
  EXPECT_TRUE(dispatcher->isHwErrorLogged());
  EXPECT_EQ(1u, traceCount("KAVE", "DioIrDispatcher wait error logged"));
  EXPECT_EQ(10u, traceCount("KAVE", "DioIrDispatcher wait failed"));
  EXPECT_EQ(0u, traceCount("KAVE", "IrDispatcher deactivated"));

  // The count starts again after a success: ten more errors are still fine.
  ravosim::failCalls("ravo_aio_ctx_wait", "", EIO, 10);
  fire(5, 0x93050805u);  // ends the current wait; the next ten fail
  ASSERT_TRUE(evtest::waitUntil([&] { return ravosim::injectedFailures("ravo_aio_ctx_wait") == before + 20; }));
  fire(6, 0x93050806u);
  ASSERT_TRUE(evtest::waitUntil([&] { return delivered().size() == 3; }));
  EXPECT_TRUE(dispatcher->isRunning());
  EXPECT_EQ(1u, traceCount("KAVE", "DioIrDispatcher wait error logged"));
}

TEST_F(DioIrDispatcherTest, ElevenConsecutiveWaitErrorsDeactivateItOnce) {
  const unsigned before = ravosim::injectedFailures("ravo_aio_ctx_wait");
  ravosim::failCalls("ravo_aio_ctx_wait", "", EIO, 0);
  initDioIrDispatcher();
  DioIrDispatcher* dispatcher = DioIrDispatcher::getInstance();
  ASSERT_TRUE(evtest::waitUntil([&] { return dispatcher->isTerminating() && !dispatcher->isRunning(); }));
  EXPECT_EQ(before + 11, ravosim::injectedFailures("ravo_aio_ctx_wait"));
  EXPECT_EQ(1u, traceCount("KAVE", "IrDispatcher deactivated after"));
  EXPECT_EQ(1u, traceCount("KAVE", "DioIrDispatcher wait error logged"));
  // A second init does not start it again.
  initDioIrDispatcher();
  EXPECT_FALSE(dispatcher->isRunning());
  EXPECT_EQ(before + 11, ravosim::injectedFailures("ravo_aio_ctx_wait"));
}

TEST_F(DioIrDispatcherTest, TerminateReleasesTheWaitAndSendsNothing) {
  initDioIrDispatcher();
  DioIrDispatcher* dispatcher = DioIrDispatcher::getInstance();
  ASSERT_TRUE(evtest::waitUntil([&] { return dispatcher->isRunning(); }));
  std::string msg;
  ASSERT_TRUE(evtest::waitUntil([&] { return edalDioBreakInterrupt(msg) == 0; }));  // context exists
  terminateDioIrDispatcher();
  terminateDioIrDispatcher();  // once
  ASSERT_TRUE(evtest::waitUntil([&] { return !dispatcher->isRunning(); }));
  EXPECT_TRUE(delivered().empty());
  EXPECT_FALSE(dispatcher->isHwErrorLogged());
}

}  // namespace
