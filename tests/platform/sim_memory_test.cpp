// Scratchpad and I/O multiplexer of the simulated machine, and the state
// they keep across a restart of the process.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="0" cascade="0">
    <scratchpad number="3" size="256"/>
    <iomux number="4" size="22"/>
  </cfam>
</machine>)";

const char* const kScp = "/dev/scp/L00C0E03";
const char* const kMux = "/dev/iomux/L00C0E04";

class SimMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-mem-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "mem.xml"));
  }
  void TearDown() override {
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  std::string m_dir;
};

TEST_F(SimMemory, ScratchpadSeekReadWriteAndBounds) {
  ravo_struct* h = ravo_scp_open(kScp, O_RDWR | O_SYNC);
  ASSERT_NE(h, nullptr);
  uint32_t size = 0;
  ASSERT_EQ(ravo_scp_get_size(h, &size), 0);
  EXPECT_EQ(size, 256u);
  const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(ravo_scp_seek(h, 250, SEEK_SET), 250);
  ASSERT_EQ(ravo_scp_write(h, data, 6), 6);  // ends exactly at the end
  uint8_t back[6] = {};
  ASSERT_EQ(ravo_scp_seek(h, -6, SEEK_END), 250);
  ASSERT_EQ(ravo_scp_read(h, back, 6), 6);
  EXPECT_EQ(std::memcmp(back, data, 6), 0);
  ASSERT_EQ(ravo_scp_seek(h, 251, SEEK_SET), 251);
  errno = 0;
  EXPECT_EQ(ravo_scp_write(h, data, 6), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_scp_read(h, back, 6), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_scp_seek(h, 257, SEEK_SET), -1);
  EXPECT_EQ(ravo_scp_seek(h, -1, SEEK_SET), -1);
  uint8_t direct[6] = {};
  ASSERT_TRUE(ravosim::readScratchpad(kScp, 250, direct, 6));
  EXPECT_EQ(std::memcmp(direct, data, 6), 0);  // the failed write changed nothing
  EXPECT_EQ(ravo_scp_close(h), 0);

  ravo_struct* ro = ravo_scp_open(kScp, O_RDONLY);
  ASSERT_NE(ro, nullptr);
  EXPECT_EQ(ravo_scp_write(ro, data, 1), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(ravo_scp_close(ro), 0);
}

TEST_F(SimMemory, ColdStartStateUntilReset) {
  ravo_struct* h = ravo_scp_open(kScp, O_RDWR);
  ASSERT_NE(h, nullptr);
  int cold = -1;
  ASSERT_EQ(ravo_scp_read_coldstart_state(h, &cold), 0);
  EXPECT_EQ(cold, 1);
  ASSERT_EQ(ravo_scp_reset_coldstart_state(h), 0);
  ASSERT_EQ(ravo_scp_read_coldstart_state(h, &cold), 0);
  EXPECT_EQ(cold, 0);
  ravosim::resetMachine();  // power-on: contents lost
  ASSERT_EQ(ravo_scp_read_coldstart_state(h, &cold), 0);
  EXPECT_EQ(cold, 1);
  EXPECT_EQ(ravo_scp_close(h), 0);
}

// Contents and cold-start state set through the control interface are what
// the ravo calls see, and what a restarted process finds.
TEST_F(SimMemory, ControlWritesAreStoredLikeTheCardsOwn) {
  const uint8_t bytes[3] = {7, 8, 9};
  ASSERT_TRUE(ravosim::writeScratchpad(kScp, 253, bytes, 3));
  ASSERT_TRUE(ravosim::setColdStart(kScp, false));
  EXPECT_FALSE(ravosim::writeScratchpad(kScp, 254, bytes, 3));  // past the end
  EXPECT_FALSE(ravosim::writeScratchpad("/dev/scp/L00C0E05", 0, bytes, 1));
  EXPECT_FALSE(ravosim::setColdStart("/dev/iomux/L00C0E04", true));
  ravosim::setStateDir(m_dir);  // reloaded from the folder
  ravo_struct* h = ravo_scp_open(kScp, O_RDWR);
  ASSERT_NE(h, nullptr);
  int cold = -1;
  ASSERT_EQ(ravo_scp_read_coldstart_state(h, &cold), 0);
  EXPECT_EQ(cold, 0);
  uint8_t back[3] = {};
  ASSERT_EQ(ravo_scp_seek(h, 253, SEEK_SET), 253);
  ASSERT_EQ(ravo_scp_read(h, back, 3), 3);
  EXPECT_EQ(std::memcmp(back, bytes, 3), 0);
  EXPECT_EQ(ravo_scp_close(h), 0);
  ASSERT_TRUE(ravosim::setColdStart(kScp, true));
  bool isCold = false;
  ASSERT_TRUE(ravosim::coldStart(kScp, isCold));
  EXPECT_TRUE(isCold);
}

// A child process writes the scratchpad and the multiplexer and ends; this
// process then loads the state directory afresh, as a restarted service
// processor would, and finds the same bytes and states.
TEST_F(SimMemory, StateSurvivesARestartOfTheProcess) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ravo_struct* scp = ravo_scp_open(kScp, O_RDWR | O_SYNC);
    const uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    bool ok = scp && ravo_scp_seek(scp, 100, SEEK_SET) == 100 && ravo_scp_write(scp, data, 4) == 4 &&
              ravo_scp_reset_coldstart_state(scp) == 0;
    ravo_struct* mux = ravo_iomux_open(kMux, O_RDWR);
    const uint32_t entries[2] = {0xB5A00000u, 0x80000000u};
    int errors = -1;
    ok = ok && mux && ravo_iomux_seek(mux, 20, SEEK_SET) == 20 && ravo_iomux_write(mux, entries, 2, 0, &errors) == 2 &&
         errors == 0 && ravo_iomux_validate(mux) == 0;
    _exit(ok ? 0 : 1);  // no close: the process just ends
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // Nothing of it is in this process's model yet.
  uint8_t bytes[4] = {};
  ASSERT_TRUE(ravosim::readScratchpad(kScp, 100, bytes, 4));
  EXPECT_EQ(bytes[0], 0);
  ravosim::setStateDir(m_dir);

  ravo_struct* scp = ravo_scp_open(kScp, O_RDWR);
  ASSERT_NE(scp, nullptr);
  int cold = -1;
  ASSERT_EQ(ravo_scp_read_coldstart_state(scp, &cold), 0);
  EXPECT_EQ(cold, 0);
  ASSERT_EQ(ravo_scp_seek(scp, 100, SEEK_SET), 100);
  ASSERT_EQ(ravo_scp_read(scp, bytes, 4), 4);
  const uint8_t expected[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  EXPECT_EQ(std::memcmp(bytes, expected, 4), 0);
  EXPECT_EQ(ravo_scp_close(scp), 0);

  ravo_struct* mux = ravo_iomux_open(kMux, O_RDWR);
  ASSERT_NE(mux, nullptr);
  EXPECT_EQ(ravo_iomux_query_state(mux), RAVO_IOMUX_STATE_VALIDATED);
  uint32_t entries[2] = {};
  ASSERT_EQ(ravo_iomux_seek(mux, 20, SEEK_SET), 20);
  ASSERT_EQ(ravo_iomux_read(mux, entries, 2), 2);
  EXPECT_EQ(entries[0], 0xB5A00000u);
  EXPECT_EQ(entries[1], 0x80000000u);
  EXPECT_EQ(ravo_iomux_close(mux), 0);

  // Another state directory is another machine's memory.
  char tmpl[] = "/tmp/ravo-sim-mem-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  ravosim::setStateDir(tmpl);
  ASSERT_TRUE(ravosim::readScratchpad(kScp, 100, bytes, 4));
  EXPECT_EQ(bytes[0], 0);
  std::filesystem::remove_all(tmpl);
}

TEST_F(SimMemory, IomuxStatesAndWrites) {
  ravo_struct* h = ravo_iomux_open(kMux, O_RDWR);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(ravo_iomux_query_size(h), 22u);
  EXPECT_EQ(ravo_iomux_query_state(h), RAVO_IOMUX_STATE_WRITABLE);

  // Entries with reserved bits are counted and not written.
  const uint32_t entries[3] = {0x90000000u, 0x00000001u, 0xA0000000u};
  int errors = -1;
  ASSERT_EQ(ravo_iomux_seek(h, 0, SEEK_SET), 0);
  ASSERT_EQ(ravo_iomux_write(h, entries, 3, 0, &errors), 3);
  EXPECT_EQ(errors, 1);
  std::vector<uint32_t> all;
  int state = -1;
  ASSERT_TRUE(ravosim::readIomux(kMux, all, state));
  EXPECT_EQ(all[0], 0x90000000u);
  EXPECT_EQ(all[1], 0u);
  EXPECT_EQ(all[2], 0xA0000000u);

  // Past the end nothing is written.
  ASSERT_EQ(ravo_iomux_seek(h, 20, SEEK_SET), 20);
  errno = 0;
  EXPECT_EQ(ravo_iomux_write(h, entries, 3, 0, &errors), -1);
  EXPECT_EQ(errno, EINVAL);
  uint32_t back[3];
  EXPECT_EQ(ravo_iomux_read(h, back, 3), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_iomux_seek(h, 23, SEEK_SET), -1);

  // Validated: read-only until invalidated.
  ASSERT_EQ(ravo_iomux_validate(h), 0);
  EXPECT_EQ(ravo_iomux_query_state(h), RAVO_IOMUX_STATE_VALIDATED);
  ASSERT_EQ(ravo_iomux_seek(h, 0, SEEK_SET), 0);
  errno = 0;
  EXPECT_EQ(ravo_iomux_write(h, entries, 1, 0, &errors), -1);
  EXPECT_EQ(errno, EPERM);
  ASSERT_EQ(ravo_iomux_read(h, back, 3), 3);
  EXPECT_EQ(back[0], 0x90000000u);
  ASSERT_EQ(ravo_iomux_invalidate(h), 0);
  ASSERT_EQ(ravo_iomux_seek(h, 0, SEEK_SET), 0);
  EXPECT_EQ(ravo_iomux_write(h, entries, 1, 0, &errors), 1);
  EXPECT_EQ(ravo_iomux_write(h, entries, 1, 1, &errors), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_iomux_close(h), 0);
}

TEST_F(SimMemory, RemovedCfamFailsEveryCall) {
  ravo_struct* scp = ravo_scp_open(kScp, O_RDWR);
  ravo_struct* mux = ravo_iomux_open(kMux, O_RDWR);
  ASSERT_NE(scp, nullptr);
  ASSERT_NE(mux, nullptr);
  ASSERT_TRUE(ravosim::removeCfam(0, 0));
  uint32_t size = 0;
  errno = 0;
  EXPECT_EQ(ravo_scp_get_size(scp, &size), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_iomux_query_size(mux), 0xFFFFFFFFu);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(ravo_iomux_query_state(mux), -1);
  ASSERT_TRUE(ravosim::insertCfam(0, 0));
  EXPECT_EQ(ravo_scp_get_size(scp, &size), -1);
  EXPECT_EQ(ravo_scp_close(scp), 0);
  EXPECT_EQ(ravo_iomux_close(mux), 0);
  // Reopened, the memory still holds what it held.
  scp = ravo_scp_open(kScp, O_RDWR);
  ASSERT_NE(scp, nullptr);
  EXPECT_EQ(ravo_scp_get_size(scp, &size), 0);
  EXPECT_EQ(size, 256u);
  EXPECT_EQ(ravo_scp_close(scp), 0);
}

}  // namespace
