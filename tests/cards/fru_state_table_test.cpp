// The card state byte kept in memory: its field checks and the bit
// operations of the card state table.
#include <gtest/gtest.h>

#include "kav/cards/FruStateTableVirtual.h"
#include "kav/tree/objects/QueryBase.h"

namespace {

class FruStateTableVirtualTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { QueryBase::initMemoryPool(); }
  FruStateTableVirtual table;
};

struct FieldCase {
  unsigned int fieldId;
  unsigned int size;
  unsigned int offset;
  unsigned int rc;
};

TEST_F(FruStateTableVirtualTest, FieldIdSizeAndOffsetAreChecked) {
  const FieldCase cases[] = {
      {313, 1, 0, 0}, {313, 2, 0, 0x7008}, {313, 1, 1, 0x7008}, {313, 0, 0, 0x7008}, {314, 1, 0, 0x7027},
  };
  for (const FieldCase& c : cases) {
    unsigned char buf[2] = {0x5A, 0x5A};
    EXPECT_EQ(table.readField(c.fieldId, buf, c.size, c.offset).getRc(), c.rc) << c.fieldId << "/" << c.size;
    EXPECT_EQ(table.writeField(c.fieldId, buf, c.size, c.offset).getRc(), c.rc) << c.fieldId << "/" << c.size;
  }
  EXPECT_EQ(table.readField(313, nullptr, 1, 0).getRc(), 0x7000u);
  unsigned int size = 0;
  EXPECT_EQ(table.getFieldSize(313, &size).getRc(), 0u);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(table.getFieldSize(314, &size).getRc(), 0x7027u);
  EXPECT_EQ(table.getFieldSize(313, nullptr).getRc(), 0x7000u);
  kavstl::vector<unsigned int> ids;
  EXPECT_EQ(table.getFieldIds(&ids).getRc(), 0u);
  EXPECT_EQ(ids, kavstl::vector<unsigned int>({313}));
  EXPECT_EQ(table.getFieldIds(nullptr).getRc(), 0x7000u);
}

TEST_F(FruStateTableVirtualTest, ActivatedOnlyForStateTwo) {
  for (unsigned int s = 0; s < 4; ++s) {
    ASSERT_EQ(table.setActivationState(static_cast<kav::FruActivationState_t>(s)).getRc(), 0u);
    bool activated = true;
    EXPECT_EQ(table.getActivatedFlag(&activated).getRc(), 0u);
    EXPECT_EQ(activated, s == 2) << s;
    kav::FruActivationState_t state = kav::FRU_NOT_ACTIVATED;
    EXPECT_EQ(table.getActivationState(&state).getRc(), 0u);
    EXPECT_EQ(state, s);
  }
}

TEST_F(FruStateTableVirtualTest, FlagsLeaveTheOtherBits) {
  ASSERT_EQ(table.setActivationState(kav::FRU_ACTIVATED).getRc(), 0u);
  ASSERT_EQ(table.setFencedFlag().getRc(), 0u);
  ASSERT_EQ(table.setPowerFailFlag().getRc(), 0u);
  unsigned char byte = 0;
  ASSERT_EQ(table.readField(313, &byte, 1, 0).getRc(), 0u);
  EXPECT_EQ(byte, 0x0E);
  bool fenced = false, powerFail = false, activated = false;
  EXPECT_EQ(table.getFencedFlag(&fenced).getRc(), 0u);
  EXPECT_EQ(table.getPowerFailFlag(&powerFail).getRc(), 0u);
  EXPECT_EQ(table.getActivatedFlag(&activated).getRc(), 0u);
  EXPECT_TRUE(fenced && powerFail && activated);
  ASSERT_EQ(table.resetFencedFlag().getRc(), 0u);
  ASSERT_EQ(table.readField(313, &byte, 1, 0).getRc(), 0u);
  EXPECT_EQ(byte, 0x0A);
  ASSERT_EQ(table.resetPowerFailFlag().getRc(), 0u);
  ASSERT_EQ(table.setActivationState(kav::FRU_NOT_ACTIVATED).getRc(), 0u);
  ASSERT_EQ(table.readField(313, &byte, 1, 0).getRc(), 0u);
  EXPECT_EQ(byte, 0x00);
}

}  // namespace
