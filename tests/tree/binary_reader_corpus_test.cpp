// Replays the fuzz corpus (every input that ever found something is kept
// there) and the compiled configuration through the reader.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"

namespace {

std::vector<std::string> filesIn(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> out;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    out.push_back(dir + "/" + name);
  }
  closedir(d);
  return out;
}

std::vector<unsigned char> readAll(const std::string& path) {
  std::vector<unsigned char> data;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return data;
  unsigned char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return data;
}

size_t countNodes(const BinaryReaderNode& root) {
  size_t n = 0;
  std::vector<const BinaryReaderNode*> work{&root};
  while (!work.empty()) {
    const BinaryReaderNode* x = work.back();
    work.pop_back();
    ++n;
    for (const auto& a : x->getAttributes()) {
      kavstl::string v;
      EXPECT_EQ(x->getAttributeValue(a.first, v, true), 0u);
      EXPECT_EQ(v, a.second);
    }
    work.insert(work.end(), x->getChildren().begin(), x->getChildren().end());
  }
  return n;
}

std::string dirFromEnv(const char* var, const char* sub) {
  const char* base = std::getenv(var);
  return base == nullptr ? std::string() : std::string(base) + sub;
}

}  // namespace

TEST(BinaryReaderCorpus, EveryCorpusInputReadsWithoutFault) {
  const std::string dir = dirFromEnv("QUIB_SOURCE_DIR", "/fuzz/corpus/binary_reader");
  ASSERT_FALSE(dir.empty()) << "QUIB_SOURCE_DIR not set";
  const std::vector<std::string> files = filesIn(dir, "");
  ASSERT_FALSE(files.empty()) << dir;
  size_t withRoot = 0;
  for (const std::string& path : files) {
    const std::vector<unsigned char> data = readAll(path);
    // As the fuzzer sees it (no checksum) and as the library does.
    BinaryReaderParser::setChecksumCheck(false);
    std::unique_ptr<BinaryReaderNode> a(BinaryReaderParser::parseBuffer(data.data(), data.size(), nullptr));
    std::unique_ptr<BinaryReaderNode> b(BinaryReaderParser::parseBuffer(data.data(), data.size(), nullptr));
    BinaryReaderParser::setChecksumCheck(true);
    ASSERT_EQ(a == nullptr, b == nullptr) << path;
    if (a != nullptr) {
      ++withRoot;
      EXPECT_TRUE(*a == *b) << path;
      EXPECT_GE(countNodes(*a), 1u);
    }
    BinaryReaderParser parser(path);
    const BinaryReaderNode* checked = parser.getBinaryReaderRootNode();
    if (checked != nullptr) {
      ASSERT_NE(a, nullptr) << path;
      EXPECT_TRUE(*checked == *a) << path;
    }
  }
  EXPECT_GT(withRoot, 0u);
}

TEST(BinaryReaderCorpus, CompiledConfigurationReadsCompletely) {
  const std::string dir = dirFromEnv("QUIB_BUILD_DIR", "/config");
  ASSERT_FALSE(dir.empty()) << "QUIB_BUILD_DIR not set";
  const std::vector<std::string> files = filesIn(dir, ".bin");
  ASSERT_FALSE(files.empty()) << "no compiled configuration in " << dir;
  for (const std::string& path : files) {
    BinaryReaderParser parser(path);
    EXPECT_NE(parser.getBinaryReaderRootNode(), nullptr) << path;
    EXPECT_TRUE(parser.isComplete()) << path;
  }
}
