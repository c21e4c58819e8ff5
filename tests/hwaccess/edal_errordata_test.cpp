// Turning an edal status code into the error value of a hardware-access object.
#include <gtest/gtest.h>

#include <string>

#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/config/StringToId.h"

namespace {

TEST(SetFsiHwaErrorData, CarriesTextPathMessageKeysAndSlot) {
  ErrorData err;
  err = 0x50013u;
  setFsiHwaErrorData(err, "DIO Error on FSI  rc=0x00050013", "FSI_DIO_ACCESS", "", 0x10000,
                     "PhysLinkNumber=3, PhysCascadeId=0, PhysEngineNumber=17", "edalDioGet(...) failed");
  EXPECT_EQ(0x50013u, err.getRcWithoutLogFlag());
  const std::string text(err.getErrorBuffer(), err.getErrorBufferLen());
  const size_t a = text.find("DIO Error on FSI  rc=0x00050013");
  const size_t b = text.find("PhysLinkNumber=3, PhysCascadeId=0, PhysEngineNumber=17");
  const size_t c = text.find("edalDioGet(...) failed");
  ASSERT_NE(std::string::npos, a) << text;
  ASSERT_NE(std::string::npos, b) << text;
  ASSERT_NE(std::string::npos, c) << text;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  unsigned primary = 0, secondary = 0;
  err.getKeys(primary, secondary);
  EXPECT_EQ(get_id_by_string("FSI_DIO_ACCESS"), primary);
  EXPECT_EQ(get_id_by_string(""), secondary);
  ASSERT_EQ(1u, err.getSlotIds().size());
  EXPECT_EQ(0x10000u, err.getSlotIds()[0]);
}

TEST(SetFsiHwaErrorData, WithoutEngine) {
  ErrorData err;
  err = 0x5u;
  setFsiHwaErrorData(err, "CFAM Error on FSI  rc=0x00000005", "FSI_CFAM_ACCESS", "", 7, nullptr,
                     "ravo_fsi_open('/dev/fsi', O_RDONLY) failed");
  const std::string text(err.getErrorBuffer(), err.getErrorBufferLen());
  EXPECT_EQ(std::string::npos, text.find("PhysLinkNumber")) << text;
  EXPECT_NE(std::string::npos, text.find("ravo_fsi_open('/dev/fsi', O_RDONLY) failed")) << text;
  EXPECT_EQ(5u, err.getRc());
}

}  // namespace
