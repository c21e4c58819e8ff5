// I/O multiplexing: the entry word, the group data's attributes, the
// configurator's runs of configured groups (over a recording multiplexer)
// and the multiplexer engine on the simulated machine.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "kav/hwaccess/edal/edalIomux.h"
#include "kav/hwaccess/pld/IoMuxConfigurator.h"
#include "kav/hwaccess/pld/IoMuxGroupDataCfamS.h"
#include "kav/hwaccess/pld/IoMuxGroupDataKtr1.h"
#include "kav/hwaccess/pld/IoMuxViaFsiHwa.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

using cardstest::element;
using cardstest::link;

namespace {

const char* const kMachine = R"(<machine name="iomux">
  <cfam link="3" cascade="0">
    <iomux number="4" size="22"/>
  </cfam>
</machine>)";
const char* const kPath = "/dev/iomux/L03C0E04";

FsiEngineInfo engineInfo() { return FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_IOMUX, 0), 1, 3, 0, 4); }

// A group read from its configuration element; the result of setAttributes.
template <class G>
unsigned int readGroup(G& group, std::initializer_list<std::pair<kavstl::string, kavstl::string>> attributes) {
  std::unique_ptr<BinaryReaderNode> node(element("Group", attributes));
  return group.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag();
}

IoMuxInfo entry(unsigned int level, unsigned int gates, unsigned int threshold) {
  IoMuxInfo info;
  info.enableMux();
  info.setMuxLevel(level);
  info.setControlGates(gates);
  info.setReceiverThreshold(threshold);
  return info;
}

// A multiplexer that records the writes it is handed.
class RecordingIoMux : public IoMuxHwaInterface {
 public:
  struct Write {
    unsigned int index;
    std::vector<unsigned int> words;
    bool operator==(const Write& o) const { return index == o.index && words == o.words; }
  };
  mutable std::vector<Write> writes;
  unsigned int failWritesAt = ~0u;  // this index fails with 0xFFFF

  ErrorData read(unsigned int, IoMuxInfo*, unsigned int&) const override { return ErrorData(); }
  ErrorData write(unsigned int index, const IoMuxInfo* infos, unsigned int count) const override {
    Write w{index, {}};
    for (unsigned int i = 0; i < count; ++i) w.words.push_back(infos[i].toEntryWord());
    writes.push_back(w);
    return ErrorData(ErrorData::NO_OVERWRITE, index == failWritesAt ? 0xFFFFu : 0u);
  }
  ErrorData readNumOfIoMuxGroups(unsigned int& n) const override {
    n = 22;
    return ErrorData();
  }
};

class IoMuxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(cardstest::startOnMachine("iomux", kMachine)); }
  void SetUp() override {
    ravosim::resetMachine();
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
  }
  void TearDown() override {
    ravosim::clearFaults();
    if (m_engine != nullptr) m_engine->closeEngine();
  }

  KavPtr<IoMuxViaFsiHwa> openEngine() {
    m_engine = KavPtr<IoMuxViaFsiHwa>(new IoMuxViaFsiHwa(engineInfo()));
    link(m_container.getRawPointer(), m_engine.getRawPointer());
    EXPECT_EQ(0u, m_engine->init(initSequence::INIT_OPEN_ENGINES).getRc());
    return m_engine;
  }

  // A configurator of maxGroups groups with CfamS groups of these ids, each
  // selecting GPIO with all gates and threshold = its id.
  KavPtr<IoMuxConfigurator> configurator(unsigned int maxGroups, const std::vector<unsigned int>& groups) {
    KavPtr<IoMuxConfigurator> c(new IoMuxConfigurator());
    c->setMaxGroups(maxGroups);
    link(m_container.getRawPointer(), c.getRawPointer());
    for (unsigned int id : groups) {
      KavPtr<IoMuxGroupDataCfamS> g(new IoMuxGroupDataCfamS());
      // Ids beyond the group type's own 22 do not occur here.
      EXPECT_EQ(0u, readGroup(*g, {{"groupId", std::to_string(id)},
                                   {"selectedEngine", "GPIO"},
                                   {"controlGates", "0xF"},
                                   {"receiveThreshold", std::to_string(id % 16)}}));
      g->setHidden(true);
      g->setParent(KavPtr<QueryBase>(c));
      c->addChild(KavPtr<QueryBase>(g));
    }
    return c;
  }

  static std::vector<ravosim::Transaction> deviceWrites() { return ravosim::readTransactionLog(kPath); }

  KavPtr<Container> m_container;
  KavPtr<IoMuxViaFsiHwa> m_engine;
};

unsigned int word(unsigned int level, unsigned int threshold) { return entry(level, 0xF, threshold).toEntryWord(); }

}  // namespace

TEST(IoMuxInfoTest, EntryWordsAndTheirFields) {
  IoMuxInfo read;
  read.setGroupId(7);
  read.setFromEntryWord(0xB5A00000u);
  EXPECT_TRUE(read.isMuxEnabled());
  EXPECT_EQ(3u, read.getMuxLevel());
  EXPECT_EQ(5u, read.getControlGates());
  EXPECT_EQ(0xAu, read.getReceiverThreshold());
  EXPECT_EQ(7u, read.getGroupId());
  EXPECT_EQ(0xB5A00000u, read.toEntryWord());
  // A disabled entry has level 0; only the low four bits of gates and
  // threshold reach the word.
  read.disableMux();
  EXPECT_EQ(0x05A00000u, read.toEntryWord());
  EXPECT_EQ(0xFF300000u, entry(7, 0x1F, 0x13).toEntryWord());
  // A level beyond three bits does not reach the enable bit.
  read.setMuxLevel(9);
  EXPECT_EQ(0x15A00000u, read.toEntryWord());
}

TEST(IoMuxConfiguratorTest, NumberOfGroupsIsBounded) {
  const struct {
    const char* groups;
    unsigned int rc;
    unsigned int kept;
  } cases[] = {{"22", 0, 22}, {"256", 0, 256}, {"257", 0x7013, 0}, {"4000000000", 0x7013, 0}};
  for (const auto& c : cases) {
    IoMuxConfigurator configurator;
    std::unique_ptr<BinaryReaderNode> node(cardstest::element("IoMuxConfigurator", {{"maxGroups", c.groups}}));
    EXPECT_EQ(c.rc, configurator.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag())
        << c.groups;
    EXPECT_EQ(c.kept, configurator.getMaxGroups()) << c.groups;
  }
}

TEST(IoMuxGroupDataTest, SelectedEnginesOfTheTwoGroupTypes) {
  cardstest::startServices();
  const struct {
    const char* engine;
    unsigned int rc;
    bool enabled;
    unsigned int level;
    unsigned int rcKtr1;  // the rest as for CfamS, but disabled when rejected
  } cases[] = {{"GPIO", 0, true, 0, 0},           {"I2C", 0, true, 1, 0},      {"ENGINE_8", 0, true, 2, 0},
               {"SCOM", 0, true, 3, 0},           {"IIC_SLAVE", 0, true, 4, 0}, {"UART", 0, true, 5, 0},
               {"JTAG", 0, true, 6, 0x716C},      {"MAILBOX", 0, true, 7, 0x716C},
               {"IOMUX_DISABLED", 0, false, 0, 0}, {"SCRATCHPAD", 0x716C, false, 0, 0x716C}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    IoMuxGroupDataCfamS cfamS;
    IoMuxGroupDataKtr1 ktr1;
    const std::initializer_list<std::pair<kavstl::string, kavstl::string>> attributes = {
        {"groupId", "3"}, {"selectedEngine", c.engine}, {"controlGates", "0x3"}, {"receiveThreshold", "0x4"}};
    EXPECT_EQ(c.rc, readGroup(cfamS, attributes));
    EXPECT_EQ(c.rcKtr1, readGroup(ktr1, attributes));
    EXPECT_EQ(c.enabled, cfamS.getIoMuxInfo().isMuxEnabled());
    EXPECT_EQ(c.level, cfamS.getIoMuxInfo().getMuxLevel());
    EXPECT_EQ(c.enabled && c.rcKtr1 == 0, ktr1.getIoMuxInfo().isMuxEnabled());
    if (c.rcKtr1 != 0) {
      EXPECT_EQ(0u, ktr1.getIoMuxInfo().getMuxLevel());
    }
    EXPECT_EQ(c.rc == 0 ? get_id_by_string(c.engine) : 0u, cfamS.getIoMuxInfo().getSelectedEngine());
    EXPECT_EQ(3u, cfamS.getIoMuxInfo().getGroupId());
    EXPECT_EQ(3u, cfamS.getIoMuxInfo().getControlGates());
    EXPECT_EQ(4u, cfamS.getIoMuxInfo().getReceiverThreshold());
  }
}

TEST(IoMuxGroupDataTest, GroupIdsAndBitRangesAreBounded) {
  cardstest::startServices();
  const struct {
    const char* groupId;
    const char* gates;
    const char* threshold;
    unsigned int rcCfamS;
    unsigned int rcKtr1;
  } cases[] = {{"21", "15", "15", 0, 0},           {"22", "0", "0", 0x7381, 0},      {"65", "0", "0", 0x7381, 0},
               {"66", "0", "0", 0x7381, 0x7381}, {"0", "16", "0", 0x7382, 0x7382}, {"0", "0", "16", 0x7382, 0x7382},
               {"x", "0", "0", 0x7149, 0x7149}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.groupId << " " << c.gates << " " << c.threshold);
    IoMuxGroupDataCfamS cfamS;
    IoMuxGroupDataKtr1 ktr1;
    const std::initializer_list<std::pair<kavstl::string, kavstl::string>> attributes = {
        {"groupId", c.groupId}, {"selectedEngine", "GPIO"}, {"controlGates", c.gates}, {"receiveThreshold", c.threshold}};
    EXPECT_EQ(c.rcCfamS, readGroup(cfamS, attributes));
    EXPECT_EQ(c.rcKtr1, readGroup(ktr1, attributes));
  }
  // A rejected value is not taken over.
  IoMuxGroupDataCfamS group;
  EXPECT_EQ(0x7382u, readGroup(group, {{"groupId", "1"}, {"selectedEngine", "GPIO"}, {"controlGates", "16"},
                                        {"receiveThreshold", "2"}}));
  EXPECT_EQ(0xFFFFFFFFu, group.getIoMuxInfo().getControlGates());
  EXPECT_EQ(2u, group.getIoMuxInfo().getReceiverThreshold());
  // Every attribute is needed.
  IoMuxGroupDataCfamS partial;
  EXPECT_EQ(0x7145u, readGroup(partial, {{"groupId", "1"}, {"selectedEngine", "GPIO"}}));
}

TEST_F(IoMuxTest, ConfiguratorWritesEachRunOfConfiguredGroupsOnce) {
  using Write = RecordingIoMux::Write;
  const struct {
    unsigned int maxGroups;
    std::vector<unsigned int> groups;
    unsigned int rc;
    std::vector<Write> writes;
  } cases[] = {
      {8, {0, 1, 2, 5, 6}, 0, {{0, {word(0, 0), word(0, 1), word(0, 2)}}, {5, {word(0, 5), word(0, 6)}}}},
      // Group 8 does not fit 8 groups: left out, the others still written.
      {8, {0, 8, 7}, 0x7380, {{0, {word(0, 0)}}, {7, {word(0, 7)}}}},
      // Order does not matter; a later group of the same id replaces an earlier one.
      {4, {3, 1, 2, 1}, 0, {{1, {word(0, 1), word(0, 2), word(0, 3)}}}},
      {4, {}, 0, {}},
      {0, {0}, 0x7380, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "max " << c.maxGroups << " groups " << c.groups.size());
    KavPtr<IoMuxConfigurator> configurator = this->configurator(c.maxGroups, c.groups);
    KavPtr<RecordingIoMux> mux(new RecordingIoMux());
    EXPECT_EQ(c.rc, configurator->configIoMux(KavPtr<IoMuxHwaInterface>(mux)).getRcWithoutLogFlag());
    EXPECT_EQ(c.writes, mux->writes);
  }
}

TEST_F(IoMuxTest, ConfiguratorTriesEveryRunAndNeedsAMultiplexer) {
  KavPtr<IoMuxConfigurator> configurator = this->configurator(8, {0, 1, 2, 5, 6});
  KavPtr<RecordingIoMux> mux(new RecordingIoMux());
  mux->failWritesAt = 0;
  EXPECT_EQ(0xFFFFu, configurator->configIoMux(KavPtr<IoMuxHwaInterface>(mux)).getRcWithoutLogFlag());
  EXPECT_EQ(2u, mux->writes.size());
  EXPECT_EQ(0x7346u, configurator->configIoMux(KavPtr<IoMuxHwaInterface>()).getRcWithoutLogFlag());
}

TEST_F(IoMuxTest, EngineWritesAndReadsEntriesWithinItsGroups) {
  KavPtr<IoMuxViaFsiHwa> engine = openEngine();
  EXPECT_EQ(get_engine_instance_name_id(kav::sid::ENGINE_TYPE_IOMUX, 1, 0), engine->getInstanceId());
  unsigned int groups = 0;
  ASSERT_EQ(0u, engine->readNumOfIoMuxGroups(groups).getRc());
  EXPECT_EQ(22u, groups);

  const IoMuxInfo written[] = {entry(3, 5, 0xA), entry(7, 0, 1)};
  ravosim::clearTransactionLog();
  ASSERT_EQ(0u, engine->write(20, written, 2).getRc());
  std::vector<uint32_t> entries;
  int state = -1;
  ASSERT_TRUE(ravosim::readIomux(kPath, entries, state));
  EXPECT_EQ(0xB5A00000u, entries[20]);
  EXPECT_EQ(0xF0100000u, entries[21]);
  ASSERT_EQ(1u, deviceWrites().size());
  EXPECT_EQ(20u, deviceWrites()[0].offset);

  IoMuxInfo read[2];
  read[0].setGroupId(20);
  unsigned int count = 2;
  ASSERT_EQ(0u, engine->read(20, read, count).getRc());
  EXPECT_EQ(written[0].toEntryWord(), read[0].toEntryWord());
  EXPECT_EQ(written[1].toEntryWord(), read[1].toEntryWord());
  EXPECT_EQ(20u, read[0].getGroupId());

  // Beyond the groups: refused before any device call.
  const struct {
    unsigned int index;
    unsigned int count;
  } beyond[] = {{20, 4}, {22, 1}, {0, 23}, {0xFFFFFFFFu, 2}};
  const IoMuxInfo four[4];
  for (const auto& b : beyond) {
    SCOPED_TRACE(testing::Message() << b.index << "+" << b.count);
    ravosim::clearTransactionLog();
    EXPECT_EQ(0x7383u, engine->write(b.index, four, b.count).getRcWithoutLogFlag());
    unsigned int n = b.count;
    IoMuxInfo out[23];
    EXPECT_EQ(0x7383u, engine->read(b.index, out, n).getRcWithoutLogFlag());
    EXPECT_TRUE(deviceWrites().empty());
  }
  unsigned int n = 1;
  EXPECT_EQ(0x7012u, engine->read(0, nullptr, n).getRcWithoutLogFlag());
}

TEST_F(IoMuxTest, EngineOpenStatesAndDumps) {
  KavPtr<IoMuxViaFsiHwa> engine(new IoMuxViaFsiHwa(engineInfo()));
  link(m_container.getRawPointer(), engine.getRawPointer());
  const IoMuxInfo one[1];
  EXPECT_EQ(0x7019u, engine->write(0, one, 1).getRcWithoutLogFlag());
  unsigned int groups = 0;
  EXPECT_EQ(0x7019u, engine->readNumOfIoMuxGroups(groups).getRcWithoutLogFlag());
  const unsigned int before = ravosim::openHandles();
  ASSERT_EQ(0u, engine->init(initSequence::INIT_OPEN_ENGINES).getRc());
  EXPECT_EQ(0u, engine->openEngine().getRc());  // already open
  EXPECT_EQ(before + 1, ravosim::openHandles());
  std::ostringstream dump;
  engine->dumpXml(dump);
  EXPECT_NE(std::string::npos, dump.str().find("<class className=\"IoMuxViaFsiHwa\">")) << dump.str();
  EXPECT_NE(std::string::npos, dump.str().find("name=\"physicalEngineNumber\" value=\"4\"")) << dump.str();
  ASSERT_EQ(0u, engine->terminate(terminateSequence::TERM_CLOSE_ENGINES).getRc());
  EXPECT_EQ(before, ravosim::openHandles());
  engine->terminate(terminateSequence::TERM_MARK_DELETED);
  EXPECT_EQ(0x7017u, engine->write(0, one, 1).getRcWithoutLogFlag());
}

// Device failures carry the engine's text and key; the engine logs the
// first and only marks the later ones.
TEST_F(IoMuxTest, EngineLogsItsFirstDeviceErrorOnly) {
  KavPtr<IoMuxViaFsiHwa> engine = openEngine();
  const IoMuxInfo good[1] = {entry(1, 0xF, 0xA)};
  const IoMuxInfo other[1] = {entry(2, 0xF, 0xA)};
  ASSERT_EQ(0u, engine->write(5, good, 1).getRc());
  testsupport::RecordingLogSink sink;
  // A validated multiplexer only compares: the same entry passes, another fails.
  std::vector<uint32_t> entries;
  int state = -1;
  ravosim::failCalls("ravo_iomux_write", kPath, EIO, 1);
  ErrorData first = engine->write(5, good, 1);
  EXPECT_EQ(EIO, static_cast<int>(first.getRcWithoutLogFlag()));
  const std::string text(first.getErrorBuffer(), first.getErrorBufferLen());
  EXPECT_NE(std::string::npos, text.find("IoMux Error on FSI  rc=0x00000005")) << text;
  EXPECT_NE(std::string::npos, text.find("PhysEngineNumber=4")) << text;
  unsigned int primaryKey = 0, secondaryKey = 0;
  first.getKeys(primaryKey, secondaryKey);
  EXPECT_EQ(get_id_by_string("FSI_IOMUX_ACCESS"), primaryKey);

  // Validated elsewhere: the engine's later mismatch is marked, not logged again.
  std::string msg;
  EdalHandle* probe = nullptr;
  ASSERT_EQ(0u, edalIOmuxOpen(EdalInfo(3, 0, 4), probe, msg)) << msg;
  ASSERT_EQ(0u, edalIOmuxValidate(probe, msg)) << msg;
  EXPECT_EQ(0u, engine->write(5, good, 1).getRc());
  ErrorData mismatch = engine->write(5, other, 1);
  EXPECT_EQ(0xFFFFu, mismatch.getRcWithoutLogFlag());
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, mismatch.getLogState());
  ASSERT_TRUE(ravosim::readIomux(kPath, entries, state));
  EXPECT_EQ(good[0].toEntryWord(), entries[5]);
  // The slot-id converter of the log is not set up here and says so: only
  // the engine's entries count.
  std::vector<testsupport::LoggedError> logged;
  for (const testsupport::LoggedError& e : sink.errors())
    if (e.primaryKey == primaryKey) logged.push_back(e);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(EIO, static_cast<int>(logged[0].rc));
  ASSERT_EQ(0u, edalIOmuxClose(probe, msg)) << msg;
}
