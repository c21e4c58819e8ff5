// The I2C access of one device, held by value by the device's driver (the
// clock chips): the device's transfer description and retry policy from
// the driver's configuration attributes, the state of the device's supply,
// and an executor that carries each transfer to the engine. The driver names
// only a register offset, a buffer and a length.
//
// Use by a driver (all calls under the driver's own lock; I2cAccess has
// none):
//   constructor           m_i2cAccess(this)
//   setAttributes(info)   m_i2cAccess.setAttributes(info)
//   init(step)            m_i2cAccess.init(step); at step 3 also
//                         linkI2cAccess(<the single I2cHwaInterfaceLink
//                         hidden child>)
//   terminate(step)       m_i2cAccess.terminate(step); at step 5 also
//                         unlinkI2cAccess()
//   power steps           switchForPwrCtrl(339 off / 340 on)
//
// A transfer is tried at most R + 1 times with a pause of m_retryDelayMsec
// (KavWait) between two tries, R being m_numReadRetries for reads and
// m_numWriteRetries for writes and interrupt resets. A device without power
// is not addressed at all (0x7236). The first failure of the device that
// names an error-log entry is logged with the bus and address; later ones
// are only marked logged.
#ifndef KAV_HWACCESS_I2CACCESS_H
#define KAV_HWACCESS_I2CACCESS_H

#include <ostream>

#include "kav/hwaccess/edal/edalI2c.h"
#include "kav/hwaccess/i2c/DeviceSupplyInfo.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/start/InitSequence.h"

class QueryBase;

class KAV_EXPORT I2cAccess {
 public:
  // Carries a transfer to wherever the device is reached.
  class KAV_EXPORT I2cAccessViaXxx {
   public:
    virtual ~I2cAccessViaXxx();
    virtual void dumpXml(std::ostream& os) const = 0;
    virtual ErrorData read(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                           unsigned int& len) const = 0;
    virtual ErrorData write(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset,
                            const unsigned char* data, unsigned int len) const = 0;
    virtual ErrorData resetIrq(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset,
                               const unsigned char* data, unsigned int len) const = 0;
    // The slot of the engine reached; 0 when none is.
    virtual unsigned int getHwaSlotId() const = 0;
  };

  // owner: the device's driver; may be null (slot id 0).
  explicit I2cAccess(QueryBase* owner);
  virtual ~I2cAccess();

  I2cAccess(const I2cAccess&) = delete;
  I2cAccess& operator=(const I2cAccess&) = delete;

  // The description, its class tag "I2cAccess", the executor and the supply.
  virtual void dumpXml(std::ostream& os) const;
  // Reads the transfer description, the retry policy and the supply id from
  // the owner's local attributes (all required). The first failure is
  // returned; reading goes on after it. 0x716B for an unknown transfer mode,
  // 0x7013 for an offset width other than 0, 1, 2 or 4 or a page select
  // above 3, 0x7145 for a missing attribute.
  virtual BaseErrorData setAttributes(const AttributeInfo& info);
  // Forwarded to the supply: step 11 switches it on.
  virtual BaseErrorData init(initSequence::Id_t step);
  virtual BaseErrorData terminate(terminateSequence::Id_t step);

  // Transfers with the own description. 0x737A when not linked, 0x7236
  // without device power, 0x7342 when the link has no engine, else the
  // engine's result of the last try; a failure's text ends with
  // "<kind> also fails after R retries".
  virtual ErrorData read(unsigned int offset, unsigned char* data, unsigned int& len) const;
  virtual ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const;
  virtual ErrorData resetIrq(unsigned int offset, const unsigned char* data, unsigned int len) const;
  // The same with another description (same retries, supply and logging).
  virtual ErrorData read(const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                         unsigned int& len) const;
  virtual ErrorData write(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                          unsigned int len) const;
  virtual ErrorData resetIrq(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                             unsigned int len) const;
  // The slot of the linked engine; 0 when not linked or without engine.
  virtual unsigned int getHwaSlotId() const;

  // Binds the transfers to the engine of an I2cHwaInterfaceLink; 0x737B for
  // a null link or a link of another class (the former binding stays).
  ErrorData linkI2cAccess(KavPtr<LinkBase> link);
  void unlinkI2cAccess();
  // A power-control step (339 off, 340 on), see DeviceSupplyInfo.
  ErrorData switchForPwrCtrl(unsigned int step);
  bool hasDevicePower() const;
  const i2c::i2cInfo_s& getI2cInfo() const { return m_i2cInfo; }
  unsigned int getNumReadRetries() const { return m_numReadRetries; }
  unsigned int getNumWriteRetries() const { return m_numWriteRetries; }
  unsigned int getRetryDelayMsec() const { return m_retryDelayMsec; }
  const DeviceSupplyInfo& getDeviceSupplyInfo() const { return m_deviceSupplyInfo; }
  // The owner's slot id; 0 without owner.
  unsigned int getSlotId() const;
  // For a failure that names an error-log entry (an SRC, or the keys that
  // select one): the first one is given the bus and address and the owner's
  // slot id and logged at once; later ones are only marked logged.
  void checkAndLogError(ErrorData& err) const;

 private:
  ErrorData transfer(i2c::TransferKind_t kind, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                     unsigned int& len) const;

  unsigned int m_numReadRetries;
  unsigned int m_numWriteRetries;  // also for interrupt resets
  unsigned int m_retryDelayMsec;
  i2c::i2cInfo_s m_i2cInfo;
  DeviceSupplyInfo m_deviceSupplyInfo;
  QueryBase* m_pOwner;
  I2cAccessViaXxx* m_i2cAccessExecutor;
  mutable bool m_errorLogged;
};

#endif
