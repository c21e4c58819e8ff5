#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/FileLookup.h"
#include "tests/tree/BinaryFileWriter.h"

using testbin::Element;

namespace {

Element row(const std::string& mainType, const std::string& name, const std::string& parseName,
            std::vector<std::pair<std::string, std::string>> files) {
  Element e{"ID1", {{"mainType", mainType}, {"Name", name}, {"parseName", parseName}}, "", {}};
  for (const auto& f : files) e.children.push_back(Element{"ID2", {{"subType", f.first}}, f.second, {}});
  return e;
}

class FileLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/file_lookup_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    reset();
    setenv("FACADEXMLPATH", m_dir.c_str(), 1);
    setenv("FACADEFILELIST", "List.bin", 1);
  }
  void TearDown() override {
    reset();
    std::string cmd = "rm -rf '" + m_dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  static void reset() {
    FileLookup::destroyInstance();
    BinaryReaderFactory::destroyInstance();
  }
  void writeList() {
    Element list{"FileList",
                 {},
                 "",
                 {row("IpDomainRoot", "IpDomain", "base", {{"", "Root.bin"}, {"PHE", "RootPhe.bin"}}),
                  row("CardContent", "Card", "", {{"Any", "CardAny.bin"}, {"20B2", "Card20B2.bin"}}),
                  row("NoAny", "N", "", {{"X", "x.bin"}}), row("IpDomainRoot", "Second", "", {{"", "Other.bin"}})}};
    ASSERT_TRUE(testbin::writeFile(m_dir + "/List.bin", testbin::file(list)));
  }
  BaseErrorData lookup(const std::string& mainType, const std::string& subType) {
    m_path = m_name = m_parse = "unset";
    return get_xml_file_name(mainType, subType, m_path, m_name, m_parse);
  }
  std::string m_dir;
  kavstl::string m_path, m_name, m_parse;
};

}  // namespace

TEST_F(FileLookupTest, FindsFileBySubTypeWithAnyFallback) {
  writeList();
  const struct {
    const char* main;
    const char* sub;
    const char* file;
  } cases[] = {{"IpDomainRoot", "", "Root.bin"},   {"IpDomainRoot", "PHE", "RootPhe.bin"},
               {"CardContent", "20B2", "Card20B2.bin"}, {"CardContent", "other", "CardAny.bin"},
               {"CardContent", "", "CardAny.bin"}};
  for (const auto& c : cases) {
    EXPECT_EQ(lookup(c.main, c.sub), 0u) << c.main << "/" << c.sub;
    EXPECT_EQ(m_path, m_dir + "/" + c.file) << c.main << "/" << c.sub;
  }
  EXPECT_EQ(lookup("IpDomainRoot", ""), 0u);
  EXPECT_EQ(m_name, "IpDomain");  // the first entry of a main type stays
  EXPECT_EQ(m_parse, "base");
}

TEST_F(FileLookupTest, UnknownMainOrSubTypeIsAnError) {
  writeList();
  BaseErrorData rc = lookup("Nothing", "");
  EXPECT_EQ(rc, 0x7141u);
  EXPECT_EQ(rc.getLogMode(), 2u);
  BaseErrorData noSub = lookup("NoAny", "Y");
  EXPECT_EQ(noSub, 0x7142u);
  EXPECT_EQ(noSub.getLogMode(), 2u);
  EXPECT_EQ(m_name, "N");
}

TEST_F(FileLookupTest, TrailingSlashGivesTheSameDirectory) {
  writeList();
  ASSERT_EQ(lookup("IpDomainRoot", ""), 0u);
  const kavstl::string without = m_path;
  reset();
  setenv("FACADEXMLPATH", (m_dir + "/").c_str(), 1);
  ASSERT_EQ(lookup("IpDomainRoot", ""), 0u);
  EXPECT_EQ(m_path, without);
  EXPECT_EQ(FileLookup::getInstance()->getFileListPath(), m_dir + "/List.bin");
}

TEST_F(FileLookupTest, MissingFileListStaysMissingUntilCacheCleared) {
  BaseErrorData rc = lookup("IpDomainRoot", "");
  EXPECT_EQ(rc, 0x7140u);
  EXPECT_EQ(rc.getLogMode(), 2u);
  writeList();
  // The missing file is cached as null; the lookup asks the cache again.
  EXPECT_EQ(lookup("IpDomainRoot", ""), 0x7140u);
  clearBinaryReaderCache();
  EXPECT_EQ(lookup("IpDomainRoot", ""), 0u);
  EXPECT_EQ(m_path, m_dir + "/Root.bin");
}

TEST_F(FileLookupTest, FileListIsReadOncePerProcess) {
  writeList();
  ASSERT_EQ(lookup("CardContent", "x"), 0u);
  // A changed list or cleared cache is not looked at again.
  ASSERT_TRUE(testbin::writeFile(m_dir + "/List.bin", testbin::file(Element{"FileList", {}, "", {}})));
  clearBinaryReaderCache();
  EXPECT_EQ(lookup("CardContent", "x"), 0u);
  EXPECT_EQ(m_path, m_dir + "/CardAny.bin");
}

using FileLookupDeathTest = FileLookupTest;

TEST_F(FileLookupDeathTest, MissingXmlPathEndsTheProcess) {
  unsetenv("FACADEXMLPATH");
  EXPECT_DEATH(lookup("IpDomainRoot", ""), "percAbend: reason=0x0000F0D1 .*args=0x7146");
}

TEST_F(FileLookupDeathTest, MissingFileListVariableEndsTheProcess) {
  unsetenv("FACADEFILELIST");
  EXPECT_DEATH(lookup("IpDomainRoot", ""), "percAbend: reason=0x0000F0D1 .*args=0x7147");
}
