// A Ram over memory blocks that record what they are asked: how requests are
// split over the blocks, the bounds, masked writes in 4-byte chunks, the
// table layout and its fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/hwaccess/scratchpad/RamHwrInterface.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

namespace {

// A memory block of a fixed size that records every access.
class FakeBlock : public RamHwrInterface {
 public:
  struct Access {
    char op;  // 'r' or 'w'
    unsigned offset;
    std::vector<unsigned char> bytes;
    bool operator==(const Access& o) const { return op == o.op && offset == o.offset && bytes == o.bytes; }
  };
  explicit FakeBlock(unsigned size) : memory(size, 0) {}

  ErrorData read(unsigned offset, unsigned char* data, unsigned len) const override {
    for (unsigned i = 0; i < len; ++i) data[i] = memory.at(offset + i);
    log.push_back(Access{'r', offset, std::vector<unsigned char>(data, data + len)});
    return ErrorData();
  }
  ErrorData write(unsigned offset, const unsigned char* data, unsigned len) const override {
    for (unsigned i = 0; i < len; ++i) memory.at(offset + i) = data[i];
    log.push_back(Access{'w', offset, std::vector<unsigned char>(data, data + len)});
    return ErrorData();
  }
  ErrorData readSize(unsigned& size) const override {
    size = static_cast<unsigned>(memory.size());
    return ErrorData();
  }
  std::vector<Access> writes() const {
    std::vector<Access> w;
    for (const Access& a : log)
      if (a.op == 'w') w.push_back(a);
    return w;
  }

  mutable std::vector<unsigned char> memory;
  mutable std::vector<Access> log;
};

using Bytes = std::vector<unsigned char>;

class RamTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  // A Ram over blocks of the given sizes, with an optional layout, not yet
  // initialised.
  KavPtr<Ram> makeRam(const std::vector<unsigned>& sizes, BinaryReaderNode* layout = nullptr) {
    KavPtr<Ram> ram(new Ram());
    std::unique_ptr<BinaryReaderNode> node(cardstest::element("Ram", {}));
    if (layout != nullptr) node->addChild(layout);
    EXPECT_EQ(0u, ram->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    for (unsigned size : sizes) {
      FakeBlock* block = new FakeBlock(size);
      block->setHidden(true);
      cardstest::link(ram.getRawPointer(), block);
      m_blocks.push_back(block);
    }
    return ram;
  }
  KavPtr<Ram> initRam(const std::vector<unsigned>& sizes, BinaryReaderNode* layout = nullptr) {
    KavPtr<Ram> ram = makeRam(sizes, layout);
    EXPECT_EQ(0u, ram->init(initSequence::INIT_VARIABLES).getRc());
    return ram;
  }

  // Two tables: A with fields of 1 and 4 bytes, B with one of 2 bytes.
  static BinaryReaderNode* twoTables() {
    const kavstl::string name = get_string_by_id(kav::sid::PARAMETER_NAME);
    const kavstl::string size = get_string_by_id(kav::sid::FIELD_SIZE);
    auto field = [&](const char* n, const char* s) { return cardstest::element("Field", {{name, n}, {size, s}}); };
    return cardstest::element(
        get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {},
        {cardstest::element("Table", {{name, "RamTestTableA"}}, {field("RamTestFieldA1", "1"), field("RamTestFieldA2", "4")}),
         cardstest::element("Table", {{name, "RamTestTableB"}}, {field("RamTestFieldB1", "2")})});
  }
  static unsigned id(const char* s) { return get_id_by_string(s); }

  std::vector<FakeBlock*> m_blocks;  // owned by the Ram's tree
};

TEST_F(RamTest, BlocksFollowEachOtherAndAWriteIsSplitAtTheirBoundary) {
  KavPtr<Ram> ram = initRam({256, 256});
  unsigned size = 0;
  EXPECT_EQ(0u, ram->getSize(&size).getRc());
  EXPECT_EQ(512u, size);
  EXPECT_EQ(2u, ram->getNumberMemSegs());

  Bytes data(16);
  for (unsigned i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(0xA0 + i);
  ASSERT_EQ(0u, ram->write(data.data(), 16, 250).getRc());
  using A = FakeBlock::Access;
  EXPECT_EQ(m_blocks[0]->writes(), (std::vector<A>{A{'w', 250, Bytes(data.begin(), data.begin() + 6)}}));
  EXPECT_EQ(m_blocks[1]->writes(), (std::vector<A>{A{'w', 0, Bytes(data.begin() + 6, data.end())}}));

  Bytes back(16, 0);
  ASSERT_EQ(0u, ram->read(back.data(), 16, 250).getRc());
  EXPECT_EQ(data, back);

  std::ostringstream dump;
  ram->dumpXml(dump);
  for (const char* part : {"name=\"m_numberMemSegs\" value=\"2\"", "name=\"m_memorySize\" value=\"512\"",
                           "name=\"m_initialized\" value=\"true\"", "<TableLayout size=\"0\">"})
    EXPECT_NE(std::string::npos, dump.str().find(part)) << part << "\n" << dump.str();
}

TEST_F(RamTest, AccessMustEndWithinTheMemory) {
  KavPtr<Ram> ram = initRam({256, 256});
  Bytes data(8, 0x5A);
  EXPECT_EQ(0u, ram->write(data.data(), 8, 504).getRc());
  EXPECT_EQ(m_blocks[1]->writes().size(), 1u);

  struct Case {
    unsigned len;
    unsigned offset;
  } cases[] = {{8, 505}, {1, 512}, {2, 0xFFFFFFFFu}, {0xFFFFFFF8u, 16}};
  for (const Case& c : cases) {
    Bytes big(8, 0);
    EXPECT_EQ(0x7008u, ram->write(big.data(), c.len, c.offset).getRc()) << c.offset;
    EXPECT_EQ(0x7008u, ram->read(big.data(), c.len, c.offset).getRc()) << c.offset;
  }
  EXPECT_TRUE(m_blocks[0]->log.empty());
  EXPECT_EQ(m_blocks[1]->log.size(), 1u);  // the first write only

  EXPECT_EQ(0x7000u, ram->write(nullptr, 1, 0).getRc());
  EXPECT_EQ(0x7000u, ram->writeWithMask(data.data(), nullptr, 1, 0).getRc());
}

TEST_F(RamTest, UnusableBeforeInitialisationAndAfterTermination) {
  KavPtr<Ram> ram = makeRam({16});
  unsigned char b = 0;
  EXPECT_EQ(0x700Bu, ram->read(&b, 1, 0).getRc());
  ASSERT_EQ(0u, ram->init(initSequence::INIT_VARIABLES).getRc());
  EXPECT_EQ(0x700Cu, ram->initVars().getRc());
  EXPECT_EQ(0u, ram->read(&b, 1, 0).getRc());
  ram->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_FALSE(ram->isInitialized());
  EXPECT_EQ(0u, ram->getNumberMemSegs());
  EXPECT_EQ(0x700Bu, ram->write(&b, 1, 0).getRc());
}

TEST_F(RamTest, MaskedWriteChangesOnlyMaskedBitsInChunksOfFour) {
  KavPtr<Ram> ram = initRam({256, 256});
  for (unsigned i = 0; i < 6; ++i) m_blocks[0]->memory[100 + i] = 0x33;
  const Bytes data = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6};
  const Bytes mask = {0xFF, 0x00, 0xF0, 0x0F, 0x00, 0xFF};
  ASSERT_EQ(0u, ram->writeWithMask(data.data(), mask.data(), 6, 100).getRc());
  using A = FakeBlock::Access;
  const std::vector<A> expected = {A{'r', 100, {0x33, 0x33, 0x33, 0x33}}, A{'w', 100, {0xC1, 0x33, 0xC3, 0x34}},
                                   A{'r', 104, {0x33, 0x33}}, A{'w', 104, {0x33, 0xC6}}};
  EXPECT_EQ(m_blocks[0]->log, expected);
  EXPECT_TRUE(m_blocks[1]->log.empty());
}

TEST_F(RamTest, MaskedWriteAcrossABlockBoundaryStartsNewChunksInTheNextBlock) {
  KavPtr<Ram> ram = initRam({256, 256});
  const Bytes data(6, 0xFF);
  const Bytes mask(6, 0x0F);
  ASSERT_EQ(0u, ram->writeWithMask(data.data(), mask.data(), 6, 253).getRc());
  using A = FakeBlock::Access;
  EXPECT_EQ(m_blocks[0]->writes(), (std::vector<A>{A{'w', 253, {0x0F, 0x0F, 0x0F}}}));
  EXPECT_EQ(m_blocks[1]->writes(), (std::vector<A>{A{'w', 0, {0x0F, 0x0F, 0x0F}}}));
}

TEST_F(RamTest, LayoutPlacesFieldsOneAfterTheOtherAcrossTables) {
  KavPtr<Ram> ram = initRam({256}, twoTables());
  struct Case {
    const char* table;
    const char* field;
    unsigned offset;
    unsigned size;
  } cases[] = {{"RamTestTableA", "RamTestFieldA1", 0, 1},
               {"RamTestTableA", "RamTestFieldA2", 1, 4},
               {"RamTestTableB", "RamTestFieldB1", 5, 2}};
  EXPECT_EQ(7u, ram->getLayout().getSize());
  for (const Case& c : cases) {
    unsigned size = 0;
    EXPECT_EQ(0u, ram->getFieldSize(id(c.table), id(c.field), &size).getRc());
    EXPECT_EQ(c.size, size);
    Bytes value(c.size, 0x77);
    m_blocks[0]->log.clear();
    ASSERT_EQ(0u, ram->writeField(id(c.table), id(c.field), value.data(), c.size, 0).getRc());
    ASSERT_EQ(m_blocks[0]->writes().size(), 1u);
    EXPECT_EQ(c.offset, m_blocks[0]->writes()[0].offset) << c.field;
  }
  kavstl::vector<unsigned> ids;
  EXPECT_EQ(0u, ram->getFieldIds(id("RamTestTableA"), &ids).getRc());
  std::vector<unsigned> expected = {id("RamTestFieldA1"), id("RamTestFieldA2")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(std::vector<unsigned>(ids.begin(), ids.end()), expected);

  // Clearing table A leaves table B alone.
  ASSERT_EQ(0u, ram->clearTable(id("RamTestTableA")).getRc());
  EXPECT_EQ(Bytes(m_blocks[0]->memory.begin(), m_blocks[0]->memory.begin() + 7),
            (Bytes{0, 0, 0, 0, 0, 0x77, 0x77}));
}

TEST_F(RamTest, FieldAccessStaysWithinTheField) {
  KavPtr<Ram> ram = initRam({256}, twoTables());
  unsigned char buf[8] = {};
  const unsigned a = id("RamTestTableA");
  EXPECT_EQ(0x7008u, ram->readField(a, id("RamTestFieldA2"), buf, 4, 1).getRc());
  EXPECT_EQ(0x7008u, ram->writeField(a, id("RamTestFieldA2"), buf, 0xFFFFFFFFu, 2).getRc());
  EXPECT_EQ(0u, ram->readField(a, id("RamTestFieldA2"), buf, 3, 1).getRc());
  EXPECT_EQ(0x7027u, ram->readField(a, id("RamTestFieldB1"), buf, 1, 0).getRc());
  EXPECT_EQ(0x7028u, ram->readField(id("RamTestNoTable"), id("RamTestFieldA1"), buf, 1, 0).getRc());
  EXPECT_EQ(0x7000u, ram->readField(a, id("RamTestFieldA1"), nullptr, 1, 0).getRc());
  for (FakeBlock* b : m_blocks) EXPECT_EQ(b->writes().size(), 0u);
}

TEST_F(RamTest, LayoutLargerThanTheMemoryFailsAndIsLogged) {
  testsupport::RecordingLogSink sink;
  KavPtr<Ram> ram = makeRam({2, 4}, twoTables());
  EXPECT_EQ(0x7008u, ram->init(initSequence::INIT_VARIABLES).getRc());
  EXPECT_FALSE(ram->isInitialized());
  EXPECT_EQ(0u, ram->getNumberMemSegs());
  unsigned char b = 0;
  EXPECT_EQ(0x700Bu, ram->read(&b, 1, 0).getRc());
  const std::vector<testsupport::LoggedError> errors = sink.errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rc, 0x7008u);
  EXPECT_NE(errors[0].text.find("Ram: layout does not fit in memory."), std::string::npos) << errors[0].text;
}

}  // namespace
