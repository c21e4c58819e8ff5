// One logical memory block: forwards to its memory device, found through
// its single RamHwdInterfaceLink hidden child.
#ifndef KAV_HWACCESS_RAMHWR_H
#define KAV_HWACCESS_RAMHWR_H

#include "kav/hwaccess/scratchpad/RamHwdInterface.h"
#include "kav/hwaccess/scratchpad/RamHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"

class RamHwdInterfaceLink;

class KAV_EXPORT RamHwr : public RamHwrInterface {
  KAV_TREE_CLASS(RamHwr)

 public:
  RamHwr();
  ~RamHwr() override;

  // Logical id (137, optional).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3 takes the device link (0x7363 without one); terminate step 5
  // releases it.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // 0x7362 without a device.
  ErrorData read(unsigned int offset, unsigned char* data, unsigned int len) const override;
  ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const override;
  ErrorData readSize(unsigned int& size) const override;

  unsigned int getLogicalId() const { return m_logicalId; }

 private:
  KavPtr<RamHwdInterface> device() const;

  unsigned int m_logicalId;
  KavPtr<RamHwdInterfaceLink> m_ramHwdLink;
};

extern "C" KAV_EXPORT BuildBase* createRamHwr(void* argument, BaseErrorData& rc);

#endif
