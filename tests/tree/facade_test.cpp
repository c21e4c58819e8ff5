// The tree builder: objects in document order through their factories,
// attributes before linking, skipped subtrees, and the failures of single
// elements (the siblings are still built) and of the whole build.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kav/runtime/GarbageCollector.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BuildBase.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/Facade.h"
#include "kav/tree/config/Factories.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/config/dyn_func_call.h"
#include "tests/diag/TestConfig.h"

namespace {

// Every Probe records its instance name, its parent's name and whether it
// saw the context node when it gets its attributes; "fail" makes it refuse them.
struct ProbeCall {
  std::string name;
  std::string parent;
  const BinaryReaderNode* context;
};
std::vector<ProbeCall>& probeCalls() {
  static std::vector<ProbeCall> calls;
  return calls;
}

class Probe : public QueryBase {
 public:
  BaseErrorData setAttributes(const AttributeInfo& info) override {
    BaseErrorData rc = QueryBase::setAttributes(info);
    const BinaryReaderNode* local = info.getLocalAttributes();
    QueryBase* parent = info.getParent();
    probeCalls().push_back(ProbeCall{get_string_by_id(getInstanceId()),
                                     parent != nullptr ? get_string_by_id(parent->getInstanceId()) : "",
                                     info.getFileAttributes()});
    kavstl::string fail;
    if (local->getAttributeValue("fail", fail, true) == 0) rc = 0x7001;
    return rc;
  }
};

BuildBase* createProbe(void*, BaseErrorData&) { return (new Probe())->getBuildInterface(); }

std::string name(const KavPtr<QueryBase>& node) { return get_string_by_id(node->getInstanceId()); }

std::string childNames(QueryBase* node) {
  std::string s;
  for (const KavPtr<QueryBase>& c : node->getChildren()) s += (s.empty() ? "" : " ") + name(c);
  return s;
}

class FacadeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TestConfig& config = TestConfig::instance();
    registerTreeFactory("createProbe", &createProbe);
    config.addTree("FacadeMain", "Top", "TopParse", R"(<FacadeMain>
  <Other class="Container" library="libquib.so" instanceName="other"/>
  <Top class="Container" library="libquib.so" instanceName="TopName">
    <A class="Probe" library="libquib.so" instanceName="a"/>
    <NoClass library="libquib.so" instanceName="noClass"/>
    <NoLibrary class="Probe" instanceName="noLibrary"/>
    <Unknown class="NoSuchClass" library="libquib.so" instanceName="unknown"/>
    <Skipped class="Probe" library="libquib.so" instanceName="skipped" skip="true">
      <UnderSkipped class="Probe" library="libquib.so" instanceName="underSkipped"/>
    </Skipped>
    <NotSkipped class="Probe" library="libquib.so" instanceName="notSkipped" skip="TRUE"/>
    <Bad class="Probe" library="libquib.so" instanceName="bad" fail="yes">
      <UnderBad class="Probe" library="libquib.so" instanceName="underBad"/>
    </Bad>
    <B class="Probe" library="libquib.so" instanceName="b">
      <B1 class="Probe" library="libquib.so" instanceName="b1"/>
      <B2 class="Probe" library="libquib.so" instanceName="b2">
        <B21 class="Probe" library="libquib.so" instanceName="b21"/>
      </B2>
    </B>
  </Top>
</FacadeMain>)");
    config.addTree("FacadeNoParseName", "Top", "",
                   R"(<R><Top class="Container" library="libquib.so" instanceName="OwnName"/></R>)");
    config.addTree("FacadeExisting", "Top", "",
                   R"(<R><Top class="NoSuchClass" library="libquib.so" instanceName="Given">
                        <C class="Probe" library="libquib.so" instanceName="c"/></Top></R>)");
    config.addTree("FacadeTopWithoutClass", "Top", "", R"(<R><Top library="libquib.so"/></R>)");
    config.addTree("FacadeTopWithoutLibrary", "Top", "", R"(<R><Top class="Container"/></R>)");
    config.addTree("FacadeTopUnknown", "Top", "", R"(<R><Top class="NoSuchClass" library="libquib.so"/></R>)");
    config.addTree("FacadeTopRefuses", "Top", "",
                   R"(<R><Top class="Probe" library="libquib.so" instanceName="refuses" fail="yes">
                        <C class="Probe" library="libquib.so" instanceName="neverBuilt"/></Top></R>)");
    // The top element must be a direct child of the root.
    config.addTree("FacadeNoTop", "Top", "",
                   R"(<R><Other class="Container" library="libquib.so"><Top class="Container" library="libquib.so"/></Other></R>)");
    config.addMainType("FacadeMissingFile", "Top", "", {{"Any", "NoSuchFile.bin"}});
    config.addMainType("FacadeSubTypes", "Top", "", {{"7", "FacadeNoParseName.bin"}});
  }
  static void TearDownTestSuite() { unregisterTreeFactory("createProbe"); }
  void SetUp() override { probeCalls().clear(); }
};

TEST_F(FacadeTest, BuildsObjectsInDocumentOrder) {
  BinaryReaderNode context(false);
  Facade facade;
  BuildBase* top = nullptr;
  BaseErrorData rc = facade.buildTree("FacadeMain", "0", &top, &context);
  // The failures of single elements do not reach the caller.
  EXPECT_EQ(rc, 0u) << rc.getErrorBuffer();
  ASSERT_NE(top, nullptr);
  QueryBase* root = top->getQueryBase();
  EXPECT_TRUE(root->isInstanceOf(Container::staticGetClassId()));
  // The parse name of the file list names the top object.
  EXPECT_EQ(get_string_by_id(root->getInstanceId()), "TopParse");
  EXPECT_TRUE(root->isRoot());

  // Skipped and failed elements are missing, their siblings are there.
  EXPECT_EQ(childNames(root), "a notSkipped b");
  KavPtr<QueryBase> b = root->getChildren().back();
  EXPECT_EQ(childNames(b.operator->()), "b1 b2");
  EXPECT_EQ(childNames(b->getChildren().back().operator->()), "b21");
  EXPECT_EQ(b->getParent().operator->(), root);

  // Attributes in document order, each before its children, every one with
  // its parent and the context node; nothing below a refused object.
  std::string order;
  for (const ProbeCall& c : probeCalls()) {
    order += c.name + "<" + c.parent + " ";
    EXPECT_EQ(c.context, &context) << c.name;
  }
  EXPECT_EQ(order, "a<TopParse notSkipped<TopParse bad<TopParse b<TopParse b1<b b2<b b21<b2 ");
}

TEST_F(FacadeTest, ExistingTopGetsAttributesAndChildrenOnly) {
  Container* given = new Container(KavPtr<QueryBase>());
  BuildBase* top = given->getBuildInterface();
  Facade facade;
  BaseErrorData rc = facade.buildTree("FacadeExisting", "0", &top, nullptr);
  // The top element's class is not used: no factory is looked up for it.
  EXPECT_EQ(rc, 0u) << rc.getErrorBuffer();
  EXPECT_EQ(top, given->getBuildInterface());
  EXPECT_EQ(get_string_by_id(given->getInstanceId()), "Given");
  EXPECT_EQ(childNames(given), "c");
}

TEST_F(FacadeTest, EmptyParseNameKeepsTheInstanceNameOfTheAttributes) {
  for (const char* subType : {"0", "7"}) {
    SCOPED_TRACE(subType);
    Facade facade;
    BuildBase* top = nullptr;
    const char* mainType = std::string(subType) == "7" ? "FacadeSubTypes" : "FacadeNoParseName";
    ASSERT_EQ(facade.buildTree(mainType, subType, &top, nullptr), 0u);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(get_string_by_id(top->getQueryBase()->getInstanceId()), "OwnName");
  }
}

TEST_F(FacadeTest, FailedBuilds) {
  struct Case {
    const char* mainType;
    const char* subType;
    unsigned int rc;
  };
  const Case cases[] = {
      {"FacadeMissingFile", "0", 0x7140},       {"NoSuchMainType", "0", 0x7141},
      {"FacadeSubTypes", "8", 0x7142},          {"FacadeNoTop", "0", 0x7148},
      {"FacadeTopWithoutClass", "0", 0x7144},   {"FacadeTopWithoutLibrary", "0", 0x7143},
      {"FacadeTopUnknown", "0", 0x7150},        {"FacadeTopRefuses", "0", 0x7001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mainType);
    probeCalls().clear();
    Facade facade;
    BuildBase* top = nullptr;
    BaseErrorData rc = facade.buildTree(c.mainType, c.subType, &top, nullptr);
    EXPECT_EQ(rc.getRcWithoutLogFlag(), c.rc);
    EXPECT_EQ(top, nullptr);
    // Logged as an internal error.
    EXPECT_NE(std::string(rc.getErrorBuffer()).find("Microcode Error!"), std::string::npos) << rc.getErrorBuffer();
  }
  // The refusing top object was made but none of its children.
  ASSERT_EQ(probeCalls().size(), 1u);
  EXPECT_EQ(probeCalls()[0].name, "refuses");
}

TEST_F(FacadeTest, RefusedObjectsGoToTheGarbageCollector) {
  Facade facade;
  BinaryReaderNode* root = new BinaryReaderNode(false);
  BinaryReaderNode* bad = new BinaryReaderNode(false);
  bad->setName("Bad");
  bad->addAttribute(get_string_by_id(kav::sid::CLASS_NAME), "Probe");
  bad->addAttribute(get_string_by_id(kav::sid::LIBRARY_NAME), "libquib.so");
  bad->addAttribute("fail", "yes");
  root->addChild(bad);
  Container* parent = new Container(KavPtr<QueryBase>());
  unsigned int pending = GarbageCollector::getInstance()->getNumberOfDeleteRequests();
  BaseErrorData rc = facade.makeChildren(root, nullptr, parent->getBuildInterface());
  EXPECT_EQ(rc, 0x7001u);
  EXPECT_TRUE(parent->isLeaf());
  EXPECT_EQ(GarbageCollector::getInstance()->getNumberOfDeleteRequests(), pending + 1);
  delete root;
}

TEST_F(FacadeTest, FactoriesAreFoundByName) {
  BaseErrorData rc;
  void* handle = loadLibrary("libwhatever.so", rc);
  EXPECT_EQ(rc, 0u);
  ASSERT_NE(handle, nullptr);
  BuildBase* made = callFunctionInLibrary<BuildBase*, void*>(handle, "createContainer", nullptr, rc);
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->getQueryBase()->isInstanceOf(Container::staticGetClassId()));
  EXPECT_TRUE(made->getQueryBase()->isRoot());

  BaseErrorData missing;
  BuildBase* none = callFunctionInLibrary<BuildBase*, void*>(handle, "createNoSuchClass", nullptr, missing);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(missing, 0x7150u);
  EXPECT_NE(std::string(missing.getErrorBuffer()).find("callFunctionInLibrary failed for function <createNoSuchClass>"),
            std::string::npos);
  // Every listed factory makes an object of its own class.
  for (const kavstl::string& f : getTreeFactoryNames()) {
    SCOPED_TRACE(f);
    BaseErrorData r;
    BuildBase* obj = callFunctionInLibrary<BuildBase*, void*>(handle, f, nullptr, r);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(obj->getQueryBase()->getBuildInterface(), obj);
    if (f != "createProbe") {
      EXPECT_EQ(get_string_by_id(obj->getQueryBase()->getClassId()), f.substr(6));
    }
  }
  EXPECT_FALSE(registerTreeFactory("createContainer", &createProbe));
}

TEST_F(FacadeTest, BaseDomainTreeOfTheConfiguration) {
  Facade facade;
  BuildBase* top = nullptr;
  BaseErrorData rc = facade.buildTree("IpDomainRoot", "0", &top, nullptr);
  EXPECT_EQ(rc, 0u) << rc.getErrorBuffer();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(get_string_by_id(top->getQueryBase()->getInstanceId()), "IpDomain");
  EXPECT_FALSE(top->getQueryBase()->isLeaf());
}

}  // namespace
