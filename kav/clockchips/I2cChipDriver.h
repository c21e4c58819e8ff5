// The frame of a clock chip's driver on I2C, between the chip's interface
// and the driver: the chip's I2cAccess (the first field of every driver),
// read from the driver's configuration attributes, linked at step 3 to the
// single I2cHwaInterfaceLink hidden child and let go at terminate step 5,
// and the power steps of the chip's supply. Not a tree class of its own:
// the driver names the interface as its base class.
#ifndef KAV_CLOCKCHIPS_I2CCHIPDRIVER_H
#define KAV_CLOCKCHIPS_I2CCHIPDRIVER_H

#include <ostream>

#include "kav/clockchips/I2cChipRegisters.h"
#include "kav/hwaccess/i2c/I2cAccess.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/tree/config/AttributeInfo.h"

template <class Interface>
class I2cChipDriver : public Interface {
 public:
  ~I2cChipDriver() override {}

  // The I2C transfer description and supply (see I2cAccess).
  BaseErrorData setAttributes(const AttributeInfo& info) override {
    BaseErrorData rc = Interface::setAttributes(info);
    rc = m_i2cAccess.setAttributes(info);
    return rc;
  }
  // Step 3 links the I2C access to the single I2cHwaInterfaceLink hidden
  // child (none or several: 0x737B); step 11 (activated hardware) marks
  // the chip supplied.
  BaseErrorData init(initSequence::Id_t step) override {
    BaseErrorData rc = Interface::init(step);
    IFOSGuard<const QueryBase> guard(*this);
    rc = I2cChipRegisters::init(*this, m_i2cAccess, step);
    return rc;
  }
  BaseErrorData terminate(terminateSequence::Id_t step) override {
    BaseErrorData rc;
    {
      IFOSGuard<const QueryBase> guard(*this);
      rc = I2cChipRegisters::terminate(m_i2cAccess, step);
    }
    rc = Interface::terminate(step);
    return rc;
  }
  // A power step of the chip's supply: off (339) or on (340); see
  // I2cAccess.
  ErrorData switchForPwrCtrl(unsigned int, unsigned int step) override {
    IFOSGuard<const QueryBase> guard(*this);
    return I2cChipRegisters::switchSupply(*this, m_i2cAccess, step);
  }

  // The chip's I2C access (description, engine link, supply), then the
  // base's rows.
  void dumpXml(std::ostream& os) const override {
    if (!os) return;
    {
      IFOSGuard<const QueryBase> guard(*this);
      m_i2cAccess.dumpXml(os);
    }
    Interface::dumpXml(os);
  }

  const I2cAccess& getI2cAccess() const { return m_i2cAccess; }

 protected:
  I2cChipDriver() : m_i2cAccess(this) {}

  I2cAccess m_i2cAccess;
};

#endif
