// Engine identities, their names and the interrupt-id numbering.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/fsi/IrqId.h"
#include "kav/tree/config/StringToId.h"

namespace {

struct TypeCase {
  int type;
  unsigned int stringId;
  const char* text;
};

TEST(EngineTypeNames, EveryTypeAndItsInverse) {
  const TypeCase cases[] = {
      {0, 403, "ENGINE_NONE"}, {1, 286, "GPIO"},       {2, 288, "I2C"},        {3, 299, "SCRATCHPAD"},
      {4, 290, "IOMUX"},       {5, 302, "ENGINE_5"},   {6, 303, "ENGINE_6"},   {7, 293, "ENGINE_7"},
      {8, 291, "ENGINE_8"},    {9, 292, "ENGINE_9"},   {10, 296, "ENGINE_10"}, {11, 295, "ENGINE_11"},
      {12, 297, "ENGINE_12"},  {13, 298, "ENGINE_13"},
  };
  for (const TypeCase& c : cases) {
    const EngineInfo::engineType_t type = static_cast<EngineInfo::engineType_t>(c.type);
    EXPECT_EQ(c.stringId, convertEngineTypeToStringId(type)) << c.type;
    EXPECT_EQ(c.stringId, EngineInfo(type, 0).getEngineTypeStringId()) << c.type;
    EXPECT_EQ(type, convertStringIdToEngineType(c.stringId)) << c.type;
    EXPECT_EQ(c.text, get_string_by_id(c.stringId)) << c.type;
  }
  // Types outside the table share the "unknown" name, which maps back to 0.
  EXPECT_EQ(404u, convertEngineTypeToStringId(static_cast<EngineInfo::engineType_t>(14)));
  EXPECT_EQ(404u, convertEngineTypeToStringId(static_cast<EngineInfo::engineType_t>(-1)));
  EXPECT_EQ(EngineInfo::ENGINE_NONE, convertStringIdToEngineType(404));
  EXPECT_EQ(EngineInfo::ENGINE_NONE, convertStringIdToEngineType(get_id_by_string("NoSuchEngineType")));
}

TEST(EngineInfoOrder, TypeSignedThenLogicalId) {
  const EngineInfo negative(static_cast<EngineInfo::engineType_t>(-1), 9);
  const EngineInfo dio0(EngineInfo::ENGINE_DIO, 0);
  const EngineInfo dio1(EngineInfo::ENGINE_DIO, 1);
  const EngineInfo i2c0(EngineInfo::ENGINE_I2C, 0);
  EXPECT_TRUE(negative < dio0);  // signed: -1 before 1
  EXPECT_TRUE(dio0 < dio1);
  EXPECT_TRUE(dio1 < i2c0);
  EXPECT_FALSE(i2c0 < dio1);
  EXPECT_TRUE(dio0 == EngineInfo(EngineInfo::ENGINE_DIO, 0));
  EXPECT_TRUE(dio0 != dio1);
  EXPECT_TRUE(dio0 != EngineInfo(EngineInfo::ENGINE_I2C, 0));
  std::set<EngineInfo> set = {i2c0, dio1, dio0, EngineInfo(EngineInfo::ENGINE_DIO, 0)};
  ASSERT_EQ(3u, set.size());
  EXPECT_TRUE(*set.begin() == dio0);
}

TEST(FsiEngineInfo, NamesPathAndOrder) {
  const FsiEngineInfo info(EngineInfo(EngineInfo::ENGINE_DIO, 1), 2, 1, 0, 17);
  EXPECT_EQ(EngineInfo::ENGINE_DIO, info.getEngineType());
  EXPECT_EQ(1u, info.getLogicalEngineId());
  EXPECT_EQ(2u, info.getHwaId());
  EXPECT_EQ(1u, info.getPhysLinkNumber());
  EXPECT_EQ(0u, info.getPhysCascadeId());
  EXPECT_EQ(17u, info.getPhysEngineNumber());
  // The instance name uses the hardware-access id and the logical id, not
  // the physical link and engine number.
  EXPECT_EQ("GPIO-Link_2-Engine_1", get_string_by_id(info.getEngineInstanceNameStringId()));
  EXPECT_EQ(get_engine_instance_name_id(286, 2, 1), info.getEngineInstanceNameStringId());
  EXPECT_EQ("PhysLinkNumber=1, PhysCascadeId=0, PhysEngineNumber=17", info.getStringPath());

  // Ordered by the physical engine number alone.
  const FsiEngineInfo low(EngineInfo(EngineInfo::ENGINE_SCRATCHPAD, 5), 9, 9, 9, 3);
  EXPECT_TRUE(low < info);
  EXPECT_FALSE(info < low);
  const FsiEngineInfo sameNumber(EngineInfo(EngineInfo::ENGINE_I2C, 0), 0, 0, 0, 17);
  EXPECT_FALSE(sameNumber < info);
  EXPECT_FALSE(info < sameNumber);
}

struct IrqCase {
  const char* what;
  unsigned int actual;
  unsigned int expected;
};

TEST(IrqIds, Encodings) {
  const IrqCase cases[] = {
      {"fsi dio low 2,1,5 pin 9", get_fsi_dio_low_irq_id(2, 1, 5, 0x00400000), 0x92024509u},
      {"fsi plug all fields full", get_fsi_plug_irq_id(63, 3, 63), 0x903FFF00u},
      {"fsi plug masks link and cascade", get_fsi_plug_irq_id(0x41, 5, 0), 0x90014000u},
      {"fsi dio high pin 0", get_fsi_dio_high_irq_id(1, 0, 2, 0x80000000), 0x93010200u},
      {"fsi dio high pin 31", get_fsi_dio_high_irq_id(1, 0, 2, 0x00000001), 0x9301021Fu},
      {"fsi dio high empty mask", get_fsi_dio_high_irq_id(1, 0, 2, 0), 0x9301023Fu},
      {"fsi dio low highest bit wins", get_fsi_dio_low_irq_id(0, 0, 0, 0x00410001), 0x92000009u},
      {"fsi unplug", get_fsi_unplug_irq_id(1, 1, 1), 0x91014100u},
      {"fsi shift", get_fsi_shift_irq_id(1, 0, 2, 0x7F), 0x9401023Fu},
      {"fsi hw error", get_fsi_hw_error_irq_id(0xFF, 0xF), 0x953FC000u},
      {"fsi local bus", get_fsi_local_bus_irq_id(2, 1), 0x96024000u},
      {"fsi uart", get_fsi_uart_irq_id(2, 1, 0x41), 0x97024001u},
      {"ssi plug", get_ssi_plug_irq_id(0xF, 0xFF), 0x80FF0000u},
      {"ssi unplug", get_ssi_unplug_irq_id(1, 2), 0x81420000u},
      {"ssi dio low", get_ssi_dio_low_irq_id(1, 2, 0xFF, 0x1), 0x82421F1Fu},
      {"ssi dio high empty mask", get_ssi_dio_high_irq_id(0, 0, 0, 0), 0x8300003Fu},
      {"ssi shift", get_ssi_shift_irq_id(0, 0, 1, 0x45), 0x84000105u},
      {"uart event", get_uart_event_irq_id(1, 1, 0xFF), 0x8541003Fu},
      {"uart alert", get_uart_alert_irq_id(0, 0, 1), 0x86000001u},
      {"uart ih ended", get_uart_ih_ended_irq_id(0, 0, 2), 0x87000002u},
      {"pppc plug", get_pppc_plug_irq_id(0x12345678), 0x88005678u},
      {"pppc unplug", get_pppc_unplug_irq_id(0xFFFF), 0x8900FFFFu},
  };
  for (const IrqCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.what << std::hex << " got 0x" << c.actual;
}

TEST(IrqIds, PinOfMask) {
  EXPECT_EQ(0, irqid::pinOfMask(0x80000000u));
  EXPECT_EQ(31, irqid::pinOfMask(0x1u));
  EXPECT_EQ(9, irqid::pinOfMask(0x00400000u));
  EXPECT_EQ(-1, irqid::pinOfMask(0));
}

struct PredicateCase {
  unsigned int id;
  bool ssiPlug, ssiUnplug, ssiDioLow, ssiDioHigh, ssiDio, ssiShift, uart, fsiPlug, fsiUnplug;
};

TEST(IrqIds, KindPredicatesLookAtTheTopByteOnly) {
  const PredicateCase cases[] = {
      {0x80FFFFFFu, true, false, false, false, false, false, false, false, false},
      {0x81000000u, false, true, false, false, false, false, false, false, false},
      {0x82000001u, false, false, true, false, true, false, false, false, false},
      {0x83123456u, false, false, false, true, true, false, false, false, false},
      {0x84000000u, false, false, false, false, false, true, false, false, false},
      {0x85000000u, false, false, false, false, false, false, true, false, false},
      {0x86123456u, false, false, false, false, false, false, true, false, false},
      {0x87000000u, false, false, false, false, false, false, true, false, false},
      {0x88000000u, false, false, false, false, false, false, false, false, false},
      {0x903FFF00u, false, false, false, false, false, false, false, true, false},
      {0x91000000u, false, false, false, false, false, false, false, false, true},
      {0x92024509u, false, false, false, false, false, false, false, false, false},
      {0x00000080u, false, false, false, false, false, false, false, false, false},
  };
  for (const PredicateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.id);
    EXPECT_EQ(c.ssiPlug, isSsiPlugIrq(c.id));
    EXPECT_EQ(c.ssiUnplug, isSsiUnplugIrq(c.id));
    EXPECT_EQ(c.ssiDioLow, isSsiDioLowIrq(c.id));
    EXPECT_EQ(c.ssiDioHigh, isSsiDioHighIrq(c.id));
    EXPECT_EQ(c.ssiDio, isSsiDioIrq(c.id));
    EXPECT_EQ(c.ssiShift, isSsiShiftIrq(c.id));
    EXPECT_EQ(c.uart, isUartIrq(c.id));
    EXPECT_EQ(c.fsiPlug, isFsiPlugIrq(c.id));
    EXPECT_EQ(c.fsiUnplug, isFsiUnplugIrq(c.id));
  }
}

}  // namespace
