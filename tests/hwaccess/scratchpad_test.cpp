// The scratchpad path on the simulated machine: the engine's cache, cold
// start, failing device writes, and a Ram over block, device and engine.
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/hwaccess/scratchpad/RamHwdInterfaceLink.h"
#include "kav/hwaccess/scratchpad/RamHwdScratchpad.h"
#include "kav/hwaccess/scratchpad/RamHwr.h"
#include "kav/hwaccess/scratchpad/ScratchpadHwaInterfaceLink.h"
#include "kav/hwaccess/scratchpad/ScratchpadViaFsiHwa.h"
#include "kav/runtime/ColdStart.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TempDir.h"
#include "tests/support/TraceRecorder.h"

using cardstest::link;

namespace {

const char* const kMachine = R"(<machine name="scratchpad">
  <cfam link="1" cascade="0">
    <scratchpad number="3" size="64"/>
  </cfam>
</machine>)";
const char* const kPath = "/dev/scp/L01C0E03";
const unsigned kSize = 64;

using Bytes = std::vector<unsigned char>;

FsiEngineInfo engineInfo() { return FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_SCRATCHPAD, 0), 1, 1, 0, 3); }

Bytes deviceBytes(unsigned offset, unsigned len) {
  Bytes b(len, 0xEE);
  EXPECT_TRUE(ravosim::readScratchpad(kPath, offset, b.data(), len));
  return b;
}

class ScratchpadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    static testsupport::TempDir stateDir("scratchpad");
    ASSERT_FALSE(stateDir.path().empty());
    ravosim::setStateDir(stateDir.path());
    ASSERT_TRUE(ravosim::loadMachineText(kMachine).ok);
  }
  void SetUp() override {
    ravosim::resetMachine();
    g_coldStart = false;
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
  }
  void TearDown() override {
    ravosim::clearFaults();
    g_coldStart = false;
    for (KavPtr<ScratchpadViaFsiHwa>& e : m_engines) e->closeEngine();
  }

  // A card whose memory holds an earlier life's bytes.
  static void usedCard(bool deviceColdStart) {
    const Bytes old(kSize, 0x5C);
    ASSERT_TRUE(ravosim::writeScratchpad(kPath, 0, old.data(), kSize));
    ASSERT_TRUE(ravosim::setColdStart(kPath, deviceColdStart));
  }

  KavPtr<ScratchpadViaFsiHwa> openEngine() {
    KavPtr<ScratchpadViaFsiHwa> engine(new ScratchpadViaFsiHwa(engineInfo()));
    link(m_container.getRawPointer(), engine.getRawPointer());
    EXPECT_EQ(0u, engine->init(initSequence::INIT_OPEN_ENGINES).getRc());
    m_engines.push_back(engine);
    return engine;
  }

  static Bytes cached(const ScratchpadViaFsiHwa& engine, unsigned offset, unsigned len) {
    Bytes b(len, 0xEE);
    EXPECT_EQ(0u, engine.read(offset, b.data(), len).getRc());
    return b;
  }

  KavPtr<Container> m_container;
  std::vector<KavPtr<ScratchpadViaFsiHwa>> m_engines;
};

// Zeroing needs both the process's cold start and the memory's own state.
TEST_F(ScratchpadTest, MemoryIsZeroedOnlyOnAColdStartTheMemoryHasNotSeen) {
  struct Case {
    bool processCold;
    bool deviceCold;
    bool zeroed;
  } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "process " << c.processCold << " device " << c.deviceCold);
    usedCard(c.deviceCold);
    g_coldStart = c.processCold;
    KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
    EXPECT_TRUE(engine->isCacheValid());
    EXPECT_EQ(kSize, engine->getScratchpadSize());
    const Bytes expected(kSize, c.zeroed ? 0x00 : 0x5C);
    EXPECT_EQ(expected, cached(*engine, 0, kSize));
    EXPECT_EQ(expected, deviceBytes(0, kSize));
    bool deviceCold = true;
    ASSERT_TRUE(ravosim::coldStart(kPath, deviceCold));
    EXPECT_EQ(c.deviceCold && !c.zeroed, deviceCold);
    engine->closeEngine();
  }
}

TEST_F(ScratchpadTest, ACardOpenedAgainInTheSameProcessKeepsItsData) {
  usedCard(true);
  g_coldStart = true;
  KavPtr<ScratchpadViaFsiHwa> first = openEngine();
  const Bytes state = {1, 2, 3, 4};
  ASSERT_EQ(0u, first->write(10, state.data(), 4).getRc());
  first->terminate(terminateSequence::TERM_CLOSE_ENGINES);

  // The card comes back: a new engine, the process flag still set.
  KavPtr<ScratchpadViaFsiHwa> second = openEngine();
  EXPECT_EQ(state, cached(*second, 10, 4));
  EXPECT_EQ(state, deviceBytes(10, 4));
}

// Each access is traced with its operation and bytes in the record's one
// string and the offset and length as values.
TEST_F(ScratchpadTest, AccessesAreTracedWithTheirBytes) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
  testsupport::TraceRecorder trace({"ScratchpadViaFsiHwa::"});
  const Bytes data = {0x01, 0xAB, 0xFF};
  ASSERT_EQ(0u, engine->write(5, data.data(), 3).getRc());
  Bytes back(2, 0);
  ASSERT_EQ(0u, engine->read(6, back.data(), 2).getRc());
  std::vector<std::string> texts;
  for (const testsupport::TracedRecord& r : trace.records()) texts.push_back(r.text);
  EXPECT_EQ((std::vector<std::string>{"ScratchpadViaFsiHwa::write 01 AB FF offset=5 len=3",
                                      "ScratchpadViaFsiHwa::read AB FF offset=6 len=2"}),
            texts);
}

TEST_F(ScratchpadTest, ReadsAfterCloseAreServedFromTheCache) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
  const Bytes data = {0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_EQ(0u, engine->write(60, data.data(), 4).getRc());
  ASSERT_EQ(0u, engine->terminate(terminateSequence::TERM_CLOSE_ENGINES).getRc());
  EXPECT_FALSE(engine->isOpen());
  // The device changes behind the closed engine: the cache answers.
  const Bytes other(4, 0x11);
  ASSERT_TRUE(ravosim::writeScratchpad(kPath, 60, other.data(), 4));
  EXPECT_EQ(data, cached(*engine, 60, 4));

  std::ostringstream dump;
  engine->dumpXml(dump);
  const std::string cache = std::string(2 * 60, '0') + "DEADBEEF";
  for (const std::string& part : {std::string("name=\"physicalEngineNumber\" value=\"3\""),
                                  std::string("name=\"m_scratchpadSize\" value=\"64\""),
                                  std::string("name=\"m_cacheValid\" value=\"true\""),
                                  "name=\"m_pCache\" value=\"" + cache + "\""})
    EXPECT_NE(std::string::npos, dump.str().find(part)) << part << "\n" << dump.str();
}

TEST_F(ScratchpadTest, AccessBeyondTheMemoryIsRefused) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
  unsigned char b[8] = {};
  struct Case {
    unsigned offset;
    unsigned len;
  } cases[] = {{63, 2}, {64, 1}, {0, 65}, {0xFFFFFFFFu, 2}, {8, 0xFFFFFFFCu}};
  const uint64_t writesBefore = ravosim::scratchpadWrites();
  for (const Case& c : cases) {
    EXPECT_EQ(0x7180u, engine->read(c.offset, b, c.len).getRc()) << c.offset;
    EXPECT_EQ(0x7180u, engine->write(c.offset, b, c.len).getRc()) << c.offset;
  }
  EXPECT_EQ(writesBefore, ravosim::scratchpadWrites());
  EXPECT_EQ(0u, engine->read(63, b, 1).getRc());
}

TEST_F(ScratchpadTest, AFailedDeviceWriteKeepsTheNewBytesAndIsLoggedOnce) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
  testsupport::RecordingLogSink sink;
  ravosim::failCalls("ravo_scp_write", kPath, EIO, 2);
  const Bytes data = {7, 8, 9};
  const unsigned rc = engine->write(20, data.data(), 3).getRc();
  EXPECT_NE(0u, rc);
  EXPECT_FALSE(engine->isCacheValid());
  EXPECT_EQ(Bytes(3, 0), deviceBytes(20, 3));
  // With the engine open the cache still answers, with the new bytes.
  EXPECT_EQ(data, cached(*engine, 20, 3));
  EXPECT_NE(0u, engine->write(30, data.data(), 3).getRc());

  // The slot-id converter of the log is not set up here and says so: only
  // the engine's entries count.
  std::vector<testsupport::LoggedError> errors;
  for (const testsupport::LoggedError& e : sink.errors())
    if (e.text.find("ScratchPad") != std::string::npos) errors.push_back(e);
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(rc, errors[0].rc);
  char text[64];
  std::snprintf(text, sizeof text, "ScratchPad Error on FSI  rc=0x%.8X", rc);
  EXPECT_NE(std::string::npos, errors[0].text.find(text)) << errors[0].text;
  EXPECT_EQ(get_id_by_string("FSI_SCRATCHPAD_ACCESS"), errors[0].primaryKey);
  EXPECT_EQ(2u, ravosim::injectedFailures("ravo_scp_write"));

  // A write that goes through makes the cache valid again.
  ASSERT_EQ(0u, engine->write(40, data.data(), 3).getRc());
  EXPECT_TRUE(engine->isCacheValid());
  engine->closeEngine();
  EXPECT_EQ(data, cached(*engine, 20, 3));
}

TEST_F(ScratchpadTest, WithoutAValidCacheAClosedEngineCannotBeRead) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();
  ravosim::failCalls("ravo_scp_write", kPath, EIO, 1);
  const Bytes data = {7};
  EXPECT_NE(0u, engine->write(0, data.data(), 1).getRc());
  engine->closeEngine();
  unsigned char b = 0;
  EXPECT_EQ(0x7019u, engine->read(0, &b, 1).getRc());
}

// Ram -> RamHwr -> RamHwdScratchpad -> engine, linked by instance names.
TEST_F(ScratchpadTest, RamFieldsReachTheScratchpadThroughTheLayers) {
  KavPtr<ScratchpadViaFsiHwa> engine = openEngine();

  KavPtr<RamHwdScratchpad> device(new RamHwdScratchpad());
  device->setInstanceId(get_id_by_string("ScratchpadTestDevice"));
  link(m_container.getRawPointer(), device.getRawPointer());
  KavPtr<ScratchpadHwaInterfaceLink> engineLink(new ScratchpadHwaInterfaceLink());
  engineLink->setHidden(true);
  engineLink->setScopeId(kav::sid::SCOPE_CONTAINER);
  engineLink->setTargetInstanceName(engine->getInstanceId());
  link(device.getRawPointer(), engineLink.getRawPointer());
  engineLink->setContainer(m_container);

  const kavstl::string name = get_string_by_id(kav::sid::PARAMETER_NAME);
  const kavstl::string size = get_string_by_id(kav::sid::FIELD_SIZE);
  std::unique_ptr<BinaryReaderNode> node(cardstest::element(
      "Ram", {},
      {cardstest::element(get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {},
                          {cardstest::element("Table", {{name, "ScratchpadTestTable"}},
                                              {cardstest::element("Field", {{name, "ScratchpadTestFlag"}, {size, "1"}}),
                                               cardstest::element("Field", {{name, "ScratchpadTestValue"}, {size, "4"}})})})}));
  KavPtr<Ram> ram(new Ram());
  link(m_container.getRawPointer(), ram.getRawPointer());
  ASSERT_EQ(0u, ram->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  KavPtr<RamHwr> block(new RamHwr());
  block->setHidden(true);
  link(ram.getRawPointer(), block.getRawPointer());
  KavPtr<RamHwdInterfaceLink> deviceLink(new RamHwdInterfaceLink());
  deviceLink->setHidden(true);
  deviceLink->setScopeId(kav::sid::SCOPE_CONTAINER);
  deviceLink->setTargetInstanceName(device->getInstanceId());
  link(block.getRawPointer(), deviceLink.getRawPointer());
  deviceLink->setContainer(m_container);

  unsigned char b = 0;
  EXPECT_EQ(0x7344u, device->read(0, &b, 1).getRc());  // not linked yet
  EXPECT_EQ(0x7362u, block->read(0, &b, 1).getRc());
  ASSERT_EQ(0u, device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, block->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, ram->init(initSequence::INIT_VARIABLES).getRc());
  unsigned ramSize = 0;
  EXPECT_EQ(0u, ram->getSize(&ramSize).getRc());
  EXPECT_EQ(kSize, ramSize);

  const unsigned table = get_id_by_string("ScratchpadTestTable");
  const Bytes value = {0x12, 0x34, 0x56, 0x78};
  ASSERT_EQ(0u, ram->writeField(table, get_id_by_string("ScratchpadTestValue"), value.data(), 4, 0).getRc());
  EXPECT_EQ(value, deviceBytes(1, 4));
  const unsigned char on = 0x81, mask = 0x01;
  ASSERT_EQ(0u, ram->writeFieldWithMask(table, get_id_by_string("ScratchpadTestFlag"), &on, &mask, 1, 0).getRc());
  EXPECT_EQ(Bytes({0x01}), deviceBytes(0, 1));
  ASSERT_EQ(0u, ram->clearTable(table).getRc());
  EXPECT_EQ(Bytes(5, 0), deviceBytes(0, 5));

  ram->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  block->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  device->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_EQ(0x7344u, device->read(0, &b, 1).getRc());
  EXPECT_EQ(0x7362u, block->read(0, &b, 1).getRc());
  EXPECT_EQ(0x700Bu, ram->read(&b, 1, 0).getRc());
}

}  // namespace
