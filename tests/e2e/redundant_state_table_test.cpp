// The base domain's redundant oscillator selection table on the default
// simulated machine: its two replicas live in the scratchpads of the two
// oscillator cards. The tests drive the library through its calls and the
// machine through the simulator's control interface, and look at what the
// scratchpads hold. A later start of the library on the same state folder
// is a child process of this program (QUIB_RST_CHILD), as is every power
// cut: the cut ends the writing process, and the next one must find the
// table consistent.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kav/cards/RedundantStateTable.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeRoot.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;

namespace {

const char* const kScratchpad[2] = {"/dev/scp/L01C0E03", "/dev/scp/L02C0E03"};
const char* const kSerial[2] = {"OSC0001", "OSC0002"};
const unsigned kCfamLink[2] = {1, 2};
// Layout of a card's memory: the FRU state table (state byte, PLL pattern,
// steering flag, spreading direction and amount: 11 bytes), then the
// selection table.
const unsigned kAdminOffset = 11;
const unsigned kFieldIds[3] = {361, 362, 363};
const unsigned kFieldOffset[3] = {2, 3, 4};
// What the table's own error logs name as their source.
const char kTableSource[] = "File='kav/RedundantStateTable'";

using Bytes = std::vector<unsigned char>;

KavPtr<RedundantStateTable> table() {
  return findObject<RedundantStateTable>(get_id_by_string("OscSelectionStateTable"), kAnySlot);
}

// Admin byte and the three fields of one card's replica, as the simulated memory holds them.
Bytes replica(unsigned card) {
  Bytes b(4, 0xEE);
  EXPECT_TRUE(ravosim::readScratchpad(kScratchpad[card], kAdminOffset, b.data(), 4));
  return b;
}

// The same, read from the card's state folder (what a new process will
// find): after the simulator's 12-byte header.
Bytes stored(unsigned card) {
  std::ifstream in(ravosim::stateDir() + "/cards/osc/" + kSerial[card] + "/scp-E03.bin", std::ios::binary);
  Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const unsigned at = 12 + kAdminOffset;
  if (all.size() < at + 4) return Bytes(4, 0);
  return Bytes(all.begin() + at, all.begin() + at + 4);
}

unsigned writeField(unsigned fieldId, unsigned char value) {
  return table()->writeField(fieldId, &value, 1, 0).getRc();
}

unsigned char readField(unsigned fieldId, unsigned* rc = nullptr) {
  unsigned char v = 0xEE;
  unsigned r = table()->readField(fieldId, &v, 1, 0).getRc();
  if (rc != nullptr) *rc = r;
  return v;
}

void plug(unsigned slot) {
  ASSERT_EQ(0, kav::send_card_plug(slot, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([slot] { return configured(slot); }));
}

void unplug(unsigned card) {
  ASSERT_TRUE(ravosim::removeCfam(kCfamLink[card], 0));
  ASSERT_EQ(0, kav::send_card_plug(kCard0 + card, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([card] { return slotState(kCard0 + card) == 1; }));
}

void startWithTableAvailable() {
  ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
  plug(kCard0);
  plug(kCard1);
  ASSERT_TRUE(waitFor([] { return table() != nullptr && table()->isTableAvailable(); }));
}

std::string hex(const Bytes& b) {
  std::string s;
  char t[4];
  for (unsigned char c : b) {
    std::snprintf(t, sizeof t, "%02X ", c);
    s += t;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

bool isChild() { return std::getenv("QUIB_RST_CHILD") != nullptr; }

// Runs this program as a new process on the same state folder, in the
// child mode with `env`; returns its lines that begin with "RST ".
std::vector<std::string> child(const std::string& env) {
  std::string command = "env QUIB_RST_CHILD=1 " + env + " /proc/" + std::to_string(getpid()) +
                        "/exe --gtest_filter=RstChild.* 2>&1";
  std::vector<std::string> lines;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return lines;
  char line[512];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    if (s.compare(0, 4, "RST ") == 0) lines.push_back(s.substr(4));
  }
  // The child ends itself with status 0; anything else (a sanitizer's
  // report, a crash) fails the case.
  const int status = pclose(p);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << env << ": status " << status;
  return lines;
}

std::string lineWith(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& l : lines)
    if (l.compare(0, key.size(), key) == 0) return l.substr(key.size());
  return "";
}

class RedundantTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (isChild()) return;
    startWithTableAvailable();
  }
  static void TearDownTestSuite() {
    if (isChild()) return;
    EXPECT_EQ(0, kav::stop());
  }
  void SetUp() override {
    if (isChild()) GTEST_SKIP();
  }
};

}  // namespace

TEST_F(RedundantTable, WritesReachBothCardsAndAReturningCardIsCopiedOver) {
  ASSERT_TRUE(table() != nullptr);
  EXPECT_TRUE(table()->isTableAvailable());
  EXPECT_TRUE(table()->isReplicaFunctional(0));
  EXPECT_TRUE(table()->isReplicaFunctional(1));
  // A fresh pair: both cards' tables initialised, marked in step.
  EXPECT_EQ((Bytes{2, 0, 0, 0}), replica(0));
  EXPECT_EQ((Bytes{2, 0, 0, 0}), replica(1));

  const uint64_t before = ravosim::scratchpadWrites();
  ASSERT_EQ(0u, writeField(361, 0x91));
  std::printf("a redundant write made %u scratchpad writes\n",
              static_cast<unsigned>(ravosim::scratchpadWrites() - before));
  EXPECT_EQ((Bytes{2, 0x91, 0, 0}), replica(0));
  EXPECT_EQ((Bytes{2, 0x91, 0, 0}), replica(1));
  EXPECT_EQ(0x91, readField(361));

  // Card 1 leaves: the write lands on card 0 alone, which records that it
  // holds data its partner lacks.
  unplug(1);
  EXPECT_TRUE(table()->isTableAvailable());
  ASSERT_EQ(0u, writeField(361, 0x52));
  ASSERT_EQ(0u, writeField(362, 0x17));
  EXPECT_EQ((Bytes{6, 0x52, 0x17, 0}), replica(0));
  EXPECT_EQ(0x52, readField(361));

  // It returns: the pair (6, 2) copies card 0's replica over.
  ASSERT_TRUE(ravosim::insertCfam(kCfamLink[1], 0));
  plug(kCard1);
  ASSERT_TRUE(waitFor([] { return table()->isReplicaFunctional(1); }));
  ASSERT_TRUE(waitFor([] { return replica(1) == Bytes({2, 0x52, 0x17, 0}); }));
  EXPECT_EQ((Bytes{2, 0x52, 0x17, 0}), replica(0));
  EXPECT_EQ(0x17, readField(362));
  ASSERT_EQ(0u, writeField(363, 1));
  EXPECT_EQ((Bytes{2, 0x52, 0x17, 1}), replica(0));
  EXPECT_EQ((Bytes{2, 0x52, 0x17, 1}), replica(1));
  EXPECT_EQ(replica(0), stored(0));
  EXPECT_EQ(replica(1), stored(1));

  // A new process on the same state folder reads the same values.
  const std::vector<std::string> out = child("RST_CUT=-1");
  EXPECT_EQ("52 17 01", lineWith(out, "FOUND "));
  EXPECT_EQ("2 2", lineWith(out, "ADMIN "));
}

// Power cuts during one redundant write of field 361 (0x41 -> 0x99): the
// writing process is cut after its k-th scratchpad write, for every k, with
// that write complete or torn (the table's fields and administration bytes
// are one byte each, so a torn write is one that wrote nothing); the next
// process runs the consistency check and must find 361 at its old or its
// new value, and the other fields untouched. With card 1 away the writes
// go to card 0 alone, whose replica already holds data card 1 lacks
// (0x61, administration byte 6): a cut after its progress mark leaves (7, 2).
TEST_F(RedundantTable, APowerCutDuringAWriteLeavesTheOldOrTheNewValue) {
  struct Case {
    bool away;
    const char* old361;
  };
  const char* const kWrites[2][7] = {
      {"card 0 admin: mark in progress", "card 0 field 361", "card 0 admin: holds newer data",
       "card 1 admin: mark in progress", "card 1 field 361", "card 1 admin: done", "card 0 admin: in step"},
      {"card 0 admin: mark in progress", "card 0 field 361", "card 0 admin: holds newer data", "", "", "", ""}};
  std::printf("\n%-5s %-4s %-5s %-32s %-10s %-26s %-9s %s\n", "card1", "k", "tear", "the write cut", "pair found",
              "action", "361..363", "verdict");
  const char* const kActions[] = {"init table", "compare", "copy 0 to 1", "copy 1 to 0", "inconsistent: init"};
  for (const Case c : {Case{false, "41"}, Case{true, "61"}}) {
    const std::string common = std::string("RST_NEW=99 RST_FIRST=61") + (c.away ? " RST_AWAY=1" : "");
    // Once without a cut: how many scratchpad writes the write makes.
    std::vector<std::string> out = child(common + " RST_CUT=0 RST_TEAR=-1");
    unsigned rc = 0, points = 0;
    ASSERT_EQ(2, std::sscanf(lineWith(out, "WROTE ").c_str(), "%X %u", &rc, &points));
    EXPECT_EQ(0u, rc);
    EXPECT_EQ(c.away ? 3u : 7u, points);
    for (int tear : {-1, 0}) {
      for (unsigned k = 1; k <= points; ++k) {
        char env[64];
        std::snprintf(env, sizeof env, " RST_CUT=%u RST_TEAR=%d", k, tear);
        out = child(common + env);
        ASSERT_FALSE(lineWith(out, "WROTE ").empty()) << "cut " << k;
        const Bytes s0 = stored(0), s1 = stored(1);
        const unsigned action = RedundantStateTable::synchAction(s0[0], s1[0]);
        // The next process: consistency run, then what the table holds.
        out = child("RST_CUT=-1");
        const std::string found = lineWith(out, "FOUND ");
        const bool sound = found == std::string(c.old361) + " 42 43" || found == "99 42 43";
        EXPECT_TRUE(sound) << "cut after write " << k << " tear " << tear << ": " << found;
        EXPECT_EQ("2 2", lineWith(out, "ADMIN "));
        // Where the library's choice differs from the plain decision table.
        const unsigned plain = RedundantStateTable::g_synchActionsDecisionTable[s0[0] % 8][s1[0] % 8];
        std::string chosen = action < 5 ? kActions[action] : "?";
        if (plain != action) chosen += " (table: " + std::to_string(plain) + ")";
        char pair[16];
        std::snprintf(pair, sizeof pair, "(%u, %u)", s0[0], s1[0]);
        std::printf("%-5s %-4u %-5s %-32s %-10s %-26s %-9s %s\n", c.away ? "away" : "in", k,
                    tear < 0 ? "none" : "0 B", kWrites[c.away ? 1 : 0][k - 1], pair,
                    chosen.c_str(), found.c_str(),
                    !sound ? "WRONG" : found.compare(0, 2, "99") == 0 ? "new" : "old");
      }
    }
  }
  std::fflush(stdout);
}

unsigned tableErrors(const testsupport::RecordingLogSink& sink) {
  unsigned n = 0;
  for (const testsupport::LoggedError& e : sink.errors())
    if (e.text.find(kTableSource) != std::string::npos) ++n;
  return n;
}

// Card 1 leaves and returns; the table copies card 0's replica over.
void replugCard1() {
  unplug(1);
  ASSERT_TRUE(ravosim::insertCfam(kCfamLink[1], 0));
  plug(kCard1);
  ASSERT_TRUE(waitFor([] { return table()->isReplicaFunctional(1); }));
}

// Faults of card 1's memory: its replica is marked invalid and logged
// once, the table goes on with card 0's, and card 1 is brought back by a
// re-plug.
TEST_F(RedundantTable, AFailingReplicaIsSetAsideAndTheTableGoesOn) {
  testsupport::RecordingLogSink sink;
  // A write the memory refuses.
  ravosim::failCalls("ravo_scp_write", kScratchpad[1], EIO, 1);
  EXPECT_EQ(0u, writeField(361, 0x31));
  EXPECT_EQ(1u, ravosim::injectedFailures("ravo_scp_write"));
  EXPECT_FALSE(table()->isReplicaFunctional(1));
  EXPECT_TRUE(table()->isReplicaInvalid(1));
  EXPECT_TRUE(table()->isTableAvailable());
  EXPECT_EQ(0u, writeField(361, 0x32));
  EXPECT_EQ(0x32, readField(361));
  EXPECT_EQ(6, replica(0)[0]);
  EXPECT_EQ(0x32, replica(0)[1]);
  EXPECT_EQ(1u, tableErrors(sink));
  ravosim::clearFaults();
  replugCard1();
  ASSERT_TRUE(waitFor([] { return replica(1)[1] == 0x32; }));
  EXPECT_EQ(replica(0), replica(1));
  EXPECT_EQ(2, replica(0)[0]);

  // The card vanishes while the library still counts on it.
  const unsigned before = tableErrors(sink);
  ASSERT_TRUE(ravosim::removeCfam(kCfamLink[1], 0));
  EXPECT_EQ(0u, writeField(362, 0x33));
  EXPECT_FALSE(table()->isReplicaFunctional(1));
  EXPECT_EQ(0u, writeField(362, 0x34));
  EXPECT_EQ(0x34, readField(362));
  EXPECT_EQ(0x34, replica(0)[2]);
  EXPECT_EQ(6, replica(0)[0]);
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_NotPlugged));
  ASSERT_TRUE(waitFor([] { return slotState(kCard1) == 1; }));
  ASSERT_TRUE(ravosim::insertCfam(kCfamLink[1], 0));
  plug(kCard1);
  ASSERT_TRUE(waitFor([] { return table()->isReplicaFunctional(1); }));
  ASSERT_TRUE(waitFor([] { return replica(1)[2] == 0x34; }));
  EXPECT_EQ(replica(0), replica(1));
  EXPECT_EQ(1u, tableErrors(sink) - before);

  // Its administration byte cannot be read when it returns.
  const unsigned beforeUnreadable = tableErrors(sink);
  unplug(1);
  ASSERT_EQ(0u, writeField(363, 0x35));
  ravosim::failAlways("ravo_scp_read", kScratchpad[1], EIO);
  ASSERT_TRUE(ravosim::insertCfam(kCfamLink[1], 0));
  plug(kCard1);
  ASSERT_TRUE(waitFor([] { return table()->isReplicaInvalid(1); }, 5000));
  EXPECT_FALSE(table()->isReplicaFunctional(1));
  EXPECT_TRUE(table()->isTableAvailable());
  EXPECT_EQ(0x35, readField(363));
  EXPECT_EQ(0u, writeField(363, 0x36));
  EXPECT_EQ(0x36, readField(363));
  EXPECT_EQ(1u, tableErrors(sink) - beforeUnreadable);
  EXPECT_GT(ravosim::injectedFailures("ravo_scp_read"), 0u);
  ravosim::clearFaults();
  replugCard1();
  ASSERT_TRUE(waitFor([] { return replica(1)[3] == 0x36; }));
  EXPECT_EQ(replica(0), replica(1));
}

// The child's part: start, plug both cards, report what the table holds;
// then, unless RST_CUT is -1, set the old values, arm a power cut after
// the RST_CUT-th scratchpad write (torn after RST_TEAR bytes) and write
// RST_NEW into field 361. With RST_AWAY card 1 is away for both writes
// (the first, of RST_FIRST, completes). The cut ends the process.
TEST(RstChild, Run) {
  if (!isChild()) GTEST_SKIP();
  startWithTableAvailable();
  unsigned char v[3];
  for (int i = 0; i < 3; ++i) v[i] = readField(kFieldIds[i]);
  std::printf("RST FOUND %s\n", hex(Bytes(v, v + 3)).c_str());
  std::printf("RST ADMIN %u %u\n", replica(0)[0], replica(1)[0]);
  const int cut = std::atoi(std::getenv("RST_CUT"));
  if (cut >= 0) {
    const int tear = std::atoi(std::getenv("RST_TEAR"));
    const bool away = std::getenv("RST_AWAY") != nullptr;
    EXPECT_EQ(0u, writeField(361, 0x41));
    EXPECT_EQ(0u, writeField(362, 0x42));
    EXPECT_EQ(0u, writeField(363, 0x43));
    if (away) {
      unplug(1);
      EXPECT_EQ(0u, writeField(361, static_cast<unsigned char>(std::strtoul(std::getenv("RST_FIRST"), nullptr, 16))));
    }
    if (cut > 0) ravosim::cutPowerAfterScratchpadWrites(static_cast<unsigned>(cut), tear);
    const uint64_t before = ravosim::scratchpadWrites();
    const unsigned rc = writeField(361, static_cast<unsigned char>(std::strtoul(std::getenv("RST_NEW"), nullptr, 16)));
    std::printf("RST WROTE %X %u\n", rc, static_cast<unsigned>(ravosim::scratchpadWrites() - before));
  }
  std::fflush(stdout);
  _exit(::testing::Test::HasFailure() ? 1 : 0);
}
