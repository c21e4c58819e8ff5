// Power cuts of the simulated machine: the power goes after the Nth
// scratchpad write, optionally tearing that write; later writes fail until
// the machine is restarted, and the restarted machine sees exactly what
// reached the memory.
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/TempDir.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine name="power">
  <cfam link="0" cascade="0">
    <gpio number="8"/>
    <scratchpad number="3" size="64"/>
    <iomux number="4" size="4"/>
  </cfam>
  <cfam link="1" cascade="0" type="osc" serial="A1">
    <scratchpad number="3" size="64"/>
  </cfam>
</machine>)";

const char* const kScp0 = "/dev/scp/L00C0E03";
const char* const kScp1 = "/dev/scp/L01C0E03";

class SimPower : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir.path(), kMachine, "power.xml"));
    ravosim::restartMachine();
  }
  void TearDown() override {
    ravosim::restartMachine();
    EXPECT_EQ(ravosim::openHandles(), 0u);
  }
  // One write of `bytes` at `offset` through a handle of its own; the
  // result of ravo_scp_write.
  static ssize_t write(const char* path, uint32_t offset, const std::vector<uint8_t>& bytes, int* err = nullptr) {
    ravo_struct* h = ravo_scp_open(path, O_RDWR | O_SYNC);
    if (!h) return -2;
    ssize_t n = -3;
    if (ravo_scp_seek(h, offset, SEEK_SET) == offset) {
      errno = 0;
      n = ravo_scp_write(h, bytes.data(), bytes.size());
      if (err) *err = errno;
    }
    ravo_scp_close(h);
    return n;
  }
  static std::vector<uint8_t> stored(const char* path, uint32_t offset, uint32_t len) {
    std::vector<uint8_t> v(len);
    EXPECT_TRUE(ravosim::readScratchpad(path, offset, v.data(), len));
    return v;
  }
  testsupport::TempDir m_dir{"ravo-sim-power"};
};

// Three writes of four bytes each over "old" contents, the power cut after
// write N, torn after k bytes or not: after the restart every byte is old
// or new, and exactly the bytes that reached the memory are new.
TEST_F(SimPower, RestartSeesWhatReachedTheMemory) {
  const std::vector<uint8_t> old(12, 0x11);
  const std::vector<uint8_t> fresh[3] = {{0xA0, 0xA1, 0xA2, 0xA3}, {0xB0, 0xB1, 0xB2, 0xB3}, {0xC0, 0xC1, 0xC2, 0xC3}};
  struct Case {
    unsigned cutAfter;
    int tear;
    unsigned newBytes;  // of the 12, from the start
  };
  const Case cases[] = {
      {1, -1, 4}, {2, -1, 8}, {3, -1, 12}, {1, 0, 0}, {2, 1, 5}, {3, 3, 11}, {2, 4, 8}, {2, 9, 8},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE("cut after write " + std::to_string(k.cutAfter) + ", tear " + std::to_string(k.tear));
    ASSERT_EQ(write(kScp0, 0, old), 12);
    const uint64_t before = ravosim::scratchpadWrites();
    ravosim::cutPowerAfterScratchpadWrites(k.cutAfter, k.tear);
    for (unsigned i = 0; i < 3; ++i) {
      int err = 0;
      const ssize_t n = write(kScp0, 4 * i, fresh[i], &err);
      const bool torn = i + 1 == k.cutAfter && k.tear >= 0 && k.tear < 4;
      if (i + 1 < k.cutAfter || (i + 1 == k.cutAfter && !torn)) {
        EXPECT_EQ(n, 4) << i;
      } else {
        EXPECT_EQ(n, -1) << i;
        EXPECT_EQ(err, EIO) << i;
      }
    }
    EXPECT_TRUE(ravosim::powerIsCut());
    EXPECT_EQ(ravosim::scratchpadWrites() - before, k.cutAfter);
    ravosim::restartMachine();
    EXPECT_FALSE(ravosim::powerIsCut());
    std::vector<uint8_t> expected = old;
    for (unsigned b = 0; b < k.newBytes; ++b) expected[b] = fresh[b / 4][b % 4];
    EXPECT_EQ(stored(kScp0, 0, 12), expected);
    // Read back through a fresh handle, as the restarted program does.
    ravo_struct* h = ravo_scp_open(kScp0, O_RDWR | O_SYNC);
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> back(12);
    ASSERT_EQ(ravo_scp_read(h, back.data(), 12), 12);
    EXPECT_EQ(back, expected);
    EXPECT_EQ(ravo_scp_close(h), 0);
  }
}

TEST_F(SimPower, WithoutPowerNothingPersistentChangesUntilTheRestart) {
  ravo_struct* scp = ravo_scp_open(kScp1, O_RDWR | O_SYNC);
  ravo_struct* mux = ravo_iomux_open("/dev/iomux/L00C0E04", O_RDWR);
  ASSERT_NE(scp, nullptr);
  ASSERT_NE(mux, nullptr);
  ravosim::cutPowerAfterScratchpadWrites(1);
  const uint8_t b = 0x42;
  ASSERT_EQ(ravo_scp_write(scp, &b, 1), 1);
  struct Call {
    const char* name;
    int (*call)(ravo_struct* scp, ravo_struct* mux);
  };
  const Call calls[] = {
      {"ravo_scp_write", [](ravo_struct* s, ravo_struct*) { return static_cast<int>(ravo_scp_write(s, "x", 1)); }},
      {"ravo_scp_reset_coldstart_state", [](ravo_struct* s, ravo_struct*) { return ravo_scp_reset_coldstart_state(s); }},
      {"ravo_iomux_write",
       [](ravo_struct*, ravo_struct* m) {
         const ravo_iomux_entry_t e = 0x10000000u;
         int errors = 0;
         return ravo_iomux_write(m, &e, 1, 0, &errors);
       }},
      {"ravo_iomux_validate", [](ravo_struct*, ravo_struct* m) { return ravo_iomux_validate(m); }},
      {"ravo_iomux_invalidate", [](ravo_struct*, ravo_struct* m) { return ravo_iomux_invalidate(m); }},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    errno = 0;
    EXPECT_EQ(c.call(scp, mux), -1);
    EXPECT_EQ(errno, EIO);
  }
  // Reading still works until the restart; afterwards the old handles are
  // gone, as they would be in a new process.
  uint8_t back = 0;
  ASSERT_EQ(ravo_scp_seek(scp, 0, SEEK_SET), 0);
  EXPECT_EQ(ravo_scp_read(scp, &back, 1), 1);
  EXPECT_EQ(back, 0x42);
  ravosim::restartMachine();
  errno = 0;
  EXPECT_EQ(ravo_scp_read(scp, &back, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_scp_close(scp), 0);
  EXPECT_EQ(ravo_iomux_close(mux), 0);
  std::vector<uint32_t> entries;
  int state = -1;
  ASSERT_TRUE(ravosim::readIomux("/dev/iomux/L00C0E04", entries, state));
  EXPECT_EQ(entries, std::vector<uint32_t>(4, 0));
  EXPECT_EQ(state, RAVO_IOMUX_STATE_WRITABLE);
  // The write before the cut reached the card and stays; the cold start too.
  EXPECT_EQ(stored(kScp1, 0, 1), std::vector<uint8_t>{0x42});
  EXPECT_EQ(write(kScp1, 1, {0x43}), 1);
}

TEST_F(SimPower, OnlyMatchingScratchpadsCountAndZeroDisarms) {
  ravosim::cutPowerAfterScratchpadWrites(2, -1, "/dev/scp/L01C0*");
  EXPECT_EQ(write(kScp0, 0, {1}), 1);
  EXPECT_EQ(write(kScp1, 0, {1}), 1);
  EXPECT_EQ(write(kScp0, 0, {2}), 1);
  EXPECT_FALSE(ravosim::powerIsCut());
  EXPECT_EQ(write(kScp1, 0, {2}), 1);
  EXPECT_TRUE(ravosim::powerIsCut());
  EXPECT_EQ(write(kScp0, 0, {3}), -1);  // the cut is machine-wide
  ravosim::restartMachine();
  ravosim::cutPowerAfterScratchpadWrites(1);
  ravosim::cutPowerAfterScratchpadWrites(0);
  EXPECT_EQ(write(kScp0, 0, {4}), 1);
  EXPECT_EQ(write(kScp0, 0, {5}), 1);
  EXPECT_FALSE(ravosim::powerIsCut());
}

TEST_F(SimPower, RestartBringsDevicesToPowerOnAndKeepsTheCards) {
  ASSERT_TRUE(ravosim::swapCard(1, 0, {"osc", "N9"}));
  EXPECT_EQ(write(kScp1, 0, {0x99}), 1);
  ASSERT_TRUE(ravosim::setInputLevel("/dev/gpio/L00C0E08", 4, true));
  ravosim::restartMachine();
  ravosim::CardIdentity id;
  ASSERT_TRUE(ravosim::cardIdentity(1, 0, id));
  EXPECT_EQ(id.serial, "N9");
  EXPECT_EQ(stored(kScp1, 0, 1), std::vector<uint8_t>{0x99});
  uint32_t levels = 0;
  ASSERT_TRUE(ravosim::readPinLevels("/dev/gpio/L00C0E08", levels));
  EXPECT_EQ(levels, 0u);
}

}  // namespace
