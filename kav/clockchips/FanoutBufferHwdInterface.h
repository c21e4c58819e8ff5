// A clock fanout buffer: distributes a clock to up to nine outputs, each of
// which can be switched off. The interface of its drivers.
#ifndef KAV_CLOCKCHIPS_FANOUTBUFFERHWDINTERFACE_H
#define KAV_CLOCKCHIPS_FANOUTBUFFERHWDINTERFACE_H

#include <ostream>
#include <string>

#include "kav/cards/PowerControllable.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT FanoutBufferHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(FanoutBufferHwdInterface)

 public:
  ~FanoutBufferHwdInterface() override;

  // Outputs 0..N-1 (N = getNumOfOutputControls(), 1 = enabled): the bits of
  // mask are set to those of value, the others stay.
  virtual ErrorData writeOutputControl(unsigned int value, unsigned int mask) = 0;
  virtual ErrorData readOutputControl(unsigned int& value) = 0;
  virtual unsigned int getNumOfOutputControls() = 0;
  // The chip's registers from the first one; length: the buffer's size in,
  // the bytes read out.
  virtual ErrorData getRegister(unsigned char* buffer, unsigned int& length) = 0;
  virtual std::string registerDumpAsString() = 0;
  virtual void dumpXmlHwRegisters(std::ostream& os) = 0;

 protected:
  FanoutBufferHwdInterface();
};

#endif
