// Interrupts of the signals of a started library on the default simulated
// machine: a DioHwr armed with enableIrq gets its DioEvent on the priority-0
// dispatcher when the machine drives its pin, once, until armed again. (The
// listener needs the event framework, which the shared library does not
// export: this program links the library statically.)
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "kav/events/DioEvent.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/EventDispatcher.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventMemberCallback.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

const char* const kBaseGpio = "/dev/gpio/L00C0E09";

KavPtr<DioHwr> findSignal(const std::string& name, unsigned int slotId) {
  ExecList<DioHwr> all = collectClasstypeInTree<DioHwr>(true);
  for (ExecList<DioHwr>::const_iterator it = all.begin(); it != all.end(); ++it)
    if ((*it)->getInstanceId() == get_id_by_string(name) && (*it)->getSlotId() == slotId) return *it;
  return KavPtr<DioHwr>();
}

// The interrupt ids delivered to one listener (any DioEvent), with the thread.
class DioListener {
 public:
  DioListener() {
    EventMemberCallback<DioListener, DioEvent> callback(this, &DioListener::onEvent);
    m_id = m_router.registerForEvent(DioEventSender::getInstance()->getEventSource(), callback);
  }
  ~DioListener() { m_router.deregisterFromEvent(m_id); }
  void onEvent(const DioEvent& event) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_ids.push_back(event.getEventId());
    m_threads.push_back(std::this_thread::get_id());
    m_onPriority0.push_back(
        EventDispatcherProvider::getInstance()->getEventDispatcher(PRIORITY_0)->isDispatcherThread());
  }
  std::vector<bool> onPriority0() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_onPriority0;
  }
  std::vector<unsigned int> ids() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_ids;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_threads;
  }
  void requestReference() {}
  void releaseReference() {}

 private:
  EventRouter<DioEvent> m_router;
  long m_id = -1;
  std::mutex m_lock;
  std::vector<unsigned int> m_ids;
  std::vector<std::thread::id> m_threads;
  std::vector<bool> m_onPriority0;
};

class DioSignalIrq : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(0, kav::start(kav::PHE_Domain, true)); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
};

}  // namespace

TEST_F(DioSignalIrq, ArmedSignalGetsItsEventOnceUntilArmedAgain) {
  KavPtr<DioHwr> present = findSignal("BaseCardPresent", kBaseDomain);
  ASSERT_TRUE(present != nullptr);
  DioListener listener;
  const unsigned int offId = present->getOffIrqId();
  const unsigned int onId = present->getOnIrqId();
  EXPECT_EQ(0x92000900u, offId);  // low level of pin 0, link 0, engine 9
  EXPECT_EQ(0x93000900u, onId);
  ASSERT_EQ(0u, present->enableIrq(dioState::DIO_STATE_OFF).getRc());
  ASSERT_TRUE(ravosim::setInputLevel(kBaseGpio, 0, false));
  ASSERT_TRUE(waitFor([&] { return listener.ids().size() == 1; }));
  EXPECT_EQ(offId, listener.ids()[0]);
  // Fired once: going high and low again sends nothing; armed for on, the
  // next event is the on event, but only once the receiver has reset the
  // pin's interrupt condition: until then the machine holds it back.
  ASSERT_TRUE(ravosim::setInputLevel(kBaseGpio, 0, true));
  ASSERT_TRUE(ravosim::setInputLevel(kBaseGpio, 0, false));
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, present->enableIrq(dioState::DIO_STATE_ON).getRc());
  ASSERT_TRUE(ravosim::setInputLevel(kBaseGpio, 0, true));
  EXPECT_EQ(1u, listener.ids().size());
  std::vector<ravosim::Transaction> log = ravosim::readTransactionLog(kBaseGpio);
  ASSERT_EQ(2u, log.size()) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(ravosim::Transaction::InterruptHeld, log[1].kind);
  ASSERT_EQ(0u, present->resetIrqCondition().getRc());
  ASSERT_TRUE(waitFor([&] { return listener.ids().size() >= 2; }));
  log = ravosim::readTransactionLog(kBaseGpio);
  ASSERT_EQ(4u, log.size()) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(ravosim::Transaction::ConditionReset, log[2].kind);
  EXPECT_EQ(ravosim::Transaction::Interrupt, log[3].kind);
  EXPECT_EQ((std::vector<unsigned int>{offId, onId}), listener.ids());
  // Delivered on the priority-0 dispatcher, not the caller's thread.
  EXPECT_EQ((std::vector<bool>{true, true}), listener.onPriority0());
  const std::vector<std::thread::id> threads = listener.threads();
  EXPECT_EQ(threads[0], threads[1]);
  EXPECT_NE(std::this_thread::get_id(), threads[0]);
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  ASSERT_EQ(0u, present->read(state).getRc());
  EXPECT_EQ(dioState::DIO_STATE_ON, state);
}

