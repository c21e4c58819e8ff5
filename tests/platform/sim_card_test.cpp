// Cards of the simulated machine: scratchpad and I/O multiplexer contents
// belong to the card (type and serial) and go where it goes; new and blank
// cards arrive empty; the layout of the state folder and the adoption of
// files kept by place by earlier versions.
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/TempDir.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine name="cards">
  <cfam link="0" cascade="0">
    <scratchpad number="3" size="64"/>
  </cfam>
  <cfam link="1" cascade="0" type="osc" serial="A1">
    <scratchpad number="3" size="64"/>
    <iomux number="4" size="4"/>
  </cfam>
  <cfam link="2" cascade="0" type="osc" serial="B2">
    <scratchpad number="3" size="64"/>
    <iomux number="4" size="4"/>
  </cfam>
</machine>)";

std::string scp(unsigned link) { return "/dev/scp/L0" + std::to_string(link) + "C0E03"; }
std::string mux(unsigned link) { return "/dev/iomux/L0" + std::to_string(link) + "C0E04"; }

class SimCard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir.path(), kMachine, "cards.xml"));
  }
  void TearDown() override { EXPECT_EQ(ravosim::openHandles(), 0u); }

  // Writes through the ravo calls: a byte at offset 0, the cold start ended
  // and one multiplexer entry (when the card has a multiplexer).
  void store(unsigned link, uint8_t value) {
    ravo_struct* h = ravo_scp_open(scp(link).c_str(), O_RDWR | O_SYNC);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ravo_scp_seek(h, 0, SEEK_SET), 0);
    ASSERT_EQ(ravo_scp_write(h, &value, 1), 1);
    ASSERT_EQ(ravo_scp_reset_coldstart_state(h), 0);
    ASSERT_EQ(ravo_scp_close(h), 0);
    if (link == 0) return;
    ravo_struct* m = ravo_iomux_open(mux(link).c_str(), O_RDWR);
    ASSERT_NE(m, nullptr);
    const ravo_iomux_entry_t entry = static_cast<ravo_iomux_entry_t>(value) << 24;
    int errors = -1;
    ASSERT_EQ(ravo_iomux_seek(m, 1, SEEK_SET), 1);
    ASSERT_EQ(ravo_iomux_write(m, &entry, 1, 0, &errors), 1);
    ASSERT_EQ(errors, 0);
    ASSERT_EQ(ravo_iomux_close(m), 0);
  }
  // What a program opening the card now would read: the byte at 0, the
  // cold-start state and the multiplexer entry (0 without one).
  struct Seen {
    uint8_t byte;
    int cold;
    uint32_t entry;
    bool operator==(const Seen& o) const { return byte == o.byte && cold == o.cold && entry == o.entry; }
  };
  Seen seen(unsigned link) {
    Seen s{0xEE, -1, 0xEEEEEEEE};
    ravo_struct* h = ravo_scp_open(scp(link).c_str(), O_RDWR | O_SYNC);
    EXPECT_NE(h, nullptr) << scp(link);
    if (!h) return s;
    EXPECT_EQ(ravo_scp_read(h, &s.byte, 1), 1);
    EXPECT_EQ(ravo_scp_read_coldstart_state(h, &s.cold), 0);
    EXPECT_EQ(ravo_scp_close(h), 0);
    s.entry = 0;
    if (link == 0) return s;
    std::vector<uint32_t> entries;
    int state = 0;
    EXPECT_TRUE(ravosim::readIomux(mux(link), entries, state));
    if (entries.size() == 4) s.entry = entries[1];
    return s;
  }
  static Seen card(uint8_t value) { return Seen{value, 0, static_cast<uint32_t>(value) << 24}; }
  static Seen empty() { return Seen{0, 1, 0}; }

  testsupport::TempDir m_dir{"ravo-sim-card"};
};

TEST_F(SimCard, StateGoesWhereTheCardGoes) {
  store(1, 0xA1);
  store(2, 0xB2);
  // Card A1 moves to L02C0: B2 is pulled, L01C0 is left empty.
  ASSERT_TRUE(ravosim::swapCard(2, 0, {"osc", "A1"}));
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));
  EXPECT_TRUE(ravosim::cfamPresent(2, 0));
  ravosim::CardIdentity id;
  ASSERT_TRUE(ravosim::cardIdentity(1, 0, id));
  EXPECT_EQ(id.serial, "");
  EXPECT_TRUE(seen(2) == card(0xA1));
  // B2 goes into L01C0: the two cards have changed places.
  ASSERT_TRUE(ravosim::swapCard(1, 0, {"osc", "B2"}));
  EXPECT_TRUE(seen(1) == card(0xB2));
  EXPECT_TRUE(seen(2) == card(0xA1));
  // A new process with a description that has them this way sees the same.
  ravosim::LoadResult r = ravosim::loadMachineText(
      R"(<machine><cfam link="1" cascade="0" type="osc" serial="B2"><scratchpad number="3" size="64"/>
         <iomux number="4" size="4"/></cfam>
         <cfam link="2" cascade="0" type="osc" serial="A1"><scratchpad number="3" size="64"/>
         <iomux number="4" size="4"/></cfam></machine>)",
      "moved.xml");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(seen(1) == card(0xB2));
  EXPECT_TRUE(seen(2) == card(0xA1));
}

TEST_F(SimCard, NewAndBlankCardsArriveEmpty) {
  store(1, 0xA1);
  struct Step {
    const char* what;
    ravosim::CardIdentity card;
    bool storeAfter;
    Seen expected;
  };
  const Step steps[] = {
      {"a card never seen", {"osc", "N9"}, true, empty()},
      {"A1 back", {"osc", "A1"}, false, card(0xA1)},
      {"N9 back", {"osc", "N9"}, false, card(0x19)},
      {"a blank card", {"osc", ""}, true, empty()},
      {"another blank card", {"", ""}, false, empty()},
      {"A1 again", {"osc", "A1"}, false, card(0xA1)},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    ASSERT_TRUE(ravosim::swapCard(1, 0, s.card));
    EXPECT_TRUE(seen(1) == s.expected);
    if (s.storeAfter) store(1, 0x19);
  }
  // A blank card pulled and plugged again is the same card: it keeps its state.
  ASSERT_TRUE(ravosim::swapCard(1, 0, {"osc", ""}));
  store(1, 0x77);
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  EXPECT_TRUE(seen(1) == card(0x77));
}

TEST_F(SimCard, HandlesOfThePulledCardGoStale) {
  ravo_struct* h = ravo_scp_open(scp(1).c_str(), O_RDWR | O_SYNC);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(ravosim::swapCard(1, 0, {"osc", "N9"}));
  uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(ravo_scp_read(h, &b, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_scp_close(h), 0);
}

TEST_F(SimCard, RefusedSwaps) {
  const struct {
    unsigned link;
    ravosim::CardIdentity card;
  } cases[] = {{7, {"osc", "A1"}}, {1, {"osc", "a/b"}}, {1, {"", "A1"}}, {1, {".", ""}}, {1, {"osc", ".."}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.card.type + " " + c.card.serial);
    EXPECT_FALSE(ravosim::swapCard(c.link, 0, c.card));
  }
  ravosim::CardIdentity id;
  ASSERT_TRUE(ravosim::cardIdentity(1, 0, id));
  EXPECT_EQ(id.type, "osc");
  EXPECT_EQ(id.serial, "A1");
  EXPECT_TRUE(ravosim::cfamPresent(1, 0));
}

TEST_F(SimCard, StateFolderLayout) {
  store(0, 0x10);
  store(1, 0xA1);
  namespace fs = std::filesystem;
  const std::string dir = m_dir.path();
  EXPECT_EQ(ravosim::cardStateFolder(0, 0), dir + "/slots/L00C0");
  EXPECT_EQ(ravosim::cardStateFolder(1, 0), dir + "/cards/osc/A1");
  EXPECT_EQ(ravosim::cardStateFolder(9, 0), "");
  EXPECT_TRUE(fs::is_regular_file(dir + "/slots/L00C0/scp-E03.bin"));
  EXPECT_TRUE(fs::is_regular_file(dir + "/cards/osc/A1/scp-E03.bin"));
  EXPECT_TRUE(fs::is_regular_file(dir + "/cards/osc/A1/iomux-E04.bin"));
  EXPECT_FALSE(fs::exists(dir + "/cards/osc/B2"));  // nothing written yet
  ravosim::resetMachine();  // wipes every card's state
  EXPECT_FALSE(fs::exists(dir + "/cards"));
  EXPECT_FALSE(fs::exists(dir + "/slots"));
  EXPECT_TRUE(seen(1) == empty());
}

// Earlier versions kept the files by place in the state folder itself. Such
// a file goes over once to the card in that place, unless that card has a
// file of its own.
TEST_F(SimCard, FileKeptByPlaceGoesOverToTheCardThere) {
  testsupport::TempDir old("ravo-sim-card-old");
  auto oldFile = [&](const char* name, uint8_t byte) {
    std::string data(12 + 64, '\0');
    const uint32_t header[3] = {0x52534350u, 64, 0};  // "RSCP", size, not cold
    std::memcpy(&data[0], header, sizeof header);
    data[12] = static_cast<char>(byte);
    std::ofstream(old.path() + "/" + name, std::ios::binary) << data;
  };
  oldFile("scp-L00C0E03.bin", 0x10);
  oldFile("scp-L01C0E03.bin", 0xA1);
  oldFile("scp-L02C0E03.bin", 0xB2);
  // B2 already has its own state there.
  ravosim::setStateDir(old.path());
  store(2, 0x22);
  oldFile("scp-L02C0E03.bin", 0xB2);
  ravosim::setStateDir(m_dir.path());
  ravosim::setStateDir(old.path());
  namespace fs = std::filesystem;
  EXPECT_EQ(seen(0).byte, 0x10);
  EXPECT_EQ(seen(0).cold, 0);
  EXPECT_EQ(seen(1).byte, 0xA1);
  EXPECT_EQ(seen(2).byte, 0x22);
  EXPECT_FALSE(fs::exists(old.path() + "/scp-L00C0E03.bin"));
  EXPECT_FALSE(fs::exists(old.path() + "/scp-L01C0E03.bin"));
  EXPECT_TRUE(fs::exists(old.path() + "/scp-L02C0E03.bin"));
  EXPECT_TRUE(fs::is_regular_file(old.path() + "/cards/osc/A1/scp-E03.bin"));
  ravosim::setStateDir(m_dir.path());
}

}  // namespace
