// A redundant state table over two real Ram objects, each over one memory
// block that keeps its bytes apart from the objects (a restart builds a new
// table over the same memories) and journals every write of both blocks in
// order. The cases check the consistency run for the pairs of
// administration bytes a restart can find, the write sequence, the loss of a
// replica and an interrupted write at each of its hardware writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kav/cards/RedundantStateTable.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/hwaccess/scratchpad/RamHwrInterface.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/cards/Slot.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/start/ConfigCompleteBase.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Layout of the test table: administration byte, A (4 bytes), B (2 bytes).
const unsigned kAdmin = 0;
const unsigned kOffA = 1;
const unsigned kOffB = 5;
const unsigned kBlockSize = 16;

struct Write {
  unsigned replica;
  unsigned offset;
  Bytes bytes;
  bool operator==(const Write& o) const { return replica == o.replica && offset == o.offset && bytes == o.bytes; }
};

std::ostream& operator<<(std::ostream& os, const Write& w) {
  os << "{r" << w.replica << " @" << w.offset << ":";
  for (unsigned char b : w.bytes) os << " " << static_cast<unsigned>(b);
  return os << "}";
}

// What both memories share: the journal of writes and the power supply.
// After a cut, `landing` more writes land (the last of them only with
// `tornBytes` bytes when that is set) and nothing after them.
struct Machine {
  std::vector<Write> journal;
  bool cut = false;
  int landing = 0;
  unsigned tornBytes = 0;  // 0: the last landing write lands whole
  void cutAfter(int writes, unsigned torn = 0) {
    cut = true;
    landing = writes;
    tornBytes = torn;
  }
};

struct Memory {
  explicit Memory(unsigned replica, std::shared_ptr<Machine> m) : replica(replica), bytes(kBlockSize, 0), machine(m) {}
  unsigned replica;
  Bytes bytes;
  std::shared_ptr<Machine> machine;
  unsigned failWithRc = 0;  // reads and writes fail with it when set
  unsigned char admin() const { return bytes[kAdmin]; }
  Bytes a() const { return Bytes(bytes.begin() + kOffA, bytes.begin() + kOffA + 4); }
  Bytes b() const { return Bytes(bytes.begin() + kOffB, bytes.begin() + kOffB + 2); }
  void set(unsigned char admin, const Bytes& a, const Bytes& b = {0, 0}) {
    bytes[kAdmin] = admin;
    std::copy(a.begin(), a.end(), bytes.begin() + kOffA);
    std::copy(b.begin(), b.end(), bytes.begin() + kOffB);
  }
};

class MemoryBlock : public RamHwrInterface {
 public:
  explicit MemoryBlock(std::shared_ptr<Memory> memory) : m_memory(memory) {}
  ErrorData read(unsigned offset, unsigned char* data, unsigned len) const override {
    if (m_memory->failWithRc != 0) return ErrorData(ErrorData::NO_OVERWRITE, m_memory->failWithRc);
    for (unsigned i = 0; i < len; ++i) data[i] = m_memory->bytes.at(offset + i);
    return ErrorData();
  }
  ErrorData write(unsigned offset, const unsigned char* data, unsigned len) const override {
    if (m_memory->failWithRc != 0) return ErrorData(ErrorData::NO_OVERWRITE, m_memory->failWithRc);
    Machine& m = *m_memory->machine;
    unsigned landed = len;
    if (m.cut) {
      if (m.landing <= 0) return ErrorData();  // the power is gone: nothing lands
      if (--m.landing == 0 && m.tornBytes != 0 && m.tornBytes < len) landed = m.tornBytes;
    }
    for (unsigned i = 0; i < landed; ++i) m_memory->bytes.at(offset + i) = data[i];
    m.journal.push_back(Write{m_memory->replica, offset, Bytes(data, data + landed)});
    return ErrorData();
  }
  ErrorData readSize(unsigned& size) const override {
    size = static_cast<unsigned>(m_memory->bytes.size());
    return ErrorData();
  }

 private:
  std::shared_ptr<Memory> m_memory;
};

unsigned id(const char* s) { return get_id_by_string(s); }

const Bytes kOld = {0x11, 0x22, 0x33, 0x44};
const Bytes kNew = {0xAA, 0xBB, 0xCC, 0xDD};
const Bytes kZero4 = {0, 0, 0, 0};

class RedundantStateTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    initComponentReadyEventSender();
    initContainerList();
  }

  // The table's ComponentReadyEvent arrived once more (the sender's queue
  // is short: a test that starts many tables waits for each).
  void expectReady() {
    ++m_readyExpected;
    EXPECT_EQ(m_readyExpected, m_ready.waitFor(m_readyExpected).size());
  }

  void SetUp() override {
    m_machine = std::make_shared<Machine>();
    m_mem[0] = std::make_shared<Memory>(0, m_machine);
    m_mem[1] = std::make_shared<Memory>(1, m_machine);
  }

  static BinaryReaderNode* layout() {
    const kavstl::string name = get_string_by_id(kav::sid::PARAMETER_NAME);
    const kavstl::string size = get_string_by_id(kav::sid::FIELD_SIZE);
    auto field = [&](const kavstl::string& n, const char* s) {
      return cardstest::element("Field", {{name, n}, {size, s}});
    };
    return cardstest::element(get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {},
                              {cardstest::element("Table", {{name, "RstTestTable"}},
                                                  {field(get_string_by_id(kav::sid::STATE_TABLE_ADMIN_FIELD), "1"),
                                                   field("RstFieldA", "4"), field("RstFieldB", "2")})});
  }

  KavPtr<Ram> makeRam(const char* name, std::shared_ptr<Memory> memory) {
    KavPtr<Ram> ram(new Ram());
    std::unique_ptr<BinaryReaderNode> node(cardstest::element("Ram", {}, {layout()}));
    EXPECT_EQ(0u, ram->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    ram->setInstanceId(id(name));
    MemoryBlock* block = new MemoryBlock(memory);
    block->setHidden(true);
    cardstest::link(ram.getRawPointer(), block);
    EXPECT_EQ(0u, ram->init(initSequence::INIT_VARIABLES).getRc());
    return ram;
  }

  // A started library: a tree with both Rams (replica 1's left out when
  // `withReplica1` is false) and a new table over the memories.
  KavPtr<RedundantStateTable> start(bool withReplica1 = true) {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    KavPtr<Ram> r0 = makeRam("RstRam0", m_mem[0]);
    cardstest::link(m_root.getRawPointer(), r0.getRawPointer());
    if (withReplica1) {
      KavPtr<Ram> r1 = makeRam("RstRam1", m_mem[1]);
      cardstest::link(m_root.getRawPointer(), r1.getRawPointer());
    }
    KavPtr<RedundantStateTable> table = makeTable(nullptr);
    cardstest::link(m_root.getRawPointer(), table.getRawPointer());
    m_machine->journal.clear();
    return table;
  }

  // A table over RstRam0 and RstRam1, replica 1 on that card slot (written
  // as the configuration does) or, with null, on no slot.
  static KavPtr<RedundantStateTable> makeTable(const char* replica1Slot) {
    KavPtr<RedundantStateTable> table(new RedundantStateTable());
    table->setInstanceId(id("RstTable"));
    const kavstl::string tableId = get_string_by_id(kav::sid::STATE_TABLE_ID);
    std::unique_ptr<BinaryReaderNode> node(
        replica1Slot == nullptr
            ? cardstest::element("RedundantStateTable", {{tableId, "RstTestTable"},
                                                         {"ramInstanceName0", "RstRam0"},
                                                         {"ramInstanceName1", "RstRam1"}})
            : cardstest::element("RedundantStateTable", {{tableId, "RstTestTable"},
                                                         {"ramInstanceName0", "RstRam0"},
                                                         {"ramInstanceName1", "RstRam1"},
                                                         {"ramSlotId1", replica1Slot}}));
    EXPECT_EQ(0u, table->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    return table;
  }

  static Bytes readA(const KavPtr<RedundantStateTable>& t, unsigned* rc = nullptr) {
    Bytes v(4, 0xEE);
    unsigned r = t->readField(id("RstFieldA"), v.data(), 4, 0).getRc();
    if (rc != nullptr) *rc = r;
    return v;
  }
  static unsigned writeA(const KavPtr<RedundantStateTable>& t, Bytes v) {
    return t->writeField(id("RstFieldA"), v.data(), 4, 0).getRc();
  }

  cardstest::Recorder<ComponentReadyEvent> m_ready{ComponentReadyEventSender::getInstance(), id("RstTable")};
  size_t m_readyExpected = 0;
  std::shared_ptr<Machine> m_machine;
  std::shared_ptr<Memory> m_mem[2];
  KavPtr<Container> m_root;
};

const char* actionName(unsigned action) {
  static const char* names[] = {"initialise", "compare", "copy 0->1", "copy 1->0", "inconsistent"};
  return action < 5 ? names[action] : "invalid";
}

std::string hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (unsigned char c : b) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    s += buf;
  }
  return s;
}

}  // namespace

TEST_F(RedundantStateTableTest, DecisionTableIsKeptAndOnlyTheWritesOfALoneReplicaAreOverridden) {
  const unsigned expected[8][8] = {
      {0, 0, 3, 3, 4, 4, 3, 3}, {0, 4, 3, 3, 4, 4, 3, 3}, {2, 2, 1, 2, 4, 4, 3, 4}, {2, 2, 3, 4, 4, 4, 3, 4},
      {4, 4, 4, 4, 4, 4, 4, 4}, {4, 4, 4, 4, 4, 4, 4, 4}, {2, 2, 2, 2, 4, 4, 4, 4}, {2, 2, 4, 4, 4, 4, 4, 4}};
  for (unsigned r0 = 0; r0 < 8; ++r0) {
    for (unsigned r1 = 0; r1 < 8; ++r1) {
      EXPECT_EQ(expected[r0][r1], RedundantStateTable::g_synchActionsDecisionTable[r0][r1]) << r0 << "," << r1;
      unsigned action = expected[r0][r1];
      if (r0 == 7 && (r1 == 2 || r1 == 3)) action = RedundantStateTable::SYNCH_COPY_0_TO_1;
      if (r1 == 7 && (r0 == 2 || r0 == 3)) action = RedundantStateTable::SYNCH_COPY_1_TO_0;
      EXPECT_EQ(action, RedundantStateTable::synchAction(r0, r1)) << r0 << "," << r1;
      // Only the state (modulo 8) counts.
      EXPECT_EQ(action, RedundantStateTable::synchAction(r0 + 8, r1 + 16)) << r0 << "," << r1;
    }
  }
}

// The pair of administration bytes a start finds, the contents, and what the
// consistency run must leave in both replicas.
struct PairCase {
  unsigned char admin0, admin1;
  Bytes a0, a1;
  Bytes expected;  // field A in both replicas afterwards
  bool inconsistent;  // 0x7264 logged
};

TEST_F(RedundantStateTableTest, ConsistencyRunRepairsEveryPairAStartCanFind) {
  const PairCase cases[] = {
      {0, 0, kOld, kNew, kZero4, false},  // fresh memory: zeros
      {2, 2, kOld, kOld, kOld, false},    // consistent
      {2, 2, kOld, kNew, kZero4, true},   // same state, different contents
      {3, 2, kNew, kOld, kOld, false},    // cut while replica 0 was written
      {6, 2, kNew, kOld, kNew, false},    // replica 0 written, replica 1 not yet
      {6, 3, kNew, kOld, kNew, false},    // cut while replica 1 was written
      {2, 3, kNew, kOld, kNew, false},
      {2, 6, kOld, kNew, kNew, false},    // only replica 1 was written
      {0, 2, kOld, kNew, kNew, false},
      {2, 0, kNew, kOld, kNew, false},
      {7, 2, kNew, kOld, kNew, false},    // lone replica 0 cut in a write, partner back
      {7, 3, kNew, kOld, kNew, false},
      {2, 7, kOld, kNew, kNew, false},
      {3, 7, kOld, kNew, kNew, false},
      {1, 1, kOld, kNew, kZero4, true},
      {3, 3, kOld, kNew, kZero4, true},
      {6, 6, kOld, kNew, kZero4, true},   // both written alone: no replica can be trusted
      {4, 2, kOld, kOld, kZero4, true},
      {2, 5, kOld, kOld, kZero4, true},
      {4, 4, kOld, kOld, kZero4, true},
      {0, 5, kOld, kOld, kZero4, true},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "pair (" << unsigned(c.admin0) << "," << unsigned(c.admin1) << ")");
    SetUp();
    m_mem[0]->set(c.admin0, c.a0, {0x5A, 0x5B});
    m_mem[1]->set(c.admin1, c.a1, {0x5A, 0x5B});
    testsupport::RecordingLogSink log;
    KavPtr<RedundantStateTable> table = start();
    unsigned rc = 1;
    EXPECT_EQ(c.expected, readA(table, &rc));
    EXPECT_EQ(0u, rc);
    expectReady();
    EXPECT_EQ(c.expected, m_mem[0]->a());
    EXPECT_EQ(c.expected, m_mem[1]->a());
    const Bytes b = c.expected == kZero4 ? Bytes{0, 0} : Bytes{0x5A, 0x5B};
    EXPECT_EQ(b, m_mem[0]->b());
    EXPECT_EQ(b, m_mem[1]->b());
    EXPECT_EQ(2u, m_mem[0]->admin());
    EXPECT_EQ(2u, m_mem[1]->admin());
    const auto logged = log.errorsWithRc(0x7264);
    EXPECT_EQ(c.inconsistent ? 1u : 0u, logged.size());
    for (const auto& e : logged) {
      EXPECT_NE(std::string::npos, e.text.find("Error in RedundantStateTable occured"));
      EXPECT_NE(std::string::npos, e.text.find("kav/RedundantStateTable"));
    }
    EXPECT_TRUE(table->isTableAvailable());
    EXPECT_EQ(2u, table->getFunctionalReplicas());
  }
}

TEST_F(RedundantStateTableTest, AWritePassesTheAdministrationStatesInOrder) {
  KavPtr<RedundantStateTable> table = start();
  EXPECT_EQ(kZero4, readA(table));  // fresh: initialised
  expectReady();
  m_machine->journal.clear();
  ASSERT_EQ(0u, writeA(table, kNew));
  // (2,2) -> (3,2) -> (6,2) -> (6,3) -> (6,2) -> (2,2)
  const std::vector<Write> expected = {
      {0, kAdmin, {3}}, {0, kOffA, kNew}, {0, kAdmin, {6}}, {1, kAdmin, {3}},
      {1, kOffA, kNew}, {1, kAdmin, {2}}, {0, kAdmin, {2}},
  };
  EXPECT_EQ(expected, m_machine->journal);
  EXPECT_EQ(kNew, m_mem[0]->a());
  EXPECT_EQ(kNew, m_mem[1]->a());

  // A masked write changes only the bits of the mask, in both replicas.
  unsigned char data[2] = {0xFF, 0x00};
  unsigned char mask[2] = {0x0F, 0xF0};
  ASSERT_EQ(0u, table->writeFieldWithMask(id("RstFieldB"), data, mask, 2, 0).getRc());
  EXPECT_EQ((Bytes{0x0F, 0x00}), m_mem[0]->b());
  EXPECT_EQ((Bytes{0x0F, 0x00}), m_mem[1]->b());

  kavstl::vector<unsigned> ids;
  ASSERT_EQ(0u, table->getFieldIds(&ids).getRc());
  EXPECT_EQ(2u, ids.size());  // the administration byte is not a table field
  unsigned size = 0;
  EXPECT_EQ(0x7027u, table->getFieldSize(RedundantStateTable::kAdminFieldId, &size).getRc());
  EXPECT_EQ(0u, table->getFieldSize(id("RstFieldA"), &size).getRc());
  EXPECT_EQ(4u, size);
}

TEST_F(RedundantStateTableTest, ParameterErrorsLeaveBothReplicasFunctionalAndClean) {
  testsupport::RecordingLogSink log;
  KavPtr<RedundantStateTable> table = start();
  ASSERT_EQ(0u, writeA(table, kOld));
  expectReady();
  Bytes v(8, 0);
  EXPECT_EQ(0x7008u, table->writeField(id("RstFieldA"), v.data(), 8, 0).getRc());
  EXPECT_EQ(0x7027u, table->writeField(id("RstNoSuchField"), v.data(), 1, 0).getRc());
  EXPECT_EQ(0x7008u, table->readField(id("RstFieldA"), v.data(), 4, 1).getRc());
  EXPECT_EQ(0x7000u, table->readField(id("RstFieldA"), nullptr, 4, 0).getRc());
  EXPECT_EQ(2u, table->getFunctionalReplicas());
  EXPECT_EQ(2u, m_mem[0]->admin());
  EXPECT_EQ(2u, m_mem[1]->admin());
  EXPECT_EQ(kOld, m_mem[1]->a());
  EXPECT_TRUE(log.errors().empty());
}

TEST_F(RedundantStateTableTest, AMissingReplicaIsCaughtUpWhenItComesBack) {
  testsupport::RecordingLogSink log;
  {
    KavPtr<RedundantStateTable> table = start(false);
    EXPECT_EQ(kZero4, readA(table));
    expectReady();
    EXPECT_EQ(6u, m_mem[0]->admin());
    EXPECT_EQ(1u, table->getFunctionalReplicas());
    EXPECT_TRUE(table->isReplicaInvalid(1));
    m_machine->journal.clear();
    ASSERT_EQ(0u, writeA(table, kNew));
    EXPECT_EQ((std::vector<Write>{{0, kAdmin, {7}}, {0, kOffA, kNew}, {0, kAdmin, {6}}}), m_machine->journal);
    ASSERT_EQ(0u, writeA(table, kNew));
    EXPECT_EQ(6u, m_mem[0]->admin());
    // Missing replica: one information entry, no entry per access.
    EXPECT_EQ(1u, log.errorsWithRc(0x7261).size());
    EXPECT_EQ(1u, log.errors().size());
  }
  // Replica 1 returns with its old content from before.
  m_mem[1]->set(2, kOld);
  KavPtr<RedundantStateTable> table = start();
  EXPECT_EQ(kNew, readA(table));
  expectReady();
  EXPECT_EQ(kNew, m_mem[1]->a());
  EXPECT_EQ(2u, m_mem[0]->admin());
  EXPECT_EQ(2u, m_mem[1]->admin());
  EXPECT_TRUE(log.errorsWithRc(0x7264).empty());
}

TEST_F(RedundantStateTableTest, AFailingReplicaIsLoggedOnceAndTheTableGoesOnWithTheOther) {
  testsupport::RecordingLogSink log;
  KavPtr<RedundantStateTable> table = start();
  ASSERT_EQ(0u, writeA(table, kOld));
  expectReady();
  m_mem[1]->failWithRc = 0x7180;
  EXPECT_EQ(0u, writeA(table, kNew));
  EXPECT_FALSE(table->isReplicaFunctional(1));
  EXPECT_TRUE(table->isReplicaInvalid(1));
  EXPECT_EQ(6u, m_mem[0]->admin());  // replica 0 holds data its partner lacks
  EXPECT_EQ(0u, writeA(table, kOld));
  EXPECT_EQ(0u, writeA(table, kNew));
  unsigned rc = 1;
  EXPECT_EQ(kNew, readA(table, &rc));
  EXPECT_EQ(0u, rc);
  EXPECT_EQ(6u, m_mem[0]->admin());
  const auto logged = log.errorsWithRc(0x7180);
  ASSERT_EQ(1u, logged.size());
  EXPECT_NE(std::string::npos, logged[0].text.find("Error in RedundantStateTable occured"));
  EXPECT_EQ(1u, log.errors().size());
  EXPECT_EQ(0x7263u, table->writeFieldSingleReplica(1, id("RstFieldA"), kNew.data(), 4, 0).getRc());
  EXPECT_EQ(1u, log.errors().size());

  // Replica 0 fails too: nothing is left.
  m_mem[0]->failWithRc = 0x7180;
  EXPECT_EQ(0x7260u, writeA(table, kOld));
  EXPECT_EQ(0u, table->getFunctionalReplicas());
}

// A power cut at each hardware write of one redundant write of field A (old
// value 11223344, new AABBCCDD), then a restart over the same memories: field
// A must hold the old or the new value in both replicas, never a mix.
TEST_F(RedundantStateTableTest, APowerCutAtAnyWriteLeavesTheOldOrTheNewValue) {
  struct Cut {
    const char* where;
    int landing;
    unsigned torn;
  };
  const Cut cuts[] = {
      {"before the write", 0, 0},
      {"after r0 mark (3)", 1, 0},
      {"r0 data torn after 2 bytes", 2, 2},
      {"after r0 data", 2, 0},
      {"after r0 admin (6)", 3, 0},
      {"after r1 mark (3)", 4, 0},
      {"r1 data torn after 2 bytes", 5, 2},
      {"after r1 data", 5, 0},
      {"after r1 admin (2)", 6, 0},
      {"after r0 admin (2): complete", 7, 0},
  };
  std::ostringstream table;
  table << "| cut | pair found | action | field A after restart |\n|---|---|---|---|\n";
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.where);
    SetUp();
    {
      KavPtr<RedundantStateTable> t = start();
      ASSERT_EQ(0u, writeA(t, kOld));
      expectReady();
      m_machine->cutAfter(c.landing, c.torn);
      writeA(t, kNew);
    }
    m_machine->cut = false;
    const unsigned s0 = m_mem[0]->admin() % 8, s1 = m_mem[1]->admin() % 8;
    const unsigned action = RedundantStateTable::synchAction(s0, s1);
    testsupport::RecordingLogSink log;
    KavPtr<RedundantStateTable> t = start();
    const Bytes a = readA(t);
    expectReady();
    EXPECT_TRUE(a == kOld || a == kNew) << hex(a);
    EXPECT_EQ(a, m_mem[0]->a());
    EXPECT_EQ(a, m_mem[1]->a());
    EXPECT_EQ(2u, m_mem[0]->admin());
    EXPECT_EQ(2u, m_mem[1]->admin());
    EXPECT_TRUE(log.errors().empty());
    // Once replica 0 has its new value marked (6), the write survives.
    if (c.landing >= 3) {
      EXPECT_EQ(kNew, a);
    }
    table << "| " << c.where << " | (" << s0 << "," << s1 << ") | " << actionName(action) << " | "
          << (a == kNew ? "new " : a == kOld ? "old " : "MIX ") << hex(a) << " |\n";
  }
  std::printf("%s", table.str().c_str());
  RecordProperty("power_cut_table", table.str());
}

// The same while replica 1 is away: replica 0 is written alone (6 -> 7 -> 6),
// the power fails, and replica 1 comes back with its older content (2).
// Once replica 0's data is complete, the pair (7,2) must keep the new value.
TEST_F(RedundantStateTableTest, APowerCutInAWriteOfALoneReplicaKeepsItsNewerData) {
  struct Cut {
    const char* where;
    int landing;
    Bytes expected;
  };
  const Cut cuts[] = {
      {"lone r0: before the write", 0, kOld},
      {"lone r0: after r0 mark (7)", 1, kOld},
      {"lone r0: after r0 data", 2, kNew},
      {"lone r0: after r0 admin (6): complete", 3, kNew},
  };
  std::ostringstream table;
  table << "| cut | pair found | action | field A after restart |\n|---|---|---|---|\n";
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.where);
    SetUp();
    {
      KavPtr<RedundantStateTable> t = start(false);
      ASSERT_EQ(0u, writeA(t, kOld));
      expectReady();
      m_machine->cutAfter(c.landing);
      writeA(t, kNew);
    }
    m_machine->cut = false;
    // Replica 1 comes back with what it held before it went away.
    m_mem[1]->set(2, kOld);
    const unsigned s0 = m_mem[0]->admin() % 8, s1 = m_mem[1]->admin() % 8;
    const unsigned action = RedundantStateTable::synchAction(s0, s1);
    testsupport::RecordingLogSink log;
    KavPtr<RedundantStateTable> t = start();
    const Bytes a = readA(t);
    expectReady();
    EXPECT_EQ(c.expected, a);
    EXPECT_EQ(a, m_mem[1]->a());
    EXPECT_TRUE(log.errorsWithRc(0x7264).empty());
    table << "| " << c.where << " | (" << s0 << "," << s1 << ") | " << actionName(action) << " | "
          << (a == kNew ? "new " : a == kOld ? "old " : "MIX ") << hex(a) << " |\n";
  }
  std::printf("%s", table.str().c_str());
  RecordProperty("power_cut_table_lone_replica", table.str());
}

// Replica 1 lives on a pluggable card (slot 0x31): the table follows its
// configure and unconfigure events, and catches the replica up each time it
// comes back.
TEST_F(RedundantStateTableTest, AReplicaOnACardFollowsItsPlugEvents) {
  const unsigned kSlot = 0x31;
  m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
  set_tree_root(KavPtr<QueryBase>(m_root));
  KavPtr<Ram> r0 = makeRam("RstRam0", m_mem[0]);
  cardstest::link(m_root.getRawPointer(), r0.getRawPointer());
  KavPtr<Slot> slot(new Slot());
  slot->setSlotId(kSlot);
  cardstest::link(m_root.getRawPointer(), slot.getRawPointer());
  KavPtr<RedundantStateTable> table = makeTable("0x31");
  EXPECT_EQ(0u, table->getReplicaSlotId(0));
  EXPECT_EQ(kSlot, table->getReplicaSlotId(1));
  cardstest::link(m_root.getRawPointer(), table.getRawPointer());
  ASSERT_EQ(0u, table->init(initSequence::INIT_REGISTER_EVENTS).getRc());

  // Replica 0 was written while the card was away; the card holds older data.
  m_mem[0]->set(6, kNew);
  m_mem[1]->set(2, kOld);
  testsupport::RecordingLogSink log;
  unsigned rc = 0;
  readA(table, &rc);
  EXPECT_EQ(0x700Fu, rc);  // not both replicas before minimum configuration complete
  EXPECT_FALSE(table->isTableAvailable());

  auto plug = [&] {
    KavPtr<Container> content(new Container(KavPtr<QueryBase>(slot)));
    slot->addChild(KavPtr<QueryBase>(content));
    KavPtr<Ram> r1 = makeRam("RstRam1", m_mem[1]);
    cardstest::link(content.getRawPointer(), r1.getRawPointer());
    slot->setConfigComplete(true);
    return content;
  };
  KavPtr<Container> content = plug();
  expectReady();
  EXPECT_TRUE(table->isTableAvailable());
  EXPECT_EQ(2u, table->getFunctionalReplicas());
  EXPECT_EQ(kNew, m_mem[1]->a());
  EXPECT_EQ(2u, m_mem[0]->admin());
  EXPECT_EQ(2u, m_mem[1]->admin());

  slot->setConfigComplete(false);
  ASSERT_TRUE(e2e::waitFor([&] { return table->getAvailableReplicas() == 1; }));
  slot->removeChild(KavPtr<QueryBase>(content));
  content = KavPtr<Container>();
  EXPECT_EQ(1u, table->getFunctionalReplicas());
  ASSERT_EQ(0u, writeA(table, kOld));
  EXPECT_EQ(6u, m_mem[0]->admin());
  EXPECT_EQ(kNew, m_mem[1]->a());

  content = plug();
  ASSERT_TRUE(e2e::waitFor([&] { return table->getFunctionalReplicas() == 2; }));
  unsigned char admin1 = 0;
  ASSERT_TRUE(e2e::waitFor([&] {
    return table->readFieldSingleReplica(1, RedundantStateTable::kAdminFieldId, &admin1, 1, 0) == 0 && admin1 == 2;
  }));
  EXPECT_EQ(kOld, m_mem[1]->a());
  EXPECT_EQ(2u, m_mem[0]->admin());
  EXPECT_TRUE(log.errorsWithRc(0x7264).empty());

  table->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  table->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_EQ(0u, table->getAvailableReplicas());
  set_tree_root(KavPtr<QueryBase>());
}

// A card replica that never comes: the table waits for it until the minimum
// configuration is complete, then works on the replica it has.
TEST_F(RedundantStateTableTest, MinimumConfigurationCompleteMakesTheTableAvailableWithOneReplica) {
  m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
  KavPtr<Ram> r0 = makeRam("RstRam0", m_mem[0]);
  cardstest::link(m_root.getRawPointer(), r0.getRawPointer());
  KavPtr<RedundantStateTable> table = makeTable("0x32");
  cardstest::link(m_root.getRawPointer(), table.getRawPointer());
  ASSERT_EQ(0u, table->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  m_mem[0]->set(2, kOld);

  ASSERT_FALSE(ConfigCompleteBase::isMinimumConfigComplete());
  EXPECT_EQ(0x700Fu, writeA(table, kNew));
  EXPECT_EQ(kOld, m_mem[0]->a());
  KavPtr<ConfigCompleteBase> complete(new ConfigCompleteBase());
  complete->setMinimumConfigComplete(false);
  expectReady();
  EXPECT_TRUE(table->isTableAvailable());
  EXPECT_EQ(6u, m_mem[0]->admin());
  EXPECT_EQ(0u, writeA(table, kNew));
  EXPECT_EQ(kNew, readA(table));
  table->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  ConfigCompleteBase::resetConfigCompleteReady();
}
