// Test helper: a configuration directory of the test program's own. It holds
// the compiled config/ files of the build and the documents a test adds
// (compiled with the built kavxml), and a file list naming all of them.
// FACADEXMLPATH and FACADEFILELIST point at it from the first use on.
#ifndef TESTS_DIAG_TESTCONFIG_H
#define TESTS_DIAG_TESTCONFIG_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/FileLookup.h"

// String ids are read from the table at their first use, which may come
// during static initialisation: point the library at the build's compiled
// configuration before any of that runs (TestConfig moves it later).
__attribute__((constructor(101))) static void testConfigEarlyEnvironment() {
  const char* build = std::getenv("QUIB_BUILD_DIR");
  if (build == nullptr || std::getenv("FACADEXMLPATH") != nullptr) return;
  std::string dir = std::string(build) + "/config";
  setenv("FACADEXMLPATH", dir.c_str(), 1);
  setenv("FACADEFILELIST", "FileList.bin", 1);
}

class TestConfig {
 public:
  static TestConfig& instance() {
    static TestConfig config;
    return config;
  }

  const std::string& dir() const { return m_dir; }
  const std::string& kavxml() const { return m_kavxml; }

  // Compiles `xml` into <dir>/<file>; false (with a test failure) when kavxml refuses it.
  bool compile(const std::string& file, const std::string& xml) {
    if (m_dir.empty()) return false;
    std::string src = m_dir + "/" + file + ".xml";
    {
      std::ofstream f(src, std::ios::binary);
      f << xml;
    }
    std::string cmd = "'" + m_kavxml + "' compile '" + src + "' -o '" + m_dir + "/" + file + "'";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd;
    return rc == 0;
  }

  // Adds (or replaces) a file-list row: main type, top element name, parse
  // name and its files by sub type; then rewrites the file list and makes
  // the library read it again.
  void addMainType(const std::string& mainType, const std::string& name, const std::string& parseName,
                   const std::vector<std::pair<std::string, std::string>>& files) {
    std::string row = "<ID1 mainType=\"" + mainType + "\" Name=\"" + name + "\" parseName=\"" + parseName + "\">";
    for (const auto& f : files) row += "<ID2 subType=\"" + f.first + "\">" + f.second + "</ID2>";
    row += "</ID1>";
    m_rows[mainType] = row;
    writeFileList();
  }

  // Compiles a tree document and names it in the file list under
  // `mainType` for every sub type.
  bool addTree(const std::string& mainType, const std::string& topName, const std::string& parseName,
               const std::string& xml) {
    std::string file = mainType + ".bin";
    if (!compile(file, xml)) return false;
    addMainType(mainType, topName, parseName, {{"Any", file}});
    return true;
  }

  // Forgets every cached file tree and the file list.
  static void reload() {
    clearBinaryReaderCache();
    FileLookup::destroyInstance();
  }

 private:
  TestConfig() {
    const char* build = std::getenv("QUIB_BUILD_DIR");
    const char* source = std::getenv("QUIB_SOURCE_DIR");
    if (build == nullptr || source == nullptr) {
      ADD_FAILURE() << "QUIB_BUILD_DIR / QUIB_SOURCE_DIR not set";
      return;
    }
    m_kavxml = std::string(build) + "/tools/kavxml/kavxml";
    m_fileListSource = std::string(source) + "/config/FileList.xml";
    char dir[] = "/tmp/quib_config.XXXXXX";
    if (mkdtemp(dir) == nullptr) {
      ADD_FAILURE() << "mkdtemp";
      return;
    }
    m_dir = dir;
    std::string copy = "cp '" + std::string(build) + "/config/'*.bin '" + m_dir + "/'";
    EXPECT_EQ(std::system(copy.c_str()), 0) << copy;
    setenv("FACADEXMLPATH", m_dir.c_str(), 1);
    setenv("FACADEFILELIST", "FileList.bin", 1);
    writeFileList();
  }
  ~TestConfig() {
    if (!m_dir.empty()) std::system(("rm -rf '" + m_dir + "'").c_str());
  }

  void writeFileList() {
    std::ifstream f(m_fileListSource, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::string extra;
    for (const auto& row : m_rows) extra += row.second + "\n";
    std::size_t end = text.rfind("</FileList>");
    ASSERT_NE(end, std::string::npos);
    text.insert(end, extra);
    compile("FileList.bin", text);
    reload();
  }

  std::string m_dir;
  std::string m_kavxml;
  std::string m_fileListSource;
  std::map<std::string, std::string> m_rows;
};

#endif
