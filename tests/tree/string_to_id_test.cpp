#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "kav/tree/config/FileLookup.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/tree/BinaryFileWriter.h"
#include "tests/tree/ConfigEnv.h"

using testbin::Element;

namespace {
const bool kConfig = testenv::useBuiltConfig();
}  // namespace

// The compiled string-id table gives every fixed id of the code its text:
// row n of the table file is id n.
TEST(StringIdTable, CompiledTableListsTheFixedIdsAtTheirNumbers) {
  ASSERT_TRUE(kConfig);
  const char* build = std::getenv("QUIB_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  BinaryReaderParser parser(std::string(build) + "/config/StringIdTable.bin");
  const BinaryReaderNode* root = parser.getBinaryReaderRootNode();
  ASSERT_NE(root, nullptr) << "config/StringIdTable.bin not built";
  EXPECT_TRUE(parser.isComplete());
  std::vector<std::string> rows{"STRING_NOT_FOUND"};
  for (const BinaryReaderNode* e : root->getChildren()) {
    if (e->getName() != "StringIdEntry") continue;
    kavstl::string text;
    ASSERT_EQ(e->getAttributeValue("String", text, false), 0u) << "row " << rows.size();
    rows.push_back(text);
  }
  std::set<std::string> unique(rows.begin(), rows.end());
  EXPECT_EQ(unique.size(), rows.size()) << "a text repeats";
  for (const kav::sid::FixedStringId& f : kav::sid::kFixedStringIds) {
    ASSERT_LT(f.id, rows.size()) << f.text;
    EXPECT_EQ(rows[f.id], f.text) << "id " << f.id;
  }
  EXPECT_EQ(rows[kav::sid::TRUE_TEXT], "true");
}

TEST(StringIdTable, FixedIdsAnswerTheirTexts) {
  for (const kav::sid::FixedStringId& f : kav::sid::kFixedStringIds) {
    EXPECT_EQ(get_string_by_id(f.id), f.text) << f.id;
    EXPECT_EQ(get_id_by_string(f.text), f.id) << f.text;
  }
}

TEST(StringToIdTest, NewTextsGetTheNextIdWithoutGaps) {
  const unsigned int count = StringToId::getInstance()->getContainedStringCount();
  const unsigned int a = get_id_by_string("StringToIdTest-new-a");
  const unsigned int b = get_id_by_string("StringToIdTest-new-b");
  EXPECT_EQ(a, count);
  EXPECT_EQ(b, count + 1);
  EXPECT_EQ(get_id_by_string("StringToIdTest-new-a"), a);
  EXPECT_EQ(StringToId::getInstance()->getContainedStringCount(), count + 2);
  EXPECT_EQ(get_string_by_id(b), "StringToIdTest-new-b");
}

TEST(StringToIdTest, UnknownIdAnswersStringNotFound) {
  const unsigned int count = StringToId::getInstance()->getContainedStringCount();
  EXPECT_EQ(get_string_by_id(count), "STRING_NOT_FOUND");
  EXPECT_EQ(get_string_by_id(0xFFFFFFFFu), "STRING_NOT_FOUND");
  EXPECT_EQ(get_string_by_id(0), "STRING_NOT_FOUND");
  EXPECT_EQ(StringToId::getInstance()->getContainedStringCount(), count);
}

TEST(StringToIdTest, DerivedIds) {
  const unsigned int slot = get_id_by_string("Slot");
  EXPECT_EQ(get_string_by_id(get_indexed_string_id(slot, 7, 3)), "Slot007");
  EXPECT_EQ(get_string_by_id(get_indexed_string_id(slot, 1234, 3)), "Slot1234");
  EXPECT_EQ(get_string_by_id(get_indexed_string_id(slot, 5, 0)), "Slot5");
  EXPECT_EQ(get_string_by_id(get_indexed_string_id(slot, 0, 1)), "Slot0");
  EXPECT_EQ(get_string_by_id(get_engine_instance_name_id(get_id_by_string("FsiHwa"), 2, 11)),
            "FsiHwa-Link_2-Engine_11");
  EXPECT_EQ(get_string_by_id(get_concatenation_string_id({get_id_by_string("osc"), get_id_by_string("On")})),
            "oscOn");
  EXPECT_EQ(get_concatenation_string_id({}), get_id_by_string(""));
}

TEST(StringToIdTest, TableCheckReportsFirstMissingRowOrMismatch) {
  StringToId* s = StringToId::getInstance();
  const kavstl::string notFound = "STRING_NOT_FOUND";
  BaseErrorData mismatch = s->checkTable({nullptr, &notFound});
  EXPECT_EQ(mismatch, 0x7110u);
  EXPECT_EQ(mismatch.getEventName(), "KavString");
  EXPECT_EQ(mismatch.getLogMode(), 2u);
  std::string text(mismatch.getErrorBuffer(), mismatch.getErrorBufferLen());
  EXPECT_NE(text.find("StringToId::getIdByString('STRING_NOT_FOUND') returned 0, expected id is '1'"),
            std::string::npos)
      << text;

  const kavstl::string first = get_string_by_id(1);
  BaseErrorData missing = s->checkTable({nullptr, &first, nullptr});
  EXPECT_EQ(missing, 0x7110u);
  text.assign(missing.getErrorBuffer(), missing.getErrorBufferLen());
  EXPECT_NE(text.find("StringToId::StringToId() no match found for key '2'"), std::string::npos) << text;
  EXPECT_EQ(s->checkTable({nullptr, &first}), 0u);
}

TEST(StringToIdTest, ConcurrentInterningAgrees) {
  std::vector<std::vector<unsigned int>> ids(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &ids] {
      for (int i = 0; i < 200; ++i) ids[t].push_back(get_id_by_string("concurrent-" + std::to_string(i)));
    });
  for (auto& th : threads) th.join();
  for (int t = 1; t < 4; ++t) EXPECT_EQ(ids[t], ids[0]);
  std::set<unsigned int> distinct(ids[0].begin(), ids[0].end());
  EXPECT_EQ(distinct.size(), 200u);
}

// A table file that does not give its rows their numbers ends the process.
class StringToIdDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/string_to_id_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    Element list{"FileList",
                 {},
                 "",
                 {Element{"ID1",
                          {{"mainType", "StringIdEntry"}, {"Name", "StringIdTable"}, {"parseName", ""}},
                          "",
                          {Element{"ID2", {{"subType", "Any"}}, "Table.bin", {}}}}}};
    ASSERT_TRUE(testbin::writeFile(m_dir + "/List.bin", testbin::file(list)));
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + m_dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  void writeTable(const std::vector<std::string>& texts) {
    Element table{"StringIdTable", {}, "", {}};
    for (const std::string& t : texts) table.children.push_back(Element{"StringIdEntry", {{"String", t}}, "", {}});
    ASSERT_TRUE(testbin::writeFile(m_dir + "/Table.bin", testbin::file(table)));
  }
  // Runs in the child of a death test: a fresh table from this directory.
  void freshTable() {
    setenv("FACADEXMLPATH", m_dir.c_str(), 1);
    setenv("FACADEFILELIST", "List.bin", 1);
    freshStringIds();
    get_id_by_string("x");
  }
  // Runs in the child: string ids as in a process that has not been told
  // its configuration yet.
  static void unconfigured() {
    unsetenv("FACADEXMLPATH");
    unsetenv("FACADEFILELIST");
    freshStringIds();
  }
  static void freshStringIds() {
    FileLookup::destroyInstance();
    BinaryReaderFactory::destroyInstance();
    StringToId::destroyInstance();
  }
  std::string m_dir;
};

TEST_F(StringToIdDeathTest, RepeatedTextEndsTheProcess) {
  writeTable({"alpha", "beta", "alpha"});
  EXPECT_DEATH(freshTable(), "percAbend: reason=0x0000F0D1 .*args=0x7110");
}

TEST_F(StringToIdDeathTest, MissingTableFileEndsTheProcess) {
  EXPECT_DEATH(freshTable(), "percAbend: reason=0x0000F0D1 .*args=0x716F");
}

TEST_F(StringToIdDeathTest, ConsistentTableIsAccepted) {
  writeTable({"alpha", "beta"});
  EXPECT_EXIT(
      {
        freshTable();
        const bool ok = get_id_by_string("alpha") == 1 && get_id_by_string("beta") == 2 && get_id_by_string("x") == 3;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Texts looked up before the configuration variables are set get early ids
// out of the way of the table; the first lookup after the variables are
// set reads the table, which gives its texts their numbers.
TEST_F(StringToIdDeathTest, TextsSeenBeforeTheTableKeepTheirTextsAndTheTableItsNumbers) {
  writeTable({"alpha", "beta"});
  EXPECT_EXIT(
      {
        unconfigured();
        const unsigned int earlyBeta = get_id_by_string("beta");
        const unsigned int earlyX = get_id_by_string("x");
        int failed = 0;
        if (earlyBeta < StringToId::kFirstEarlyId || earlyX != earlyBeta + 1) failed |= 1;
        if (get_string_by_id(1) != "STRING_NOT_FOUND") failed |= 2;  // no table yet
        setenv("FACADEXMLPATH", m_dir.c_str(), 1);
        setenv("FACADEFILELIST", "List.bin", 1);
        if (get_id_by_string("alpha") != 1 || get_id_by_string("beta") != 2) failed |= 4;
        if (get_string_by_id(2) != "beta" || get_string_by_id(earlyBeta) != "beta") failed |= 8;
        // Not in the table: the early id stays the text's id.
        if (get_id_by_string("x") != earlyX || get_string_by_id(earlyX) != "x") failed |= 16;
        if (get_id_by_string("gamma") != 3) failed |= 32;
        std::exit(failed);
      },
      ::testing::ExitedWithCode(0), "");
}

// The compiled table read after an early lookup: "true" is 257.
TEST_F(StringToIdDeathTest, TheCompiledTableIsReadByTheFirstLookupAfterTheVariablesAreSet) {
  ASSERT_TRUE(kConfig);
  const std::string xmlPath = std::getenv("FACADEXMLPATH");
  const std::string fileList = std::getenv("FACADEFILELIST");
  EXPECT_EXIT(
      {
        unconfigured();
        const unsigned int early = get_id_by_string("true");
        int failed = 0;
        if (early == kav::sid::TRUE_TEXT) failed |= 1;
        setenv("FACADEXMLPATH", xmlPath.c_str(), 1);
        setenv("FACADEFILELIST", fileList.c_str(), 1);
        if (get_string_by_id(kav::sid::TRUE_TEXT) != "true") failed |= 2;
        if (get_id_by_string("true") != kav::sid::TRUE_TEXT) failed |= 4;
        if (get_string_by_id(early) != "true") failed |= 8;
        for (const kav::sid::FixedStringId& f : kav::sid::kFixedStringIds)
          if (get_id_by_string(f.text) != f.id) failed |= 16;
        std::exit(failed);
      },
      ::testing::ExitedWithCode(0), "");
}

// A table that does not fit ends the process also when ids were handed out
// before it was read: at the first lookup after the variables are set.
TEST_F(StringToIdDeathTest, AMismatchingTableReadAfterEarlyLookupsEndsTheProcess) {
  writeTable({"alpha", "beta", "alpha"});
  EXPECT_DEATH(
      {
        unconfigured();
        get_id_by_string("beta");
        setenv("FACADEXMLPATH", m_dir.c_str(), 1);
        setenv("FACADEFILELIST", "List.bin", 1);
        get_string_by_id(1);
      },
      "percAbend: reason=0x0000F0D1 .*args=0x7110.*getIdByString\\('alpha'\\) returned 1, expected id is '3'");
}
