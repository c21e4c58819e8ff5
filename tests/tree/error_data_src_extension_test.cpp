#include <gtest/gtest.h>

#include <string>

#include "kav/tree/errors/ErrorDataSrcExtension.h"

namespace {

TEST(ErrorDataSrcExtension, StartsEmpty) {
  ErrorDataSrcExtension ext;
  EXPECT_EQ(ext.getTrailer(), 0);
  EXPECT_EQ(ext.getSlotId1(), 0u);
  EXPECT_EQ(ext.getSlotId2(), 0u);
  EXPECT_EQ(ext.getSlotId3(), 0u);
  EXPECT_EQ(ext.getMicrocode(), 0u);
  EXPECT_EQ(ext.getExt2(), 0u);
}

struct SetOnceCase {
  const char* name;
  unsigned int (ErrorDataSrcExtension::*set)(unsigned int);
  unsigned int (ErrorDataSrcExtension::*get)() const;
  unsigned int (ErrorDataSrcExtension::*overwrite)(unsigned int);
  unsigned int refused;
};

class SrcExtensionSetOnce : public ::testing::TestWithParam<SetOnceCase> {};

TEST_P(SrcExtensionSetOnce, KeepsTheFirstValue) {
  const SetOnceCase& c = GetParam();
  ErrorDataSrcExtension ext;
  EXPECT_EQ((ext.*c.set)(0x11), 0u);
  EXPECT_EQ((ext.*c.set)(0x22), c.refused);
  EXPECT_EQ((ext.*c.get)(), 0x11u);
  EXPECT_EQ((ext.*c.overwrite)(0x33), 0u);
  EXPECT_EQ((ext.*c.get)(), 0x33u);
}

INSTANTIATE_TEST_SUITE_P(
    Words, SrcExtensionSetOnce,
    ::testing::Values(SetOnceCase{"slot1", &ErrorDataSrcExtension::setSlotId1, &ErrorDataSrcExtension::getSlotId1,
                                  &ErrorDataSrcExtension::overwriteSlotId1, 0x7131},
                      SetOnceCase{"slot2", &ErrorDataSrcExtension::setSlotId2, &ErrorDataSrcExtension::getSlotId2,
                                  &ErrorDataSrcExtension::overwriteSlotId2, 0x7132},
                      SetOnceCase{"slot3", &ErrorDataSrcExtension::setSlotId3, &ErrorDataSrcExtension::getSlotId3,
                                  &ErrorDataSrcExtension::overwriteSlotId3, 0x7133}),
    [](const ::testing::TestParamInfo<SetOnceCase>& info) { return std::string(info.param.name); });

TEST(ErrorDataSrcExtension, TrailerIsSetOnce) {
  ErrorDataSrcExtension ext;
  EXPECT_EQ(ext.setTrailer('p'), 0u);
  EXPECT_EQ(ext.setTrailer('q'), 0x7130u);
  EXPECT_EQ(ext.getTrailer(), 'p');
}

struct DistributeCase {
  const char* name;
  kavstl::vector<unsigned int> ids;
  kavstl::vector<unsigned char> order;
  unsigned int slot1, slot2, slot3;
  unsigned int rc;
};

class SrcExtensionDistribute : public ::testing::TestWithParam<DistributeCase> {};

TEST_P(SrcExtensionDistribute, FillsTheWordsInOrder) {
  const DistributeCase& c = GetParam();
  ErrorDataSrcExtension ext;
  EXPECT_EQ(ext.setSlotId(c.ids, c.order), c.rc);
  EXPECT_EQ(ext.getSlotId1(), c.slot1);
  EXPECT_EQ(ext.getSlotId2(), c.slot2);
  EXPECT_EQ(ext.getSlotId3(), c.slot3);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SrcExtensionDistribute,
    ::testing::Values(DistributeCase{"in_order", {10, 20, 30}, {1, 2, 3}, 10, 20, 30, 0},
                      DistributeCase{"reversed", {10, 20, 30}, {3, 2, 1}, 30, 20, 10, 0},
                      DistributeCase{"last_id_reused", {10, 20}, {1, 2, 3}, 10, 20, 20, 0},
                      DistributeCase{"skip_advances", {10, 20, 30}, {0, 3}, 0, 0, 20, 0},
                      DistributeCase{"no_ids", {}, {1, 2, 3}, 0, 0, 0, 0},
                      DistributeCase{"no_order", {10}, {}, 0, 0, 0, 0},
                      DistributeCase{"invalid_position", {10, 20}, {1, 4}, 10, 0, 0, 0x7134},
                      DistributeCase{"invalid_then_valid", {10, 20, 30}, {7, 2}, 0, 20, 0, 0},
                      DistributeCase{"same_word_twice", {10, 20}, {1, 1}, 10, 0, 0, 0x7131}),
    [](const ::testing::TestParamInfo<DistributeCase>& info) { return std::string(info.param.name); });

TEST(ErrorDataSrcExtension, Ext1CombinesTrailerCageNodeAndSlot) {
  ErrorDataSrcExtension ext;
  ext.setTrailer('p');
  ext.setSlotId1(0x1234);
  EXPECT_EQ(ext.getExt1(2, 1, 10), 0x70211234u);
  EXPECT_EQ(ext.getExt1(0x12, 0x23, 10), 0x70231234u);  // four bits each
  EXPECT_EQ(ext.getExt1(), 0x70001234u);                // cage 0, node 0
}

TEST(ErrorDataSrcExtension, Ext1OfAnotherTrailerNamesTheOwnPih) {
  ErrorDataSrcExtension ext;
  ext.setSlotId1(0x1234);
  EXPECT_EQ(ext.getExt1(), 10u);
  ext.setTrailer('x');
  EXPECT_EQ(ext.getExt1(1, 1, 0xABCDE), 0x7811BCDEu);
}

TEST(ErrorDataSrcExtension, Ext2ByTrailer) {
  ErrorDataSrcExtension p;
  p.setTrailer('p');
  p.setSlotId2(0x0102);
  p.setSlotId3(0xAAAA0304);
  EXPECT_EQ(p.getExt2(), 0x01020304u);

  ErrorDataSrcExtension q;
  q.setTrailerMicrocode(10, 0x7111);
  EXPECT_EQ(q.getTrailer(), 'q');
  EXPECT_EQ(q.getSlotId1(), 10u);
  EXPECT_EQ(q.getExt1(), 0x7100000Au);
  EXPECT_EQ(q.getExt2(), 0x7111u);

  ErrorDataSrcExtension other;
  other.setTrailer('z');
  other.setSlotId2(5);
  EXPECT_EQ(other.getExt2(), 0u);
}

}  // namespace
