// The executor of an I2cAccess that reaches its engine through an
// I2cHwaInterfaceLink: each transfer goes to the link's current target.
#ifndef KAV_HWACCESS_I2CACCESSVIAI2CHWA_H
#define KAV_HWACCESS_I2CACCESSVIAI2CHWA_H

#include "kav/hwaccess/i2c/I2cAccess.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT I2cAccessViaI2cHwa : public I2cAccess::I2cAccessViaXxx {
 public:
  explicit I2cAccessViaI2cHwa(KavPtr<I2cHwaInterfaceLink> link);
  ~I2cAccessViaI2cHwa() override;

  // The link.
  void dumpXml(std::ostream& os) const override;
  // 0x7342 when the link has no target; else the target's result.
  ErrorData read(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                 unsigned int& len) const override;
  ErrorData write(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                  unsigned int len) const override;
  ErrorData resetIrq(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                     unsigned int len) const override;
  // The target's slot id; 0 without target.
  unsigned int getHwaSlotId() const override;

  const KavPtr<I2cHwaInterfaceLink>& getLink() const { return m_pI2cHwaInterfaceLink; }

 private:
  // The link's target; null (traced) without one.
  KavPtr<I2cHwaInterface> target(unsigned int slotId, ErrorData& err) const;

  KavPtr<I2cHwaInterfaceLink> m_pI2cHwaInterfaceLink;
};

#endif
