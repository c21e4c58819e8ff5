// Lookup tables: the generic table, the rows of the SRC, slot-id conversion,
// string-id, parameter and file-list tables, and table layouts.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kav/diag/LogSlotIdConverterEntry.h"
#include "kav/diag/LookupMainEntry.h"
#include "kav/diag/ParameterEntry.h"
#include "kav/diag/SrcLineEntry.h"
#include "kav/diag/StringToIdLineEntry.h"
#include "kav/diag/TableLayout.h"
#include "kav/diag/XmlLookupTable.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/config/ParameterSet.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/diag/TestConfig.h"

namespace {

using NodePtr = std::unique_ptr<BinaryReaderNode>;

// An element with attributes named by string id.
BinaryReaderNode* element(const char* name, const std::vector<std::pair<unsigned int, std::string>>& attributes) {
  auto* n = new BinaryReaderNode(false);
  n->setName(name);
  for (const auto& a : attributes) n->addAttribute(get_string_by_id(a.first), a.second);
  return n;
}

BinaryReaderNode* srcRow(const std::string& prim, const std::string& sec, const std::string& pih,
                         const std::string& logMode = "logModeAlways", unsigned int src = 0x28C00001) {
  char srcText[16];
  std::snprintf(srcText, sizeof srcText, "0x%08X", src);
  std::vector<std::pair<unsigned int, std::string>> a = {
      {kav::sid::SRC_PRIMARY_KEY, prim},   {kav::sid::SRC_SRC, srcText},       {kav::sid::SRC_PIH_POSITIONS, pih},
      {kav::sid::SRC_EVENT_NAME, "KavTest"}, {kav::sid::SRC_LOG_MODE, logMode}, {kav::sid::SRC_TRAILER, "0x70"},
      {kav::sid::SRC_FEDC_OPTIONS, "1"},   {kav::sid::SRC_LOG_CLASS_TYPE, "2"}, {kav::sid::SRC_LOG_TYPE, "3"},
      {kav::sid::SRC_LOG_USER, "17"},      {kav::sid::SRC_LOG_STATUS, "5"}};
  if (!sec.empty()) a.push_back({kav::sid::SRC_SECONDARY_KEY, sec});
  return element("SrcEntry", a);
}

class LookupTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TestConfig::instance();
    BinaryReaderNode::initMemoryPool();
  }
};

TEST_F(LookupTableTest, SrcTableOfTheConfiguration) {
  XmlLookupTable<SrcLineEntry> table;
  BaseErrorData rc = table.readXmlTable("SrcEntry");
  ASSERT_EQ(rc, 0u) << rc.getErrorBuffer();
  EXPECT_EQ(table.elementCount(), 16u);

  const SrcLineEntry* dio = table.getMatch(SrcLineKey("FSI_DIO_ACCESS", ""), false);
  ASSERT_NE(dio, nullptr);
  EXPECT_EQ(dio->getSrc(), 0x28C07102u);
  EXPECT_EQ(dio->getLogMode(), 1u);
  EXPECT_EQ(dio->getTrailer(), 'p');
  EXPECT_EQ(dio->getEventName(), "KavHardware");
  EXPECT_EQ(dio->getPihPositions(), (kavstl::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(dio->getLogUser(), 17u);

  const SrcLineEntry* osc = table.getMatch(SrcLineKey("OscStatusH", "ErrorAmbiguous"), false);
  ASSERT_NE(osc, nullptr);
  EXPECT_EQ(osc->getSrc(), 0x28C07202u);
  EXPECT_EQ(osc->getLogMode(), 2u);
  // The secondary key is part of the key: without it there is no row.
  EXPECT_EQ(table.getMatch(SrcLineKey("OscStatusH", ""), true), nullptr);
  EXPECT_EQ(table.getMatch(SrcLineKey("NoSuchKey", ""), true), nullptr);
}

TEST_F(LookupTableTest, RowsAreOrderedByPrimaryThenSecondaryKey) {
  NodePtr root(element("SrcTable", {}));
  root->addChild(srcRow("B", "", "1,2,3"));
  root->addChild(srcRow("A", "y", "1,2,3"));
  root->addChild(srcRow("A", "", "1,2,3"));
  root->addChild(srcRow("A", "x", "1,2,3"));
  XmlLookupTable<SrcLineEntry> table;
  EXPECT_EQ(table.parseXmlTableForEntry(root.get()), 0u);
  std::string order;
  for (const SrcLineEntry* e : table.getEntries()) order += e->getKey().m_primaryKey + e->getKey().m_secondaryKey + " ";
  EXPECT_EQ(order, "A Ax Ay B ");
}

TEST_F(LookupTableTest, DuplicateKeyKeepsTheFirstRow) {
  NodePtr root(element("SrcTable", {}));
  root->addChild(srcRow("K", "", "1,2,3", "logModeAlways", 0x11111111));
  root->addChild(srcRow("K", "", "1,2,3", "logModeAlways", 0x22222222));
  root->addChild(srcRow("L", "", "1,2,3", "logModeAlways", 0x33333333));
  XmlLookupTable<SrcLineEntry> table;
  BaseErrorData rc = table.parseXmlTableForEntry(root.get());
  EXPECT_EQ(rc, 0x7013u);
  EXPECT_EQ(table.elementCount(), 2u);
  EXPECT_EQ(table.getMatch(SrcLineKey("K", ""), false)->getSrc(), 0x11111111u);
  EXPECT_EQ(table.getMatch(SrcLineKey("L", ""), false)->getSrc(), 0x33333333u);
}

TEST_F(LookupTableTest, PihPositionsAreRepaired) {
  struct Case {
    const char* text;
    unsigned int rc;
    kavstl::vector<unsigned char> positions;
    const char* message;
  };
  const Case cases[] = {
      {"1,2,3", 0, {1, 2, 3}, nullptr},
      {"1,0,0", 0, {1, 0, 0}, nullptr},
      {"1,1,2", 0x7135, {1, 0, 2}, "value=1 of Parameters 2 in Token='pihPositions' already used"},
      {"2,2,2", 0x7135, {2, 0, 0}, "already used"},
      {"2,3", 0x7136, {2, 3, 0}, "2 of the required 3 parameters found. Fill up with '0'"},
      {"1,2,3,1", 0x7137, {1, 2, 3}, "4 parameters found. Truncate after the required 3 parameters"},
      {"4,1,2", 0x7134, {0, 1, 2}, "Parameter 1 of Token='pihPositions' with value=4 is out of range. Range 0...3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NodePtr row(srcRow("P", "S", c.text));
    SrcLineEntry entry;
    BaseErrorData rc = entry.readXmlLine(0, row.get());
    EXPECT_EQ(rc.getRcWithoutLogFlag(), c.rc);
    EXPECT_EQ(entry.getPihPositions(), c.positions);
    if (c.message != nullptr) {
      std::string text = rc.getErrorBuffer();
      EXPECT_NE(text.find("SrcLookupTable PrimKey='P', SecKey='S'"), std::string::npos) << text;
      EXPECT_NE(text.find(c.message), std::string::npos) << text;
    }
  }
}

TEST_F(LookupTableTest, BadRows) {
  // An unknown log-mode name is refused.
  NodePtr badMode(srcRow("P", "", "1,2,3", "sometimes"));
  SrcLineEntry mode;
  EXPECT_EQ(mode.readXmlLine(0, badMode.get()), 0x7168u);
  EXPECT_TRUE(mode.hasKey());

  // A row without primary key is not taken into the table; the others are.
  NodePtr root(element("SrcTable", {}));
  root->addChild(element("SrcEntry", {{kav::sid::SRC_SRC, "0x1"}}));
  root->addChild(srcRow("Q", "", "1,2,3"));
  XmlLookupTable<SrcLineEntry> table;
  EXPECT_EQ(table.parseXmlTableForEntry(root.get()), 0x7145u);
  EXPECT_EQ(table.elementCount(), 1u);
  EXPECT_NE(table.getMatch(SrcLineKey("Q", ""), true), nullptr);
  EXPECT_EQ(table.getMatch(SrcLineKey("", ""), true), nullptr);
}

TEST_F(LookupTableTest, TableFilesThatCannotBeRead) {
  TestConfig& config = TestConfig::instance();
  config.addMainType("MissingTable", "X", "", {{"Any", "DoesNotExist.bin"}});
  XmlLookupTable<SrcLineEntry> table;
  BaseErrorData rc = table.readXmlTable("MissingTable");
  EXPECT_EQ(rc, 0x716Fu);
  EXPECT_EQ(rc.getLogMode(), 2u);
  std::string text = rc.getErrorBuffer();
  EXPECT_NE(text.find("XmlLookupTable::readXmlFile() rootNode=NULL for XML-File='" + config.dir() +
                      "/DoesNotExist.bin'. Possible reason: File does not exist"),
            std::string::npos)
      << text;
  EXPECT_EQ(table.elementCount(), 0u);

  // No file-list row: the file lookup's error comes back.
  EXPECT_EQ(table.readXmlTable("NoSuchMainType"), 0x7141u);
}

TEST_F(LookupTableTest, SlotIdConversion) {
  terminateLogSlotIdConverter();
  // Before the table exists the id comes back unchanged.
  EXPECT_EQ(convertSlotIdToLogSlotId(0x10001), 0x10001u);

  ParameterSet parameters;
  parameters.addValue(get_string_by_id(kav::sid::SLOT_ID_CONVERTER_TABLE), "LogSlotIdConverterEntry_IpDomain");
  BaseErrorData rc;
  initLogSlotIdConverter(parameters, rc);
  EXPECT_EQ(rc, 0u) << rc.getErrorBuffer();
  EXPECT_EQ(convertSlotIdToLogSlotId(0x10001), 0xC1u);
  EXPECT_EQ(convertSlotIdToLogSlotId(0x10000), 0x0Au);
  EXPECT_EQ(convertSlotIdToLogSlotId(0x12345), 0x12345u);

  // Only the first call reads a table.
  ParameterSet other;
  other.addValue(get_string_by_id(kav::sid::SLOT_ID_CONVERTER_TABLE), "NoSuchMainType");
  BaseErrorData again;
  initLogSlotIdConverter(other, again);
  EXPECT_EQ(again, 0u);
  EXPECT_EQ(convertSlotIdToLogSlotId(0x10001), 0xC1u);
  terminateLogSlotIdConverter();

  // A parameter set without the table name gives an empty table.
  BaseErrorData missing;
  initLogSlotIdConverter(ParameterSet(), missing);
  EXPECT_EQ(missing, 0x7145u);
  EXPECT_EQ(convertSlotIdToLogSlotId(0x10001), 0x10001u);
  terminateLogSlotIdConverter();
}

TEST_F(LookupTableTest, StringIdRowsAreNumberedInFileOrder) {
  XmlLookupTable<StringToIdLineEntry> table;
  ASSERT_EQ(table.readXmlTable("StringIdEntry"), 0u);
  ASSERT_GE(table.elementCount(), kav::sid::TRUE_TEXT);
  for (std::size_t i = 1; i < kav::sid::kFixedStringIdCount; ++i) {
    const auto& fixed = kav::sid::kFixedStringIds[i];
    const StringToIdLineEntry* row = table.getMatch(StringToIdLineKey(fixed.id), false);
    ASSERT_NE(row, nullptr) << fixed.id;
    EXPECT_EQ(row->getText(), fixed.text);
  }
  // Reading a second table numbers its rows from 1 again.
  XmlLookupTable<StringToIdLineEntry> second;
  ASSERT_EQ(second.readXmlTable("StringIdEntry"), 0u);
  EXPECT_EQ(second.getMatch(StringToIdLineKey(kav::sid::TRUE_TEXT), false)->getText(), "true");
}

TEST_F(LookupTableTest, ParameterAndFileListRows) {
  XmlLookupTable<ParameterEntry> parameters;
  ASSERT_EQ(parameters.readXmlTable("ParameterSet_IpDomain"), 0u);
  const ParameterEntry* p = parameters.getMatch(ParameterKey("LogSlotIdConverterTable"), false);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->getValue(), "LogSlotIdConverterEntry_IpDomain");

  BinaryReaderParser parser(TestConfig::instance().dir() + "/FileList.bin");
  const BinaryReaderNode* root = parser.getBinaryReaderRootNode();
  ASSERT_NE(root, nullptr);
  XmlLookupTable<LookupMainEntry> fileList;
  EXPECT_EQ(fileList.parseXmlTableForEntry(root), 0u);
  const LookupMainEntry* tree = fileList.getMatch(LookupMainKey("IpDomainRoot"), false);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->getName(), "IpDomain");
  EXPECT_EQ(tree->getParseName(), "IpDomain");
  // A sub type without a row of its own falls back to "Any".
  const LookupSubEntry* sub = tree->getSubEntry("0");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->getFileName(), "IpDomainRoot.bin");
}

// Layout nodes: <group><table name><field name size/>...</table>...</group>.
class TableLayoutTest : public LookupTableTest {
 protected:
  static BinaryReaderNode* group() { return element(get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {}); }
  static BinaryReaderNode* table(const char* name) {
    return element("Table", {{kav::sid::PARAMETER_NAME, name}});
  }
  static BinaryReaderNode* field(const char* name, const char* size) {
    return element("Field", {{kav::sid::PARAMETER_NAME, name}, {kav::sid::FIELD_SIZE, size}});
  }
  static unsigned int id(const char* s) { return get_id_by_string(s); }
};

TEST_F(TableLayoutTest, FieldsFollowEachOtherAcrossTheTablesOfAGroup) {
  NodePtr node(element("Ram", {}));
  BinaryReaderNode* g = group();
  BinaryReaderNode* a = table("LayoutA");
  a->addChild(field("FieldA1", "4"));
  a->addChild(field("FieldA2", "2"));
  BinaryReaderNode* b = table("LayoutB");
  b->addChild(field("FieldB1", "8"));
  g->addChild(a);
  g->addChild(b);
  node->addChild(g);
  node->addChild(element("NotAGroup", {}));

  TableLayout layout;
  ASSERT_EQ(layout.readLayout(*node), 0u);
  unsigned int offset = 99, size = 99;
  EXPECT_EQ(layout.getFieldInfo(id("LayoutA"), id("FieldA1"), &offset, &size), 0u);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(layout.getFieldInfo(id("LayoutA"), id("FieldA2"), &offset, &size), 0u);
  EXPECT_EQ(offset, 4u);
  EXPECT_EQ(layout.getFieldInfo(id("LayoutB"), id("FieldB1"), &offset, &size), 0u);
  EXPECT_EQ(offset, 6u);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(layout.getSize(), 14u);

  EXPECT_EQ(layout.getFieldInfo(id("LayoutC"), id("FieldA1"), &offset, &size), 0x7028u);
  EXPECT_EQ(layout.getFieldInfo(id("LayoutA"), id("FieldB1"), &offset, &size), 0x7027u);

  kavstl::vector<unsigned int> ids{42};
  EXPECT_EQ(layout.getFieldIds(id("LayoutA"), &ids), 0u);
  kavstl::vector<unsigned int> expected{id("FieldA1"), id("FieldA2")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(layout.getFieldIds(id("LayoutC"), &ids), 0x7028u);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(layout.getFieldIds(id("LayoutA"), nullptr), 0x7000u);
}

TEST_F(TableLayoutTest, EveryGroupStartsAtZero) {
  NodePtr node(element("Ram", {}));
  BinaryReaderNode* g1 = group();
  BinaryReaderNode* t1 = table("GroupOne");
  t1->addChild(field("F1", "10"));
  g1->addChild(t1);
  BinaryReaderNode* g2 = group();
  BinaryReaderNode* t2 = table("GroupTwo");
  t2->addChild(field("F1", "3"));
  t2->addChild(field("F2", "0x2"));
  g2->addChild(t2);
  node->addChild(g1);
  node->addChild(g2);
  TableLayout layout;
  ASSERT_EQ(layout.readLayout(*node), 0u);
  unsigned int offset = 0, size = 0;
  EXPECT_EQ(layout.getFieldInfo(id("GroupTwo"), id("F1"), &offset, &size), 0u);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(layout.getFieldInfo(id("GroupTwo"), id("F2"), &offset, &size), 0u);
  EXPECT_EQ(offset, 3u);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(layout.getSize(), 5u);  // the last group's size
}

TEST_F(TableLayoutTest, AnyErrorDiscardsTheWholeLayout) {
  struct Case {
    const char* what;
    unsigned int rc;
  };
  const Case cases[] = {{"field twice", 0x702B}, {"table without name", 0x702F}, {"field without name", 0x7030},
                        {"field without size", 0x7145}, {"malformed size", 0x7149}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NodePtr node(element("Ram", {}));
    BinaryReaderNode* g = group();
    BinaryReaderNode* good = table("Good");
    good->addChild(field("G1", "4"));
    g->addChild(good);
    BinaryReaderNode* bad = table("Bad");
    std::string what = c.what;
    if (what == "field twice") {
      bad->addChild(field("B1", "1"));
      bad->addChild(field("B1", "1"));
    } else if (what == "table without name") {
      delete bad;
      bad = element("Table", {});
      bad->addChild(field("B1", "1"));
    } else if (what == "field without name") {
      bad->addChild(element("Field", {{kav::sid::FIELD_SIZE, "1"}}));
    } else if (what == "field without size") {
      bad->addChild(element("Field", {{kav::sid::PARAMETER_NAME, "B1"}}));
    } else {
      bad->addChild(field("B1", "012"));
    }
    g->addChild(bad);
    node->addChild(g);
    TableLayout layout;
    EXPECT_EQ(layout.readLayout(*node).getRcWithoutLogFlag(), c.rc);
    EXPECT_EQ(layout.getSize(), 0u);
    EXPECT_TRUE(layout.getFields().empty());
    unsigned int offset = 0, size = 0;
    EXPECT_EQ(layout.getFieldInfo(id("Good"), id("G1"), &offset, &size), 0x7028u);
  }
}

}  // namespace

namespace {

// Preparing an error for the log takes its SRC data from the table row of
// its keys and distributes the PIH list by the row's positions.
TEST_F(LookupTableTest, LogPreparationUsesTheSrcTable) {
  ErrorData err;
  err = 0x7100;
  err.prepareLogData({0x0A, 0x21, 0x22}, "FSI_DIO_ACCESS", "");
  EXPECT_EQ(err.getSrc(), 0x28C07102u);
  EXPECT_EQ(err.getSlotIdOrder(), (kavstl::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(err.getEventName(), "KavHardware");
  EXPECT_EQ(err.getLogMode(), 1u);
  EXPECT_EQ(err.getLogUser(), 17u);
  ErrorDataSrcExtension ext = err.getSrcExtension();
  EXPECT_EQ(ext.getSlotId1(), 0x0Au);
  EXPECT_EQ(ext.getSlotId2(), 0x21u);
  EXPECT_EQ(ext.getSlotId3(), 0x22u);

  // Keys stored as string ids serve when none are given.
  ErrorData keyed;
  keyed = 0x7100;
  keyed.setKeys(get_id_by_string("OscStatusH"), get_id_by_string("ErrorAmbiguous"));
  keyed.prepareLogData({0x0A, 0x21}, "", "");
  EXPECT_EQ(keyed.getSrc(), 0x28C07202u);
  EXPECT_EQ(keyed.getLogMode(), 2u);
  EXPECT_EQ(keyed.getSrcExtension().getSlotId1(), 0x0Au);
  EXPECT_EQ(keyed.getSrcExtension().getSlotId2(), 0u);

  // Keys without a row leave the value without SRC.
  ErrorData unknown;
  unknown = 0x7100;
  unknown.prepareLogData({0x0A}, "NoSuchKey", "");
  EXPECT_EQ(unknown.getSrc(), 0u);
}

}  // namespace
