#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "tests/tree/BinaryFileWriter.h"

using testbin::Element;
using testbin::Header;
using testbin::Record;

namespace {

struct Parsed {
  std::unique_ptr<BinaryReaderNode> root;
  bool complete = false;
};

Parsed parse(const std::vector<unsigned char>& bytes) {
  Parsed p;
  p.root.reset(BinaryReaderParser::parseBuffer(bytes.data(), bytes.size(), &p.complete));
  return p;
}

std::vector<const BinaryReaderNode*> children(const BinaryReaderNode& n) {
  return std::vector<const BinaryReaderNode*>(n.getChildren().begin(), n.getChildren().end());
}

std::string attr(const BinaryReaderNode& n, const std::string& name) {
  kavstl::string v;
  return n.getAttributeValue(name, v, true) == 0 ? std::string(v) : std::string("<missing>");
}

Element sampleDocument() {
  return Element{"Root",
                 {{"class", "IpDomain"}, {"instanceName", "base"}},
                 "",
                 {Element{"Slot", {{"id", "0x10"}}, "", {}}, Element{"Card", {}, "hello", {Element{"Slot", {}, "", {}}}},
                  Element{"Slot", {{"empty", ""}}, "", {}}}};
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/binary_reader_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
  }
  void TearDown() override {
    BinaryReaderFactory::destroyInstance();
    std::string cmd = "rm -rf '" + m_dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string path(const std::string& name) const { return m_dir + "/" + name; }
  std::string m_dir;
};

}  // namespace

TEST(BinaryReaderParse, DocumentRoundTrip) {
  Parsed p = parse(testbin::file(sampleDocument()));
  ASSERT_NE(p.root, nullptr);
  EXPECT_TRUE(p.complete);
  const BinaryReaderNode& root = *p.root;
  EXPECT_EQ(root.getName(), "Root");
  EXPECT_EQ(root.getSequenceNumber(), 1);
  EXPECT_EQ(root.getParentNumber(), 0);
  EXPECT_EQ(attr(root, "class"), "IpDomain");
  EXPECT_EQ(attr(root, "instanceName"), "base");
  auto kids = children(root);
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(kids[0]->getName(), "Slot");
  EXPECT_EQ(attr(*kids[0], "id"), "0x10");
  EXPECT_EQ(kids[1]->getName(), "Card");
  EXPECT_EQ(kids[1]->getValue(), "hello");
  EXPECT_EQ(kids[1]->getParentNumber(), 1);
  ASSERT_EQ(children(*kids[1]).size(), 1u);
  EXPECT_EQ(attr(*kids[2], "empty"), "");
  EXPECT_EQ(root.getFirstChild(), kids[0]);
  EXPECT_FALSE(kids[0]->hasChildren());
  EXPECT_EQ(kids[0]->getFirstChild(), nullptr);

  BinaryReaderNode::NodeList_t slots;
  root.getChildrenWithNodeName("Slot", slots);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots.front(), kids[0]);
  EXPECT_EQ(slots.back(), kids[2]);
}

TEST(BinaryReaderParse, MissingAttributeAnswers7145) {
  Parsed p = parse(testbin::file(sampleDocument()));
  ASSERT_NE(p.root, nullptr);
  kavstl::string v = "unchanged";
  EXPECT_EQ(p.root->getAttributeValue("nope", v, false), 0x7145u);
  EXPECT_EQ(p.root->getAttributeValue("nope", v, true), 0x7145u);
  EXPECT_EQ(v, "unchanged");
}

TEST(BinaryReaderParse, ChecksumOfBodyCountsLastByteTwice) {
  const unsigned char body[] = {1, 2, 3};
  EXPECT_EQ(BinaryReaderParser::computeChecksum(body, 3), 9u);
  EXPECT_EQ(BinaryReaderParser::computeChecksum(body, 0), 0u);
}

TEST(BinaryReaderParse, WrongVersionRejectedEvenWithGoodChecksum) {
  for (const char* version : {"1.3", "1.40", "", "1.4x"}) {
    Header h;
    h.version = version;
    auto bytes = testbin::file(testbin::records(sampleDocument()), h);
    EXPECT_EQ(parse(bytes).root, nullptr) << version;
  }
  // Six bytes without a terminating NUL.
  auto bytes = testbin::file(sampleDocument());
  std::memcpy(bytes.data() + 10, "1.4   ", 6);
  EXPECT_EQ(parse(bytes).root, nullptr);
}

TEST(BinaryReaderParse, BadChecksumRejectedWithMessage) {
  Header h;
  h.fixChecksum = false;
  h.checksum = 12345;
  auto bytes = testbin::file(testbin::records(sampleDocument()), h);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(parse(bytes).root, nullptr);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("CRC from file "), std::string::npos) << out;
  EXPECT_NE(out.find("does not match saved m_fileHeader.crc"), std::string::npos) << out;
  EXPECT_NE(out.find("12345"), std::string::npos) << out;
}

TEST(BinaryReaderParse, ChecksumSwitchLetsAnyChecksumThrough) {
  Header h;
  h.fixChecksum = false;
  auto bytes = testbin::file(testbin::records(sampleDocument()), h);
  BinaryReaderParser::setChecksumCheck(false);
  Parsed p = parse(bytes);
  BinaryReaderParser::setChecksumCheck(true);
  EXPECT_NE(p.root, nullptr);
  EXPECT_EQ(parse(bytes).root, nullptr);
}

TEST(BinaryReaderParse, HeaderOnlyOrShorterIsRejected) {
  auto bytes = testbin::file(sampleDocument());
  for (size_t len : {0u, 1u, 39u, 40u}) {
    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + len);
    EXPECT_EQ(parse(cut).root, nullptr) << len;
  }
}

TEST(BinaryReaderParse, SharedElementRecordKeepsListedOrder) {
  // Two "Slot" elements in one record: both become children, in listed order.
  std::vector<Record> recs = {{"Root", 'e', {1}, {0}},
                              {"Slot", 'e', {2, 5}, {1, 1}},
                              {"n", 'a', {3}, {2}},
                              {"first", 'v', {4}, {}},
                              {"n", 'a', {6}, {5}},
                              {"second", 'v', {7}, {}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  EXPECT_TRUE(p.complete);
  auto kids = children(*p.root);
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(attr(*kids[0], "n"), "first");
  EXPECT_EQ(kids[0]->getSequenceNumber(), 2);
  EXPECT_EQ(attr(*kids[1], "n"), "second");
  EXPECT_EQ(kids[1]->getSequenceNumber(), 5);
}

TEST(BinaryReaderParse, AttributeValueGoesToTheElementOfItsName) {
  // Name id 7 belongs to element 3; value id 8 adds the attribute to element 3.
  std::vector<Record> recs = {{"Root", 'e', {1}, {0}}, {"A", 'e', {2}, {1}}, {"B", 'e', {3}, {2}},
                              {"color", 'a', {7}, {3}}, {"red", 'v', {8}, {}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  const BinaryReaderNode* b = children(*children(*p.root)[0])[0];
  EXPECT_EQ(b->getName(), "B");
  EXPECT_EQ(attr(*b, "color"), "red");
  EXPECT_EQ(attr(*children(*p.root)[0], "color"), "<missing>");
}

TEST(BinaryReaderParse, FirstValueUnderANameStays) {
  std::vector<Record> recs = {{"Root", 'e', {1}, {0}}, {"k", 'a', {2, 4}, {1, 1}}, {"one", 'v', {3}, {}},
                              {"two", 'v', {5}, {}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  EXPECT_EQ(attr(*p.root, "k"), "one");
}

TEST(BinaryReaderParse, ParentDefinedAfterItsChildren) {
  // "Slot" under two different cards in one record; the cards come later.
  std::vector<Record> recs = {{"Root", 'e', {1}, {0}}, {"Slot", 'e', {3, 5}, {2, 4}}, {"CardA", 'e', {2}, {1}},
                              {"CardB", 'e', {4}, {1}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  EXPECT_TRUE(p.complete);
  auto cards = children(*p.root);
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0]->getName(), "CardA");
  EXPECT_EQ(cards[1]->getName(), "CardB");
  ASSERT_EQ(children(*cards[0]).size(), 1u);
  EXPECT_EQ(children(*cards[0])[0]->getSequenceNumber(), 3);
  EXPECT_EQ(children(*cards[1])[0]->getSequenceNumber(), 5);
}

TEST(BinaryReaderParse, UnknownRecordTypeIsSkipped) {
  std::vector<Record> recs = {{"Root", 'e', {1}, {0}}, {"junk", 'x', {2}, {1}}, {"Child", 'e', {3}, {1}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  ASSERT_EQ(children(*p.root).size(), 1u);
  EXPECT_EQ(children(*p.root)[0]->getName(), "Child");
}

// Every malformed file stops reading: what was read before the fault stays,
// nothing after it is applied, and the result is marked incomplete.
struct MalformedCase {
  const char* what;
  std::vector<Record> records;
  Header header;
  bool rootExpected;
};

class BinaryReaderMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(BinaryReaderMalformed, StopsWithPartialTree) {
  const MalformedCase& c = GetParam();
  Parsed p = parse(testbin::file(c.records, c.header));
  EXPECT_FALSE(p.complete);
  if (!c.rootExpected) {
    EXPECT_EQ(p.root, nullptr);
    return;
  }
  ASSERT_NE(p.root, nullptr);
  EXPECT_EQ(p.root->getName(), "Root");
  // The record after the fault ("After") is never applied.
  for (const BinaryReaderNode* c2 : p.root->getChildren()) EXPECT_NE(c2->getName(), "After");
}

Header withEntries(int e) {
  Header h;
  h.entryCount = e;
  return h;
}
Header withMaxCount(int m) {
  Header h;
  h.maxCount = m;
  return h;
}
Header withStrings(int s) {
  Header h;
  h.stringSize = s;
  return h;
}

const Record kRoot{"Root", 'e', {1}, {0}};
const Record kAfter{"After", 'e', {9}, {1}};

INSTANTIATE_TEST_SUITE_P(
    Bounds, BinaryReaderMalformed,
    ::testing::Values(
        MalformedCase{"id equal to E", {kRoot, {"X", 'e', {5}, {1}}, kAfter}, withEntries(5), true},
        MalformedCase{"id beyond E", {kRoot, {"X", 'e', {60000}, {1}}, kAfter}, withEntries(10), true},
        MalformedCase{"id at 32768", {kRoot, {"X", 'e', {32768}, {1}}, kAfter}, withEntries(40000), true},
        MalformedCase{"id 0", {kRoot, {"X", 'e', {0}, {1}}, kAfter}, Header(), true},
        MalformedCase{"element id used twice", {kRoot, {"X", 'e', {2}, {1}}, {"Y", 'e', {2}, {1}}, kAfter}, Header(),
                      true},
        MalformedCase{"attribute id reused as element", {kRoot, {"a", 'a', {2}, {1}}, {"X", 'e', {2}, {1}}, kAfter},
                      Header(), true},
        MalformedCase{"parent not before child", {kRoot, {"X", 'e', {3}, {3}}, kAfter}, Header(), true},
        MalformedCase{"parent after child", {kRoot, {"X", 'e', {3}, {4}}, {"Y", 'e', {4}, {3}}, kAfter}, Header(),
                      true},
        MalformedCase{"second root", {kRoot, {"X", 'e', {2}, {0}}, kAfter}, Header(), true},
        MalformedCase{"parent is an attribute", {kRoot, {"a", 'a', {2}, {1}}, {"X", 'e', {4}, {2}}, kAfter},
                      Header(), true},
        MalformedCase{"value id 1", {kRoot, {"v", 'v', {1}, {}}, kAfter}, Header(), true},
        MalformedCase{"value id 0", {kRoot, {"v", 'v', {0}, {}}, kAfter}, Header(), true},
        MalformedCase{"value without attribute name", {kRoot, {"X", 'e', {2}, {1}}, {"v", 'v', {3}, {}}, kAfter},
                      Header(), true},
        MalformedCase{"value before its name", {kRoot, {"v", 'v', {3}, {}}, {"a", 'a', {2}, {1}}, kAfter},
                      Header(), true},
        // An element that owns an attribute or a text but never comes is not
        // left out quietly: the whole file is refused.
        MalformedCase{"text of element never defined", {kRoot, {"t", 't', {3}, {2}}, kAfter}, Header(), false},
        MalformedCase{"attribute of element never defined", {kRoot, {"a", 'a', {3}, {2}}, {"v", 'v', {4}, {}}, kAfter},
                      Header(), false},
        MalformedCase{"owner id reused as attribute name",
                      {kRoot, {"t", 't', {3}, {2}}, {"n", 'a', {2}, {1}}, kAfter}, Header(), false},
        MalformedCase{"attribute owner 0", {kRoot, {"a", 'a', {3}, {0}}, kAfter}, Header(), true},
        MalformedCase{"attribute owner beyond E", {kRoot, {"a", 'a', {3}, {50}}, kAfter}, withEntries(10), true},
        MalformedCase{"text owner beyond E", {kRoot, {"t", 't', {3}, {60000}}, kAfter}, withEntries(10), true},
        MalformedCase{"attribute owned by itself", {kRoot, {"a", 'a', {3}, {3}}, kAfter}, Header(), true},
        MalformedCase{"attribute owner after it",
                      {kRoot, {"a", 'a', {3}, {4}}, {"X", 'e', {4}, {1}}, kAfter}, Header(), true},
        MalformedCase{"text owner is an attribute",
                      {kRoot, {"n", 'a', {2}, {1}}, {"v", 'v', {3}, {}}, {"t", 't', {4}, {2}}, kAfter}, Header(), true},
        MalformedCase{"element redefines an owner made for its attribute",
                      {kRoot, {"n", 'a', {3}, {2}}, {"v", 'v', {4}, {}}, {"X", 'e', {2}, {1}}, {"Y", 'e', {2}, {1}},
                       kAfter},
                      Header(), true},
        MalformedCase{"count above M", {kRoot, {"X", 'e', {2, 3}, {1, 1}}, kAfter}, withMaxCount(1), true},
        MalformedCase{"string longer than S", {kRoot, {"Xlongerthan", 'e', {2}, {1}}, kAfter}, withStrings(5), true},
        MalformedCase{"strings overflow S", {kRoot, {"Xy", 'e', {2}, {1}}, kAfter}, withStrings(7), true},
        MalformedCase{"zero entries", {kRoot, kAfter}, withEntries(0), false},
        MalformedCase{"root only pending", {{"X", 'e', {2}, {1}}}, Header(), false},
        MalformedCase{"root missing", {{"a", 'a', {2}, {1}}}, Header(), false}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) {
      std::string n = info.param.what;
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(BinaryReaderParse, OwnerDefinedAfterItsAttributesTextAndChildren) {
  // Element 2 is named as owner and parent before its own record; the record
  // fills the node in and links it, keeping what arrived before.
  std::vector<Record> recs = {kRoot,
                              {"k", 'a', {3}, {2}},
                              {"val", 'v', {4}, {}},
                              {"hello", 't', {5}, {2}},
                              {"Y", 'e', {6}, {2}},
                              {"X", 'e', {2}, {1}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  EXPECT_TRUE(p.complete);
  auto kids = children(*p.root);
  ASSERT_EQ(kids.size(), 1u);
  const BinaryReaderNode& x = *kids[0];
  EXPECT_EQ(x.getName(), "X");
  EXPECT_EQ(x.getSequenceNumber(), 2);
  EXPECT_EQ(x.getParentNumber(), 1);
  EXPECT_EQ(attr(x, "k"), "val");
  EXPECT_EQ(x.getValue(), "hello");
  ASSERT_EQ(children(x).size(), 1u);
  EXPECT_EQ(children(x)[0]->getName(), "Y");
}

TEST(BinaryReaderParse, PendingParentNeverDefinedIsDropped) {
  std::vector<Record> recs = {kRoot, {"Orphan", 'e', {3}, {2}}, {"Kept", 'e', {4}, {1}}};
  Parsed p = parse(testbin::file(recs));
  ASSERT_NE(p.root, nullptr);
  EXPECT_FALSE(p.complete);
  ASSERT_EQ(children(*p.root).size(), 1u);
  EXPECT_EQ(children(*p.root)[0]->getName(), "Kept");
}

TEST(BinaryReaderParse, EveryTruncationYieldsAPrefixOfTheTree) {
  const auto full = testbin::file(sampleDocument());
  Parsed whole = parse(full);
  ASSERT_NE(whole.root, nullptr);
  size_t lastChildren = 0;
  for (size_t len = 41; len < full.size(); ++len) {
    std::vector<unsigned char> cut(full.begin(), full.begin() + len);
    testbin::fixChecksum(cut);
    Parsed p = parse(cut);
    EXPECT_FALSE(p.complete) << len;
    if (p.root == nullptr) continue;  // cut inside the root's record
    EXPECT_EQ(p.root->getName(), "Root");
    EXPECT_GE(p.root->getChildren().size(), lastChildren) << len;
    lastChildren = p.root->getChildren().size();
    EXPECT_FALSE(*p.root == *whole.root) << len << " of " << full.size();
  }
  EXPECT_EQ(lastChildren, 3u);
}

namespace {

// Strings shared by elements whose records come at different places: "class"
// first occurs on the first Card but also belongs to a Slot and to Note, the
// text "on" first occurs in a Slot and also belongs to Note.
Element orderDocument() {
  return Element{
      "Root",
      {{"class", "IpDomain"}, {"instanceName", "base"}},
      "",
      {Element{"Card",
               {{"class", "Osc"}, {"instanceName", "osc0"}},
               "",
               {Element{"Slot", {{"id", "1"}}, "on", {}}, Element{"Slot", {{"class", "Osc"}, {"id", "2"}}, "", {}}}},
       Element{"Card", {{"class", "Pll"}}, "", {Element{"Slot", {{"hidden", "true"}, {"id", "1"}}, "off", {}}}},
       Element{"Note", {{"class", "Osc"}}, "on", {}}, Element{"Empty", {}, "", {}}}};
}

// Equal trees, sequence and parent numbers included.
void expectSameTree(const BinaryReaderNode& a, const BinaryReaderNode& b) {
  EXPECT_TRUE(a == b);
  std::vector<std::pair<const BinaryReaderNode*, const BinaryReaderNode*>> work{{&a, &b}};
  while (!work.empty()) {
    auto [x, y] = work.back();
    work.pop_back();
    EXPECT_EQ(x->getSequenceNumber(), y->getSequenceNumber()) << x->getName();
    EXPECT_EQ(x->getParentNumber(), y->getParentNumber()) << x->getName();
    auto cx = children(*x), cy = children(*y);
    ASSERT_EQ(cx.size(), cy.size()) << x->getName();
    for (size_t i = 0; i < cx.size(); ++i) work.emplace_back(cx[i], cy[i]);
  }
}

// Occurrences of attribute names and texts whose element's record comes
// later in the file.
unsigned ownersNamedBeforeTheirRecord(const std::vector<Record>& recs) {
  std::vector<bool> defined(65536, false);
  unsigned early = 0;
  for (const Record& r : recs) {
    for (size_t i = 0; i < r.a.size(); ++i) {
      if (r.type == 'e') defined[r.a[i]] = true;
      if ((r.type == 'a' || r.type == 't') && !defined[r.b[i]]) ++early;
    }
  }
  return early;
}

}  // namespace

// The same document in every record order the format allows reads to the
// same tree.
TEST(BinaryReaderParse, RecordOrderDoesNotChangeTheTree) {
  const std::vector<Record> documentOrder = testbin::records(orderDocument());
  Parsed reference = parse(testbin::file(documentOrder));
  ASSERT_NE(reference.root, nullptr);
  ASSERT_TRUE(reference.complete);
  const std::vector<Record> shared = testbin::atFirstOccurrence(documentOrder);
  struct Order {
    std::string what;
    std::vector<Record> records;
    bool forward;  // some attribute or text comes before its element
  };
  std::vector<Order> orders = {
      {"shared strings at their first occurrence", shared, true},
      {"texts, names, values, then elements", testbin::groupedByType(shared, "tave"), true},
      {"elements, names, values, then texts", testbin::groupedByType(shared, "eavt"), false},
      {"one record per occurrence, grouped by type", testbin::groupedByType(documentOrder, "atve"), true},
  };
  for (unsigned seed = 1; seed <= 40; ++seed)
    orders.push_back({"shuffled " + std::to_string(seed), testbin::shuffled(shared, seed), false});
  for (const Order& o : orders) {
    SCOPED_TRACE(o.what);
    if (o.forward) {
      EXPECT_GT(ownersNamedBeforeTheirRecord(o.records), 0u);
    }
    Parsed p = parse(testbin::file(o.records));
    ASSERT_NE(p.root, nullptr);
    EXPECT_TRUE(p.complete);
    expectSameTree(*p.root, *reference.root);
  }
}

// Cut anywhere, a file whose attributes come before their elements yields
// no tree or a tree of fully defined elements, never a node made for a
// reference and left unnamed.
TEST(BinaryReaderParse, TruncatedSharedOrderLinksOnlyDefinedElements) {
  const auto full =
      testbin::file(testbin::groupedByType(testbin::atFirstOccurrence(testbin::records(orderDocument())), "tave"));
  for (size_t len = 41; len < full.size(); ++len) {
    std::vector<unsigned char> cut(full.begin(), full.begin() + len);
    testbin::fixChecksum(cut);
    Parsed p = parse(cut);
    EXPECT_FALSE(p.complete) << len;
    if (p.root == nullptr) continue;
    std::vector<const BinaryReaderNode*> work{p.root.get()};
    while (!work.empty()) {
      const BinaryReaderNode* n = work.back();
      work.pop_back();
      EXPECT_FALSE(n->getName().empty()) << len;
      EXPECT_GT(n->getSequenceNumber(), 0) << len;
      for (const BinaryReaderNode* c : n->getChildren()) work.push_back(c);
    }
  }
}

TEST(BinaryReaderParse, TrailingBytesMarkTheFileIncomplete) {
  auto bytes = testbin::file(sampleDocument());
  bytes.push_back(0);
  testbin::fixChecksum(bytes);
  Parsed p = parse(bytes);
  ASSERT_NE(p.root, nullptr);
  EXPECT_FALSE(p.complete);
  EXPECT_EQ(p.root->getChildren().size(), 3u);
}

TEST(BinaryReaderParse, DeepNestingNeitherRecursesNorLeaks) {
  // 30000 nested elements, one record each.
  std::vector<Record> recs;
  for (uint16_t i = 1; i <= 30000; ++i) recs.push_back({"N", 'e', {i}, {static_cast<uint16_t>(i - 1)}});
  auto bytes = testbin::file(recs);
  Parsed a = parse(bytes);
  Parsed b = parse(bytes);
  ASSERT_NE(a.root, nullptr);
  EXPECT_TRUE(a.complete);
  EXPECT_TRUE(*a.root == *b.root);
  EXPECT_FALSE(*a.root < *b.root);
}

TEST(BinaryReaderNodeCompare, ComparesNameValueAttributesAndChildren) {
  auto make = [](const char* childAttr) {
    auto* n = new BinaryReaderNode(false);
    n->setFieldsOfNode("R", 1, 0);
    auto* c = new BinaryReaderNode(false);
    c->setName("C");
    c->addAttribute("k", childAttr);
    n->addChild(c);
    return std::unique_ptr<BinaryReaderNode>(n);
  };
  auto a = make("1"), b = make("1"), c = make("2");
  EXPECT_TRUE(*a == *b);
  EXPECT_TRUE(*a != *c);
  EXPECT_TRUE(*a < *c);
  EXPECT_FALSE(*c < *a);
  b->setTextNode("text");
  EXPECT_TRUE(*a != *b);
}

TEST_F(TempDir, ParserReadsFileAndKeepsRoot) {
  ASSERT_TRUE(testbin::writeFile(path("doc.bin"), testbin::file(sampleDocument())));
  BinaryReaderParser parser(path("doc.bin"));
  const BinaryReaderNode* root = parser.getBinaryReaderRootNode();
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(parser.isComplete());
  EXPECT_EQ(parser.getBinaryReaderRootNode(), root);
  EXPECT_EQ(parser.getFileHeader().entryCount, 15);  // 14 occurrences + 1
  EXPECT_STREQ(parser.getFileHeader().version, "1.4");
  BinaryReaderParser missing(path("none.bin"));
  EXPECT_EQ(missing.getBinaryReaderRootNode(), nullptr);
}

TEST_F(TempDir, FactoryReadsEachPathOnce) {
  ASSERT_TRUE(testbin::writeFile(path("doc.bin"), testbin::file(sampleDocument())));
  const BinaryReaderNode* first = getBinaryReaderNode(path("doc.bin"));
  ASSERT_NE(first, nullptr);
  // Changing the file does not matter until the cache is cleared.
  ASSERT_TRUE(testbin::writeFile(path("doc.bin"), testbin::file(Element{"Other", {}, "", {}})));
  EXPECT_EQ(getBinaryReaderNode(path("doc.bin")), first);
  clearBinaryReaderCache();
  const BinaryReaderNode* again = getBinaryReaderNode(path("doc.bin"));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->getName(), "Other");
}

TEST_F(TempDir, FactoryKeepsMissingFileAsNullUntilCleared) {
  EXPECT_EQ(getBinaryReaderNode(path("late.bin")), nullptr);
  EXPECT_EQ(BinaryReaderFactory::getInstance()->getCacheSize(), 1u);
  ASSERT_TRUE(testbin::writeFile(path("late.bin"), testbin::file(sampleDocument())));
  EXPECT_EQ(getBinaryReaderNode(path("late.bin")), nullptr);
  clearBinaryReaderCache();
  EXPECT_EQ(BinaryReaderFactory::getInstance()->getCacheSize(), 0u);
  EXPECT_NE(getBinaryReaderNode(path("late.bin")), nullptr);
}

TEST_F(TempDir, FactoryKeepsInvalidFileAsNull) {
  auto bytes = testbin::file(sampleDocument());
  bytes[45] ^= 0xFF;  // checksum no longer matches
  ASSERT_TRUE(testbin::writeFile(path("bad.bin"), bytes));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(getBinaryReaderNode(path("bad.bin")), nullptr);
  ::testing::internal::GetCapturedStdout();
  testbin::fixChecksum(bytes);
  ASSERT_TRUE(testbin::writeFile(path("bad.bin"), bytes));
  EXPECT_EQ(getBinaryReaderNode(path("bad.bin")), nullptr);
}

TEST(BinaryReaderNodePool, NodesGoBackWhereTheyCameFrom) {
  // A node made before the pool exists, one made from the pool.
  std::unique_ptr<BinaryReaderNode> heapNode(new BinaryReaderNode(false));
  BinaryReaderNode::initMemoryPool();
  ASSERT_TRUE(BinaryReaderNode::isPoolActive());
  Parsed p = parse(testbin::file(sampleDocument()));
  ASSERT_NE(p.root, nullptr);
  heapNode.reset();
  // Alive pool nodes keep the pool.
  BinaryReaderNode::terminateMemoryPool();
  EXPECT_TRUE(BinaryReaderNode::isPoolActive());
  p.root.reset();
  BinaryReaderNode::terminateMemoryPool();
  EXPECT_FALSE(BinaryReaderNode::isPoolActive());
  // Without the pool nodes come from the heap again.
  Parsed q = parse(testbin::file(sampleDocument()));
  EXPECT_NE(q.root, nullptr);
}

TEST_F(TempDir, FactoryGivesAllThreadsTheSameTree) {
  ASSERT_TRUE(testbin::writeFile(path("doc.bin"), testbin::file(sampleDocument())));
  std::vector<const BinaryReaderNode*> seen(4, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back([&, t] { seen[t] = getBinaryReaderNode(path("doc.bin")); });
  for (auto& th : threads) th.join();
  ASSERT_NE(seen[0], nullptr);
  for (const BinaryReaderNode* n : seen) EXPECT_EQ(n, seen[0]);
  EXPECT_EQ(BinaryReaderFactory::getInstance()->getCacheSize(), 1u);
}
