// A card pulled and put back before the library handled the unplug, on a
// started library and the default simulated machine: the card's CFAM is
// removed and inserted again between the two plug reports, and the reports
// queue behind a plug delivery this test holds on the dispatcher, so the FRU
// builder sees the unplug only when its detector reads plugged again. (The
// hold needs the event framework, which the shared library does not export:
// this program links the library statically.)
#include <gtest/gtest.h>

#include <vector>

#include "kav/events/PlugEvent.h"
#include "kav/events/PlugEventSender.h"
#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/hwaccess/dio/dio_access.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;

namespace {

const unsigned int kCardHwa = 1;
const unsigned int kHeldSlot = 0x55;  // no detector listens there
const char* const kCard0Gpio = "/dev/gpio/L01C0E08";
const unsigned int kLedFromBasePin = 8;  // OscCard0LedFromBase on card 0's engine

KavPtr<DioHwr> findSignal(const std::string& name, unsigned int slotId) {
  ExecList<DioHwr> all = collectClasstypeInTree<DioHwr>(true);
  for (ExecList<DioHwr>::const_iterator it = all.begin(); it != all.end(); ++it)
    if ((*it)->getInstanceId() == get_id_by_string(name) && (*it)->getSlotId() == slotId) return *it;
  return KavPtr<DioHwr>();
}

bool pinHigh(const char* path, unsigned pin) {
  uint32_t levels = 0;
  return ravosim::readPinLevels(path, levels) && (levels & bit(pin)) != 0;
}

class CardReseat : public ::testing::TestWithParam<kav::SlotStatus_t> {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
    ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
    ASSERT_TRUE(waitFor([] { return configured(kCard0); }));
  }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
};

}  // namespace

TEST_P(CardReseat, CardPutBackBeforeItsUnplugIsHandledIsBuiltAgain) {
  // OscCard0LedFromBase (base domain) drives pin 8 of card 0 through a
  // dynamic link; it switched it on when the card was built.
  KavPtr<DioHwr> led = findSignal("OscCard0LedFromBase", kBaseDomain);
  ASSERT_TRUE(led != nullptr);
  ASSERT_TRUE(waitFor([&] { return led->getPendingInitSequences().empty() && pinHigh(kCard0Gpio, kLedFromBasePin); }));
  testsupport::RecordingLogSink log;

  {
    cardstest::DeliveryGate<PlugEvent> hold(PlugEventSender::getInstance(), kHeldSlot);
    PlugEvent held(kHeldSlot, 0, PlugEvent::PLUG);
    PlugEventSender::getInstance()->sendEvent(held);
    ASSERT_TRUE(hold.waitEntered());
    ASSERT_TRUE(ravosim::removeCfam(1, 0));
    ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
    ASSERT_TRUE(ravosim::insertCfam(1, 0));
    ASSERT_EQ(0, kav::send_card_plug(kCard0, GetParam()));
    // Back at power-on state: pin 8 is an input and low.
    EXPECT_FALSE(pinHigh(kCard0Gpio, kLedFromBasePin));
    hold.open();
  }

  // The content went and was built again: the signal configured pin 8 as an
  // output again and switched it on.
  ASSERT_TRUE(waitFor([&] { return configured(kCard0) && led->getPendingInitSequences().empty() &&
                                   pinHigh(kCard0Gpio, kLedFromBasePin); }));
  EXPECT_EQ(1u, countNodes("OscCardContent", kCard0));
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  EXPECT_EQ(0u, led->read(state).getRc());
  EXPECT_EQ(dioState::DIO_STATE_ON, state);

  // The card's engine answers through a handle opened after the return.
  unsigned int value = 0;
  ASSERT_EQ(0u, kav::dio_readLevel(kCard0, kCardHwa, 0, value));
  EXPECT_EQ(bit(0) | bit(kLedFromBasePin), value & (bit(0) | bit(kLedFromBasePin)));
  ASSERT_EQ(0u, kav::dio_writeLevel(kCard0, kCardHwa, 0, bit(1), bit(1)));
  uint32_t latches = 0;
  ASSERT_TRUE(ravosim::readOutputLatches(kCard0Gpio, latches));
  EXPECT_EQ(bit(1) | bit(kLedFromBasePin), latches & (bit(1) | bit(kLedFromBasePin)));
  ASSERT_EQ(0u, kav::dio_writeLevel(kCard0, kCardHwa, 0, bit(1), 0));

  // Nothing stayed unusable: no engine logged a device that went away.
  EXPECT_TRUE(log.errorsWithRc(0x7017u).empty());
  EXPECT_TRUE(waitFor([] { return kav::pendingDeletions() == 0; }));
}

INSTANTIATE_TEST_SUITE_P(PluggedAgain, CardReseat,
                         ::testing::Values(kav::e_Plugged_DoNotUse, kav::e_Plugged_Functional),
                         [](const ::testing::TestParamInfo<kav::SlotStatus_t>& i) {
                           return i.param == kav::e_Plugged_DoNotUse ? std::string("DoNotUse")
                                                                     : std::string("Functional");
                         });
