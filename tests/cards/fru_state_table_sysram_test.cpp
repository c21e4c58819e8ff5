// The card state byte kept in a Ram: reached through the RamLink among the
// table's hidden children, forwarded with the table id, cleared when the
// table ends.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kav/cards/FruStateTableSysRam.h"
#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/hwaccess/scratchpad/RamHwrInterface.h"
#include "kav/hwaccess/scratchpad/RamLink.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "tests/cards/CardsTestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

class PlainBlock : public RamHwrInterface {
 public:
  explicit PlainBlock(std::shared_ptr<Bytes> memory) : m_memory(memory) {}
  ErrorData read(unsigned offset, unsigned char* data, unsigned len) const override {
    for (unsigned i = 0; i < len; ++i) data[i] = m_memory->at(offset + i);
    return ErrorData();
  }
  ErrorData write(unsigned offset, const unsigned char* data, unsigned len) const override {
    for (unsigned i = 0; i < len; ++i) m_memory->at(offset + i) = data[i];
    return ErrorData();
  }
  ErrorData readSize(unsigned& size) const override {
    size = static_cast<unsigned>(m_memory->size());
    return ErrorData();
  }

 private:
  std::shared_ptr<Bytes> m_memory;
};

unsigned id(const char* s) { return get_id_by_string(s); }

class FruStateTableSysRamTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  // Layout: table FruSysTableX { FruStateByte }, table FruSysTableY { FruSysOther (1) }.
  void SetUp() override {
    const kavstl::string name = get_string_by_id(kav::sid::PARAMETER_NAME);
    const kavstl::string size = get_string_by_id(kav::sid::FIELD_SIZE);
    auto field = [&](const kavstl::string& n) { return cardstest::element("Field", {{name, n}, {size, "1"}}); };
    std::unique_ptr<BinaryReaderNode> node(cardstest::element(
        "Ram", {},
        {cardstest::element(get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {},
                            {cardstest::element("Table", {{name, "FruSysTableX"}},
                                                {field(get_string_by_id(kav::sid::FRU_STATE_FIELD))}),
                             cardstest::element("Table", {{name, "FruSysTableY"}}, {field("FruSysOther")})})}));
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_memory = std::make_shared<Bytes>(4, 0);
    KavPtr<Ram> ram(new Ram());
    ASSERT_EQ(0u, ram->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    ram->setInstanceId(id("FruSysRam"));
    PlainBlock* block = new PlainBlock(m_memory);
    block->setHidden(true);
    cardstest::link(ram.getRawPointer(), block);
    ASSERT_EQ(0u, ram->init(initSequence::INIT_VARIABLES).getRc());
    cardstest::link(m_root.getRawPointer(), ram.getRawPointer());
    m_ram = ram;
  }

  // A table of FruSysTableX under the root, with a RamLink to `target`
  // unless `withLink` is false.
  KavPtr<FruStateTableSysRam> makeTable(bool withLink, const char* target = "FruSysRam") {
    KavPtr<FruStateTableSysRam> table(new FruStateTableSysRam());
    std::unique_ptr<BinaryReaderNode> node(
        cardstest::element("FruStateTableSysRam", {{get_string_by_id(kav::sid::STATE_TABLE_ID), "FruSysTableX"}}));
    EXPECT_EQ(0u, table->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    cardstest::link(m_root.getRawPointer(), table.getRawPointer());
    if (withLink) {
      RamLink* link = new RamLink();
      link->setHidden(true);
      link->setScopeId(kav::sid::SCOPE_CONTAINER);
      link->setTargetInstanceName(id(target));
      cardstest::link(table.getRawPointer(), link);
      link->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    }
    return table;
  }

  KavPtr<Container> m_root;
  KavPtr<Ram> m_ram;
  std::shared_ptr<Bytes> m_memory;
};

}  // namespace

TEST_F(FruStateTableSysRamTest, StateBitsLiveInTheLinkedRamUnderTheTableId) {
  (*m_memory)[1] = 0x77;  // the other table's field
  KavPtr<FruStateTableSysRam> table = makeTable(true);
  ASSERT_EQ(0u, table->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, table->setActivationState(kav::FRU_ACTIVATED).getRc());
  ASSERT_EQ(0u, table->setFencedFlag().getRc());
  EXPECT_EQ(0x06u, (*m_memory)[0]);
  bool flag = false;
  EXPECT_EQ(0u, table->getActivatedFlag(&flag).getRc());
  EXPECT_TRUE(flag);
  ASSERT_EQ(0u, table->setPowerFailFlag().getRc());
  ASSERT_EQ(0u, table->resetFencedFlag().getRc());
  EXPECT_EQ(0x0Au, (*m_memory)[0]);
  EXPECT_EQ(0x77u, (*m_memory)[1]);

  kavstl::vector<unsigned> ids;
  EXPECT_EQ(0u, table->getFieldIds(&ids).getRc());
  EXPECT_EQ(kavstl::vector<unsigned>({FruStateTable::kFruStateFieldId}), ids);
  unsigned size = 0;
  EXPECT_EQ(0u, table->getFieldSize(FruStateTable::kFruStateFieldId, &size).getRc());
  EXPECT_EQ(1u, size);
  unsigned char buf[2] = {0, 0};
  EXPECT_EQ(0x7008u, table->readField(FruStateTable::kFruStateFieldId, buf, 2, 0).getRc());
  EXPECT_EQ(0x7027u, table->readField(id("FruSysOther"), buf, 1, 0).getRc());
  EXPECT_EQ(0x7000u, table->readField(FruStateTable::kFruStateFieldId, nullptr, 1, 0).getRc());
  EXPECT_EQ(0x7000u, table->getFieldIds(nullptr).getRc());

  std::ostringstream dump;
  table->dumpXml(dump);
  EXPECT_NE(std::string::npos, dump.str().find("<parameter name=\"m_scratchpad\" value=\"0x"));
  EXPECT_NE(std::string::npos, dump.str().find("<parameter name=\"m_tableId\" value=\"FruSysTableX\"/>"));

  // The end of the table clears its table in the Ram, and only that one.
  EXPECT_EQ(0u, table->terminate(terminateSequence::TERM_DISCONNECT).getRc());
  EXPECT_EQ(0u, (*m_memory)[0]);
  EXPECT_EQ(0x77u, (*m_memory)[1]);
  table->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_EQ(0x702Du, table->getFieldSize(FruStateTable::kFruStateFieldId, &size).getRc());
}

TEST_F(FruStateTableSysRamTest, WithoutALinkTargetEveryOperationReports702D) {
  KavPtr<FruStateTableSysRam> noLink = makeTable(false);
  EXPECT_EQ(0x702Du, noLink->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  KavPtr<FruStateTableSysRam> noTarget = makeTable(true, "FruSysNoSuchRam");
  EXPECT_EQ(0u, noTarget->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  for (const KavPtr<FruStateTableSysRam>& table : {noLink, noTarget}) {
    unsigned char data = 1, mask = 1;
    unsigned size = 0;
    kavstl::vector<unsigned> ids;
    EXPECT_EQ(0x702Du, table->readField(FruStateTable::kFruStateFieldId, &data, 1, 0).getRc());
    EXPECT_EQ(0x702Du, table->writeField(FruStateTable::kFruStateFieldId, &data, 1, 0).getRc());
    EXPECT_EQ(0x702Du, table->writeFieldWithMask(FruStateTable::kFruStateFieldId, &data, &mask, 1, 0).getRc());
    EXPECT_EQ(0x702Du, table->getFieldIds(&ids).getRc());
    EXPECT_EQ(0x702Du, table->getFieldSize(FruStateTable::kFruStateFieldId, &size).getRc());
    bool flag = true;
    table->getFencedFlag(&flag);
    EXPECT_FALSE(flag);
    // Nothing to clear.
    EXPECT_EQ(0u, table->terminate(terminateSequence::TERM_DISCONNECT).getRc());
  }
}
