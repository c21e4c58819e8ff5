#include <gtest/gtest.h>

#include "kav/runtime/SoftDogInt.h"
#include "kav/runtime/TimeoutService.h"

namespace {

class SoftDogTest : public ::testing::Test {
 protected:
  void SetUp() override { TimeoutService::getInstance()->init(true); }
  void TearDown() override {
    TimeoutService::getInstance()->terminate();
    TimeoutService::destroyInstance();
  }
};

TEST_F(SoftDogTest, WatchesItsScope) {
  TimeoutService* service = TimeoutService::getInstance();
  unsigned id = 0;
  {
    SoftDogInt dog(1000, "handler");
    id = dog.getRegistrationId();
    ASSERT_NE(0u, id);
    EXPECT_TRUE(service->isRegistered(id));
  }
  EXPECT_FALSE(service->isRegistered(id)) << "leaving the scope deletes the registration";
}

TEST_F(SoftDogTest, OverrunText) {
  EXPECT_EQ("1234ms exectime for PlugHandler exceeded, timeout value is 1000ms",
            SoftDogInt::overrunText(1234, "PlugHandler", 1000));
}

TEST(SoftDogDeathTest, NeedsTheTimeoutService) {
  EXPECT_DEATH(SoftDogInt(1000, "early"), "percAbend: reason=0x0000F0D1");
}

}  // namespace
