// Device paths, engine positions, the handles' bookkeeping and the interrupt
// key records of the device access layer.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "kav/hwaccess/edal/EdalDioAioKey.h"
#include "kav/hwaccess/edal/EdalDioHandle.h"
#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/edal/EdalI2cHandle.h"
#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/edalFsi.h"

namespace {

const unsigned A = EdalInfo::ABSENT;

TEST(EdalInfo, DefaultIsAbsentAndTheFlagIsNotStored) {
  EdalInfo none;
  EXPECT_EQ(A, none.getPhysicalLinkNumber());
  EXPECT_EQ(A, none.getPhysicalCascadeId());
  EXPECT_EQ(A, none.getPhysicalEngineNumber());
  EdalInfo some(2, 1, 17, true);
  EXPECT_EQ(2u, some.getPhysicalLinkNumber());
  EXPECT_EQ(1u, some.getPhysicalCascadeId());
  EXPECT_EQ(17u, some.getPhysicalEngineNumber());
}

TEST(EdalDevicePath, FieldsCountOnlyWhileEveryEarlierOneIsPresent) {
  struct Case {
    fsidev_t family;
    unsigned link, cascade, engine, port;
    const char* path;
  };
  const Case cases[] = {
      {FSIDEV_GPIO, 3, 0, 17, A, "/dev/gpio/L03C0E17"},
      {FSIDEV_IIC, 1, 0, 5, 3, "/dev/iic/L01C0E05P03"},
      {FSIDEV_SCP, 4, A, 6, 2, "/dev/scp/L04"},
      {FSIDEV_IOMUX, 0, 1, A, 5, "/dev/iomux/L00C1"},
      {FSIDEV_FSI, A, 0, 1, 2, "/dev/fsi"},
      {FSIDEV_UART_PORT1, 1, 0, 2, A, "/dev/uart/L01C0E02P01"},
      {FSIDEV_UART_PORT1, 1, 0, 2, 7, "/dev/uart/L01C0E02P01"},
      {FSIDEV_UART_PORT1, 1, 0, A, A, "/dev/uart/L01C0"},
      {FSIDEV_UART, 2, 3, 4, A, "/dev/uart/L02C3E04"},
      {FSIDEV_IIC_SLV, 1, 0, 5, 0, "/dev/iic-slv/L01C0E05P00"},
      {FSIDEV_JTAG, 1, 0, 5, A, "/dev/jtag/L01C0E05"},
      {FSIDEV_JTAG_IRQ, 1, 0, 5, A, "/dev/jtag_irq/L01C0E05"},
      {FSIDEV_MBX, 1, 0, 5, A, "/dev/mbx/L01C0E05"},
      {FSIDEV_PSI, 1, 0, 5, A, "/dev/psi/L01C0E05"},
      {FSIDEV_SCAN, 1, 0, 5, A, "/dev/scan/L01C0E05"},
      {FSIDEV_SCOM, 1, 0, 5, A, "/dev/scom/L01C0E05"},
      {FSIDEV_SCOM_I, 1, 0, 5, A, "/dev/scom_i/L01C0E05"},
      {FSIDEV_IOMUX, 63, 3, 31, A, "/dev/iomux/L63C3E31"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.path, EdalHandle::buildRavoDeviceName(c.family, c.link, c.cascade, c.engine, c.port));
    char out[EDAL_MAX_DEVICE_NAME];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(0u, buildRavoDeviceName(c.family, c.link, c.cascade, c.engine, c.port, out));
    EXPECT_STREQ(c.path, out);
  }
}

TEST(EdalDevicePath, UnknownFamily) {
  EXPECT_EQ("", EdalHandle::buildRavoDeviceName(static_cast<fsidev_t>(15), 1, 0, 5, 1));
  char out[EDAL_MAX_DEVICE_NAME] = "untouched";
  EXPECT_EQ(0xFFFFFFFFu, buildRavoDeviceName(static_cast<fsidev_t>(15), 1, 0, 5, 1, out));
  EXPECT_STREQ("untouched", out);
  EXPECT_EQ(0u, buildRavoDeviceName(FSIDEV_GPIO, 1, 0, 5, A, nullptr));
}

TEST(EdalHandle, DevicePathOfAnEngineWithAndWithoutPort) {
  EdalI2cHandle h;
  h.buildDeviceName(FSIDEV_IIC, EdalInfo(1, 0, 5), A);
  EXPECT_STREQ("/dev/iic/L01C0E05", h.getDeviceName());
  EXPECT_EQ("/dev/iic/L01C0E05", h.getDeviceNm());
  EXPECT_EQ("/dev/iic/L01C0E05P12", h.getDeviceNameWithPort(12));
  EXPECT_EQ("/dev/gpio/L01C0E05", EdalHandle::buildRavoDeviceName(FSIDEV_GPIO, EdalInfo(1, 0, 5), A));
  EXPECT_EQ(nullptr, h.getRavo());
  h.setHandle(7);
  EXPECT_EQ(7u, h.getHandle());
}

TEST(EdalI2cHandle, SixteenPortsAndNothingBeyond) {
  EdalI2cHandle h;
  ravo_struct* fake = reinterpret_cast<ravo_struct*>(&h);
  for (unsigned port = 0; port < 16; ++port) EXPECT_EQ(nullptr, h.getRavoHandle(port));
  h.setRavoHandle(fake, 15);
  h.setRavoHandle(fake, 16);
  EXPECT_EQ(fake, h.getRavoHandle(15));
  EXPECT_EQ(nullptr, h.getRavoHandle(16));
}

TEST(EdalDioHandle, PinTablesUseTheMostSignificantBitForPinZero) {
  EdalDioHandle h;
  ASSERT_TRUE(h.isValid());
  EXPECT_TRUE(EdalDioHandle::pinValid(31));
  EXPECT_FALSE(EdalDioHandle::pinValid(32));
  EXPECT_TRUE(EdalDioHandle::pinInMask(0, 0x80000000u));
  EXPECT_TRUE(EdalDioHandle::pinInMask(31, 0x00000001u));
  EXPECT_FALSE(EdalDioHandle::pinInMask(1, 0x80000000u));
  EXPECT_FALSE(EdalDioHandle::pinInMask(32, 0xFFFFFFFFu));

  h.setInterruptPolarity(3, true);
  EXPECT_TRUE(h.getInterruptPolarity(3));
  EXPECT_FALSE(h.getInterruptPolarity(2));
  h.setInterruptPolarity(3, false);
  EXPECT_FALSE(h.getInterruptPolarity(3));

  ravo_aio_cb* cb = reinterpret_cast<ravo_aio_cb*>(&h);
  EXPECT_TRUE(h.AiocbIsNULL(4));
  h.setAiocb(4, cb);
  EXPECT_TRUE(h.AiocbIsNotNULL(4));
  EXPECT_EQ(cb, h.getAiocb(4));
  h.setAiocb(40, cb);
  EXPECT_EQ(nullptr, h.getAiocb(40));
  h.setAiocb(4, nullptr);

  EXPECT_TRUE(h.IntIsNotEnabled(5));
  h.setEnabled(5);
  EXPECT_TRUE(h.IntIsEnabled(5));
  EXPECT_FALSE(h.IntIsEnabled(6));
  h.setDisabled(5);
  EXPECT_TRUE(h.IntIsNotEnabled(5));
  h.setEnabled(99);
  EXPECT_FALSE(h.IntIsEnabled(99));
}

TEST(EdalDioHandle, OwnLockIsRecursive) {
  EdalDioHandle h;
  h.request();
  h.request();
  h.release();
  h.release();
}

EdalDioAioKey makeKey() {
  EdalDioAioKey k{};
  k.pin = 5;
  k.irqId = 0x93030005u;
  k.levelMask = 0x04000000u;
  k.threadId = 1234;
  k.state = EDAL_AIOKEY_STATE_LIVE;
  k.marker = EDAL_AIOKEY_MARKER;
  return k;
}

TEST(EdalDioAioKey, ChecksumCoversTheWordsAndTheRecordsAddress) {
  EdalDioAioKey k = makeKey();
  EdalDioAioKey_create_checksum(&k);
  EdalDioAioKey_check_checksum(&k);
  const uintptr_t a = reinterpret_cast<uintptr_t>(&k);
  const uint32_t folded = static_cast<uint32_t>(a) ^ static_cast<uint32_t>(static_cast<uint64_t>(a) >> 32);
  EXPECT_EQ(5u ^ 0x93030005u ^ 0x04000000u ^ 1234u ^ folded, k.checksum);
  // State and marker are not part of it.
  k.state = EDAL_AIOKEY_STATE_DISABLED;
  k.marker = 0;
  EdalDioAioKey_check_checksum(&k);
}

TEST(EdalDioAioKeyDeathTest, MismatchEndsTheProcess) {
  EdalDioAioKey k = makeKey();
  EdalDioAioKey_create_checksum(&k);
  EXPECT_DEATH(
      {
        k.levelMask = 0;
        EdalDioAioKey_check_checksum(&k);
      },
      "percAbend: reason=0x00000000 data=\\(nil\\) len=0 args=0x0,0x0,0x0 arg7=11 arg8=0");
  // A copy at another address does not match either.
  EXPECT_DEATH(
      {
        EdalDioAioKey copy = k;
        EdalDioAioKey_check_checksum(&copy);
      },
      "arg7=11");
}

TEST(EdalFsiEngineInfo, OrderedByEngineNumberAlone) {
  std::set<edalFsi::engineInfo_t> engines;
  engines.insert(edalFsi::engineInfo_t{8, 9});
  engines.insert(edalFsi::engineInfo_t{24, 3});
  engines.insert(edalFsi::engineInfo_t{7, 9});
  ASSERT_EQ(2u, engines.size());
  EXPECT_EQ(3u, engines.begin()->engineNumber);
  EXPECT_EQ(8u, engines.rbegin()->engineType);
  EXPECT_EQ("9", edalFsi::asString(*engines.rbegin()));
}

}  // namespace
