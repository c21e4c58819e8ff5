// Slots, slot-id providers, id maps and the card identity providers.
#include <gtest/gtest.h>

#include "kav/cards/FixedFruIdProvider.h"
#include "kav/cards/FixedSlotIdProvider.h"
#include "kav/cards/FruIdProviderIp.h"
#include "kav/cards/IdProvider.h"
#include "kav/cards/Slot.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"

using cardstest::element;
using cardstest::link;

namespace {

class SlotIdsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
};

const kavstl::string& text(unsigned int id) { return get_string_by_id(id); }

}  // namespace

TEST_F(SlotIdsTest, SlotTakesItsIdFromItsProviderAndItsNodesAnswerIt) {
  KavPtr<Slot> slot(new Slot());
  KavPtr<FixedSlotIdProvider> provider(new FixedSlotIdProvider());
  std::unique_ptr<BinaryReaderNode> node(element("SlotId", {{text(kav::sid::SLOT_ID), "0x23"}}));
  ASSERT_EQ(0u, provider->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  link(slot.getRawPointer(), provider.getRawPointer());
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  link(slot.getRawPointer(), content.getRawPointer());

  EXPECT_EQ(0u, slot->getSlotId());
  EXPECT_EQ(0u, slot->init(initSequence::INIT_VARIABLES).getRc());
  EXPECT_EQ(0x23u, slot->getSlotId());
  EXPECT_EQ(0x23u, content->getSlotId());

  // At step 15 the provider leaves; the slot keeps its id.
  EXPECT_EQ(0u, provider->init(initSequence::INIT_REMOVE_ID_PROVIDERS).getRc());
  EXPECT_TRUE(provider->isDeleted());
  EXPECT_EQ(1u, slot->getChildren().size());
  EXPECT_EQ(0u, slot->init(initSequence::INIT_VARIABLES).getRc());
  EXPECT_EQ(0x23u, slot->getSlotId());
}

TEST_F(SlotIdsTest, SlotWithoutProviderHasNoId) {
  KavPtr<Slot> slot(new Slot());
  EXPECT_EQ(0x7000u, slot->init(initSequence::INIT_VARIABLES).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, slot->getConfigurationState(nullptr).getRcWithoutLogFlag());
  // Without a builder the slot counts as plugged.
  EXPECT_TRUE(slot->readIsPlugged(true));
}

TEST_F(SlotIdsTest, SlotAnnouncesConfigureAndUnconfigure) {
  KavPtr<Slot> slot(new Slot());
  slot->setSlotId(0x24);
  cardstest::Recorder<ConfigChangeEvent> recorder(ConfigChangeEventSender::getInstance(),
                                                  ConfigChangeEvent::EventType_s{0x24, 2});
  Slot::ConfigurationState_t state = Slot::CONFIGURED;
  ASSERT_EQ(0u, slot->getConfigurationState(&state).getRc());
  EXPECT_EQ(Slot::NOT_CONFIGURED, state);

  slot->setConfigComplete(true);
  slot->getConfigurationState(&state);
  EXPECT_EQ(Slot::CONFIGURED, state);
  slot->setConfigComplete(false);
  slot->getConfigurationState(&state);
  EXPECT_EQ(Slot::NOT_CONFIGURED, state);

  std::vector<ConfigChangeEvent> events = recorder.waitFor(2);
  ASSERT_EQ(2u, events.size());
  EXPECT_TRUE(events[0].isConfigEvent());
  EXPECT_TRUE(events[1].isUnconfigEvent());
  EXPECT_EQ(0x24u, events[1].getSlotId());
}

TEST_F(SlotIdsTest, IdMapKeepsOneValuePerKey) {
  KavPtr<IdProvider> ids(new IdProvider());
  unsigned int value = 0;
  EXPECT_EQ(0x704Cu, ids->getId(5, value).getRcWithoutLogFlag());
  EXPECT_EQ(0u, ids->addId(5, 7).getRc());
  EXPECT_EQ(0u, ids->addId(5, 7).getRc());
  EXPECT_EQ(0x704Bu, ids->addId(5, 8).getRcWithoutLogFlag());
  ASSERT_EQ(0u, ids->getId(5, value).getRc());
  EXPECT_EQ(7u, value);
  ids->removeId(5);
  EXPECT_EQ(0x704Cu, ids->getId(5, value).getRcWithoutLogFlag());
}

TEST_F(SlotIdsTest, IdMapEntriesNeedKeyAndValue) {
  struct Case {
    bool key;
    bool value;
    unsigned int rc;
  } cases[] = {{true, true, 0}, {false, true, 0x7049}, {true, false, 0x704A}};
  for (const Case& c : cases) {
    BinaryReaderNode* entry = element(text(kav::sid::ID_MAP_ENTRY).c_str(), {});
    if (c.key) entry->addAttribute(text(kav::sid::ID_MAP_KEY), "CardTypeId");
    if (c.value) entry->addAttribute(text(kav::sid::ID_MAP_VALUE), "SomeCard");
    std::unique_ptr<BinaryReaderNode> node(element("Ids", {}, {entry}));
    KavPtr<IdProvider> ids(new IdProvider());
    EXPECT_EQ(c.rc, ids->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
    unsigned int value = 0;
    EXPECT_EQ(c.rc == 0 ? 0u : 0x704Cu, ids->getId(get_id_by_string("CardTypeId"), value).getRcWithoutLogFlag());
  }
}

TEST_F(SlotIdsTest, FixedIdentityComesFromTheIdProviderAbove) {
  KavPtr<Slot> slot(new Slot());
  KavPtr<IdProvider> ids(new IdProvider());
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  KavPtr<FixedFruIdProvider> fruId(new FixedFruIdProvider());
  link(slot.getRawPointer(), ids.getRawPointer());
  link(slot.getRawPointer(), content.getRawPointer());
  link(content.getRawPointer(), fruId.getRawPointer());

  kavstl::string cardType;
  kavstl::string level;
  EXPECT_EQ(0x704Cu, fruId->getCardTypeString(cardType).getRcWithoutLogFlag());
  EXPECT_EQ("0x00000000", cardType);
  ids->addId(kav::sid::ID_KEY_CARD_TYPE, get_id_by_string("PIH_A_Domain"));
  ids->addId(kav::sid::ID_KEY_HARDWARE_LEVEL, get_id_by_string("0"));
  EXPECT_EQ(0u, fruId->getCardTypeString(cardType).getRc());
  EXPECT_EQ(0u, fruId->getHdwLvlString(level).getRc());
  EXPECT_EQ("PIH_A_Domain", cardType);
  EXPECT_EQ("0", level);

  // Without any provider above.
  KavPtr<Container> lone(new Container(KavPtr<QueryBase>()));
  KavPtr<FixedFruIdProvider> orphan(new FixedFruIdProvider());
  link(lone.getRawPointer(), orphan.getRawPointer());
  EXPECT_EQ(0x7000u, orphan->getHdwLvlString(level).getRcWithoutLogFlag());
  EXPECT_EQ("0x00000000", level);
}

TEST_F(SlotIdsTest, AdapterIdentityIsFormattedAsHex) {
  KavPtr<Slot> slot(new Slot());
  slot->setSlotId(0x10);
  KavPtr<FruIdProviderIp> fruId(new FruIdProviderIp());
  link(slot.getRawPointer(), fruId.getRawPointer());
  kavstl::string cardType;
  kavstl::string level;
  EXPECT_EQ(0u, fruId->getCardTypeString(cardType).getRc());
  EXPECT_EQ(0u, fruId->getHdwLvlString(level).getRc());
  EXPECT_EQ("20B20001", cardType);
  EXPECT_EQ("0001", level);
  EXPECT_EQ(0x7000u, fruId->getCardType(nullptr).getRcWithoutLogFlag());
  EXPECT_EQ(0x7000u, fruId->getHardwareLevel(nullptr).getRcWithoutLogFlag());
}
