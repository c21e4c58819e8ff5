// Digital I/O of a started library on the default simulated machine: raw
// engine access, signals, device failures, and a signal on a card that goes
// away and comes back (the interrupts of signals: hwaccess/dio_signal_irq). The cards are plugged once
// for the whole program; each test leaves the machine as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/hwaccess/dio/DioSignalListing.h"
#include "kav/hwaccess/dio/dio_access.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeRoot.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;

namespace {

const unsigned int kBaseHwa = 0;  // base CFAM, link 0
const unsigned int kCardHwa = 1;  // card CFAMs
const char* const kBasePlugGpio = "/dev/gpio/L00C0E08";  // logical engine 0
const char* const kBaseGpio = "/dev/gpio/L00C0E09";      // logical engine 1
const char* const kCard0Gpio = "/dev/gpio/L01C0E08";
const char* const kCard1Gpio = "/dev/gpio/L02C0E08";
const unsigned int kLedFromBasePin = 8;  // OscCard0LedFromBase on card 0's engine


// The signal of that name in that slot, read through the listing.
bool signal(const std::string& name, unsigned int slotId, kav::DioSignalInfo& out) {
  std::vector<kav::DioSignalInfo> signals;
  kav::listDioSignals(signals);
  for (const kav::DioSignalInfo& s : signals)
    if (s.instanceName == name && s.slotId == slotId) {
      out = s;
      return true;
    }
  return false;
}

KavPtr<DioHwr> findSignal(const std::string& name, unsigned int slotId) {
  return findObject<DioHwr>(get_id_by_string(name), slotId);
}

class Dio : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    startWithBothCards();
  }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void TearDown() override { ravosim::clearFaults(); }
};

}  // namespace

TEST_F(Dio, RawLevelsReachTheSimulatedPins) {
  // Pin 4 of the base engine 9 is BaseLed's push-pull output.
  ASSERT_EQ(0u, kav::dio_writeLevel(kBaseDomain, kBaseHwa, 1, bit(4), bit(4)));
  uint32_t latches = 0;
  ASSERT_TRUE(ravosim::readOutputLatches(kBaseGpio, latches));
  EXPECT_EQ(bit(4), latches & bit(4));
  unsigned int value = 0;
  ASSERT_EQ(0u, kav::dio_readLevel(kBaseDomain, kBaseHwa, 1, value));
  EXPECT_EQ(bit(0) | bit(4), value & (bit(0) | bit(4)));  // pin 0 is wired high
  kav::DioSignalInfo led;
  ASSERT_TRUE(signal("BaseLed", kBaseDomain, led));
  EXPECT_EQ(1u, led.state);
  ASSERT_EQ(0u, kav::dio_writeLevel(kBaseDomain, kBaseHwa, 1, bit(4), 0));
  ASSERT_TRUE(ravosim::readOutputLatches(kBaseGpio, latches));
  EXPECT_EQ(0u, latches & bit(4));
  ASSERT_TRUE(signal("BaseLed", kBaseDomain, led));
  EXPECT_EQ(2u, led.state);

  // A card's engine, by its slot.
  ASSERT_EQ(0u, kav::dio_writeLevel(kCard1, kCardHwa, 0, bit(1), bit(1)));
  ASSERT_TRUE(ravosim::readOutputLatches(kCard1Gpio, latches));
  EXPECT_EQ(bit(1), latches & bit(1));
  ASSERT_TRUE(ravosim::readOutputLatches(kCard0Gpio, latches));
  EXPECT_EQ(0u, latches & bit(1));
  ASSERT_EQ(0u, kav::dio_writeLevel(kCard1, kCardHwa, 0, bit(1), 0));
}

TEST_F(Dio, UnknownEngineAndInvalidTableControl) {
  unsigned int value = 0;
  EXPECT_EQ(0x7013u, kav::dio_readLevel(kBaseDomain, kBaseHwa, 2, value));    // no third engine
  EXPECT_EQ(0x7013u, kav::dio_writeLevel(kCard0, kBaseHwa, 0, 1, 1));         // base engines are not in a card's slot
  EXPECT_EQ(0x7013u, kav::dio_writeLevel(kBaseDomain, kCardHwa, 0, 1, 1));    // card engine not in the base slot
  EXPECT_EQ(0x7013u, kav::dio_pldSetConfig(0x99, kBaseHwa, 0, 0, 0));         // no such slot
  EXPECT_EQ(0x7013u, kav::dio_pldGetTableControl(0x12, kCardHwa, 0, 0, value));
  EXPECT_EQ(0x7035u, kav::dio_pldSetTableControl(kBaseDomain, kBaseHwa, 1, 2, 7));
  EXPECT_EQ(0x7035u, kav::dio_pldSetTableControl(kBaseDomain, kBaseHwa, 1, 2, 0));
  ASSERT_EQ(0u, kav::dio_pldSetTableControl(kBaseDomain, kBaseHwa, 1, 2, 3));
  ASSERT_EQ(0u, kav::dio_pldGetTableControl(kBaseDomain, kBaseHwa, 1, 2, value));
  EXPECT_EQ(3u, value);
  // Another table's control leaves this one's as it was.
  ASSERT_EQ(0u, kav::dio_pldSetTableControl(kBaseDomain, kBaseHwa, 1, 0, 3));
  ASSERT_EQ(0u, kav::dio_pldSetTableControl(kBaseDomain, kBaseHwa, 1, 1, 1));
  for (const auto& [table, control] : {std::make_pair(0u, 3u), std::make_pair(1u, 1u), std::make_pair(2u, 3u)}) {
    ASSERT_EQ(0u, kav::dio_pldGetTableControl(kBaseDomain, kBaseHwa, 1, table, value));
    EXPECT_EQ(control, value) << "table " << table;
  }
  ASSERT_EQ(0u, kav::dio_pldSetConfig(kBaseDomain, kBaseHwa, 1, 5, 0x1234));
  ASSERT_EQ(0u, kav::dio_pldGetConfig(kBaseDomain, kBaseHwa, 1, 5, value));
  EXPECT_EQ(0x1234u, value);
}

TEST_F(Dio, FailingGpioCallsBecomeTheirCodes) {
  unsigned int value = 0;
  ravosim::failCalls("ravo_gpio_read_input_pins", kBaseGpio, EIO);
  EXPECT_EQ(0x50000u + EIO, kav::dio_readLevel(kBaseDomain, kBaseHwa, 1, value) & 0x7FFFFFFFu);
  EXPECT_EQ(0u, kav::dio_readLevel(kBaseDomain, kBaseHwa, 1, value));
  ravosim::failCalls("ravo_gpio_write_output_pins", kBasePlugGpio, EBUSY);
  EXPECT_EQ(0x50000u + EBUSY, kav::dio_writeLevel(kBaseDomain, kBaseHwa, 0, bit(9), 0) & 0x7FFFFFFFu);
  // Through a signal: the device's failure is the signal's result.
  KavPtr<DioHwr> led = findSignal("BaseLed", kBaseDomain);
  ASSERT_TRUE(led != nullptr);
  ravosim::failCalls("ravo_gpio_write_output_pins", kBaseGpio, EIO);
  EXPECT_EQ(0x50000u + EIO, led->on().getRcWithoutLogFlag());
  EXPECT_EQ(0u, led->off().getRc());
}

// Card 1 is plugged again while its engine cannot be opened, then its CFAM
// vanishes under a working engine.
TEST_F(Dio, EngineThatCannotOpenOrWhoseDeviceVanished) {
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ravosim::failAlways("ravo_gpio_open", kCard1Gpio, EACCES);
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1); }));
  unsigned int value = 0;
  // The engine that did not open is in the tree but reports itself closed;
  // the failed card initialisation leaves out the card-type part with the
  // card's signals.
  EXPECT_EQ(1u, countNodes("GPIO-Link_1-Engine_0", kCard1));
  EXPECT_EQ(0x7019u, kav::dio_readLevel(kCard1, kCardHwa, 0, value));
  EXPECT_EQ(0x7019u, kav::dio_writeLevel(kCard1, kCardHwa, 0, bit(1), 0));
  kav::DioSignalInfo present;
  EXPECT_FALSE(signal("OscCardPresent", kCard1, present));
  ravosim::clearFaults();

  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1); }));
  ASSERT_EQ(0u, kav::dio_readLevel(kCard1, kCardHwa, 0, value));
  EXPECT_EQ(bit(0), value & bit(0));

  // Gone without an unplug report: every call fails, and the engine logs
  // that once, with its SRC and text.
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  EXPECT_EQ(0x7017u, kav::dio_readLevel(kCard1, kCardHwa, 0, value));
  ASSERT_TRUE(signal("OscCardPresent", kCard1, present));
  EXPECT_EQ(0x7017u, present.readRc);
  EXPECT_EQ(0x7017u, code(kav::dio_writeLevel(kCard1, kCardHwa, 0, bit(1), 0)));
  std::vector<testsupport::LoggedError> gone = log.errorsWithRc(0x7017u);
  ASSERT_EQ(1u, gone.size());
  EXPECT_EQ(0x28C07102u, gone[0].src);
  EXPECT_NE(std::string::npos, gone[0].text.find("DIO Error on FSI  rc=0x00050013")) << gone[0].text;
  EXPECT_NE(std::string::npos, gone[0].text.find("PhysLinkNumber=2, PhysCascadeId=0, PhysEngineNumber=8"))
      << gone[0].text;
  EXPECT_NE(std::string::npos, gone[0].text.find("/dev/gpio/L02C0E08")) << gone[0].text;
  EXPECT_EQ(1u, std::count(gone[0].slotIds.begin(), gone[0].slotIds.end(), kCard1));
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  // The old handle stays stale; a new build of the card opens a fresh one.
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1); }));
  EXPECT_EQ(0u, kav::dio_readLevel(kCard1, kCardHwa, 0, value));
  EXPECT_EQ(1u, log.errorsWithRc(0x7017u).size());
}

// OscCard0LedFromBase lives in the base domain and drives pin 8 of card 0's
// engine through a dynamic link: it loses its device with the card and, when
// the card returns, configures the pin and sets its state again, in order.
TEST_F(Dio, SignalOnACardThatLeavesAndReturns) {
  KavPtr<DioHwr> led = findSignal("OscCard0LedFromBase", kBaseDomain);
  ASSERT_TRUE(led != nullptr);
  EXPECT_TRUE(led->getPendingInitSequences().empty());
  uint32_t levels = 0;
  ASSERT_TRUE(ravosim::readPinLevels(kCard0Gpio, levels));
  EXPECT_EQ(bit(kLedFromBasePin), levels & bit(kLedFromBasePin));  // initial state on, applied when the card came

  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 1; }));
  ASSERT_TRUE(waitFor([&] { return !led->getPendingInitSequences().empty(); }));
  EXPECT_EQ((kavstl::vector<initSequence::Id_t>{initSequence::INIT_CONFIG_DIO, initSequence::INIT_DEACTIVATED_HW}),
            led->getPendingInitSequences());
  EXPECT_EQ(0x7360u, led->off().getRc());  // remembered for the card's return
  EXPECT_EQ(0x7360u, led->on().getRc());
  kav::DioSignalInfo info;
  ASSERT_TRUE(signal("OscCard0LedFromBase", kBaseDomain, info));
  EXPECT_EQ(0x7360u, info.readRc);

  // Back at power-on state: pin 8 is an input again and low.
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  ASSERT_TRUE(ravosim::readPinLevels(kCard0Gpio, levels));
  EXPECT_EQ(0u, levels & bit(kLedFromBasePin));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard0); }));
  ASSERT_TRUE(waitFor([&] { return led->getPendingInitSequences().empty(); }));
  // Configured as push-pull output again and set to the last requested state.
  ASSERT_TRUE(ravosim::readPinLevels(kCard0Gpio, levels));
  EXPECT_EQ(bit(kLedFromBasePin), levels & bit(kLedFromBasePin));
  ASSERT_TRUE(signal("OscCard0LedFromBase", kBaseDomain, info));
  EXPECT_EQ(0u, info.readRc);
  EXPECT_EQ(1u, info.state);
  ASSERT_EQ(0u, led->off().getRc());
  ASSERT_TRUE(ravosim::readPinLevels(kCard0Gpio, levels));
  EXPECT_EQ(0u, levels & bit(kLedFromBasePin));
}
