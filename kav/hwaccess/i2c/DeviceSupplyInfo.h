// The power supply of a device on a bus, as its driver knows it: the
// supply's string id from the configuration (attribute 225) and whether the
// supply is on. A device whose supply id is 399 is always supplied; any
// other is on from init step 11 (activated hardware) or a power-on step
// (340) until a power-off step (339). Held by value by the device's
// I2cAccess; no lock of its own (the device's driver locks).
#ifndef KAV_HWACCESS_DEVICESUPPLYINFO_H
#define KAV_HWACCESS_DEVICESUPPLYINFO_H

#include <ostream>

#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/start/InitSequence.h"

class QueryBase;

class KAV_EXPORT DeviceSupplyInfo {
 public:
  // owner: the device's driver (traces and slot id); may be null.
  explicit DeviceSupplyInfo(QueryBase* owner);
  ~DeviceSupplyInfo();

  DeviceSupplyInfo(const DeviceSupplyInfo&) = delete;
  DeviceSupplyInfo& operator=(const DeviceSupplyInfo&) = delete;

  // Reads the supply id (attribute 225, required) from the owner's local
  // attributes; a missing one gives 0x7145.
  BaseErrorData setAttributes(const AttributeInfo& info);
  // Step 11 switches the power flag on; other steps do nothing.
  BaseErrorData init(initSequence::Id_t step);
  BaseErrorData terminate(terminateSequence::Id_t step);
  // A power-control step: 339 off, 340 on; 0x7005 for an always-supplied
  // device (nothing changes), 0x7002 for any other step.
  ErrorData switchForPwrCtrl(unsigned int step);
  bool hasDevicePower() const;
  unsigned int getSupplyVoltage() const { return m_supplyVoltage; }
  // "DeviceSupplyInfo" with the supply id and hasDevicePower().
  void dumpXml(std::ostream& os) const;

 private:
  unsigned int getSlotId() const;

  QueryBase* m_pOwner;
  unsigned int m_supplyVoltage;
  bool m_power;
};

#endif
