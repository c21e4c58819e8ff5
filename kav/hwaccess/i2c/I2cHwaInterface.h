// An I2C engine: transfers to the devices on its ports. Each transfer names
// the device and how to talk to it (i2c::i2cInfo_s: mode, port, address,
// speed, offset width, time-out, write delay and split) and the register
// offset; the engine serialises the transfers of all its ports.
#ifndef KAV_HWACCESS_I2CHWAINTERFACE_H
#define KAV_HWACCESS_I2CHWAINTERFACE_H

#include "kav/hwaccess/edal/edalI2c.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT I2cHwaInterface : public QueryBase {
  KAV_TREE_CLASS(I2cHwaInterface)

 public:
  ~I2cHwaInterface() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // len bytes of data to the device, starting at the register offset.
  virtual ErrorData write(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                          unsigned int len) const = 0;
  // Up to len bytes from the register offset; len becomes the count read.
  virtual ErrorData read(const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                         unsigned int& len) const = 0;
  // A write that also clears the device's interrupt request.
  virtual ErrorData resetIrq(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                             unsigned int len) const = 0;

 protected:
  I2cHwaInterface();
};

#endif
