#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/ParameterSet.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/tree/ConfigEnv.h"

namespace {

const bool kConfig = testenv::useBuiltConfig();

// A provider holding one attribute "attr" with the given text.
struct OneAttribute {
  explicit OneAttribute(const std::string& text) : id(get_id_by_string("attr")) {
    params.addValue("attr", text);
  }
  unsigned int id;
  ParameterSet params;
};

const unsigned int kMissing = 0x7145;
const unsigned int kFormat = 0x7149;
const unsigned int kTooLong = 0x714A;

}  // namespace

struct NumberCase {
  const char* text;
  unsigned int rc;
  unsigned int value;
};

TEST(AttributeReaderNumbers, ParsesEveryNotation) {
  ASSERT_TRUE(kConfig);
  const NumberCase cases[] = {
      {"0x1F", 0, 31},      {"0X1f", 0, 31},    {"0b101", 0, 5},        {"0B", 0, 0},        {"0b102", 0, 2},
      {"17", 0, 17},        {"-1", 0, 0xFFFFFFFFu}, {"0", 0, 0},        {"0,5", 0, 0},       {"0 5", 0, 0},
      {"4294967295", 0, 0xFFFFFFFFu}, {"0xFFFFFFFF", 0, 0xFFFFFFFFu},
      {"012", kFormat, 0},  {"08", kFormat, 0}, {"", kFormat, 0},       {"abc", kFormat, 0}, {"0x", kFormat, 0},
      {"0xZ1", kFormat, 0}, {"-", kFormat, 0},
  };
  for (const NumberCase& c : cases) {
    OneAttribute a(c.text);
    unsigned int v = 0xDEAD;
    BaseErrorData rc = getAttributeUint32(&v, a.id, a.params, false);
    EXPECT_EQ(rc.getRcWithoutLogFlag(), c.rc) << c.text;
    EXPECT_EQ(v, c.rc == 0 ? c.value : 0xDEADu) << c.text;
  }
}

TEST(AttributeReaderNumbers, FormatErrorNamesAttributeAndText) {
  unsigned int v = 0;
  unsigned int id = get_id_by_string("speedPattern");
  BaseErrorData rc = getVal("012", v, id);
  EXPECT_EQ(rc, kFormat);
  EXPECT_EQ(rc.getLogMode(), 2u);
  const std::string text(rc.getErrorBuffer(), rc.getErrorBufferLen());
  EXPECT_NE(text.find("getAttribute - Format error on attribute speedPattern.  String = 012"), std::string::npos)
      << text;
}

TEST(AttributeReaderNumbers, NarrowFormsKeepLowBits) {
  OneAttribute a("0x12345");
  unsigned short s = 0;
  EXPECT_EQ(getAttributeUint16(&s, a.id, a.params, false), 0u);
  EXPECT_EQ(s, 0x2345);
  OneAttribute b("257");
  unsigned char c = 0;
  EXPECT_EQ(getAttributeUint8(&c, b.id, b.params, false), 0u);
  EXPECT_EQ(c, 1);
}

TEST(AttributeReaderLists, BlanksAndCommasSeparate) {
  OneAttribute a("1, 2 ,3");
  kavstl::vector<unsigned int> v;
  EXPECT_EQ(getAttributeVector32(v, a.id, a.params, false), 0u);
  EXPECT_EQ(v, (std::vector<unsigned int>{1, 2, 3}));

  OneAttribute bad("1,x,3");
  kavstl::vector<unsigned int> w;
  EXPECT_EQ(getAttributeVector32(w, bad.id, bad.params, false), kFormat);
  EXPECT_EQ(w, (std::vector<unsigned int>{1}));

  OneAttribute set("3,1 3,0x10");
  kavstl::set<unsigned int> s;
  EXPECT_EQ(getAttributeSet32(s, set.id, set.params, false), 0u);
  EXPECT_EQ(s, (std::set<unsigned int>{1, 3, 16}));

  OneAttribute bytes("0x1FF, 2");
  kavstl::vector<unsigned char> b;
  EXPECT_EQ(getAttributeVector8(b, bytes.id, bytes.params, false), 0u);
  EXPECT_EQ(b, (std::vector<unsigned char>{0xFF, 2}));

  OneAttribute empty("");
  kavstl::vector<unsigned int> e;
  EXPECT_EQ(getAttributeVector32(e, empty.id, empty.params, false), 0u);
  EXPECT_TRUE(e.empty());
}

TEST(AttributeReaderLists, StringVectorSplitsAtGivenSeparators) {
  OneAttribute a("a;b;;c; ");
  kavstl::vector<kavstl::string> v;
  EXPECT_EQ(getStringVector(v, a.id, "; ", a.params, false), 0u);
  EXPECT_EQ(v, (std::vector<kavstl::string>{"a", "b", "c"}));
}

TEST(AttributeReaderMissing, EveryReaderAnswers7145OptionalOrNot) {
  ParameterSet none;
  const unsigned int id = get_id_by_string("absent");
  for (bool optional : {false, true}) {
    kavstl::string s = "keep";
    EXPECT_EQ(getAttributeString(s, id, none, optional), kMissing);
    unsigned int u = 7;
    EXPECT_EQ(getAttributeUint32(&u, id, none, optional), kMissing);
    EXPECT_EQ(u, 7u);
    unsigned int sid = 7;
    EXPECT_EQ(getAttributeStringId(&sid, id, none, optional), kMissing);
    EXPECT_EQ(sid, get_id_by_string(""));
    bool b = true;
    EXPECT_EQ(getAttributeBool(&b, id, none, optional), kMissing);
    EXPECT_FALSE(b);
    kavstl::vector<unsigned int> v{9};
    EXPECT_EQ(getAttributeVector32(v, id, none, optional), kMissing);
    EXPECT_EQ(v.size(), 1u);
    unsigned char buf[2];
    unsigned int len = 5;
    EXPECT_EQ(getAttributeHexData(buf, &len, 2, id, none, optional), kMissing);
  }
}

TEST(AttributeReaderBool, TrueExactlyForTheTextOfId257) {
  ASSERT_EQ(get_id_by_string("true"), kav::sid::TRUE_TEXT) << "string-id table not loaded";
  const struct {
    const char* text;
    bool value;
  } cases[] = {{"true", true}, {"TRUE", false}, {"True", false}, {"false", false}, {"1", false}, {"", false}};
  for (const auto& c : cases) {
    OneAttribute a(c.text);
    bool b = !c.value;
    EXPECT_EQ(getAttributeBool(&b, a.id, a.params, false), 0u) << c.text;
    EXPECT_EQ(b, c.value) << c.text;
  }
}

TEST(AttributeReaderStringId, ValueBecomesItsStringId) {
  OneAttribute a("someInstanceName");
  unsigned int id = 0;
  EXPECT_EQ(getAttributeStringId(&id, a.id, a.params, false), 0u);
  EXPECT_EQ(get_string_by_id(id), "someInstanceName");
}

struct HexCase {
  const char* text;
  unsigned int max;
  unsigned int rc;
  std::vector<unsigned char> bytes;
};

TEST(AttributeReaderHex, ReadsPairsWithinTheMaximum) {
  const HexCase cases[] = {
      {"0x0A0B", 2, 0, {0x0A, 0x0B}},
      {"0X0a0b", 2, 0, {0x0A, 0x0B}},
      {"0A0B", 2, 0, {0x0A, 0x0B}},
      {"0x", 2, 0, {}},
      {"", 2, 0, {}},
      {"ABC", 2, kFormat, {}},
      {"0A0B0C", 2, kTooLong, {}},
      {"0x0A0B0C", 2, kTooLong, {}},
      {"0AG1", 4, kFormat, {0x0A}},
      {"0A 1", 4, kFormat, {0x0A}},
  };
  for (const HexCase& c : cases) {
    unsigned char buf[8] = {0};
    unsigned int len = 99;
    BaseErrorData rc = readHexData(buf, &len, c.max, c.text);
    EXPECT_EQ(rc.getRcWithoutLogFlag(), c.rc) << c.text;
    EXPECT_EQ(std::vector<unsigned char>(buf, buf + len), c.bytes) << c.text;
  }
  OneAttribute a("0xFF00");
  unsigned char buf[2];
  unsigned int len = 0;
  EXPECT_EQ(getAttributeHexData(buf, &len, 2, a.id, a.params, false), 0u);
  EXPECT_EQ(len, 2u);
  EXPECT_EQ(buf[0], 0xFF);
}

TEST(AttributeReaderHex, ByteNeedsTwoHexDigits) {
  unsigned char b = 0;
  EXPECT_EQ(readHexByte(&b, "fF"), 0u);
  EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(readHexByte(&b, "g1"), kFormat);
  EXPECT_EQ(readHexByte(&b, "1"), kFormat);  // second character is the NUL
}

TEST(ParameterSetTest, ReadsEntriesAndServesAsProvider) {
  BinaryReaderNode root(false);
  root.setName("ParameterSet");
  const std::vector<std::pair<const char*, const char*>> rows = {{"speed", "0x10"}, {"mode", "fast"}, {"speed", "99"}};
  for (const auto& r : rows) {
    auto* e = new BinaryReaderNode(false);
    e->setName("ParameterEntry");
    e->addAttribute(get_string_by_id(kav::sid::PARAMETER_NAME), r.first);
    e->addAttribute(get_string_by_id(kav::sid::PARAMETER_VALUE), r.second);
    root.addChild(e);
  }
  auto* other = new BinaryReaderNode(false);
  other->setName("Other");
  root.addChild(other);
  auto* noValue = new BinaryReaderNode(false);
  noValue->setName("ParameterEntry");
  noValue->addAttribute(get_string_by_id(kav::sid::PARAMETER_NAME), "lonely");
  root.addChild(noValue);

  ParameterSet set;
  BaseErrorData rc = set.readParameterSet(&root);
  EXPECT_EQ(rc, 0x7013u);  // "speed" twice; the first value stays
  EXPECT_EQ(set.size(), 2u);
  ASSERT_NE(set.getValue("speed", false), nullptr);
  EXPECT_EQ(*set.getValue("speed", false), "0x10");
  EXPECT_EQ(set.getValue("lonely", true), nullptr);

  unsigned int speed = 0;
  EXPECT_EQ(getAttributeUint32(&speed, get_id_by_string("speed"), set, false), 0u);
  EXPECT_EQ(speed, 16u);
  kavstl::string v = "x";
  EXPECT_EQ(set.getAttributeValue("nothing", v, true), kMissing);
  EXPECT_EQ(v, "");
}
