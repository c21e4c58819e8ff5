// The oscillator card's scratchpad path in a started library on the default
// simulated machine: its Ram is built from the card's configuration, its
// tables land in the card's scratchpad, and the card keeps them when it
// leaves and returns in the same process.
#include <gtest/gtest.h>

#include <vector>

#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/runtime/ColdStart.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeRoot.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

using namespace e2e;

namespace {

const char* const kCard0Scratchpad = "/dev/scp/L01C0E03";

using Bytes = std::vector<unsigned char>;

KavPtr<Ram> cardRam(unsigned int slotId) { return findObject<Ram>(get_id_by_string("OscCardRam"), slotId); }

Bytes stored(unsigned offset, unsigned len) {
  Bytes b(len, 0xEE);
  EXPECT_TRUE(ravosim::readScratchpad(kCard0Scratchpad, offset, b.data(), len));
  return b;
}

class Scratchpad : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A process started from power-off, with a card whose memory holds an
    // earlier life's bytes and has not seen this cold start yet.
    const Bytes old(16, 0xA5);
    ASSERT_TRUE(ravosim::writeScratchpad(kCard0Scratchpad, 0, old.data(), 16));
    ASSERT_TRUE(ravosim::setColdStart(kCard0Scratchpad, true));
    g_coldStart = true;
    ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
    ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
    ASSERT_TRUE(waitFor([] { return configured(kCard0) && cardRam(kCard0) != nullptr; }));
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(0, kav::stop());
    g_coldStart = false;
  }
};

}  // namespace

TEST_F(Scratchpad, CardTablesLiveInTheCardsScratchpadAndSurviveAReplug) {
  KavPtr<Ram> ram = cardRam(kCard0);
  ASSERT_TRUE(ram != nullptr);
  ASSERT_TRUE(waitFor([&] { return ram->isInitialized(); }));
  unsigned size = 0;
  EXPECT_EQ(0u, ram->getSize(&size).getRc());
  EXPECT_EQ(1024u, size);
  // Cold start: the earlier life's bytes are gone, the memory knows it.
  EXPECT_EQ(Bytes(16, 0), stored(0, 16));
  bool cold = true;
  ASSERT_TRUE(ravosim::coldStart(kCard0Scratchpad, cold));
  EXPECT_FALSE(cold);

  // The state table first (state byte, PLL pattern, steering flag,
  // spreading direction and amount: 1 + 4 + 1 + 1 + 4 bytes), then the
  // replica table: 1 + 1 + 1 + 1 bytes.
  const unsigned fru = get_id_by_string("FruStateTable");
  const unsigned osc = get_id_by_string("OscSelectionTable");
  // Activated and fenced: a state the card's start-up keeps (an activation
  // left running, 1, would be reset to 0 when the card returns).
  const unsigned char state = 0x06;
  ASSERT_EQ(0u, ram->writeField(fru, get_id_by_string("FruStateByte"), &state, 1, 0).getRc());
  const unsigned char current = 0x91;
  ASSERT_EQ(0u, ram->writeField(osc, get_id_by_string("CurrentOscSelection"), &current, 1, 0).getRc());
  const unsigned char debug = 1;
  ASSERT_EQ(0u, ram->writeField(osc, get_id_by_string("OscDebugMode"), &debug, 1, 0).getRc());
  EXPECT_EQ((Bytes{0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x91, 0x00, 0x01}), stored(0, 15));

  // The card leaves and returns: a new engine opens its memory while the
  // process's cold-start flag is still set, and keeps what is there.
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard0) == 1; }));
  ram = KavPtr<Ram>();
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard0) && cardRam(kCard0) != nullptr; }));
  ram = cardRam(kCard0);
  ASSERT_TRUE(waitFor([&] { return ram->isInitialized(); }));
  EXPECT_EQ((Bytes{0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x91, 0x00, 0x01}), stored(0, 15));
  unsigned char back = 0;
  ASSERT_EQ(0u, ram->readField(fru, get_id_by_string("FruStateByte"), &back, 1, 0).getRc());
  EXPECT_EQ(0x06, back);
}
