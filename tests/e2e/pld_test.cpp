// Programmable logic and I/O multiplexing of a started library on the
// default simulated machine: the cards' multiplexer set-up at card plug,
// the configuration words and lookup-table controls, a multiplexer that
// does not take the set-up and a card that vanishes.
#include <fcntl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "kav/hwaccess/dio/dio_access.h"
#include "kav/hwaccess/pld/PldHwr.h"
#include "kav/tree/config/StringToId.h"
#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;

namespace {

const unsigned int kCardHwa = 1;
const char* const kCard1Iomux = "/dev/iomux/L02C0E04";

// The card's multiplexer set-up (config/HwaConfig_20B20001.xml): groups 0
// and 1 GPIO, group 2 I2C, gates 0xF and threshold 0xA; groups 5 and 6 off.
const uint32_t kGpioGroup = 0x8FA00000u;
const uint32_t kI2cGroup = 0x9FA00000u;
const uint32_t kOffGroup = 0x00000000u;

std::vector<ravosim::Transaction> iomuxWrites(const char* path) {
  std::vector<ravosim::Transaction> writes;
  for (const ravosim::Transaction& t : ravosim::readTransactionLog(path))
    if (t.kind == ravosim::Transaction::IomuxWrite) writes.push_back(t);
  return writes;
}

void replugCard1() {
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard1); }));
}

// Writes entries through the device access library and leaves the
// multiplexer validated or writable: a multiplexer as earlier firmware set
// it up.
void setUpMultiplexer(const std::vector<std::pair<unsigned int, std::vector<uint32_t>>>& writes, bool validate) {
  ravo_struct* h = ravo_iomux_open(kCard1Iomux, O_RDWR);
  ASSERT_NE(nullptr, h);
  ASSERT_EQ(0, ravo_iomux_invalidate(h));
  for (const auto& w : writes) {
    ASSERT_EQ(static_cast<int64_t>(w.first), ravo_iomux_seek(h, w.first, SEEK_SET));
    int errors = -1;
    ASSERT_EQ(static_cast<int>(w.second.size()),
              ravo_iomux_write(h, w.second.data(), static_cast<uint32_t>(w.second.size()), 0, &errors));
  }
  if (validate) {
    ASSERT_EQ(0, ravo_iomux_validate(h));
  }
  ASSERT_EQ(0, ravo_iomux_close(h));
}

// The logged errors whose text holds the part.
std::vector<testsupport::LoggedError> logged(const testsupport::RecordingLogSink& sink, const std::string& part) {
  std::vector<testsupport::LoggedError> found;
  for (const testsupport::LoggedError& e : sink.errors())
    if (e.text.find(part) != std::string::npos) found.push_back(e);
  return found;
}

class Pld : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithBothCards(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void TearDown() override { ravosim::clearFaults(); }
};

}  // namespace

TEST_F(Pld, CardPlugWritesTheMultiplexerInRunsAndTheConfigurationWords) {
  for (const char* path : {"/dev/iomux/L01C0E04", "/dev/iomux/L02C0E04"}) {
    SCOPED_TRACE(path);
    const std::vector<ravosim::Transaction> writes = iomuxWrites(path);
    ASSERT_EQ(2u, writes.size()) << ravosim::formatTransactionLog(writes);
    EXPECT_EQ(0u, writes[0].offset);
    EXPECT_EQ((std::vector<uint32_t>{kGpioGroup, kGpioGroup, kI2cGroup}), writes[0].entries);
    EXPECT_EQ(5u, writes[1].offset);
    EXPECT_EQ((std::vector<uint32_t>{kOffGroup, kOffGroup}), writes[1].entries);
    std::vector<uint32_t> entries;
    int state = -1;
    ASSERT_TRUE(ravosim::readIomux(path, entries, state));
    ASSERT_EQ(22u, entries.size());
    EXPECT_EQ(kI2cGroup, entries[2]);
    EXPECT_EQ(0u, entries[3]);
  }
  for (unsigned int slot : {kCard0, kCard1}) {
    SCOPED_TRACE(slot);
    unsigned int config = 0;
    ASSERT_EQ(0, kav::dio_pldGetConfig(slot, kCardHwa, 0, 0, config));
    EXPECT_EQ(0x0003u, config);
    ASSERT_EQ(0, kav::dio_pldGetConfig(slot, kCardHwa, 0, 1, config));
    EXPECT_EQ(0x00A5u, config);
  }
}

TEST_F(Pld, ClockEnableControlsOfTheCard) {
  // The cards came up deactivated: both clock enables disabled.
  for (unsigned int table : {0u, 1u}) {
    unsigned int control = 0;
    ASSERT_EQ(0, kav::dio_pldGetTableControl(kCard1, kCardHwa, 0, table, control));
    EXPECT_EQ(2u, control) << table;
  }
  KavPtr<PldHwr> pll = findObject<PldHwr>(get_id_by_string("PllClkEnable"), kCard0, true);
  KavPtr<PldHwr> crc = findObject<PldHwr>(get_id_by_string("CrcClkEnable"), kCard0, true);
  ASSERT_TRUE(pll != nullptr);
  ASSERT_TRUE(crc != nullptr);
  EXPECT_EQ(0u, pll->getPldId());
  EXPECT_EQ(1u, crc->getPldId());
  // The clock-enable pins (engine 8, pins 12 and 13) follow their tables.
  const char* const gpio = "/dev/gpio/L01C0E08";
  auto pin = [&](unsigned n) {
    uint32_t levels = 0;
    EXPECT_TRUE(ravosim::readPinLevels(gpio, levels));
    return (levels & bit(n)) != 0;
  };
  EXPECT_FALSE(pin(12));
  EXPECT_FALSE(pin(13));
  ASSERT_EQ(0u, pll->writeLookupTableControl(kavPld::LOOKUP_CONTROL_3).getRc());
  unsigned int control = 0;
  ASSERT_EQ(0, kav::dio_pldGetTableControl(kCard0, kCardHwa, 0, 0, control));
  EXPECT_EQ(3u, control);
  EXPECT_TRUE(pin(12));
  EXPECT_FALSE(pin(13));
  ASSERT_EQ(0, kav::dio_pldSetTableControl(kCard0, kCardHwa, 0, 1, 1));
  kavPld::LookupControl_t read = kavPld::LOOKUP_CONTROL_NONE;
  ASSERT_EQ(0u, crc->readLookupTableControl(read).getRc());
  EXPECT_EQ(kavPld::LOOKUP_CONTROL_1, read);
  EXPECT_TRUE(pin(13));
  ASSERT_EQ(0u, pll->writeLookupTableControl(kavPld::LOOKUP_CONTROL_2).getRc());
  ASSERT_EQ(0u, crc->writeLookupTableControl(kavPld::LOOKUP_CONTROL_2).getRc());
  EXPECT_FALSE(pin(12));
  EXPECT_FALSE(pin(13));
}

// Earlier firmware validated the multiplexer with another set-up: the card
// is not set up over it; the error says so and is logged once. Made
// writable again, the next plug writes it.
TEST_F(Pld, AValidatedMultiplexerThatDiffersIsAnError) {
  testsupport::RecordingLogSink sink;
  // Both runs differ: two failures, one log.
  setUpMultiplexer({{0, {kI2cGroup}}, {5, {kGpioGroup, kGpioGroup}}}, true);
  replugCard1();
  const std::vector<testsupport::LoggedError> mismatch = logged(sink, "IoMux Error on FSI  rc=0x0000FFFF");
  ASSERT_EQ(1u, mismatch.size());
  EXPECT_EQ(0xFFFFu, mismatch[0].rc);
  EXPECT_EQ(0x28C07104u, mismatch[0].src);
  EXPECT_NE(std::string::npos, mismatch[0].text.find("error io mux cb mismatch")) << mismatch[0].text;
  std::vector<uint32_t> entries;
  int state = -1;
  ASSERT_TRUE(ravosim::readIomux(kCard1Iomux, entries, state));
  EXPECT_EQ(kI2cGroup, entries[0]);  // not written over

  setUpMultiplexer({}, false);
  ravosim::clearTransactionLog();
  replugCard1();
  EXPECT_EQ(2u, iomuxWrites(kCard1Iomux).size());
  ASSERT_TRUE(ravosim::readIomux(kCard1Iomux, entries, state));
  EXPECT_EQ(kGpioGroup, entries[0]);
  EXPECT_EQ(kOffGroup, entries[5]);
  EXPECT_EQ(1u, logged(sink, "IoMux Error on FSI").size());
}

// The card goes while its multiplexer is written, and later while it runs.
TEST_F(Pld, AVanishedCardGivesErrorsLoggedOnce) {
  testsupport::RecordingLogSink sink;
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(2, 0, "ravo_iomux_write", kCard1Iomux, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) != 1; }));
  ASSERT_TRUE(waitFor([&] { return !logged(sink, "IoMux Error on FSI").empty(); }));
  const std::vector<testsupport::LoggedError> gone = logged(sink, "IoMux Error on FSI");
  ASSERT_EQ(1u, gone.size());
  EXPECT_EQ(static_cast<unsigned int>(ENODEV), gone[0].rc);

  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  replugCard1();
  KavPtr<PldHwr> pll = findObject<PldHwr>(get_id_by_string("PllClkEnable"), kCard1, true);
  ASSERT_TRUE(pll != nullptr);
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0x7017u, pll->writeLookupTableControl(kavPld::LOOKUP_CONTROL_1).getRcWithoutLogFlag());
  }
  unsigned int config = 0;
  EXPECT_EQ(0x7017u, code(kav::dio_pldGetConfig(kCard1, kCardHwa, 0, 0, config)));
  EXPECT_EQ(1u, logged(sink, "pld id 0").size());
  EXPECT_EQ(1u, logged(sink, "IoMux Error on FSI").size());

  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  replugCard1();
  EXPECT_EQ(0, kav::dio_pldGetConfig(kCard1, kCardHwa, 0, 0, config));
  EXPECT_EQ(0x0003u, config);
}
