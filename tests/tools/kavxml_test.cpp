// The configuration compiler, run as the built program: compile, check and
// dump, their refusals, and that the library's reader sees what the XML says.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "tests/tree/BinaryFileWriter.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class KavxmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("QUIB_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "QUIB_BUILD_DIR is not set";
    m_tool = std::string(build) + "/tools/kavxml/kavxml";
    m_configDir = std::string(build) + "/config";
    ASSERT_EQ(access(m_tool.c_str(), X_OK), 0) << m_tool << " is not built";
    const char* src = std::getenv("QUIB_SOURCE_DIR");
    m_sourceDir = src != nullptr ? src : "";
    char dir[] = "/tmp/kavxml_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    m_dir = dir;
  }
  void TearDown() override {
    if (!m_dir.empty()) std::system(("rm -rf '" + m_dir + "'").c_str());
  }

  std::string path(const std::string& name) const { return m_dir + "/" + name; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream f(path(name), std::ios::binary);
    f << content;
  }
  static std::string read(const std::string& file) {
    std::ifstream f(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }

  ToolRun run(const std::string& args) const {
    ToolRun r;
    std::string errFile = path("stderr.txt");
    std::string cmd = "'" + m_tool + "' " + args + " 2>'" + errFile + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = read(errFile);
    return r;
  }

  // Compiles XML text; expects success.
  std::string compile(const std::string& xml, const std::string& name = "doc") {
    write(name + ".xml", xml);
    ToolRun r = run("compile '" + path(name + ".xml") + "' -o '" + path(name + ".bin") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return read(path(name + ".bin"));
  }

  static BinaryReaderNode* parse(const std::string& bin, bool* complete) {
    return BinaryReaderParser::parseBuffer(reinterpret_cast<const unsigned char*>(bin.data()), bin.size(),
                                           complete);
  }

  // Element names of the node's children, in order.
  static std::string childNames(const BinaryReaderNode* n) {
    std::string s;
    for (const BinaryReaderNode* c : n->getChildren()) s += (s.empty() ? "" : " ") + c->getName();
    return s;
  }

  static int lines(const std::string& s) {
    int count = 0;
    for (char c : s) count += c == '\n';
    return count;
  }

  std::string m_tool;
  std::string m_configDir;
  std::string m_sourceDir;
  std::string m_dir;
};

// Each document compiled, dumped and compiled again gives the same bytes,
// and the dump describes the same tree as the original.
TEST_F(KavxmlTest, CompileDumpCompileIsTheIdentity) {
  const std::vector<std::string> docs = {
      "<r/>",
      "<r a=\"1\"/>",
      "<Root class=\"Container\" library=\"libquib.so\"><A z=\"1\" b=\"2\">hello &amp; bye</A><B/>"
      "<A x=\"\"/><C><A/><A/><B/></C><![CDATA[raw<text>]]></Root>",
      "<r a=\"x&#10;y&#9;z&#13;w\" q=\"&quot;&apos;&lt;&gt;&amp;\" u=\"\xc3\xa4\xe2\x82\xac\"><t>  sp  </t>"
      "<c><![CDATA[ a ]]></c><m>a<b/>c</m><e></e></r>",
      // attribute order in the source does not matter
      "<r><x b=\"2\" a=\"1\" c=\"3\"/><x c=\"3\" a=\"1\" b=\"2\"/></r>",
      // deep nesting
      [] {
        std::string s;
        for (int i = 0; i < 200; ++i) s += "<n" + std::to_string(i % 3) + " d=\"" + std::to_string(i) + "\">";
        for (int i = 199; i >= 0; --i) s += "</n" + std::to_string(i % 3) + ">";
        return s;
      }(),
  };
  for (std::size_t i = 0; i < docs.size(); ++i) {
    SCOPED_TRACE(docs[i].substr(0, 80));
    std::string first = compile(docs[i], "first");
    ToolRun dumped = run("dump '" + path("first.bin") + "'");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    std::string second = compile(dumped.out, "second");
    EXPECT_EQ(first, second);

    bool complete = false;
    BinaryReaderNode* a = parse(first, &complete);
    EXPECT_TRUE(complete);
    ASSERT_NE(a, nullptr);
    BinaryReaderNode* b = parse(second, &complete);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(*a == *b);
    delete a;
    delete b;
  }
}

TEST_F(KavxmlTest, ConfigSourcesRoundTrip) {
  if (m_sourceDir.empty()) GTEST_SKIP() << "QUIB_SOURCE_DIR is not set";
  std::vector<std::string> names;
  if (DIR* d = opendir((m_sourceDir + "/config").c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".xml") == 0) names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string built = read(m_configDir + "/" + name + ".bin");
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(compile(read(m_sourceDir + "/config/" + name + ".xml")), built);
    ToolRun dumped = run("dump '" + m_configDir + "/" + name + ".bin'");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(compile(dumped.out), built);
  }
}

// Sharing one record per name must not reorder siblings: the reader meets the
// children of every element in document order.
TEST_F(KavxmlTest, SiblingsKeepDocumentOrderAcrossSharedNames) {
  std::string bin = compile(
      "<r><A i=\"1\"/><B/><A i=\"2\"/><A i=\"3\"/><C/><B/><A i=\"4\"/>"
      "<P><B/><A/><B/></P><Q><A/><A/><C/><A/></Q></r>");
  bool complete = false;
  BinaryReaderNode* root = parse(bin, &complete);
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(complete);
  EXPECT_EQ(childNames(root), "A B A A C B A P Q");
  std::string order;
  for (const BinaryReaderNode* c : root->getChildren()) {
    kavstl::string v;
    if (c->getAttributeValue("i", v, true) == 0) order += v;
  }
  EXPECT_EQ(order, "1234");
  auto it = root->getChildren().rbegin();
  EXPECT_EQ(childNames(*it), "A A C A");
  EXPECT_EQ(childNames(*++it), "B A B");
  delete root;
}

// Another writer of the format may order the records differently: a shared
// attribute name or text at its first occurrence, before the elements it also
// belongs to, or all records grouped by type. Check, dump and the library's
// reader accept every such order and see the same document.
TEST_F(KavxmlTest, EveryRecordOrderChecksAndDumpsTheSame) {
  const std::string own = compile(
      "<Root class=\"IpDomain\" instanceName=\"base\">"
      "<Card class=\"Osc\" instanceName=\"osc0\"><Slot id=\"1\">on</Slot><Slot class=\"Osc\" id=\"2\"/></Card>"
      "<Card class=\"Pll\"><Slot hidden=\"true\" id=\"1\">off</Slot></Card>"
      "<Note class=\"Osc\">on</Note><Empty/></Root>",
      "own");
  const std::vector<unsigned char> ownBytes(own.begin(), own.end());
  const std::vector<testbin::Record> records = testbin::parseRecords(ownBytes);
  ASSERT_FALSE(records.empty());
  ToolRun reference = run("dump '" + path("own.bin") + "'");
  ASSERT_EQ(reference.status, 0) << reference.err;
  std::unique_ptr<BinaryReaderNode> referenceTree(parse(own, nullptr));
  ASSERT_NE(referenceTree, nullptr);

  const std::vector<testbin::Record> firstOccurrence = testbin::atFirstOccurrence(records);
  std::vector<std::pair<std::string, std::vector<testbin::Record>>> orders = {
      {"first_occurrence", firstOccurrence},
      {"by_type", testbin::groupedByType(records, "tave")},
      {"first_occurrence_by_type", testbin::groupedByType(firstOccurrence, "atve")},
  };
  for (unsigned seed = 1; seed <= 5; ++seed)
    orders.push_back({"shuffled" + std::to_string(seed), testbin::shuffled(records, seed)});
  for (const auto& order : orders) {
    SCOPED_TRACE(order.first);
    const std::vector<unsigned char> bytes = testbin::file(order.second);
    const std::string name = path(order.first + ".bin");
    ASSERT_TRUE(testbin::writeFile(name, bytes));
    ToolRun checked = run("check '" + name + "'");
    EXPECT_EQ(checked.status, 0) << checked.err;
    ToolRun dumped = run("dump '" + name + "'");
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(dumped.out, reference.out);
    bool complete = false;
    std::unique_ptr<BinaryReaderNode> tree(
        parse(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &complete));
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(complete);
    EXPECT_TRUE(*tree == *referenceTree);
  }
}

// A name, value or text that occurs many times is stored once.
TEST_F(KavxmlTest, StringsAreSharedAcrossOccurrences) {
  std::string xml = "<Table>";
  for (int i = 0; i < 50; ++i) xml += "<RowElement Attribute=\"SameValueText\">SameContentText</RowElement>";
  xml += "</Table>";
  std::string bin = compile(xml);
  for (const char* s : {"RowElement", "Attribute", "SameValueText", "SameContentText"}) {
    std::size_t first = bin.find(s);
    ASSERT_NE(first, std::string::npos) << s;
    EXPECT_EQ(bin.find(s, first + 1), std::string::npos) << s << " is stored twice";
  }
  EXPECT_LT(bin.size(), xml.size() / 3);
}

TEST_F(KavxmlTest, DocumentsBeyondTheFormatLimitsAreRefused) {
  struct Case {
    const char* what;
    std::string xml;
    const char* limit;
  };
  std::string manyIds = "<r>";
  for (int i = 0; i < 20000; ++i) manyIds += "<e/>";
  for (int i = 0; i < 6400; ++i) manyIds += "<e a=\"1\"/>";  // 26401 elements, 12800 attribute ids
  manyIds += "</r>";
  std::string bigStrings = "<r>";
  for (int i = 0; i < 700; ++i) bigStrings += "<e v=\"" + std::to_string(i) + std::string(100, 'x') + "\"/>";
  bigStrings += "</r>";
  std::string justFits = "<r>";
  for (int i = 0; i < 32766; ++i) justFits += "<e/>";
  justFits += "</r>";
  const std::vector<Case> cases = {{"ids", manyIds, "limit E"}, {"strings", bigStrings, "limit S"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("big.xml", c.xml);
    ToolRun r = run("compile '" + path("big.xml") + "' -o '" + path("big.bin") + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(c.limit), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(path("big.xml")), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(access(path("big.bin").c_str(), F_OK), 0) << "no output for a refused document";
  }
  // 32767 elements are the most the ids can number.
  std::string bin = compile(justFits);
  bool complete = false;
  BinaryReaderNode* root = parse(bin, &complete);
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(complete);
  EXPECT_EQ(root->getChildren().size(), 32766u);
  delete root;
}

TEST_F(KavxmlTest, MalformedXmlNamesFileAndPosition) {
  struct Case {
    const char* xml;
    const char* position;
  };
  const Case cases[] = {
      {"<a>\n  <b>\n</a>", "line 3, column"},
      {"<a x=\"1\" x=\"2\"/>", "duplicate attribute 'x'"},
      {"<a/>\n<b/>", "line 2, column 2: second root element <b>"},
      {"", "line 1, column 1: No document element"},
      {"<a", "line 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    write("bad.xml", c.xml);
    ToolRun r = run("compile '" + path("bad.xml") + "' -o '" + path("bad.bin") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind("kavxml: " + path("bad.xml") + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.position), std::string::npos) << r.err;
  }
  ToolRun missing = run("compile '" + path("none.xml") + "' -o '" + path("none.bin") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(path("none.xml") + ": cannot open"), std::string::npos) << missing.err;
  EXPECT_EQ(run("compile").status, 2);
  EXPECT_EQ(run("frobnicate x").status, 2);
}

TEST_F(KavxmlTest, CheckReportsEachFileOnOneLine) {
  std::string good = compile("<r a=\"1\"><c>text</c></r>", "good");
  std::string body = good.substr(40);

  auto variant = [&](const std::string& name, std::string bytes) {
    write(name, bytes);
    return path(name);
  };
  std::string flipped = good;
  flipped[45] ^= 0x01;  // a body byte: checksum no longer matches
  std::string version = good;
  version[10] = '1';
  version[11] = '.';
  version[12] = '3';
  std::string truncated = good.substr(0, good.size() - 3);
  // Re-seal a truncated body so that only the structure check can catch it.
  auto seal = [](std::string bytes) {
    uint32_t sum = BinaryReaderParser::computeChecksum(reinterpret_cast<const unsigned char*>(bytes.data()) + 40,
                                                       bytes.size() - 40);
    bytes[36] = static_cast<char>(sum >> 24);
    bytes[37] = static_cast<char>(sum >> 16);
    bytes[38] = static_cast<char>(sum >> 8);
    bytes[39] = static_cast<char>(sum);
    return bytes;
  };
  struct Case {
    std::string file;
    const char* message;
  };
  const std::vector<Case> bad = {
      {variant("flipped.bin", flipped), "offset 36: checksum"},
      {variant("version.bin", version), "offset 10: version '1.3'"},
      {variant("truncated.bin", seal(truncated)), "file ends inside"},
      {variant("header.bin", good.substr(0, 20)), "inside the 40-byte header"},
      {variant("empty.bin", good.substr(0, 40)), "no records"},
      {path("missing.bin"), "cannot open"},
  };
  for (const Case& c : bad) {
    SCOPED_TRACE(c.file);
    ToolRun r = run("check '" + path("good.bin") + "' '" + c.file + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.out), 1) << r.out;
    EXPECT_NE(r.out.find(path("good.bin") + ": ok"), std::string::npos) << r.out;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(c.file + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    ToolRun d = run("dump '" + c.file + "'");
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.out, "");
    EXPECT_EQ(lines(d.err), 1) << d.err;
  }
  ToolRun all = run("check '" + path("good.bin") + "' '" + path("good.bin") + "'");
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(lines(all.out), 2);
}

// Files the structure check refuses although their checksum and version are
// right: ids the reader could not place.
TEST_F(KavxmlTest, CheckRefusesBrokenStructure) {
  auto u16 = [](unsigned v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; };
  auto file = [&](unsigned e, unsigned m, unsigned s, const std::string& body) {
    std::string h(40, '\0');
    h.replace(0, 6, "KAVXML");
    h.replace(10, 3, "1.4");
    h.replace(16, 2, u16(e));
    h.replace(20, 2, u16(m));
    h.replace(32, 2, u16(s));
    uint32_t sum = BinaryReaderParser::computeChecksum(reinterpret_cast<const unsigned char*>(body.data()),
                                                       body.size());
    h.replace(36, 4, u16(sum >> 16) + u16(sum & 0xFFFF));
    return h + body;
  };
  auto rec = [&](const std::string& s, char type, std::vector<unsigned> a, std::vector<unsigned> b) {
    std::string r = u16(static_cast<unsigned>(s.size())) + s + type + u16(static_cast<unsigned>(a.size()));
    for (unsigned v : a) r += u16(v);
    for (unsigned v : b) r += u16(v);
    return r;
  };
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"sound", file(2, 1, 2, rec("r", 'e', {1}, {0})), nullptr},
      {"id at E", file(2, 1, 4, rec("r", 'e', {1}, {0}) + rec("c", 'e', {2}, {1})), "outside 1..1"},
      {"id twice", file(3, 2, 2, rec("r", 'e', {1, 1}, {0, 0})), "used twice"},
      {"parent after child", file(3, 1, 4, rec("r", 'e', {1}, {0}) + rec("c", 'e', {2}, {2})), "has parent"},
      {"value without name", file(3, 1, 4, rec("r", 'e', {1}, {0}) + rec("v", 'v', {2}, {})), "no attribute name"},
      {"text before its element", file(3, 1, 4, rec("t", 't', {2}, {1}) + rec("r", 'e', {1}, {0})), nullptr},
      {"attribute before its element",
       file(5, 1, 8,
            rec("r", 'e', {1}, {0}) + rec("n", 'a', {3}, {2}) + rec("v", 'v', {4}, {}) + rec("c", 'e', {2}, {1})),
       nullptr},
      {"text of an attribute name",
       file(5, 1, 8,
            rec("r", 'e', {1}, {0}) + rec("n", 'a', {2}, {1}) + rec("v", 'v', {3}, {}) + rec("t", 't', {4}, {2})),
       "text 4 belongs to 2, which is not an element"},
      {"text owner after it",
       file(4, 1, 6, rec("r", 'e', {1}, {0}) + rec("t", 't', {2}, {3}) + rec("c", 'e', {3}, {1})),
       "text 2 belongs to 3"},
      {"owner never defined", file(4, 1, 4, rec("r", 'e', {1}, {0}) + rec("t", 't', {3}, {2})),
       "entry 2 is a parent or owner but not an element"},
      {"unknown type", file(2, 1, 4, rec("r", 'e', {1}, {0}) + rec("x", 'q', {}, {})), "unknown record type"},
      {"count above M", file(3, 1, 4, rec("r", 'e', {1}, {0}) + rec("c", 'e', {2, 3}, {1, 1})), "exceeds M"},
      {"gap in ids", file(3, 1, 2, rec("r", 'e', {1}, {0})), "never used"},
      {"wrong S", file(2, 1, 9, rec("r", 'e', {1}, {0})), "string-table size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("s.bin", c.bytes);
    ToolRun r = run("check '" + path("s.bin") + "'");
    if (c.message == nullptr) {
      EXPECT_EQ(r.status, 0) << r.err;
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("offset "), std::string::npos) << r.err;
    }
  }
}

TEST_F(KavxmlTest, StringIdTableIsCheckedAgainstTheFixedIds) {
  if (m_sourceDir.empty()) GTEST_SKIP() << "QUIB_SOURCE_DIR is not set";
  std::string table = m_sourceDir + "/config/StringIdTable.xml";
  EXPECT_EQ(run("stringids '" + table + "'").status, 0);

  std::string text = read(table);
  struct Case {
    const char* what;
    std::string from, to;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"fixed text changed", "String=\"true\"", "String=\"yes\"", "needs 'true'"},
      {"text repeated", "String=\"unused_0001\"", "String=\"class\"", "repeats 'class'"},
      {"row removed", "<StringIdEntry String=\"unused_0001\"/>", "", "needs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string changed = text;
    std::size_t at = changed.find(c.from);
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, c.from.size(), c.to);
    write("ids.xml", changed);
    ToolRun r = run("stringids '" + path("ids.xml") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line "), std::string::npos) << r.err;
  }
}

}  // namespace
