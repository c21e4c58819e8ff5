// Links: static binding by scope and instance name, the computed engine
// name, dynamic links that follow the configuration of their slot and call
// their owner back, and a dynamic link without slot id.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/IdProvider.h"
#include "kav/cards/IdProviderAccess.h"
#include "kav/cards/Slot.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/EventMemberCallback.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/hwaccess/links/LinkCallBack.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/config/Factories.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/hwaccess/FsiTestSupport.h"

namespace {

// A link target only: its transfers are never called here.
class TestI2c : public I2cHwaInterface {
 public:
  explicit TestI2c(const char* name) { setInstanceId(get_id_by_string(name)); }
  ErrorData write(const i2c::i2cInfo_s&, unsigned int, const unsigned char*, unsigned int) const override {
    return ErrorData();
  }
  ErrorData read(const i2c::i2cInfo_s&, unsigned int, unsigned char*, unsigned int&) const override {
    return ErrorData();
  }
  ErrorData resetIrq(const i2c::i2cInfo_s&, unsigned int, const unsigned char*, unsigned int) const override {
    return ErrorData();
  }
};

KavPtr<Container> container(QueryBase* parent, const char* name) {
  KavPtr<Container> c(new Container(KavPtr<QueryBase>()));
  c->setInstanceId(get_id_by_string(name));
  if (parent != nullptr) fsitest::link(parent, c.getRawPointer());
  return c;
}

KavPtr<TestI2c> target(QueryBase* parent, const char* name) {
  KavPtr<TestI2c> t(new TestI2c(name));
  fsitest::link(parent, t.getRawPointer());
  return t;
}

KavPtr<I2cHwaInterfaceLink> makeLink(QueryBase* parent, unsigned int scope, const char* targetName) {
  KavPtr<I2cHwaInterfaceLink> l(new I2cHwaInterfaceLink());
  l->setScopeId(scope);
  l->setTargetInstanceName(get_id_by_string(targetName));
  fsitest::link(parent, l.getRawPointer());
  return l;
}

// The owner of a dynamic link: counts the callbacks and notes whether the
// link had a target at each.
class Owner {
 public:
  explicit Owner(I2cHwaInterfaceLink* link) : m_link(link) {}
  void linkChanged() {
    KavPtr<I2cHwaInterface> t = m_link->getLinkTarget();
    std::lock_guard<std::mutex> guard(m_lock);
    m_targets.push_back(t.getRawPointer());
  }
  std::vector<const I2cHwaInterface*> targets() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_targets;
  }

 private:
  I2cHwaInterfaceLink* m_link;
  std::mutex m_lock;
  std::vector<const I2cHwaInterface*> m_targets;
};

const unsigned int kFenceSlot = 0x7F;

// Waits until every event sent before has been delivered: the dispatcher
// delivers in order, so a later event of another slot is a fence.
void deliverPending() {
  cardstest::Recorder<ConfigChangeEvent> fence(ConfigChangeEventSender::getInstance(),
                                               ConfigChangeEvent::EventType_s{kFenceSlot, ConfigChangeEvent::CONFIGURED});
  ConfigChangeEvent event(kFenceSlot, ConfigChangeEvent::CONFIGURED);
  ConfigChangeEventSender::getInstance()->sendEvent(event);
  ASSERT_EQ(1u, fence.waitFor(1).size());
}

class LinkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    initContainerList();
  }
};

}  // namespace

TEST_F(LinkTest, StaticScopes) {
  // outer { other, inner { link } }: the enclosing container is inner, the
  // one above it outer (whose subtree includes inner).
  struct Case {
    unsigned int scope;
    const char* inInner;  // target names placed in inner / outer
    const char* inOuter;
    const char* wanted;
    int found;  // 0 none, 1 the one in inner, 2 the one in outer
  };
  const Case cases[] = {
      {kav::sid::SCOPE_CONTAINER, "T", "U", "T", 1},
      {kav::sid::SCOPE_CONTAINER, "X", "T", "T", 0},
      {kav::sid::SCOPE_CONTAINER, "X", "U", "T", 0},  // no match: null, no error
      {kav::sid::SCOPE_PARENT_CONTAINER, "X", "T", "T", 2},
      {kav::sid::SCOPE_PARENT_CONTAINER, "T", "U", "T", 1},
      {kav::sid::SCOPE_PARENT_CONTAINER, "T", "T", "T", 0},  // two matches: null
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(get_string_by_id(c.scope)) + " " + c.inInner + "/" + c.inOuter);
    KavPtr<Container> outer = container(nullptr, "Outer");
    KavPtr<Container> inner = container(outer.getRawPointer(), "Inner");
    KavPtr<TestI2c> a = target(inner.getRawPointer(), c.inInner);
    KavPtr<TestI2c> b = target(outer.getRawPointer(), c.inOuter);
    KavPtr<I2cHwaInterfaceLink> l = makeLink(inner.getRawPointer(), c.scope, c.wanted);
    EXPECT_EQ(0u, l->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_FALSE(l->isDynamicLink());
    EXPECT_EQ(c.scope == kav::sid::SCOPE_CONTAINER ? inner.getRawPointer() : outer.getRawPointer(),
              l->getContainer().getRawPointer());
    const I2cHwaInterface* expected = c.found == 1 ? a.getRawPointer() : c.found == 2 ? b.getRawPointer() : nullptr;
    EXPECT_EQ(expected, l->getLinkTarget().getRawPointer());
    // A static link keeps no callback.
    Owner owner(l.getRawPointer());
    LinkCallBack<Owner> callBack(&owner, &Owner::linkChanged);
    EXPECT_FALSE(l->registerCallBack(callBack));
    l->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
    EXPECT_EQ(nullptr, l->getContainer().getRawPointer());
    EXPECT_EQ(nullptr, l->getLinkTarget().getRawPointer());
  }
}

TEST_F(LinkTest, ParentScopeWithoutContainerAboveIsALinkError) {
  KavPtr<Container> only = container(nullptr, "Only");
  KavPtr<I2cHwaInterfaceLink> l = makeLink(only.getRawPointer(), kav::sid::SCOPE_PARENT_CONTAINER, "T");
  EXPECT_EQ(0x7002u, l->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRcWithoutLogFlag());
  EXPECT_EQ(nullptr, l->getContainer().getRawPointer());
}

TEST_F(LinkTest, AttributesNameTheTargetDirectlyOrAsEngine) {
  KavPtr<I2cHwaInterfaceLink> named(new I2cHwaInterfaceLink());
  std::unique_ptr<BinaryReaderNode> a(cardstest::element(
      "Link", {{get_string_by_id(kav::sid::LINK_SCOPE), "ScopeContainer"},
               {get_string_by_id(kav::sid::TARGET_INSTANCE_NAME), "ClockChip"},
               {get_string_by_id(kav::sid::ENGINE_TYPE), "I2C"}}));
  EXPECT_EQ(0u, named->setAttributes(AttributeInfo(nullptr, a.get(), nullptr)).getRc());
  EXPECT_EQ(kav::sid::SCOPE_CONTAINER, named->getScopeId());
  EXPECT_EQ(get_id_by_string("ClockChip"), named->getTargetInstanceName());

  KavPtr<DioHwaInterfaceLink> engine(new DioHwaInterfaceLink());
  std::unique_ptr<BinaryReaderNode> b(cardstest::element(
      "Link", {{get_string_by_id(kav::sid::LINK_SCOPE), "ScopeParentContainer"},
               {get_string_by_id(kav::sid::ENGINE_TYPE), "GPIO"},
               {get_string_by_id(kav::sid::HWA_ID), "1"},
               {get_string_by_id(kav::sid::LINK_ENGINE_ID), "0"}}));
  EXPECT_EQ(0u, engine->setAttributes(AttributeInfo(nullptr, b.get(), nullptr)).getRc());
  EXPECT_EQ(kav::sid::SCOPE_PARENT_CONTAINER, engine->getScopeId());
  EXPECT_EQ("GPIO-Link_1-Engine_0", get_string_by_id(engine->getTargetInstanceName()));

  // Neither a name nor the engine: an attribute error.
  KavPtr<I2cHwaInterfaceLink> bare(new I2cHwaInterfaceLink());
  std::unique_ptr<BinaryReaderNode> c(
      cardstest::element("Link", {{get_string_by_id(kav::sid::LINK_SCOPE), "ScopeContainer"}}));
  EXPECT_NE(0u, bare->setAttributes(AttributeInfo(nullptr, c.get(), nullptr)).getRc());
}

TEST_F(LinkTest, SlotIdFromTheNearestIdProvider) {
  KavPtr<Container> top = container(nullptr, "Top");
  KavPtr<IdProvider> ids(new IdProvider());
  fsitest::link(top.getRawPointer(), ids.getRawPointer());
  ASSERT_EQ(0u, ids->addId(get_id_by_string("HexSlot"), get_id_by_string("0x11")).getRc());
  ASSERT_EQ(0u, ids->addId(get_id_by_string("DecSlot"), get_id_by_string("17")).getRc());
  ASSERT_EQ(0u, ids->addId(get_id_by_string("TextSlot"), get_id_by_string("slot")).getRc());
  KavPtr<Container> inner = container(top.getRawPointer(), "Inner");
  KavPtr<I2cHwaInterfaceLink> l = makeLink(inner.getRawPointer(), 0, "T");
  unsigned int value = 0;
  EXPECT_EQ(0u, getIdFromProviderUint32(l.getRawPointer(), get_id_by_string("HexSlot"), value).getRc());
  EXPECT_EQ(0x11u, value);
  EXPECT_EQ(0u, getIdFromProviderUint32(l.getRawPointer(), get_id_by_string("DecSlot"), value).getRc());
  EXPECT_EQ(17u, value);
  EXPECT_EQ(0x7013u, getIdFromProviderUint32(l.getRawPointer(), get_id_by_string("TextSlot"), value).getRc());
  EXPECT_EQ(0x704Cu, getIdFromProviderUint32(l.getRawPointer(), get_id_by_string("NoKey"), value).getRc());
  KavPtr<Container> elsewhere = container(nullptr, "Elsewhere");
  EXPECT_EQ(0x7000u, getIdFromProviderUint32(elsewhere.getRawPointer(), get_id_by_string("HexSlot"), value).getRc());
}

TEST_F(LinkTest, MissingSlotIdIsLoggedAndTheLinkStaysWithoutContainer) {
  KavPtr<Container> top = container(nullptr, "Top");
  KavPtr<IdProvider> ids(new IdProvider());
  fsitest::link(top.getRawPointer(), ids.getRawPointer());
  KavPtr<I2cHwaInterfaceLink> l = makeLink(top.getRawPointer(), get_id_by_string("UnknownSlotKey"), "T");
  target(top.getRawPointer(), "T");

  trace_ravo_clear_all();
  EXPECT_EQ(0u, l->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(1u, fsitest::traceCount("KAVE", "microcodeLog kav/LinkBase"));
  EXPECT_FALSE(l->isDynamicLink());
  EXPECT_EQ(nullptr, l->getContainer().getRawPointer());
  EXPECT_EQ(nullptr, l->getLinkTarget().getRawPointer());
  EXPECT_EQ(0u, l->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  EXPECT_EQ(nullptr, l->getContainer().getRawPointer());
  Owner owner(l.getRawPointer());
  LinkCallBack<Owner> callBack(&owner, &Owner::linkChanged);
  EXPECT_FALSE(l->registerCallBack(callBack));
}

namespace {

// The machine side of a dynamic link: the tree root with the id provider,
// the owner's container with the link, and the slot whose content comes
// and goes.
class DynamicLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    m_root = container(nullptr, "Root");
    set_tree_root(KavPtr<QueryBase>(m_root));
    KavPtr<IdProvider> ids(new IdProvider());
    fsitest::link(m_root.getRawPointer(), ids.getRawPointer());
    ASSERT_EQ(0u, ids->addId(get_id_by_string("CardSlot"), get_id_by_string("0x10")).getRc());
    m_ownerContainer = container(m_root.getRawPointer(), "OwnerContainer");
    m_link = makeLink(m_ownerContainer.getRawPointer(), get_id_by_string("CardSlot"), "I2C-Link_1-Engine_0");
    m_slot = KavPtr<Slot>(new Slot());
    m_slot->setSlotId(0x10);
    fsitest::link(m_root.getRawPointer(), m_slot.getRawPointer());
    m_owner.reset(new Owner(m_link.getRawPointer()));
  }
  void TearDown() override {
    m_link->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    m_link->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
    set_tree_root(KavPtr<QueryBase>());
  }

  // Plugs a card: its content with a target, then the configure event.
  KavPtr<TestI2c> plug() {
    KavPtr<Container> content = container(m_slot.getRawPointer(), "CardContent");
    KavPtr<TestI2c> t = target(content.getRawPointer(), "I2C-Link_1-Engine_0");
    m_content = content;
    m_slot->setConfigComplete(true);
    return t;
  }
  void unplug() {
    m_slot->setConfigComplete(false);
    deliverPending();
    m_slot->removeChild(KavPtr<QueryBase>(m_content));
    m_content = KavPtr<Container>();
  }

  KavPtr<Container> m_root;
  KavPtr<Container> m_ownerContainer;
  KavPtr<I2cHwaInterfaceLink> m_link;
  KavPtr<Slot> m_slot;
  KavPtr<Container> m_content;
  std::unique_ptr<Owner> m_owner;
};

}  // namespace

TEST_F(DynamicLinkTest, FollowsConfigureAndUnconfigureOfItsSlot) {
  EXPECT_EQ(0u, m_link->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_TRUE(m_link->isDynamicLink());
  EXPECT_EQ(0x10u, m_link->getDynamicSlotId());
  EXPECT_EQ(nullptr, m_link->getContainer().getRawPointer());

  LinkCallBack<Owner> callBack(m_owner.get(), &Owner::linkChanged);
  EXPECT_TRUE(m_link->registerCallBack(callBack));
  EXPECT_FALSE(m_link->registerCallBack(callBack));

  // Step 7 binds to the slot's current content: none.
  EXPECT_EQ(0u, m_link->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  EXPECT_EQ((std::vector<const I2cHwaInterface*>{nullptr}), m_owner->targets());

  KavPtr<TestI2c> first = plug();
  ASSERT_TRUE(e2e::waitFor([&] { return m_owner->targets().size() >= 2; }));
  EXPECT_EQ(first.getRawPointer(), m_link->getLinkTarget().getRawPointer());
  EXPECT_EQ(m_content.getRawPointer(), m_link->getContainer().getRawPointer());

  // Events of another slot do not reach it.
  ConfigChangeEvent other(0x11, ConfigChangeEvent::UNCONFIGURED);
  ConfigChangeEventSender::getInstance()->sendEvent(other);
  deliverPending();
  EXPECT_EQ(2u, m_owner->targets().size());

  // Unplugged: the target is gone and the owner told.
  unplug();
  ASSERT_EQ(3u, m_owner->targets().size());
  EXPECT_EQ(nullptr, m_owner->targets()[2]);
  EXPECT_EQ(nullptr, m_link->getLinkTarget().getRawPointer());

  // Plugged again: the new card's object.
  KavPtr<TestI2c> second = plug();
  ASSERT_TRUE(e2e::waitFor([&] { return m_owner->targets().size() >= 4; }));
  EXPECT_EQ((std::vector<const I2cHwaInterface*>{nullptr, first.getRawPointer(), nullptr, second.getRawPointer()}),
            m_owner->targets());

  // Without a callback the link still follows, silently.
  m_link->deleteCallBack();
  unplug();
  EXPECT_EQ(nullptr, m_link->getLinkTarget().getRawPointer());
  EXPECT_EQ(4u, m_owner->targets().size());
  EXPECT_TRUE(m_link->registerCallBack(callBack));

  // After deregistration (termination step 2) events change nothing.
  m_link->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
  plug();
  deliverPending();
  EXPECT_EQ(4u, m_owner->targets().size());
  EXPECT_EQ(nullptr, m_link->getLinkTarget().getRawPointer());
  m_link->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  EXPECT_FALSE(m_link->isDynamicLink());
  m_slot->setConfigComplete(false);
  deliverPending();
}

TEST_F(DynamicLinkTest, ReadersSeeAConsistentTargetWhileTheCardComesAndGoes) {
  ASSERT_EQ(0u, m_link->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  LinkCallBack<Owner> callBack(m_owner.get(), &Owner::linkChanged);
  ASSERT_TRUE(m_link->registerCallBack(callBack));
  ASSERT_EQ(0u, m_link->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  KavPtr<TestI2c> t = plug();
  ASSERT_TRUE(e2e::waitFor([&] { return m_owner->targets().size() >= 2; }));

  std::atomic<bool> done(false);
  std::atomic<unsigned int> wrong(0);
  std::thread reader([&] {
    while (!done) {
      KavPtr<I2cHwaInterface> seen = m_link->getLinkTarget();
      if (seen != nullptr && seen.getRawPointer() != t.getRawPointer()) ++wrong;
      (void)m_link->getContainer();
    }
  });
  const unsigned int flips = 40;
  for (unsigned int i = 0; i < flips; ++i) m_slot->setConfigComplete(i % 2 == 1);
  deliverPending();
  done = true;
  reader.join();
  EXPECT_EQ(0u, wrong.load());
  // The last event configured the slot again.
  EXPECT_EQ(t.getRawPointer(), m_link->getLinkTarget().getRawPointer());
  EXPECT_EQ(2u + flips, m_owner->targets().size());
  m_slot->setConfigComplete(false);
  deliverPending();
}

TEST_F(DynamicLinkTest, DeregistrationWhileItsEventIsBeingDeliveredCompletes) {
  // Registered before the link, so delivered to first.
  cardstest::DeliveryGate<ConfigChangeEvent> gate(ConfigChangeEventSender::getInstance(),
                                                 ConfigChangeEvent::EventType_s{0x10, ConfigChangeEvent::CONFIGURED});
  ASSERT_EQ(0u, m_link->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  ASSERT_EQ(0u, m_link->init(initSequence::INIT_REGISTER_EVENTS).getRc());
  plug();
  ASSERT_TRUE(gate.waitEntered());

  // Termination step 2 while the configure event is under way: the link's
  // handler comes next in that delivery.
  std::atomic<bool> done(false);
  std::thread terminator([&] {
    m_link->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  gate.open();
  if (!e2e::waitFor([&] { return done.load(); }, 10000)) {
    std::fprintf(stderr, "deregistration and delivery wait for each other\n");
    std::_Exit(1);
  }
  terminator.join();
  // The delivery under way still bound the link; later events do not.
  EXPECT_EQ(m_content.getRawPointer(), m_link->getContainer().getRawPointer());
  m_slot->setConfigComplete(false);
  deliverPending();
  EXPECT_EQ(m_content.getRawPointer(), m_link->getContainer().getRawPointer());
}

TEST_F(LinkTest, TheConfigurationCanCreateEveryLinkAndFactoryClass) {
  const char* const classes[] = {"CfamViaFsiHwa",
                                 "EngineDefine",
                                 "EngineProvider",
                                 "DioHwaInterfaceLink",
                                 "I2cHwaInterfaceLink",
                                 "IoMuxHwaInterfaceLink",
                                 "ScratchpadHwaInterfaceLink",
                                 "DioHwdInterfaceLink",
                                 "PldHwdInterfaceLink",
                                 "RamHwdInterfaceLink",
                                 "CrcHwdInterfaceLink",
                                 "PllHwdInterfaceLink",
                                 "FanoutBufferHwdInterfaceLink"};
  for (const char* name : classes) {
    TreeFactory_t factory = findTreeFactory(std::string("create") + name);
    ASSERT_NE(nullptr, factory) << name;
    BaseErrorData rc;
    BuildBase* built = factory(nullptr, rc);
    ASSERT_NE(nullptr, built) << name;
    QueryBase* object = built->getQueryBase();
    EXPECT_EQ(get_id_by_string(name), object->getClassId()) << name;
    const bool isLink = std::string(name).find("InterfaceLink") != std::string::npos;
    EXPECT_EQ(isLink, object->isInstanceOf(LinkBase::staticGetClassId())) << name;
    delete object;
  }
}
